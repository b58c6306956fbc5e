// TApdProtocol against lrzsz over a socat pseudo-terminal pair: sx sends to our receiver, our sender
// sends to rx, for sizes around the block boundary, a large file and random bytes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <memory>

#include "apdcomport.h"
#include "apdprotocol.h"
#include "ptypair.h"

using namespace orrery;
using namespace orrery::xmodem;
using orrery::testing::PtyPair;
using orrery::testing::spinUntil;

namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "xmodem_lrzsz_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

QByteArray randomBytes(qsizetype size, quint32 seed) {
    QRandomGenerator generator(seed);
    QByteArray out(size, '\0');
    for (auto& c : out) {
        c = char(generator.bounded(256));
    }
    return out;
}

QByteArray padded(const QByteArray& data) {
    const qsizetype blocks = (data.size() + kBlockSize - 1) / kBlockSize;
    return data + QByteArray(blocks * kBlockSize - data.size(), char(kSub));
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The port object on pseudo-terminal a, the peer program at its far end.
class LrzszTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { app(); }
    // Starts the peer (or, with no command, a plain pty pair whose other end stays silent) and opens
    // the port on it. Files live in the pair's folder, where the peer runs.
    void startPeer(const QString& command = QString()) {
        pair = command.isEmpty() ? std::make_unique<PtyPair>() : std::make_unique<PtyPair>(command, files.path());
        ASSERT_TRUE(pair->ok()) << "socat did not make the pseudo-terminal";
        serial::PortMap map;
        map.assign(1, pair->a());
        port.setPortMap(map);
        port.setComNumber(1);
        ASSERT_TRUE(port.open()) << port.lastError().toStdString();
    }
    QString path(const QString& name) const { return files.filePath(name); }
    bool peerEnded() const { return pair->peerEnded(); }

    QTemporaryDir files;
    std::unique_ptr<PtyPair> pair;
    serial::TApdComPort port;
};

const int kSizes[] = {0, 1, 127, 128, 129, 1000, 1000000};

}  // namespace

TEST_P(LrzszTest, SxSendsToOurReceiver) {
    const QByteArray data = randomBytes(GetParam(), quint32(GetParam()) + 1);
    const QString source = path("source.bin");
    const QString target = path("target.bin");
    ASSERT_TRUE(writeFile(source, data));

    TApdProtocol protocol(&port);
    QSignalSpy finished(&protocol, &TApdProtocol::protocolFinish);
    protocol.setFileName(target);
    startPeer("sx -b -q source.bin");
    protocol.startReceive();
    ASSERT_TRUE(spinUntil([&] { return finished.count() > 0; }, 120000));
    EXPECT_FALSE(QFile::exists(TApdProtocol::partialPath(target)));
    if (data.isEmpty()) {
        // A sender that ends before its first block brought nothing: never an empty "complete" file.
        EXPECT_EQ(finished.at(0).at(0).toInt(), int(Result::NothingReceived));
        EXPECT_FALSE(QFile::exists(target));
        EXPECT_EQ(protocol.savedPath(), QString());
    } else {
        EXPECT_EQ(finished.at(0).at(0).toInt(), int(Result::Ok));
        EXPECT_EQ(readFile(target), padded(data));
        EXPECT_EQ(protocol.savedPath(), target);
    }
    ASSERT_TRUE(spinUntil([&] { return peerEnded(); }, 10000));
}

TEST_P(LrzszTest, OurSenderSendsToRx) {
    const QByteArray data = randomBytes(GetParam(), quint32(GetParam()) + 2);
    const QString source = path("source.bin");
    const QString target = path("target.bin");
    ASSERT_TRUE(writeFile(source, data));

    TApdProtocol protocol(&port);
    QSignalSpy finished(&protocol, &TApdProtocol::protocolFinish);
    protocol.setFileName(source);
    startPeer("rx --delay-startup 1 -b -q target.bin");  // its first NAK after the port is open
    protocol.startTransmit();
    ASSERT_TRUE(spinUntil([&] { return finished.count() > 0; }, 120000));
    EXPECT_EQ(finished.at(0).at(0).toInt(), int(Result::Ok));
    EXPECT_EQ(protocol.bytesTransferred(), data.size());
    ASSERT_TRUE(spinUntil([&] { return peerEnded(); }, 10000));
    EXPECT_EQ(readFile(target), padded(data));
}

INSTANTIATE_TEST_SUITE_P(Sizes, LrzszTest, ::testing::ValuesIn(kSizes));

// A receiver with no sender ends by time-out and keeps no file.
TEST_F(LrzszTest, SilentPeerTimesOut) {
    startPeer();
    TApdProtocol protocol(&port);
    Timing timing;
    timing.handshakeWaitMs = 600;
    timing.handshakeRetryMs = 200;
    protocol.setTiming(timing);
    QSignalSpy finished(&protocol, &TApdProtocol::protocolFinish);
    const QString target = path("silent.bin");
    protocol.setFileName(target);
    protocol.startReceive();
    ASSERT_TRUE(spinUntil([&] { return finished.count() > 0; }, 20000));
    EXPECT_EQ(finished.at(0).at(0).toInt(), int(Result::Timeout));
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_FALSE(QFile::exists(TApdProtocol::partialPath(target)));
    EXPECT_TRUE(protocol.savedPath().isEmpty());
}

// Cancelling a transfer in flight ends it with the partial data under the marked name and sx told to
// stop; an older file under the chosen name stays as it was.
TEST_F(LrzszTest, CancelKeepsPartialDataUnderTheMarkedName) {
    const QString source = path("big.bin");
    const QString target = path("target.bin");
    ASSERT_TRUE(writeFile(source, randomBytes(300000, 9)));
    ASSERT_TRUE(writeFile(target, "older recording"));
    TApdProtocol protocol(&port);
    QSignalSpy finished(&protocol, &TApdProtocol::protocolFinish);
    protocol.setFileName(target);
    startPeer("sx -b -q big.bin");
    QSignalSpy status(&protocol, &TApdProtocol::protocolStatus);
    protocol.setStatusInterval(1);
    protocol.startReceive();
    ASSERT_TRUE(spinUntil([&] { return protocol.bytesTransferred() >= 4096 && status.count() > 0; }, 60000));
    protocol.cancelProtocol();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), int(Result::LocalCancel));
    EXPECT_EQ(readFile(target), "older recording");
    EXPECT_EQ(protocol.savedPath(), TApdProtocol::partialPath(target));
    const QByteArray partial = readFile(protocol.savedPath());
    EXPECT_EQ(partial.size(), protocol.bytesTransferred());
    EXPECT_EQ(partial, readFile(source).left(partial.size()));
    EXPECT_GT(status.count(), 0);
    ASSERT_TRUE(spinUntil([&] { return peerEnded(); }, 30000));
}
