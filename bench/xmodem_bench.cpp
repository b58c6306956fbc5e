// Times XMODEM over a pseudo-terminal pair (socat) at 115200 baud in both directions, each against
// lrzsz in the same run: sx -> rx, sx -> our receiver, our sender -> rx. Prints each time and the ratios
// ours / lrzsz's. The clock runs from the receiver's start until the receiver has the whole file; the
// sender is always started first and waits for the receiver's NAK.
//
// The harness blocks while it waits (an event loop with timers, never a spin): on a 2-core machine a
// spinning harness takes a core from the peers it times. A transfer whose receiver gains no byte for
// kStallMs is a failure, reported at once with the exit code 1, instead of a run that never ends.
//
//   build/bench/xmodem_bench [megabytes] [rounds]      (default 0.25 MB, 3 rounds)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "apdcomport.h"
#include "apdprotocol.h"
#include "ptypair.h"

using namespace orrery;
using orrery::testing::PtyPair;

namespace {

constexpr int kBaud = 115200;
// No byte gained by the receiver for this long: the transfer has stalled.
constexpr int kStallMs = 15000;
constexpr int kLookMs = 250;

struct Stalled {
    QString what;
};

// A peer on one end of the pair, run in folder (lrzsz wants plain file names).
class Peer {
public:
    Peer(const QString& command, const QString& tty, const QString& folder) {
        m_process.setWorkingDirectory(folder);
        m_process.start("sh", {"-c", command + " <" + tty + " >" + tty + " 2>/dev/null"});
        m_process.waitForStarted(5000);
    }
    ~Peer() {
        if (!ended()) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool ended() const { return m_process.state() == QProcess::NotRunning; }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

bool openPort(serial::TApdComPort& port, const QString& path) {
    serial::PortMap map;
    map.assign(1, path);
    port.setPortMap(map);
    port.setComNumber(1);
    port.setBaud(kBaud);
    return port.open();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Sleeps in the event loop (the sender's NAK wait goes on meanwhile).
void serveEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Blocks in the event loop until done() holds; wake(loop) connects the signal that ends the wait at once
// (a process's exit, the protocol's finish), so the time taken is not rounded up to a look. progress()
// is the receiver's byte count; when it has not grown for kStallMs the transfer is declared stalled.
void waitFor(const QString& what, const std::function<bool()>& done, const std::function<qint64()>& progress,
             const std::function<void(QEventLoop&)>& wake) {
    qint64 last = -1;
    QElapsedTimer sinceGain;
    sinceGain.start();
    while (!done()) {
        QEventLoop loop;
        wake(loop);
        QTimer::singleShot(kLookMs, &loop, &QEventLoop::quit);
        loop.exec();
        const qint64 now = progress();
        if (now != last) {
            last = now;
            sinceGain.restart();
        } else if (!done() && sinceGain.elapsed() > kStallMs) {
            throw Stalled{QStringLiteral("%1 stalled at %2 bytes").arg(what).arg(now)};
        }
    }
}

void waitForProcess(const QString& what, Peer& peer, const QString& file) {
    waitFor(
        what, [&] { return peer.ended(); }, [&] { return QFileInfo(file).size(); },
        [&](QEventLoop& loop) { QObject::connect(&peer.process(), &QProcess::finished, &loop, &QEventLoop::quit); });
}

// The sender must be waiting for the NAK before the clock starts.
constexpr int kSenderSettleMs = 300;

double lrzszBoth(const QString& folder) {
    PtyPair pair;
    const QString out = folder + "/out.bin";
    QFile::remove(out);
    Peer sender("sx -b -q in.bin", pair.b(), folder);
    serveEventsFor(kSenderSettleMs);
    QElapsedTimer clock;
    clock.start();
    Peer receiver("rx -b -q out.bin", pair.a(), folder);
    waitForProcess("sx -> rx", receiver, out);
    return clock.elapsed() / 1000.0;
}

double oursReceiving(const QString& folder) {
    PtyPair pair;
    serial::TApdComPort port;
    if (!openPort(port, pair.a())) {
        throw Stalled{"cannot open the pseudo-terminal: " + port.lastError()};
    }
    xmodem::TApdProtocol protocol(&port);
    int result = -1;
    QObject::connect(&protocol, &xmodem::TApdProtocol::protocolFinish, [&result](int code) { result = code; });
    Peer sender("sx -b -q in.bin", pair.b(), folder);
    serveEventsFor(kSenderSettleMs);
    protocol.setFileName(folder + "/ours.bin");
    QElapsedTimer clock;
    clock.start();
    protocol.startReceive();
    waitFor(
        "sx -> ours", [&] { return result >= 0; }, [&] { return protocol.bytesTransferred(); },
        [&](QEventLoop& loop) {
            QObject::connect(&protocol, &xmodem::TApdProtocol::protocolFinish, &loop, &QEventLoop::quit);
        });
    const double seconds = clock.elapsed() / 1000.0;
    if (result != 0) {
        throw Stalled{QStringLiteral("our receiver ended with: %1").arg(xmodem::describe(xmodem::Result(result)))};
    }
    waitFor(
        "sx's exit", [&] { return sender.ended(); }, [] { return 0; },
        [&](QEventLoop& loop) { QObject::connect(&sender.process(), &QProcess::finished, &loop, &QEventLoop::quit); });
    return seconds;
}

double oursSending(const QString& folder) {
    PtyPair pair;
    const QString out = folder + "/out.bin";
    QFile::remove(out);
    serial::TApdComPort port;
    if (!openPort(port, pair.a())) {
        throw Stalled{"cannot open the pseudo-terminal: " + port.lastError()};
    }
    xmodem::TApdProtocol protocol(&port);
    protocol.setFileName(folder + "/in.bin");
    protocol.startTransmit();
    serveEventsFor(kSenderSettleMs);
    QElapsedTimer clock;
    clock.start();
    Peer receiver("rx -b -q out.bin", pair.b(), folder);
    waitForProcess("ours -> rx", receiver, out);
    return clock.elapsed() / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 0.25;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    QTemporaryDir folder;
    QByteArray data(qsizetype(megabytes * 1'000'000), '\0');
    QRandomGenerator generator(1);
    for (auto& c : data) {
        c = char(generator.bounded(256));
    }
    QFile in(folder.filePath("in.bin"));
    if (!in.open(QIODevice::WriteOnly) || in.write(data) != data.size()) {
        std::fprintf(stderr, "cannot write the test file\n");
        return 2;
    }
    in.close();
    const qsizetype padded = (data.size() + 127) / 128 * 128;

    double lrzsz = 1e9, oursIn = 1e9, oursOut = 1e9;
    try {
        for (int round = 0; round < rounds; ++round) {
            lrzsz = std::min(lrzsz, lrzszBoth(folder.path()));
            oursIn = std::min(oursIn, oursReceiving(folder.path()));
            const QByteArray received = readFile(folder.filePath("ours.bin"));
            if (received.left(data.size()) != data || received.size() != padded) {
                std::fprintf(stderr, "our receiver's file differs\n");
                return 1;
            }
            oursOut = std::min(oursOut, oursSending(folder.path()));
            if (readFile(folder.filePath("out.bin")).left(data.size()) != data) {
                std::fprintf(stderr, "rx's file from our sender differs\n");
                return 1;
            }
        }
    } catch (const Stalled& stall) {
        std::fprintf(stderr, "xmodem_bench: %s\n", qPrintable(stall.what));
        return 1;
    }
    std::printf("XMODEM, %.2f MB over a pty pair at %d baud, best of %d rounds (seconds)\n", megabytes, kBaud,
                rounds);
    std::printf("  receive: sx -> rx %.3f   sx -> ours %.3f   ratio %.3f\n", lrzsz, oursIn, oursIn / lrzsz);
    std::printf("  send:    sx -> rx %.3f   ours -> rx %.3f   ratio %.3f\n", lrzsz, oursOut, oursOut / lrzsz);
    return 0;
}
