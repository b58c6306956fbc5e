#pragma once
// The "&Search" menu commands Find, Find again and Replace on one editor, with every question and
// message going through Prompts. The dialog supplies the texts and option check boxes; the editor
// keeps the options of its last search so that "Find again" continues a find or a replace.

namespace orrery {
class EditorControl;
class Prompts;
}  // namespace orrery

namespace orrery::shell {

class TFindReplaceForm;

void findCommand(EditorControl& editor, TFindReplaceForm& form, Prompts& prompts);
void findAgainCommand(EditorControl& editor, TFindReplaceForm& form, Prompts& prompts);
void replaceCommand(EditorControl& editor, TFindReplaceForm& form, Prompts& prompts);

}  // namespace orrery::shell
