// The simulated logger at the far end of the in-process serial line, talking to the real port object.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <memory>

#include "apdcomport.h"
#include "loggeronline.h"
#include "pairbackend.h"

using namespace orrery;
using namespace orrery::loggersim;

namespace {

class LoggerOnLineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "loggersim_line_tests";
            static char* argv[] = {name, nullptr};
            new QCoreApplication(argc, argv);
        }
    }

    void attach(LoggerSetup setup, LineFaults faults = {}) {
        bench = std::make_shared<serial::PairBench>();
        serial::VirtualLine& line = bench->addDevice(QStringLiteral("/dev/simlogger"));
        logger = std::make_unique<LoggerOnLine>(line, std::move(setup), faults);
        port.setBackendFactory(bench->factory());
        serial::PortMap map;
        map.assign(1, QStringLiteral("/dev/simlogger"));
        port.setPortMap(map);
        port.setComNumber(1);
        ASSERT_TRUE(port.open()) << port.lastError().toStdString();
    }

    // Reads from the port until `count` bytes have come or the deadline has passed, serving events as
    // the workbench's waits do.
    QByteArray readBytes(int count, int deadlineMs = 5000) {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < count && clock.elapsed() < deadlineMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            while (got.size() < count && port.charReady()) got += char(port.getChar());
        }
        return got;
    }

    std::shared_ptr<serial::PairBench> bench;
    std::unique_ptr<LoggerOnLine> logger;
    serial::TApdComPort port;
};

TEST_F(LoggerOnLineTest, AnswersThePortThroughTheEventLoop) {
    attach(defaultSetup(400));
    port.putChar(0x16);
    EXPECT_FALSE(port.charReady()) << "no answer from inside the port's own transmit";
    EXPECT_EQ(readBytes(1), QByteArray("\x16"));
    port.putBlock("ffe8\r");
    EXPECT_EQ(readBytes(1), QByteArray("\xff"));
    port.putChar(0x01);
    const QByteArray reply = readBytes(3);
    EXPECT_EQ(reply, QByteArray::fromHex("ffa4") + char((0xFF + 0xE8 + 1 + 164) & 0xFF));

    // A load through the port lands in the model's memory.
    port.putChar(0x0C);
    EXPECT_EQ(readBytes(1), QByteArray("\x0c"));
    port.putBlock(QByteArray::fromHex("03aabbcc00"));
    EXPECT_EQ(readBytes(1), QByteArray()) << "nothing after the echo";
    EXPECT_EQ(logger->model().memory()[0x0140], 0xAA);
    EXPECT_EQ(logger->model().memory()[0x0142], 0xCC);
}

TEST_F(LoggerOnLineTest, FaultsApplyOnTheInProcessLineToo) {
    LineFaults faults;
    faults.delay = 2'000'000;
    attach(defaultSetup(510), faults);
    port.putChar(0x0D);
    QCoreApplication::processEvents();
    EXPECT_FALSE(port.charReady()) << "the answer waits for the delay";
    EXPECT_EQ(readBytes(3, 10000), QByteArray("\r\n#"));
}

TEST_F(LoggerOnLineTest, BytesSentWhileThePortIsClosedAreLost) {
    attach(defaultSetup(510));
    port.putChar(0x0D);
    port.close();
    QElapsedTimer clock;
    clock.start();
    while (!logger->line().quiet() && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(port.open());
    port.putChar(0x13);
    EXPECT_EQ(readBytes(2), QByteArray("\x13\x22")) << "the prompt of before is gone";
}

}  // namespace
