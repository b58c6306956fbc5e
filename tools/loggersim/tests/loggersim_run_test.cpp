// The real loggersim binary on its pseudo-terminal: a program sent with the load command runs on the
// run byte, with --speed and --inputs, and the simulator keeps answering while it runs.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "compiler.h"

extern char** environ;

namespace orrery::loggervm::test {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> compiledExample(const std::string& name) {
    std::ifstream in(std::string(ORRERY_SOURCE_DIR "/examples/") + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    compiler::CompileJob job;
    job.sourceName = name;
    job.sourceText = text.str() + "\r\n";
    compiler::compile(job);
    EXPECT_FALSE(job.failed()) << job.errorMessage;
    return job.image;
}

std::vector<std::uint8_t> compiledText(const std::string& source) {
    compiler::CompileJob job;
    job.sourceName = "TEXT.qob";
    job.sourceText = source + "\r\n";
    compiler::compile(job);
    EXPECT_FALSE(job.failed()) << job.errorMessage;
    return job.image;
}

// One loggersim process, its device opened raw; stopped by its PID when the test ends.
class Simulator {
public:
    explicit Simulator(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        args.insert(args.begin(), LOGGERSIM_BINARY);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, LOGGERSIM_BINARY, &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        std::string device;
        char c = 0;
        while (read(out[0], &c, 1) == 1 && c != '\n') device += c;
        close(out[0]);
        m_device = device;
        m_fd = open(device.c_str(), O_RDWR | O_NOCTTY);
        makeRaw();
    }
    const std::string& device() const { return m_device; }
    // Raw again after another program used the device and left its own settings.
    void makeRaw() {
        if (m_fd < 0) return;
        termios raw{};
        tcgetattr(m_fd, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_fd, TCSANOW, &raw);
    }
    ~Simulator() {
        if (m_fd >= 0) close(m_fd);
        if (m_pid > 0) stopProcess();
    }
    bool ready() const { return m_pid > 0 && m_fd >= 0; }

    void send(std::string_view bytes) {
        ASSERT_EQ(write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void send(std::uint8_t byte) { send(std::string_view(reinterpret_cast<const char*>(&byte), 1)); }
    void load(const std::vector<std::uint8_t>& image) {
        send(0x0C);
        ASSERT_NE(readUntil("\x0C").find('\x0C'), std::string::npos);
        for (std::size_t at = 0; at < image.size(); at += 128) {
            const std::size_t length = std::min<std::size_t>(128, image.size() - at);
            send(static_cast<std::uint8_t>(length));
            send(std::string_view(reinterpret_cast<const char*>(image.data() + at), length));
        }
        send(0);
    }
    static std::string tracedSent(const std::string& tracePath) {
        std::ifstream in(tracePath);
        std::string sent, seconds, direction, hex;
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            if (fields >> seconds >> direction >> hex && direction == "tx" && line.find("lost") == std::string::npos)
                sent += static_cast<char>(std::stoi(hex, nullptr, 16));
        }
        return sent;
    }
    // Everything received until the text appears or 20 s have passed.
    std::string readUntil(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto deadline = Clock::now() + limit;
        while (m_received.find(text) == std::string::npos && Clock::now() < deadline) {
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, 100) > 0) {
                char buffer[512];
                const ssize_t n = read(m_fd, buffer, sizeof buffer);
                if (n > 0) m_received.append(buffer, static_cast<std::size_t>(n));
            }
        }
        return m_received;
    }
    // What arrived after the "Running ..." line, up to and including the text.
    std::string programOutputUntil(const std::string& text) {
        readUntil(text);
        const auto running = m_received.find("Running ");
        if (running == std::string::npos) return m_received;
        const auto start = m_received.find("\r\n", running) + 2;
        const auto end = m_received.find(text, start);
        return m_received.substr(start, end == std::string::npos ? std::string::npos : end + text.size() - start);
    }
    void forget() { m_received.clear(); }

    // What the simulator sent, as its trace (--trace FILE) records it, until the text appears or 20 s
    // have passed. Another program that had the line open may have read part of it, so the trace, not
    // the line, is the record; the line is still read so that the simulator never waits for room.
    std::string sentUntil(const std::string& tracePath, const std::string& text) {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        std::string sent;
        while (Clock::now() < deadline) {
            readUntil("\x01\x02 never", std::chrono::milliseconds(50));
            sent = tracedSent(tracePath);
            if (sent.find(text) != std::string::npos) break;
        }
        return sent;
    }

private:
    // SIGTERM, and SIGKILL when the simulator has not ended within two seconds: a signal that lands
    // between its stop check and its wait for the line could otherwise keep it waiting for ever.
    void stopProcess() {
        kill(m_pid, SIGTERM);
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (Clock::now() < deadline) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) return;
            usleep(10000);
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }

    pid_t m_pid = -1;
    int m_fd = -1;
    std::string m_device;
    std::string m_received;
};

TEST(LoggersimRuns, AnExampleLoadedAndRunPrintsItsTable) {
    Simulator sim({"--speed", "1000"});
    ASSERT_TRUE(sim.ready());
    sim.load(compiledExample("formatted_print.qob"));
    sim.send(0x12);
    const std::string out = sim.programOutputUntil("done after 8 rows\r\n");
    EXPECT_EQ(out.substr(0, 15), "Reading table\r\n");
    EXPECT_NE(out.find("0004   2048   800     1.250    1.2500E+00\r\n"), std::string::npos);
    EXPECT_NE(out.find("[       165]**\r\n"), std::string::npos);
    EXPECT_NE(sim.readUntil("rows\r\n\r\n#").find("rows\r\n\r\n#"), std::string::npos);  // the prompt after the end
}

TEST(LoggersimRuns, InputsFileAndSpeedDriveATimedProgram) {
    char pattern[] = "/tmp/loggervm-e2e-XXXXXX";
    const char* dir = mkdtemp(pattern);
    ASSERT_NE(dir, nullptr);
    const std::string inputs = std::string(dir) + "/inputs.txt";
    std::ofstream(inputs) << "pin 6 square 0 1 60\n";
    {
        Simulator sim({"--speed", "200", "--inputs", inputs, "--model", "230"});
        ASSERT_TRUE(sim.ready());
        sim.load(compiledExample("pins_and_timing.qob"));
        sim.send(0x12);
        // Every sleep ends exactly 10 s on; the clock read just after it may have moved on by as much
        // as the machine was busy, times 200, so only the first report is exact.
        const std::string out = sim.programOutputUntil("stopped\r\n");
        EXPECT_EQ(out.substr(0, 26), "t=0 period=1000 events=0\r\n");
        EXPECT_EQ(out.substr(out.size() - 9), "stopped\r\n");
        std::size_t reports = 0;
        for (auto at = out.find("t="); at != std::string::npos; at = out.find("t=", at + 1)) ++reports;
        EXPECT_EQ(reports, 3u) << out;  // at 0, 10 and 20 s; pin 6 is high from 30 s on
    }
    std::filesystem::remove_all(dir);
}

TEST(LoggersimRuns, TypedLinesAndCtrlCReachTheProgram) {
    Simulator sim({"--speed", "1000"});
    ASSERT_TRUE(sim.ready());
    sim.load(compiledExample("strings.qob"));
    sim.send(0x12);
    sim.readUntil("command");
    sim.send("RATE=30\r");
    EXPECT_NE(sim.programOutputUntil("by its code\r\n").find("commandRATE=30\r\nrate set to\t30 s\r\nvalue=30, twice=60\r\n"),
              std::string::npos);

    sim.forget();
    sim.load(compiledText("MODEL 510\nX = 41\nLoop: X = X + 0\nGOTO Loop"));
    sim.send(0x12);
    sim.readUntil("Running");
    // The logger answers a memory read of X while the program loops.
    sim.send(0x16);
    sim.readUntil("\x16");
    sim.send("74bc\r");
    sim.readUntil("\xff");
    sim.send(4);
    const std::string reply = sim.readUntil(std::string("\x00\x00\x00\x29", 4));
    EXPECT_NE(reply.find(std::string("\x00\x00\x00\x29", 4)), std::string::npos);
    sim.send(0x18);
    sim.send(0x03);
    EXPECT_NE(sim.readUntil("*** Break").find("*** Break at code offset"), std::string::npos);
}

// A routine that never returns keeps the simulator answering and Ctrl+C stops it; an illegal opcode
// stops the program with a line naming it; --trace-cpu records the instructions.
TEST(LoggersimRuns, MachineCodeThatLoopsOrFailsLeavesTheSimulatorAnswering) {
    char pattern[] = "/tmp/loggervm-e2e-XXXXXX";
    const char* dir = mkdtemp(pattern);
    ASSERT_NE(dir, nullptr);
    const std::string cpuTrace = std::string(dir) + "/cpu.txt";
    {
        Simulator sim({"--trace-cpu", cpuTrace});
        ASSERT_TRUE(sim.ready());
        sim.load(compiledText("MODEL 510\nPRINT \"looping\"\nASM $\nloop    inc $9000\n        bra loop\n        end"));
        sim.send(0x12);
        sim.readUntil("looping\r\n");
        sim.send(0x13);  // identify, while the routine runs
        EXPECT_NE(sim.readUntil("SIMULATED").find("BRACKWATER 510 Maple-R SIMULATED"), std::string::npos);
        sim.send(0x03);
        EXPECT_NE(sim.readUntil("line 3\r\n\r\n#").find("*** Break at code offset 0x0015, line 3\r\n\r\n#"),
                  std::string::npos);

        sim.forget();
        sim.load(compiledText("MODEL 510\nASM $\n        ldab #7\n        fcb $41\n        end\nPRINT \"not here\""));
        sim.send(0x12);
        EXPECT_NE(sim.readUntil("stopped\r\n\r\n#")
                      .find("*** Machine code stopped: illegal opcode 41 at address 0x8157 (called at code offset "
                            "0x0006, line 2); program stopped\r\n\r\n#"),
                  std::string::npos);
        sim.forget();
        sim.send(0x13);
        EXPECT_NE(sim.readUntil("SIMULATED").find("BRACKWATER 510 Maple-R SIMULATED"), std::string::npos);
    }
    std::ifstream trace(cpuTrace);
    std::string first;
    std::getline(trace, first);
    EXPECT_EQ(first.substr(0, 34), "8164  7C 90 00  inc $9000         ");
    std::filesystem::remove_all(dir);
}

#ifdef LOGGERLINK_BINARY
// Each example, loaded and started by `loggerlink load FILE --run` as a user at a shell would, on a
// simulator of the model the program names; the test reads the terminal side of the line afterwards.
struct ExampleCase {
    const char* file;
    const char* model;
    const char* speed;
    const char* inputs;   // the --inputs file's text, or empty
    const char* waitFor;  // text after which the test types the line below
    const char* typed;
    std::vector<const char*> expected;  // in order in the program's output
};

const ExampleCase kExamples[] = {
    {"formatted_print.qob", "600", "1000", "", "", "",
     {"Reading table\r\n  no    raw   hex      volts        scientific\r\n0001   2755   AC3     1.682    1.6815E+00\r\n",
      "0008   2048   800     1.250    1.2500E+00\r\nmask = 10100101\r\n[       165]**\r\ndone after 8 rows\r\n\r\n#"}},
    {"strings.qob", "210", "1000", "", "command", "RATE=30\r",
     {"Logger ready (12 characters)\r\ncommandRATE=30\r\nrate set to\t30 s\r\nvalue=30, twice=60\r\n"
      "last three: =60\r\nletter A by its code\r\n\r\n#"}},
    {"hazel.qob", "700", "1000", "", "interval (s)", "2\r",
     // the channels' values depend on how long the typing took on the program's clock
     {"interval (s)2\r\n0001: ", "\r\nrow 1\r\n0002: ", "\r\n0100: ", "row 100\r\nfinished after 100 rows\r\n\r\n#"}},
    {"pins_and_timing.qob", "230", "200", "pin 6 square 0 1 60\n", "", "", {"t=0 period=1000 events=0\r\n", "stopped\r\n\r\n#"}},
    {"sampler.qob", "510", "100000", "", "", "", {"sample     0  T=  20  V= 6.887\r\n", "sample  1439  T=", "day complete\r\n\r\n#"}},
    {"sample_and_store.qob", "510", "100000", "", "", "", {"\r\n#"}},
    {"asm_call.qob", "510", "1000", "pin 6 square 0 1 4\n", "", "", {"events: 100\r\n", "events: 200\r\n"}},
    // Where in the square wave the program starts depends on how long the load took, so the count may
    // already be 1 at the first line; it then climbs by one a period (a round of polls is far shorter).
    {"switchcount.qob", "510", "10", "pin 13 square 0 1 2\n", "", "",
     {"closures so far: 1\r\n", "closures so far: 2\r\n", "closures so far: 3\r\n"}},
    {"datafile.qob", "400", "1000", "", "", "", {"stored 10 bursts\r\n", "stored 100 bursts\r\n"}},
};

TEST(LoggersimRuns, EveryExampleRunsFromLoggerlinkLoadRun) {
    char pattern[] = "/tmp/loggervm-e2e-XXXXXX";
    const char* dir = mkdtemp(pattern);
    ASSERT_NE(dir, nullptr);
    const std::string settings = std::string(dir) + "/settings.ini";
    for (const auto& c : kExamples) {
        SCOPED_TRACE(c.file);
        const std::string trace = std::string(dir) + "/trace-" + c.file;
        std::vector<std::string> args = {"--model", c.model, "--speed", c.speed, "--trace", trace};
        if (*c.inputs) {
            const std::string inputs = std::string(dir) + "/inputs.txt";
            std::ofstream(inputs) << c.inputs;
            args.insert(args.end(), {"--inputs", inputs});
        }
        Simulator sim(args);
        ASSERT_TRUE(sim.ready());
        const std::string command = "ORRERY_SETTINGS=" + settings + " " LOGGERLINK_BINARY " --port " + sim.device() +
                                    " --quiet load " ORRERY_SOURCE_DIR "/examples/" + c.file + " --run";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
        sim.makeRaw();
        if (*c.waitFor) {
            sim.sentUntil(trace, c.waitFor);
            sim.send(c.typed);
        }
        std::string out = sim.sentUntil(trace, c.expected.back());
        out.erase(0, out.find("Running "));
        std::size_t at = 0;
        for (const char* part : c.expected) {
            const auto found = out.find(part, at);
            ASSERT_NE(found, std::string::npos) << "missing: " << part << "\nin: " << out;
            at = found + std::strlen(part);
        }
    }
    std::filesystem::remove_all(dir);
}
#endif

#ifdef LOGGERLINK_BINARY
// The options ./run.sh gives the simulator it starts (examples/simulator.options), paths made absolute.
std::vector<std::string> runShSimulatorOptions() {
    std::ifstream in(ORRERY_SOURCE_DIR "/examples/simulator.options");
    std::vector<std::string> words;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("examples/", 0) == 0) line = ORRERY_SOURCE_DIR "/" + line;
        words.push_back(line);
    }
    return words;
}

// Every example on the simulator as ./run.sh starts it (model 510, its speed and inputs), loaded and
// started by loggerlink: each shows its behaviour soon after the run byte.
TEST(LoggersimRuns, EveryExampleShowsItsOutputOnTheSimulatorRunShStarts) {
    struct Case {
        const char* file;
        const char* waitFor;
        const char* typed;
        const char* expected;
    };
    const Case cases[] = {
        {"formatted_print.qob", "", "", "done after 8 rows\r\n"},
        {"strings.qob", "command", "RATE=30\r", "letter A by its code\r\n"},
        {"hazel.qob", "interval (s)", "2\r", "row 2\r\n"},
        {"pins_and_timing.qob", "", "", "stopped\r\n"},
        {"sampler.qob", "", "", "sample    10  T="},
        {"sample_and_store.qob", "", "", "\r\n\r\n#"},
        {"asm_call.qob", "", "", "events: 100\r\n"},
        {"switchcount.qob", "", "", "closures so far: 1\r\n"},
        {"datafile.qob", "", "", "stored 10 bursts\r\n"},
    };
    const auto options = runShSimulatorOptions();
    ASSERT_GE(options.size(), 4u);
    char pattern[] = "/tmp/loggervm-e2e-XXXXXX";
    const char* dir = mkdtemp(pattern);
    ASSERT_NE(dir, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string trace = std::string(dir) + "/trace-" + c.file;
        std::vector<std::string> args = options;
        args.insert(args.end(), {"--trace", trace});
        Simulator sim(args);
        ASSERT_TRUE(sim.ready());
        const std::string command = "ORRERY_SETTINGS=" + std::string(dir) + "/settings.ini " LOGGERLINK_BINARY " --port " +
                                    sim.device() + " --quiet load " ORRERY_SOURCE_DIR "/examples/" + c.file + " --run";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
        sim.makeRaw();
        if (*c.waitFor) {
            sim.sentUntil(trace, c.waitFor);
            sim.send(c.typed);
        }
        std::string out = sim.sentUntil(trace, c.expected);
        out.erase(0, out.find("Running "));
        EXPECT_NE(out.find(c.expected), std::string::npos) << out.substr(0, 2000);
        EXPECT_EQ(out.find("not modelled"), std::string::npos);
    }
    std::filesystem::remove_all(dir);
}

#endif

TEST(LoggersimRuns, BadInputsOrTraceFileIsAUsageError) {
    for (const char* option : {" --inputs /nonexistent/inputs.txt", " --trace-cpu /nonexistent/cpu.txt"}) {
        const std::string command = std::string(LOGGERSIM_BINARY) + option + " 2>/dev/null";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << option;
        EXPECT_EQ(WEXITSTATUS(status), 2) << option;
    }
}

}  // namespace
}  // namespace orrery::loggervm::test
