// Times 1 MB of XMODEM over a pseudo-terminal pair (socat) in both directions: our receiver against
// lrzsz's rx (both fed by sx) and our sender against sx (both sending to rx), in the same run, and prints
// each time and the ratio ours / lrzsz's. The clock runs from the receiver's start until the receiver
// has the whole file; the sender is always started first and waits for the receiver's NAK.
//
//   build/bench/xmodem_bench [megabytes] [rounds]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <cstdio>

#include "apdcomport.h"
#include "apdprotocol.h"
#include "ptypair.h"

using namespace orrery;
using orrery::testing::PtyPair;
using orrery::testing::spinUntil;

namespace {

constexpr int kLimitMs = 600000;

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

private:
    QProcess m_process;
};

bool openPort(serial::TApdComPort& port, const QString& path) {
    serial::PortMap map;
    map.assign(1, path);
    port.setPortMap(map);
    port.setComNumber(1);
    return port.open();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Waits until the sender has surely started waiting for the receiver's NAK.
void letSenderSettle() {
    QThread::msleep(300);
}

double lrzszBoth(const QString& folder) {
    PtyPair pair;
    QFile::remove(folder + "/out.bin");
    Peer sender("sx -b -q in.bin", pair.b(), folder);
    letSenderSettle();
    QElapsedTimer clock;
    clock.start();
    Peer receiver("rx -b -q out.bin", pair.a(), folder);
    spinUntil([&] { return receiver.ended(); }, kLimitMs);
    return clock.elapsed() / 1000.0;
}

double oursReceiving(const QString& folder) {
    PtyPair pair;
    serial::TApdComPort port;
    if (!openPort(port, pair.a())) {
        return -1;
    }
    xmodem::TApdProtocol protocol(&port);
    bool done = false;
    QObject::connect(&protocol, &xmodem::TApdProtocol::protocolFinish, [&done](int code) {
        done = true;
        if (code != 0) {
            std::fprintf(stderr, "our receiver ended with: %s\n", xmodem::describe(xmodem::Result(code)));
        }
    });
    Peer sender("sx -b -q in.bin", pair.b(), folder);
    letSenderSettle();
    protocol.setFileName(folder + "/ours.bin");
    QElapsedTimer clock;
    clock.start();
    protocol.startReceive();
    spinUntil([&] { return done; }, kLimitMs);
    const double seconds = clock.elapsed() / 1000.0;
    spinUntil([&] { return sender.ended(); }, 10000);
    return seconds;
}

double oursSending(const QString& folder) {
    PtyPair pair;
    QFile::remove(folder + "/out.bin");
    serial::TApdComPort port;
    if (!openPort(port, pair.a())) {
        return -1;
    }
    xmodem::TApdProtocol protocol(&port);
    protocol.setFileName(folder + "/in.bin");
    protocol.startTransmit();
    letSenderSettle();
    QElapsedTimer clock;
    clock.start();
    Peer receiver("rx -b -q out.bin", pair.b(), folder);
    spinUntil([&] { return receiver.ended(); }, kLimitMs);
    return clock.elapsed() / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 1.0;
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

    double best[4] = {1e9, 1e9, 1e9, 1e9};  // sx->rx, sx->ours, ours->rx, sx->rx (again, for the send row)
    for (int round = 0; round < rounds; ++round) {
        best[0] = std::min(best[0], lrzszBoth(folder.path()));
        best[1] = std::min(best[1], oursReceiving(folder.path()));
        if (readFile(folder.filePath("ours.bin")).left(data.size()) != data ||
            readFile(folder.filePath("ours.bin")).size() != padded) {
            std::fprintf(stderr, "our receiver's file differs\n");
            return 1;
        }
        best[2] = std::min(best[2], oursSending(folder.path()));
        if (readFile(folder.filePath("out.bin")).left(data.size()) != data) {
            std::fprintf(stderr, "rx's file from our sender differs\n");
            return 1;
        }
        best[3] = best[0];
    }
    std::printf("XMODEM, %.1f MB over a pty pair, best of %d rounds (seconds)\n", megabytes, rounds);
    std::printf("  receive: sx -> rx %.3f   sx -> ours %.3f   ratio %.3f\n", best[0], best[1], best[1] / best[0]);
    std::printf("  send:    sx -> rx %.3f   ours -> rx %.3f   ratio %.3f\n", best[3], best[2], best[2] / best[3]);
    return 0;
}
