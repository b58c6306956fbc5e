#include "hd6301.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

namespace orrery::compiler {
namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return out;
}

TEST(Hd6301Table, EveryRecordIsFoundByItsNameInAnyCase) {
    for (const auto& ins : kHd6301Instructions) {
        EXPECT_EQ(findInstruction(ins.name), &ins) << ins.name;
        EXPECT_EQ(findInstruction(upper(ins.name)), &ins) << ins.name;
    }
}

TEST(Hd6301Table, LookupComparesTheFirstFiveCharactersOnly) {
    struct Case {
        std::string_view word;
        std::string_view found;  // empty: no record
    } cases[] = {
        {"sleepy", "sleep"}, {"SLEEPING", "sleep"},
        {"ldaa", "ldaa"},    {"ldaab", ""},
        {"ld", ""},          {"", ""},
        {"xgdxx", ""},       {"bra", "bra"},
        {"br", ""},          {"Tst", "tst"},
        {"tsta", "tsta"},    {"zzz", ""},
        {"aaa", ""},         {"lsldd", ""},
    };
    for (const auto& c : cases) {
        const Hd6301Instruction* ins = findInstruction(c.word);
        if (c.found.empty()) {
            EXPECT_EQ(ins, nullptr) << c.word;
        } else {
            ASSERT_NE(ins, nullptr) << c.word;
            EXPECT_EQ(ins->name, c.found);
        }
    }
}

TEST(Hd6301Table, ClassesGiveOperandFlagAndModes) {
    struct Case {
        std::string_view name;
        bool operand;
        std::uint8_t modes;
    } cases[] = {
        {"nop", false, 0x02}, {"ldaa", true, 0x5C}, {"ldx", true, 0x5C},
        {"staa", true, 0x58}, {"jsr", true, 0x58},  {"clr", true, 0x50},
        {"bne", true, 0x20},  {"aim", true, 0x48},  {"bset", true, 0x58},
    };
    for (const auto& c : cases) {
        const Hd6301Instruction* ins = findInstruction(c.name);
        ASSERT_NE(ins, nullptr);
        EXPECT_EQ(ins->takesOperand(), c.operand) << c.name;
        EXPECT_EQ(ins->modes(), c.modes) << c.name;
    }
}

TEST(Hd6301Table, ClassCountsMatchTheInstructionSet) {
    std::map<AsmClass, int> counts;
    for (const auto& ins : kHd6301Instructions)
        ++counts[ins.cls];
    EXPECT_EQ(counts[AsmClass::Inherent], 63);
    EXPECT_EQ(counts[AsmClass::Register8], 20);
    EXPECT_EQ(counts[AsmClass::Store8], 6);
    EXPECT_EQ(counts[AsmClass::Register16], 6);
    EXPECT_EQ(counts[AsmClass::Memory], 13);
    EXPECT_EQ(counts[AsmClass::Relative], 19);
    EXPECT_EQ(counts[AsmClass::ImmediateToMemory], 4);
    EXPECT_EQ(counts[AsmClass::Bit], 4);
}

TEST(Hd6301Table, AlternativeSpellingsShareTheirOpcode) {
    const std::pair<std::string_view, std::string_view> pairs[] = {
        {"lsl", "asl"}, {"lsla", "asla"}, {"lslb", "aslb"}, {"lsld", "asld"},
        {"bhs", "bcc"}, {"blo", "bcs"},   {"sleep", "slp"},
    };
    for (const auto& [alias, name] : pairs) {
        EXPECT_EQ(findInstruction(alias)->opcode, findInstruction(name)->opcode) << alias;
        EXPECT_EQ(findInstruction(alias)->cls, findInstruction(name)->cls) << alias;
    }
}

std::string encodeHex(std::string_view name, AsmOperand op, std::uint16_t location = 0x1000) {
    const Hd6301Instruction* ins = findInstruction(name);
    if (!ins)
        return "no such instruction";
    const EncodedInstruction e = encodeInstruction(*ins, op, location);
    if (e.error)
        return std::string(asmMessage(*e.error));
    std::string out;
    for (std::size_t i = 0; i < e.size; ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%s%02X", i ? " " : "", e.bytes[i]);
        out += buf;
    }
    return out;
}

TEST(Hd6301Encoding, EachClassAndMode) {
    struct Case {
        std::string_view name;
        AsmOperand op;
        std::string expected;
    } cases[] = {
        {"nop", {}, "01"},
        {"xgdx", {}, "18"},
        {"slp", {}, "1A"},
        {"ldaa", {kModeImmediate, 0x41}, "86 41"},
        {"ldaa", {kModeImmediate, 300}, "86 2C"},
        {"ldaa", {kModePlain, 0x41}, "B6 00 41"},
        {"ldaa", {kModeIndexed, 5}, "A6 05"},
        {"ldaa", {kModeIndexed, 255}, "A6 FF"},
        {"ldaa", {kModeIndexed, 300}, "Index offset out of range "},
        {"ldaa", {kModeDirect, 1, 2}, "Bad addressing mode "},
        {"staa", {kModePlain, 0x1234}, "B7 12 34"},
        {"std", {kModeIndexed, 3}, "ED 03"},
        {"jsr", {kModePlain, 0xF000}, "BD F0 00"},
        {"ldx", {kModeImmediate, 0x1234}, "CE 12 34"},
        {"ldd", {kModePlain, 0x0102}, "FC 01 02"},
        {"cpx", {kModeIndexed, 0}, "AC 00"},
        {"jmp", {kModeIndexed, 5}, "6E 05"},
        {"jmp", {kModePlain, 0x1000}, "7E 10 00"},
        {"clr", {kModeIndexed, 256}, "Index offset out of range "},
        {"clr", {kModeImmediate, 1}, "Bad addressing mode "},
        {"aim", {kModeDirect, 0x0F, 0x80}, "71 0F 80"},
        {"aim", {kModeIndexed, 0x0F, 4}, "61 0F 04"},
        {"oim", {kModeDirect, 0x10, 0x20}, "72 10 20"},
        {"eim", {kModeIndexed, 0xFF, 1}, "65 FF 01"},
        {"tim", {kModeDirect, 0x01, 0xFF}, "7B 01 FF"},
        {"aim", {kModePlain, 0x0F}, "Bad addressing mode "},
        {"aim", {kModeImmediate, 0x0F}, "Bad addressing mode "},
        {"bclr", {kModeDirect, 3, 0x40}, "71 F7 40"},
        {"bclr", {kModeIndexed, 3, 4}, "61 F7 04"},
        {"bset", {kModeIndexed, 1, 2}, "62 02 02"},
        {"btgl", {kModeDirect, 7, 0x10}, "75 80 10"},
        {"btst", {kModeDirect, 0, 0x10}, "7B 01 10"},
        {"btst", {kModeDirect, 8, 0x40}, "Bit instruction must specify 0 to 7 "},
        {"bset", {kModePlain, 0x40}, "Bad addressing mode "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encodeHex(c.name, c.op), c.expected) << c.name << " mode " << int(c.op.mode);
    }
}

TEST(Hd6301Encoding, BranchDisplacementsAndTheirLimits) {
    struct Case {
        std::uint16_t location;
        std::uint16_t target;
        std::string expected;
    } cases[] = {
        {0x1000, 0x1000, "20 FE"},  // to itself
        {0x1000, 0x1002, "20 00"},
        {0x1000, 0x1002 + 127, "20 7F"},
        {0x1000, 0x1002 + 128, "Displacement out of range "},
        {0x1000, 0x1002 - 128, "20 80"},
        {0x1000, 0x1002 - 129, "Displacement out of range "},
        {0xFFF0, 0x0010, "20 1E"},  // across the top of memory
        {0x0005, 0xFFF0, "20 E9"},
        {0x1000, 0x8000, "Displacement out of range "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encodeHex("bra", {kModePlain, c.target}, c.location), c.expected)
            << std::hex << c.location << " -> " << c.target;
    }
}

TEST(Hd6301Encoding, UnresolvedOperandsKeepTheirSizeWithZeroBytes) {
    struct Case {
        std::string_view name;
        AsmOperand op;
        std::string expected;
    } cases[] = {
        {"bra", {kModePlain, 0, 0, false}, "20 00"},     {"ldx", {kModeImmediate, 0, 0, false}, "CE 00 00"},
        {"ldaa", {kModePlain, 0, 0, false}, "B6 00 00"}, {"bclr", {kModeDirect, 3, 0, false}, "71 00 00"},
        {"jmp", {kModeIndexed, 0, 0, false}, "6E 00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(encodeHex(c.name, c.op), c.expected) << c.name;
}

TEST(AsmMessages, CodesAndTextsIncludingTheTrailingBlank) {
    struct Case {
        AsmError code;
        int number;
        std::string_view text;
    } cases[] = {
        {AsmError::NoErrors, 0, "NO ERRORS !!! "},
        {AsmError::BadLabelChar, 6, "Bad character in label"},
        {AsmError::BadMnemonic, 8, "Bad mnemonic or directive "},
        {AsmError::DataNeedsParams, 9, "DATA directives must have paramters "},
        {AsmError::LabelRequired, 10, "Label must preceed this directive "},
        {AsmError::DivisionByZero, 12, "Division by zero error "},
        {AsmError::MultipleLabel, 18, "Multiple defined label "},
        {AsmError::UndefinedSymbol, 29, "Undefined symbol "},
        {AsmError::BadOperand, 34, "Bad Operand "},
        {AsmError::TooManyLines, 37, "Too many ASM lines "},
        {AsmError::TooManySymbols, 38, "Too many symbols (variables+labels)"},
        {AsmError::Undefined, 39, "Undefined error, call tech support "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<int>(c.code), c.number);
        EXPECT_EQ(asmMessage(c.code), c.text);
    }
    int withoutBlank = 0;
    for (auto m : kAsmMessages)
        withoutBlank += m.back() != ' ';
    EXPECT_EQ(withoutBlank, 2);
}

}  // namespace
}  // namespace orrery::compiler
