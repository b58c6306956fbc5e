#include <gtest/gtest.h>

#include "qstringprint.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTest>

#include "cellfont.h"
#include "editorcontrol.h"
#include "quobolhighlighter.h"

using namespace orrery;

namespace {

TEST(EditorControl, CaretPositionIsClampedIntoTheText) {
    EditorControl e;
    e.setText("first\nsecond line\nx");
    const struct {
        int line, column, expectLine, expectColumn;
    } cases[] = {{2, 3, 2, 3}, {0, 1, 1, 1}, {-5, -5, 1, 1}, {99, 1, 3, 1}, {3, 99, 3, 2}, {2, 12, 2, 12}};
    for (const auto& c : cases) {
        e.setCaretPosition(c.line, c.column);
        EXPECT_EQ(e.caretLine(), c.expectLine) << c.line << "," << c.column;
        EXPECT_EQ(e.caretColumn(), c.expectColumn) << c.line << "," << c.column;
    }
    EXPECT_EQ(e.lineCount(), 3);
    EXPECT_EQ(e.lineText(2), "second line");
    EXPECT_EQ(e.lineText(4), QString());
}

TEST(EditorControl, SelectionLines) {
    EditorControl e;
    e.setText("l1\nl2\nl3\nl4");
    const struct {
        int anchor, position, first, last;
    } cases[] = {
        {4, 4, 2, 2},   // caret only
        {4, 7, 2, 3},   // l2..l3
        {7, 4, 2, 3},   // selected backwards
        {3, 9, 2, 3},   // ends at the start of l4: l4 is not part of it
        {3, 10, 2, 4},  // one character of l4
    };
    for (const auto& c : cases) {
        QTextCursor cursor(e.document());
        cursor.setPosition(c.anchor);
        cursor.setPosition(c.position, QTextCursor::KeepAnchor);
        e.setTextCursor(cursor);
        EXPECT_EQ(e.selectionFirstLine(), c.first) << c.anchor << "-" << c.position;
        EXPECT_EQ(e.selectionLastLine(), c.last) << c.anchor << "-" << c.position;
    }
}

TEST(EditorControl, InsertKeyTogglesOverwriteAndReportsIt) {
    EditorControl e;
    e.setText("abc");
    e.setCaretPosition(1, 1);
    QSignalSpy spy(&e, &EditorControl::caretChanged);
    QTest::keyClick(&e, Qt::Key_Insert);
    ASSERT_TRUE(e.overwrite());
    ASSERT_FALSE(spy.isEmpty());
    EXPECT_TRUE(spy.last().at(2).toBool());
    QTest::keyClicks(&e, "XY");
    EXPECT_EQ(e.text(), "XYc");
    QTest::keyClick(&e, Qt::Key_Insert);
    EXPECT_FALSE(e.overwrite());
    QTest::keyClicks(&e, "Z");
    EXPECT_EQ(e.text(), "XYZc");
}

TEST(EditorControl, AutoIndentRepeatsTheLeadingBlanks) {
    const struct {
        bool autoIndent;
        const char* line;
        const char* expected;
    } cases[] = {
        {true, "    x=1", "    x=1\n    "},
        {true, "\t y", "\t y\n\t "},
        {true, "z", "z\n"},
        {false, "    x=1", "    x=1\n"},
    };
    for (const auto& c : cases) {
        EditorControl e;
        e.setAutoIndent(c.autoIndent);
        e.setText(c.line);
        e.moveCursor(QTextCursor::End);
        QTest::keyClick(&e, Qt::Key_Return);
        EXPECT_EQ(e.text(), QString::fromUtf8(c.expected)) << c.line;
    }
}

TEST(EditorControl, TabSizeSetsTheTabStops) {
    EditorControl e;
    e.setTabSize(4);
    EXPECT_EQ(e.tabSize(), 4);
    EXPECT_DOUBLE_EQ(e.tabStopDistance(), QFontMetricsF(e.font()).horizontalAdvance(' ') * 4);
    e.setTabSize(0);
    EXPECT_EQ(e.tabSize(), 1);
    EXPECT_TRUE(hasEqualAdvances(e.font())) << e.font().family().toStdString();
}

// Where the text layout puts each character of a line, as a column counted from 1.
QList<int> renderedColumns(EditorControl& e, const QString& line) {
    e.setText(line);
    e.resize(800, 200);
    e.show();
    QTextCursor c(e.document());
    const qreal start = e.cursorRect(c).left();
    const qreal width = QFontMetricsF(e.font()).horizontalAdvance(' ');
    QList<int> columns;
    for (int i = 0; i < line.size(); ++i) {
        c.setPosition(i);
        const qreal x = e.cursorRect(c).left() - start;
        columns << qRound(x / width) + 1;
        EXPECT_NEAR(x, (columns.last() - 1) * width, 1.0) << "character " << i << " lies between columns";
    }
    return columns;
}

TEST(EditorControl, TabsLandOnCharacterColumns) {
    const struct {
        int tabSize;
        QString line;
        int index;   // character looked at
        int column;  // where it must be drawn
    } cases[] = {
        {8, "12345678\tC", 9, 17},
        {4, "12345678\tC", 9, 13},
        {8, "1234567\tC", 8, 9},
        {4, "123\tC", 4, 5},
        {8, "\tC", 1, 9},
        {3, "ab\tcd\tE", 6, 7},
        {8, "WWWWWWWWWWWWWWWW\tiiii", 17, 25},
        // Far along a line a width rounded to whole pixels is several pixels off.
        {8, QString(100, 'x') + "\tC", 101, 105},
        {4, QString(62, 'x') + "\tC\tD", 65, 69},
    };
    for (const auto& c : cases) {
        EditorControl e;
        e.setTabSize(c.tabSize);
        const QList<int> columns = renderedColumns(e, c.line);
        EXPECT_EQ(columns.at(c.index), c.column)
            << c.line.toStdString() << " tab size " << c.tabSize << " in " << e.font().family().toStdString();
    }
}

TEST(EditorControl, SelectedTextScopeSearchThroughTheControl) {
    EditorControl e;
    e.setText("ab ab ab ab");
    QTextCursor c(e.document());
    c.setPosition(3);
    c.setPosition(8, QTextCursor::KeepAnchor);
    e.setTextCursor(c);
    SearchRequest r = e.beginSearch("ab", "Q", SearchOption::SelectedOnly | SearchOption::ReplaceAll);
    EXPECT_EQ(e.replaceNext(r), 2);
    EXPECT_EQ(e.text(), "ab Q Q ab");
}

TEST(EditorControl, HighlightingColoursWithoutChangingText) {
    EditorControl e;
    e.setText("PRINT \"x\" ' not a comment here\nREM all comment");
    const QTextBlock first = e.document()->firstBlock();
    const auto formats = first.layout()->formats();
    ASSERT_FALSE(formats.isEmpty());
    EXPECT_EQ(formats.first().start, 0);
    EXPECT_EQ(formats.first().length, 5);
    EXPECT_EQ(formats.first().format.foreground(),
              e.highlighter()->formatFor(quobol::SpanKind::Keyword).foreground());
    EXPECT_FALSE(e.isModified());
    EXPECT_EQ(e.text(), "PRINT \"x\" ' not a comment here\nREM all comment");
}

// The block after ASM is coloured as assembler up to its END, and Quobol again after it, also when the
// block is typed in later.
TEST(EditorControl, AsmBlocksAreHighlightedAsAssembler) {
    EditorControl e;
    e.setText(
        "X = 1\n; not a comment in Quobol\nASM $\n; a comment\nloop    ldaa  #$1F\nDone    end\n"
        "PRINT 2 ; 3\n");
    const auto formatAt = [&e](int line, int column) {
        const QTextBlock block = e.document()->findBlockByNumber(line - 1);
        for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
            if (column - 1 >= range.start && column - 1 < range.start + range.length) {
                return range.format.foreground().color();
            }
        }
        return QColor();
    };
    const auto colour = [&e](quobol::SpanKind kind) {
        return e.highlighter()->formatFor(kind).foreground().color();
    };
    const struct {
        int line, column;
        QColor expected;
    } cases[] = {
        {2, 1, QColor()},                           // before the block ";" is no comment
        {4, 1, colour(quobol::SpanKind::Comment)},  // inside it, it is
        {5, 1, colour(quobol::SpanKind::Label)},
        {5, 9, colour(quobol::SpanKind::Mnemonic)},
        {5, 16, colour(quobol::SpanKind::Number)},
        {6, 9, colour(quobol::SpanKind::Directive)},
        {7, 1, colour(quobol::SpanKind::Keyword)},  // after END, Quobol again
        {7, 9, QColor()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatAt(c.line, c.column), c.expected) << c.line << ":" << c.column;
    }
    EXPECT_NE(colour(quobol::SpanKind::Mnemonic), colour(quobol::SpanKind::Keyword));
    // Opening a block above lines already there re-colours them.
    QTextCursor cursor(e.document()->findBlockByNumber(1));
    cursor.insertText("ASM $\n");
    EXPECT_EQ(formatAt(3, 1), colour(quobol::SpanKind::Comment));
}

}  // namespace

namespace orrery {
namespace {

QString underlined(const EditorControl& editor) {
    const auto selections = editor.extraSelections();
    return selections.isEmpty() ? QStringLiteral("<none>") : selections.first().cursor.selectedText();
}

TEST(EditorControl, ErrorMarkUnderlinesTheTokenOrTheLastCharacterOfItsLine) {
    const struct {
        ErrorMark mark;
        const char* underlined;
    } cases[] = {
        {{2, 9, 1, "parse error"}, "*"},
        {{2, 3, 5, "x"}, "Total"},
        {{1, 7, 0, "at the line end"}, "5"},
        {{9, 1, 1, "past the text"}, "<none>"},
        {{}, "<none>"},
    };
    for (const auto& c : cases) {
        EditorControl editor;
        editor.setText("Y$ = 5\n  Total * 2\n");
        editor.setErrorMark(c.mark);
        EXPECT_EQ(underlined(editor), c.underlined) << c.mark.message.toStdString();
        EXPECT_EQ(editor.errorMark(), c.mark);
    }
}

TEST(EditorControl, TheSameMarkIsDrawnAgainAfterItsTokenWasRetyped) {
    EditorControl editor;
    editor.setText("  Total * 2\n");
    const ErrorMark mark{1, 9, 1, "parse error"};
    editor.setErrorMark(mark);
    QTextCursor cursor(editor.document());
    cursor.setPosition(8);
    cursor.deleteChar();
    cursor.insertText("*");
    editor.setErrorMark(mark);
    EXPECT_EQ(underlined(editor), "*");
}

}  // namespace
}  // namespace orrery
