// ASCII send on a real pseudo-terminal: the test holds the master side and looks there, during each pause,
// for the bytes sent so far, so the pacing is checked where it matters, on the line; and a far end that stops
// reading must end the send (stalled, or by Cancel) instead of freezing the caller.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <functional>

#include "apdcomport.h"
#include "asciitransfer.h"
#include "rawpty.h"
#include "scriptedprompts.h"

using namespace orrery;
using namespace orrery::link;

namespace {

// A pseudo-terminal whose master side the test reads itself, when it wants to look.
class RecordingPty {
public:
    const QString& path() const { return m_pty.path(); }
    // Reads until count bytes have arrived in all or deadlineMs has passed.
    bool takeUpTo(qsizetype count, int deadlineMs) {
        QElapsedTimer waited;
        waited.start();
        while (m_bytes.size() < count && waited.elapsed() < deadlineMs) {
            pollfd pfd{m_pty.fd(), POLLIN, 0};
            if (::poll(&pfd, 1, 20) > 0) {
                char buf[256];
                const ssize_t n = ::read(m_pty.fd(), buf, sizeof buf);
                m_bytes.append(buf, std::max<ssize_t>(n, 0));
            }
        }
        return m_bytes.size() >= count;
    }
    const QByteArray& bytes() const { return m_bytes; }

private:
    orrery::testsupport::RawPtyMaster m_pty;
    QByteArray m_bytes;
};

// Looks at the far end whenever the send asks for Cancel during a pause, with the index of the byte last
// sent (update() comes after every byte).
class PausePeek : public Progress {
public:
    explicit PausePeek(std::function<void(qint64)> peek) : m_peek(std::move(peek)) {}
    void start(const QString&, qint64, bool) override {}
    bool update(qint64 v) override {
        m_sent = v;
        return false;
    }
    bool add(qint64) override { return false; }
    bool poll() override {
        if (m_sent >= 0) {
            ++peeks;
            m_peek(m_sent);
        }
        return false;
    }
    void close() override {}
    int peeks = 0;

private:
    std::function<void(qint64)> m_peek;
    qint64 m_sent = -1;
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

// Each pause starts only once its byte has left: whenever the send looks for Cancel during a pause, every
// byte sent so far can be read at the far end. (The pauses' lengths are the recording line's test in
// terminal/tests; here it is where they fall.) Bytes only queued in the port would arrive after the pause,
// in one burst with the next byte.
TEST(AsciiSendOnTheWire, EveryByteHasLeftBeforeItsPauseBegins) {
    RecordingPty pty;
    ASSERT_FALSE(pty.path().isEmpty());
    serial::TApdComPort port;
    ASSERT_TRUE(openOn(port, pty.path(), 115200));
    AsciiOptions options;
    options.charDelay = 10;
    options.lineDelay = 100;
    const QByteArray data("ab\rcd\re");
    QStringList late;
    PausePeek progress([&](qint64 sent) {
        if (!pty.takeUpTo(sent + 1, 2000)) {
            late << QStringLiteral("byte %1 not there (%2 arrived)").arg(sent).arg(pty.bytes().size());
        }
    });
    PortAsciiLine line(port);
    ASSERT_EQ(sendAscii(line, data, options, progress), AsciiSendEnd::Sent);
    EXPECT_TRUE(late.isEmpty()) << late.join(QStringLiteral("; ")).toStdString();
    EXPECT_GE(progress.peeks, data.size());
    EXPECT_TRUE(pty.takeUpTo(data.size(), 5000));
    EXPECT_EQ(pty.bytes(), data);
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
