#pragma once
// "&Go to line...": asks for a line number (the field starts with the editor's line count) and moves
// the caret to the start of that line, clamped into the text.

namespace orrery {
class EditorControl;
class Prompts;
}  // namespace orrery

namespace orrery::shell {

void goToLineCommand(EditorControl& editor, Prompts& prompts);

}  // namespace orrery::shell
