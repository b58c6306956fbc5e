// Output, storage, input, hardware, timing and data-file statements: source -> token code or message.

#include <gtest/gtest.h>

#include "compile_helpers.h"

namespace orrery::compiler::test {
namespace {

void expectCodes(const CodeCase* begin, const CodeCase* end) {
    for (const CodeCase* c = begin; c != end; ++c) {
        const Compiled result = compileSource(c->source);
        EXPECT_TRUE(result.ok) << c->source << ": " << result.message;
        EXPECT_EQ(result.code, c->code) << c->source;
    }
}

void expectErrors(const ErrorCase* begin, const ErrorCase* end) {
    for (const ErrorCase* c = begin; c != end; ++c) {
        const Compiled result = compileSource(c->source);
        EXPECT_FALSE(result.ok) << c->source;
        EXPECT_EQ(result.message, c->message) << c->source;
        EXPECT_EQ(result.line, c->line) << c->source;
    }
}

TEST(PrintFamily, TextFormAndFormatItems) {
    const CodeCase cases[] = {
        {"PRINT", "45 49 19"},
        {"PRINT;", "45 4A 19"},
        {"PRINT X;", "45 0C 74 BC 0A 56 4A 19"},
        {"PRINT \"x=\", X", "45 4D 02 78 3D 59 0C 74 BC 0A 56 49 19"},
        {"PRINT A!", "45 0C 74 BC 0A 57 49 19"},
        {"PRINT #5H, X", "45 5B 20 06 05 5A 5C 50 0C 74 BC 0A 56 49 19"},
        {"PRINT #08.3F, Y!", "45 5B 30 06 08 5A 5C C3 0C 74 BC 0A 57 49 19"},
        {"PRINT #.2S, A!", "45 5B 20 09 5A 5C 82 0C 74 BC 0A 57 49 19"},
        {"PRINT #5F", "45 5B 20 06 05 5A 5C C6 49 19"},
        {"PRINT #1F", "45 5B 20 06 01 5A 5C C6 49 19"},
        {"PRINT #0F", "45 5B 30 06 00 5A 5C C6 49 19"},
        {"PRINT #5.70S", "45 5B 20 06 05 5A 5C 86 49 19"},
        {"PRINT #.64F", "45 5B 20 09 5A 5C C0 49 19"},
        {"PRINT #.100000000000S", "45 5B 20 09 5A 5C 80 49 19"},
        {"PRINT #.99999999999S", "45 5B 20 09 5A 5C BF 49 19"},
        {"PRINT #3", "45 5B 20 06 03 5A 49 19"},
        {"PRINT #05B", "45 5B 30 06 05 5A 5C 42 49 19"},
        {"PRINT #2Q, #2D", "45 5B 20 06 02 5A 5C 48 5B 20 06 02 5A 5C 4A 49 19"},
        {"PRINT #0H", "45 5B 30 06 00 5A 5C 50 49 19"},
        {"PRINT #X, Y", "45 0C 74 BC 0A 5A 0C 74 B8 0A 56 49 19"},
        {"PRINT # F, 1", "45 0C 74 BC 0A 5A 06 01 56 49 19"},
        {"PRINT #0 W", "45 0C 74 BC 0A 5A 5B 30 49 19"},
        {"PRINT #2", "45 06 02 5A 5B 20 49 19"},
        {"PRINT \\65", "45 06 41 58 49 19"},
        {"PRINT {1, 2}", "45 06 01 06 02 5D 49 19"},
        {"SCROLL \"a\"", "90 4D 01 61 59 91 19"},
        {"SCROLL;", "90 91 19"},
        {"DISPLY X", "8F 0C 74 BC 0A 56 91 19"},
        {"DISPLY X;", "8F 0C 74 BC 0A 56 91 19"},
    };
    expectCodes(std::begin(cases), std::end(cases));
}

TEST(PrintFamily, FormChosenByTheFirstItem) {
    const CodeCase cases[] = {
        {"STORE P, #2, A, B", "0C 74 BC 62 0C 74 B8 0A 64 0C 74 B4 0A 64 4A 19"},
        {"STORE P, A", "0C 74 BC 62 0C 74 B8 0A 63 4A 19"},
        {"STORE P, #4, A, #1, B", "0C 74 BC 62 0C 74 B8 0A 65 0C 74 B4 0A 63 4A 19"},
        {"STORE P, A!, B$", "0C 74 BC 62 0C 74 B8 0A 65 0C 73 B8 66 4A 19"},
        {"STORE P, \"x=\", A", "0C 74 BC 62 4D 02 78 3D 59 0C 74 B8 0A 56 49 19"},
        {"STORE P, \"x\";", "0C 74 BC 62 4D 01 78 59 4A 19"},
        {"STORE P", "0C 74 BC 62 19"},
        {"USEND 9600, \"hi\"", "08 00 04 B0 00 07 25 80 22 4D 02 68 69 87 59 49 19"},
        {"USEND 9600, A, B", "08 00 04 B0 00 07 25 80 22 0C 74 BC 0A 0C 74 B8 86 19"},
        {"USEND 9600, A", "08 00 04 B0 00 07 25 80 22 0C 74 BC 0A 86 19"},
        {"USEND 9600", "08 00 04 B0 00 07 25 80 22 19"},
        {"SDO 1, 2, 3", "06 01 06 02 06 03 83 19"},
        {"SDO \"a\", X", "4D 01 61 84 59 0C 74 BC 0A 56 49 19"},
        {"CALL &H8000", "08 00 00 80 00 07 FF F0 07 FF F0 94 19"},
        {"CALL 100, A", "06 64 0C 74 BC 0A 07 FF F0 94 19"},
        {"CALL 100, A, B", "06 64 0C 74 BC 0A 0C 74 B8 94 19"},
        {"CALL 100, \"x\"", "06 64 4D 01 78 95 59 49 19"},
    };
    expectCodes(std::begin(cases), std::end(cases));
}

TEST(PrintFamily, Errors) {
    const ErrorCase cases[] = {
        {"PRINT #F", "ambiguous operator", 1},
        {"PRINT #s, 1", "ambiguous operator", 1},
        {"PRINT # 1.5", "expecting integer expression", 1},
        {"PRINT #1.5", "parse error", 1},
        {"PRINT \\1.5", "expecting integer expression", 1},
        {"PRINT {1, 2.0}", "expecting integer arguments", 1},
        {"STORE P, A;", "for ASCII version of command", 1},
        {"STORE P, #5, A", "Binary form of STORE, incorrect arument type", 1},
        {"STORE P, \\1", "Binary form of STORE, incorrect arument type", 1},
        {"USEND 9600, A, 1", "Internal error 200", 1},
        {"USEND 9600, A, B, C", "unexpected argument", 1},
        {"USEND 9600.0, A", "expecting integer argument", 1},
        {"USEND 9600, A;", "for ASCII version of command", 1},
        {"SDO 1, 2, 3, 4", "unexpected argument", 1},
        {"SDO 1, #2", "unexpected argument", 1},
        {"CALL 100, A, B, C", "unexpected argument", 1},
        {"CALL Sub", "expecting assembler label", 1},
        {"CALL 1.5", "expecting integer argument", 1},
        {"CALL N", "expecting assembler label", 1},
    };
    expectErrors(std::begin(cases), std::end(cases));
}

TEST(PrintFamily, FormsHoldForTheRestOfTheStatement) {
    const CodeCase cases[] = {
        // Binary STORE: floats stay 4 bytes and strings are stored whole whatever the size suffix says.
        {"STORE P, #2, 1.5, \"s\"", "0C 74 BC 62 08 3F C0 00 00 65 4D 01 73 66 4A 19"},
        // Text STORE: a size suffix is a field width there.
        {"STORE P, \"a\", #4, 2", "0C 74 BC 62 4D 01 61 59 06 04 5A 5B 20 06 02 56 49 19"},
        {"SDO \"a\", #2, 3", "4D 01 61 84 59 06 02 5A 5B 20 06 03 56 49 19"},
        {"SDO \"a\";", "4D 01 61 84 59 4A 19"},
        // The form marker follows the first item only; the text form has no item limit.
        {"USEND 9600, \"a\", \"b\"", "08 00 04 B0 00 07 25 80 22 4D 01 61 87 59 4D 01 62 59 49 19"},
        {"USEND 9600, \"a\";", "08 00 04 B0 00 07 25 80 22 4D 01 61 87 59 4A 19"},
        {"CALL 100, \"a\", 5", "06 64 4D 01 61 95 59 06 05 56 49 19"},
        {"CALL 40000, A", "08 00 00 9C 40 0C 74 BC 0A 07 FF F0 94 19"},
        {"MODEL 510\nX = 1\nASM $\nlp rts\n end\nCALL lp, X",
         "0C 74 BC 06 01 0B 07 00 02 92 39 39 07 81 58 0C 74 BC 0A 07 FF F0 94 19"},
        {"MODEL 510\nASM $\nlp rts\n end\nCALL lp", "07 00 02 92 39 39 07 81 52 07 FF F0 07 FF F0 94 19"},
        {"DISPLY;", "8F 91 19"},
        // A size suffix alone still decides the binary form, which ends in Semi.
        {"STORE P, #2", "0C 74 BC 62 4A 19"},
    };
    expectCodes(std::begin(cases), std::end(cases));
    const ErrorCase errors[] = {
        {"SDO 1;", "for ASCII version of command", 1},
        {"STORE P, #2;", "for ASCII version of command", 1},
        {"SDO", "parse error", 1},
        {"CALL 100, A;", "for ASCII version of command", 1},
        {"CALL 100, #5", "unexpected argument", 1},
        {"USEND 9600, {1, 2}", "unexpected argument", 1},
        {"STORE P, #F", "Binary form of STORE, incorrect arument type", 1},
        {"STORE P, {1, 2}", "Binary form of STORE, incorrect arument type", 1},
        {"CALL 100 + N", "expecting integer constant", 1},
        {"PRINT 1,", "parse error", 1},
    };
    expectErrors(std::begin(errors), std::end(errors));
}

TEST(TextInput, PromptsAndLineEnds) {
    const CodeCase cases[] = {
        // The ';' belongs to its own target only.
        {"INPUT A;, B",
         "0C 74 BC 45 4D 02 41 3A 59 4A 0C 73 BC 46 00 0B 0C 73 B8 45 4D 02 42 3A 59 4A 0C 72 B8 46 01 0B "
         "19"},
        {"INPUT \"p\", A, \"q\", B$;",
         "0C 74 BC 45 4D 01 70 59 4A 0C 73 BC 46 01 0B 0C 72 BC 45 4D 01 71 59 4A 48 00 19"},
        // Default prompts: "(*)" for a computed index, "(*,*)" for two dimensions, cut at a type suffix.
        {"DIM A(5)\nINPUT A(I)",
         "0C 74 A8 0A 0D 74 AC 74 BF 45 4D 05 41 28 2A 29 3A 59 4A 0C 73 A8 46 01 0B 19"},
        {"DIM M(2,2)\nINPUT M(1,1)",
         "06 01 06 01 06 02 21 1E 0D 74 B0 74 BF 45 4D 07 4D 28 2A 2C 2A 29 3A 59 4A 0C 73 B0 46 01 0B 19"},
        {"DIM A!(5)\nINPUT A!(2)", "06 02 0D 74 AC 74 BF 45 4D 02 41 3A 59 4A 0C 73 AC 47 01 0B 19"},
        {"DIM abc(5)\nINPUT abc( 3 )",
         "06 03 0D 74 AC 74 BF 45 4D 07 61 62 63 28 33 29 3A 59 4A 0C 73 AC 46 01 0B 19"},
        {"MODEL 700\nINPUT ?(3)", "00 02 BC 06 03 6D 45 4D 05 3F 28 33 29 3A 59 4A 0C 00 40 46 01 0B 19"},
        {"INPUT ADLOOP(2)", "0C 7C 08 45 4D 0A 61 64 6C 6F 6F 70 28 32 29 3A 59 4A 0C 73 C0 46 01 0B 19"},
        // The last count given wins; 65535 is the largest.
        {"ITEXT S, 65535, 3", "0C 74 BC 06 0D 07 00 03 88 19"},
        {"ITEXT S, 65535", "0C 74 BC 06 0D 07 FF FF 88 19"},
        {"OTEXT S, \\13", "0C 74 BC 06 0D 89 45 06 0D 58 06 0A 58 4A 19"},
    };
    expectCodes(std::begin(cases), std::end(cases));
    const ErrorCase errors[] = {
        {"ITEXT S, -1", "expect integer less than 65536", 1},
        {"ITEXT S, \\-1", "expecting integer less than 256", 1},
        {"ITEXT S, 65536", "expect integer less than 65536", 1},
        {"OTEXT S, 10", "parse error", 1},
    };
    expectErrors(std::begin(errors), std::end(errors));
}

TEST(TextInput, InputItextOtext) {
    const CodeCase cases[] = {
        {"INPUT A", "0C 74 BC 45 4D 02 41 3A 59 4A 0C 73 BC 46 01 0B 19"},
        {"INPUT N$", "0C 73 C0 45 4D 02 4E 3A 59 4A 48 01 19"},
        {"INPUT \"Value\", V!;", "0C 74 BC 45 4D 05 56 61 6C 75 65 59 4A 0C 73 BC 47 00 0B 19"},
        {"INPUT \"\", A", "0C 74 BC 45 4A 0C 73 BC 46 01 0B 19"},
        {"DIM A(5) : INPUT A(3)", "06 03 0D 74 AC 74 BF 45 4D 05 41 28 33 29 3A 59 4A 0C 73 AC 46 01 0B 19"},
        {"INPUT A, B",
         "0C 74 BC 45 4D 02 41 3A 59 4A 0C 73 BC 46 01 0B 0C 73 B8 45 4D 02 42 3A 59 4A 0C 72 B8 46 01 0B 19"},
        {"ITEXT S, \\10, 20", "0C 74 BC 06 0A 07 00 14 88 19"},
        {"ITEXT S, 20, \\10", "0C 74 BC 06 0A 07 00 14 88 19"},
        {"ITEXT S", "0C 74 BC 06 0D 07 FF FF 88 19"},
        {"OTEXT S", "0C 74 BC 06 0D 89 45 06 0D 58 06 0A 58 4A 19"},
        {"OTEXT S, \\0;", "0C 74 BC 06 00 89 19"},
        {"OTEXT S, \\44", "0C 74 BC 06 2C 89 45 06 2C 58 4A 19"},
    };
    expectCodes(std::begin(cases), std::end(cases));
    const ErrorCase errors[] = {
        {"ITEXT S, \\256", "expecting integer less than 256", 1},
        {"ITEXT S, 70000", "expect integer less than 65536", 1},
        {"ITEXT S, N", "expect integer less than 65536", 1},
        {"ITEXT A!", "expecting integer argument", 1},
        {"OTEXT A$", "expecting integer argument", 1},
        {"OTEXT S, \\300", "expecting integer less than 256", 1},
    };
    expectErrors(std::begin(errors), std::end(errors));
}

TEST(Hardware, Statements) {
    const CodeCase cases[] = {
        {"ADLOOP", "73 19"},
        {"BURST A, 10", "0C 74 BC 06 0A 06 01 72 19"},
        {"BURST A, 10, 3", "0C 74 BC 06 0A 06 03 72 19"},
        {"BURST A, 10, 00", "0C 74 BC 06 0A 06 00 72 19"},
        {"COUNT", "07 FF F0 79 19"},
        {"COUNT C", "0C 74 BC 79 19"},
        {"COUNT(1)", "06 01 78 02 19"},
        {"DFREAD 1, V", "06 01 0C 74 BC 06 FF 67 19"},
        {"DFSAVE 1, V, 3", "06 01 0C 74 BC 06 03 68 19"},
        {"DOFFLD 1, 2", "06 01 06 02 07 FF F0 8C 19"},
        {"DOFFLD 1, 2, V", "06 01 06 02 0C 74 BC 8C 19"},
        {"OFFLD 0, 100", "06 00 06 64 07 17 70 07 FF F0 69 19"},
        {"OFFLD 0, 100, 5, V", "06 00 06 64 06 05 0C 74 BC 69 19"},
        {"DSKOFF : DSKON V", "8A 0C 74 BC 8B 19"},
        {"DTOA 5 : RATE 5 : XSHAKE 1", "06 05 75 06 05 6E 06 01 4B 19"},
        {"RTIME", "07 FF F0 6C 19"},
        {"RTIME T", "0C 74 BC 6C 19"},
        {"STIME", "07 FF F0 6B 19"},
        {"STIME T", "0C 74 BC 6B 19"},
        {"TONE 1, 2", "06 01 06 02 04 77 19"},
        {"UGET 9600, V, 1, 2", "08 00 04 B0 00 07 25 80 22 0C 74 BC 06 01 06 02 05 04 85 19"},
        {"VSTORE 1, 2", "06 01 06 02 8E 19"},
        {"XMIT+ : XMIT-", "06 FF 4C 06 00 4C 19"},
        {"POKE 100, 1", "06 64 06 01 06 01 97 19"},
        {"POKEW 100, 1", "06 64 06 01 06 02 97 19"},
        {"POKEL 100, 1", "06 64 06 01 06 04 97 19"},
        {"CHAN(3)", "06 03 71 02 19"},
        {"MODEL 400\nDFSIZE 100", "19"},
    };
    expectCodes(std::begin(cases), std::end(cases));
    const ErrorCase errors[] = {
        {"BURST A, 10, 4", "invalid storage format specifier", 1},
        {"BURST A, 10, 13", "invalid storage format specifier", 1},
        {"BURST A, 10, F", "invalid storage format specifier", 1},
        {"BURST A!, 10", "expecting integer arguments", 1},
        {"COUNT A!", "expecting integer variable", 1},
        {"DFREAD 1.5, V", "expecting integer arguments", 1},
        {"DOFFLD 1, 2, V!", "expecting integer variable", 1},
        {"OFFLD 0, 100, 5", "parse error", 1},
        {"DSKON V$", "expecting integer variable", 1},
        {"RATE 1.5", "expecting integer argument", 1},
        {"RTIME T!", "expecting integer argument", 1},
        {"TONE 1, 2.0", "expecting integer arguments", 1},
        {"UGET 9600, V, 1, 2.0", "expecting integer arguments", 1},
        {"POKE 100, 1.0", "expecting integer arguments", 1},
        {"XMIT", "parse error", 1},
        {"DFSIZE 100", "DFSIZE for Model Cedar or Maple only", 1},
        {"MODEL 510\nDFSIZE 100", "DFSIZE for Model Cedar or Maple only", 2},
        {"MODEL 500\nDFSIZE -1", "expect positive integer argument", 2},
        {"MODEL 500\nDFSIZE N", "expecting integer argument", 2},
        {"ASM $", "specify MODEL for this command", 1},
    };
    expectErrors(std::begin(errors), std::end(errors));
}

TEST(Hardware, DfsizeSetsTheDataFileSize) {
    EXPECT_EQ(compileSource("MODEL 400\nDFSIZE 100").job.dataFileSize, 100);
    EXPECT_EQ(compileSource("MODEL \"Maple\"\nDFSIZE 0").job.dataFileSize, 0);
    EXPECT_EQ(compileSource("STOP").job.dataFileSize, -1);
}

TEST(Hardware, PinLists) {
    const CodeCase cases[] = {
        {"MODEL 510\nPSET 1, 2", "08 00 00 00 60 7A 19"},
        {"MODEL 510\nPSET 1, X", "06 01 0C 74 BC 0A 7E 02 19"},
        {"MODEL 510\nPSET X, 1", "0C 74 BC 0A 06 01 7E 02 19"},
        {"MODEL 620\nPSET 14", "08 00 02 00 00 7A 19"},
        {"MODEL 620\nPCLR 15", "08 00 01 00 00 7B 19"},
        {"MODEL 400\nDFSIZE 1\nPTOG 0, 7, 8", "08 00 00 80 81 7C 19"},
        {"MODEL 800\nPTOG 24", "00 03 20 08 40 00 00 00 7C 19"},
        {"MODEL 500\nDFSIZE 1\nPSET 16", "08 00 04 00 00 7A 19"},
        {"MODEL 510\nX = PIN(3)", "0C 74 BC 08 00 00 00 10 7D 0B 19"},
        {"MODEL 510\nX = PIN(X, 1)", "0C 74 BC 0C 74 BC 0A 06 01 81 02 0B 19"},
        {"MODEL 510\nPIN(2)", "08 00 00 00 20 7D 02 19"},
        {"MODEL 240\nPSET 2, 13", "08 00 00 01 20 7A 19"},
        // Models of one compatibility group may be named together; the last one's pin range applies.
        {"MODEL 620\nMODEL 400\nDFSIZE 1\nPSET 14", "08 00 02 00 00 7A 19"},
        {"MODEL 500\nMODEL 510\nPSET 1", "08 00 00 00 40 7A 19"},
        // A pin that is not a constant integer keeps the whole list on the stack, unchecked.
        {"MODEL 510\nPSET 1, 2.0", "06 01 08 40 00 00 00 7E 02 19"},
        {"PSET X, 3", "0C 74 BC 0A 06 03 7E 02 19"},
    };
    expectCodes(std::begin(cases), std::end(cases));
    const ErrorCase errors[] = {
        {"MODEL 240\nPSET 1", "pin number out of range", 2},
        {"MODEL 240\nPSET 14", "pin number out of range", 2},
        {"MODEL 510\nPSET 14", "pin number out of range", 2},
        {"MODEL 510\nPSET -1", "pin number out of range", 2},
        {"MODEL 800\nPSET 25", "pin number out of range", 2},
        {"PSET 3", "specify MODEL for this command", 1},
        {"MODEL 510\nMODEL 400\nPSET 1", "mutually exclusive models", 3},
        {"MODEL 700\nPTOG 14", "pin number out of range", 2},
    };
    expectErrors(std::begin(errors), std::end(errors));
}

TEST(Hardware, Extensions) {
    const CodeCase cases[] = {
        {"MODEL 700\nEXTENSION Foo, Bar\nX = Foo(1, 2)\nBar",
         "00 02 BC 9B 00 01 03 46 6F 6F 9B 00 02 03 42 61 72 0C 00 40 06 01 06 02 9A 00 01 02 0B 9A 00 02 00 02 19"},
        {"EXTENSION Go\nGo()", "9B 00 01 02 47 6F 9A 00 01 00 02 19"},
    };
    expectCodes(std::begin(cases), std::end(cases));
    const ErrorCase errors[] = {
        {"MODEL 510\nEXTENSION Foo", "command unavailable this model", 2},
        {"EXTENSION Foo, Foo", "\"Foo\" : Can't use keyword here", 1},
        {"X = 1\nEXTENSION X", "\"X\" : Can't redefine symbol", 2},
        {"EXTENSION PRINT", "parse error", 1},
        {"EXTENSION Foo\nFoo = 1", "parse error", 2},
    };
    expectErrors(std::begin(errors), std::end(errors));
}

}  // namespace
}  // namespace orrery::compiler::test
