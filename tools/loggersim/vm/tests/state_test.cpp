// What a program leaves behind: variables in memory where the compiler put them, records in data
// memory, pins, and how it behaves over time (sleep, break, endless loops, input).

#include <fstream>
#include <sstream>

#include "compiler.h"
#include "fakehost.h"
#include "symboltable.h"

namespace orrery::loggervm::test {
namespace {

struct MemoryCase {
    const char* source;
    std::size_t address;
    std::vector<std::uint8_t> bytes;
};

// Downward area from 0x74BC on most models; slots from 64 (byte 4 x 64) on 700 and 800.
const MemoryCase kMemory[] = {
    {"A = 258\nB = -2", 0x74B8, {0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x00, 0x01, 0x02}},
    {"X! = 1.0", 0x74BC, {0x3F, 0x80, 0x00, 0x00}},
    {"A = 1\nB = 2\nS$ = \"hey\"", 0x73B8, {3, 'h', 'e', 'y'}},
    {"DIM A(3)\nA(0) = 1\nA(2) = 3", 0x74B4, {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 3}},
    {"MODEL 700\nA = 5\nB! = 1.0", 0x100, {0, 0, 0, 5, 0x3F, 0x80, 0, 0}},
    {"MODEL 800\nS$ = \"ok\"\nN = 7", 0x100, {2, 'o', 'k'}},
    {"MODEL 800\nS$ = \"ok\"\nN = 7", 0x200, {0, 0, 0, 7}},
    {"POKE 1000, 65 : POKEW 1002, 258 : POKEL 1004, -1", 1000, {65, 0xA5, 1, 2, 0xFF, 0xFF, 0xFF, 0xFF}},
    {"MODEL 510\nADLOOP", 0x7C00, {0, 0, 0x08, 0x00}},  // channel 0 at time 0: the middle of its sine
};

TEST(Memory, VariablesLiveWhereTheCompilerPutThem) {
    for (const auto& c : kMemory) {
        FakeHost host;
        runProgram(c.source, {}, &host);
        const std::vector<std::uint8_t> actual(host.ram.begin() + static_cast<long>(c.address),
                                               host.ram.begin() + static_cast<long>(c.address + c.bytes.size()));
        EXPECT_EQ(actual, c.bytes) << c.source;
    }
}

TEST(Memory, VariablesStartAtZeroButOtherMemoryIsLeftAlone) {
    FakeHost host;
    EXPECT_EQ(runProgram("MODEL 510\nPRINT A, PEEK(16383)", {}, &host), "0165\r\n");
    EXPECT_EQ(host.longAt(0x74BC), 0);
}

struct StoreCase {
    const char* source;
    std::vector<std::uint8_t> data;
};

const StoreCase kStores[] = {
    {"A = 258\nSTORE P, A", {2, 0xEE}},  // one byte each until a size item says otherwise
    {"A = 258\nSTORE P, #4, A", {0, 0, 1, 2}},
    {"A = 258\nSTORE P, #2, A, A\nSTORE P, #1, A", {1, 2, 1, 2, 2}},
    {"X! = 1.0\nSTORE P, #1, X!", {0x3F, 0x80, 0, 0}},
    {"S$ = \"ab\"\nSTORE P, 1, S$", {1, 2, 'a', 'b'}},
    {"A = 42\nSTORE P, \"A=\", A, \" \", #04, 7", {'A', '=', '4', '2', ' ', '0', '0', '0', '7', '\r', '\n'}},
    {"P = 3\nSTORE P, #1, 9", {0xEE, 0xEE, 0xEE, 9}},
    {"STORE Q, #1, 1\nSTORE P, #1, 2\nSTORE Q, #1, 3", {2, 3}},  // each pointer variable keeps its own place
};

TEST(Store, RecordsLandInDataMemoryAndThePointerMoves) {
    for (const auto& c : kStores) {
        FakeHost host;
        runProgram(c.source, {}, &host);
        const std::vector<std::uint8_t> actual(host.data.begin(), host.data.begin() + static_cast<long>(c.data.size()));
        EXPECT_EQ(actual, c.data) << c.source;
    }
    FakeHost host;
    runProgram("STORE P, #2, 1, 2, 3\nPRINT P", {}, &host);
    EXPECT_EQ(host.output, "6\r\n");
}

TEST(Pins, OutputsFollowSetClearAndToggle) {
    struct {
        const char* source;
        std::uint32_t pins;
    } const cases[] = {
        {"MODEL 510\nPSET 1, 2", 0x60},
        {"MODEL 510\nPSET 1, 2\nPCLR 1", 0x20},
        {"MODEL 510\nP = 3\nPSET P\nPTOG P, 0", 0x80},
        {"MODEL 510\nPTOG 0\nPTOG 0", 0},
    };
    for (const auto& c : cases) {
        FakeHost host;
        Interpreter vm(host);
        std::string error;
        ASSERT_TRUE(vm.start(compileOrFail(c.source), error));
        runToRest(vm, host);
        EXPECT_EQ(vm.outputPins(), c.pins) << c.source;
    }
}

TEST(Inputs, ProgramsReadTheConfiguredSensors) {
    FakeHost host;
    std::string error;
    ASSERT_TRUE(host.inputs.parse("chan 2 const 1234\ntemp * const 21\npin 6 square 0 1 20\ncount 0 ramp 0 100 100\n", error)) << error;
    const char* source = "MODEL 510\nPRINT CHAN(2), \" \", TEMP(3), \" \", PIN(6), \" \", COUNT(0)\nSLEEP 15\n"
                         "PRINT PIN(6), \" \", PIN(5, 6), \" \", PIN(5), \" \", COUNT(0), \" \", PERIOD(4, 10)";
    EXPECT_EQ(runProgram(source, {}, &host), "1234 21 0 0\r\n1 1 0 15 1000\r\n");
}

TEST(Clock, SleepWaitsOnTheSimulatedClockAndTheTimeVariablesFollowIt) {
    FakeHost host;
    host.now = 90061000;  // one day, one hour, one minute and one second after the clock's start
    Interpreter vm(host);
    std::string error;
    ASSERT_TRUE(vm.start(compileOrFail("MODEL 510\nPRINT ?, \" \", ?(5), \"-\", ?(4), \"-\", ?(3), \" \", ?(2), \":\", ?(1), \":\", ?(0)\n"
                                       "SLEEP 10\nRTIME T\nPRINT T"), error));
    EXPECT_EQ(vm.run(1000), RunState::Sleeping);
    EXPECT_EQ(host.output, "90061 2000-1-2 1:1:1\r\n");
    EXPECT_EQ(vm.wakeAtMs(), 90071000);
    host.now += 9999;
    EXPECT_EQ(vm.run(1000), RunState::Sleeping);
    host.now += 1;
    EXPECT_EQ(vm.run(1000), RunState::Ended);
    EXPECT_EQ(host.output, "90061 2000-1-2 1:1:1\r\n90071\r\n");
}

TEST(Clock, SetTimeMovesTheClockOnModel700Too) {
    FakeHost host;
    EXPECT_EQ(runProgram("MODEL 700\nT = 3600\nSTIME T\nPRINT ?, \" \", ?(2)", {}, &host), "3600 1\r\n");
}

TEST(Clock, ConditionalSleepReportsWhetherATypedByteCutItShort) {
    FakeHost host;
    Interpreter vm(host);
    std::string error;
    ASSERT_TRUE(vm.start(compileOrFail("SLEEP 100 PRINT \"woken\"\nPRINT \"on\"\nSLEEP 5 PRINT \"early\"\nPRINT \"end\""), error));
    EXPECT_EQ(vm.run(100), RunState::Sleeping);
    host.input = "x";
    EXPECT_EQ(vm.run(100), RunState::Sleeping);  // the second sleep
    EXPECT_EQ(host.output, "woken\r\non\r\n");
    host.now = vm.wakeAtMs();  // the key that woke the first sleep is spent: this one runs to its end
    EXPECT_EQ(runToRest(vm, host), RunState::Ended);
    EXPECT_EQ(host.output, "woken\r\non\r\nend\r\n");
}

TEST(Break, CtrlCStopsALoopingProgramOrJumpsToItsBreakLabel) {
    FakeHost host;
    Interpreter vm(host);
    std::string error;
    ASSERT_TRUE(vm.start(compileOrFail("Loop: X = X + 1\nGOTO Loop"), error));
    for (int i = 0; i < 50; ++i) EXPECT_EQ(vm.run(10000), RunState::Running);  // never hangs, never ends
    host.input = "\x03";
    EXPECT_EQ(vm.run(10000), RunState::Ended);
    EXPECT_EQ(vm.endReason(), EndReason::Break);
    EXPECT_EQ(host.output.substr(0, 12), "\r\n*** Break ");

    FakeHost second;
    Interpreter vm2(second);
    ASSERT_TRUE(vm2.start(compileOrFail("CBREAK Fin\nINPUT N\nFin: PRINT \"caught\"\nCBREAK\nLoop: GOTO Loop"), error));
    EXPECT_EQ(vm2.run(100), RunState::WaitingInput);
    second.input = "12\x03";  // Ctrl+C drops the unfinished line
    EXPECT_EQ(vm2.run(100), RunState::Running);
    EXPECT_EQ(second.output, "N:caught\r\n");
    vm2.requestBreak();
    EXPECT_EQ(vm2.run(100), RunState::Ended);  // CBREAK alone gave Ctrl+C its first meaning back
}

// OTEXT over memory without its terminator reads 64 KB in one instruction; a turn of such instructions
// must still end after a bounded amount of work, or the simulated logger stops answering its line.
TEST(Turns, BulkInstructionsEndATurnEarly) {
    struct CountingHost : FakeHost {
        long reads = 0;
        std::span<std::uint8_t> memory() override {
            ++reads;
            return FakeHost::memory();
        }
    } host;
    std::fill(host.ram.begin(), host.ram.end(), 0x41);
    Interpreter vm(host);
    std::string error;
    ASSERT_TRUE(vm.start(compileOrFail("Loop: P = 0\nOTEXT P, \\66\nGOTO Loop"), error));
    EXPECT_EQ(vm.run(500), RunState::Running);
    EXPECT_GT(host.reads, 30000);      // at least one long OTEXT ran
    EXPECT_LT(host.reads, 4 * 65536);  // not one for every pass of the loop
    host.reads = 0;
    EXPECT_EQ(vm.run(500), RunState::Running);  // and the next turn goes on with the loop
    EXPECT_GT(host.reads, 30000);
}

TEST(Break, AHaltedInterpreterSaysNothingAndCanStartAgain) {
    FakeHost host;
    Interpreter vm(host);
    std::string error;
    ASSERT_TRUE(vm.start(compileOrFail("Loop: GOTO Loop"), error));
    vm.run(10);
    vm.halt();
    EXPECT_EQ(vm.endReason(), EndReason::Stopped);
    EXPECT_EQ(host.output, "");
    ASSERT_TRUE(vm.start(compileOrFail("PRINT 1"), error));
    EXPECT_EQ(runToRest(vm, host), RunState::Ended);
    EXPECT_EQ(host.output, "1\r\n");
}

TEST(Images, BadHeadersAreRefusedWithAReason) {
    FakeHost host;
    Interpreter vm(host);
    std::string error;
    EXPECT_FALSE(vm.start(std::vector<std::uint8_t>{0, 14, 0}, error));
    EXPECT_EQ(error, "program image too short for its header");
    std::vector<std::uint8_t> image = compileOrFail("PRINT 1");
    image[3] += 10;  // claims more code than there is
    EXPECT_FALSE(vm.start(image, error));
    EXPECT_EQ(error, "program image shorter than its header says");
    image[1] = 20;
    EXPECT_FALSE(vm.start(image, error));
    EXPECT_EQ(error, "program image has no valid header (size 20)");
}

TEST(Images, CodeThatRunsOffItsEndOrJumpsOutsideStops) {
    struct {
        std::vector<std::uint8_t> code;
        const char* message;
    } const cases[] = {
        {{0x06, 0x01}, "Bad program: ran past the end of the code at code offset 0x0002; program stopped"},
        {{0x11, 0x7F, 0xFF}, "Bad program: jump to 0x7FFF outside the code at code offset 0x0000; program stopped"},
        {{0x02}, "Bad program: evaluation stack underflow at code offset 0x0000; program stopped"},
        {{0xC8}, "Bad program: undecodable instruction at code offset 0x0000; program stopped"},
        {{0x4D, 0x09, 'x'}, "Bad program: undecodable instruction at code offset 0x0000; program stopped"},
        // ASM 0x1000 whose length on the stack (0x7000) is not the 9-byte block after it
        {{0x07, 0x10, 0x00, 0x07, 0x70, 0x00, 0x11, 0x00, 0x09, 147, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         "Bad program: ASM block runs past the end of the code at code offset 0x0009; program stopped"},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> image = {0, 14, 0, 0, 0, 0, 51, 4, 14, 0, 0, 0, 0, 0};
        image.insert(image.end(), c.code.begin(), c.code.end());
        image[3] = static_cast<std::uint8_t>(image.size() - 1);
        FakeHost host;
        Interpreter vm(host);
        std::string error;
        ASSERT_TRUE(vm.start(image, error)) << error;
        EXPECT_EQ(runToRest(vm, host), RunState::Ended);
        EXPECT_EQ(vm.endReason(), EndReason::BadCode);
        EXPECT_EQ(vm.endMessage(), c.message);
    }
}

}  // namespace
}  // namespace orrery::loggervm::test
