#include "symfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orrery::compiler {
namespace {

constexpr int kByteArea = -4;  // downward byte addresses
constexpr int kSlotArea = +1;  // upward slot numbers

SymbolEntryFacts integerVar(std::string_view name, std::uint32_t address) {
    return {name, kFlagScalar | kFlagUsed, kTypeInt, address, 0};
}
SymbolEntryFacts floatVar(std::string_view name, std::uint32_t address) {
    return {name, kFlagScalar, kTypeFloat, address, 0};
}
SymbolEntryFacts stringVar(std::string_view name, std::uint32_t address) {
    return {name, kFlagScalar, kTypeString, address, 0};
}
SymbolEntryFacts array(std::string_view name, std::uint32_t type, std::uint32_t start, std::uint32_t end) {
    return {name, kFlagArray, type, start, end};
}
SymbolEntryFacts label(std::string_view name, std::uint32_t offset) {
    return {name, kFlagLabel | kFlagDefined | kFlagUsed, kTypeLabel,
            offset, 0};
}

std::string symFileOf(const std::vector<SymbolEntryFacts>& entries, int step) {
    std::vector<SymbolRecord> records;
    for (const auto& e : entries)
        records.push_back(summaryRecordOf(e, step));
    return symbolFileText(makeSymbolSummary(std::move(records)));
}

struct SymFileCase {
    const char* what;
    std::vector<SymbolEntryFacts> entries;  // in symbol-table visiting order, not sorted
    int step;
    std::string expected;
};

// CRC values were computed with an independent CRC-16/XMODEM over the record bytes.
TEST(SymbolFile, WholeFiles) {
    const std::vector<SymFileCase> cases = {
        {"empty program", {}, kByteArea, "QUOBOL SYMBOL TABLE\r\n[VCRC]=0\r\n[LCRC]=0\r\n"},
        {"variable, array and label",
         {label("SCAN", 0x12), array("TEMPS", kTypeFloat, 0x7494, 0x74BB), integerVar("COUNT", 0x74BC)},
         kByteArea,
         "QUOBOL SYMBOL TABLE\r\n"
         "COUNT V I 74BC\r\n"
         "TEMPS A F 7494 10\r\n"
         "SCAN  L B 0012\r\n"
         "[VCRC]=2f6f\r\n"
         "[LCRC]=c07d\r\n"},
        {"labels only: a Quobol label type sorts before an assembler label type",
         {{"ISR", kFlagLabel | kFlagDefined, kTypeAsmLabel, 0x40, 0},
          label("START", 0),
          label("LOOP", 3)},
         kByteArea,
         "QUOBOL SYMBOL TABLE\r\n"
         "LOOP  L B 0003\r\n"
         "START L B 0000\r\n"
         "ISR   L A 0040\r\n"
         "[VCRC]=0\r\n"
         "[LCRC]=eeb1\r\n"},
        {"names differing only in case sort upper case first",
         {integerVar("count", 0x74B8), integerVar("COUNT", 0x74BC)},
         kByteArea,
         "QUOBOL SYMBOL TABLE\r\n"
         "COUNT V I 74BC\r\n"
         "count V I 74B8\r\n"
         "[VCRC]=8484\r\n"
         "[LCRC]=0\r\n"},
        {"every kind and type in summary order",
         {{"TOP", kFlagAsmLabel | kFlagEqu, 0, 0x814E, 0},
          {"PORT", kFlagAsmLabel, kTypeAsmLabel, 0x17, 0},
          {"LEDS", kFlagExtension, 0, 0, 2},
          label("DONE", 0x2A),
          array("T", kTypeFloat, 0x7378, 0x7397),
          array("B", kTypeInt, 0x7398, 0x73B7),
          stringVar("S", 0x73B8),
          floatVar("X", 0x74B8),
          integerVar("N", 0x74BC)},
         kByteArea,
         "QUOBOL SYMBOL TABLE\r\n"
         "N    V I 74BC\r\n"
         "X    V F 74B8\r\n"
         "S    V S 73B8\r\n"
         "B    A I 7398 8\r\n"
         "T    A F 7378 8\r\n"
         "DONE L B 002A\r\n"
         "LEDS E U 0002\r\n"
         "PORT U U 0017\r\n"
         "TOP  U U 814E\r\n"
         "[VCRC]=fde0\r\n"
         "[LCRC]=cd7a\r\n"},
        {"slot-addressed variables of the large models",
         {array("ARR", kTypeFloat, 65, 75), integerVar("A", 64)},
         kSlotArea,
         "QUOBOL SYMBOL TABLE\r\n"
         "A   V I 0040\r\n"
         "ARR A F 0041 10\r\n"
         "[VCRC]=6c6b\r\n"
         "[LCRC]=0\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(symFileOf(c.entries, c.step), c.expected) << c.what;
    }
}

TEST(SymbolFile, SummaryCarriesTheSameCrcsAsTheFile) {
    std::vector<SymbolRecord> records = {summaryRecordOf(label("SCAN", 0x12), kByteArea),
                                         summaryRecordOf(integerVar("COUNT", 0x74BC), kByteArea)};
    const SymbolSummary summary = makeSymbolSummary(records);
    EXPECT_EQ(summary.vcrc, 0x0CD5);
    EXPECT_EQ(summary.lcrc, 0xC07D);
    EXPECT_EQ(summary.longestName, 5);
    EXPECT_EQ(summary.records.front().name, "COUNT");
    EXPECT_TRUE(symbolFileText(summary).ends_with("[VCRC]=cd5\r\n[LCRC]=c07d\r\n"));
}

struct RecordCase {
    const char* what;
    SymbolEntryFacts entry;
    int step;
    SymbolRecord expected;
};

TEST(SymbolFile, RecordOfEachEntryKind) {
    const std::string longName(40, 'Q');
    const std::vector<RecordCase> cases = {
        {"integer variable", integerVar("I", 0x74BC), kByteArea, {"I", 'V', 'I', 1, 1, 0x74BC, 1}},
        {"byte-sized integer type counts as integer",
         {"B", kFlagScalar, 0x02, 0x74B0, 0},
         kByteArea,
         {"B", 'V', 'I', 1, 1, 0x74B0, 1}},
        {"float variable", floatVar("F", 0x74B8), kByteArea, {"F", 'V', 'F', 1, 2, 0x74B8, 1}},
        {"string variable", stringVar("S", 0x73B8), kByteArea, {"S", 'V', 'S', 1, 3, 0x73B8, 1}},
        {"integer array, byte area",
         array("A", kTypeInt, 0x7490, 0x74AF),
         kByteArea,
         {"A", 'A', 'I', 2, 1, 0x7490, 8}},
        {"string type array shows as float",
         array("Z", kTypeString, 0x7490, 0x74AF),
         kByteArea,
         {"Z", 'A', 'F', 2, 2, 0x7490, 8}},
        {"array in the slot area",
         array("A", kTypeInt, 70, 73),
         kSlotArea,
         {"A", 'A', 'I', 2, 1, 70, 3}},
        {"defined label", label("L", 0x0102), kByteArea, {"L", 'L', 'B', 3, 1, 0x0102, 0}},
        {"extension takes its number as address",
         {"EXT", kFlagExtension, 0, 0x1234, 3},
         kByteArea,
         {"EXT", 'E', 'U', 4, 3, 3, 1}},
        {"label flag wins over array flag",
         {"W", kFlagLabel | kFlagArray, 0, 9, 0},
         kByteArea,
         {"W", 'L', 'B', 3, 1, 9, 0}},
        {"assembler label",
         {"AL", kFlagAsmLabel, kTypeAsmLabel, 0x8140, 0},
         kByteArea,
         {"AL", 'U', 'U', 5, 3, 0x8140, 1}},
        {"name cut to 31 characters",
         integerVar(longName, 0x74BC),
         kByteArea,
         {std::string(31, 'Q'), 'V', 'I', 1, 1, 0x74BC, 1}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(summaryRecordOf(c.entry, c.step), c.expected) << c.what;
    }
}

TEST(SymbolFile, UndefinedLabelIsRecognisedByItsFlags) {
    struct FlagCase {
        std::uint32_t flags;
        bool undefined;
    };
    const std::vector<FlagCase> cases = {
        {0x50, true},     {0x40, true},     {0x10, true},        {0x00, true},   {0x60, false},
        {0x70, false},    {0x80, false},    {0x100, false},      {0x200, false}, {0x10000, false},
        {0x40000, false}, {0xC0000, false}, {0x80000000, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isUndefinedLabel(c.flags), c.undefined) << std::hex << c.flags;
    }
}

TEST(SymbolFile, NamesCompareAsUnsignedBytes) {
    SymbolRecord plain{"Zed", 'V', 'I', 1, 1, 0, 1};
    SymbolRecord high{"\xC4rger", 'V', 'I', 1, 1, 0, 1};
    SymbolRecord prefix{"Ze", 'V', 'I', 1, 1, 0, 1};
    EXPECT_TRUE(summaryOrderLess(plain, high));
    EXPECT_FALSE(summaryOrderLess(high, plain));
    EXPECT_TRUE(summaryOrderLess(prefix, plain));
    EXPECT_FALSE(summaryOrderLess(plain, plain));
}

}  // namespace
}  // namespace orrery::compiler
