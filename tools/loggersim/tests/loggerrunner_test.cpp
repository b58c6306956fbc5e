// The interpreter inside the simulated logger: a program loaded with the load command runs on the run
// byte, prints to the line, leaves its variables in memory and its records in data memory, and never
// keeps the logger from answering.

#include <gtest/gtest.h>

#include "compiler.h"
#include "loggermodel.h"
#include "loggerrunner.h"
#include "simoptions.h"

namespace orrery::loggervm::test {
namespace {

using loggersim::LoggerModel;
using loggersim::Micros;

constexpr std::uint8_t kLoad = 0x0C;
constexpr std::uint8_t kRun = 0x12;
constexpr std::uint8_t kMemoryRead = 0x16;
constexpr Micros kSecond = 1'000'000;

std::vector<std::uint8_t> compiled(const std::string& source) {
    compiler::CompileJob job;
    job.sourceName = "RUNME.qob";
    job.sourceText = source + "\r\n";
    compiler::compile(job);
    EXPECT_FALSE(job.failed()) << job.errorMessage;
    return job.image;
}

class Logger {
public:
    explicit Logger(std::uint16_t model = 510, double speed = 1.0, const std::string& inputs = {})
        : m_model(loggersim::defaultSetup(model)) {
        RunnerOptions options;
        options.speed = speed;
        std::string error;
        EXPECT_TRUE(options.inputs.parse(inputs, error)) << error;
        m_model.installRunner(makeLoggerRunner(std::move(options)));
    }

    void send(std::uint8_t byte) { m_model.receive(byte, m_now); }
    void send(std::string_view bytes) {
        for (const char c : bytes) send(static_cast<std::uint8_t>(c));
    }
    // The load command as the workbench sends it: echo, blocks of up to 128 bytes, a zero byte.
    void load(const std::vector<std::uint8_t>& image) {
        send(kLoad);
        for (std::size_t at = 0; at < image.size(); at += 128) {
            const std::size_t length = std::min<std::size_t>(128, image.size() - at);
            send(static_cast<std::uint8_t>(length));
            for (std::size_t i = 0; i < length; ++i) send(image[at + i]);
        }
        send(0);
        m_model.takeOutput();
    }
    // Lets the logger work until the program ends or the time is up, jumping to each wake-up time.
    void runFor(Micros duration) {
        const Micros until = m_now + duration;
        for (int turn = 0; turn < 100000 && m_now <= until; ++turn) {
            m_model.tick(m_now);
            const Micros wake = m_model.nextWake();
            if (wake > until) break;
            m_now = wake > m_now ? wake : m_now + 1000;  // a busy program gets a millisecond a turn
        }
        m_now = std::max(m_now, until);
        m_model.tick(m_now);
    }
    // One late look at the logger, long after anything was due.
    void tickAfter(Micros delay) {
        m_now += delay;
        m_model.tick(m_now);
    }
    std::string output() { return m_out += m_model.takeOutput(); }
    // What the program printed: the output with the logger's "Running ..." line taken out.
    std::string programOutput() {
        std::string text = output();
        const auto running = text.find("\r\nRunning ");
        if (running != std::string::npos) text.erase(running, text.find("\r\n", running + 2) + 2 - running);
        return text;
    }
    LoggerModel& model() { return m_model; }
    Micros now() const { return m_now; }

private:
    LoggerModel m_model;
    Micros m_now = 1000;
    std::string m_out;
};

TEST(LoggerRunner, ALoadedProgramRunsOnTheRunByteAndTheLoggerPromptsAfterIt) {
    Logger logger;
    logger.load(compiled("MODEL 510\nFOR I = 1 TO 3\nPRINT \"line \", I\nNEXT I"));
    logger.send(kRun);
    logger.runFor(kSecond);
    EXPECT_EQ(logger.programOutput(), "line 1\r\nline 2\r\nline 3\r\n\r\n#");
    EXPECT_FALSE(logger.model().programRunning());
}

TEST(LoggerRunner, VariablesAndRecordsStayInTheLoggerForTheViewerAndTheOffload) {
    Logger logger;
    logger.load(compiled("MODEL 510\nA = 258\nS$ = \"ok\"\nSTORE P, #2, A, 7\nSTORE P, \"t\", A"));
    logger.send(kRun);
    logger.runFor(kSecond);
    const auto& memory = logger.model().memory();
    EXPECT_EQ(std::vector<std::uint8_t>(memory.begin() + 0x74BC, memory.begin() + 0x74C0), (std::vector<std::uint8_t>{0, 0, 1, 2}));
    EXPECT_EQ(memory[0x74B8 - 0x100 + 4], 2);  // S$: length byte at the lowest address of its 256 bytes
    const auto& data = logger.model().dataMemory();
    ASSERT_GE(data.size(), 9u);
    EXPECT_EQ(std::vector<std::uint8_t>(data.begin(), data.begin() + 9),
              (std::vector<std::uint8_t>{1, 2, 0, 7, 't', '2', '5', '8', '\r'}));
}

TEST(LoggerRunner, AnEndlessLoopLeavesTheLoggerAnsweringAndCtrlCStopsIt) {
    Logger logger;
    logger.load(compiled("MODEL 510\nX = 41\nLoop: GOTO Loop"));
    logger.send(kRun);
    logger.runFor(kSecond);
    EXPECT_TRUE(logger.model().programRunning());
    logger.output();
    logger.send(kMemoryRead);
    logger.send("74bc\r");
    logger.send(4);
    const std::string reply = logger.output();
    EXPECT_NE(reply.find(std::string("\x16\xff\xff\x00\x00\x00\x29", 7)), std::string::npos);
    logger.send(0x03);
    logger.runFor(kSecond);
    EXPECT_FALSE(logger.model().programRunning());
    EXPECT_NE(logger.output().find("*** Break at code offset "), std::string::npos);
}

TEST(LoggerRunner, TheProgramClockRunsAtTheChosenSpeedAndInputsComeFromTheirSource) {
    Logger logger(510, 60.0, "chan 1 const 1234\n");
    logger.load(compiled("MODEL 510\nSLEEP 60\nPRINT CHAN(1), \" \", ?"));
    logger.send(kRun);
    logger.runFor(kSecond / 2);
    EXPECT_TRUE(logger.model().programRunning());  // half a second is 30 simulated seconds
    logger.runFor(kSecond / 2 + 1000);
    EXPECT_EQ(logger.programOutput(), "1234 60\r\n\r\n#");
}

TEST(LoggerRunner, ASleepEndsOnTimeOnTheProgramClockHoweverLateTheLoggerLooks) {
    Logger logger(510, 10.0);
    logger.load(compiled("MODEL 510\nSLEEP 10\nPRINT ?"));
    logger.send(kRun);
    logger.tickAfter(0);
    logger.tickAfter(7 * kSecond);  // 70 s on the program's clock
    logger.tickAfter(0);
    EXPECT_EQ(logger.programOutput(), "10\r\n\r\n#");
}

TEST(LoggerRunner, TypedLinesReachInputAndFaultsEndWithALine) {
    Logger logger(700);
    logger.load(compiled("MODEL 700\nINPUT \"n\", N\nPRINT 100 / N"));
    logger.send(kRun);
    logger.runFor(kSecond);
    logger.send("4\r");
    logger.runFor(kSecond);
    logger.send(kRun);  // again, and divide by zero this time
    logger.runFor(kSecond);
    logger.send("0\r");
    logger.runFor(kSecond);
    EXPECT_EQ(logger.output(), "\r\nRunning RUNME.qob\r\nn4\r\n25\r\n\r\n#"
                               "\r\nRunning RUNME.qob\r\nn0\r\n\r\n*** Division by zero at code offset 0x0022, line 3\r\n\r\n#");
}

TEST(LoggerRunner, MachineCodeThatStopsEndsTheProgramWithALine) {
    Logger logger;
    logger.load(compiled("MODEL 510\nPRINT \"a\"\nASM $\n        swi\n        end\nPRINT \"b\""));
    logger.send(kRun);
    logger.runFor(kSecond);
    EXPECT_NE(logger.output().find("a\r\n\r\n*** Machine code stopped: SWI (opcode 3F) at address 0x"), std::string::npos);
    EXPECT_EQ(logger.output().substr(logger.output().size() - 3), "\r\n#");
    EXPECT_FALSE(logger.model().programRunning());
}

TEST(LoggerRunner, SpeedAndInputsOptionsOfTheSimulator) {
    const struct {
        std::vector<std::string> args;
        const char* error;
    } refused[] = {
        {{"--speed", "0"}, "--speed: 0 is not a factor from 1 to 1000000"},
        {{"--speed", "1.5"}, "--speed: 1.5 is not a factor from 1 to 1000000"},
        {{"--speed"}, "--speed needs a value"},
        {{"--inputs"}, "--inputs needs a value"},
        {{"--trace-cpu"}, "--trace-cpu needs a value"},
    };
    for (const auto& c : refused) EXPECT_EQ(loggersim::parseArguments(c.args).error, c.error);
    const auto parsed =
        loggersim::parseArguments({"--speed", "60", "--inputs", "sensors.txt", "--speed", "70", "--trace-cpu", "t"});
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.cpuTracePath, "t");
    EXPECT_EQ(parsed.options.speed, 70);  // the last one wins, so ./run.sh -- --speed N overrides its default
    EXPECT_EQ(parsed.options.inputsPath, "sensors.txt");
    EXPECT_EQ(loggersim::parseArguments({}).options.speed, 1);
}

}  // namespace
}  // namespace orrery::loggervm::test
