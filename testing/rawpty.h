#pragma once
// A pseudo-terminal in raw mode whose master side a test holds: the program under test opens path(),
// and the test reads what arrives there itself. The slave side is closed at once, so the device exists
// only while the program has it open.
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QString>

namespace orrery::testsupport {

class RawPtyMaster {
public:
    RawPtyMaster() {
        char name[256] = {};
        int slave = -1;
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
            m_master = -1;
            return;
        }
        termios raw{};
        ::tcgetattr(m_master, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_master, TCSANOW, &raw);
        ::close(slave);
        m_path = QString::fromLocal8Bit(name);
    }
    ~RawPtyMaster() {
        if (m_master >= 0) {
            ::close(m_master);
        }
    }
    RawPtyMaster(const RawPtyMaster&) = delete;
    RawPtyMaster& operator=(const RawPtyMaster&) = delete;

    int fd() const { return m_master; }
    const QString& path() const { return m_path; }

private:
    int m_master = -1;
    QString m_path;
};

}  // namespace orrery::testsupport
