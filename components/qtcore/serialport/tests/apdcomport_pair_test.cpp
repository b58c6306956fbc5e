// The port object's own rules, over the in-process line: buffering, flushing, break, errors, loss.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "apdcomport.h"
#include "pairbackend.h"

using namespace orrery::serial;

namespace {

class PairPort : public ::testing::Test {
protected:
    PairPort() : line(bench->addDevice("/dev/virt1")) {
        PortMap map;
        map.assign(1, "/dev/virt1");
        map.assign(2, "/dev/virt2");
        map.assign(3, "/dev/absent");
        bench->addDevice("/dev/virt2");
        port.setBackendFactory(bench->factory());
        port.setPortMap(map);
        port.setComNumber(1);
    }
    std::shared_ptr<PairBench> bench = std::make_shared<PairBench>();
    VirtualLine& line;
    TApdComPort port;
};

TEST_F(PairPort, OpenFailuresNameThePortTheDeviceAndTheReason) {
    const struct {
        int number;
        const char* failure;  // made to happen on /dev/virt1 before opening COM1
        const char* expected;
    } cases[] = {
        {0, "", "No port selected"},
        {4, "", "COM4: no device is assigned to this port"},
        {3, "", "COM3 (/dev/absent): no such device"},
        {1, kInUse, "COM1 (/dev/virt1): in use by another program"},
        {1, kPermissionDenied, "COM1 (/dev/virt1): permission denied: add yourself to the dialout group"},
    };
    for (const auto& c : cases) {
        line.failNextOpens(QString::fromLatin1(c.failure));
        port.setComNumber(c.number);
        EXPECT_FALSE(port.open()) << c.expected;
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(port.lastError(), QString::fromLatin1(c.expected));
    }
}

TEST_F(PairPort, SecondOpenerOfTheSameDeviceIsTurnedAway) {
    ASSERT_TRUE(port.open());
    TApdComPort other;
    other.setBackendFactory(bench->factory());
    other.setPortMap(port.portMap());
    other.setComNumber(1);
    EXPECT_FALSE(other.open());
    EXPECT_EQ(other.lastError(), "COM1 (/dev/virt1): in use by another program");
    EXPECT_FALSE(other.probe(1));
    EXPECT_TRUE(other.probe(2));
    EXPECT_FALSE(other.probe(3));
    EXPECT_TRUE(port.probe(1)) << "our own open port counts as available to us";
    EXPECT_EQ(bench->line("/dev/virt2")->isOpen(), false) << "a probe closes again at once";
}

TEST_F(PairPort, BytesBothWaysAndUnreadBytesStayBuffered) {
    QSignalSpy available(&port, &TApdComPort::dataAvailable);
    ASSERT_TRUE(port.open());
    port.putChar(0x0C);
    port.putBlock(QByteArray("\x01\x02\xff", 3));
    EXPECT_EQ(line.takeReceived(), QByteArray("\x0c\x01\x02\xff", 4));

    line.send("ab");
    line.send(QByteArray("\x00\x13", 2));
    EXPECT_EQ(available.count(), 2);
    ASSERT_TRUE(port.charReady());
    EXPECT_EQ(port.getChar(), 'a');
    EXPECT_EQ(port.readAvailable(), QByteArray("b\x00\x13", 3));
    EXPECT_FALSE(port.charReady());
    EXPECT_EQ(port.getChar(), -1);
}

TEST_F(PairPort, OutputBufferCountsAndFlushes) {
    ASSERT_TRUE(port.open());
    EXPECT_EQ(port.outBuffUsed(), 0);
    EXPECT_EQ(port.outBuffFree(), TApdComPort::kOutBufferSize);
    line.holdOutput(true);
    port.putBlock(QByteArray(100, 'x'));
    EXPECT_EQ(port.outBuffUsed(), 100);
    EXPECT_EQ(port.outBuffFree(), TApdComPort::kOutBufferSize - 100);
    port.putBlock(QByteArray(TApdComPort::kOutBufferSize, 'y'));
    EXPECT_EQ(port.outBuffFree(), 0) << "an overfull queue reads as no free space, never negative";
    port.flushOutBuffer();
    EXPECT_EQ(port.outBuffUsed(), 0);
    line.holdOutput(false);
    port.putChar('z');
    EXPECT_EQ(line.takeReceived(), "z") << "flushed bytes are never sent";
}

TEST_F(PairPort, FlushInDiscardsBothTheBufferAndWhatTheDeviceHolds) {
    ASSERT_TRUE(port.open());
    line.send("old");
    port.flushInBuffer();
    EXPECT_FALSE(port.charReady());
    line.send("new");
    EXPECT_EQ(port.readAvailable(), "new");
}

TEST_F(PairPort, BreakFollowsTheCallsAndEndsWithThePort) {
    EXPECT_FALSE(port.setBreak(true)) << "no break on a closed port";
    ASSERT_TRUE(port.open());
    EXPECT_TRUE(port.setBreak(true));
    EXPECT_TRUE(line.breakOn());
    EXPECT_TRUE(port.breakOn());
    EXPECT_TRUE(port.setBreak(false));
    EXPECT_FALSE(line.breakOn());
    EXPECT_TRUE(port.setBreak(true));
    port.close();
    EXPECT_FALSE(port.breakOn());
    EXPECT_FALSE(line.breakOn());
    EXPECT_EQ(line.breakChanges(), 3);
}

TEST_F(PairPort, SettingsReachTheLineWhenOpenAndLive) {
    port.setBaud(9600);
    port.setDataBits(7);
    port.setStopBits(2);
    port.setParity(Parity::Even);
    port.setSwFlowOptions(SwFlow::Both);
    ASSERT_TRUE(port.open());
    EXPECT_EQ(line.settings(), (LineSettings{9600, 7, 2, Parity::Even, SwFlow::Both}));
    port.setBaud(300);
    port.setParity(Parity::None);
    EXPECT_EQ(line.settings().baud, 300);
    EXPECT_EQ(line.settings().parity, Parity::None);
}

TEST_F(PairPort, SettingsTheDeviceRefusesLeaveThePortClosedWithTheReason) {
    line.refuseDataBits(7);
    port.setDataBits(7);
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.lastError(), "COM1 (/dev/virt1): the device refuses these settings (7 data bits)");
    EXPECT_FALSE(line.isOpen()) << "the device is not left half-open";
}

TEST_F(PairPort, UnpluggedDeviceClosesThePortAndSaysSo) {
    QSignalSpy lost(&port, &TApdComPort::portLost);
    QSignalSpy openChanged(&port, &TApdComPort::openChanged);
    ASSERT_TRUE(port.open());
    line.holdOutput(true);
    port.putBlock("pending");
    line.unplug();
    ASSERT_EQ(lost.count(), 1);
    EXPECT_EQ(lost.at(0).at(0).toString(), "COM1 (/dev/virt1): the device was disconnected");
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(openChanged.count(), 2);
    // Loops that wait for room or for a byte end instead of spinning on a dead port.
    EXPECT_EQ(port.outBuffFree(), TApdComPort::kOutBufferSize);
    EXPECT_FALSE(port.charReady());
    port.putChar('x');  // harmless
    EXPECT_TRUE(port.open()) << "the device came back";
}

TEST_F(PairPort, ReopenKeepsSettingsAndStartsWithEmptyBuffers) {
    ASSERT_TRUE(port.open());
    line.send("stale");
    ASSERT_TRUE(port.open());
    EXPECT_EQ(line.openCount(), 2);
    EXPECT_FALSE(port.charReady()) << "bytes of the previous session are not served to the new one";
    port.setComNumber(2);
    ASSERT_TRUE(port.open());
    EXPECT_FALSE(line.isOpen()) << "switching ports releases the old device";
    EXPECT_TRUE(bench->line("/dev/virt2")->isOpen());
}

TEST_F(PairPort, ComNumberOutsideTheRangeMeansNoPort) {
    for (int bad : {-1, 10, 99}) {
        port.setComNumber(bad);
        EXPECT_EQ(port.comNumber(), 0) << bad;
    }
}

}  // namespace
