// The link primitives over the in-process line: bytes on the wire, waits, memory reads, the settings
// check, the terminal gate and the re-entry guard.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "farend.h"

using namespace orrery;
using namespace orrery::link;
using namespace orrery::link::testing;

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out += char(quint8(v));
    return out;
}

class Primitives : public ::testing::Test, public LinkBench {};

TEST_F(Primitives, ReceivedFFIsAByteNotATimeOut) {
    line.send(bytes({0xFF, 0x00, 0xFF}));
    EXPECT_EQ(link.PollByte(), 255);
    EXPECT_EQ(link.WaitByte(500), 0);
    EXPECT_EQ(link.WaitByte(500), 255);
    EXPECT_EQ(link.PollByte(), -1);
}

TEST_F(Primitives, WaitByteReturnsTheByteThatArrivesDuringTheWait) {
    farEnd.setRule([](quint8 b) { return b == kIdentifyCommand ? bytes({kIdentifyCommand}) : QByteArray(); });
    ASSERT_TRUE(link.SendByte(kIdentifyCommand));
    EXPECT_EQ(link.WaitByte(2000), kIdentifyCommand);
}

TEST_F(Primitives, TimeOutOnASilentLineKeepsTheEventLoopRunning) {
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(10);
    EXPECT_EQ(link.WaitByte(300), -1);
    EXPECT_GT(ticks, 2) << "timers kept firing while the link waited";
}

TEST_F(Primitives, SentBytesGoOutInOrderWithTheirLowEightBits) {
    ASSERT_TRUE(link.SendByte(0x10C));
    ASSERT_TRUE(link.SendBytes(bytes({0x80, 0x00, 0xFF})));
    const quint8 raw[] = {1, 2};
    ASSERT_TRUE(link.SendBytes(raw, 2));
    EXPECT_EQ(link.SendRunCommand(), 0);
    EXPECT_EQ(farEnd.heard(), bytes({0x0C, 0x80, 0x00, 0xFF, 1, 2, 0x12}));
}

TEST_F(Primitives, FlushPortDiscardsWaitingInputAndQueuedOutput) {
    line.holdOutput(true);
    ASSERT_TRUE(link.SendBytes(QByteArray("queued")));
    EXPECT_EQ(link.OutputPending(), 6);
    line.send("stale");
    link.FlushPort();
    EXPECT_EQ(link.OutputPending(), 0);
    EXPECT_EQ(link.PollByte(), -1);
    line.holdOutput(false);
    EXPECT_EQ(farEnd.heard(), QByteArray());
}

TEST_F(Primitives, DrainWaitsForTheLineToTakeTheQueue) {
    line.holdOutput(true);
    ASSERT_TRUE(link.SendBytes(QByteArray(100, 'x')));
    EXPECT_EQ(link.OutputPending(), 100);
    QTimer::singleShot(0, [this] { line.holdOutput(false); });
    QCoreApplication::processEvents();
    EXPECT_TRUE(link.DrainOutput());
    EXPECT_EQ(link.OutputPending(), 0);
    EXPECT_EQ(farEnd.heard().size(), 100);
}

// A line that stopped transmitting (flow control held, adapter gone) must not hang a send or a drain.
TEST_F(Primitives, StalledOrClosedPortFailsSendsAndDrainsUntilTheNextClaim) {
    const struct {
        const char* what;
        std::function<void(LinkBench&)> fault;
        std::function<bool(LoggerLink&)> operation;
    } cases[] = {
        {"drain, output held",
         [](LinkBench& b) {
             b.line.holdOutput(true);
             (void)b.link.SendByte('a');
         },
         [](LoggerLink& l) { return l.DrainOutput(); }},
        {"send, output buffer full",
         [](LinkBench& b) {
             b.line.holdOutput(true);
             b.port.putBlock(QByteArray(serial::TApdComPort::kOutBufferSize, 'x'));
         },
         [](LoggerLink& l) { return l.SendByte('a'); }},
        {"send, port unplugged", [](LinkBench& b) { b.line.unplug(); },
         [](LoggerLink& l) { return l.SendByte('a'); }},
        {"drain, port closed", [](LinkBench& b) { b.port.close(); },
         [](LoggerLink& l) { return l.DrainOutput(); }},
    };
    for (const auto& c : cases) {
        LinkBench b;
        auto claim = b.link.claim();
        ASSERT_TRUE(claim) << c.what;
        c.fault(b);
        EXPECT_FALSE(c.operation(b.link)) << c.what;
        EXPECT_TRUE(b.link.lineFailed()) << c.what;
        EXPECT_FALSE(b.link.SendByte('b')) << c.what << ": later sends fail at once";
    }
    // A held line that comes back: the failure ends with the command that saw it.
    LinkBench b;
    {
        auto claim = b.link.claim();
        b.line.holdOutput(true);
        (void)b.link.SendByte('a');
        EXPECT_FALSE(b.link.DrainOutput());
    }
    b.line.holdOutput(false);
    b.link.FlushPort();
    auto claim = b.link.claim();
    ASSERT_TRUE(claim);
    EXPECT_FALSE(b.link.lineFailed());
    EXPECT_TRUE(b.link.SendByte('c'));
    EXPECT_EQ(b.farEnd.heard(), "c");
}

TEST_F(Primitives, StallBoundFollowsTheBaudRate) {
    link.setStallTimeoutMs(0);
    const struct {
        int baud;
        int ms;
    } cases[] = {{115200, 5000}, {19200, 5000}, {9600, 6266}, {1200, 36133}, {300, 138533}};
    for (const auto& c : cases) {
        port.setBaud(c.baud);
        EXPECT_EQ(link.stallTimeoutMs(), c.ms) << c.baud;
    }
}

// --- memory reads ------------------------------------------------------------------------------------

class MemoryReads : public Primitives {
protected:
    MemoryReads() { farEnd.setRule(logger.rule()); }
    MemoryLogger logger;
};

TEST_F(MemoryReads, ExactBytesOnTheLine) {
    const struct {
        quint16 address;
        int count;
        QByteArray sent;
    } cases[] = {
        {0xFFE8, 1, bytes({0x16, 'f', 'f', 'e', '8', 0x0D, 0x01})},
        {0x0100, 2, bytes({0x16, '1', '0', '0', 0x0D, 0x02})},
        {0x0000, 255, bytes({0x16, '0', 0x0D, 0xFF})},
        {0x8000, 4, bytes({0x16, '8', '0', '0', '0', 0x0D, 0x04})},
    };
    for (const auto& c : cases) {
        farEnd.heard();
        const QByteArray before = farEnd.heard();
        quint8 buffer[255] = {};
        EXPECT_EQ(link.ReadLoggerMemory(buffer, c.address, c.count), MemoryRead::Done) << c.address;
        EXPECT_EQ(farEnd.heard().mid(before.size()), c.sent) << c.address;
    }
}

TEST_F(MemoryReads, DataAndChecksum) {
    logger.memory[0xFFE8] = char(0x5A);
    quint8 one = 0;
    EXPECT_EQ(link.ReadLoggerMemory(&one, 0xFFE8, 1), MemoryRead::Done)
        << "checksum 0xFF + 0xE8 + 0x01 + 0x5A";
    EXPECT_EQ(one, 0x5A);

    logger.memory[0xFFFF] = char(0x11);
    logger.memory[0x0000] = char(0x22);
    quint8 wrapped[2] = {};
    EXPECT_EQ(link.ReadLoggerMemory(wrapped, 0xFFFF, 2), MemoryRead::Done);
    EXPECT_EQ(wrapped[1], 0x22);
}

TEST_F(MemoryReads, ChecksumOffByOneFailsWithTheDataKept) {
    for (int offset : {1, -1}) {
        logger.checksumOffset = offset;
        logger.memory.replace(0x0100, 3, "abc");
        quint8 buffer[3] = {};
        EXPECT_EQ(link.ReadLoggerMemory(buffer, 0x0100, 3), MemoryRead::Failed) << offset;
        EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer), 3), "abc") << offset;
    }
}

TEST_F(MemoryReads, SilenceAtAnyStepFailsTheRead) {
    for (int step : {0, 1, 2, 3}) {
        logger.silentAfterStep = step;
        quint8 buffer[8] = {};
        EXPECT_EQ(link.ReadLoggerMemory(buffer, 0x0200, 8), MemoryRead::Failed) << step;
        line.send(QByteArray());  // nothing left over matters: the next case starts a fresh exchange
        while (link.PollByte() >= 0) {
        }
    }
}

TEST_F(MemoryReads, CountsOutsideOneTo255FailWithoutSending) {
    quint8 buffer[1];
    for (int count : {0, 256, -1}) {
        EXPECT_EQ(link.ReadLoggerMemory(buffer, 0x100, count), MemoryRead::Failed) << count;
    }
    EXPECT_EQ(farEnd.heard(), QByteArray());
}

TEST_F(MemoryReads, LongIsReversedIntoHostOrderOnlyOnSuccess) {
    logger.memory.replace(0x0300, 4, bytes({0x12, 0x34, 0x56, 0x78}));
    quint8 value[4] = {};
    EXPECT_EQ(link.ReadLoggerLong(0x0300, value), MemoryRead::Done);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(value), 4), bytes({0x78, 0x56, 0x34, 0x12}));

    logger.checksumOffset = 1;
    EXPECT_EQ(link.ReadLoggerLong(0x0300, value), MemoryRead::Failed);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(value), 4), bytes({0x12, 0x34, 0x56, 0x78}));
}

TEST_F(MemoryReads, StringIsLengthThenCharacters) {
    logger.memory.replace(0x0400, 6, bytes({5, 'H', 'e', 'l', 'l', 'o'}));
    logger.memory[0x0500] = 0;
    quint8 length = 99;
    quint8 text[255] = {};
    EXPECT_EQ(link.ReadLoggerString(0x0400, length, text), MemoryRead::Done);
    EXPECT_EQ(length, 5);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(text), 5), "Hello");

    const QByteArray before = farEnd.heard();
    EXPECT_EQ(link.ReadLoggerString(0x0500, length, text), MemoryRead::Done);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(farEnd.heard().mid(before.size()), bytes({0x16, '5', '0', '0', 0x0D, 1}))
        << "an empty string needs no second read";

    logger.checksumOffset = 1;
    length = 99;
    EXPECT_EQ(link.ReadLoggerString(0x0400, length, text), MemoryRead::Failed);
    EXPECT_EQ(length, 99) << "the length is written only when both reads succeed";
}

// --- settings check ----------------------------------------------------------------------------------

TEST_F(Primitives, CheckLinkSettingsNamesTheFirstSettingThatIsWrong) {
    const struct {
        int dataBits;
        serial::SwFlow flow;
        bool ok;
        const QString* message;
    } cases[] = {
        {7, serial::SwFlow::None, false, &kDataBitsMessage},
        {7, serial::SwFlow::Both, false, &kDataBitsMessage},
        {8, serial::SwFlow::Transmit, false, &kFlowControlMessage},
        {8, serial::SwFlow::Receive, false, &kFlowControlMessage},
        {8, serial::SwFlow::Both, false, &kFlowControlMessage},
        // Hardware (RTS/CTS) flow control is not part of the check; the line settings carry none.
        {8, serial::SwFlow::None, true, nullptr},
    };
    for (const auto& c : cases) {
        ScriptedPrompts fresh;
        LoggerLink probe(port, fresh);
        port.setDataBits(c.dataBits);
        port.setSwFlowOptions(c.flow);
        EXPECT_EQ(probe.CheckLinkSettings(), c.ok) << c.dataBits << int(c.flow);
        EXPECT_EQ(fresh.messages(), c.message ? QStringList{*c.message} : QStringList{});
    }
}

// --- the terminal gate and the re-entry guard --------------------------------------------------------

class RecordingGate : public TerminalGate {
public:
    QStringList calls;
    void suspendTerminal() override { calls << "suspend"; }
    void resumeTerminal() override { calls << "resume"; }
    void bringTerminalToFront() override { calls << "front"; }
};

TEST_F(Primitives, TerminalHoldResumesOnEveryPath) {
    RecordingGate gate;
    link.setTerminalGate(&gate);
    {
        TerminalHold hold(link);
        EXPECT_TRUE(link.terminalSuspended());
    }
    {
        TerminalHold hold(link);
        hold.resume();
        EXPECT_FALSE(link.terminalSuspended());
    }
    EXPECT_EQ(gate.calls, (QStringList{"suspend", "resume", "suspend", "resume"}));
}

TEST_F(Primitives, SecondClaimIsRefusedWithAMessageUntilTheFirstEnds) {
    QSignalSpy busy(&link, &LoggerLink::busyChanged);
    QSignalSpy idle(&link, &LoggerLink::idle);
    {
        auto first = link.claim();
        ASSERT_TRUE(first);
        EXPECT_TRUE(link.isBusy());
        EXPECT_FALSE(link.claim());
        EXPECT_FALSE(link.tryClaim());
        auto moved = std::move(*first);
        EXPECT_TRUE(link.isBusy()) << "a moved claim still holds the line";
    }
    EXPECT_FALSE(link.isBusy());
    EXPECT_EQ(prompts.messages(), QStringList{kBusyMessage});
    EXPECT_EQ(busy.count(), 2);
    EXPECT_EQ(idle.count(), 1);
    EXPECT_TRUE(link.claim());
}

TEST_F(Primitives, ClosedPortIsRefusedByNameBeforeAnyExchange) {
    const struct {
        std::function<void(LinkBench&)> setUp;
        QString message;
    } cases[] = {
        {[](LinkBench& b) { b.port.close(); },
         "COM1 (/dev/virt1) is not open\nSelect CommPort | Port setup... to open it."},
        {[](LinkBench& b) { b.line.unplug(); },
         "COM1 (/dev/virt1) is not open\nCOM1 (/dev/virt1): the device was disconnected\n"
         "Select CommPort | Port setup... to open it."},
        {[](LinkBench& b) {
             b.port.close();
             b.port.setComNumber(0);
         },
         "No active Com Port"},
    };
    for (const auto& c : cases) {
        LinkBench b;
        c.setUp(b);
        EXPECT_FALSE(b.link.claim());
        EXPECT_EQ(b.prompts.messages(), QStringList{c.message});
        EXPECT_FALSE(b.link.isBusy());
    }
}

TEST_F(Primitives, AbandonEndsTheWaitAtOnceAndSilencesReports) {
    auto claim = link.claim();
    QTimer::singleShot(20, [this] { link.abandon(); });
    EXPECT_EQ(link.WaitByte(60000), -1);
    EXPECT_TRUE(link.abandoned());
    link.report(kNotResponding);
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_TRUE(link.SendByte(kLoadCommand)) << "a command may still leave the logger in a clean state";
    claim.reset();
    ASSERT_TRUE(link.claim());
    EXPECT_FALSE(link.abandoned()) << "the next command starts afresh";
}

}  // namespace
