// The simulator's XMODEM checked against lrzsz, a peer no one here wrote: rx takes the simulator's
// offloads, sx sends a file to the simulator's receiver.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "loggermodel.h"
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

bool havePeer(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The file as the receiver stores it: lrzsz's rx keeps the padding of the last block, as ours does.
std::string padded(std::string data) {
    data.resize((data.size() + 127) / 128 * 128, '\x1a');
    return data;
}

TEST(LoggerSimPeers, RxReceivesTheOffloadsIntact) {
    if (!havePeer("rx")) GTEST_SKIP() << "lrzsz is not installed";
    const std::vector<std::uint8_t> samples = orrery::loggersim::generatedSamples();
    const std::string all(samples.begin(), samples.end());
    const struct {
        const char* what;
        std::string command;
        std::string reply;
        const char* rxOption;
        std::string expected;
    } cases[] = {
        {"serial offload, checksum", "\x0f" "0,0\r", "\x0f", "-X", all},
        {"serial offload of a range, CRC", "\x0f" "100,2ff\r", "\x0f", "-c", all.substr(0x100, 0x200)},
        {"disk offload of file 2", std::string("\x04") + "2,2\r", "\x04U", "-X", ""},
    };
    for (const auto& c : cases) {
        const std::string dir = makeTempDir();
        Child sim = Child::spawn({kBinary, "--link", dir + "/logger"});
        ASSERT_FALSE(sim.readLine().empty());
        const int fd = openRaw(dir + "/logger");
        ASSERT_GE(fd, 0);
        writeAll(fd, c.command);
        ASSERT_EQ(readBytes(fd, c.reply.size()), c.reply) << c.what;
        // rx refuses absolute names in its restricted mode, so it runs in the folder.
        Child rx = Child::spawn({"rx", c.rxOption, "-q", "-b", "received"}, fd, false, dir);
        EXPECT_EQ(rx.wait(60000), 0) << c.what;
        const std::string got = slurp(dir + "/received");
        if (c.expected.empty()) {
            // Disk file 2 of the built-in disk: 32 lines "2,iii,vvvvv" CR LF.
            ASSERT_EQ(got.size(), padded(std::string(416, ' ')).size()) << c.what;
            EXPECT_EQ(got.substr(0, 13), "2,000,02000\r\n") << c.what;
        } else {
            EXPECT_EQ(got.size(), padded(c.expected).size()) << c.what;
            EXPECT_TRUE(got == padded(c.expected)) << c.what;
        }
        ::close(fd);
        sim.stop();
        std::filesystem::remove_all(dir);
    }
}

TEST(LoggerSimPeers, SxSendsAFileIntoTheSimulatorsDisk) {
    if (!havePeer("sx")) GTEST_SKIP() << "lrzsz is not installed";
    const std::string dir = makeTempDir();
    std::filesystem::create_directory(dir + "/disk");
    std::string contents;
    for (int i = 0; i < 1000; ++i) contents += char((i * 131 + 7) & 0xFF);  // every byte value, 0x1A too
    { std::ofstream(dir + "/upload.bin", std::ios::binary) << contents; }

    Child sim = Child::spawn({kBinary, "--link", dir + "/logger", "--disk", dir + "/disk"});
    ASSERT_FALSE(sim.readLine().empty());
    const int fd = openRaw(dir + "/logger");
    ASSERT_GE(fd, 0);
    writeAll(fd, "rx\r");
    ASSERT_NE(readUntil(fd, "Ready to receive by XMODEM\r\n").find("Ready"), std::string::npos);
    Child sx = Child::spawn({"sx", "-X", "-q", "-b", "upload.bin"}, fd, false, dir);
    EXPECT_EQ(sx.wait(60000), 0);
    // The logger's closing words may have gone to sx, which reads on after the last ACK; the file is
    // the proof. It appears whole or not at all (written beside and renamed).
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!std::filesystem::exists(dir + "/disk/1.dat") && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(slurp(dir + "/disk/1.dat") == padded(contents));
    ::close(fd);
    sim.stop();
    std::filesystem::remove_all(dir);
}

}  // namespace
