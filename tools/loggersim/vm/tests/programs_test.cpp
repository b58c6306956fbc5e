// Small programs run on the interpreter, each checked by what it prints on the serial line.

#include "fakehost.h"
#include "opcodes.h"

namespace orrery::loggervm::test {
namespace {

struct ProgramCase {
    const char* name;
    const char* source;
    const char* typed;
    const char* expected;
};

const ProgramCase kArithmetic[] = {
    {"integer operators", "PRINT 7 + 5, \" \", 7 - 12, \" \", 6 * 7, \" \", 17 / 5, \" \", -17 / 5, \" \", 17 % 5, \" \", -17 % 5", "",
     "12 -5 42 3 -3 2 -2\r\n"},
    {"precedence and unary minus", "X = -2 * 3 + 10 / 3 : PRINT X, \" \", -X - 1", "", "-3 2\r\n"},
    {"overflow wraps at 32 bits", "A = 2147483647 : A = A + 1 : PRINT A : B = 65536 * 65536 : PRINT B", "",
     "-2147483648\r\n0\r\n"},
    {"division of the smallest integer by -1", "A = 2147483647 : A = -A - 1 : PRINT A / -1, \" \", A % -1", "",
     "-2147483648 0\r\n"},
    {"bitwise and comparisons", "PRINT 12 & 10, \" \", 12 | 3, \" \", 3 < 4, 3 > 4, 4 >= 4, 4 <= 3, 5 = 5, 5 <> 5", "",
     "8 15 101010\r\n"},
    {"float arithmetic and mixing", "A! = 1.5 : B = 2 : C! = A! * B + 0.25 : PRINT C!, \" \", B / 4, \" \", B / 4.0", "",
     "3.25 0 0.5\r\n"},
    {"conversions", "A! = -2.5 : PRINT INT(A!), \" \", FIX(A!), \" \", AINT(A!), \" \", ABS(A!), \" \", ABS(-7), \" \", FLOAT(3) / 2", "",
     "-3 -2 -2 2.5 7 1.5\r\n"},
    {"assignment converts", "I = 7.9 : F! = 3 : PRINT I, \" \", F!", "", "7 3\r\n"},
    {"float functions", "PRINT #.4F, SQR(2), \" \", #.4F, EXP(1), \" \", #.3F, LOG(10), \" \", #.1F, LOG10(1000), \" \", SIN(0), \" \", COS(0), \" \", #.4F, ATN(1) * 4", "",
     "1.4142 2.7183 2.303 3.0 0 1 3.1416\r\n"},
    {"float comparisons", "A! = 0.1 : IF A! < 0.2 PRINT \"less\" : IF 1 = 1.0 PRINT \"same\"", "", "less\r\nsame\r\n"},
    {"model and version", "MODEL 510\nPRINT MODEL, \" \", VERS", "", "510 1\r\n"},
};

const ProgramCase kFormats[] = {
    {"plain floats", "PRINT 1.5, \" \", 0.0025, \" \", 12345678.0, \" \", -0.5, \" \", 100.0", "", "1.5 0.0025 1.234568E+07 -0.5 100\r\n"},
    {"field widths and zero padding", "PRINT #5, 42, \"|\", #04, 7, \"|\", #04, -7, \"|\", #2, 12345", "", "   42|0007|-007|12345\r\n"},
    {"radix letters", "M = 165 : PRINT #08B, M, \" \", #4H, M, \" \", #3Q, M, \" \", #8H, -1", "", "10100101   A5 245 FFFFFFFF\r\n"},
    {"fixed and scientific", "V! = 1.23456 : PRINT #8.3F, V!, \"|\", #12.4S, V!, \"|\", #.2F, -V!, \"|\", #10F, V!", "",
     "   1.235|  1.2346E+00|-1.23|  1.234560\r\n"},
    {"width from an expression, strings in a field", "W = 6 : PRINT # W, 9, \"[\", #5, \"ab\", \"]\"", "", "     9[   ab]\r\n"},
    {"format applies to one item only", "PRINT #6, 1, 2", "", "     12\r\n"},
    {"characters and trailing semicolon", "PRINT \\65, \\66; : PRINT \\42", "", "AB*\r\n"},
    {"STR of integers and floats", "A$ = \"v=\" + STR(12) + \",\" + STR(2.5) : PRINT A$", "", "v=12,2.5\r\n"},
};

const ProgramCase kStrings[] = {
    {"join and length", "G$ = \"Logger\" + \" \" + \"ready\" : PRINT G$, \" \", LEN(G$)", "", "Logger ready 12\r\n"},
    {"left right mid", "S$ = \"RATE=30\" : PRINT LEFT(S$, 4), \"|\", RIGHT(S$, 2), \"|\", MID(S$, 6, 2), \"|\", MID(S$, 9, 3), \"|\", LEFT(S$, 99)", "",
     "RATE|30|30||RATE=30\r\n"},
    {"instr", "S$ = \"a=b=c\" : PRINT INSTR(S$, \"=\"), INSTR(3, S$, \"=\"), INSTR(S$, \"x\")", "", "240\r\n"},
    {"compare strings", "A$ = \"abc\" : IF A$ = \"abc\" PRINT \"eq\" : IF A$ < \"abd\" PRINT \"lt\" : IF A$ > \"ab\" PRINT \"gt\"", "",
     "eq\r\nlt\r\ngt\r\n"},
    {"VAL", "T$ = \"  -42x\" : I = VAL(T$) : F! = VAL(\"2.5e1\") : PRINT I, \" \", F!", "", "-42 25\r\n"},
    {"strings stop at 255 characters", "S$ = \"0123456789\" : FOR I = 1 TO 30 : S$ = S$ + \"0123456789\" : NEXT I : PRINT LEN(S$)", "", "255\r\n"},
    {"escapes", "PRINT \"tab\\there \\x41\"", "", "tab\there A\r\n"},
};

const ProgramCase kFlow[] = {
    {"for loop with step", "FOR I = 1 TO 10 STEP 3\nPRINT I;\nNEXT I\nPRINT \" after \", I", "", "14710 after 13\r\n"},
    {"for loop counting down, and an empty one", "FOR I = 3 TO 1 STEP -1\nPRINT I;\nNEXT I\nFOR J = 5 TO 1\nPRINT \"never\"\nNEXT J\nPRINT", "", "321\r\n"},
    {"nested loops", "FOR I = 1 TO 2\nFOR J = 1 TO 3\nPRINT I * J;\nNEXT J\nNEXT I\nPRINT", "", "123246\r\n"},
    {"while and repeat", "N = 0\nWHILE N < 3\nN = N + 1\nWEND\nREPEAT\nN = N * 2\nUNTIL N > 20\nPRINT N", "", "24\r\n"},
    {"iff else", "FOR I = 1 TO 3\nIFF I = 2\nPRINT \"two\"\nELSE\nPRINT I\nENDIF\nNEXT I", "", "1\r\ntwo\r\n3\r\n"},
    {"single-line if skips the rest of the line", "A = 0\nIF A = 1 PRINT \"x\" : PRINT \"y\"\nPRINT \"z\"", "", "z\r\n"},
    {"gosub and return", "GOSUB Sub\nGOSUB Sub\nPRINT \"end\"\nSTOP\nSub: PRINT \"in\"\nRETURN", "", "in\r\nin\r\nend\r\n"},
    {"goto", "GOTO Skip\nPRINT \"skipped\"\nSkip: PRINT \"here\"", "", "here\r\n"},
    {"arrays", "DIM A(5)\nFOR I = 0 TO 4\nA(I) = I * I\nNEXT I\nPRINT A(3) + A(4)", "", "25\r\n"},
    {"two-dimensional arrays", "DIM M(4, 3)\nM(2, 1) = 7\nM(1, 1) = 1\nPRINT M(2, 1), M(1, 1), M(0, 0), M(3, 0)", "", "7100\r\n"},
    {"stop ends the program", "PRINT \"a\"\nSTOP\nPRINT \"b\"", "", "a\r\n"},
    {"variables start at zero", "PRINT X; : X = 5", "", "0"},
    {"slots on model 700", "MODEL 700\nDIM A(3)\nA(2) = 4\nS$ = \"hi\"\nX! = 0.5\nPRINT A(2), S$, X!", "", "4hi0.5\r\n"},
    {"run restarts at a label", "Top: N = N + 1\nIF N > 100 GOTO Fin\nGOSUB Sub\nSub: RUN Top\nFin: PRINT N", "", "101\r\n"},
};

const ProgramCase kInput[] = {
    {"integer, float and string input", "INPUT \"n\", N : INPUT F! : INPUT S$ : PRINT N * 2, \" \", F!, \" \", S$", "21\r3.5\rword\r",
     "n21\r\nF:3.5\r\nS:word\r\n42 3.5 word\r\n"},
    {"input without a line end, CR LF taken as one", "INPUT \"a\", A; : INPUT \"b\", B : PRINT A + B", "1\r\n2\r\n", "a1b2\r\n3\r\n"},
    {"backspace edits the typed line", "INPUT \"\", S$ : PRINT \"[\", S$, \"]\"", "abx\bc\r", "abx\b \bc\r\n[abc]\r\n"},
};

const ProgramCase kFaults[] = {
    {"division by zero", "PRINT \"a\"\nX = 0\nPRINT 1 / X", "", "a\r\n\r\n*** Division by zero at code offset 0x001C, line 3\r\n"},
    {"float division by zero", "X! = 0\nY! = 1 / X!", "", "\r\n*** Division by zero at code offset 0x0017, line 2\r\n"},
    {"index outside the array", "DIM A(3)\nI = 3\nA(I) = 1", "", "\r\n*** Index out of range at code offset 0x0010, line 3\r\n"},
    {"negative index", "DIM A(3)\nI = -1\nPRINT A(I)", "", "\r\n*** Index out of range at code offset 0x0012, line 3\r\n"},
    {"return without gosub", "RETURN", "", "\r\n*** RETURN without GOSUB at code offset 0x0003, line 1\r\n"},
    {"endless recursion", "Sub: GOSUB Sub", "", "\r\n*** Stack overflow at code offset 0x0003, line 1\r\n"},
    {"onerr handler gets the code", "ONERR Trouble, Code\nX = 1 / 0\nPRINT \"not here\"\nTrouble: PRINT \"error \", Code", "", "error 1\r\n"},
    {"onerr without label switches the handler off", "ONERR Trouble\nONERR\nX = 1 / 0\nTrouble: PRINT \"not here\"", "",
     "\r\n*** Division by zero at code offset 0x001E, line 3\r\n"},
    {"poke past the end of memory", "POKEL 65534, 1", "", "\r\n*** Address out of range at code offset 0x000C, line 1\r\n"},
    {"peek at an address that wraps", "X = PEEKL(-2)", "", "\r\n*** Address out of range at code offset 0x000B, line 1\r\n"},
    {"data file full", "FOR I = 1 TO 100\nSTORE P, #4, I\nNEXT I", "",
     "\r\n*** Data file full at code offset 0x001F, line 2\r\n"},
    {"pin outside the model", "MODEL 510\nP = 30\nPSET P", "", "\r\n*** Pin number out of range at code offset 0x0010, line 3\r\n"},
    {"an extension the simulator does not have", "MODEL 700\nEXTENSION Fft\nX = Fft(1, 2)", "",
     "\r\n*** Extension not installed at code offset 0x001A, line 3\r\n"},
    {"machine code with an illegal opcode", "MODEL 510\nASM $\n nop\n fcb 0\n end\nPRINT \"x\"", "",
     "\r\n*** Machine code stopped: illegal opcode 00 at address 0x8156 (called at code offset 0x0006, line 2); "
     "program stopped\r\n"},
};

// Data file, disk and the lines the simulator does not have (see the README for its interpretation).
const ProgramCase kPeripherals[] = {
    {"GET reads data memory", "STORE P, #2, 258, #1, 7\nPRINT GET(0, #2), \" \", GET(2), \" \", GET(0, #4)", "",
     "258 7 16910318\r\n"},
    {"GETS reads a stored string", "S$ = \"abc\"\nSTORE P, 0, S$\nT$ = GETS(1)\nPRINT T$", "", "abc\r\n"},
    {"DFSAVE and DFREAD", "A = 258\nDFSAVE 4, A, 2\nDFREAD 4, B, 2\nDFREAD 4, C\nPRINT B, \" \", C", "",
     "258 16969454\r\n"},
    {"GET past the data memory", "X = GET(100)", "", "\r\n*** Address out of range at code offset 0x0008, line 1\r\n"},
    {"{a, b} prints data memory", "STORE P, \"hi\"\nPRINT {0, 2}, \"!\"", "", "hi!\r\n"},
    {"COUNT, DSKON, TONE, SDI and DSKOFF", "COUNT C\nDSKON D\nTONE 440, 100\nDSKOFF\nPRINT C, D, SDI(1)", "", "010\r\n"},
    {"USEND, SDO and UGET reach no device",
     "USEND 9600, \"x=\", 5\nUSEND 9600, 65\nSDO 1, 2\nSDO \"a\", 3\nV = 9\nUGET 9600, V, 1, 2\nPRINT \"ok \", V", "",
     "ok 0\r\n"},
    {"ITEXT and OTEXT move text through memory", "P = 30000\nITEXT P, \\44, 10\nQ = 30000\nOTEXT Q, \\44\nPRINT P",
     "hello world\r", "hello world\r\nhello worl,30011\r\n"},
};

class Programs : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(Programs, PrintWhatTheTextSays) {
    const ProgramCase& c = GetParam();
    EXPECT_EQ(runProgram(c.source, c.typed), c.expected) << c.source;
}

std::string caseName(const ::testing::TestParamInfo<ProgramCase>& info) {
    std::string name;
    for (const char* p = info.param.name; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Arithmetic, Programs, ::testing::ValuesIn(kArithmetic), caseName);
INSTANTIATE_TEST_SUITE_P(Formats, Programs, ::testing::ValuesIn(kFormats), caseName);
INSTANTIATE_TEST_SUITE_P(Strings, Programs, ::testing::ValuesIn(kStrings), caseName);
INSTANTIATE_TEST_SUITE_P(Flow, Programs, ::testing::ValuesIn(kFlow), caseName);
INSTANTIATE_TEST_SUITE_P(Input, Programs, ::testing::ValuesIn(kInput), caseName);
INSTANTIATE_TEST_SUITE_P(Faults, Programs, ::testing::ValuesIn(kFaults), caseName);
INSTANTIATE_TEST_SUITE_P(Peripherals, Programs, ::testing::ValuesIn(kPeripherals), caseName);

}  // namespace
}  // namespace orrery::loggervm::test

namespace orrery::loggervm::test {
namespace {

// Every opcode of the instruction set does something in the simulator: none stops a program with
// "not modelled" (a cell of 1 under it stands for any argument; a bad operand may still be bad code).
TEST(Instructions, NoOpcodeIsLeftUnmodelled) {
    for (int opcode = 0; opcode < static_cast<int>(compiler::kOpcodes.size()); ++opcode) {
        std::vector<std::uint8_t> code;
        for (int i = 0; i < 8; ++i) code.insert(code.end(), {6, 1});
        code.push_back(static_cast<std::uint8_t>(opcode));
        code.insert(code.end(), 8, 0);
        code.push_back(25);
        std::vector<std::uint8_t> image(14, 0);
        image[1] = 14;
        const auto last = static_cast<std::uint16_t>(14 + code.size() - 1);
        image[2] = static_cast<std::uint8_t>(last >> 8);
        image[3] = static_cast<std::uint8_t>(last);
        image[6] = 51;
        image.insert(image.end(), code.begin(), code.end());
        FakeHost host;
        Interpreter vm(host);
        std::string error;
        ASSERT_TRUE(vm.start(image, error)) << error;
        for (int turn = 0; turn < 20 && vm.running(); ++turn) {
            host.now += 1000;
            host.input = "1\r";
            vm.run(100);
        }
        EXPECT_NE(vm.endReason(), EndReason::NotModelled) << vm.endMessage();
    }
}

}  // namespace
}  // namespace orrery::loggervm::test
