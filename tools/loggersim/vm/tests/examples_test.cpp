// Every program in examples/ run on the interpreter, its output checked against what its text says it
// prints, with the sensors and the typed lines each one needs.

#include <algorithm>
#include <fstream>
#include <sstream>

#include "fakehost.h"

namespace orrery::loggervm::test {
namespace {

struct ExampleRun {
    std::string output;
    EndReason end;
    std::vector<std::uint8_t> data;
};

ExampleRun runExample(const std::string& name, const std::string& typed = {}, const std::string& inputs = {},
                      int budget = 2'000'000) {
    std::ifstream in(std::string(ORRERY_SOURCE_DIR "/examples/") + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    FakeHost host;
    host.data.assign(1 << 16, 0);
    host.input = typed;
    std::string error;
    EXPECT_TRUE(host.inputs.parse(inputs, error)) << error;
    Interpreter vm(host);
    EXPECT_TRUE(vm.start(compileOrFail(text.str()), error)) << error;
    runToRest(vm, host, budget);
    return {host.output, vm.endReason(), host.data};
}

TEST(Examples, FormattedPrint) {
    const auto run = runExample("formatted_print.qob");
    EXPECT_EQ(run.output,
              "Reading table\r\n"
              "  no    raw   hex      volts        scientific\r\n"
              "0001   2755   AC3     1.682    1.6815E+00\r\n"
              "0002   3048   BE8     1.860    1.8604E+00\r\n"
              "0003   2755   AC3     1.682    1.6815E+00\r\n"
              "0004   2048   800     1.250    1.2500E+00\r\n"
              "0005   2755   AC3     1.682    1.6815E+00\r\n"
              "0006   3048   BE8     1.860    1.8604E+00\r\n"
              "0007   2755   AC3     1.682    1.6815E+00\r\n"
              "0008   2048   800     1.250    1.2500E+00\r\n"
              "mask = 10100101\r\n"
              "[       165]**\r\n"
              "done after 8 rows\r\n");
    EXPECT_EQ(run.end, EndReason::Stop);
}

TEST(Examples, StringsParsesATypedCommand) {
    EXPECT_EQ(runExample("strings.qob", "RATE=30\r").output,
              "Logger ready (12 characters)\r\n"
              "commandRATE=30\r\n"
              "rate set to\t30 s\r\n"
              "value=30, twice=60\r\n"
              "last three: =60\r\n"
              "letter A by its code\r\n");
    EXPECT_EQ(runExample("strings.qob", "SPEED\r").output,
              "Logger ready (12 characters)\r\ncommandSPEED\r\nexpected NAME=VALUE, got \"SPEED\"\r\n");
    EXPECT_EQ(runExample("strings.qob", "GAIN=4\r").output,
              "Logger ready (12 characters)\r\ncommandGAIN=4\r\nunknown setting GAIN\r\n"
              "value=4, twice=8\r\nlast three: e=8\r\nletter A by its code\r\n");
}

TEST(Examples, HazelPrintsItsTableUntilRow100OrBreak) {
    const auto run = runExample("hazel.qob", "2\r");
    EXPECT_EQ(run.output.substr(0, 63), "interval (s)2\r\n0001:   2048   2755   3048   2755 \r\nrow 1\r\n0002:");
    EXPECT_NE(run.output.find("\r\n0100: "), std::string::npos);
    EXPECT_EQ(run.output.substr(run.output.size() - 34), "row 100\r\nfinished after 100 rows\r\n");

    // Ctrl+C during the first sleep: the CBREAK label ends the program.
    std::ifstream in(ORRERY_SOURCE_DIR "/examples/hazel.qob", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    FakeHost host;
    Interpreter vm(host);
    std::string error;
    ASSERT_TRUE(vm.start(compileOrFail(text.str()), error));
    EXPECT_EQ(vm.run(1000), RunState::WaitingInput);
    host.input = "5\r";
    EXPECT_EQ(vm.run(1000), RunState::Sleeping);
    host.input = "\x03";
    EXPECT_EQ(vm.run(1000), RunState::Ended);
    EXPECT_EQ(host.output, "interval (s)5\r\n0001:   2048   2755   3048   2755 \r\nrow 1\r\nfinished after 1 rows\r\n");
}

TEST(Examples, PinsAndTimingStopsWhenPin6GoesHigh) {
    EXPECT_EQ(runExample("pins_and_timing.qob", {}, "pin 6 square 0 1 60").output,
              "t=0 period=1000 events=0\r\n"
              "t=10 period=1000 events=0\r\n"
              "t=20 period=1000 events=0\r\n"
              "stopped\r\n");
}

TEST(Examples, SamplerReportsADayOfSamples) {
    const auto run = runExample("sampler.qob");
    EXPECT_EQ(run.output.substr(0, 39), "sample     0  T=  20  V= 6.887\r\nsample ");
    EXPECT_NE(run.output.find("sample  1439  T="), std::string::npos);
    EXPECT_EQ(run.output.substr(run.output.size() - 14), "day complete\r\n");
    EXPECT_EQ(run.data[0], 0);  // T = 20 in two bytes, then N = 0
    EXPECT_EQ(run.data[1], 20);
}

TEST(Examples, SampleAndStoreFillsTheDataFile) {
    const auto run = runExample("sample_and_store.qob");
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.end, EndReason::Stop);
    // 1440 binary records of three 2-byte integers and a float, then one line of text.
    const std::string text = "day complete, samples: 1440\r\n";
    EXPECT_EQ(std::string(run.data.begin() + 14400, run.data.begin() + 14400 + static_cast<long>(text.size())), text);
    EXPECT_EQ(run.data[10 * 1439 + 1], 1439 % 256);  // Samples of the last record, low byte
}

// The routine adds one to the 32-bit Events for every second that pin 6 is high.
TEST(Examples, AsmCallCountsEventsInMachineCode) {
    const auto run = runExample("asm_call.qob", {}, "pin 6 const 1", 400'000);
    EXPECT_EQ(run.output.substr(0, 39), "events: 100\r\nevents: 200\r\nevents: 300\r\n");
    EXPECT_EQ(run.end, EndReason::None);  // still counting when the budget ran out
}

// Port 2 bit 0 is pin 13; the routine counts its rising edges while the clock moves on between turns.
TEST(Examples, SwitchcountCountsClosuresOfPin13) {
    std::ifstream in(ORRERY_SOURCE_DIR "/examples/switchcount.qob", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    FakeHost host;
    std::string error;
    ASSERT_TRUE(host.inputs.parse("pin 13 square 0 1 1", error)) << error;
    Interpreter vm(host);
    ASSERT_TRUE(vm.start(compileOrFail(text.str()), error)) << error;
    std::vector<long> counts;
    for (int turn = 0; turn < 2000 && counts.size() < 4; ++turn) {
        vm.run(1000);
        host.now += 300;
        for (auto at = host.output.find("closures so far: "); at != std::string::npos; at = host.output.find("closures so far: ")) {
            const auto end = host.output.find("\r\n", at);
            if (end == std::string::npos) break;
            counts.push_back(std::stol(host.output.substr(at + 17, end - at - 17)));
            host.output.erase(0, end + 2);
        }
    }
    ASSERT_EQ(counts.size(), 4u) << host.output;
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
    EXPECT_GT(counts.back(), counts.front());
    EXPECT_EQ(vm.state(), RunState::Running);
}

// BURST leaves the mean of its readings of channel 0; OFFLD sends the data file on the line.
TEST(Examples, DatafileStoresBurstsAndOffloadsThem) {
    const auto run = runExample("datafile.qob");
    std::string expected;
    for (int n = 10; n <= 100; n += 10) expected += "stored " + std::to_string(n) + " bursts\r\n";
    ASSERT_EQ(run.output.substr(0, expected.size()), expected);
    const std::string offloaded = run.output.substr(expected.size());
    ASSERT_EQ(offloaded.size(), 4096u);
    EXPECT_EQ(offloaded.substr(0, 4), std::string("\0\0\x08\0", 4));  // channel 0 at time 0: 2048
    EXPECT_EQ(std::string(run.data.begin(), run.data.begin() + 4096), offloaded);
    EXPECT_EQ(run.end, EndReason::Stop);
}

}  // namespace
}  // namespace orrery::loggervm::test
