// The HD6301 processor: its decode table against the compiler's instruction table, one hand-worked
// vector or more per instruction, every addressing mode of an instruction against its other modes, and
// routines assembled by our assembler and by crasm that must compute the same.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <unistd.h>

#include "compiler.h"
#include "hd6301.h"
#include "hd6301cpu.h"

namespace orrery::loggervm::test {
namespace {

using compiler::AsmClass;
using compiler::AsmOperand;

class RamBus : public Hd6301Bus {
public:
    std::vector<std::uint8_t> ram = std::vector<std::uint8_t>(65536, 0);
    std::uint8_t read(std::uint16_t address) override { return ram[address]; }
    void write(std::uint16_t address, std::uint8_t value) override { ram[address] = value; }
};

// ---- the table ----

// Every form the compiler's encoder writes decodes to the same mnemonic (or the one it stands for) and
// the same length; every opcode the processor knows comes from a record of the compiler's table.
TEST(Hd6301Table, DecodesExactlyWhatTheCompilersTableEncodes) {
    EXPECT_EQ(hd6301TableProblems(), "");
    const auto& table = hd6301Opcodes();
    std::set<int> encoded;
    std::set<int> directForms;  // allowed by the table's modes, never chosen by the assembler
    for (const auto& record : compiler::kHd6301Instructions) {
        const AsmOperand operands[] = {
            {compiler::kModeInherent, 0, 0, true},   {compiler::kModeImmediate, 0x12, 0, true},
            {compiler::kModePlain, 0x1010, 0, true}, {compiler::kModeIndexed, 0x12, 0, true},
            {compiler::kModeDirect, 3, 0x40, true},  {compiler::kModeIndexed, 3, 0x40, true},
        };
        for (const auto& operand : operands) {
            if ((operand.mode & record.modes()) == 0)
                continue;
            const auto bytes = compiler::encodeInstruction(record, operand, 0x1000);
            if (bytes.error)
                continue;
            const CpuOpcode& op = table[bytes.bytes[0]];
            SCOPED_TRACE(std::string(record.name) + " opcode " + hexByte(bytes.bytes[0]));
            EXPECT_EQ(op.length, bytes.size);
            EXPECT_NE(op.operation, CpuOperation::Illegal);
            encoded.insert(bytes.bytes[0]);
        }
        if (record.cls == AsmClass::Register8 || record.cls == AsmClass::Register16 ||
            record.cls == AsmClass::Store8)
            directForms.insert(record.opcode + 0x10);
    }
    for (int opcode = 0; opcode < 256; ++opcode) {
        if (table[static_cast<std::size_t>(opcode)].operation == CpuOperation::Illegal)
            continue;
        EXPECT_TRUE(encoded.count(opcode) || directForms.count(opcode)) << "opcode " << hexByte(opcode);
        if (!encoded.count(opcode)) {
            EXPECT_EQ(table[static_cast<std::size_t>(opcode)].mode, CpuMode::Direct);
        }
    }
    for (const int opcode : directForms)
        EXPECT_EQ(table[static_cast<std::size_t>(opcode)].length, 2);
    // the usual mnemonic wins over the alternative spellings
    EXPECT_EQ(table[0x48].name, "asla");
    EXPECT_EQ(table[0x24].name, "bcc");
    EXPECT_EQ(table[0x61].name, "aim");
    EXPECT_EQ(table[0x1A].name, "slp");
}

// ---- hand-worked vectors ----

// Registers and memory in a short notation: A=hh B=hh X=hhhh S=hhhh P=hhhh, F=<letters of the flags
// that are set, from HINZVC> and Mhhhh=<bytes from that address on>.
struct State {
    Hd6301Registers r;
    std::vector<std::pair<std::uint16_t, std::uint8_t>> memory;
    bool pcGiven = false;
    bool flagsGiven = false;
};

State parseState(const std::string& text, Hd6301Registers r) {
    State state;
    std::istringstream in(text);
    for (std::string item; in >> item;) {
        const auto eq = item.find('=');
        const std::string key = item.substr(0, eq);
        const std::string value = item.substr(eq + 1);
        const auto number = [&] { return static_cast<unsigned>(std::stoul(value, nullptr, 16)); };
        if (key == "A")
            r.a = static_cast<std::uint8_t>(number());
        else if (key == "B")
            r.b = static_cast<std::uint8_t>(number());
        else if (key == "X")
            r.x = static_cast<std::uint16_t>(number());
        else if (key == "S")
            r.sp = static_cast<std::uint16_t>(number());
        else if (key == "P")
            r.pc = static_cast<std::uint16_t>(number()), state.pcGiven = true;
        else if (key == "F") {
            r.ccr = kCcrFixedBits;
            static const std::string names = "HINZVC";
            for (const char c : value)
                r.ccr |= static_cast<std::uint8_t>(0x20 >> names.find(c));
            state.flagsGiven = true;
        } else if (key[0] == 'M') {
            auto address = static_cast<std::uint16_t>(std::stoul(key.substr(1), nullptr, 16));
            for (std::size_t i = 0; i + 1 < value.size(); i += 2)
                state.memory.emplace_back(
                    address++, static_cast<std::uint8_t>(std::stoul(value.substr(i, 2), nullptr, 16)));
        } else {
            ADD_FAILURE() << "bad item " << item;
        }
    }
    state.r = r;
    return state;
}

struct Vector {
    const char* what;
    const char* code;  // bytes in hexadecimal, placed at 0x1000
    const char* before;
    const char* after;  // what is not named keeps its value; P defaults to the next instruction
};

std::vector<std::uint8_t> hexBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::istringstream in(text);
    for (std::string b; in >> b;)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(b, nullptr, 16)));
    return bytes;
}

void runVector(const Vector& v) {
    SCOPED_TRACE(std::string(v.what) + " [" + v.code + "]");
    RamBus bus;
    Hd6301 cpu(bus);
    Hd6301Registers start;
    start.sp = 0x0200;
    start.pc = 0x1000;
    const State before = parseState(v.before, start);
    const auto code = hexBytes(v.code);
    for (std::size_t i = 0; i < code.size(); ++i)
        bus.ram[0x1000 + i] = code[i];
    for (const auto& [address, value] : before.memory)
        bus.ram[address] = value;
    cpu.registers() = before.r;
    cpu.registers().pc = 0x1000;

    const CpuResult result = cpu.step();
    ASSERT_NE(result.end, CpuEnd::Stopped) << result.message;

    Hd6301Registers expectedStart = before.r;
    expectedStart.pc = static_cast<std::uint16_t>(0x1000 + code.size());
    const State after = parseState(v.after, expectedStart);
    EXPECT_EQ(hexByte(cpu.registers().a), hexByte(after.r.a)) << "A";
    EXPECT_EQ(hexByte(cpu.registers().b), hexByte(after.r.b)) << "B";
    EXPECT_EQ(hexWord(cpu.registers().x), hexWord(after.r.x)) << "X";
    EXPECT_EQ(hexWord(cpu.registers().sp), hexWord(after.r.sp)) << "SP";
    EXPECT_EQ(hexWord(cpu.registers().pc), hexWord(after.r.pc)) << "PC";
    EXPECT_EQ(hexByte(cpu.registers().ccr), hexByte(after.r.ccr)) << "CCR";
    for (const auto& [address, value] : after.memory)
        EXPECT_EQ(hexByte(bus.ram[address]), hexByte(value)) << "memory at " << hexWord(address);
}

const Vector kLoadsAndStores[] = {
    {"ldaa immediate sets N", "86 80", "", "A=80 F=N"},
    {"ldab extended, zero, clears V", "F6 20 00", "M2000=00 B=55 F=NV", "B=00 F=Z"},
    {"ldaa indexed", "A6 05", "X=2000 M2005=7F", "A=7F F="},
    {"ldaa direct", "96 40", "M0040=01", "A=01 F="},
    {"staa extended", "B7 20 00", "A=FF", "M2000=FF F=N"},
    {"stab indexed", "E7 02", "B=00 X=2000 F=V", "M2002=00 F=Z"},
    {"staa direct", "97 40", "A=12", "M0040=12 F="},
};

const Vector kAddAndSubtract[] = {
    {"adda: carry and half carry", "8B 0F", "A=F1", "A=00 F=HZC"},
    {"adda: signed overflow", "8B 01", "A=7F", "A=80 F=HNV"},
    {"adca adds the carry", "89 10", "A=20 F=C", "A=31 F="},
    {"addb extended: overflow to zero", "FB 20 00", "B=80 M2000=80", "B=00 F=ZVC"},
    {"adcb indexed: half carry from the carry", "E9 00", "B=0E X=2000 M2000=01 F=C", "B=10 F=H"},
    {"suba borrows", "80 01", "A=00", "A=FF F=NC"},
    {"suba: signed overflow", "80 01", "A=80", "A=7F F=V"},
    {"sbca subtracts the carry", "82 01", "A=05 F=C", "A=03 F="},
    {"sbcb: borrow of the carry alone", "C2 00", "B=00 F=C", "B=FF F=NC"},
    {"subb extended", "F0 20 00", "B=10 M2000=10", "B=00 F=Z"},
    {"cmpa equal", "81 41", "A=41 F=NC", "F=Z"},
    {"cmpa below, unsigned", "81 42", "A=41", "F=NC"},
    {"cmpb: signed overflow", "C1 80", "B=7F", "F=NVC"},
    {"aba", "1B", "A=08 B=08", "A=10 F=H"},
    {"sba", "10", "A=03 B=05", "A=FE F=NC"},
    {"cba", "11", "A=05 B=05", "F=Z"},
    {"daa after 19+28", "19", "A=41 F=H", "A=47 F=H"},
    {"daa after 45+55: both digits and the carry", "19", "A=9A", "A=00 F=ZC"},
};

const Vector kLogic[] = {
    {"anda clears V", "84 0F", "A=F3 F=V", "A=03 F="},
    {"andb to zero", "C4 F0", "B=0F", "B=00 F=Z"},
    {"oraa", "8A 80", "A=01", "A=81 F=N"},
    {"orab extended", "FA 20 00", "B=10 M2000=01", "B=11 F="},
    {"eora", "88 FF", "A=0F", "A=F0 F=N"},
    {"eorb to zero", "C8 AA", "B=AA", "B=00 F=Z"},
    {"bita keeps A", "85 80", "A=80 F=V", "F=N"},
    {"bitb", "C5 01", "B=FE", "F=Z"},
};

const Vector kSingleOperand[] = {
    {"nega", "40", "A=01", "A=FF F=NC"},
    {"nega of 80", "40", "A=80", "A=80 F=NVC"},
    {"negb of 0 clears C", "50", "B=00 F=C", "F=Z"},
    {"coma sets C", "43", "A=0F F=V", "A=F0 F=NC"},
    {"comb", "53", "B=FF", "B=00 F=ZC"},
    {"lsra: V is N xor C", "44", "A=01", "A=00 F=ZVC"},
    {"lsrb", "54", "B=82", "B=41 F="},
    {"rora takes the carry in", "46", "A=01 F=C", "A=80 F=NC"},
    {"rorb", "56", "B=02", "B=01 F="},
    {"asra keeps the sign", "47", "A=81", "A=C0 F=NC"},
    {"asrb", "57", "B=40", "B=20 F="},
    {"asla", "48", "A=40", "A=80 F=NV"},
    {"aslb", "58", "B=80", "B=00 F=ZVC"},
    {"rola", "49", "A=80 F=C", "A=01 F=VC"},
    {"rolb", "59", "B=40", "B=80 F=NV"},
    {"deca: overflow at 80", "4A", "A=80", "A=7F F=V"},
    {"decb keeps C", "5A", "B=01 F=C", "B=00 F=ZC"},
    {"inca: overflow at 7F", "4C", "A=7F", "A=80 F=NV"},
    {"incb wraps", "5C", "B=FF", "B=00 F=Z"},
    {"tsta clears V and C", "4D", "A=80 F=VC", "F=N"},
    {"tstb", "5D", "B=00", "F=Z"},
    {"clra", "4F", "A=55 F=NVC", "A=00 F=Z"},
    {"clrb", "5F", "B=01", "B=00 F=Z"},
    {"neg extended", "70 20 00", "M2000=01", "M2000=FF F=NC"},
    {"com indexed", "63 01", "X=2000 M2001=00", "M2001=FF F=NC"},
    {"lsr extended", "74 20 00", "M2000=03", "M2000=01 F=VC"},
    {"ror indexed", "66 00", "X=2000 M2000=00 F=C", "M2000=80 F=NV"},
    {"asr extended", "77 20 00", "M2000=FE", "M2000=FF F=NV"},
    {"asl indexed", "68 00", "X=2000 M2000=C0", "M2000=80 F=NC"},
    {"rol extended", "79 20 00", "M2000=7F F=C", "M2000=FF F=NV"},
    {"dec indexed", "6A 00", "X=2000 M2000=00", "M2000=FF F=N"},
    {"inc extended", "7C 20 00", "M2000=7F", "M2000=80 F=NV"},
    {"tst indexed leaves memory", "6D 00", "X=2000 M2000=00 F=C", "M2000=00 F=Z"},
    {"clr extended", "7F 20 00", "M2000=AA", "M2000=00 F=Z"},
};

const Vector kSixteenBit[] = {
    {"ldd immediate", "CC 80 00", "", "A=80 B=00 F=N"},
    {"ldd direct", "DC 40", "M0040=0102", "A=01 B=02 F="},
    {"ldx extended", "FE 20 00", "M2000=1234", "X=1234 F="},
    {"lds immediate", "8E 01 FF", "", "S=01FF F="},
    {"std indexed", "ED 02", "A=12 B=34 X=2000", "M2002=1234 F="},
    {"stx extended", "FF 20 00", "X=0000", "M2000=0000 F=Z"},
    {"sts direct", "9F 40", "S=8000", "M0040=8000 F=N"},
    {"addd carries out", "C3 00 01", "A=FF B=FF", "A=00 B=00 F=ZC"},
    {"addd: signed overflow", "C3 00 01", "A=7F B=FF", "A=80 B=00 F=NV"},
    {"subd borrows", "83 00 01", "", "A=FF B=FF F=NC"},
    {"subd extended: signed overflow", "B3 20 00", "A=80 B=00 M2000=0001", "A=7F B=FF F=V"},
    {"cpx equal", "8C 12 34", "X=1234 F=C", "F=Z"},
    {"cpx below sets C", "8C 12 35", "X=1234", "F=NC"},
    {"lsrd", "04", "A=00 B=01", "A=00 B=00 F=ZVC"},
    {"asld", "05", "A=80 B=80", "A=01 B=00 F=VC"},
    {"mul", "3D", "A=10 B=10", "A=01 B=00"},
    {"mul of FF by FF", "3D", "A=FF B=FF", "A=FE B=01"},
    {"mul: C is bit 7 of B", "3D", "A=02 B=40", "A=00 B=80 F=C"},
    {"abx, no flags", "3A", "X=00FF B=01 F=N", "X=0100 F=N"},
    {"xgdx", "18", "A=12 B=34 X=5678", "A=56 B=78 X=1234"},
    {"inx to zero", "08", "X=FFFF", "X=0000 F=Z"},
    {"dex", "09", "X=0002 F=Z", "X=0001 F="},
    {"ins", "31", "S=01FF", "S=0200"},
    {"des", "34", "", "S=01FF"},
    {"tsx", "30", "S=01FF", "X=0200"},
    {"txs", "35", "X=0300", "S=02FF"},
};

const Vector kTransfersAndFlags[] = {
    {"tab", "16", "A=80 F=V", "B=80 F=N"},
    {"tba", "17", "A=55 B=00", "A=00 F=Z"},
    {"tap", "06", "A=FF", "F=HINZVC"},
    {"tpa", "07", "F=ZC", "A=C5"},
    {"clc", "0C", "F=NC", "F=N"},
    {"sec", "0D", "", "F=C"},
    {"clv", "0A", "F=V", "F="},
    {"sev", "0B", "", "F=V"},
    {"cli", "0E", "F=I", "F="},
    {"sei", "0F", "", "F=I"},
    {"nop", "01", "A=12 F=Z", ""},
};

const Vector kBranches[] = {
    {"bra to itself", "20 FE", "", "P=1000"},     {"brn never", "21 10", "", "P=1002"},
    {"bhi taken", "22 10", "", "P=1012"},         {"bhi not taken on Z", "22 10", "F=Z", "P=1002"},
    {"bls taken on C", "23 10", "F=C", "P=1012"}, {"bcc not taken", "24 10", "F=C", "P=1002"},
    {"bcs backwards", "25 F0", "F=C", "P=0FF2"},  {"bne not taken", "26 10", "F=Z", "P=1002"},
    {"beq taken", "27 10", "F=Z", "P=1012"},      {"bvc taken", "28 10", "", "P=1012"},
    {"bvs taken", "29 10", "F=V", "P=1012"},      {"bpl not taken", "2A 10", "F=N", "P=1002"},
    {"bmi taken", "2B 10", "F=N", "P=1012"},      {"bge on N and V", "2C 10", "F=NV", "P=1012"},
    {"blt on N alone", "2D 10", "F=N", "P=1012"}, {"blt not on N and V", "2D 10", "F=NV", "P=1002"},
    {"bgt not on Z", "2E 10", "F=Z", "P=1002"},   {"bgt on N and V", "2E 10", "F=NV", "P=1012"},
    {"ble on Z", "2F 10", "F=Z", "P=1012"},
};

const Vector kJumpsAndStack[] = {
    {"jmp extended", "7E 20 00", "", "P=2000"},
    {"jmp indexed", "6E 04", "X=3000", "P=3004"},
    {"jsr extended pushes the return address", "BD 20 00", "", "P=2000 S=01FE M01FF=1003"},
    {"jsr direct", "9D 40", "", "P=0040 S=01FE M01FF=1002"},
    {"jsr indexed", "AD 10", "X=2000", "P=2010 S=01FE M01FF=1002"},
    {"bsr", "8D 10", "", "P=1012 S=01FE M01FF=1002"},
    {"rts", "39", "S=01FE M01FF=1234", "P=1234 S=0200"},
    {"rti pulls CCR B A X PC", "3B", "S=01F8 M01F9=C5AABB12345678", "F=ZC B=AA A=BB X=1234 P=5678 S=01FF"},
    {"psha", "36", "A=12", "S=01FF M0200=12"},
    {"pshb", "37", "B=34", "S=01FF M0200=34"},
    {"pshx", "3C", "X=1234", "S=01FE M01FF=1234"},
    {"pula", "32", "S=01FF M0200=12", "A=12 S=0200"},
    {"pulb", "33", "S=01FF M0200=34", "B=34 S=0200"},
    {"pulx", "38", "S=01FE M01FF=1234", "X=1234 S=0200"},
};

const Vector k6301Additions[] = {
    {"aim indexed", "61 0F 01", "X=2000 M2001=F3 F=V", "M2001=03 F="},
    {"aim direct", "71 F0 40", "M0040=0F", "M0040=00 F=Z"},
    {"oim indexed", "62 80 00", "X=2000 M2000=01", "M2000=81 F=N"},
    {"oim direct", "72 01 40", "M0040=00", "M0040=01 F="},
    {"eim indexed", "65 FF 00", "X=2000 M2000=0F", "M2000=F0 F=N"},
    {"eim direct", "75 01 40", "M0040=01", "M0040=00 F=Z"},
    {"tim indexed leaves memory", "6B 80 00", "X=2000 M2000=7F", "M2000=7F F=Z"},
    {"tim direct", "7B 01 40", "M0040=01 F=V", "F="},
};

TEST(Hd6301Vectors, LoadsAndStores) {
    for (const auto& v : kLoadsAndStores)
        runVector(v);
}
TEST(Hd6301Vectors, AddAndSubtract) {
    for (const auto& v : kAddAndSubtract)
        runVector(v);
}
TEST(Hd6301Vectors, Logic) {
    for (const auto& v : kLogic)
        runVector(v);
}
TEST(Hd6301Vectors, SingleOperand) {
    for (const auto& v : kSingleOperand)
        runVector(v);
}
TEST(Hd6301Vectors, SixteenBit) {
    for (const auto& v : kSixteenBit)
        runVector(v);
}
TEST(Hd6301Vectors, TransfersAndFlags) {
    for (const auto& v : kTransfersAndFlags)
        runVector(v);
}
TEST(Hd6301Vectors, Branches) {
    for (const auto& v : kBranches)
        runVector(v);
}
TEST(Hd6301Vectors, JumpsAndStack) {
    for (const auto& v : kJumpsAndStack)
        runVector(v);
}
TEST(Hd6301Vectors, The6301Additions) {
    for (const auto& v : k6301Additions)
        runVector(v);
}

// Every addressing mode of an instruction gives what its other modes give for the same operand: the
// value lies at 0x0040 (direct), 0x2040 (extended, and X=2000 plus offset 40) and after the opcode.
TEST(Hd6301Vectors, EveryAddressingModeAgreesWithTheOthers) {
    const auto& table = hd6301Opcodes();
    for (const auto& record : compiler::kHd6301Instructions) {
        if (record.cls == AsmClass::Inherent || record.cls == AsmClass::Relative || record.name == "jmp" ||
            record.name == "jsr")
            continue;
        for (const std::uint16_t value : {0x0000, 0x7FFF, 0x8001, 0xFF80}) {
            std::optional<std::pair<Hd6301Registers, std::uint16_t>> first;
            for (int opcode = 0; opcode < 256; ++opcode) {
                const CpuOpcode& op = table[static_cast<std::size_t>(opcode)];
                if (op.name != record.name || opcode < record.opcode || opcode > record.opcode + 0x30)
                    continue;
                SCOPED_TRACE(std::string(record.name) + " opcode " + hexByte(opcode));
                RamBus bus;
                Hd6301 cpu(bus);
                const bool wide = op.mode == CpuMode::Immediate16 || record.cls == AsmClass::Register16 ||
                                  record.name == "std" || record.name == "stx" || record.name == "sts";
                const auto put = [&](std::uint16_t at) {
                    bus.ram[at] = static_cast<std::uint8_t>(wide ? value >> 8 : value);
                    if (wide)
                        bus.ram[at + 1u] = static_cast<std::uint8_t>(value);
                };
                put(0x0040);
                put(0x2040);
                bus.ram[0x1000] = static_cast<std::uint8_t>(opcode);
                const bool masked = op.mode == CpuMode::MaskDirect || op.mode == CpuMode::MaskIndexed;
                if (masked) {
                    bus.ram[0x1001] = 0x3C;
                    bus.ram[0x1002] = 0x40;
                } else if (op.mode == CpuMode::Extended) {
                    bus.ram[0x1001] = 0x20;
                    bus.ram[0x1002] = 0x40;
                } else if (op.mode == CpuMode::Direct || op.mode == CpuMode::Indexed) {
                    bus.ram[0x1001] = 0x40;
                } else {
                    put(0x1001);
                }
                cpu.registers() = {0x5A,   0xA5,   0x2000,
                                   0x0300, 0x1000, static_cast<std::uint8_t>(kCcrFixedBits | kFlagC)};
                ASSERT_NE(cpu.step().end, CpuEnd::Stopped);
                const std::uint16_t at =
                    op.mode == CpuMode::Direct || op.mode == CpuMode::MaskDirect ? 0x0040 : 0x2040;
                const auto result = std::make_pair(
                    cpu.registers(), static_cast<std::uint16_t>(bus.ram[at] << 8 | bus.ram[at + 1u]));
                auto comparable = result;
                comparable.first.pc = static_cast<std::uint16_t>(comparable.first.pc - op.length);
                if (!first) {
                    first = comparable;
                } else {
                    EXPECT_EQ(comparable.first, first->first);
                    EXPECT_EQ(hexWord(comparable.second), hexWord(first->second));
                }
            }
        }
    }
}

TEST(Hd6301Vectors, SleepSwiAndIllegalOpcodes) {
    RamBus bus;
    Hd6301 cpu(bus);
    struct {
        std::uint8_t opcode;
        CpuEnd end;
        const char* message;
    } const cases[] = {
        {0x1A, CpuEnd::Sleep, ""},
        {0x3E, CpuEnd::Sleep, ""},
        {0x3F, CpuEnd::Stopped, "SWI (opcode 3F) at address 0x1000"},
        {0x00, CpuEnd::Stopped, "illegal opcode 00 at address 0x1000"},
        {0x87, CpuEnd::Stopped, "illegal opcode 87 at address 0x1000"},
        {0x12, CpuEnd::Stopped, "illegal opcode 12 at address 0x1000"},
    };
    for (const auto& c : cases) {
        bus.ram[0x1000] = c.opcode;
        cpu.registers().pc = 0x1000;
        const CpuResult result = cpu.step();
        EXPECT_EQ(result.end, c.end) << hexByte(c.opcode);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(cpu.registers().pc, c.end == CpuEnd::Sleep ? 0x1001 : 0x1000);
    }
}

class RefusingBus : public RamBus {
public:
    void write(std::uint16_t address, std::uint8_t value) override {
        if (address >= 0xC000)
            throw Refused{"write to the EPROM at 0x" + hexWord(address)};
        RamBus::write(address, value);
    }
};

TEST(Hd6301Vectors, ARefusedAccessStopsWithTheBussText) {
    RefusingBus bus;
    Hd6301 cpu(bus);
    const std::uint8_t code[] = {0x86, 0x01, 0xB7, 0xC0, 0x00, 0x39};
    std::copy(std::begin(code), std::end(code), bus.ram.begin() + 0x1000);
    cpu.registers().pc = 0x1000;
    const CpuResult result = cpu.run(100, 0xFFFE);
    EXPECT_EQ(result.end, CpuEnd::Stopped);
    EXPECT_EQ(result.message, "write to the EPROM at 0xC000 (instruction at address 0x1002)");
    EXPECT_EQ(result.executed, 1);
    EXPECT_EQ(cpu.registers().pc, 0x1002);
}

TEST(Hd6301Vectors, RunStopsAtTheReturnAddressOrTheBudget) {
    RamBus bus;
    Hd6301 cpu(bus);
    const std::uint8_t code[] = {0xCE, 0x00, 0x03, 0x09, 0x26, 0xFD, 0x39};  // ldx #3; dex; bne; rts
    std::copy(std::begin(code), std::end(code), bus.ram.begin() + 0x1000);
    bus.ram[0x01FF] = 0xFF;
    bus.ram[0x0200] = 0xFE;
    cpu.registers().pc = 0x1000;
    cpu.registers().sp = 0x01FE;
    CpuResult result = cpu.run(4, 0xFFFE);
    EXPECT_EQ(result.end, CpuEnd::Budget);
    EXPECT_EQ(result.executed, 4);
    result = cpu.run(100, 0xFFFE);
    EXPECT_EQ(result.end, CpuEnd::Returned);
    EXPECT_EQ(result.executed, 4);  // dex bne, then rts
    EXPECT_EQ(cpu.registers().sp, 0x0200);
}

// The vectors above, the mode agreement (every form of the instructions with an operand other than
// branches, jmp and jsr) and the sleep cases together run every opcode the processor knows.
TEST(Hd6301Vectors, EveryLegalOpcodeRunsInSomeVector) {
    std::set<int> covered = {0x1A, 0x3E};
    const auto addTable = [&](const auto& vectors) {
        for (const Vector& v : vectors)
            covered.insert(hexBytes(v.code).front());
    };
    addTable(kLoadsAndStores), addTable(kAddAndSubtract), addTable(kLogic), addTable(kSingleOperand);
    addTable(kSixteenBit), addTable(kTransfersAndFlags), addTable(kBranches), addTable(kJumpsAndStack);
    addTable(k6301Additions);
    for (int opcode = 0; opcode < 256; ++opcode) {
        const CpuOpcode& op = hd6301Opcodes()[static_cast<std::size_t>(opcode)];
        if (op.mode != CpuMode::Inherent && op.mode != CpuMode::Relative && op.name != "jmp" &&
            op.name != "jsr")
            covered.insert(opcode);
    }
    std::string missing;
    for (int opcode = 0; opcode < 256; ++opcode) {
        const CpuOpcode& op = hd6301Opcodes()[static_cast<std::size_t>(opcode)];
        if (op.operation == CpuOperation::Illegal || op.operation == CpuOperation::Swi)
            continue;
        if (!covered.count(opcode))
            missing += hexByte(opcode) + " " + std::string(op.name) + "\n";
    }
    EXPECT_EQ(missing, "");
}

// ---- the same routines through our assembler and crasm ----

std::vector<std::uint8_t> assembledByUs(const std::string& lines) {
    compiler::CompileJob job;
    job.sourceName = "cross.qob";
    job.sourceText = "MODEL 510\r\nASM 4096\r\n" + lines + "        end\r\n";
    job.flags = 0;
    EXPECT_EQ(compiler::compile(job), compiler::kCompileOk) << job.errorMessage << " line " << job.errorLine;
    // WordPush address, WordPush length, AsmLoad, the bytes
    const auto& code = job.code;
    for (std::size_t i = 0; i + 7 <= code.size(); ++i) {
        if (code[i] == 7 && code[i + 1] == 0x10 && code[i + 2] == 0 && code[i + 3] == 7 &&
            code[i + 6] == 147) {
            const std::size_t length = static_cast<std::size_t>(code[i + 4] << 8 | code[i + 5]);
            return {code.begin() + static_cast<long>(i + 7),
                    code.begin() + static_cast<long>(i + 7 + length)};
        }
    }
    ADD_FAILURE() << "no AsmLoad block in the code";
    return {};
}

// crasm's S-records for the same lines at 0x1000, followed by RTS as our END adds it.
std::optional<std::vector<std::uint8_t>> assembledByCrasm(const std::string& lines) {
    if (std::system("command -v crasm >/dev/null 2>&1") != 0)
        return std::nullopt;
    const auto dir = std::filesystem::temp_directory_path() / ("hd6301-crasm-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "in.asm") << "        cpu 6801\n        * = $1000\n" << lines << "        rts\n";
    const std::string command = "cd '" + dir.string() + "' && crasm -o out.s19 in.asm >listing.txt 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::ifstream records(dir / "out.s19");
    std::vector<std::uint8_t> bytes;
    for (std::string line; std::getline(records, line);) {
        if (line.rfind("S1", 0) != 0)
            continue;
        const auto count = std::stoul(line.substr(2, 2), nullptr, 16);
        const auto address = std::stoul(line.substr(4, 4), nullptr, 16);
        if (bytes.size() < address - 0x1000 + count - 3)
            bytes.resize(address - 0x1000 + count - 3);
        for (unsigned long i = 0; i + 3 < count; ++i)
            bytes[address - 0x1000 + i] =
                static_cast<std::uint8_t>(std::stoul(line.substr(8 + 2 * i, 2), nullptr, 16));
    }
    std::ifstream listing(dir / "listing.txt");
    std::stringstream text;
    text << listing.rdbuf();
    EXPECT_NE(text.str().find("ERRORS:       0"), std::string::npos) << text.str();
    std::filesystem::remove_all(dir);
    return bytes;
}

struct Machine {
    RamBus bus;
    Hd6301 cpu{bus};
    CpuResult run(const std::vector<std::uint8_t>& code) {
        std::copy(code.begin(), code.end(), bus.ram.begin() + 0x1000);
        cpu.registers().pc = 0x1000;
        cpu.registers().sp = 0x01FE;
        bus.ram[0x01FF] = 0xFF;  // return address FFFE
        bus.ram[0x0200] = 0xFE;
        return cpu.run(100000, 0xFFFE);
    }
};

// Plain 6801 code with addresses below 256, which crasm writes in the direct form and we in the
// extended one.
const char* const kMultiply16 =  // $40 x $42 -> 32 bits at $44
    "        clr $44\n        clr $45\n"
    "        ldaa $41\n        ldab $43\n        mul\n        std $46\n"
    "        ldaa $40\n        ldab $43\n        mul\n        addd $45\n        std $45\n"
    "        ldaa $44\n        adca #0\n        staa $44\n"
    "        ldaa $41\n        ldab $42\n        mul\n        addd $45\n        std $45\n"
    "        ldaa $44\n        adca #0\n        staa $44\n"
    "        ldaa $40\n        ldab $42\n        mul\n        addd $44\n        std $44\n";

const char* const kChecksumAndStack =  // 16-bit sum of the 16 bytes at $80, a subroutine, the stack
    "        ldx #$80\n        clra\n        clrb\n"
    "loop    addb 0,x\n        adca #0\n        inx\n        cpx #$90\n        bne loop\n"
    "        std $48\n        pshb\n        psha\n        bsr twice\n        pula\n        pulb\n"
    "        ldx $48\n        stx $4C\n        lsrd\n        asld\n        rolb\n        rora\n        daa\n"
    "        tpa\n        staa $4E\n        ldab $48\n        abx\n        stx $50\n        bra out\n"
    "twice   tsx\n        ldd 2,x\n        asld\n        std $4A\n        rts\n"
    "out     nop\n";

TEST(Hd6301CrossCheck, CrasmAndOurAssemblerComputeTheSame) {
    for (const char* lines : {kMultiply16, kChecksumAndStack}) {
        const auto ours = assembledByUs(lines);
        const auto theirs = assembledByCrasm(lines);
        if (!theirs)
            GTEST_SKIP() << "crasm is not installed (scripts/install-deps.sh installs it)";
        ASSERT_FALSE(ours.empty());
        EXPECT_NE(ours, *theirs) << "crasm should have chosen the direct forms";
        Machine a, b;
        for (Machine* m : {&a, &b}) {
            m->bus.ram[0x40] = 0x12, m->bus.ram[0x41] = 0x34, m->bus.ram[0x42] = 0xAB,
            m->bus.ram[0x43] = 0xCD;
            for (int i = 0; i < 16; ++i)
                m->bus.ram[0x80 + i] = static_cast<std::uint8_t>(0xF0 + 3 * i);
        }
        const CpuResult ra = a.run(ours);
        const CpuResult rb = b.run(*theirs);
        ASSERT_EQ(ra.end, CpuEnd::Returned) << ra.message;
        ASSERT_EQ(rb.end, CpuEnd::Returned) << rb.message;
        auto ar = a.cpu.registers(), br = b.cpu.registers();
        EXPECT_EQ(ar.a, br.a);
        EXPECT_EQ(ar.b, br.b);
        EXPECT_EQ(ar.ccr, br.ccr);
        for (int at = 0x40; at < 0x60; ++at)
            EXPECT_EQ(a.bus.ram[at], b.bus.ram[at]) << "at " << at;
    }
    Machine m;
    m.bus.ram[0x40] = 0x12, m.bus.ram[0x41] = 0x34, m.bus.ram[0x42] = 0xAB, m.bus.ram[0x43] = 0xCD;
    ASSERT_EQ(m.run(assembledByUs(kMultiply16)).end, CpuEnd::Returned);
    const std::uint32_t product = static_cast<std::uint32_t>(m.bus.ram[0x44] << 24 | m.bus.ram[0x45] << 16 |
                                                             m.bus.ram[0x46] << 8 | m.bus.ram[0x47]);
    EXPECT_EQ(product, 0x1234u * 0xABCDu);
}

// Every 6801 instruction of the compiler's table in each of its forms, with addresses above 0xFF so
// that crasm picks the same forms: the two assemblers write the same bytes, and the processor's decode
// table cuts them into the same instructions. (crasm knows neither the 6301 additions nor the
// alternative spellings.)
TEST(Hd6301CrossCheck, CrasmWritesTheSameBytesForEvery6801Form) {
    const std::set<std::string_view> notIn6801 = {"aim", "oim", "eim", "tim", "xgdx", "slp", "sleep", "bclr", "bset",
                                                  "btgl", "btst", "lsl", "lsla", "lslb", "lsld", "bhs", "blo"};
    std::string lines;
    std::string branches;
    int instructions = 0;
    for (const auto& record : compiler::kHd6301Instructions) {
        if (notIn6801.count(record.name)) continue;
        const std::string name = "        " + std::string(record.name);
        std::vector<std::string> operands;
        switch (record.cls) {
            case AsmClass::Inherent: operands = {""}; break;
            case AsmClass::Register8: operands = {" #$12", " $1234", " $12,x"}; break;
            case AsmClass::Register16: operands = {" #$1234", " $1234", " $12,x"}; break;
            case AsmClass::Store8:
            case AsmClass::Memory: operands = {" $1234", " $12,x"}; break;
            case AsmClass::Relative: branches += name + " target\n"; ++instructions; continue;
            default: continue;
        }
        for (const auto& operand : operands) {
            lines += name + operand + "\n";
            ++instructions;
        }
    }
    lines += branches + "target  nop\n";
    const auto ours = assembledByUs(lines);
    const auto theirs = assembledByCrasm(lines);
    if (!theirs) GTEST_SKIP() << "crasm is not installed (scripts/install-deps.sh installs it)";
    EXPECT_EQ(ours, *theirs);
    int decoded = 0;
    std::size_t at = 0;
    while (at < ours.size()) {
        const CpuOpcode& op = hd6301Opcodes()[ours[at]];
        ASSERT_NE(op.operation, CpuOperation::Illegal) << "at " << at;
        at += op.length;
        ++decoded;
    }
    EXPECT_EQ(at, ours.size());
    EXPECT_EQ(decoded, instructions + 2);  // and the nop and the rts at the end
    EXPECT_GT(instructions, 180);
}

}  // namespace
}  // namespace orrery::loggervm::test
