// ASCII send on a real pseudo-terminal: the test holds the master side and notes when each byte arrives,
// so the pacing is measured where it matters, on the line; and a far end that stops reading must end the
// send (stalled, or by Cancel) instead of freezing the caller.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <mutex>
#include <thread>

#include "apdcomport.h"
#include "asciitransfer.h"
#include "scriptedprompts.h"

using namespace orrery;
using namespace orrery::link;

namespace {

// A pseudo-terminal whose master side optionally reads on a thread of its own, stamping each byte.
class RecordingPty {
public:
    RecordingPty() {
        char name[256] = {};
        int slave = -1;
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
            return;
        }
        termios raw{};
        ::tcgetattr(m_master, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_master, TCSANOW, &raw);
        ::close(slave);
        m_path = QString::fromLocal8Bit(name);
        m_clock.start();
    }
    ~RecordingPty() {
        m_stop = true;
        if (m_reader.joinable()) {
            m_reader.join();
        }
        ::close(m_master);
    }
    const QString& path() const { return m_path; }
    void startReading() {
        m_reader = std::thread([this] {
            while (!m_stop) {
                pollfd pfd{m_master, POLLIN, 0};
                if (::poll(&pfd, 1, 20) <= 0) {
                    continue;
                }
                char buf[256];
                const ssize_t n = ::read(m_master, buf, sizeof buf);
                const qint64 now = m_clock.elapsed();
                std::lock_guard lock(m_mutex);
                for (ssize_t i = 0; i < n; ++i) {
                    m_bytes.append(buf[i]);
                    m_times.append(now);
                }
            }
        });
    }
    // Milliseconds between the arrival of byte i and byte i + 1.
    qint64 gapAfter(qsizetype i) const {
        std::lock_guard lock(m_mutex);
        return m_times.at(i + 1) - m_times.at(i);
    }
    QByteArray bytes() const {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }

private:
    int m_master = -1;
    QString m_path;
    QElapsedTimer m_clock;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    QByteArray m_bytes;
    QList<qint64> m_times;
};

// A user who presses Cancel once the send has been waiting for the line a while: poll() is asked only
// by the waits, update() after every byte.
class CancelWhileWaiting : public Progress {
public:
    void start(const QString&, qint64, bool) override { open = true; }
    bool update(qint64 v) override {
        value = v;
        return false;
    }
    bool add(qint64) override { return false; }
    bool poll() override { return ++polls > 20; }
    void close() override { open = false; }
    int polls = 0;
    qint64 value = 0;
    bool open = false;
};

bool openOn(serial::TApdComPort& port, const QString& path, int baud) {
    serial::PortMap map;
    map.assign(1, path);
    port.setPortMap(map);
    port.setComNumber(1);
    port.setBaud(baud);
    return port.open();
}

}  // namespace

TEST(AsciiSendOnTheWire, PausesAfterEachByteAndCarriageReturnReachTheLine) {
    RecordingPty pty;
    ASSERT_FALSE(pty.path().isEmpty());
    pty.startReading();
    serial::TApdComPort port;
    ASSERT_TRUE(openOn(port, pty.path(), 115200));
    AsciiOptions options;
    options.charDelay = 10;
    options.lineDelay = 100;
    ScriptedPrompts prompts;
    PortAsciiLine line(port);
    const QByteArray data("ab\rcd\re");
    ASSERT_EQ(sendAscii(line, data, options, prompts.progress()), AsciiSendEnd::Sent);
    QElapsedTimer waited;
    waited.start();
    while (pty.bytes().size() < data.size() && waited.elapsed() < 5000) {
        QThread::msleep(5);
    }
    ASSERT_EQ(pty.bytes(), data);
    // A pause can only come out longer on a busy machine, never shorter: the bounds are lower ones.
    // 1 ms of slack covers the two clocks' rounding.
    const struct {
        qsizetype after;
        qint64 atLeastMs;
    } gaps[] = {{0, 9}, {1, 9}, {2, 109}, {3, 9}, {4, 9}, {5, 109}};
    for (const auto& g : gaps) {
        EXPECT_GE(pty.gapAfter(g.after), g.atLeastMs) << "after byte " << g.after;
    }
}

TEST(AsciiSendOnTheWire, AFarEndThatStopsReadingEndsTheSendAsStalled) {
    RecordingPty pty;  // never read: the kernel's buffer fills, then the port's
    ASSERT_FALSE(pty.path().isEmpty());
    serial::TApdComPort port;
    ASSERT_TRUE(openOn(port, pty.path(), 115200));
    ScriptedPrompts prompts;
    PortAsciiLine line(port);
    line.setStallMs(300);
    const QByteArray data(256 * 1024, 'x');
    EXPECT_EQ(sendAscii(line, data, AsciiOptions{}, prompts.progress()), AsciiSendEnd::Stalled);
    EXPECT_FALSE(prompts.scriptedProgress().open);
    EXPECT_LT(prompts.scriptedProgress().value, data.size());
}

TEST(AsciiSendOnTheWire, CancelEndsASendThatWaitsForTheLine) {
    RecordingPty pty;
    ASSERT_FALSE(pty.path().isEmpty());
    serial::TApdComPort port;
    ASSERT_TRUE(openOn(port, pty.path(), 115200));
    PortAsciiLine line(port);
    line.setStallMs(600'000);  // only Cancel can end it
    AsciiOptions options;
    options.suffix = "END";
    CancelWhileWaiting progress;
    const QByteArray data(256 * 1024, 'x');
    EXPECT_EQ(sendAscii(line, data, options, progress), AsciiSendEnd::Cancelled);
    EXPECT_FALSE(progress.open);
    EXPECT_LT(progress.value, data.size() - 1);
}
