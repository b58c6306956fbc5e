#include "assembler.h"

#include "asmtesthost.h"

#include <gtest/gtest.h>

namespace orrery::compiler {
namespace {

using testing::assembleAll;
using testing::assembleLines;
using testing::crlf;
using testing::FakeHost;

struct LineCase {
    std::string line;
    std::string expected;  // hex bytes, or "error@line:column: message"
};

void expectLines(const std::vector<LineCase>& cases, std::uint16_t origin = 0x814E) {
    for (const auto& c : cases)
        EXPECT_EQ(assembleLines({c.line}, origin), c.expected) << c.line;
}

TEST(AsmNumbers, EveryNumberForm) {
    expectLines({
        {" ldx #$1F", "CE 00 1F"},   {" ldx #$abcd", "CE AB CD"},
        {" ldx #%101", "CE 00 05"},  {" ldx #@17", "CE 00 0F"},
        {" ldx #&H1F", "CE 00 1F"},  {" ldx #&hff", "CE 00 FF"},
        {" ldx #B'101", "CE 00 05"}, {" ldx #b'11", "CE 00 03"},
        {" ldx #D'99", "CE 00 63"},  {" ldx #d'10", "CE 00 0A"},
        {" ldx #H'FF", "CE 00 FF"},  {" ldx #h'10", "CE 00 10"},
        {" ldx #Q'17", "CE 00 0F"},  {" ldx #q'7", "CE 00 07"},
        {" ldx #0FFh", "CE 00 FF"},  {" ldx #1BH", "CE 00 1B"},
        {" ldx #17o", "CE 00 0F"},   {" ldx #17O", "CE 00 0F"},
        {" ldx #17q", "CE 00 0F"},   {" ldx #17Q", "CE 00 0F"},
        {" ldx #99d", "CE 00 63"},   {" ldx #99D", "CE 00 63"},
        {" ldx #101b", "CE 00 05"},  {" ldx #101B", "CE 00 05"},
        {" ldx #1234", "CE 04 D2"},  {" ldx #65535", "CE FF FF"},
        {" ldx #65536", "CE 00 00"},  // 16 bits, no overflow check
        {" ldx #70000", "CE 11 70"}, {" ldx #0", "CE 00 00"},
    });
}

TEST(AsmNumbers, MalformedNumbersAreBadOperands) {
    expectLines({
        {" ldx #%102", "error@1:10: Bad Operand "},
        {" ldx #%", "error@1:7: Bad Operand "},
        {" ldx #@8", "error@1:7: Bad Operand "},
        {" ldx #&Hg", "error@1:7: Bad Operand "},
        {" ldx #B'2", "error@1:7: Bad Operand "},
        {" ldx #12x", "error@1:7: Bad Operand "},
        {" ldx #FFh", "error@1:7: Undefined symbol "},  // a name, not a number: first character a letter
        {" ldx #19b", "error@1:7: Bad Operand "},
        {" ldx #18o", "error@1:7: Bad Operand "},
        {" ldx #$12G", "error@1:10: Bad Operand "},
    });
}

TEST(AsmExpressions, PrecedenceAssociativityAndOperators) {
    expectLines({
        {" ldx #1+2*3", "CE 00 07"},     {" ldx #(1+2)*3", "CE 00 09"},
        {" ldx #8/4/2", "CE 00 04"},   // right to left: 8/(4/2)
        {" ldx #64/8*2", "CE 00 04"},  // 64/(8*2)
        {" ldx #2*7%4", "CE 00 06"},   // 2*(7%4)
        {" ldx #10-3-2", "CE 00 05"},  // left to right
        {" ldx #1<<4+1", "CE 00 20"},    {" ldx #$8000>>15", "CE 00 01"},
        {" ldx #1<<17", "CE 00 00"},  // cut to 16 bits
        {" ldx #1<<33", "CE 00 02"},  // count modulo 32
        {" ldx #3<5", "CE 00 01"},       {" ldx #5<3", "CE 00 00"},
        {" ldx #5<>5", "CE 00 00"},      {" ldx #5<>4", "CE 00 01"},
        {" ldx #2<=2", "CE 00 01"},      {" ldx #3>=4", "CE 00 00"},
        {" ldx #4>3", "CE 00 01"},       {" ldx #4=4", "CE 00 01"},
        {" ldx #-1<1", "CE 00 00"},   // unsigned: $FFFF is not below 1
        {" ldx #1=1&2", "CE 00 00"},  // (1=1)&2
        {" ldx #$F0|$0F", "CE 00 FF"},   {" ldx #$FF~$0F", "CE 00 F0"},
        {" ldx #$FF&$0F+1", "CE 00 10"}, {" ldx #-1", "CE FF FF"},
        {" ldx #~0", "CE FF FF"},        {" ldx #-~5", "CE FF FA"},  // with both, only the complement
        {" ldx #2-~0", "CE 00 03"},      {" ldx #((((1))))", "CE 00 01"},
        {" ldx #'A'", "CE 00 41"},       {" ldx #'AB'", "CE 41 42"},
        {" ldx #\"AB\"", "CE 41 42"},    {" ldx #''''", "CE 00 27"},
        {" ldx #'a'''", "CE 61 27"},     {" ldx #''", "CE 00 00"},
        {" ldx #'A'+1", "CE 00 42"},     {" ldx #'; '", "CE 3B 20"},
        {" ldx #$", "CE 81 4E"},         {" ldx #*", "CE 81 4E"},
        {" ldx #*+2", "CE 81 50"},       {" ldx #$*2", "CE 02 9C"},
    });
}

TEST(AsmExpressions, Errors) {
    expectLines({
        {" ldx #(1+2", "error@1:7: Mis-matched parenthesis "},
        {" ldx #1/0", "error@1:8: Division by zero error "},
        {" ldx #1%0", "error@1:8: Division by zero error "},
        {" ldx #'ABC'", "error@1:7: Bad Operand "},
        {" ldx #'AB", "error@1:7: Strings must have terminating quote "},
        {" ldx #1+", "error@1:9: Bad Operand "},
        {" ldx #1 + 2", "error@1:9: Bad Operand "},
        {" ldx #~-1", "error@1:8: Bad Operand "},
        {" ldx #" + std::string(40, '(') + "1" + std::string(40, ')'), "error@1:39: Bad Operand "},
    });
}

TEST(AsmExpressions, LongOperatorChainsDoNotExhaustTheStack) {
    std::string line = " ldx #1";
    for (int i = 0; i < 20000; ++i)
        line += "*1";
    EXPECT_EQ(assembleLines({line}), "CE 00 01");
}

TEST(AsmOperands, ModesCommentsAndTrailingText) {
    expectLines({
        {" ldaa #$41", "86 41"},
        {" ldaa #300", "86 2C"},
        {" ldaa $41", "B6 00 41"},
        {" ldaa 5,X", "A6 05"},
        {" ldaa 5,x", "A6 05"},
        {" ldaa 5, X", "A6 05"},
        {" ldaa 300,X", "error@1:7: Index offset out of range "},
        {" ldaa 5,Y", "error@1:8: Bad Operand "},
        {" ldaa 5,Xy", "error@1:8: Bad Operand "},
        {" ldaa\t#1\t; load", "86 01"},
        {" ldaa #1;load", "86 01"},
        {" ldaa #1 junk", "error@1:10: Bad Operand "},
        {" ldaa", "error@1:6: Bad Operand "},
        {" ldaa ;nothing", "error@1:7: Bad Operand "},
        {" staa #1", "error@1:7: Bad addressing mode "},
        {" ldaa #1,2", "error@1:7: Bad addressing mode "},
        {" jmp 5,X", "6E 05"},
        {" jmp $1000", "7E 10 00"},
        {" clr #1", "error@1:6: Bad addressing mode "},
        {" bra 5,X", "error@1:6: Bad addressing mode "},
        {" aim #$0F, $80", "71 0F 80"},
        {" aim #$0F,4,X", "61 0F 04"},
        {" aim $0F", "error@1:6: Bad addressing mode "},
        {" aim #$0F", "error@1:6: Bad addressing mode "},
        {" aim #1, 256", "error@1:10: Addressing value out of range "},
        {" bclr #3, $40", "71 F7 40"},
        {" bclr #3, 4,X", "61 F7 04"},
        {" bset #1, 2,X", "62 02 02"},
        {" btst #8, $40", "error@1:7: Bit instruction must specify 0 to 7 "},
        {" nop", "01"},
        {" nop anything at all", "01"},
        {" nop\t; comment", "01"},
        {" rts;", "error@1:2: Bad mnemonic or directive "},
        {" NOP", "01"},
        {" LDAA #1", "86 01"},
        {" sleepy", "1A"},
        {" ldaa.b #1", "error@1:6: Invalid size specifier "},
        {" foo", "error@1:2: Bad mnemonic or directive "},
        {" ldaa+1", "error@1:2: Bad mnemonic or directive "},
    });
}

TEST(AsmDirectives, ValueListsStringsAndUnits) {
    expectLines({
        {" db 1,2,3", "01 02 03"},
        {" fcb $101", "01"},
        {" data 'AB',\"C\"\"D\",0", "41 42 43 22 44 00"},
        {" db 'it''s'", "69 74 27 73"},
        {" db ''", ""},
        {" dw $1234,5", "12 34 00 05"},
        {" fdb 1", "00 01"},
        {" db.w 1", "00 01"},
        {" db.s 1", "00 01"},
        {" DB.W 1", "00 01"},
        {" dw.b 1,2", "01 02"},
        {" db.l $1234", "00 00 12 34"},
        {" db.q $1234", "00 00 00 00 00 00 12 34"},
        {" db 1 , 2 ;two", "01 02"},
        {" db", "error@1:4: DATA directives must have paramters "},
        {" db ; none", "error@1:5: DATA directives must have paramters "},
        {" db 1,", "error@1:7: Bad Operand "},
        {" db 1 2", "error@1:7: Bad Operand "},
        {" db 'abc", "error@1:5: Strings must have terminating quote "},
        {" db.x 1", "error@1:4: Invalid size specifier "},
        {" db.wx 1", "error@1:4: Invalid size specifier "},
        {" fcc /hello/", "68 65 6C 6C 6F"},
        {" fcc \"a\"\"b\"", "61 22 62"},
        {" fcc 'x' ; c", "78"},
        {" fcc", "error@1:5: DATA directives must have paramters "},
        {" fcc //", "error@1:6: DATA directives must have paramters "},
        {" fcc /abc", "error@1:6: Strings must have matching terminator "},
        {" fcc /a/b", "error@1:9: Bad Operand "},
        {" end", "39"},
        {" END ignored", "39"},
    });
}

TEST(AsmDirectives, ValueListLimit) {
    auto list = [](int n, std::string_view value) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += (i ? "," : "") + std::string(value);
        return s;
    };
    // Bytes units: items may start up to byte 254.
    EXPECT_EQ(assembleLines({" db " + list(255, "1")}).size(), 255u * 3 - 1);
    EXPECT_EQ(assembleLines({" db " + list(256, "1")}), "error@1:515: Too many values in data statement ");
    // With a unit the limit is 255 - unit: a dw item may start at most at byte 252.
    EXPECT_EQ(assembleLines({" dw " + list(127, "1")}).size(), 254u * 3 - 1);
    EXPECT_EQ(assembleLines({" dw " + list(128, "1")}).substr(0, 8), "error@1:");
    EXPECT_EQ(assembleLines({" db.b " + list(255, "1")}).substr(0, 8), "error@1:");
    EXPECT_EQ(assembleLines({" db '" + std::string(255, 'x') + "'"}).size(), 255u * 3 - 1);
    EXPECT_EQ(assembleLines({" db '" + std::string(256, 'x') + "'"}),
              "error@1:261: Too many values in data statement ");
}

TEST(AsmDirectives, ReserveAlignAndEqu) {
    expectLines({
        {" ds 3", "00 00 00"},
        {" res.w 2", "00 00 00 00"},
        {" rmb.l 1", "00 00 00 00"},
        {" ds 0", ""},
        {" ds", "error@1:4: RES directives must have expression operand "},
        {" ds later", "error@1:5: RES directives may not make forward references "},
        {" align", "error@1:7: ALIGN directives must have expression operand "},
        {" align later", "error@1:8: ALIGN directives may not make forward references "},
        {" align 0", "error@1:8: Division by zero error "},
        {" equ 5", "error@1:1: Label must preceed this directive "},
        {"x equ", "error@1:6: EQU must have expression operand "},
        {"x equ later", "error@1:7: EQU may not make forward references "},
        {"x equ x+1", "error@1:7: EQU may not make forward references "},  // defined only by its value
        {"x equ 5 extra", "error@1:9: Bad Operand "},
    });
}

TEST(AsmDirectives, ReservationsOfAnySizeKeepLaterAddressesRight) {
    FakeHost host;
    const auto out = assembleAll(host, crlf({" ds 300", "here ldx #here", " end"}), 0x1000);
    EXPECT_EQ(host.code.size(), 300u + 3 + 1);
    EXPECT_EQ(host.symbols["here"].address, 0x1000u + 300);
    EXPECT_EQ(testing::hex(host.code, 300), "CE 11 2C 39");
    EXPECT_EQ(out.block.bytesEmitted, 304u);
}

TEST(AsmDirectives, AlignPadsToTheBoundarySoLabelsMatchTheCode) {
    struct Case {
        std::uint16_t origin;
        std::string boundary;
        std::size_t padding;
    } cases[] = {
        {33105, "4", 3},       {33108, "4", 0},   {0x1001, "2", 1}, {0x1000, "256", 0},
        {0x1001, "$100", 255}, {0xFFFF, "16", 1}, {7, "1", 0},      {5, "3", 1},
    };
    for (const auto& c : cases) {
        FakeHost host;
        const auto out = assembleAll(host, crlf({" align " + c.boundary, "here nop"}), c.origin);
        ASSERT_EQ(out.text.substr(0, 5) == "error", false) << out.text;
        EXPECT_EQ(host.code.size(), c.padding + 1) << c.origin << " " << c.boundary;
        EXPECT_EQ(host.symbols["here"].address, static_cast<std::uint16_t>(c.origin + c.padding));
        EXPECT_EQ(host.code.back(), 0x01);
    }
}

TEST(AsmDirectives, EquDefinesAConstantUsableInLaterLines) {
    FakeHost host;
    const auto out =
        assembleAll(host, crlf({"port equ $1234", "mask: equ 3+4", " ldaa port", " anda #mask"}));
    EXPECT_EQ(out.text, "B6 12 34 84 07");
    EXPECT_EQ(host.symbols["port"].flags, kSymAsmEqu);
    EXPECT_EQ(host.symbols["port"].type, kSymTypeAsmLabel);
    EXPECT_EQ(host.symbols["mask"].address, 7u);
}

TEST(AsmLabels, DefinitionRules) {
    expectLines({
        {"start nop", "01"},
        {"start: nop", "01"},
        {"start:nop", "01"},
        {"start", ""},
        {"start: ; comment", ""},
        {"_x1$ nop", "01"},
        {"st-art nop", "error@1:3: Bad character in label"},
        {"start. nop", "error@1:6: Bad character in label"},
        {"1abc nop", "error@1:1: Bad mnemonic or directive "},
    });
    EXPECT_EQ(assembleLines({"a nop", "a nop"}), "error@2:1: Multiple defined label ");
}

TEST(AsmLabels, NamesAlreadyInTheSymbolTableCannotBeLabels) {
    struct Case {
        std::uint32_t flags;
    } cases[] = {{kSymScalar}, {kSymArray}, {0x50}, {0x60}, {0x200}};
    for (const auto& c : cases) {
        FakeHost host;
        host.symbols["count"] = {c.flags, 0x74BC, 0x08};
        EXPECT_EQ(assembleAll(host, crlf({"count nop"})).text, "error@1:1: Multiple defined label ")
            << c.flags;
    }
}

TEST(AsmLabels, FullSymbolTable) {
    FakeHost host;
    host.symbolCapacity = 2;
    host.symbols["x"] = {kSymScalar, 0x74BC, 0x08};
    EXPECT_EQ(assembleAll(host, crlf({"y nop"})).text, "error@1:1: Too many symbols (variables+labels)");
}

TEST(AsmSymbols, WhichEntriesResolve) {
    struct Case {
        std::uint32_t flags;
        std::string expected;
    } cases[] = {
        {kSymScalar, "FE 74 BC"},
        {kSymArray, "FE 74 BC"},
        {kSymAsmLabel, "FE 74 BC"},
        {kSymAsmEqu, "FE 74 BC"},
        {0x60, "error@1:6: Undefined symbol "},  // a Quobol label: a code offset, not an address
        {0x50, "error@1:6: Undefined symbol "},
        {0x200, "error@1:6: Undefined symbol "},  // an extension name
    };
    for (const auto& c : cases) {
        FakeHost host;
        host.symbols["v"] = {c.flags, 0x74BC, 0x08};
        EXPECT_EQ(assembleAll(host, crlf({" ldx v"})).text, c.expected) << std::hex << c.flags;
    }
    FakeHost host;
    host.symbols["Count"] = {kSymScalar, 0x74BC, 0x08};
    EXPECT_EQ(assembleAll(host, crlf({" ldx count"})).text, "error@1:6: Undefined symbol ");
}

TEST(AsmPasses, ForwardReferencesArePatchedInPassTwo) {
    FakeHost host;
    const std::string source = crlf({" bra ahead", " ldx #ahead", " db ahead,1", " dw ahead", "ahead rts"});
    Assembler assembler(source, 1000);
    const auto block = assembler.assembleBlock(host, 0, 0x814E, 1);
    ASSERT_FALSE(block.error);
    EXPECT_EQ(testing::hex(host.code), "20 00 CE 00 00 00 01 00 00 39");
    ASSERT_FALSE(assembler.resolvePending(host));
    EXPECT_EQ(testing::hex(host.code), "20 07 CE 81 57 57 01 81 57 39");
}

TEST(AsmPasses, VariablesDeclaredAfterTheBlockResolveInPassTwo) {
    FakeHost host;
    const std::string source = crlf({" ldaa total", " end"});
    Assembler assembler(source, 1000);
    ASSERT_FALSE(assembler.assembleBlock(host, 0, 0x814E, 1).error);
    host.symbols["total"] = {kSymScalar, 0x74B8, 0x08};
    ASSERT_FALSE(assembler.resolvePending(host));
    EXPECT_EQ(testing::hex(host.code), "B6 74 B8 39");
}

TEST(AsmPasses, PassTwoErrorsReportTheLineOfTheFailingRecord) {
    struct Case {
        std::string source;
        std::string expected;
    } cases[] = {
        {crlf({" nop", " bra far", " ds 130", "far rts"}), "error@2:6: Displacement out of range "},
        {crlf({" nop", "", "; note", " ldaa nowhere"}), "error@4:7: Undefined symbol "},
        {crlf({" db 1,x+y", "x equ 1"}), "error@1:9: Undefined symbol "},
        {crlf({" ldx #1/z", "z equ 0"}), "error@1:8: Division by zero error "},
        {crlf({" aim #1,z", "z equ 256"}), "error@1:9: Addressing value out of range "},
        {crlf({" btst #z,4,X", "z equ 9"}), "error@1:7: Bit instruction must specify 0 to 7 "},
        {crlf({" ldaa z,X", "z equ 256"}), "error@1:7: Index offset out of range "},
    };
    for (const auto& c : cases) {
        FakeHost host;
        EXPECT_EQ(assembleAll(host, c.source).text, c.expected) << c.source;
    }
}

TEST(AsmPasses, BranchBackwardsAndToItselfResolveInPassOne) {
    EXPECT_EQ(assembleLines({"loop nop", " bra loop", "self bra self", " bne *"}), "01 20 FD 20 FE 26 FE");
}

TEST(AsmBlocks, EndStopsTheBlockAndTellsWhereTheScannerResumes) {
    const std::string source = crlf({" nop", "; comment", "", " end ; done", "PRINT 1"});
    FakeHost host;
    Assembler assembler(source, 1000);
    const auto block = assembler.assembleBlock(host, 0, 0x814E, 7);
    ASSERT_FALSE(block.error);
    EXPECT_EQ(testing::hex(host.code), "01 39");
    EXPECT_EQ(block.bytesEmitted, 2u);
    EXPECT_EQ(block.linesConsumed, 4);
    EXPECT_EQ(source.substr(block.resumeOffset), "PRINT 1\r\n");
    EXPECT_EQ(assembler.lineCount(), 2);
}

TEST(AsmBlocks, WithoutEndTheBlockRunsToTheEndOfTheSource) {
    const std::string source = crlf({" nop", " nop"});
    FakeHost host;
    Assembler assembler(source, 1000);
    const auto block = assembler.assembleBlock(host, 0, 0x814E, 1);
    ASSERT_FALSE(block.error);
    EXPECT_EQ(testing::hex(host.code), "01 01");
    EXPECT_EQ(block.resumeOffset, source.size());
    EXPECT_EQ(block.linesConsumed, 2);
}

TEST(AsmBlocks, PassOneErrorsUseTheCompilesLineCounter) {
    const std::string source = "ASM $\r\n nop\r\n\r\n bad\r\n";
    FakeHost host;
    Assembler assembler(source, 1000);
    const auto block = assembler.assembleBlock(host, 7, 0x814E, 2);
    ASSERT_TRUE(block.error);
    EXPECT_EQ(block.error->line, 4);
    EXPECT_EQ(block.error->column, 2);
    EXPECT_EQ(block.error->message, "Bad mnemonic or directive ");
}

TEST(AsmBlocks, SeveralBlocksShareLabelsAndTheLineTable) {
    // Two blocks with Quobol code between them; the second block calls into the first.
    const std::string source = crlf({"ASM $", "first rts", " end", "PRINT 1", "ASM $", " jsr first",
                                     " jsr later", " end", "ASM 4096", "later rts", " end"});
    FakeHost host;
    Assembler assembler(source, 1000);
    host.code = {0xAA, 0xAA};
    auto b1 = assembler.assembleBlock(host, source.find("first"),
                                      static_cast<std::uint16_t>(33102 + host.code.size()), 2);
    ASSERT_FALSE(b1.error);
    host.code.insert(host.code.end(), {0xBB, 0xBB, 0xBB});
    auto b2 = assembler.assembleBlock(host, source.find(" jsr first"),
                                      static_cast<std::uint16_t>(33102 + host.code.size()), 6);
    ASSERT_FALSE(b2.error);
    auto b3 = assembler.assembleBlock(host, source.find("later rts"), 4096, 10);
    ASSERT_FALSE(b3.error);
    ASSERT_FALSE(assembler.resolvePending(host));
    EXPECT_EQ(testing::hex(host.code), "AA AA 39 39 BB BB BB BD 81 50 BD 10 00 39 39 39");
    EXPECT_EQ(b2.bytesEmitted, 7u);
    EXPECT_EQ(assembler.lineCount(), 7);
}

TEST(AsmBlocks, LineTableLimitCountsOnlyRealLines) {
    // maxLines 4 allows three lines; comments and empty lines are free.
    FakeHost ok;
    EXPECT_EQ(assembleAll(ok, crlf({" nop", "; c", "", "   ", " nop", "x", "; c"}), 0x814E, 4).text, "01 01");
    FakeHost full;
    EXPECT_EQ(assembleAll(full, crlf({" nop", " nop", " nop", " nop"}), 0x814E, 4).text,
              "error@4:1: Too many ASM lines ");
    FakeHost none;
    EXPECT_EQ(assembleAll(none, crlf({" nop"}), 0x814E, 0).text, "error@1:1: Too many ASM lines ");
}

TEST(AsmBlocks, CodeBufferOverrunIsAnError) {
    FakeHost host;
    host.codeCapacity = 4;
    EXPECT_EQ(assembleAll(host, crlf({" nop", " ldx #1", " nop"})).text,
              "error@3:1: " + std::string(kAsmCodeBufferFull));
    EXPECT_EQ(host.code.size(), 4u);
    FakeHost big;
    big.codeCapacity = 1000;
    EXPECT_EQ(assembleAll(big, crlf({" ds.w 600"})).text, "error@1:1: " + std::string(kAsmCodeBufferFull));
    EXPECT_TRUE(big.code.empty());
    // However large the buffer, one block's length must fit its 16-bit WordPush operand.
    FakeHost huge;
    EXPECT_EQ(assembleAll(huge, crlf({" ds.w 32767", " nop", " db 1"})).text,
              "error@3:1: " + std::string(kAsmBlockTooLong));
    EXPECT_EQ(huge.code.size(), 65535u);
}

TEST(AsmBlocks, LinesWithoutLineEndAndOddLineEnds) {
    expectLines({{" nop\n nop", "01 01"}});
    FakeHost host;
    EXPECT_EQ(assembleAll(host, " ldx #1").text, "CE 00 01");
    FakeHost lf;
    EXPECT_EQ(assembleAll(lf, " ldx #1\n bra *\n").text, "CE 00 01 20 FE");
}

}  // namespace
}  // namespace orrery::compiler

namespace orrery::compiler {
namespace {

// Arbitrary lines must end in bytes or a message, never in a crash, and the second pass must never
// find a line whose size changed.
TEST(AsmRobustness, ArbitraryLinesNeverBreakTheSizeInvariant) {
    const std::string alphabet = " \t;:,#$%@&'\"()*+-/<>=~|.xX0129AFhbqdoBQ_ldaxbraendbfc";
    const char* heads[] = {" ldaa ", " ldx ", " bra ", " aim ", " bset ", " db ", " dw.l ", " fcc ", " ds ",
                           " align ", "L equ ", "lab ", " jmp ", " ", " ldx later", " db later,", " bra later", " aim #later,"};
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    for (int i = 0; i < 3000; ++i) {
        std::string line = heads[next() % std::size(heads)];
        const int length = static_cast<int>(next() % 12);
        for (int k = 0; k < length; ++k) line += alphabet[next() % alphabet.size()];
        FakeHost host;
        host.symbols["fwd"] = {0, 0, 0};  // known name that never resolves
        const std::string source = crlf({line, " nop", "later nop"});
        const std::string result = assembleAll(host, source).text;
        EXPECT_EQ(result.find("You should not see"), std::string::npos) << line;
        EXPECT_TRUE(result.rfind("error@", 0) == 0 || result == testing::hex(host.code)) << line;
    }
}

}  // namespace
}  // namespace orrery::compiler
