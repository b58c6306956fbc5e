// Machine code inside Quobol programs: ASM blocks run in place or loaded, CALL with its values, its
// variable and its text, the port registers, and the lines that stop a routine.

#include "fakehost.h"

namespace orrery::loggervm::test {
namespace {

struct MachineCase {
    const char* name;
    const char* source;
    const char* expected;
};

// A 16 x 16 bit multiply of A and B into P with four MULs, as the processor's manual does it.
const char* const kMultiplyRoutine =
    "GOTO Main\n"
    "ASM $\n"
    "Mul16   ldaa A+3\n        ldab B+3\n        mul\n        std P+2\n"
    "        ldaa A+2\n        ldab B+3\n        mul\n        addd P+1\n        std P+1\n"
    "        ldaa #0\n        adca #0\n        staa P\n"
    "        ldaa A+3\n        ldab B+2\n        mul\n        addd P+1\n        std P+1\n"
    "        ldaa P\n        adca #0\n        staa P\n"
    "        ldaa A+2\n        ldab B+2\n        mul\n        addd P\n        std P\n"
    "        end\n"
    "Main: P = 0\nCALL Mul16\nPRINT P";

const MachineCase kCases[] = {
    {"16-bit multiply with MUL", "MODEL 510\nA = 1234\nB = 567\n", "699678\r\n"},
    {"16-bit multiply of the largest values", "MODEL 510\nA = 65535\nB = 65535\n", "-131071\r\n"},
    {"checksum of a string variable",
     "MODEL 510\nS$ = \"Hello\"\nN = 0\nC = 0\nGOTO Main\nASM $\n"
     "Sum     ldx #S\n        ldab 0,x\n        stab N+3\n        clra\n        clrb\n        std C+2\n"
     "loop    tst N+3\n        beq done\n        inx\n        ldab 0,x\n        clra\n        addd C+2\n"
     "        std C+2\n        dec N+3\n        bra loop\n"
     "done    end\n"
     "Main: CALL Sum\nPRINT C",
     "500\r\n"},
    {"a routine changes a Quobol integer through X",
     "MODEL 510\nGOTO Main\nASM $\nTwice   asld\n        std 2,x\n        clr 0,x\n        clr 1,x\n        "
     "end\n"
     "Main: CALL Twice, 21, R\nPRINT R",
     "42\r\n"},
    {"an omitted variable arrives as X = 0",
     "MODEL 510\nGOTO Main\nASM $\nSave    stx R+2\n        std Q+2\n        end\n"
     "Main: R = 7\nCALL Save, 300\nPRINT R, \" \", Q",
     "0 300\r\n"},
    {"the text form hands over the formatted text and its length",
     "MODEL 510\nGOTO Main\nASM $\nTake    std L+2\n        ldaa 1,x\n        staa C+3\n        end\n"
     "Main: CALL Take, \"abc\", 12\nPRINT L, \" \", C\nCALL Take, \"xy\";\nPRINT L",
     "7 97\r\n2\r\n"},
    {"ASM $ runs in line and the program goes on after it",
     "MODEL 510\nX = 5\nASM $\n        ldd X+2\n        addd #1\n        std X+2\n        end\nPRINT X",
     "6\r\n"},
    {"ASM $ blocks on the low models run at 0x014E plus their offset",
     "MODEL 400\nDFSIZE 100\nASM $\nHere    ldd #Here\n        std X+2\n        end\nPRINT #04H, X",
     "0155\r\n"},
    {"ASM with an address loads the block for CALL",
     "MODEL 510\nASM 36864\n        ldd #1234\n        std V+2\n        end\nPRINT V\nCALL 36864\nPRINT V",
     "0\r\n1234\r\n"},
    {"a routine on model 700 reaches a slot variable through X",
     "MODEL 700\nV = 1\nASM 36864\n        inc 3,x\n        end\nCALL 36864, 0, V\nCALL 36864, 0, V\nPRINT V",
     "3\r\n"},
    {"SWI stops the program", "MODEL 510\nASM $\n        nop\n        swi\n        end\nPRINT \"not here\"",
     "\r\n*** Machine code stopped: SWI (opcode 3F) at address 0x8156 (called at code offset 0x0006, line "
     "2); "
     "program stopped\r\n"},
    {"a write to the EPROM stops the program", "MODEL 510\nASM $\n        staa $C000\n        end",
     "\r\n*** Machine code stopped: write to the EPROM at address 0xC000 (instruction at address 0x8155) "
     "(called at code offset 0x0006, line 2); program stopped\r\n"},
    {"an on-chip register the simulator does not model stops the program",
     "MODEL 510\nASM $\n        ldd $0009\n        end",
     "\r\n*** Machine code stopped: read of on-chip register 0x0009, which the simulator does not model "
     "(instruction at address 0x8155) (called at code offset 0x0006, line 2); program stopped\r\n"},
    {"loading a block into the EPROM stops the program", "MODEL 510\nASM 65535\n        nop\n        end",
     "\r\n*** ASM block not loaded: write to the EPROM at address 0xFFFF at code offset 0x0009, line 2; "
     "program stopped\r\n"},
};

class MachineCode : public ::testing::TestWithParam<MachineCase> {};

TEST_P(MachineCode, PrintsWhatTheProgramSays) {
    std::string source = GetParam().source;
    if (source.find("Mul16") == std::string::npos &&
        std::string(GetParam().name).find("multiply") != std::string::npos)
        source += kMultiplyRoutine;
    EXPECT_EQ(runProgram(source), GetParam().expected) << source;
}

std::string caseName(const ::testing::TestParamInfo<MachineCase>& info) {
    std::string name;
    for (const char* p = info.param.name; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Routines, MachineCode, ::testing::ValuesIn(kCases), caseName);

// Port 2 bit 0 is pin 13: with its direction bit set a write drives the output pin, without it a read
// gives the input pin.
TEST(MachineCodePorts, PortTwoBitZeroIsPin13) {
    FakeHost host;
    std::string error;
    ASSERT_TRUE(host.inputs.parse("pin 13 const 1\npin 8 const 0", error)) << error;
    const std::string out = runProgram(
        "MODEL 510\nASM $\n        ldaa $0003\n        staa R+3\n        ldaa #1\n        staa $0001\n"
        "        staa $0003\n        end\nPRINT R",
        {}, &host);
    EXPECT_EQ(out, "1\r\n");
}

TEST(MachineCodePorts, OutputPinsFollowPortWrites) {
    FakeHost host;
    Interpreter vm(host);
    std::string error;
    ASSERT_TRUE(vm.start(
        compileOrFail("MODEL 510\nPSET 0\nASM $\n        ldaa #$81\n        staa $0003\n        end\n"
                      "SLEEP 5"),
        error));
    vm.run(100);
    EXPECT_EQ(vm.outputPins(), 0x8180u);  // pin 0 from PSET, pins 8 and 13 from port 2
}

// A routine that never returns keeps the interpreter answering: each turn ends after its budget, and
// Ctrl+C ends the program.
TEST(MachineCodeTurns, AnEndlessRoutineIsPausedAndStoppedByCtrlC) {
    FakeHost host;
    Interpreter vm(host);
    vm.setMachineBudget(500);
    std::string error;
    ASSERT_TRUE(vm.start(
        compileOrFail("MODEL 510\nPRINT \"in\"\nASM $\nloop    bra loop\n        end\nPRINT \"out\""),
        error));
    for (int turn = 0; turn < 5; ++turn) {
        EXPECT_EQ(vm.run(1000), RunState::Running);
        EXPECT_TRUE(vm.inMachineCode());
    }
    host.input = "\x03";
    EXPECT_EQ(vm.run(1000), RunState::Ended);
    EXPECT_FALSE(vm.inMachineCode());
    EXPECT_EQ(host.output, "in\r\n\r\n*** Break at code offset 0x0010, line 3\r\n");
}

TEST(MachineCodeTurns, SleepEndsTheTurnAndTheRoutineGoesOn) {
    FakeHost host;
    Interpreter vm(host);
    std::string error;
    ASSERT_TRUE(vm.start(
        compileOrFail("MODEL 510\nASM $\n        slp\n        wai\n        end\nPRINT \"after\""), error));
    EXPECT_EQ(vm.run(1000), RunState::Running);
    EXPECT_EQ(vm.run(1000), RunState::Running);
    EXPECT_EQ(vm.run(1000), RunState::Ended);
    EXPECT_EQ(host.output, "after\r\n");
}

TEST(MachineCodeTurns, TraceNamesEveryInstruction) {
    FakeHost host;
    Interpreter vm(host);
    std::vector<std::string> lines;
    vm.setMachineTrace([&lines](const std::string& line) { lines.push_back(line); });
    std::string error;
    ASSERT_TRUE(vm.start(compileOrFail("MODEL 510\nASM $\n        ldaa #$41\n        end"), error));
    runToRest(vm, host);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "8155  86 41     ldaa #$41          A=41 B=00 X=0000 SP=7FFD CCR=------");
    EXPECT_EQ(lines[1].substr(0, 30), "8157  39        rts           ");
    EXPECT_NE(lines[1].find("SP=7FFF"), std::string::npos);
}

}  // namespace
}  // namespace orrery::loggervm::test
