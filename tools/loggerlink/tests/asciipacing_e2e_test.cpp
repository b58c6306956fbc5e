// loggerlink ascii-send as a slow logger sees it: the test holds the master side of a pseudo-terminal and
// stamps each byte as it arrives, so the character and line delays are seen on the line itself. A far
// end that stops reading ends the send with a message instead of a tool that never returns.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <mutex>
#include <thread>

#include "rawpty.h"

namespace {

class StampingPty {
public:
    StampingPty() { m_clock.start(); }
    ~StampingPty() {
        m_stop = true;
        if (m_reader.joinable()) {
            m_reader.join();
        }
    }
    const QString& path() const { return m_pty.path(); }
    void startReading() {
        m_reader = std::thread([this] {
            while (!m_stop) {
                pollfd pfd{m_pty.fd(), POLLIN, 0};
                if (::poll(&pfd, 1, 20) <= 0 || (pfd.revents & POLLIN) == 0) {
                    continue;
                }
                char buf[256];
                const ssize_t n = ::read(m_pty.fd(), buf, sizeof buf);
                const qint64 now = m_clock.elapsed();
                std::lock_guard lock(m_mutex);
                for (ssize_t i = 0; i < n; ++i) {
                    m_bytes.append(buf[i]);
                    m_times.append(now);
                }
            }
        });
    }
    QByteArray bytes() const {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }
    // Milliseconds between the arrival of the first byte and of the last one.
    qint64 span() const {
        std::lock_guard lock(m_mutex);
        return m_times.isEmpty() ? 0 : m_times.last() - m_times.first();
    }

private:
    orrery::testsupport::RawPtyMaster m_pty;
    QElapsedTimer m_clock;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    QByteArray m_bytes;
    QList<qint64> m_times;
};

struct ToolRun {
    int exitCode = -1;
    QString err;
};

ToolRun runTool(const QTemporaryDir& dir, const QStringList& arguments) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORRERY_SETTINGS"), dir.filePath(QStringLiteral("orrery.ini")));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(LOGGERLINK_PATH), arguments);
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardError())};
}

QString writeFile(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("send.txt"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

}  // namespace

TEST(LoggerLinkAsciiPacing, CharacterAndLineDelaysAreSeenOnTheLine) {
    QTemporaryDir dir;
    StampingPty pty;
    ASSERT_FALSE(pty.path().isEmpty());
    pty.startReading();
    const QByteArray data("ab\rcd\re");
    const ToolRun run = runTool(dir, {"--port", pty.path(), "--baud", "115200", "--quiet", "ascii-send",
                                      "--char-delay", "10", "--line-delay", "100", writeFile(dir, data)});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QElapsedTimer waited;
    waited.start();
    while (pty.bytes().size() < data.size() && waited.elapsed() < 5000) {
        ::usleep(5000);
    }
    // loggerlink greets nothing on ascii-send: the line carries the file alone.
    ASSERT_EQ(pty.bytes(), data);
    // The pauses between the first byte and the last add up to 6 x 10 ms plus 2 x 100 ms; bytes that only
    // waited in the port would come in one burst. The bound is half of that, and a lower one: a reader
    // woken late for one byte shifts single gaps both ways, but only a lateness of the first byte beyond
    // 130 ms could shorten the whole span that much.
    EXPECT_GE(pty.span(), 130);
}

TEST(LoggerLinkAsciiPacing, AFarEndThatStopsReadingEndsTheSendWithAMessage) {
    QTemporaryDir dir;
    StampingPty pty;  // never read
    ASSERT_FALSE(pty.path().isEmpty());
    const ToolRun run = runTool(dir, {"--port", pty.path(), "--baud", "115200", "--quiet", "ascii-send",
                                      writeFile(dir, QByteArray(512 * 1024, 'x'))});
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("ASCII send stopped: the line took no data")) << run.err.toStdString();
}
