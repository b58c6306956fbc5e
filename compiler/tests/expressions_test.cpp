// Expressions, variable references, functions and assignment: source -> token code.

#include <gtest/gtest.h>

#include "compile_helpers.h"

namespace orrery::compiler::test {
namespace {

void expectCode(const CodeCase& c) {
    const Compiled result = compileSource(c.source);
    EXPECT_TRUE(result.ok) << c.source << ": " << result.message;
    EXPECT_EQ(result.code, c.code) << c.source;
}

TEST(Expressions, ConstantsTakeTheShortestPush) {
    const CodeCase cases[] = {
        {"X = 0", "0C 74 BC 06 00 0B 19"},
        {"X = 127", "0C 74 BC 06 7F 0B 19"},
        {"X = 128", "0C 74 BC 07 00 80 0B 19"},
        {"X = 32767", "0C 74 BC 07 7F FF 0B 19"},
        {"X = 32768", "0C 74 BC 08 00 00 80 00 0B 19"},
        {"X = -1", "0C 74 BC 06 01 20 0B 19"},
        {"X = 2147483647", "0C 74 BC 08 7F FF FF FF 0B 19"},
        {"X = 0000000001", "0C 74 BC 06 01 0B 19"},
        {"X = &H7FFFFFFF", "0C 74 BC 08 7F FF FF FF 0B 19"},
        {"X = &hFFFFFFFF", "0C 74 BC 08 FF FF FF FF 0B 19"},
        {"X = &O17", "0C 74 BC 06 0F 0B 19"},
        {"X = &B101", "0C 74 BC 06 05 0B 19"},
        {"X = 'A'", "0C 74 BC 06 41 0B 19"},
        {"X = 'AB'", "0C 74 BC 07 41 42 0B 19"},
        {"X = 'ABCDE'", "0C 74 BC 08 41 42 43 44 0B 19"},
        {"X = '\\n'", "0C 74 BC 06 0A 0B 19"},
        {"A! = 1.0", "0C 74 BC 08 3F 80 00 00 0B 19"},
        {"A! = .5", "0C 74 BC 08 3F 00 00 00 0B 19"},
        {"A! = 1e5", "0C 74 BC 08 47 C3 50 00 0B 19"},
        {"A! = 5.", "0C 74 BC 08 40 A0 00 00 0B 19"},
        {"A! = -2.5", "0C 74 BC 08 40 20 00 00 26 0B 19"},
    };
    for (const CodeCase& c : cases) expectCode(c);
}

// The edges of each constant form: the widest accepted text and the first one refused.
TEST(Expressions, ConstantLimits) {
    const CodeCase cases[] = {
        {"X = &H00000001", "0C 74 BC 06 01 0B 19"},
        {"X = &O37777777777", "0C 74 BC 08 FF FF FF FF 0B 19"},
        {"X = &B11111111111111111111111111111111", "0C 74 BC 08 FF FF FF FF 0B 19"},
        {"X = &H80000000", "0C 74 BC 08 80 00 00 00 0B 19"},
        {"A! = 3.4028e38", "0C 74 BC 08 7F 7F FF 8B 0B 19"},
        {"A! = 1.1754942e-38", "0C 74 BC 08 00 7F FF FF 0B 19"},
        {"A! = 0e0", "0C 74 BC 08 00 00 00 00 0B 19"},
        {"A! = 1e+3", "0C 74 BC 08 44 7A 00 00 0B 19"},
        {"A! = 1.e2", "0C 74 BC 08 42 C8 00 00 0B 19"},
        {"X = '\\xFF'", "0C 74 BC 07 00 FF 0B 19"},
        {"X = '\\x80\\x00'", "0C 74 BC 08 00 00 80 00 0B 19"},
        {"X = '\\xFF\\xFF\\xFF\\xFF'", "0C 74 BC 08 FF FF FF FF 0B 19"},
        {"X = '\\x41\\x'", "0C 74 BC 07 41 00 0B 19"},
        {"X = '\\''", "0C 74 BC 06 27 0B 19"},
        {"A$ = \"\\x4G\"", "0C 73 C0 4D 01 40 4E 19"},
        {"A$ = \"\\q\\a\\b\\f\\v\\\\\"", "0C 73 C0 4D 06 71 07 08 0C 0B 5C 4E 19"},
    };
    for (const CodeCase& c : cases) expectCode(c);

    const ErrorCase refused[] = {
        {"X = &H000000001", "constant out of range", 1},
        {"X = &O40000000000", "constant out of range", 1},
        {"X = &O377777777777", "constant out of range", 1},
        {"X = &B111111111111111111111111111111111", "constant out of range", 1},
        {"X = 02147483647", "constant out of range", 1},
        {"A! = 3.40283e38", "constant out of range", 1},
        {"A! = 1.17548e-38", "constant out of range", 1},
        {"X = 1e", "parse error", 1},
        {"X = ''", "parse error", 1},
    };
    for (const ErrorCase& c : refused) {
        const Compiled result = compileSource(c.source);
        EXPECT_FALSE(result.ok) << c.source;
        EXPECT_EQ(result.message, c.message) << c.source;
        EXPECT_EQ(result.line, c.line) << c.source;
    }
}

TEST(Expressions, PrecedenceAndAssociativity) {
    const CodeCase cases[] = {
        {"X = 1 + 2 * 3", "0C 74 BC 06 01 06 02 06 03 21 1E 0B 19"},
        {"X = (1 + 2) * 3", "0C 74 BC 06 01 06 02 1E 06 03 21 0B 19"},
        {"X = 8 - 2 - 1", "0C 74 BC 06 08 06 02 1F 06 01 1F 0B 19"},
        {"X = 8 / 2 % 3", "0C 74 BC 06 08 06 02 22 06 03 23 0B 19"},
        {"X = -2*3", "0C 74 BC 06 02 06 03 21 20 0B 19"},
        {"X = -A-B", "0C 74 BC 0C 74 B8 0A 20 0C 74 B4 0A 1F 0B 19"},
        {"X = 2 * -3", "0C 74 BC 06 02 06 03 20 21 0B 19"},
        {"X = 1 | 2 & 3", "0C 74 BC 06 01 06 02 06 03 29 2A 0B 19"},
        {"X = 1 & 2 | 3", "0C 74 BC 06 01 06 02 29 06 03 2A 0B 19"},
        {"X = A = 1 | B", "0C 74 BC 0C 74 B8 0A 06 01 33 2D 0C 74 B4 0A 2A 0B 19"},
    };
    for (const CodeCase& c : cases) expectCode(c);
}

TEST(Expressions, ComparisonsChooseTheirCompare) {
    const CodeCase cases[] = {
        {"X = A = 1", "0C 74 BC 0C 74 B8 0A 06 01 33 2D 0B 19"},
        {"X = A <> 1", "0C 74 BC 0C 74 B8 0A 06 01 33 2E 0B 19"},
        {"X = A >< 1", "0C 74 BC 0C 74 B8 0A 06 01 33 2E 0B 19"},
        {"X = A < 1", "0C 74 BC 0C 74 B8 0A 06 01 33 2F 0B 19"},
        {"X = A > 1", "0C 74 BC 0C 74 B8 0A 06 01 33 30 0B 19"},
        {"X = A <= 1", "0C 74 BC 0C 74 B8 0A 06 01 33 31 0B 19"},
        {"X = A >= 1", "0C 74 BC 0C 74 B8 0A 06 01 33 32 0B 19"},
        {"X = A! < 1", "0C 74 BC 0C 74 B8 0A 06 01 43 34 2F 0B 19"},
        {"X = 1 < A!", "0C 74 BC 06 01 0C 74 B8 0A 44 34 2F 0B 19"},
        {"X = A! = B!", "0C 74 BC 0C 74 B8 0A 0C 74 B4 0A 34 2D 0B 19"},
        {"X = \"a\" < \"b\"", "0C 74 BC 4D 01 61 4D 01 62 35 2F 0B 19"},
    };
    for (const CodeCase& c : cases) expectCode(c);
}

TEST(Expressions, MixedArithmeticConverts) {
    const CodeCase cases[] = {
        {"A! = 1", "0C 74 BC 06 01 43 0B 19"},
        {"I = 2.5", "0C 74 BC 08 40 20 00 00 3D 0B 19"},
        {"A! = B! + 1", "0C 74 BC 0C 74 B8 0A 06 01 43 24 0B 19"},
        {"A! = 1 + B!", "0C 74 BC 06 01 0C 74 B8 0A 44 24 0B 19"},
        {"A! = B! * C!", "0C 74 BC 0C 74 B8 0A 0C 74 B4 0A 27 0B 19"},
        {"A! = B! / 2", "0C 74 BC 0C 74 B8 0A 06 02 43 28 0B 19"},
        {"A! = B! - 2", "0C 74 BC 0C 74 B8 0A 06 02 43 25 0B 19"},
        {"A! = -B!", "0C 74 BC 0C 74 B8 0A 26 0B 19"},
        {"X = B! * 2", "0C 74 BC 0C 74 B8 0A 06 02 43 27 3D 0B 19"},
    };
    for (const CodeCase& c : cases) expectCode(c);
}

TEST(Expressions, StringsUseTemporaries) {
    const CodeCase cases[] = {
        {"A$ = B$", "0C 73 C0 0C 72 C0 4E 19"},
        {"A$ = \"hi\"", "0C 73 C0 4D 02 68 69 4E 19"},
        {"A$ = \"\"", "0C 73 C0 4D 00 4E 19"},
        {"A$ = \"a\\tb\\x41\\\"\"", "0C 73 C0 4D 05 61 09 62 41 22 4E 19"},
        {"A$ = B$ + C$", "0C 73 C0 0C 72 C0 0C 71 C0 0C 70 C0 05 04 4F 4E 19"},
        {"A$ = STR(5)", "0C 73 C0 0C 72 C0 45 06 05 51 56 4A 4E 19"},
        {"A$ = STR(B!)", "0C 73 C0 0C 72 C0 45 0C 72 BC 0A 52 57 4A 4E 19"},
        {"A$ = LEFT(B$, 2)", "0C 73 C0 0C 72 C0 0C 71 C0 06 01 06 02 50 4E 19"},
        {"A$ = RIGHT(B$, 2)", "0C 73 C0 0C 72 C0 0C 71 C0 09 06 02 50 4E 19"},
        {"A$ = MID(B$, 2, 3)", "0C 73 C0 0C 72 C0 0C 71 C0 06 02 06 03 50 4E 19"},
        {"A$ = GETS(5)", "0C 73 C0 0C 72 C0 06 05 61 4E 19"},
        {"X = INSTR(A$, B$)", "0C 74 BC 0C 73 BC 0C 72 BC 06 01 05 55 0B 19"},
        {"X = INSTR(2, A$, B$)", "0C 74 BC 06 02 0C 73 BC 0C 72 BC 04 55 0B 19"},
        {"X = LEN(A$)", "0C 74 BC 0C 73 BC 06 01 96 0B 19"},
        {"X = VAL(A$)", "0C 74 BC 0C 73 BC 53 0B 19"},
        {"X! = VAL(A$)", "0C 74 BC 0C 73 BC 54 0B 19"},
    };
    for (const CodeCase& c : cases) expectCode(c);
}

TEST(Expressions, Functions) {
    const CodeCase cases[] = {
        {"X = ABS(A)", "0C 74 BC 0C 74 B8 0A 36 0B 19"},
        {"A! = ABS(B!)", "0C 74 BC 0C 74 B8 0A 37 0B 19"},
        {"A! = ASFLT(B)", "0C 74 BC 0C 74 B8 0A 0B 19"},
        {"A! = FLOAT(B)", "0C 74 BC 0C 74 B8 0A 43 0B 19"},
        {"X = INT(A!)", "0C 74 BC 0C 74 B8 0A 3C 0B 19"},
        {"X = FIX(A!)", "0C 74 BC 0C 74 B8 0A 3D 0B 19"},
        {"A! = AINT(B!)", "0C 74 BC 0C 74 B8 0A 38 0B 19"},
        {"A! = SIN(1)", "0C 74 BC 06 01 43 40 0B 19"},
        {"A! = COS(B!)", "0C 74 BC 0C 74 B8 0A 3A 0B 19"},
        {"A! = TAN(1.0)", "0C 74 BC 08 3F 80 00 00 42 0B 19"},
        {"A! = ATN(1.0)", "0C 74 BC 08 3F 80 00 00 39 0B 19"},
        {"A! = EXP(1.0)", "0C 74 BC 08 3F 80 00 00 3B 0B 19"},
        {"A! = LOG(1.0)", "0C 74 BC 08 3F 80 00 00 3E 0B 19"},
        {"A! = LOG10(1.0)", "0C 74 BC 08 3F 80 00 00 3F 0B 19"},
        {"A! = SQR(2.0)", "0C 74 BC 08 40 00 00 00 41 0B 19"},
        {"X = CHAN(3)", "0C 74 BC 06 03 71 0B 19"},
        {"X = COUNT(1)", "0C 74 BC 06 01 78 0B 19"},
        {"X = SDI(1)", "0C 74 BC 06 01 82 0B 19"},
        {"X = TEMP(1)", "0C 74 BC 06 01 74 0B 19"},
        {"X = VGET(5)", "0C 74 BC 06 05 8D 0B 19"},
        {"X = PERIOD(1, 2)", "0C 74 BC 06 01 06 02 76 0B 19"},
        {"X = PEEK(100)", "0C 74 BC 06 64 06 01 96 0B 19"},
        {"X = PEEKW(100)", "0C 74 BC 06 64 06 02 96 0B 19"},
        {"X = PEEKL(100)", "0C 74 BC 06 64 06 04 96 0B 19"},
        {"X = GET(A)", "0C 74 BC 0C 74 B8 0A 5E 0B 19"},
        {"X = GET(A, #2)", "0C 74 BC 0C 74 B8 0A 5F 0B 19"},
        {"X = GET(A, #4)", "0C 74 BC 0C 74 B8 0A 60 0B 19"},
        {"X = VARPTR(A)", "0C 74 BC 0C 74 B8 0B 19"},
        {"X = MODEL + VERS + FPERR + DFMAX", "0C 74 BC 0E 0F 1E 10 1E 6A 1E 0B 19"},
        {"X = abs(a)", "0C 74 BC 0C 74 B8 0A 36 0B 19"},
    };
    for (const CodeCase& c : cases) expectCode(c);
}

TEST(Expressions, VariableReferences) {
    const CodeCase cases[] = {
        {"X = ?", "0C 74 BC 0C 00 40 0A 0B 19"},
        {"X = ?(2)", "0C 74 BC 0C 00 4D 0A 0B 19"},
        {"X = ?(I)", "0C 74 BC 0C 74 B8 0A 0D 00 45 00 5C 0A 0B 19"},
        {"? = 5", "0C 00 40 06 05 0B 19"},
        {"X = ADLOOP(3)", "0C 74 BC 0C 7C 0C 0A 0B 19"},
        {"ADLOOP(1) = 2", "0C 7C 04 06 02 0B 19"},
        {"DIM B(10) : X = B(3)", "0C 74 94 06 03 0D 74 98 74 BF 0A 0B 19"},
        {"DIM B(10) : X = B(9)", "0C 74 94 06 09 0D 74 98 74 BF 0A 0B 19"},
        {"DIM B(10) : B(2) = 5", "06 02 0D 74 98 74 BF 06 05 0B 19"},
        {"DIM C(3,4) : X = C(1,2)", "0C 74 8C 06 01 06 02 06 04 21 1E 0D 74 90 74 BF 0A 0B 19"},
        {"DIM F!(2,3) : A! = F!(1,1)", "0C 74 A4 06 01 06 01 08 00 00 00 03 21 1E 0D 74 A8 74 BF 0A 0B 19"},
        {"X! = 1 : X = 2", "0C 74 BC 06 01 43 0B 0C 74 BC 06 02 43 0B 19"},
        {"Total = 1 : total = 2", "0C 74 BC 06 01 0B 0C 74 B8 06 02 0B 19"},
        {"LET X = 1, Y = 2", "0C 74 BC 06 01 0B 0C 74 B8 06 02 0B 19"},
        {"X = 1, Y$ = \"a\"", "0C 74 BC 06 01 0B 0C 73 BC 4D 01 61 4E 19"},
    };
    for (const CodeCase& c : cases) expectCode(c);
}

TEST(Expressions, SlotModelsAddressVariablesBySlot) {
    const CodeCase cases[] = {
        {"MODEL 700\nX = 1\nY = 2", "00 02 BC 0C 00 40 06 01 0B 0C 00 41 06 02 0B 19"},
        {"MODEL 800\nX = ?", "00 03 20 0C 00 40 08 FF FF FF FF 6D 0A 0B 19"},
        {"MODEL 700\nX = ?(3)", "00 02 BC 0C 00 40 06 03 6D 0A 0B 19"},
        {"MODEL 800\nX = LEN(A$)", "00 03 20 0C 00 40 0C 00 41 06 00 96 0B 19"},
        {"MODEL 700\nA$ = B$", "00 02 BC 0C 00 40 0C 00 80 4E 19"},
        {"MODEL 700\nDIM B(4)\nX = B(3)", "00 02 BC 0C 00 44 06 03 0D 00 40 00 44 0A 0B 19"},
        {"MODEL \"Larch\"\nX = 1", "00 03 20 0C 00 40 06 01 0B 19"},
    };
    for (const CodeCase& c : cases) expectCode(c);
}

TEST(Expressions, VariablesSizeFollowsTheArea) {
    struct SizeCase {
        const char* source;
        std::uint32_t variables;
        std::uint16_t header;
    };
    const SizeCase cases[] = {
        {"X = 1", 4, 14},
        {"X = 1 : A$ = \"\"", 4 + 256, 14},
        {"MODEL 700\nX = 1\nY = 2", 8, 82},
        {"MODEL 800\nA$ = \"\"", 256, 82},
        {"DIM A(10)", 40, 14},
        {"STOP", 0, 14},
    };
    for (const SizeCase& c : cases) {
        const Compiled result = compileSource(c.source);
        ASSERT_TRUE(result.ok) << c.source << ": " << result.message;
        EXPECT_EQ(result.job.header.variablesSize, c.variables) << c.source;
        EXPECT_EQ(result.job.header.headerSize, c.header) << c.source;
    }
}

TEST(Expressions, Errors) {
    const ErrorCase cases[] = {
        {"A$ = 5", "mix of numeric and string expr", 1},
        {"X = \"a\" + 1", "mix of numeric and string expr", 1},
        {"IF A$ = 1 X = 1", "Cannot compare STRING with numeric value", 1},
        {"X = A! = B$", "Cannot compare STRING with numeric value", 1},
        {"X = -A$", "this is a numeric operation", 1},
        {"X = A$ | 1", "this is a numeric operation", 1},
        {"X = 1 & A$", "this is a numeric operation", 1},
        {"X = 1.5 % 2", "expecting integer arguments", 1},
        {"X = INT(1)", "expecting float argument", 1},
        {"X = LEN(5)", "expecting string argument", 1},
        {"X = FLOAT(1.5)", "expecting integer argument", 1},
        {"X = CHAN(A$)", "expecting integer argument", 1},
        {"X = PERIOD(1, 2.0)", "expecting integer arguments", 1},
        {"A$ = STR(B$)", "expecting numeric expression", 1},
        {"A$ = GETS(1.5)", "expecting integer expression", 1},
        {"X = VAL(5)", "expecting string argument", 1},
        {"A$ = VAL(B$)", "expecting numeric variable", 1},
        {"X = INSTR(A$, 1)", "expecting string argument", 1},
        {"X = GET(A, #3)", "# must be followed by 1,2 or 4", 1},
        {"X = 2147483648", "constant out of range", 1},
        {"X = 00000000001", "constant out of range", 1},
        {"X = &H100000000", "constant out of range", 1},
        {"X = &O77777777777", "constant out of range", 1},
        {"A! = 1e39", "constant out of range", 1},
        {"A! = 1e-39", "constant out of range", 1},
        {"X = A = B = C", "parse error", 1},
        {"X = #F", "ambiguous operator", 1},
        {"X = 1\nX! = 2", "\"X\" : Integer variable now referred to as floating point", 2},
        {"X = 1\nX$ = A$", "\"X\" : Integer variable now referred to as string", 2},
        {"DIM B(10)\nX = B", "cannot redefine as variable", 2},
        {"X = 1\nY = X(1)", "expecting array variable", 2},
        {"DIM B(10)\nY = B(1.5)", "array index must be integer", 2},
        {"DIM B(10)\nY = B(10)", "array index out of range", 2},
        {"DIM B(10)\nY = B(-1)", "array index out of range", 2},
        {"X = ?(6)", "array index out of range", 1},
        {"X = ADLOOP(8)", "array index out of range", 1},
        {"X = ADLOOP(I)", "expecting integer constant", 1},
        {"MODEL 700\nDIM B(4)\nX = B(4)", "array index out of range", 3},
        {"MODEL 510\nMODEL 700\nX = ?", "mutually exclusive models", 3},
        {"X = LABPTR(L)\nL: STOP", "specify MODEL for this command", 1},
        {"MODEL 700\nX = LABPTR(L)\nL: STOP", "command unavailable this model", 2},
        {"MODEL 510\nMODEL 400\nX = LABPTR(L)\nL: STOP", "mutually exclusive models", 3},
        {"L: STOP\nL = 1", "\"L\" : A variable and label cannot share this name", 2},
    };
    for (const ErrorCase& c : cases) {
        const Compiled result = compileSource(c.source);
        EXPECT_FALSE(result.ok) << c.source;
        EXPECT_EQ(result.message, c.message) << c.source;
        EXPECT_EQ(result.line, c.line) << c.source;
    }
}

TEST(Expressions, LabptrAddsTheCodeBase) {
    const CodeCase cases[] = {
        {"MODEL 510\nX = LABPTR(L)\nL: STOP", "0C 74 BC 0C 00 0B 0C 81 4E 1E 0B 19 19"},
        {"MODEL 400\nDFSIZE 100\nX = LABPTR(L)\nL: STOP", "0C 74 BC 0C 00 0B 0C 01 4E 1E 0B 19 19"},
    };
    for (const CodeCase& c : cases) expectCode(c);
}

}  // namespace
}  // namespace orrery::compiler::test

#include <clocale>

namespace orrery::compiler::test {
namespace {

TEST(Expressions, FloatConstantsIgnoreTheHostLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    // A host program with a decimal comma must still read 2.5 as two and a half.
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    const Compiled result = compileSource("A! = 2.5");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(result.code, "0C 74 BC 08 40 20 00 00 0B 19");
    EXPECT_EQ(compileSource("A! = 1e400").message, "constant out of range");
}

}  // namespace
}  // namespace orrery::compiler::test
