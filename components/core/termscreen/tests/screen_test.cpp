// The screen model: wrapping, history, view offset, selection, resizing and dirty rows.
#include <gtest/gtest.h>

#include <string>

#include "emulator.h"
#include "screen.h"
#include "statuspanels.h"

namespace orrery::term {
namespace {

void put(Screen& screen, const std::string& text) {
    screen.putString(reinterpret_cast<const std::uint8_t*>(text.data()), int(text.size()));
}

TEST(Screen, WrapsAtTheBufferWidth) {
    Screen screen(5, 10, 10);
    put(screen, "0123456789");
    EXPECT_EQ(screen.cursorRow(), 1) << "a full line waits for the next character before wrapping";
    EXPECT_EQ(screen.cursorColumn(), 10);
    put(screen, "AB");
    EXPECT_EQ(screen.rowText(1), "0123456789");
    EXPECT_EQ(screen.rowText(2), "AB");
    put(screen, "\r\n0123456789\r\n");
    EXPECT_EQ(screen.rowText(3), "0123456789");
    EXPECT_EQ(screen.rowText(4), "") << "CR LF after a full line makes one line break, not two";
    EXPECT_EQ(screen.cursorRow(), 4);
}

TEST(Screen, HistoryIsBounded) {
    Screen screen(3, 10, 5);
    for (int i = 0; i < 20; ++i) {
        put(screen, "L" + std::to_string(i) + "\r\n");
    }
    EXPECT_EQ(screen.historySize(), 5);
    EXPECT_EQ(screen.rowText(1), "L18");
    EXPECT_EQ(screen.rowText(2), "L19");
    EXPECT_EQ(screen.rowText(3), "");
    EXPECT_EQ(screen.lineText(screen.firstLine()), "L13");
    EXPECT_EQ(screen.lineText(screen.firstLine() - 1), "") << "dropped lines are gone";
    EXPECT_EQ(screen.lineCells(screen.firstLine() - 1), nullptr);
}

TEST(Screen, ViewOffsetIsClampedAndStaysOnItsTextWhileLinesArrive) {
    Screen screen(3, 10, 50);
    for (int i = 0; i < 10; ++i) {
        put(screen, "L" + std::to_string(i) + "\r\n");
    }
    screen.setViewOffset(100);
    EXPECT_EQ(screen.viewOffset(), screen.historySize());
    EXPECT_EQ(screen.lineText(screen.viewTopLine()), "L0");
    screen.setViewOffset(2);
    const std::string top = screen.lineText(screen.viewTopLine());
    put(screen, "new\r\nmore\r\n");
    EXPECT_EQ(screen.lineText(screen.viewTopLine()), top);
    screen.setViewOffset(-5);
    EXPECT_EQ(screen.viewOffset(), 0);
}

TEST(Screen, SelectionTextEndsEachLineWithCrLf) {
    Screen screen(5, 20, 10);
    put(screen, "first line   \r\nsecond\r\nthird");
    const long long top = screen.pageTopLine();
    const struct {
        Position a;
        Position b;
        const char* text;
    } cases[] = {
        {{top, 1}, {top, 5}, "first\r\n"},
        {{top, 7}, {top, 20}, "line\r\n"},
        {{top + 1, 3}, {top, 7}, "line\r\nsec\r\n"},  // selected backwards
        {{top, 1}, {top + 2, 20}, "first line\r\nsecond\r\nthird\r\n"},
        {{top, 2}, {top, 2}, "i\r\n"},
        {{top + 3, 1}, {top + 3, 5}, "\r\n"},
    };
    for (const auto& c : cases) {
        screen.setSelection(c.a, c.b);
        EXPECT_EQ(screen.selectedText(), c.text);
    }
    screen.setSelection({top, 3}, {top + 1, 2});
    EXPECT_TRUE(screen.isSelected(top, 3));
    EXPECT_FALSE(screen.isSelected(top, 2));
    EXPECT_TRUE(screen.isSelected(top + 1, 1));
    EXPECT_FALSE(screen.isSelected(top + 1, 3));
    screen.clearSelection();
    EXPECT_EQ(screen.selectedText(), "");
}

TEST(Screen, ClearEmptiesPageAndHistory) {
    Screen screen(3, 10, 10);
    put(screen, "a\r\nb\r\nc\r\nd\r\ne");
    screen.setSelection({screen.pageTopLine(), 1}, {screen.pageTopLine(), 2});
    screen.clear();
    EXPECT_EQ(screen.historySize(), 0);
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(screen.rowText(row), "");
    }
    EXPECT_EQ(screen.cursorRow(), 1);
    EXPECT_EQ(screen.cursorColumn(), 1);
    EXPECT_FALSE(screen.hasSelection());
}

TEST(Screen, MoveToColumnZeroStaysAndOthersAreClamped) {
    const std::pair<int, int> cases[] = {{0, 4}, {1, 1}, {7, 7}, {10, 10}, {99, 10}, {-2, 4}};
    for (auto [column, expected] : cases) {
        Screen screen(3, 10, 0);
        put(screen, "abc");
        screen.moveToColumn(column);
        EXPECT_EQ(screen.cursorColumn(), expected) << column;
    }
}

TEST(Screen, TabWithoutFurtherStopGoesToTheLastColumn) {
    Screen screen(3, 12, 0);
    put(screen, "abcdefghij\t");
    EXPECT_EQ(screen.cursorColumn(), 12);
    put(screen, "\t");
    EXPECT_EQ(screen.cursorColumn(), 12);
}

TEST(Screen, SaveAndRestoreCursor) {
    Screen screen(5, 20, 0);
    put(screen, "ab\r\ncde");
    screen.saveCursor();
    put(screen, "\r\n\r\nxyz");
    screen.restoreCursor();
    put(screen, "!");
    EXPECT_EQ(screen.rowText(2), "cde!");
}

TEST(Screen, FewerRowsKeepTheCursorLineAndMoreRowsBringHistoryBack) {
    Screen screen(10, 20, 50);
    put(screen, "one\r\ntwo\r\nthree");
    screen.setRows(2);
    EXPECT_EQ(screen.rowText(2), "three");
    EXPECT_EQ(screen.rowText(1), "two");
    EXPECT_EQ(screen.cursorRow(), 2);
    put(screen, "!");
    EXPECT_EQ(screen.rowText(2), "three!");
    screen.setRows(5);
    EXPECT_EQ(screen.cursorRow(), 3);
    EXPECT_EQ(screen.rowText(1), "one");
    EXPECT_EQ(screen.rowText(3), "three!");
    EXPECT_EQ(screen.rowText(4), "");
}

TEST(Screen, DirtyRowsNameOnlyWhatChanged) {
    Screen screen(4, 10, 10);
    screen.takeDirty();
    put(screen, "\r\n");
    screen.takeDirty();
    put(screen, "x");
    DirtyRows dirty = screen.takeDirty();
    EXPECT_FALSE(dirty.all);
    EXPECT_EQ(dirty.first, 2);
    EXPECT_EQ(dirty.last, 2);
    EXPECT_FALSE(screen.takeDirty().any()) << "taking resets";
    put(screen, "\r\n\r\ny");
    dirty = screen.takeDirty();
    EXPECT_FALSE(dirty.all);
    EXPECT_EQ(dirty.first, 2);
    EXPECT_EQ(dirty.last, 4);
    put(screen, "\r\n");
    EXPECT_TRUE(screen.takeDirty().all) << "scrolling repaints the page";
}

TEST(Emulator, StuffedCharactersRunBeforeTheNextReceivedByte) {
    Screen screen(3, 20, 0);
    Emulator emulator(screen);
    struct Doubler : CharHook {
        Emulator& e;
        explicit Doubler(Emulator& em) : e(em) {}
        void onChar(std::uint8_t c, bool stuffed, DisplayCommand& command) override {
            if (!stuffed && c == 'x') {
                e.stuff("12");
                command = DisplayCommand::showString('<', '>');
            } else if (stuffed && c == '1') {
                e.stuff('3');  // queued behind the '2'
            }
        }
    } hook(emulator);
    emulator.setHook(&hook);
    emulator.receive("axbx");
    EXPECT_EQ(screen.rowText(1), "a<>123b<>123");
    emulator.stuff("zz");  // outside processing: shown at once
    EXPECT_EQ(screen.rowText(1), "a<>123b<>123zz");
}

TEST(StatusPanels, TextsFollowTheState) {
    TerminalStatus s;
    s.baud = 19200;
    s.portNumber = 1;
    s.visibleRows = 25;
    s.visibleColumns = 80;
    auto texts = statusPanelTexts(s);
    const std::array<std::string, 9> atRest{"19200 ", "Com 1",    "Capt off-A", "Hex off", "Scroll off",
                                            "25:80",  "Break off", "Clear",     ""};
    EXPECT_EQ(texts, atRest);
    s.captureOn = true;
    s.captureAppend = false;
    s.hexDisplay = true;
    s.scrollback = true;
    s.breakOn = true;
    s.baud = 57600;
    s.portNumber = 3;
    texts = statusPanelTexts(s);
    const std::array<std::string, 9> allOn{"57600 ", "Com 3",   "Capt on-O", "Hex on", "Scroll on",
                                           "25:80",  "Break on", "Clear",    ""};
    EXPECT_EQ(texts, allOn);
    s.captureAppend = true;
    EXPECT_EQ(statusPanelTexts(s)[2], "Capt on-A");
    s.captureOn = false;
    s.captureAppend = false;
    EXPECT_EQ(statusPanelTexts(s)[2], "Capt off-O");
}

TEST(StatusPanels, ClickPositionFindsThePanelByRunningWidths) {
    // widths 70 50 65 55 65 50 65 50 50 -> right edges 70 120 185 240 305 355 420 470 520
    const std::pair<int, int> cases[] = {{0, 0},   {69, 0},  {70, 1},  {119, 1}, {120, 2}, {184, 2},
                                         {185, 3}, {240, 4}, {304, 4}, {305, 5}, {355, 6}, {419, 6},
                                         {420, 7}, {469, 7}, {470, 8}, {519, 8}, {520, -1}, {-1, -1}};
    for (auto [x, panel] : cases) {
        EXPECT_EQ(statusPanelAt(x), panel) << x;
    }
}

TEST(StatusPanels, ClickActions) {
    using A = StatusAction;
    const struct {
        int panel;
        A withPort;
        A withoutPort;
    } cases[] = {
        {0, A::PortSetup, A::PortSetup}, {1, A::PortSetup, A::PortSetup}, {2, A::Capture, A::None},
        {3, A::HexDisplay, A::None},     {4, A::Scrollback, A::None},     {5, A::None, A::None},
        {6, A::Break, A::Break},         {7, A::Clear, A::Clear},         {8, A::None, A::None},
        {-1, A::None, A::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(statusActionFor(c.panel, 2), c.withPort) << c.panel;
        EXPECT_EQ(statusActionFor(c.panel, 0), c.withoutPort) << c.panel;
    }
}

}  // namespace
}  // namespace orrery::term
