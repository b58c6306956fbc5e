// Lines, labels, blocks, jumps and the statements that end or suspend a program.

#include <gtest/gtest.h>

#include <string>

#include "compile_helpers.h"

namespace orrery::compiler::test {
namespace {

void expectCode(const CodeCase& c, bool lineNumbers = false) {
    const Compiled result = compileSource(c.source, lineNumbers);
    EXPECT_TRUE(result.ok) << c.source << ": " << result.message;
    EXPECT_EQ(result.code, c.code) << c.source;
}

TEST(ControlFlow, Blocks) {
    const CodeCase cases[] = {
        {"FOR I = 1 TO 10\nNEXT I", "0C 74 BC 06 01 0B 06 00 06 0A 06 01 13 74 BC 00 14 14 00 08 19"},
        {"FOR I = 1 TO N STEP 2\nNEXT I",
         "0C 74 BC 06 01 0B 06 00 0C 74 B8 0A 06 02 13 74 BC 00 16 14 00 08 19"},
        {"WHILE X < 3\nX = X + 1\nWEND",
         "0C 74 BC 0A 06 03 33 2F 12 00 19 0C 74 BC 0C 74 BC 0A 06 01 1E 0B 11 00 00 19"},
        {"REPEAT\nX = X + 1\nUNTIL X = 5",
         "0C 74 BC 0C 74 BC 0A 06 01 1E 0B 0C 74 BC 0A 06 05 33 2D 12 00 00 19"},
        {"IFF X\nY = 1\nELSE\nY = 2\nENDIF",
         "0C 74 BC 0A 12 00 10 0C 74 B8 06 01 0B 11 00 16 0C 74 B8 06 02 0B 19"},
        {"IFF X\nY = 1\nENDIF", "0C 74 BC 0A 12 00 0D 0C 74 B8 06 01 0B 19"},
        {"IFF 1.5\nENDIF", "08 3F C0 00 00 12 00 08 19"},
        {"FOR I = 1 TO 2\nFOR J = 1 TO 2\nNEXT J\nNEXT I",
         "0C 74 BC 06 01 0B 06 00 06 02 06 01 13 74 BC 00 28 "
         "0C 74 B8 06 01 0B 06 00 06 02 06 01 13 74 B8 00 25 14 00 19 14 00 08 19"},
    };
    for (const CodeCase& c : cases) expectCode(c);
}

TEST(ControlFlow, SingleLineConditionsGovernTheRestOfTheLine) {
    const CodeCase cases[] = {
        {"IF A = 1 B = 2 : C = 3", "0C 74 BC 0A 06 01 33 2D 12 00 17 0C 74 B8 06 02 0B 0C 74 B4 06 03 0B 19"},
        {"IF A IF B C = 1\nSTOP", "0C 74 BC 0A 12 00 14 0C 74 B8 0A 12 00 14 0C 74 B4 06 01 0B 19 19"},
        {"IF A STOP // done", "0C 74 BC 0A 12 00 08 19 19"},
        {"SLEEP 5", "06 05 6F 19"},
        {"SLEEP 5 X = 1", "06 05 70 12 00 0C 0C 74 BC 06 01 0B 19"},
        {"SLEEP 5 : X = 1", "06 05 6F 0C 74 BC 06 01 0B 19"},
    };
    for (const CodeCase& c : cases) expectCode(c);
}

TEST(ControlFlow, JumpsAndLabels) {
    const CodeCase cases[] = {
        {"GOTO L\nGOTO L\nGOTO L\nL: STOP", "11 00 09 11 00 09 11 00 09 19 19"},
        {"L: X = 1\nGOTO L", "0C 74 BC 06 01 0B 11 00 00 19"},
        {"GOSUB L\nL: RETURN", "16 15 00 04 17 19"},
        {"RUN L\nL: STOP", "18 00 03 19 19"},
        {"ONERR", "07 FF F0 0C FF F0 1D 19"},
        {"ONERR L\nL: STOP", "07 00 07 0C FF F0 1D 19 19"},
        {"ONERR L, E\nL: STOP", "07 00 07 0C 74 BC 1D 19 19"},
        {"CBREAK", "1C FF F0 19"},
        {"CBREAK L\nL: STOP", "1C 00 03 19 19"},
        {"STOP : DONE : HALT : QUIT : RETURN", "19 1A 1B 98 17 19"},
        {"HYB 10", "06 0A 99 19"},
        {"  Loop_1@:\nGOTO Loop_1@", "11 00 00 19"},
        {"REM:STOP", "19 19"},
        {"X = 1 : REM the rest", "0C 74 BC 06 01 0B 19"},
        {"' a comment\nSTOP", "19 19"},
        {"STOP:", "19 19"},
        {"DIM A(2), B(3)", "19"},
    };
    for (const CodeCase& c : cases) expectCode(c);
}

TEST(ControlFlow, LineNumbers) {
    const CodeCase cases[] = {
        {"\n\n\nSTOP", "01 00 04 19 01 00 05 19"},
        {"STOP", "01 00 01 19 01 00 02 19"},
        {"L:\n\nSTOP", "01 00 01 01 00 03 19 01 00 04 19"},
        {"REM a\n' b\n// c\nX = 1", "01 00 04 0C 74 BC 06 01 0B 01 00 05 19"},
        {"L: STOP\nGOTO L", "01 00 01 19 01 00 02 11 00 00 01 00 03 19"},
        {"GOTO L\nL: STOP", "01 00 01 11 00 06 01 00 02 19 01 00 03 19"},
        {"MODEL 700\nX = 1", "01 00 01 00 02 BC 01 00 02 0C 00 40 06 01 0B 01 00 03 19"},
        {"REM x\nMODEL 700", "01 00 02 00 02 BC 01 00 03 19"},
    };
    for (const CodeCase& c : cases) expectCode(c, true);
}

// With line markers embedded, block targets and labels land on the markers the line rules leave behind.
TEST(ControlFlow, BlocksAndLabelsBetweenLineMarkers) {
    const CodeCase cases[] = {
        // ENDIF emits nothing: its line's marker is overwritten by the next line, so ELSE's jump lands
        // behind that marker.
        {"IFF X\nX=1\nELSE\nX=2\nENDIF",
         "01 00 01 0C 74 BC 0A 12 00 19 01 00 02 0C 74 BC 06 01 0B 01 00 03 11 00 25 "
         "01 00 04 0C 74 BC 06 02 0B 01 00 06 19"},
        {"WHILE X\nX=1\nWEND", "01 00 01 0C 74 BC 0A 12 00 19 01 00 02 0C 74 BC 06 01 0B 01 00 03 11 00 03 01 00 04 19"},
        // REPEAT emits nothing, so the loop start is the first byte after the (overwritten) marker.
        {"REPEAT\nX=1\nUNTIL X", "01 00 02 0C 74 BC 06 01 0B 01 00 03 0C 74 BC 0A 12 00 03 01 00 04 19"},
        {"GOTO L\nGOTO L\nGOTO L\nL: STOP",
         "01 00 01 11 00 12 01 00 02 11 00 12 01 00 03 11 00 12 01 00 04 19 01 00 05 19"},
        // A label after a blank line takes the marker that the blank line renumbered.
        {"X=1\n\nL: X=2\nGOTO L", "01 00 01 0C 74 BC 06 01 0B 01 00 03 0C 74 BC 06 02 0B 01 00 04 11 00 09 01 00 05 19"},
        {"X=1\nL:\nGOTO L", "01 00 01 0C 74 BC 06 01 0B 01 00 02 01 00 03 11 00 09 01 00 04 19"},
        {"IF X STOP\nIF X STOP", "01 00 01 0C 74 BC 0A 12 00 0B 19 01 00 02 0C 74 BC 0A 12 00 16 19 01 00 03 19"},
        {"FOR I=1 TO 2\nNEXT I",
         "01 00 01 0C 74 BC 06 01 0B 06 00 06 02 06 01 13 74 BC 00 1A 01 00 02 14 00 0B 01 00 03 19"},
    };
    for (const CodeCase& c : cases) expectCode(c, true);

    const CodeCase plain[] = {
        {"IF X SLEEP 3 STOP\nHALT", "0C 74 BC 0A 12 00 0E 06 03 70 12 00 0E 19 1B 19"},
        {"IF X IF Y STOP : DONE\nHALT", "0C 74 BC 0A 12 00 10 0C 74 B8 0A 12 00 10 19 1A 1B 19"},
        {"ONERR L, E\nCBREAK L\nL:", "07 00 0A 0C 74 BC 1D 1C 00 0A 19"},
        {"FOR I=1 TO 9 STEP 2\nNEXT I", "0C 74 BC 06 01 0B 06 00 06 09 06 02 13 74 BC 00 14 14 00 08 19"},
    };
    for (const CodeCase& c : plain) expectCode(c);
}

TEST(ControlFlow, Errors) {
    const ErrorCase cases[] = {
        {"IF 1.5 X = 1", "expect relational argument", 1},
        {"NEXT J", "FOR NEXT loop mismatch", 1},
        {"FOR I = 1 TO 10\nNEXT J", "FOR NEXT loop mismatch", 2},
        {"FOR A! = 1 TO 2\nNEXT A", "expecting integer variable", 1},
        {"FOR I = 1.5 TO 2\nNEXT I", "expecting integer expression", 1},
        {"FOR I = 1 TO 2 STEP 0.5\nNEXT I", "expecting integer expression", 1},
        {"NEXT", "parse error", 1},
        {"ENDIF", "IFF ENDIF mismatch", 1},
        {"ELSE", "IFF ENDIF mismatch", 1},
        {"IFF 1\nWEND", "IFF ENDIF mismatch", 2},
        {"WHILE 1\nNEXT I", "WHILE WEND loop mismatch", 2},
        {"WEND", "WHILE WEND loop mismatch", 1},
        {"UNTIL 1", "REPEAT UNTIL loop mismatch", 1},
        {"REPEAT\nENDIF", "REPEAT UNTIL loop mismatch", 2},
        {"IFF 1\nELSE\nELSE\nENDIF", "IFF ENDIF mismatch", 3},
        {"FOR I = 1 TO 2\nFOR J = 1 TO 2", "FOR NEXT not terminated", 3},
        {"IFF 1\nWHILE 1", "WHILE WEND not terminated", 3},
        {"WHILE 1\nIFF 1", "IFF ENDIF not terminated", 3},
        {"REPEAT", "REPEAT UNTIL not terminated", 2},
        {"SLEEP 1.5", "expecting integer expression", 1},
        {"ONERR L, A!\nL: STOP", "expecting integer variable", 1},
        {"GOTO L", "\"L\" : Undefined label reference", 1},
        {"X = 1\nGOTO Nowhere", "\"Nowhere\" : Undefined label reference", 2},
        {"L: X = 1\nL: Y = 2", "\"L\" : Multiple declaration of label", 2},
        {"X = 1\nX: Y = 2", "\"X\" : Can't redefine as label", 2},
        {"X = 1\nGOTO X", "variable and label share name", 2},
        {"X = 1 REM x", "parse error", 1},
        {"X = 1\n\"", "parse error", 2},
        {"STOP STOP", "parse error", 1},
        {"X = 1\rY = 2", "parse error", 1},
        {"ASM $", "specify MODEL for this command", 1},
    };
    for (const ErrorCase& c : cases) {
        const Compiled result = compileSource(c.source);
        EXPECT_FALSE(result.ok) << c.source;
        EXPECT_EQ(result.message, c.message) << c.source;
        EXPECT_EQ(result.line, c.line) << c.source;
    }
}

std::string nested(const char* open, const char* close, int depth) {
    std::string source;
    for (int i = 0; i < depth; ++i) source += std::string(open) + "\n";
    for (int i = 0; i < depth; ++i) source += std::string(close) + "\n";
    return source;
}

TEST(ControlFlow, BlocksNestEightyFourDeep) {
    EXPECT_TRUE(compileSource(nested("WHILE 1", "WEND", 84)).ok);
    const Compiled tooDeep = compileSource(nested("WHILE 1", "WEND", 85));
    EXPECT_EQ(tooDeep.message, "WHILE WEND nested too deeply");
    EXPECT_EQ(tooDeep.line, 85);
    EXPECT_EQ(compileSource(nested("IFF 1", "ENDIF", 85)).message, "IFF ENDIF nested too deeply");
    EXPECT_EQ(compileSource(nested("REPEAT", "UNTIL 1", 85)).message, "REPEAT UNTIL nested too deeply");
    std::string loops;
    for (int i = 0; i < 85; ++i) loops += "FOR I" + std::to_string(i) + " = 1 TO 2\n";
    EXPECT_EQ(compileSource(loops).message, "FOR NEXT nested too deeply");
}

TEST(ControlFlow, ModelStatement) {
    struct ModelCase {
        const char* source;
        std::uint16_t model;
        std::uint8_t modelByte;
    };
    const ModelCase cases[] = {
        {"MODEL 210", 210, 21},
        {"MODEL \"Maple\"\nDFSIZE 10", 500, 50},
        {"MODEL \"Maple-R\"", 510, 51},
        {"MODEL \"\"", 210, 21},
        {"MODEL \"X\"", 0, 0},
        {"MODEL \"R\"", 600, 60},
        {"MODEL 510\nMODEL 620", 620, 62},
        {"STOP", 0, 0},
    };
    for (const ModelCase& c : cases) {
        const Compiled result = compileSource(c.source);
        if (c.model == 0 && std::string(c.source) != "STOP") {
            EXPECT_EQ(result.message, "unknown identifier string") << c.source;
            continue;
        }
        ASSERT_TRUE(result.ok) << c.source << ": " << result.message;
        EXPECT_EQ(result.job.modelCode, c.model) << c.source;
        EXPECT_EQ(result.job.header.modelByte, c.modelByte) << c.source;
    }
    const ErrorCase errors[] = {
        {"MODEL \"maple\"", "unknown identifier string", 1},
        {"X = 1\nMODEL 500", "must appear as first statement", 2},
        {"MODEL 700\nMODEL 800", "must appear as first statement", 2},
        {"DIM A(5)\nMODEL 700", "cannot reset label addresses", 2},
        {"MODEL 999", "unknown model number", 2},
        {"MODEL 66036", "unknown model number", 1},
        {"MODEL 500", "this model must use DFSIZE", 2},
        {"MODEL 400", "this model must use DFSIZE", 2},
        {"MODEL &H2BC", "parse error", 1},
    };
    for (const ErrorCase& c : errors) {
        const Compiled result = compileSource(c.source);
        EXPECT_EQ(result.message, c.message) << c.source;
        EXPECT_EQ(result.line, c.line) << c.source;
    }
}

// With line numbers embedded, the code before a MODEL statement is one line marker, which the next line's
// marker replaces; so MODEL statements may follow each other on one line or across blank lines.
TEST(ControlFlow, ModelStatementsWithLineNumbers) {
    struct LineModelCase {
        const char* source;
        const char* code;
        std::uint16_t model;
    };
    const LineModelCase cases[] = {
        {"MODEL 510 : MODEL 600\nSTOP", "01 00 02 19 01 00 03 19", 600},
        {"MODEL 510\n\nMODEL 620\nSTOP", "01 00 04 19 01 00 05 19", 620},
        {"\nMODEL \"Maple-V\"", "01 00 03 19", 520},
    };
    for (const LineModelCase& c : cases) {
        const Compiled result = compileSource(c.source, true);
        ASSERT_TRUE(result.ok) << c.source << ": " << result.message;
        EXPECT_EQ(result.code, c.code) << c.source;
        EXPECT_EQ(result.job.modelCode, c.model) << c.source;
    }
    const ErrorCase errors[] = {
        {"MODEL 510 : X = 1 : MODEL 600", "must appear as first statement", 1},
        {"MODEL 510\nX = 1\nMODEL 600", "must appear as first statement", 3},
        {"MODEL 700\n\nMODEL 700", "must appear as first statement", 3},
    };
    for (const ErrorCase& c : errors) {
        const Compiled result = compileSource(c.source, true);
        EXPECT_EQ(result.message, c.message) << c.source;
        EXPECT_EQ(result.line, c.line) << c.source;
    }
}

}  // namespace
}  // namespace orrery::compiler::test
