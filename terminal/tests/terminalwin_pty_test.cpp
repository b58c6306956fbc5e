// The terminal window on a real pseudo-terminal through Qt SerialPort: the test holds the master side
// and plays the logger.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "apdcomport.h"
#include "scriptedprompts.h"
#include "terminalwin.h"

namespace orrery::terminal {
namespace {

class PtyMaster {
public:
    PtyMaster() {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&m_fd, &slave, name, nullptr, nullptr) != 0) {
            return;
        }
        termios raw{};
        ::tcgetattr(m_fd, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_fd, TCSANOW, &raw);
        ::close(slave);
        // Non-blocking, so that writing a long dump lets the event loop drain the port in between.
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        m_path = QString::fromLocal8Bit(name);
    }
    ~PtyMaster() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    const QString& path() const { return m_path; }
    // Writes everything, letting the event loop run while the pty is full so that the port drains it.
    void write(const QByteArray& bytes) const {
        qsizetype done = 0;
        while (done < bytes.size()) {
            pollfd pfd{m_fd, POLLOUT, 0};
            if (::poll(&pfd, 1, 10) > 0) {
                const ssize_t n =
                    ::write(m_fd, bytes.constData() + done, size_t(std::min<qsizetype>(4096, bytes.size() - done)));
                if (n > 0) {
                    done += n;
                }
            }
            // A failed non-blocking write leaves EAGAIN in errno, and Qt's serial port takes a stale errno
            // after an empty read for a lost device; clear it so the test does not close the port itself.
            errno = 0;
            QCoreApplication::processEvents();
        }
    }
    QByteArray read(int count) const {
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        while (out.size() < count && timer.elapsed() < 2000) {
            QCoreApplication::processEvents();
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, 20) > 0) {
                char buf[512];
                const ssize_t n = ::read(m_fd, buf, sizeof buf);
                if (n > 0) {
                    out.append(buf, n);
                }
            }
        }
        return out;
    }

private:
    int m_fd = -1;
    QString m_path;
};

TEST(TerminalOnPty, TypedBytesGoOutReceivedBytesAppearAndCaptureKeepsThemAll) {
    PtyMaster logger;
    ASSERT_FALSE(logger.path().isEmpty());
    serial::TApdComPort port;
    serial::PortMap map;
    map.assign(1, logger.path());
    port.setPortMap(map);
    port.setComNumber(1);
    port.setBaud(57600);
    ASSERT_TRUE(port.open()) << port.lastError().toStdString();

    ScriptedPrompts prompts;
    TTerminalForm form(port, prompts);
    form.resize(700, 400);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    form.display()->setFocus();
    QTest::keyClicks(form.display(), "S1");
    QTest::keyClick(form.display(), Qt::Key_Return);
    EXPECT_EQ(logger.read(3), QByteArray("S1\r"));

    QTemporaryDir dir;
    const QString file = dir.path() + "/pty.cap";
    prompts.answerFile(file);
    ASSERT_TRUE(form.setCapture(true));
    logger.write("T=21.5\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(form.display()->screen().rowText(1)), QString("T=21.5"), 3000);

    // A memory dump as a logger sends it: every byte value, many times over.
    QByteArray dump;
    for (int i = 0; i < 256 * 1024; ++i) {
        dump += char(i * 7 + i / 256);
    }
    logger.write(dump);
    const qint64 expected = 8 + dump.size();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file).size() == expected, 20000);
    EXPECT_TRUE(port.isOpen());
    form.setCapture(false);
    QFile captured(file);
    ASSERT_TRUE(captured.open(QIODevice::ReadOnly));
    EXPECT_TRUE(captured.readAll() == "T=21.5\r\n" + dump);
    EXPECT_TRUE(prompts.unexpected().isEmpty());
}

}  // namespace
}  // namespace orrery::terminal
