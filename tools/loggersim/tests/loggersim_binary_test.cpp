// The real loggersim binary on a pseudo-terminal, talked to with plain file I/O.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "simprocess.h"

using namespace simtest;

namespace {

const std::string kBinary = LOGGERSIM_BINARY;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(LoggerSimBinary, ServesCommandsOnItsPseudoTerminalAndTracesThem) {
    const std::string dir = makeTempDir();
    ASSERT_FALSE(dir.empty());
    Child sim = Child::spawn({kBinary, "--model", "400", "--link", dir + "/logger", "--trace", dir + "/trace"});
    const std::string device = sim.readLine();
    ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;
    EXPECT_EQ(std::filesystem::read_symlink(dir + "/logger").string(), device);

    const int fd = openRaw(dir + "/logger");
    ASSERT_GE(fd, 0);
    writeAll(fd, "\x13");
    EXPECT_EQ(readBytes(fd, 34), std::string("\x13\x20\x01\x90", 4) + "BRACKWATER 400 Cedar SIMULATED");
    writeAll(fd, std::string("\x16" "ffe8\r\x01", 7));
    EXPECT_EQ(readBytes(fd, 5), std::string("\x16\xff\xff\xa4") + char((0xFF + 0xE8 + 1 + 164) & 0xFF));
    // A load, then the length field read back through memory access.
    writeAll(fd, "\x0c");
    EXPECT_EQ(readBytes(fd, 1), "\x0c");
    writeAll(fd, std::string("\x04\x00\x0e\x00\x13", 5) + std::string(1, '\0'));
    writeAll(fd, std::string("\x16" "142\r\x02", 6));
    EXPECT_EQ(readBytes(fd, 6), std::string("\x16\xff\xff\x00\x13", 5) + char((0x01 + 0x42 + 2 + 0x13) & 0xFF));
    ::close(fd);
    sim.stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir + "/logger"))) << "link removed at exit";

    // The trace holds the exchange in order: the identify byte in, its echo out.
    std::istringstream trace(slurp(dir + "/trace"));
    std::string line;
    std::vector<std::string> firstTwo;
    while (firstTwo.size() < 2 && std::getline(trace, line)) firstTwo.push_back(line.substr(line.find(' ') + 1));
    EXPECT_EQ(firstTwo, (std::vector<std::string>{"rx 13", "tx 13"}));
    std::filesystem::remove_all(dir);
}

TEST(LoggerSimBinary, BadCommandLinesExitWithUsageErrors) {
    const std::string dir = makeTempDir();
    { std::ofstream(dir + "/plain") << "x"; }
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--model", "450"}, "loggersim: --model: 450 is not a known model"},
        {{"--drop", "two"}, "loggersim: --drop: two is not a probability from 0 to 1"},
        {{"--bogus"}, "loggersim: unknown option --bogus"},
        {{"--link", dir + "/plain"}, "exists and is not a symbolic link"},
        {{"--trace", dir + "/no/such/folder/trace"}, "loggersim: --trace: cannot write"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {"sh", "-c", "exec \"$0\" \"$@\" 2>&1", kBinary};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        Child run = Child::spawn(argv);
        const std::string first = run.readLine();
        EXPECT_EQ(run.wait(), 2) << c.args[0];
        EXPECT_NE(first.find(c.message), std::string::npos) << first;
    }
    std::filesystem::remove_all(dir);
}

TEST(LoggerSimBinary, ExitAfterEndsOnceTheAnswersAreRead) {
    Child sim = Child::spawn({kBinary, "--exit-after", "2"});
    const std::string device = sim.readLine();
    const int fd = openRaw(device);
    ASSERT_GE(fd, 0);
    writeAll(fd, "\r");
    EXPECT_EQ(readBytes(fd, 3), "\r\n#");
    EXPECT_EQ(sim.wait(200), -1) << "one command is not yet two";
    writeAll(fd, "\x05");
    EXPECT_EQ(readBytes(fd, 1), "\x05");
    EXPECT_EQ(sim.wait(), 0);
    ::close(fd);
}

}  // namespace
