#include <gtest/gtest.h>

#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCursor>

#include "editorcontrol.h"
#include "printing.h"
#include "qstringprint.h"
#include "scriptedprompts.h"

using namespace orrery;
using namespace orrery::shell;

namespace {

// The text of a PDF as pdftotext reads it back, one page per entry.
QStringList pdfPages(const QString& file) {
    QProcess p;
    p.start("pdftotext", {"-layout", file, "-"});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        ADD_FAILURE() << "pdftotext failed on " << file.toStdString();
        return {};
    }
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QChar('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) {
        pages.removeLast();
    }
    return pages;
}

QStringList nonEmptyLines(const QString& page) {
    QStringList lines;
    for (const QString& l : page.split('\n')) {
        if (!l.trimmed().isEmpty()) {
            lines << l.trimmed();
        }
    }
    return lines;
}

struct PdfPrinter {
    PdfPrinter() : printer(QPrinter::HighResolution) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("out.pdf"));
    }
    QTemporaryDir dir;
    QPrinter printer;
};

TEST(Printing, TwoSelectedLinesPrintExactlyThoseLines) {
    EditorControl editor;
    editor.setText("REM first\nPRINT \"second\"\nX = 3\nREM fourth");
    QTextCursor c(editor.document());
    c.setPosition(12);                               // inside line 2
    c.setPosition(27, QTextCursor::KeepAnchor);      // inside line 3
    editor.setTextCursor(c);

    PdfPrinter pdf;
    ScriptedPrompts prompts;
    bool offered = false;
    printCommand(editor, pdf.printer, prompts, [&](QPrinter& printer, bool offerSelection) {
        offered = offerSelection;
        printer.setPrintRange(QPrinter::AllPages);  // "All" chosen: the lines stay the selection's
        return true;
    });
    EXPECT_TRUE(offered);
    EXPECT_TRUE(prompts.messages().isEmpty());
    const QStringList pages = pdfPages(pdf.printer.outputFileName());
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(nonEmptyLines(pages[0]), (QStringList{"PRINT \"second\"", "X = 3"}));
}

TEST(Printing, WithoutSelectionEveryLineAndTabsExpanded) {
    EditorControl editor;
    editor.setTabSize(4);
    editor.setText("a\tb\nline two");
    PdfPrinter pdf;
    ScriptedPrompts prompts;
    bool offered = true;
    printCommand(editor, pdf.printer, prompts, [&](QPrinter&, bool offerSelection) {
        offered = offerSelection;
        return true;
    });
    EXPECT_FALSE(offered);
    const QStringList pages = pdfPages(pdf.printer.outputFileName());
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(nonEmptyLines(pages[0]), (QStringList{"a   b", "line two"}));
}

TEST(Printing, CancelledDialogPrintsNothing) {
    EditorControl editor;
    editor.setText("x");
    PdfPrinter pdf;
    ScriptedPrompts prompts;
    printCommand(editor, pdf.printer, prompts, [](QPrinter&, bool) { return false; });
    EXPECT_FALSE(QFile::exists(pdf.printer.outputFileName()));
}

TEST(Printing, LongTextContinuesOnNewPagesWithoutLosingALine) {
    QStringList lines;
    for (int i = 1; i <= 150; ++i) {
        lines << QString("LINE %1").arg(i, 3, 10, QChar('0'));
    }
    PdfPrinter pdf;
    ASSERT_TRUE(printLines(pdf.printer, lines));
    const QStringList pages = pdfPages(pdf.printer.outputFileName());
    ASSERT_GE(pages.size(), 2);
    QStringList printed;
    for (const QString& page : pages) {
        const QStringList pageLines = nonEmptyLines(page);
        EXPECT_FALSE(pageLines.isEmpty());
        printed << pageLines;
    }
    EXPECT_EQ(printed, lines);
}

TEST(Printing, UnwritableOutputIsReported) {
    EditorControl editor;
    editor.setText("x");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName("/nonexistent-folder/out.pdf");
    ScriptedPrompts prompts;
    printCommand(editor, printer, prompts, [](QPrinter&, bool) { return true; });
    EXPECT_EQ(prompts.messages(), QStringList{"Printing failed"});
}

}  // namespace
