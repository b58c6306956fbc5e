#include "gotoline.h"

#include "editorcontrol.h"
#include "prompts.h"
#include "utilities.h"

namespace orrery::shell {

void goToLineCommand(EditorControl& editor, Prompts& prompts) {
    QString text = QString::number(editor.lineCount());
    if (!prompts.getText(QStringLiteral("Go To Line"), QStringLiteral("Go to line: "), text)) {
        return;
    }
    const std::optional<int> line = parseInteger(text);
    if (!line) {
        prompts.showMessage(invalidIntegerMessage(text), PromptIcon::Error);
        return;
    }
    editor.setCaretPosition(std::clamp(*line, 1, editor.lineCount()), 1);
    editor.setFocus();
}

}  // namespace orrery::shell
