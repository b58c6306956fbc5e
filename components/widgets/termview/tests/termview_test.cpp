// The display widget: keys to bytes, received bytes on screen, scroll-back keys, selection, painting.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <cmath>
#include <QSignalSpy>
#include <QTest>

#include "glyphs.h"
#include "termview.h"

namespace orrery::term {
namespace {

TEST(KeyBytes, KeysTurnIntoTheBytesTheLoggerExpects) {
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        QByteArray bytes;
    } cases[] = {
        {Qt::Key_A, Qt::NoModifier, "a", "a"},
        {Qt::Key_A, Qt::ShiftModifier, "A", "A"},
        {Qt::Key_Return, Qt::NoModifier, "\r", "\r"},
        {Qt::Key_Enter, Qt::KeypadModifier, "", "\r"},
        {Qt::Key_Backspace, Qt::NoModifier, "", "\b"},
        {Qt::Key_Tab, Qt::NoModifier, "", "\t"},
        {Qt::Key_Escape, Qt::NoModifier, "", "\x1b"},
        {Qt::Key_Delete, Qt::NoModifier, "", "\x7f"},
        {Qt::Key_C, Qt::ControlModifier, "", "\x03"},
        {Qt::Key_Z, Qt::ControlModifier, "\x1a", "\x1a"},
        {Qt::Key_Eacute, Qt::NoModifier, QString(QChar(0xE9)), "\xe9"},
        {Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x20AC)), ""},  // no byte for the euro sign
        {Qt::Key_Up, Qt::NoModifier, "", ""},
        {Qt::Key_F1, Qt::NoModifier, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(keyBytes(c.key, c.modifiers, c.text), c.bytes) << c.key;
    }
}

TEST(Glyphs, BytesShowAsTheTerminalCharacterSet) {
    const std::pair<std::uint8_t, char16_t> cases[] = {
        {'A', u'A'}, {' ', u' '}, {0, u' '}, {1, u'☺'}, {127, u'⌂'}, {128, u'Ç'},
        {0xB3, u'│'}, {0xDB, u'█'}, {0xF9, u'∙'}, {250, u'·'}, {0xFE, u'■'}, {0xFF, u'\u00A0'},
    };
    for (auto [byte, glyph] : cases) {
        EXPECT_EQ(glyphFor(byte), QChar(glyph)) << int(byte);
    }
    const std::uint8_t text[] = {'a', '\r', '\n', 250};
    EXPECT_EQ(glyphText(text, 4), QString::fromUtf16(u"a\r\n·"));
}

struct ViewFixture : ::testing::Test {
    void SetUp() override {
        view.resize(400, 300);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    TermView view;
};

TEST_F(ViewFixture, TypedKeysGoOutUnchangedAndAreNotEchoed) {
    QSignalSpy typed(&view, &TermView::bytesTyped);
    QTest::keyClicks(&view, "ab1 ");
    QTest::keyClick(&view, Qt::Key_Return);
    QTest::keyClick(&view, Qt::Key_Tab);
    QByteArray sent;
    for (const auto& args : typed) {
        sent += args.at(0).toByteArray();
    }
    EXPECT_EQ(sent, QByteArray("ab1 \r\t"));
    EXPECT_EQ(view.screen().rowText(1), "") << "no local echo";
    EXPECT_TRUE(view.hasFocus()) << "Tab stays in the terminal";
}

TEST_F(ViewFixture, ReceivedBytesAppearAndTheGridFollowsTheSize) {
    view.receive("hello\r\nworld");
    EXPECT_EQ(view.screen().rowText(1), "hello");
    EXPECT_EQ(view.screen().rowText(2), "world");
    EXPECT_EQ(view.visibleColumns(), int(view.viewport()->width() / view.cellWidth()));
    EXPECT_EQ(view.visibleRows(), view.viewport()->height() / view.cellHeight());
    EXPECT_EQ(view.screen().rows(), view.visibleRows());
    EXPECT_EQ(view.screen().columns(), kBufferColumns);
}

TEST_F(ViewFixture, ResizeReportsTheNewGrid) {
    QSignalSpy changed(&view, &TermView::geometryChanged);
    view.resize(view.width() + 3 * int(view.cellWidth()) + 3, view.height() + 2 * view.cellHeight());
    QCoreApplication::processEvents();
    ASSERT_FALSE(changed.isEmpty());
    EXPECT_EQ(changed.last().at(0).toInt(), view.visibleRows());
    EXPECT_EQ(changed.last().at(1).toInt(), view.visibleColumns());
}

TEST_F(ViewFixture, ScrollbackKeysMoveTheViewOnlyInScrollbackMode) {
    QByteArray lines;
    for (int i = 0; i < 100; ++i) {
        lines += "line " + QByteArray::number(i) + "\r\n";
    }
    view.receive(lines);
    QSignalSpy typed(&view, &TermView::bytesTyped);
    QTest::keyClick(&view, Qt::Key_PageUp);
    EXPECT_EQ(view.screen().viewOffset(), 0);
    view.setScrollback(true);
    QTest::keyClick(&view, Qt::Key_Up);
    QTest::keyClick(&view, Qt::Key_Up);
    EXPECT_EQ(view.screen().viewOffset(), 2);
    QTest::keyClick(&view, Qt::Key_PageUp);
    EXPECT_EQ(view.screen().viewOffset(), 2 + view.visibleRows());
    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.screen().viewOffset(), view.screen().historySize());
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(view.screen().viewOffset(), view.screen().historySize() - 1);
    view.setScrollback(false);
    EXPECT_EQ(view.screen().viewOffset(), 0);
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    EXPECT_TRUE(typed.isEmpty());
}

TEST_F(ViewFixture, MouseDragSelectsText) {
    view.receive("alpha beta\r\ngamma");
    const auto at = [&](int column, int row) { return view.cellCenter(column, row); };
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, at(7, 1));
    QMouseEvent move(QEvent::MouseMove, at(3, 2), view.viewport()->mapToGlobal(at(3, 2)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at(3, 2));
    EXPECT_EQ(view.selectedText(), "beta\r\ngam\r\n");
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, at(1, 1));
    EXPECT_EQ(view.selectedText(), "") << "a click clears the selection";
}

TEST_F(ViewFixture, PaintsCellsBlackOnWhite) {
    view.receive(QByteArray("\r\n  \xdb", 5));  // a full block at row 2, column 3
    QCoreApplication::processEvents();
    const QImage image = view.viewport()->grab().toImage();
    EXPECT_EQ(QColor(image.pixel(view.cellCenter(3, 2))), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(view.cellCenter(11, 6))), QColor(Qt::white));
}

// Mean x of the dark pixels in a band of cells of one row.
double inkCentre(const QImage& image, const TermView& view, int row, int firstColumn, int lastColumn) {
    const int left = int((firstColumn - 1) * view.cellWidth());
    const int right = int(lastColumn * view.cellWidth());
    double sum = 0;
    int count = 0;
    for (int y = (row - 1) * view.cellHeight(); y < row * view.cellHeight(); ++y) {
        for (int x = left; x < right && x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                sum += x;
                ++count;
            }
        }
    }
    return count > 0 ? sum / count : -1;
}

TEST_F(ViewFixture, CharactersDrawnInRunsStayInTheirColumns) {
    // Row 1 is one run of plain characters (blanks, then an M in column 40); in row 2 a box glyph in
    // column 39 makes the M in column 40 start a run of its own. Both Ms must land on the same pixels.
    QFont font = view.displayFont();
    font.setPointSizeF(10.7);  // an advance with a fraction, as most fixed-pitch fonts have on screens
    view.setDisplayFont(font);
    const qreal advance = QFontMetricsF(view.displayFont()).horizontalAdvance(QLatin1Char('M'));
    if (advance == std::floor(advance)) {
        GTEST_SKIP() << "this platform's font advance has no fraction";
    }
    const QByteArray plain = QByteArray(39, ' ') + "M";
    const QByteArray mixed = QByteArray(38, ' ') + "\xb3M";
    view.resize(int(50 * view.cellWidth()) + 40, 200);
    QCoreApplication::processEvents();
    ASSERT_GE(view.visibleColumns(), 44);
    view.receive(plain + "\r\n" + mixed);
    QCoreApplication::processEvents();
    const QImage image = view.viewport()->grab().toImage();
    const double runCentre = inkCentre(image, view, 1, 36, 44);
    const double cellCentre = inkCentre(image, view, 2, 40, 40);  // the caret follows in column 41
    ASSERT_GT(runCentre, 0);
    ASSERT_GT(cellCentre, 0);
    EXPECT_NEAR(runCentre, cellCentre, 1.0) << "advance " << advance << " cell " << view.cellWidth();
}

TEST_F(ViewFixture, CaretBlinks) {
    EXPECT_EQ(TermView::kCaretBlinkMs, 550);
    const bool before = view.caretShown();
    QTest::qWait(TermView::kCaretBlinkMs + 200);
    EXPECT_NE(view.caretShown(), before);
}

}  // namespace
}  // namespace orrery::term
