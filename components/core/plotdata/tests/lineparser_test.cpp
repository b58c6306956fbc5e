// Lines of logger output -> the readings they give.
#include <gtest/gtest.h>

#include <clocale>
#include <locale>

#include "linesplitter.h"
#include "lineparser.h"

namespace orrery::plot {
namespace {

struct LineCase {
    std::string line;
    std::vector<Reading> expected;
};

std::vector<Reading> parsed(const std::string& line) {
    std::vector<Reading> out{{"stale", 1.0}};
    parseLine(line, out);
    return out;
}

void expectTable(const std::vector<LineCase>& table) {
    for (const LineCase& c : table) {
        EXPECT_EQ(parsed(c.line), c.expected) << "line: " << c.line;
    }
}

TEST(LineParser, NamedPairs) {
    expectTable({
        {"T1=21.53 T2=19.87 RH=64.2%", {{"T1", 21.53}, {"T2", 19.87}, {"RH", 64.2}}},
        {"T1:21.53,T2:19.87", {{"T1", 21.53}, {"T2", 19.87}}},
        {"Temp: 21.5 C  Hum = 60 %", {{"Temp", 21.5}, {"Hum", 60}}},
        {"\tbatt_v=12.61V\tch.3=-0.5", {{"batt_v", 12.61}, {"ch.3", -0.5}}},
        {"T=1 T=2", {{"T", 1}}},                       // a name once a line, the first wins
        {"status=OK T=3", {{"T", 3}}},                 // a value that is text
        {"Time: 12:30:15 T=5", {{"T", 5}}},            // a time is no value
        {"date=2026-12-08 level=7m", {{"level", 7}}},  // nor is a date
        {"x=0x1F y=2", {{"y", 2}}},                    // nor a hex number
        {"name= ", {}},
        {"=5 :6", {}},                                 // a mark with no name before it
        {"abcdefghijklmnopqrstuvwxyz0123456789=1 b=2", {{"b", 2}}},  // names longer than 32
    });
}

TEST(LineParser, BareNumbersByColumn) {
    expectTable({
        {"21.53,19.87,64.2", {{"1", 21.53}, {"2", 19.87}, {"3", 64.2}}},
        {"21.53 19.87\t64.2", {{"1", 21.53}, {"2", 19.87}, {"3", 64.2}}},
        {"21.53;19.87", {{"1", 21.53}, {"2", 19.87}}},
        {"21.5,,64.2", {{"1", 21.5}, {"3", 64.2}}},          // an empty field keeps its column
        {"12:30:15,21.5,19.8", {{"2", 21.5}, {"3", 19.8}}},  // so does a text field
        {"Temp 21.5 C hum 60 %", {{"1", 21.5}, {"2", 60}}},  // words between numbers are text
        {"21.5C, 64.2%, 3.3 V", {{"1", 21.5}, {"2", 64.2}, {"3", 3.3}}},
        {"1 2, 3", {{"1", 1}, {"2", 3}}},                    // one reading per column
        {"5, RH=60", {{"1", 5}, {"RH", 60}}},
        {"", {}},
        {"   ,  ;", {}},
    });
}

TEST(LineParser, NumberForms) {
    expectTable({
        {"-1.5 +2 .5 -.25 7.", {{"1", -1.5}, {"2", 2}, {"3", 0.5}, {"4", -0.25}, {"5", 7}}},
        {"1e3 2.5E-2 -4e+1", {{"1", 1000}, {"2", 0.025}, {"3", -40}}},
        {"1e 5", {{"1", 1}, {"2", 5}}},  // an exponent mark with no digits is a unit
        {"1.2.3 4", {{"1", 4}}},         // a word that only starts like a number is text
        {"- + . -x 9", {{"1", 9}}},
    });
}

TEST(LineParser, NotANumberAndInfinitiesAreSkippedButKeepTheirColumn) {
    expectTable({
        {"nan inf -inf NaN", {}},
        {"T=nan U=inf V=-inf W=1", {{"W", 1}}},
        {"1e999,2", {{"2", 2}}},
        {"-1e999 2", {{"2", 2}}},
        {"T=1e400 U=2", {{"U", 2}}},
    });
}

TEST(LineParser, BinaryAndOverlongLinesGiveNothing) {
    std::string binary = "T=1 ";
    binary += '\0';
    binary += "U=2";
    std::string withEscape = "\x1b[1mT=1";
    std::string high = "T=21.5\xb0" "C \xff\xfe U=2";
    std::string longLine(kMaxLineLength - 3, ' ');
    longLine += "T=1";
    expectTable({
        {binary, {}},
        {withEscape, {}},
        {"T=1\x07", {}},
        {high, {{"T", 21.5}, {"U", 2}}},  // bytes above 127 are text (a degree sign, say)
        {longLine, {{"T", 1}}},
        {longLine + " ", {}},
    });
}

TEST(LineParser, ManyNumbersStopAtTheLimit) {
    std::string line;
    for (int i = 0; i < 100; ++i) {
        line += std::to_string(i) + " ";
    }
    const auto readings = parsed(line);
    ASSERT_EQ(readings.size(), kMaxReadingsPerLine);
    EXPECT_EQ(readings.back(), (Reading{"32", 31}));
}

TEST(LineParser, ReadsTheSameInAGermanLocale) {
    // Where installed, a locale whose decimal mark is a comma must not change how "21.53" reads.
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    const auto readings = parsed("T=21.53 1,5");
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(readings, (std::vector<Reading>{{"T", 21.53}, {"1", 1}, {"2", 5}}));
}

struct SplitCase {
    std::vector<std::string> pieces;
    std::vector<std::string> lines;
    std::uint64_t lineEnds;
    std::uint64_t overlong;
};

TEST(LineSplitter, LinesAcrossPiecesAndLineEnds) {
    const std::string big(kMaxLineLength + 1, 'x');
    const std::vector<SplitCase> table = {
        {{"a\r\nb\nc\rd"}, {"a", "b", "c"}, 3, 0},
        {{"T=2", "1.5\r", "\nU", "=3\n"}, {"T=21.5", "U=3"}, 2, 0},
        {{"\r\n\r\n\n", "x\r", "\n", "\n"}, {"x"}, 5, 0},  // a CR LF split over two pieces is one end
        {{big + "\nok\n"}, {"ok"}, 2, 1},                     // in one piece
        {{std::string(600, 'x'), std::string(600, 'x'), "tail\nok\n"}, {"ok"}, 2, 1},  // across pieces
        {{std::string(kMaxLineLength, 'y'), "\n"}, {std::string(kMaxLineLength, 'y')}, 1, 0},
    };
    for (const SplitCase& c : table) {
        LineSplitter splitter;
        std::vector<std::string> lines;
        for (const std::string& piece : c.pieces) {
            splitter.feed(piece, [&lines](std::string_view line) { lines.emplace_back(line); });
        }
        EXPECT_EQ(lines, c.lines) << "first piece: " << c.pieces.front().substr(0, 20);
        EXPECT_EQ(splitter.lineEnds(), c.lineEnds) << "first piece: " << c.pieces.front().substr(0, 20);
        EXPECT_EQ(splitter.overlongLines(), c.overlong);
    }
}

TEST(LineSplitter, TheEndOfAFileEndsItsLastLine) {
    LineSplitter splitter;
    std::vector<std::pair<std::uint64_t, std::string>> lines;
    const auto keep = [&](std::string_view line) { lines.emplace_back(splitter.lineEnds(), line); };
    splitter.feed("1\n\n3\nlast", keep);
    splitter.finish(keep);
    splitter.finish(keep);
    EXPECT_EQ(lines, (std::vector<std::pair<std::uint64_t, std::string>>{{1, "1"}, {3, "3"}, {4, "last"}}));
}

TEST(LineSplitter, ResetForgetsTheUnfinishedLine) {
    LineSplitter splitter;
    std::vector<std::string> lines;
    const auto keep = [&lines](std::string_view line) { lines.emplace_back(line); };
    splitter.feed("T=21", keep);
    splitter.reset();
    splitter.feed("U=3\n", keep);
    EXPECT_EQ(lines, std::vector<std::string>{"U=3"});
}

}  // namespace
}  // namespace orrery::plot
