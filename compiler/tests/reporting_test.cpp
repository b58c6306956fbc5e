// The first-error latch, error positions, the compile entry and its results, and hostile input.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "compile_helpers.h"
#include "symboltable.h"

namespace orrery::compiler::test {
namespace {

TEST(Reporting, OnlyTheFirstErrorWithItsPosition) {
    struct PositionCase {
        const char* source;
        const char* message;
        int line;
        int column;
    };
    const PositionCase cases[] = {
        {"X = 1\nY$ = 5\nZ$ = 6", "mix of numeric and string expr", 2, 6},
        {"X = 1\n= 3", "parse error", 2, 1},
        {"STOP STOP", "parse error", 1, 5},
        {"X = A = B = C", "parse error", 1, 10},
        {"A = B = C : X$ = 1", "mix of numeric and string expr", 1, 18},
        {"X = 2147483648", "constant out of range", 1, 4},
        {"X = 1 : Y$ = 2 : Z$ = 3", "mix of numeric and string expr", 1, 15},
        {"X = 1\n  GOTO Far", "\"Far\" : Undefined label reference", 2, 7},
        {"GOTO Far", "\"Far\" : Undefined label reference", 1, 5},
        {"FOR I = 1 TO 2\nFOR J = 1 TO 2", "FOR NEXT not terminated", 3, 1},
        {"X = 1 \xC1", "invalid character  bit 7 high", 1, 6},
        {"X = \"a\xE9\"", "invalid character  bit 7 high", 1, 4},
        // The column is where the last token read starts: a check made on seeing the token behind an
        // expression points at that token, a check on the line end at the line end.
        {"\tX = (", "parse error", 1, 6},
        {"REM caf\xE9", "invalid character  bit 7 high", 1, 1},
        {"SLEEP 1.5", "expecting integer expression", 1, 9},
        {"IF A$ = 1 STOP", "Cannot compare STRING with numeric value", 1, 10},
        {"DIM B(10)\nX = B(10)", "array index out of range", 2, 8},
        {"X = 1\n\nWEND", "WHILE WEND loop mismatch", 3, 1},
        {"X = &H100000000 : Y$ = 1", "constant out of range", 1, 4},
        {"FOR I = 1 TO 2\nNEXT J", "FOR NEXT loop mismatch", 2, 5},
        {"MODEL 510\nEXTENSION Foo", "command unavailable this model", 2, 10},
        {"MODEL 510\n  EXTENSION   Foo, Bar", "command unavailable this model", 2, 14},
    };
    for (const PositionCase& c : cases) {
        const Compiled result = compileSource(c.source);
        EXPECT_EQ(result.message, c.message) << c.source;
        EXPECT_EQ(result.line, c.line) << c.source;
        EXPECT_EQ(result.column, c.column) << c.source;
        EXPECT_EQ(result.job.errorCode, kCompileFailed) << c.source;
        EXPECT_TRUE(result.job.image.empty()) << c.source;
        EXPECT_EQ(symbolTable(result.job), nullptr) << c.source;
    }
}

// People and tools see the offending token itself: its 1-based column, its length (0 at a line end or
// the end of the source) and the error's name.
TEST(Reporting, TheOffendingTokenAndTheErrorName) {
    const struct {
        const char* source;
        int ownColumn;
        int tokenColumn;
        int tokenLength;
        const char* name;
    } cases[] = {
        {"Y = *", 4, 5, 1, "parse_error"},
        {"X = 1\n= 3", 1, 1, 1, "parse_error"},
        {"STOP STOP", 5, 6, 4, "parse_error"},
        {"X = 2147483648", 4, 5, 10, "constant_out_of_range"},
        {"X = 1\nY$ = 5", 6, 7, 0, "mix_of_numeric_and_string_expr"},
        {"\tX = (", 6, 7, 0, "parse_error"},
        {"REM caf\xE9", 1, 1, 8, "invalid_character__bit_7_high"},
        {"X = 1\n  GOTO Far", 7, 8, 3, "Undefined_label_reference"},
        {"MODEL 510\n  EXTENSION   Foo, Bar", 14, 15, 3, "command_unavailable_this_model"},
        {"FOR I = 1 TO 2\nFOR J = 1 TO 2", 1, 1, 0, "FOR_NEXT_not_terminated"},
        {"IF A$ = 1 STOP", 10, 11, 4, "Cannot_compare_STRING_with_numeric_value"},
    };
    for (const auto& c : cases) {
        const Compiled result = compileSource(c.source);
        EXPECT_EQ(result.column, c.ownColumn) << c.source;
        EXPECT_EQ(result.job.errorTokenColumn, c.tokenColumn) << c.source;
        EXPECT_EQ(result.job.errorTokenLength, c.tokenLength) << c.source;
        EXPECT_EQ(result.job.errorName, c.name) << c.source;
    }
    const Compiled ok = compileSource("X = 1");
    EXPECT_EQ(ok.job.errorTokenColumn, 0);
    EXPECT_EQ(ok.job.errorName, "");
}

TEST(Reporting, UndefinedLabelIsTheFirstInVisitingOrder) {
    // "B" (66) sits in an earlier bucket than "C" (67), though C is referenced first.
    const Compiled result = compileSource("GOTO C\nGOTO B");
    EXPECT_EQ(result.message, "\"B\" : Undefined label reference");
    EXPECT_EQ(result.line, 2);
}

TEST(Reporting, LongUndefinedLabelIsCutInTheMessage) {
    const std::string name(40, 'L');
    const Compiled result = compileSource("GOTO " + name);
    EXPECT_EQ(result.message, "\"" + std::string(30, 'L') + "\" : Undefined label reference");
}

TEST(Reporting, MessagesAreKeptTo127Characters) {
    const std::string name(200, 'v');
    const Compiled result = compileSource("X = 1\n" + name + " = 1", false, 2);
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.message.size(), 127u);
}

TEST(CompileEntry, ResultsOfASuccessfulCompile) {
    const Compiled result = compileSource("MODEL 700\nX = 1\nPRINT X", true);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.job.errorCode, kCompileOk);
    EXPECT_EQ(result.job.modelCode, 700);
    EXPECT_EQ(result.job.header.headerSize, 82);
    EXPECT_EQ(result.job.header.modelByte, 70);
    EXPECT_EQ(result.job.header.constant4, 4);
    EXPECT_EQ(result.job.header.constant14, 14);
    EXPECT_EQ(result.job.header.highestToken, static_cast<std::uint8_t>(258 + 86));  // GfExpr is the highest
    EXPECT_EQ(result.job.header.codeSize, result.job.code.size());
    EXPECT_EQ(result.job.header.variablesSize, 4u);
    EXPECT_EQ(result.job.header.sourceName, "TEST.qob");
    ASSERT_NE(symbolTable(result.job), nullptr);
    EXPECT_EQ(symbolTable(result.job)->size(), 1u);
}

TEST(CompileEntry, ConsecutiveCompilesAreIndependent) {
    CompileJob job;
    job.sourceText = "MODEL 700\r\nEXTENSION Go\r\nX = 1\r\nFOR I = 1 TO 2\r\n";
    compile(job);
    EXPECT_EQ(job.errorMessage, "FOR NEXT not terminated");
    job.sourceText = "X = 1\r\nGo = 2\r\n";
    ASSERT_EQ(compile(job), kCompileOk) << job.errorMessage;
    EXPECT_EQ(hex(job.code), "01 00 01 0C 74 BC 06 01 0B 01 00 02 0C 74 B8 06 02 0B 01 00 03 19");
    EXPECT_EQ(job.modelCode, 0);
    EXPECT_EQ(job.errorLine, 0);
    releaseJob(job);
    EXPECT_TRUE(job.image.empty());
    EXPECT_EQ(symbolTable(job), nullptr);
}

TEST(CompileEntry, OptionsReachTheJob) {
    CompilerOptions options;
    options.embedLineNum = false;
    options.maxLabels = 50;
    CompileJob job;
    applyOptions(job, options);
    EXPECT_EQ(job.flags & kEmbedLineNumbers, 0);
    EXPECT_EQ(job.maxLabels, 50);
    job.maxLabels = 0;
    job.sourceText = "STOP\r\n";
    EXPECT_EQ(compile(job), kCompileOutOfMemory);
    EXPECT_EQ(job.errorMessage, "not enough DOS memory");
}

TEST(CompileEntry, EmptyEditorCompilesToStop) {
    const Compiled result = compileSource("", true);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.code, "01 00 02 19");
}

TEST(CompileEntry, OutputFileNames) {
    struct NameCase {
        const char* source;
        const char* listing;
    };
    const NameCase cases[] = {{"LOGGER.qob", "LOGGER.lst"}, {"NONAME3", "NONAME3.lst"},
                              {"a.b.qob", "a.b.lst"},       {"dir.x/prog", "dir.x/prog.lst"}};
    for (const NameCase& c : cases) EXPECT_EQ(outputFileName(c.source, ".lst"), c.listing);
}

// ---- hostile input --------------------------------------------------------------------------------

TEST(Robustness, DeepNestingIsRefused) {
    const std::string parens = "X = " + std::string(5000, '(') + "1" + std::string(5000, ')');
    EXPECT_EQ(compileSource(parens).message, "parser stack overflow");
    std::string ifs;
    for (int i = 0; i < 5000; ++i) ifs += "IF 1 ";
    EXPECT_EQ(compileSource(ifs + "X = 1").message, "parser stack overflow");
    EXPECT_EQ(compileSource("X = " + std::string(5000, '-') + "1").message, "parser stack overflow");
    const std::string fine = "X = " + std::string(100, '(') + "1" + std::string(100, ')');
    EXPECT_TRUE(compileSource(fine).ok);
}

TEST(Robustness, LimitsOfTheFormatAreErrors) {
    EXPECT_EQ(compileSource("A$ = \"" + std::string(256, 'x') + "\"").message,
              "string constant longer than 255 characters");
    const Compiled longest = compileSource("A$ = \"" + std::string(255, 'x') + "\"");
    ASSERT_TRUE(longest.ok);
    EXPECT_EQ(longest.job.code[4], 0xFF);
    EXPECT_EQ(compileSource("REM " + std::string(600, 'x')).message, "flex input buffer overflowed");
    // 101 concatenations need 101 temporaries in one statement.
    std::string concat = "MODEL 700\nA$ = B$";
    for (int i = 0; i < 101; ++i) concat += " + B$";
    EXPECT_EQ(compileSource(concat).message, "expression needs more than 100 temporary strings");
    std::string hundred = "MODEL 700\nA$ = B$";
    for (int i = 0; i < 100; ++i) hundred += " + B$";
    EXPECT_TRUE(compileSource(hundred).ok);
    EXPECT_EQ(compileSource("DIM S$(2, 3)").message, "\"S\" : String arrays can have one dimension only");
    EXPECT_EQ(compileSource("DIM A(100, 1000)").message, "\"A\" : Array too large for remaining variable area");
}

TEST(Robustness, CodeThatOutgrowsTheBufferIsAnError) {
    // Each "?=?" on model 700 is 14 bytes of code from 4 characters of source.
    std::string source = "MODEL 700";
    for (int line = 0; line < 250; ++line) {
        source += "\n?=?";
        for (int i = 0; i < 99; ++i) source += ":?=?";
    }
    const Compiled result = compileSource(source);
    EXPECT_EQ(result.message, "program too large for the code buffer");
    EXPECT_GT(result.line, 1);
}

TEST(Robustness, ArbitraryBytesNeverCrash) {
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t length = random() % 200;
        std::string source;
        for (std::size_t i = 0; i < length; ++i) {
            // Mostly characters of the language, sometimes any byte.
            static const char alphabet[] = "XYA$!?()=+-*/%&|<>#:,;\"'\\{} \n.0123456789FORNEXTIFWHILE";
            source += random() % 8 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % (sizeof alphabet - 1)];
        }
        CompileJob job;
        job.sourceText = source + "\r\n";
        compile(job);
        if (job.failed()) {
            EXPECT_FALSE(job.errorMessage.empty());
            EXPECT_GE(job.errorLine, 1);
            EXPECT_GE(job.errorColumn, 1);
        }
        releaseJob(job);
    }
    for (int byte = 0; byte < 256; ++byte) {
        CompileJob job;
        job.sourceText = std::string(1, static_cast<char>(byte)) + "\r\n";
        compile(job);
        releaseJob(job);
    }
    CompileJob noNewline;
    noNewline.flags = 0;
    noNewline.sourceText = "IF X STOP";
    EXPECT_EQ(compile(noNewline), kCompileOk) << noNewline.errorMessage;
    EXPECT_EQ(hex(noNewline.code), "0C 74 BC 0A 12 00 08 19 19");
    CompileJob nul;
    nul.sourceText = std::string("X = 1\r\n\0\r\n", 10);
    compile(nul);
    EXPECT_EQ(nul.errorMessage, "parse error");
    EXPECT_EQ(nul.errorLine, 2);
}

}  // namespace
}  // namespace orrery::compiler::test

namespace orrery::compiler::test {
namespace {

TEST(Robustness, CodeBeyondSixteenBitOffsetsIsAnError) {
    // A long source buys a large buffer, but no code may pass 64 KB: labels could not reach it.
    std::string source = "MODEL 700\nREM " + std::string(400, 'x');
    for (int line = 0; line < 300; ++line) source += "\nREM " + std::string(400, 'x');
    for (int line = 0; line < 60; ++line) {
        source += "\n?=?";
        for (int i = 0; i < 99; ++i) source += ":?=?";
    }
    const Compiled result = compileSource(source);
    EXPECT_EQ(result.message, "program too large for the code buffer");
}

}  // namespace
}  // namespace orrery::compiler::test
