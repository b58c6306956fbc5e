// The logger model's side of each link command, byte for byte, driven with made-up times.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loggermodel.h"
#include "models.h"
#include "xmodem.h"

using namespace orrery::loggersim;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += char(v);
    return out;
}

std::string hex(const std::string& data) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (char c : data) {
        out += digits[std::uint8_t(c) >> 4];
        out += digits[std::uint8_t(c) & 15];
        out += ' ';
    }
    return out;
}

// One logger and a clock; say() feeds bytes one millisecond apart and returns everything sent back.
struct Session {
    explicit Session(LoggerSetup setup = defaultSetup(510)) : model(std::move(setup)) {}
    std::string say(const std::string& text) {
        for (char c : text) {
            now += 1000;
            model.receive(std::uint8_t(c), now);
        }
        return model.takeOutput();
    }
    std::string wait(Micros micros) {
        now += micros;
        model.tick(now);
        return model.takeOutput();
    }
    // A checked memory read as the workbench makes it; returns the data, or fails the test.
    std::string read(unsigned address, unsigned count) {
        char line[8];
        std::snprintf(line, sizeof line, "%x\r", address);
        std::string reply = say("\x16");
        reply += say(line);
        reply += say(std::string(1, char(count)));
        EXPECT_EQ(reply.size(), count + 4) << hex(reply);
        if (reply.size() != count + 4) return {};
        unsigned sum = (address >> 8) + (address & 0xFF) + count;
        for (unsigned i = 0; i < count; ++i) sum += std::uint8_t(reply[3 + i]);
        EXPECT_EQ(std::uint8_t(reply.back()), sum & 0xFF);
        return reply.substr(3, count);
    }
    LoggerModel model;
    Micros now = 0;
};

std::vector<std::uint8_t> testImage(std::size_t length) {
    std::vector<std::uint8_t> image(length);
    for (std::size_t i = 0; i < length; ++i) image[i] = std::uint8_t(i * 7 + 3);
    // A short program header: size 14, length - 1 at offset 2, VCRC 0xBEEF at offset 10.
    image[0] = 0;
    image[1] = 14;
    image[2] = std::uint8_t((length - 1) >> 8);
    image[3] = std::uint8_t(length - 1);
    image[10] = 0xBE;
    image[11] = 0xEF;
    return image;
}

// The load exchange after the echo: blocks of at most 128 bytes, each after its length, then 0x00.
std::string loadBlocks(const std::vector<std::uint8_t>& image) {
    std::string wire;
    for (std::size_t i = 0; i < image.size(); i += 128) {
        const std::size_t n = std::min<std::size_t>(128, image.size() - i);
        wire += char(n);
        wire.append(reinterpret_cast<const char*>(image.data() + i), n);
    }
    return wire + char(0);
}

// Plays the plain-checksum XMODEM receiver by hand and returns the data of all blocks.
// What the logger says after the last acknowledgement goes to *tail (expected empty without one).
std::string receiveByXmodem(Session& s, std::string* tail = nullptr) {
    std::string data;
    std::string block = s.say("\x15");
    for (int guard = 0; guard < 1000; ++guard) {
        if (block == "\x04") {
            const std::string after = s.say("\x06");
            if (tail != nullptr) *tail = after;
            else EXPECT_EQ(after, "");
            return data;
        }
        EXPECT_EQ(block.size(), 132u) << hex(block);
        if (block.size() != 132) return data;
        EXPECT_EQ(std::uint8_t(block[0]), 0x01);
        EXPECT_EQ(std::uint8_t(block[1] + block[2]), 0xFF);
        const std::string payload = block.substr(3, 128);
        EXPECT_EQ(std::uint8_t(block[131]),
                  xmodem::checksum(reinterpret_cast<const std::uint8_t*>(payload.data()), 128));
        data += payload;
        block = s.say("\x06");
    }
    return data;
}

TEST(LoggerModel, SingleCommandReplies) {
    const struct {
        const char* what;
        std::uint16_t model;
        bool refuse;
        bool wrongEcho;
        std::string input;
        std::string expected;
    } cases[] = {
        {"identify 510", 510, false, false, "\x13", bytes({0x13, 34, 0x01, 0xFE}) + "BRACKWATER 510 Maple-R SIMULATED"},
        {"identify 400", 400, false, false, "\x13", bytes({0x13, 32, 0x01, 0x90}) + "BRACKWATER 400 Cedar SIMULATED"},
        {"EPROM accepted", 510, false, false, "\x05", "\x05"},
        {"EPROM refused", 510, true, false, "\x05", "\x07"},
        {"leave memory access", 510, false, false, "\x18", "\r\n#"},
        {"carriage return", 510, false, false, "\r", "\r\n#"},
        {"typed text is echoed", 510, false, false, "hello", "hello"},
        {"unknown typed line", 510, false, false, "xyz\r", "xyz\r\nUnknown command (type help)\r\n#"},
        {"run without program", 510, false, false, "\x12", "\r\nNo program loaded\r\n#"},
        {"boot", 600, false, false, "\x02", "\r\nBrackwater 600 Rowan (simulated)\r\nBooted from EPROM\r\n#"},
        {"load echo", 510, false, false, "\x0c", "\x0c"},
        {"memory echo", 510, false, false, "\x16", "\x16"},
        {"wrong echo of load", 510, false, true, "\x0c", "L"},
        {"wrong echo of memory", 510, false, true, "\x16", "V"},
        {"wrong echo of identify", 510, false, true, "\x13", bytes({'S', 34, 0x01, 0xFE}) + "BRACKWATER 510 Maple-R SIMULATED"},
        {"read 1 byte at ffe8", 510, false, false, "\x16" "ffe8\r\x01", bytes({0x16, 0xFF, 0xFF, 51, (0xFF + 0xE8 + 1 + 51) & 0xFF})},
        {"read 2 bytes at 100", 510, false, false, "\x16" "100\r\x02", bytes({0x16, 0xFF, 0xFF, 0, 0, 3})},
        {"upper-case address", 400, false, false, "\x16" "FFE8\r\x01", bytes({0x16, 0xFF, 0xFF, 164, (0xFF + 0xE8 + 1 + 164) & 0xFF})},
        {"count 0 sends only the sum", 510, false, false, std::string("\x16" "10\r") + '\0', bytes({0x16, 0xFF, 0xFF, 0x10})},
        {"a second 0x16 restarts the read", 510, false, false, "\x16" "12\x16" "ffe8\r\x01", bytes({0x16, 0x16, 0xFF, 0xFF, 51, (0xFF + 0xE8 + 1 + 51) & 0xFF})},
        {"address without digits is dropped", 510, false, false, "\x16\r\x13", bytes({0x16, 0x13, 34, 0x01, 0xFE}) + "BRACKWATER 510 Maple-R SIMULATED"},
        {"a command in the address ends the read", 510, false, false, "\x16" "1\x18", "\x16\r\n#"},
        {"serial offload echo and bad range", 510, false, false, "\x0f" "zz\r\x18", "\x0f\r\n#"},
        {"disk offload echo and U", 510, false, false, "\x04" "1,1\r", "\x04U"},
    };
    for (const auto& c : cases) {
        LoggerSetup setup = defaultSetup(c.model);
        setup.epromRefuse = c.refuse;
        setup.wrongEcho = c.wrongEcho;
        Session s(setup);
        EXPECT_EQ(hex(s.say(c.input)), hex(c.expected)) << c.what;
    }
}

TEST(LoggerModel, ModelByteAgreesWithBothProgramStartRules) {
    for (const auto& known : orrery::compiler::kModels) {
        ASSERT_NE(findModel(known.code), nullptr) << known.code;
    }
    for (const ModelEntry& entry : kModelTable) {
        Session s(defaultSetup(entry.number));
        const std::string byte = s.read(0xFFE8, 1);
        ASSERT_EQ(byte.size(), 1u);
        // The variable viewer decides by the byte, the EPROM export by the model number.
        const std::uint8_t modelByte = std::uint8_t(byte[0]);
        const unsigned viewer = (modelByte >= 164 && modelByte <= 203) ? 0x0140 : 0x8140;
        const unsigned exporter = (entry.number >= 400 && entry.number <= 509) ? 0x0140 : 0x8140;
        EXPECT_EQ(viewer, exporter) << entry.number;
        EXPECT_EQ(s.model.programStart(), viewer) << entry.number;
    }
}

TEST(LoggerModel, LoadStoresTheImageAtTheProgramStart) {
    const struct {
        std::uint16_t model;
        std::size_t length;
        unsigned start;
    } cases[] = {{400, 300, 0x0140}, {500, 128, 0x0140}, {510, 129, 0x8140}, {230, 16064, 0x8140}, {800, 14, 0x8140}};
    for (const auto& c : cases) {
        Session s(defaultSetup(c.model));
        const auto image = testImage(c.length);
        ASSERT_EQ(s.say("\x0c"), "\x0c");
        EXPECT_EQ(s.say(loadBlocks(image)), "") << "the logger says nothing after the echo";
        EXPECT_TRUE(s.model.idle());
        EXPECT_TRUE(std::equal(image.begin(), image.end(), s.model.memory().begin() + c.start)) << c.model;
        EXPECT_EQ(s.model.loadedLength(), c.length);
        // What the workbench reads back: length - 1 at start + 2 and the VCRC at start + 10.
        EXPECT_EQ(hex(s.read(c.start + 2, 2)), hex(bytes({int((c.length - 1) >> 8), int((c.length - 1) & 0xFF)})));
        EXPECT_EQ(hex(s.read(c.start + 10, 2)), hex(bytes({0xBE, 0xEF})));
    }
}

TEST(LoggerModel, LoadThatRunsIntoTheEpromIsCutWhereRamEnds) {
    Session s(defaultSetup(700));
    const auto rom = s.model.memory();
    const auto image = testImage(20000);
    s.say("\x0c");
    s.say(loadBlocks(image));
    EXPECT_EQ(s.model.loadedLength(), 0xC000u - 0x8140u);
    EXPECT_TRUE(std::equal(rom.begin() + 0xC000, rom.end(), s.model.memory().begin() + 0xC000));
}

TEST(LoggerModel, AbandonedExchangesLeaveTheLoggerReady) {
    const struct {
        const char* what;
        std::string partial;
    } cases[] = {
        {"load in the middle of a block", std::string("\x0c\x80") + std::string(10, 'x')},
        {"memory read before the count", "\x16" "ffe8\r"},
        {"memory read in the address", "\x16" "ff"},
        {"offload range line", "\x0f" "0,"},
        {"load block longer than 128", "\x0c\x81"},
    };
    for (const auto& c : cases) {
        Session s;
        const auto before = s.model.memory();
        s.say(c.partial);
        s.wait(kExchangeTimeout + 1000);
        EXPECT_TRUE(s.model.idle()) << c.what;
        EXPECT_EQ(s.say("\x13").substr(0, 2), bytes({0x13, 34})) << c.what;
        EXPECT_TRUE(before == s.model.memory()) << c.what;
    }
}

TEST(LoggerModel, SerialOffloadSendsTheRangeOfDataMemory) {
    const std::vector<std::uint8_t> samples = generatedSamples();
    const std::string all(samples.begin(), samples.end());
    const struct {
        const char* range;
        std::string expected;
    } cases[] = {
        {"0,0", all},
        {"10,1f", all.substr(0x10, 16)},
        {"5,5", all.substr(5, 1)},
        {"1600,0", all.substr(0x1600)},
        {"0,ffffffff", all},
        {"1f,10", ""},
        {"ffffffffffffffff,0", ""},
    };
    for (const auto& c : cases) {
        Session s;
        const std::string first = s.say(std::string("\x0f") + c.range + "\r");
        ASSERT_EQ(first, "\x0f") << c.range;
        std::string data = receiveByXmodem(s);
        const std::size_t blocks = (c.expected.size() + 127) / 128;
        ASSERT_EQ(data.size(), blocks * 128) << c.range;
        EXPECT_EQ(data.substr(0, c.expected.size()), c.expected) << c.range;
        EXPECT_EQ(data.substr(c.expected.size()), std::string(data.size() - c.expected.size(), '\x1a')) << c.range;
        EXPECT_TRUE(s.model.idle()) << c.range;
    }
}

TEST(LoggerModel, DiskOffloadSendsTheFilesOfTheRangeInOrder) {
    Session probe;
    const auto files = probe.model.disk().files();
    auto file = [&files](int n) { return std::string(files.at(n).begin(), files.at(n).end()); };
    const struct {
        const char* range;
        std::string expected;
    } cases[] = {
        {"1,1", file(1)},
        {"2,3", file(2) + file(3)},
        {"2,0", file(2) + file(3)},
        {"0,0", file(1) + file(2) + file(3)},
        {"4,9", ""},
    };
    for (const auto& c : cases) {
        Session s;
        ASSERT_EQ(s.say(std::string("\x04") + c.range + "\r"), "\x04U") << c.range;
        const std::string data = receiveByXmodem(s);
        EXPECT_EQ(data.substr(0, c.expected.size()), c.expected) << c.range;
        EXPECT_EQ(data.size(), (c.expected.size() + 127) / 128 * 128) << c.range;
    }
}

TEST(LoggerModel, UpperMemoryHoldsTheEpromImageAndTheModelByte) {
    LoggerSetup setup = defaultSetup(400);
    setup.rom = std::vector<std::uint8_t>(100, 0x5A);  // short images are padded as an erased EPROM reads
    Session s(setup);
    EXPECT_EQ(hex(s.read(0xC000, 2)), hex("\x5a\x5a"));
    EXPECT_EQ(hex(s.read(0xC064, 2)), hex("\xff\xff"));
    EXPECT_EQ(hex(s.read(0xFFE7, 3)), hex(bytes({0xFF, 164, 0xFF})));
    Session plain;
    EXPECT_EQ(hex(plain.read(0xC123, 2)), hex(bytes({0xC1 ^ 0x23, 0xC1 ^ 0x24})));
}

// A runner that records what the model gives it and echoes input in brackets.
struct RecordingRunner : ProgramRunner {
    void start(LoggerModel& model, std::uint16_t programStart) override {
        started = programStart;
        isRunning = true;
        due = model.now() + 100'000;
        model.write("[started]");
    }
    bool running() const override { return isRunning; }
    void step(LoggerModel&, Micros) override {
        ++steps;
        due += 100'000;
    }
    Micros nextStep(Micros) const override { return due; }
    void receive(LoggerModel& model, std::uint8_t byte) override {
        if (byte == 0x03) {
            isRunning = false;
            return;
        }
        model.write(std::string("[") + char(byte) + "]");
    }
    void stop(LoggerModel&) override {
        ++stops;
        isRunning = false;
    }
    Micros due = 0;
    int started = -1;
    int steps = 0;
    int stops = 0;
    bool isRunning = false;
};

TEST(LoggerModel, RunHandsTheProgramToTheRunnerAndLinkCommandsStillWork) {
    Session s(defaultSetup(400));
    s.say("\x0c");
    s.say(loadBlocks(testImage(200)));
    EXPECT_EQ(s.say("\x12"), "\r\nRunning program of 200 bytes\r\n") << "no runner: only the announcement";

    auto owned = std::make_unique<RecordingRunner>();
    RecordingRunner& runner = *owned;
    s.model.installRunner(std::move(owned));
    EXPECT_EQ(s.say("\x12"), "\r\nRunning program of 200 bytes\r\n[started]");
    EXPECT_EQ(runner.started, 0x0140);
    EXPECT_EQ(s.model.nextWake(), s.now + 100'000);
    s.wait(100'000);
    EXPECT_GE(runner.steps, 1);
    EXPECT_EQ(s.say("a\r"), "[a][\r]") << "input goes to the program";
    EXPECT_EQ(s.read(0x0140 + 10, 2), "\xbe\xef") << "memory reads while running";
    EXPECT_TRUE(s.model.programRunning());
    EXPECT_EQ(s.say("\x03"), "\r\n#") << "the prompt returns when the program ends";
    s.say("\x12");
    s.say("\x0c");
    EXPECT_EQ(runner.stops, 1) << "a load stops the running program";
    EXPECT_FALSE(s.model.programRunning());
}

TEST(LoggerModel, TypedTransfersUseTheDiskAndDataMemory) {
    Session s;
    EXPECT_EQ(s.say("dir\r"), "dir\r\n1  208 bytes\r\n2  416 bytes\r\n3  624 bytes\r\n#");
    std::string announce = s.say("sx 2\r");
    EXPECT_EQ(announce, "sx 2\r\nSending disk file 2 by XMODEM\r\n");
    std::string tail;
    const std::string data = receiveByXmodem(s, &tail);
    EXPECT_EQ(tail, "\r\nSent\r\n#");
    const auto file2 = s.model.disk().files().at(2);
    EXPECT_EQ(data.substr(0, file2.size()), std::string(file2.begin(), file2.end()));
    EXPECT_EQ(s.say("sx 9\r"), "sx 9\r\nNo disk file 9\r\n#");

    // "rx" stores what arrives as the next disk file, padding and all.
    EXPECT_EQ(s.say("rx\r"), "rx\r\nReady to receive by XMODEM\r\n\x15");
    std::string block = bytes({1, 1, 0xFE}) + std::string(128, 'q');
    block += char(xmodem::checksum(reinterpret_cast<const std::uint8_t*>(block.data() + 3), 128));
    EXPECT_EQ(s.say(block), "\x06");
    EXPECT_EQ(s.say("\x04"), "\x06\r\nReceived 128 bytes into disk file 4\r\n#");
    const auto file4 = s.model.disk().files().at(4);
    EXPECT_EQ(std::string(file4.begin(), file4.end()), std::string(128, 'q'));
}

TEST(LoggerModel, CommandsAreCounted) {
    Session s;
    s.say("\x13" "abc" "\r" "\x16" "10\r\x01" "\x18");
    EXPECT_EQ(s.model.commandsDone(), 4);
}

}  // namespace
