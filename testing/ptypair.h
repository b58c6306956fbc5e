#pragma once
// A pseudo-terminal pair made by socat inside a private temporary folder, for tests and benchmarks that
// put a real peer (sx, rx, the simulated logger) on one end and the port object on the other.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <functional>

namespace orrery::testing {

class PtyPair {
public:
    // Two pseudo-terminals, a and b, joined by socat.
    PtyPair() {
        m_a = m_dir.filePath("a");
        m_b = m_dir.filePath("b");
        start({QString("pty,raw,echo=0,link=%1").arg(m_b)}, {m_a, m_b});
    }
    // One pseudo-terminal, a, whose far end is a program started by socat in workDir and talking
    // through pipes. lrzsz empties its terminal's buffers as it exits, which on a pseudo-terminal
    // can swallow its last answer before socat has read it; pipes have no such buffers to empty.
    PtyPair(const QString& peerCommand, const QString& workDir) {
        m_a = m_dir.filePath("a");
        m_socat.setWorkingDirectory(workDir);
        start({QString("EXEC:%1,pipes").arg(peerCommand)}, {m_a});
    }
    // Whether socat (and with it the program it started) has ended.
    bool peerEnded() const { return m_socat.state() == QProcess::NotRunning; }
    ~PtyPair() {
        m_socat.kill();
        m_socat.waitForFinished(5000);
    }
    bool ok() const { return QFileInfo::exists(m_a) && (m_b.isEmpty() || QFileInfo::exists(m_b)); }
    const QString& a() const { return m_a; }
    const QString& b() const { return m_b; }
    QString path(const QString& name) const { return m_dir.filePath(name); }

private:
    void start(const QStringList& farEnd, const QStringList& links) {
        m_socat.start("socat", QStringList{"-b", "65536", QString("pty,raw,echo=0,link=%1").arg(m_a)} + farEnd);
        QDeadlineTimer deadline(10000);
        auto allThere = [&] {
            return std::all_of(links.begin(), links.end(), [](const QString& p) { return QFileInfo::exists(p); });
        };
        while (!deadline.hasExpired() && !allThere()) {
            QThread::msleep(10);
        }
    }

    QTemporaryDir m_dir;
    QString m_a, m_b;
    QProcess m_socat;
};

// Runs the event loop until done() holds or the deadline passes; returns done().
inline bool spinUntil(const std::function<bool()>& done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return done();
}

}  // namespace orrery::testing
