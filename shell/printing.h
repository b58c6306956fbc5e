#pragma once
// "&Print...": prints the selected lines of the active editor (every line when nothing is selected) in
// Courier New 10 pt bold, one text line per printed line, with 50 device units of margin.

#include <QStringList>
#include <functional>

class QPrinter;

namespace orrery {
class EditorControl;
class Prompts;
}  // namespace orrery

namespace orrery::shell {

inline constexpr int kPrintMargin = 50;

struct PrintLines {
    int first = 1;
    int last = 1;
    bool selection = false;  // the print dialog offers and preselects "Selection"
};

PrintLines linesToPrint(const EditorControl& editor);
// The text of those lines, tabs expanded to the editor's tab size (a printer has no tab stops).
QStringList printText(const EditorControl& editor, const PrintLines& lines);

// Draws the lines top to bottom, starting a new page when the next line would cross the bottom
// margin. False when the printer could not be started or failed on the way.
bool printLines(QPrinter& printer, const QStringList& lines);

// Shows the print dialog (or the given replacement, for tests) and prints. A printer failure is
// reported in a message.
using PrintDialogRunner = std::function<bool(QPrinter& printer, bool offerSelection)>;
void printCommand(EditorControl& editor, QPrinter& printer, Prompts& prompts,
                  const PrintDialogRunner& runDialog = {});

}  // namespace orrery::shell
