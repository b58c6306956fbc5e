// The XMODEM state machines without a port: a fake wire records what they send and which timer they arm.
#include <gtest/gtest.h>

#include <string>

#include "xmodem.h"

using namespace orrery::xmodem;

namespace {

struct FakeWire : Wire {
    std::string sent;
    int timerMs = -1;  // -1: stopped
    void send(std::string_view bytes) override { sent.append(bytes); }
    void startTimer(int ms) override { timerMs = ms; }
    void stopTimer() override { timerMs = -1; }
    std::string take() { return std::exchange(sent, {}); }
};

std::vector<std::uint8_t> pattern(std::size_t size, unsigned seed = 7) {
    std::vector<std::uint8_t> out(size);
    for (std::size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        out[i] = std::uint8_t(seed >> 16);
    }
    return out;
}

std::string frameOf(std::uint8_t number, const std::vector<std::uint8_t>& data, std::size_t block) {
    const std::size_t offset = block * kBlockSize;
    return frameBlock(number, data.data() + offset, data.size() - offset);
}

const std::string kAckS(1, char(kAck));
const std::string kNakS(1, char(kNak));
const std::string kEotS(1, char(kEot));
const std::string kCancelS(kCancelCount, char(kCan));

Timing quick() {
    Timing t;
    t.handshakeWaitMs = 300;
    t.handshakeRetryMs = 100;
    t.byteTimeoutMs = 10;
    t.blockTimeoutMs = 50;
    t.purgeQuietMs = 5;
    t.maxErrors = 3;
    return t;
}

}  // namespace

TEST(XmodemFrame, LayoutChecksumAndPadding) {
    const std::vector<std::uint8_t> data{1, 2, 3, 0xFF};
    const std::string frame = frameBlock(1, data.data(), data.size());
    ASSERT_EQ(frame.size(), 132u);
    EXPECT_EQ(std::uint8_t(frame[0]), kSoh);
    EXPECT_EQ(std::uint8_t(frame[1]), 1);
    EXPECT_EQ(std::uint8_t(frame[2]), 254);
    EXPECT_EQ(frame.substr(3, 4), std::string("\x01\x02\x03\xFF", 4));
    EXPECT_EQ(frame.substr(7, 124), std::string(124, char(kSub)));
    // 1 + 2 + 3 + 255 + 124 * 26 = 3485 = 0x0D9D
    EXPECT_EQ(std::uint8_t(frame[131]), 0x9D);

    const std::string wrap = frameBlock(0, data.data(), data.size());
    EXPECT_EQ(std::uint8_t(wrap[1]), 0);
    EXPECT_EQ(std::uint8_t(wrap[2]), 255);
}

// Sizes around the block boundary: the receiver gets every byte, then SUB padding to a whole block.
TEST(XmodemTransfer, SenderAndReceiverAgreeOnEverySize) {
    for (std::size_t size : {0u, 1u, 127u, 128u, 129u, 256u, 40000u}) {
        const auto data = pattern(size);
        FakeWire toReceiver, toSender;
        Sender sender(toReceiver, data);
        Receiver receiver(toSender);
        sender.start();
        receiver.start();
        std::vector<std::uint8_t> got;
        for (int rounds = 0; rounds < 1000 && !(sender.finished() && receiver.finished()); ++rounds) {
            sender.onBytes(toSender.take());
            receiver.onBytes(toReceiver.take());
            const auto chunk = receiver.takeData();
            got.insert(got.end(), chunk.begin(), chunk.end());
        }
        sender.onBytes(toSender.take());
        ASSERT_TRUE(sender.finished() && receiver.finished()) << size;
        EXPECT_EQ(sender.result(), Result::Ok) << size;
        EXPECT_EQ(receiver.result(), Result::Ok) << size;
        const std::size_t padded = (size + kBlockSize - 1) / kBlockSize * kBlockSize;
        ASSERT_EQ(got.size(), padded) << size;
        EXPECT_TRUE(std::equal(data.begin(), data.end(), got.begin())) << size;
        EXPECT_TRUE(std::all_of(got.begin() + long(size), got.end(), [](auto b) { return b == kSub; }));
        EXPECT_EQ(sender.bytesSent(), size);
    }
}

// The receiver's answer to each kind of frame after a good first block.
TEST(XmodemReceiver, AnswersFrames) {
    const auto data = pattern(3 * kBlockSize);
    std::string damagedSum = frameOf(2, data, 1);
    damagedSum[131] = char(damagedSum[131] + 1);
    std::string damagedNumber = frameOf(2, data, 1);
    damagedNumber[2] = 0;
    struct Case {
        const char* name;
        std::string input;
        std::string answer;
        std::size_t bytes;
        bool finished;
        Result result;
    } cases[] = {
        {"next block", frameOf(2, data, 1), kAckS, 256, false, Result::Ok},
        {"duplicate of the last block", frameOf(1, data, 0), kAckS, 128, false, Result::Ok},
        {"bad checksum", damagedSum, "", 128, false, Result::Ok},
        {"bad complement", damagedNumber, "", 128, false, Result::Ok},
        {"wrong block number", frameOf(3, data, 2), kCancelS, 128, true, Result::OutOfSync},
        {"end of transmission", kEotS, kAckS, 128, true, Result::Ok},
        {"cancel", std::string(2, char(kCan)), "", 128, true, Result::RemoteCancel},
        {"one CAN is noise", std::string(1, char(kCan)) + frameOf(2, data, 1), kAckS, 256, false, Result::Ok},
        {"noise before a block", "zz" + frameOf(2, data, 1), kAckS, 256, false, Result::Ok},
    };
    for (const Case& c : cases) {
        FakeWire wire;
        Receiver receiver(wire, quick());
        receiver.start();
        receiver.onBytes(frameOf(1, data, 0));
        ASSERT_EQ(wire.take(), kNakS + kAckS) << c.name;
        receiver.onBytes(c.input);
        EXPECT_EQ(wire.take(), c.answer) << c.name;
        EXPECT_EQ(receiver.bytesReceived(), c.bytes) << c.name;
        EXPECT_EQ(receiver.finished(), c.finished) << c.name;
        if (c.finished) {
            EXPECT_EQ(receiver.result(), c.result) << c.name;
            EXPECT_EQ(wire.timerMs, -1) << c.name;
        }
    }
}

TEST(XmodemReceiver, DamagedBlockIsRefusedOnceTheLineIsQuietThenTakenAgain) {
    const auto data = pattern(kBlockSize);
    std::string damaged = frameOf(1, data, 0);
    damaged[10] = char(damaged[10] ^ 1);
    FakeWire wire;
    Receiver receiver(wire, quick());
    receiver.start();
    wire.take();
    receiver.onBytes(damaged);
    EXPECT_EQ(wire.take(), "");
    EXPECT_EQ(wire.timerMs, quick().purgeQuietMs);
    receiver.onBytes("trailing noise");  // still purging: no answer yet
    EXPECT_EQ(wire.take(), "");
    receiver.onTimeout();
    EXPECT_EQ(wire.take(), kNakS);
    receiver.onBytes(frameOf(1, data, 0));
    EXPECT_EQ(wire.take(), kAckS);
    EXPECT_EQ(receiver.takeData(), data);
}

TEST(XmodemReceiver, TimeOuts) {
    {  // The opening NAK is repeated until the handshake wait is used up.
        FakeWire wire;
        Receiver receiver(wire, quick());
        receiver.start();
        EXPECT_EQ(wire.timerMs, 100);
        receiver.onTimeout();
        receiver.onTimeout();
        EXPECT_EQ(wire.take(), kNakS + kNakS + kNakS);
        receiver.onTimeout();
        EXPECT_TRUE(receiver.finished());
        EXPECT_EQ(receiver.result(), Result::Timeout);
        EXPECT_EQ(wire.take(), kCancelS);
    }
    {  // A block cut short is refused after the byte time-out.
        const auto data = pattern(kBlockSize);
        FakeWire wire;
        Receiver receiver(wire, quick());
        receiver.start();
        wire.take();
        receiver.onBytes(frameOf(1, data, 0).substr(0, 60));
        EXPECT_EQ(wire.timerMs, quick().byteTimeoutMs);
        receiver.onTimeout();
        EXPECT_EQ(wire.take(), kNakS);
        EXPECT_EQ(wire.timerMs, quick().blockTimeoutMs);
    }
    {  // Silence after a block: NAKs, then it gives up as a time-out.
        const auto data = pattern(kBlockSize);
        FakeWire wire;
        Receiver receiver(wire, quick());
        receiver.start();
        receiver.onBytes(frameOf(1, data, 0));
        wire.take();
        receiver.onTimeout();
        receiver.onTimeout();
        EXPECT_EQ(wire.take(), kNakS + kNakS);
        receiver.onTimeout();
        EXPECT_EQ(receiver.result(), Result::Timeout);
        EXPECT_EQ(wire.take(), kCancelS);
        EXPECT_EQ(receiver.takeData(), data);  // what came is still handed over
    }
}

TEST(XmodemReceiver, RepeatedDamageEndsWithTooManyErrors) {
    const auto data = pattern(kBlockSize);
    std::string damaged = frameOf(1, data, 0);
    damaged[131] = char(damaged[131] + 1);
    FakeWire wire;
    Receiver receiver(wire, quick());
    receiver.start();
    for (int i = 0; i < 3 && !receiver.finished(); ++i) {
        receiver.onBytes(damaged);
        receiver.onTimeout();
    }
    EXPECT_EQ(receiver.result(), Result::TooManyErrors);
}

TEST(XmodemReceiver, LocalCancelSendsCancelAndIgnoresTheRest) {
    FakeWire wire;
    Receiver receiver(wire, quick());
    receiver.start();
    wire.take();
    receiver.cancel();
    EXPECT_EQ(wire.take(), kCancelS);
    EXPECT_EQ(receiver.result(), Result::LocalCancel);
    receiver.onBytes(kEotS);
    receiver.onTimeout();
    EXPECT_EQ(wire.take(), "");
    EXPECT_EQ(receiver.result(), Result::LocalCancel);
}

TEST(XmodemReceiver, BlockNumbersWrapAfter255) {
    const auto data = pattern(300 * kBlockSize);
    FakeWire wire;
    Receiver receiver(wire, quick());
    receiver.start();
    for (std::size_t block = 0; block < 300; ++block) {
        receiver.onBytes(frameOf(std::uint8_t(block + 1), data, block));
    }
    receiver.onBytes(kEotS);
    EXPECT_EQ(receiver.result(), Result::Ok);
    EXPECT_EQ(receiver.takeData(), data);
}

// The sender's reaction to each answer while block 1 of 2 is in flight.
TEST(XmodemSender, AnswersToABlock) {
    const auto data = pattern(2 * kBlockSize);
    struct Case {
        const char* name;
        std::string input;
        std::string sent;
        bool finished;
        Result result;
    } cases[] = {
        {"ACK sends the next block", kAckS, frameOf(2, data, 1), false, Result::Ok},
        {"NAK sends the block again", kNakS, frameOf(1, data, 0), false, Result::Ok},
        {"noise is ignored", "xyz", "", false, Result::Ok},
        {"CAN CAN cancels", std::string(2, char(kCan)), "", true, Result::RemoteCancel},
        {"CAN, noise, CAN does not", std::string("\x18z\x18", 3), "", false, Result::Ok},
    };
    for (const Case& c : cases) {
        FakeWire wire;
        Sender sender(wire, data, quick());
        sender.start();
        EXPECT_EQ(wire.take(), "") << c.name;  // nothing before the receiver asks
        sender.onBytes("C");                    // a CRC request is not answered
        EXPECT_EQ(wire.take(), "") << c.name;
        sender.onBytes(kNakS);
        ASSERT_EQ(wire.take(), frameOf(1, data, 0)) << c.name;
        sender.onBytes(c.input);
        EXPECT_EQ(wire.take(), c.sent) << c.name;
        EXPECT_EQ(sender.finished(), c.finished) << c.name;
        if (c.finished) {
            EXPECT_EQ(sender.result(), c.result) << c.name;
        }
    }
}

TEST(XmodemSender, EndOfTransmissionIsRepeatedUntilAcknowledged) {
    const auto data = pattern(10);
    FakeWire wire;
    Sender sender(wire, data, quick());
    sender.start();
    sender.onBytes(kNakS);
    sender.onBytes(kAckS);
    EXPECT_EQ(wire.take(), frameOf(1, data, 0) + kEotS);
    sender.onBytes(kNakS);
    EXPECT_EQ(wire.take(), kEotS);
    sender.onTimeout();
    EXPECT_EQ(wire.take(), kEotS);
    EXPECT_FALSE(sender.finished());
    sender.onBytes(kAckS);
    EXPECT_EQ(sender.result(), Result::Ok);
    EXPECT_EQ(sender.bytesSent(), 10u);
}

TEST(XmodemSender, TimeOutsAndErrors) {
    const auto data = pattern(kBlockSize);
    {  // No receiver at all.
        FakeWire wire;
        Sender sender(wire, data, quick());
        sender.start();
        EXPECT_EQ(wire.timerMs, quick().handshakeWaitMs);
        sender.onTimeout();
        EXPECT_EQ(sender.result(), Result::Timeout);
        EXPECT_EQ(wire.take(), kCancelS);
    }
    {  // No answer to a block: sent again, then given up.
        FakeWire wire;
        Sender sender(wire, data, quick());
        sender.start();
        sender.onBytes(kNakS);
        wire.take();
        sender.onTimeout();
        sender.onTimeout();
        EXPECT_EQ(wire.take(), frameOf(1, data, 0) + frameOf(1, data, 0));
        sender.onTimeout();
        EXPECT_EQ(sender.result(), Result::Timeout);
        EXPECT_EQ(wire.take(), kCancelS);
    }
    {  // Refused again and again.
        FakeWire wire;
        Sender sender(wire, data, quick());
        sender.start();
        sender.onBytes(kNakS + kNakS + kNakS + kNakS);
        EXPECT_EQ(sender.result(), Result::TooManyErrors);
    }
    {  // Cancelled here.
        FakeWire wire;
        Sender sender(wire, data, quick());
        sender.start();
        sender.onBytes(kNakS);
        wire.take();
        sender.cancel();
        EXPECT_EQ(wire.take(), kCancelS);
        EXPECT_EQ(sender.result(), Result::LocalCancel);
        EXPECT_EQ(sender.bytesSent(), 0u);
    }
}
