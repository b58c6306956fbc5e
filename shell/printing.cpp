#include "printing.h"

#include <QApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "editorcontrol.h"
#include "prompts.h"

namespace orrery::shell {

namespace {

// Shows the hourglass while printing and restores the cursor on every way out.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QString expandTabs(const QString& line, int tabSize) {
    QString out;
    for (const QChar c : line) {
        if (c == u'\t') {
            out += QString(tabSize - out.size() % tabSize, QLatin1Char(' '));
        } else {
            out += c;
        }
    }
    return out;
}

bool runPrintDialog(QPrinter& printer, bool offerSelection) {
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    dialog.setOption(QAbstractPrintDialog::PrintSelection, offerSelection);
    dialog.setPrintRange(offerSelection ? QAbstractPrintDialog::Selection : QAbstractPrintDialog::AllPages);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace

PrintLines linesToPrint(const EditorControl& editor) {
    if (editor.hasSelection()) {
        return {editor.selectionFirstLine(), editor.selectionLastLine(), true};
    }
    return {1, editor.lineCount(), false};
}

QStringList printText(const EditorControl& editor, const PrintLines& lines) {
    QStringList text;
    for (int n = lines.first; n <= lines.last; ++n) {
        text << expandTabs(editor.lineText(n), editor.tabSize());
    }
    return text;
}

bool printLines(QPrinter& printer, const QStringList& lines) {
    QFont font(QStringLiteral("Courier New"), 10, QFont::Bold);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    painter.setFont(font);
    const QFontMetrics metrics = painter.fontMetrics();
    const int lineHeight = metrics.height();
    const int pageHeight = printer.height();
    int y = kPrintMargin;
    for (const QString& line : lines) {
        // A line that would reach into the bottom margin goes to the next page, so no line is cut.
        if (y > kPrintMargin && y + lineHeight > pageHeight - kPrintMargin) {
            if (!printer.newPage()) {
                painter.end();
                return false;
            }
            y = kPrintMargin;
        }
        painter.drawText(kPrintMargin, y + metrics.ascent(), line);
        y += lineHeight;
    }
    return painter.end() && printer.printerState() != QPrinter::Error;
}

void printCommand(EditorControl& editor, QPrinter& printer, Prompts& prompts, const PrintDialogRunner& runDialog) {
    const PrintLines lines = linesToPrint(editor);
    const bool confirmed = runDialog ? runDialog(printer, lines.selection) : runPrintDialog(printer, lines.selection);
    if (!confirmed) {
        return;
    }
    bool printed = false;
    {
        WaitCursor wait;
        printed = printLines(printer, printText(editor, lines));
    }
    if (!printed) {
        prompts.showMessage(QStringLiteral("Printing failed"), PromptIcon::Error);
    }
}

}  // namespace orrery::shell
