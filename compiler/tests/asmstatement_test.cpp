// Programs that mix Quobol and inline assembler blocks, compiled as the workbench compiles them.

#include <gtest/gtest.h>

#include "compile_helpers.h"
#include "compiler.h"
#include "symboltable.h"

namespace orrery::compiler {
namespace {

using test::compileSource;

TEST(AsmStatement, BlocksCompileToExactBytes) {
    const test::CodeCase cases[] = {
        // In place on model 510: code base 33102, the first machine byte at code offset 4.
        {"MODEL 510\nASM $\nstart bra later\n nop\nlater rts\n end\nPRINT 1",
         "07 00 05 92 20 01 01 39 39 45 06 01 56 49 19"},
        // Model 400: code base 334; a variable declared before and one after the block.
        {"MODEL 400\nDFSIZE 100\nX = 1\nASM $\nhere ldx #here\n ldaa X\n bra fwd\n ldab Y\nfwd end\nY = 2",
         "0C 74 BC 06 01 0B 07 00 0C 92 CE 01 58 B6 74 BC 20 03 F6 74 B8 39 0C 74 B8 06 02 0B 19"},
        // Loaded to an address: no model needed; the location starts at that address.
        {"ASM 4096\n ldx #*\n end", "07 10 00 07 00 04 93 CE 10 00 39 19"},
        {"ASM &H1000\n nop\n end", "07 10 00 07 00 02 93 01 39 19"},
        // "$" opens the in-place form; what follows it on the line is not read.
        {"MODEL 510\nASM $1000\n nop", "07 00 01 92 01 19"},
        // The rest of the statement's line is not read; a block without END runs to the end.
        {"MODEL 510\nASM $ : PRINT 1\n nop", "07 00 01 92 01 19"},
        // Two blocks share their labels; a later block calls into an earlier one.
        {"MODEL 510\nASM $\nsub rts\n end\nASM $\n jsr sub\n jsr sub2\n end\nASM 8192\nsub2 rts\n end",
         "07 00 02 92 39 39 07 00 07 92 BD 81 52 BD 20 00 39 07 20 00 07 00 02 93 39 39 19"},
        // A Quobol jump may name an assembler label: its operand is the label's address.
        {"MODEL 510\nASM $\nL nop\n end\nGOTO L", "07 00 02 92 01 39 11 81 52 19"},
        // Empty block: END alone.
        {"MODEL 520\nASM $\n end", "07 00 01 92 39 19"},
        // In-place code allows the family bits 1 and 8 together: Rowan-R runs at the same base.
        {"MODEL 510\nMODEL 620\nASM $\n end", "07 00 01 92 39 19"},
    };
    for (const auto& c : cases) {
        const auto result = compileSource(c.source);
        EXPECT_TRUE(result.ok) << c.source << "\n" << result.message;
        EXPECT_EQ(result.code, c.code) << c.source;
    }
}

TEST(AsmStatement, LineNumbersContinueAfterTheBlock) {
    const auto result = compileSource("MODEL 510\nASM $\n nop\n\n end\nSTOP", true);
    ASSERT_TRUE(result.ok) << result.message;
    // LinNum 2 before the ASM line, the block, then LinNum 6 for STOP.
    EXPECT_EQ(result.code.substr(0, 38), "01 00 02 07 00 02 92 01 39 01 00 06 19");
}

TEST(AsmStatement, Errors) {
    const test::ErrorCase cases[] = {
        {"ASM $", "specify MODEL for this command", 1},
        {"MODEL 700\nASM $", "command unavailable this model", 2},
        {"MODEL 800\nASM $", "command unavailable this model", 2},
        {"MODEL 510\nMODEL 400\nASM $", "mutually exclusive models", 3},
        // Compatible for pins, not for in-place code: the two groups of models run at different bases.
        {"MODEL 400\nMODEL 620\nASM $\n end", "mutually exclusive models", 3},
        {"MODEL 500\nMODEL 510\nDFSIZE 1\nASM $\n end", "mutually exclusive models", 4},
        {"MODEL 510\nMODEL 500\nDFSIZE 1\nASM $\n end", "mutually exclusive models", 4},
        {"ASM X", "dollar or integer argument", 1},
        {"ASM", "dollar or integer argument", 1},
        {"ASM 1.5", "dollar or integer argument", 1},
        {"ASM 65536", "expect integer less than 65536", 1},
        // Errors inside a block: pass 1 on the line being assembled, pass 2 on the failing line.
        {"MODEL 510\nASM $\n nop\n bad\n end", "Bad mnemonic or directive ", 4},
        {"MODEL 510\nASM $\n bra nowhere\n nop\n end\nPRINT 1", "Undefined symbol ", 3},
        {"MODEL 510\nASM $\n bra far\n ds 200\nfar end", "Displacement out of range ", 3},
        // Errors after a block name the right line.
        {"MODEL 510\nASM $\n nop\n\n end\nX = ", "parse error", 6},
        {"MODEL 510\nASM $\n nop\n end\nGOTO nowhere", "\"nowhere\" : Undefined label reference", 5},
        // Labels and Quobol names share one symbol table.
        {"MODEL 510\nX = 1\nASM $\nX nop\n end", "Multiple defined label ", 4},
        {"MODEL 510\nGOTO L\nASM $\nL nop\n end\nL: STOP", "Multiple defined label ", 4},
        {"MODEL 510\nASM $\n jmp L\n end\nL: STOP", "Undefined symbol ", 3},
        {"MODEL 510\nASM $\nL nop\n end\nL: STOP", "\"L\" : Can't redefine as label", 5},
        {"MODEL 510\nASM $\nL nop\n end\nL = 1", "\"L\" : A variable and label cannot share this name", 5},
        // A character with bit 7 set is reported as anywhere else, not changed silently.
        {"MODEL 510\nASM $\n nop\n fcc /\xB0/\n end", "invalid character  bit 7 high", 4},
        {"MODEL 510\nASM $\n nop ; \xB0\n bad\n end", "invalid character  bit 7 high", 3},
        {"MODEL 510\nASM $\n bad\n nop ; \xB0\n end", "Bad mnemonic or directive ", 3},
        // Assembled bytes count against the code buffer.
        {"ASM 0\n ds.w 15000\n ds.w 15000\n end", "program too large for the code buffer", 3},
    };
    for (const auto& c : cases) {
        const auto result = compileSource(c.source);
        EXPECT_FALSE(result.ok) << c.source;
        EXPECT_EQ(result.message, c.message) << c.source;
        EXPECT_EQ(result.line, c.line) << c.source;
    }
}

TEST(AsmStatement, LineTableSizeComesFromTheJob) {
    for (const std::int16_t limit : {3, 4}) {
        CompileJob job;
        job.sourceName = "T.qob";
        job.sourceText = "MODEL 510\r\nASM $\r\n nop\r\n; only a comment\r\n nop\r\n end\r\n\r\n";
        job.flags = 0;
        job.maxAsmLines = limit;
        const bool ok = compile(job) == kCompileOk;
        EXPECT_EQ(ok, limit == 4) << limit;
        if (!ok) {
            EXPECT_EQ(job.errorMessage, "Too many ASM lines ");
            EXPECT_EQ(job.errorLine, 6);
        }
    }
}

TEST(AsmStatement, AssemblerSymbolsCarryTheAssemblerFlagsOnly) {
    const auto result = compileSource("MODEL 510\nASM $\nentry nop\nport equ $1234\n end");
    ASSERT_TRUE(result.ok) << result.message;
    const SymbolTable* symbols = symbolTable(result.job);
    ASSERT_NE(symbols, nullptr);
    const SymbolEntry& label = symbols->entry(*symbols->find("entry"));
    EXPECT_EQ(label.flags, 0x40000u);
    EXPECT_EQ(label.type, 0x200u);
    EXPECT_EQ(label.address, 33106u);
    const SymbolEntry& constant = symbols->entry(*symbols->find("port"));
    EXPECT_EQ(constant.flags, 0xC0000u);
    EXPECT_EQ(constant.address, 0x1234u);
}

TEST(AsmStatement, ConsecutiveCompilesAreIndependent) {
    const char* source = "MODEL 510\nASM $\nL bra L2\nL2 end";
    const auto first = compileSource(source);
    const auto second = compileSource(source);
    ASSERT_TRUE(first.ok) << first.message;
    EXPECT_EQ(first.code, second.code);
    EXPECT_EQ(first.code, "07 00 03 92 20 00 39 19");
}

}  // namespace
}  // namespace orrery::compiler
