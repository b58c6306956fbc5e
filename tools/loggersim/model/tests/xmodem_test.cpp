// The logger's XMODEM sender and receiver against each other and against hand-made line faults.

#include <gtest/gtest.h>

#include "xmodem.h"

using namespace orrery::loggersim;
using namespace orrery::loggersim::xmodem;

namespace {

std::vector<std::uint8_t> pattern(std::size_t n) {
    std::vector<std::uint8_t> data(n);
    for (std::size_t i = 0; i < n; ++i) data[i] = std::uint8_t(i * 31 + (i >> 7));
    return data;
}

// Moves bytes between the two until both have finished; `damage` may change the sender's bytes on the
// way (index of the byte in the whole stream, byte) and returns false to drop it.
template <typename Damage>
void transfer(XmodemSender& sender, XmodemReceiver& receiver, Micros& now, Damage damage) {
    std::size_t index = 0;
    for (int round = 0; round < 100000 && !(sender.finished() && receiver.finished()); ++round) {
        for (char c : receiver.takeOutput()) sender.receive(std::uint8_t(c), now);
        for (char c : sender.takeOutput()) {
            std::uint8_t byte = std::uint8_t(c);
            if (damage(index++, byte)) receiver.receive(byte, now);
        }
        now += 100'000;
        sender.tick(now);
        receiver.tick(now);
    }
}

TEST(Xmodem, TransfersSurviveLineFaults) {
    const struct {
        const char* what;
        std::size_t size;
        std::function<bool(std::size_t, std::uint8_t&)> damage;
    } cases[] = {
        {"clean, 3 blocks and a bit", 400, [](std::size_t, std::uint8_t&) { return true; }},
        {"empty", 0, [](std::size_t, std::uint8_t&) { return true; }},
        {"exactly one block", 128, [](std::size_t, std::uint8_t&) { return true; }},
        {"a data byte flipped in block 2", 300, [](std::size_t i, std::uint8_t& b) { if (i == 132 + 50) b ^= 4; return true; }},
        {"block number damaged", 300, [](std::size_t i, std::uint8_t& b) { if (i == 1) b = 9; return true; }},
        {"a byte lost in block 1", 300, [](std::size_t i, std::uint8_t&) { return i != 70; }},
        {"the checksum lost", 200, [](std::size_t i, std::uint8_t&) { return i != 131; }},
        {"300 blocks, block numbers wrap", 300 * 128, [](std::size_t, std::uint8_t&) { return true; }},
    };
    for (const auto& c : cases) {
        Micros now = 0;
        XmodemReceiver receiver(now);
        XmodemSender sender(pattern(c.size), now);
        transfer(sender, receiver, now, c.damage);
        ASSERT_TRUE(receiver.succeeded()) << c.what << ": " << receiver.error();
        ASSERT_TRUE(sender.succeeded()) << c.what << ": " << sender.error();
        std::vector<std::uint8_t> expected = pattern(c.size);
        expected.resize((c.size + 127) / 128 * 128, kPad);
        EXPECT_EQ(receiver.data(), expected) << c.what;
    }
}

TEST(Xmodem, SenderAnswersACrcRequestWithCrcBlocks) {
    XmodemSender sender(pattern(10), 0);
    sender.receive(kCrcRequest, 0);
    const std::string block = sender.takeOutput();
    ASSERT_EQ(block.size(), 133u);
    std::vector<std::uint8_t> data = pattern(10);
    data.resize(128, kPad);
    const std::uint16_t crc = crc16(data.data(), data.size());
    EXPECT_EQ(std::uint8_t(block[131]), crc >> 8);
    EXPECT_EQ(std::uint8_t(block[132]), crc & 0xFF);
    // The CRC of "123456789" is the published check value of this CRC-16 (XMODEM) variant.
    const std::uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc16(check, 9), 0x31C3);
}

TEST(Xmodem, EndsWithinItsLimits) {
    const struct {
        const char* what;
        bool sender;
        Micros limit;
    } cases[] = {
        {"sender never asked", true, kStartWait},
        {"receiver never served", false, kRequestInterval * kRequestTries},
    };
    for (const auto& c : cases) {
        Micros now = 0;
        XmodemSender sender(pattern(10), now);
        XmodemReceiver receiver(now);
        while (now <= c.limit + 1'000'000 && !(c.sender ? sender.finished() : receiver.finished())) {
            now += 500'000;
            c.sender ? sender.tick(now) : receiver.tick(now);
        }
        EXPECT_TRUE(c.sender ? sender.finished() : receiver.finished()) << c.what;
        EXPECT_FALSE(c.sender ? sender.succeeded() : receiver.succeeded()) << c.what;
    }
    // Two CANs end a transfer at once; one alone is noise.
    XmodemSender sender(pattern(10), 0);
    sender.receive(kNak, 0);
    sender.receive(kCan, 0);
    EXPECT_FALSE(sender.finished());
    sender.receive(kCan, 0);
    EXPECT_TRUE(sender.finished());
    EXPECT_FALSE(sender.succeeded());
}

}  // namespace
