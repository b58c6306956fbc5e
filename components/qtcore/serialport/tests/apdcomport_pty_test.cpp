// The port object over Qt SerialPort on a real pseudo-terminal: the test holds the master side and
// plays the logger.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "apdcomport.h"

using namespace orrery::serial;

namespace {

class Pty {
public:
    Pty() {
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
            return;
        }
        termios raw{};
        ::tcgetattr(m_master, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_master, TCSANOW, &raw);
        // Keep our slave descriptor closed: the port under test must be the only one holding it.
        ::close(m_slave);
        m_slave = -1;
        m_path = QString::fromLocal8Bit(name);
    }
    ~Pty() { closeMaster(); }
    bool ok() const { return !m_path.isEmpty(); }
    const QString& path() const { return m_path; }
    void write(const QByteArray& bytes) const {
        ASSERT_EQ(::write(m_master, bytes.constData(), size_t(bytes.size())), bytes.size());
    }
    // Reads what the port sent until count bytes came or a second passed.
    QByteArray read(int count) const {
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        while (out.size() < count && timer.elapsed() < 1000) {
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, 50) > 0) {
                char buf[256];
                const ssize_t n = ::read(m_master, buf, sizeof buf);
                if (n > 0) {
                    out.append(buf, n);
                }
            }
        }
        return out;
    }
    void closeMaster() {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};

// Spins like the logger link does: no event loop, only the port's own polling.
bool spinUntilCharReady(TApdComPort& port, int ms = 2000) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        if (port.charReady()) {
            return true;
        }
        ::usleep(1000);
    }
    return false;
}

class PtyPort : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok()) << "openpty failed";
        PortMap map;
        map.assign(2, pty.path());
        port.setPortMap(map);
        port.setComNumber(2);
    }
    Pty pty;
    TApdComPort port;
};

TEST_F(PtyPort, BytesBothWaysWithoutTheEventLoop) {
    ASSERT_TRUE(port.open()) << port.lastError().toStdString();
    QByteArray all;
    for (int i = 0; i < 256; ++i) {
        all += char(i);
    }
    port.putBlock(all);
    port.putChar(0x0D);
    while (port.outBuffUsed() > 0) {
    }
    EXPECT_EQ(pty.read(257), all + '\r');

    pty.write(all);
    QByteArray got;
    while (got.size() < all.size() && spinUntilCharReady(port)) {
        got += char(port.getChar());
    }
    EXPECT_EQ(got, all) << "every byte value, 0x11 and 0x13 included, passes with flow control off";
}

TEST_F(PtyPort, DataAvailableIsSignalledFromTheEventLoop) {
    ASSERT_TRUE(port.open());
    QSignalSpy available(&port, &TApdComPort::dataAvailable);
    pty.write("hello");
    ASSERT_TRUE(available.wait(2000));
    QElapsedTimer timer;
    timer.start();
    QByteArray got;
    while (got.size() < 5 && timer.elapsed() < 2000) {
        QCoreApplication::processEvents();
        got += port.readAvailable();
    }
    EXPECT_EQ(got, "hello");
}

TEST_F(PtyPort, FlushInDiscardsWhatArrivedBefore) {
    ASSERT_TRUE(port.open());
    pty.write("garbage");
    ASSERT_TRUE(spinUntilCharReady(port));
    ::usleep(20000);
    port.flushInBuffer();
    EXPECT_FALSE(port.charReady());
    pty.write("K");
    ASSERT_TRUE(spinUntilCharReady(port));
    EXPECT_EQ(port.getChar(), 'K');
}

TEST_F(PtyPort, BreakCanBeSetAndReleased) {
    ASSERT_TRUE(port.open());
    EXPECT_TRUE(port.setBreak(true));
    EXPECT_TRUE(port.breakOn());
    EXPECT_TRUE(port.setBreak(false));
    EXPECT_FALSE(port.breakOn());
    port.putChar('a');
    while (port.outBuffUsed() > 0) {
    }
    EXPECT_EQ(pty.read(1), "a") << "the line works after a break";
}

TEST_F(PtyPort, SecondOpenOfTheSameDeviceIsRefusedAsInUse) {
    ASSERT_TRUE(port.open());
    TApdComPort other;
    other.setPortMap(port.portMap());
    other.setComNumber(2);
    EXPECT_FALSE(other.open());
    EXPECT_EQ(other.lastError(), QStringLiteral("COM2 (%1): in use by another program").arg(pty.path()));
    EXPECT_FALSE(other.probe(2));
    port.close();
    EXPECT_TRUE(other.probe(2)) << "closing releases the device";
}

TEST_F(PtyPort, MissingAndForbiddenDevicesAreNamed) {
    QTemporaryDir dir;
    const QString missing = dir.filePath("ttyGone");
    const QString forbidden = dir.filePath("ttyLocked");
    QFile file(forbidden);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    file.setPermissions(QFileDevice::Permissions());
    PortMap map;
    map.assign(1, missing);
    map.assign(2, forbidden);
    port.setPortMap(map);
    port.setComNumber(1);
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.lastError(), QStringLiteral("COM1 (%1): no such device").arg(missing));
    if (::geteuid() != 0) {
        port.setComNumber(2);
        EXPECT_FALSE(port.open());
        EXPECT_EQ(port.lastError(),
                  QStringLiteral("COM2 (%1): permission denied: add yourself to the dialout group").arg(forbidden));
    }
}

TEST_F(PtyPort, OtherSideClosingIsNoticedAndAFreshLineReopens) {
    QSignalSpy lost(&port, &TApdComPort::portLost);
    ASSERT_TRUE(port.open());
    pty.closeMaster();
    QElapsedTimer timer;
    timer.start();
    while (port.isOpen() && timer.elapsed() < 2000) {
        port.charReady();  // a polling reader notices the loss without the event loop
        ::usleep(1000);
    }
    EXPECT_FALSE(port.isOpen());
    ASSERT_EQ(lost.count(), 1);
    EXPECT_TRUE(lost.at(0).at(0).toString().endsWith("the device was disconnected"));
    EXPECT_EQ(port.outBuffFree(), TApdComPort::kOutBufferSize);

    Pty fresh;
    ASSERT_TRUE(fresh.ok());
    PortMap map;
    map.assign(2, fresh.path());
    port.setPortMap(map);
    ASSERT_TRUE(port.open()) << port.lastError().toStdString();
    fresh.write("again");
    QByteArray got;
    while (got.size() < 5 && spinUntilCharReady(port)) {
        got += port.readAvailable();
    }
    EXPECT_EQ(got, "again");
}

}  // namespace

// The workbench reads the line both ways at once: the event loop delivers bytes to the terminal and the
// link's loops poll the port directly. Neither path may lose bytes to the other, and a read that finds
// the bytes already taken must not be mistaken for an unplugged device.
TEST_F(PtyPort, ReadingFromTheEventLoopAndByPollingTogetherKeepsThePortOpen) {
    ASSERT_TRUE(port.open());
    QSignalSpy lost(&port, &TApdComPort::portLost);
    QByteArray sent;
    QByteArray got;
    for (int chunk = 0; chunk < 64; ++chunk) {
        QByteArray bytes(1024, char('A' + chunk % 26));
        pty.write(bytes);
        sent += bytes;
        QElapsedTimer timer;
        timer.start();
        while (got.size() < sent.size() && timer.elapsed() < 2000 && port.isOpen()) {
            QCoreApplication::processEvents();
            got += port.readAvailable();
            if (port.charReady()) {
                got += char(port.getChar());
            }
        }
    }
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(lost.count(), 0);
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_EQ(got, sent);
}
