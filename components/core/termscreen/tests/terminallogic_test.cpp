// The terminal window's per-character behaviour, checked on the screen model with no display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "terminallogic.h"

namespace orrery::term {
namespace {

struct Terminal {
    explicit Terminal(int rows = 25) : screen(rows), emulator(screen), logic(emulator) {
        logic.onBell = [this] { ++bells; };
        logic.onError = [this](const std::string& message) { errors.push_back(message); };
    }
    void feed(const std::string& bytes) { logic.receive(bytes); }
    std::string captured() {
        const std::vector<std::uint8_t> bytes = logic.takeCaptured();
        return std::string(bytes.begin(), bytes.end());
    }
    // Columns first..last of a page row as text.
    std::string cells(int row, int first, int last) const {
        std::string text;
        for (int c = first; c <= last; ++c) {
            text += char(screen.cell(row, c));
        }
        return text;
    }

    Screen screen;
    Emulator emulator;
    TerminalLogic logic;
    int bells = 0;
    std::vector<std::string> errors;
};

TEST(HexDisplay, TwoBytesAtTheStartOfALine) {
    Terminal t;
    t.logic.setHexDisplay(true);
    const int row = t.screen.cursorRow();
    ASSERT_EQ(t.screen.cursorColumn(), 1);
    t.feed("\x41\x0D");
    EXPECT_EQ(t.cells(row, 1, 5), "41 0D");
    EXPECT_EQ(t.screen.cell(row, 52), 'A');
    EXPECT_EQ(t.screen.cell(row, 53), kUnprintableGlyph);
    EXPECT_EQ(t.screen.cursorColumn(), 7);
    EXPECT_EQ(t.logic.hexColumn(), 2);
    EXPECT_TRUE(t.errors.empty());
}

TEST(HexDisplay, SixteenthByteEndsTheLineAndSeventeenthStartsAtColumnOne) {
    Terminal t;
    t.logic.setHexDisplay(true);
    const int row = t.screen.cursorRow();
    std::string bytes;
    for (int i = 0; i < 17; ++i) {
        bytes += char(0x30 + i);  // '0' .. '@'
    }
    t.feed(bytes.substr(0, 16));
    EXPECT_EQ(t.screen.rowText(row),
              "30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F" + std::string(52 - 48, ' ') + "0123456789:;<=>?");
    EXPECT_EQ(t.screen.cursorRow(), row + 1);
    EXPECT_EQ(t.screen.cursorColumn(), 1);
    EXPECT_EQ(t.logic.hexColumn(), 0);
    t.feed(bytes.substr(16));
    EXPECT_EQ(t.cells(row + 1, 1, 3), "40 ");
    EXPECT_EQ(t.screen.cell(row + 1, 52), '@');
}

TEST(HexDisplay, PrintableRangeShowsItselfOthersShowTheGlyph) {
    const struct {
        std::uint8_t byte;
        std::uint8_t shown;
        const char* digits;
    } cases[] = {
        {0x00, kUnprintableGlyph, "00"}, {0x1F, kUnprintableGlyph, "1F"}, {0x20, ' ', "20"},
        {0x7E, '~', "7E"},               {0x7F, kUnprintableGlyph, "7F"}, {0xFA, kUnprintableGlyph, "FA"},
        {0xFF, kUnprintableGlyph, "FF"}, {0x07, kUnprintableGlyph, "07"}, {0x09, kUnprintableGlyph, "09"},
    };
    for (const auto& c : cases) {
        Terminal t;
        t.logic.setHexDisplay(true);
        const int row = t.screen.cursorRow();
        t.feed(std::string(1, char(c.byte)));
        EXPECT_EQ(t.cells(row, 1, 2), c.digits) << int(c.byte);
        EXPECT_EQ(t.screen.cell(row, 52), c.shown) << int(c.byte);
        EXPECT_EQ(t.bells, 0) << "a bell in hex mode is only shown";
    }
}

TEST(HexDisplay, TurningOnAndOffEachStartANewLine) {
    Terminal t;
    t.feed("abc");
    t.logic.setHexDisplay(true);
    EXPECT_EQ(t.screen.cursorRow(), 2);
    EXPECT_EQ(t.screen.cursorColumn(), 1);
    t.feed("\x01\x02");
    EXPECT_EQ(t.cells(2, 1, 5), "01 02");
    t.logic.setHexDisplay(false);
    EXPECT_EQ(t.screen.cursorRow(), 3);
    EXPECT_EQ(t.screen.cursorColumn(), 1);
    t.feed("xy");
    EXPECT_EQ(t.screen.rowText(3), "xy");
    EXPECT_EQ(t.screen.rowText(1), "abc");
}

TEST(HexDisplay, TurningOnAgainRestartsTheDumpLine) {
    Terminal t;
    t.logic.setHexDisplay(true);
    t.feed("\x01\x02\x03");
    t.logic.setHexDisplay(false);
    t.logic.setHexDisplay(true);
    EXPECT_EQ(t.logic.hexColumn(), 0);
    const int row = t.screen.cursorRow();
    t.feed("\x04");
    EXPECT_EQ(t.cells(row, 1, 2), "04");
    EXPECT_EQ(t.screen.cell(row, 52), kUnprintableGlyph);
}

TEST(HexDisplay, ClearRestartsTheLineAtColumnOne) {
    Terminal t;
    t.logic.setHexDisplay(true);
    t.feed("\x10\x11\x12");
    t.logic.clear();
    EXPECT_EQ(t.logic.hexColumn(), 0);
    t.feed("\x13");
    EXPECT_EQ(t.screen.cursorRow(), 1);
    EXPECT_EQ(t.cells(1, 1, 3), "13 ");
    EXPECT_EQ(t.screen.cell(1, 52), kUnprintableGlyph);
    EXPECT_EQ(t.screen.rowText(2), "");
}

TEST(HexDisplay, UnexpectedCharacterDuringStepsIsReportedAndTheStepsContinue) {
    Terminal t;
    // Slips a received byte in between the steps of a hex byte, which the emulator itself never does.
    struct Interposer : CharHook {
        TerminalLogic& logic;
        bool done = false;
        explicit Interposer(TerminalLogic& l) : logic(l) {}
        void onChar(std::uint8_t c, bool stuffed, DisplayCommand& command) override {
            logic.onChar(c, stuffed, command);
            if (stuffed && c == 2 && !done) {
                done = true;
                DisplayCommand unexpected;
                logic.onChar('Z', false, unexpected);
                EXPECT_EQ(unexpected.kind, CommandKind::Nothing);
            }
        }
    } interposer(t.logic);
    t.logic.setHexDisplay(true);
    t.emulator.setHook(&interposer);
    const int row = t.screen.cursorRow();
    t.feed("A");
    t.emulator.setHook(&t.logic);
    EXPECT_EQ(t.errors, std::vector<std::string>{"Brackterm internal error #1"});
    EXPECT_EQ(t.cells(row, 1, 2), "41");
    EXPECT_EQ(t.screen.cell(row, 52), 'A');
    t.feed("B");
    EXPECT_EQ(t.cells(row, 4, 5), "42");
}

TEST(Capture, TextAndHexModeCollectTheRawReceivedBytes) {
    const std::string bytes("ab\x07\r\n\t\x00\xff", 8);
    for (bool hex : {false, true}) {
        Terminal t;
        t.logic.setCapturing(true);
        t.logic.setHexDisplay(hex);  // the stuffed line break is not captured
        t.feed(bytes);
        t.logic.setHexDisplay(!hex);
        EXPECT_EQ(t.captured(), bytes) << "hex " << hex;
    }
}

TEST(Capture, BellIsCapturedButNotShown) {
    Terminal t;
    t.logic.setCapturing(true);
    t.feed("a\x07" "b");
    EXPECT_EQ(t.screen.rowText(1), "ab");
    EXPECT_EQ(t.bells, 1);
    EXPECT_EQ(t.captured(), "a\x07" "b");
}

TEST(Capture, NothingCollectedWhileOff) {
    Terminal t;
    t.feed("abc");
    t.logic.setCapturing(true);
    t.feed("d");
    t.logic.setCapturing(false);
    t.feed("e");
    EXPECT_EQ(t.captured(), "d");
}

TEST(Inactive, DropsCharactersWithoutShowingOrCapturing) {
    for (bool hex : {false, true}) {
        Terminal t;
        t.logic.setHexDisplay(hex);
        t.logic.setCapturing(true);
        const int row = t.screen.cursorRow();
        t.logic.setActive(false);
        t.feed("xyz\x07");
        EXPECT_EQ(t.screen.rowText(row), "") << "hex " << hex;
        EXPECT_EQ(t.captured(), "");
        EXPECT_EQ(t.bells, 0);
        t.logic.setActive(true);
        t.feed("Q");
        EXPECT_EQ(t.captured(), "Q");
    }
}

TEST(TextMode, ControlCharactersAndTabs) {
    const struct {
        const char* input;
        const char* row1;
        const char* row2;
        int cursorRow;
        int cursorColumn;
    } cases[] = {
        {"abc", "abc", "", 1, 4},
        {"abc\rX", "Xbc", "", 1, 2},
        {"ab\ncd", "ab", "  cd", 2, 5},
        {"ab\r\ncd", "ab", "cd", 2, 3},
        {"abc\b\bX", "aXc", "", 1, 3},
        {"\bX", "X", "", 1, 2},
        {"a\tb", "a       b", "", 1, 10},  // default stops every 8 from column 1
        {"\t\tc", "                c", "", 1, 18},
    };
    for (const auto& c : cases) {
        Terminal t;
        t.feed(c.input);
        EXPECT_EQ(t.screen.rowText(1), c.row1) << c.input;
        EXPECT_EQ(t.screen.rowText(2), c.row2) << c.input;
        EXPECT_EQ(t.screen.cursorRow(), c.cursorRow) << c.input;
        EXPECT_EQ(t.screen.cursorColumn(), c.cursorColumn) << c.input;
    }
}

TEST(TabSize, StopsAtColumnOneAndMultiplesBelowTheVisibleColumns) {
    const struct {
        int size;
        int visible;
        int stored;
        std::vector<int> stops;  // within the visible columns
    } cases[] = {
        {8, 40, 8, {1, 8, 16, 24, 32}},
        {0, 40, 8, {1, 8, 16, 24, 32}},
        {300, 40, 8, {1, 8, 16, 24, 32}},
        {-3, 20, 8, {1, 8, 16}},
        {4, 13, 4, {1, 4, 8, 12}},
        {1, 5, 1, {1, 2, 3, 4}},
        {255, 80, 255, {1}},
        {10, 30, 10, {1, 10, 20}},
    };
    for (const auto& c : cases) {
        Terminal t;
        t.feed("hello\r\nab");
        t.logic.setTabSize(c.size, c.visible);
        std::vector<int> stops;
        for (int stop : t.screen.tabStops()) {
            if (stop < c.visible) {
                stops.push_back(stop);
            }
        }
        EXPECT_EQ(stops, c.stops) << c.size << " " << c.visible;
        EXPECT_EQ(t.logic.tabSize(), c.stored);
        EXPECT_EQ(t.logic.tabPhase(), TerminalLogic::TabPhase::None);
        EXPECT_EQ(t.screen.cursorRow(), 2) << "cursor restored";
        EXPECT_EQ(t.screen.cursorColumn(), 3) << "cursor restored";
        EXPECT_EQ(t.screen.rowText(1), "hello") << "set-up shows nothing";
        EXPECT_EQ(t.screen.rowText(2), "ab");
    }
}

TEST(TabSize, TabAfterSetUpGoesToTheNextStop) {
    Terminal t;
    t.logic.setTabSize(5, 30);
    t.feed("\tA\tB\tC");
    EXPECT_EQ(t.screen.rowText(1), "    A    B    C");
}

TEST(TabSize, RunsWhileTheDisplayIsInactiveOrInHexMode) {
    Terminal t;
    t.logic.setActive(false);
    t.logic.setTabSize(6, 20);
    EXPECT_EQ(t.screen.tabStops().front(), 1);
    EXPECT_TRUE(t.screen.isTabStop(6));
    EXPECT_TRUE(t.screen.isTabStop(12));
    EXPECT_FALSE(t.screen.isTabStop(9));
    t.logic.setActive(true);
    t.logic.setHexDisplay(true);
    t.logic.setTabSize(7, 20);
    EXPECT_TRUE(t.screen.isTabStop(14));
    EXPECT_TRUE(t.errors.empty());
}

TEST(ClampTabSize, OutOfRangeBecomesEight) {
    const std::pair<int, int> cases[] = {{0, 8}, {1, 1}, {8, 8}, {255, 255}, {256, 8}, {300, 8}, {-1, 8}};
    for (auto [in, out] : cases) {
        EXPECT_EQ(clampTabSize(in), out) << in;
    }
}

}  // namespace
}  // namespace orrery::term
