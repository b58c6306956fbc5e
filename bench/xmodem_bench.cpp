// Times XMODEM at 115200 baud in both directions, each against lrzsz in the same run: sx -> rx, sx -> our
// receiver, our sender -> rx. Prints each time and the ratios ours / lrzsz's. Our port sits on a
// pseudo-terminal made by socat; the lrzsz programs talk through pipes (sx -> rx: socat joins the two
// programs' pipes). lrzsz's rx discards its input right after each acknowledgement; on a terminal a
// block that arrives in that instant is lost until rx's time-out (6 s), for sx as for us, which made the
// figures a lottery. On a pipe the discard does nothing, so the run measures the protocol engines.
//
// The clock runs from the receiver's start until it has the whole file. rx starts 0.3 s after its pipe
// (a two-line script, socat's EXEC takes no quotes), so that our port is open and the sender waiting
// first; the 0.3 s are taken off.
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

// The receiver starts this long after its pipe, and the clock is corrected by as much.
constexpr int kReceiverDelayMs = 300;
const QString kDelayedRx = QStringLiteral("sh delayed-rx.sh");

// socat joining two programs' pipes, run in folder (lrzsz wants plain file names).
class PipedPair {
public:
    PipedPair(const QString& first, const QString& second, const QString& folder) {
        m_process.setWorkingDirectory(folder);
        m_process.start("socat", {"EXEC:" + first + ",pipes", "EXEC:" + second + ",pipes"});
        m_process.waitForStarted(5000);
    }
    ~PipedPair() {
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

void waitForEnd(const QString& what, QProcess& process, const std::function<qint64()>& progress) {
    waitFor(
        what, [&] { return process.state() == QProcess::NotRunning; }, progress,
        [&](QEventLoop& loop) { QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit); });
}

double secondsSinceReceiverStart(const QElapsedTimer& clock) {
    return (clock.elapsed() - kReceiverDelayMs) / 1000.0;
}

double lrzszBoth(const QString& folder) {
    const QString out = folder + "/out.bin";
    QFile::remove(out);
    QElapsedTimer clock;
    clock.start();
    PipedPair pair("sx -b -q in.bin", kDelayedRx, folder);
    waitForEnd("sx -> rx", pair.process(), [&] { return QFileInfo(out).size(); });
    return secondsSinceReceiverStart(clock);
}

double oursReceiving(const QString& folder) {
    PtyPair pair("sx -b -q in.bin", folder);
    serial::TApdComPort port;
    if (!openPort(port, pair.a())) {
        throw Stalled{"cannot open the pseudo-terminal: " + port.lastError()};
    }
    xmodem::TApdProtocol protocol(&port);
    int result = -1;
    QObject::connect(&protocol, &xmodem::TApdProtocol::protocolFinish,
                     [&result](int code) { result = code; });
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
        throw Stalled{
            QStringLiteral("our receiver ended with: %1").arg(xmodem::describe(xmodem::Result(result)))};
    }
    return seconds;
}

double oursSending(const QString& folder) {
    const QString out = folder + "/out.bin";
    QFile::remove(out);
    QElapsedTimer clock;
    clock.start();
    PtyPair pair(kDelayedRx, folder);
    serial::TApdComPort port;
    if (!openPort(port, pair.a())) {
        throw Stalled{"cannot open the pseudo-terminal: " + port.lastError()};
    }
    xmodem::TApdProtocol protocol(&port);
    protocol.setFileName(folder + "/in.bin");
    int result = -1;
    QObject::connect(&protocol, &xmodem::TApdProtocol::protocolFinish,
                     [&result](int code) { result = code; });
    protocol.startTransmit();
    // rx has the whole file when it acknowledges the end, which is when our sender finishes.
    waitFor(
        "ours -> rx", [&] { return result >= 0; }, [&] { return protocol.bytesTransferred(); },
        [&](QEventLoop& loop) {
            QObject::connect(&protocol, &xmodem::TApdProtocol::protocolFinish, &loop, &QEventLoop::quit);
        });
    const double seconds = secondsSinceReceiverStart(clock);
    if (result != 0) {
        throw Stalled{
            QStringLiteral("our sender ended with: %1").arg(xmodem::describe(xmodem::Result(result)))};
    }
    waitFor(
        "rx's exit", [&] { return pair.peerEnded(); }, [&] { return QFileInfo(out).size(); },
        [](QEventLoop&) {});
    return seconds;
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
    QFile script(folder.filePath("delayed-rx.sh"));
    if (!script.open(QIODevice::WriteOnly) || script.write("sleep 0.3\nexec rx -b -q out.bin\n") < 0) {
        std::fprintf(stderr, "cannot write the receiver's script\n");
        return 2;
    }
    script.close();
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
    std::printf(
        "XMODEM, %.2f MB at %d baud (our port on a pty, lrzsz on pipes), best of %d rounds (seconds)\n",
        megabytes, kBaud, rounds);
    std::printf("  receive: sx -> rx %.3f   sx -> ours %.3f   ratio %.3f\n", lrzsz, oursIn, oursIn / lrzsz);
    std::printf("  send:    sx -> rx %.3f   ours -> rx %.3f   ratio %.3f\n", lrzsz, oursOut, oursOut / lrzsz);
    return 0;
}
