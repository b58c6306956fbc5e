#pragma once
// The loggersim program on a pseudo-terminal of its own, for end-to-end tests: started in a private
// temporary folder, reached through a link in that folder, stopped by its own process, and its trace
// read back as the bytes the logger received and sent.
//
//   SimulatedLogger sim(LOGGERSIM_PATH, {"--model", "230"});
//   ASSERT_TRUE(sim.start());
//   ... talk to sim.device() ...
//   EXPECT_EQ(sim.received(expected.size()), expected);

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

namespace orrery::link::testing {

class SimulatedLogger {
public:
    SimulatedLogger(const QString& program, const QStringList& arguments)
        : m_program(program), m_arguments(arguments) {}
    ~SimulatedLogger() { stop(); }

    // Starts the simulator and waits (with a deadline) until its device is there.
    bool start() {
        if (!m_dir.isValid())
            return false;
        m_process.setProgram(m_program);
        m_process.setArguments(m_arguments + QStringList{QStringLiteral("--link"), device(),
                                                         QStringLiteral("--trace"), tracePath()});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return false;
        const QDeadlineTimer deadline(10000);
        while (!QFileInfo::exists(device()) && !deadline.hasExpired()) {
            if (m_process.state() != QProcess::Running)
                return false;
            QThread::msleep(10);
        }
        return QFileInfo::exists(device());
    }
    void stop() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }

    QString device() const { return m_dir.filePath(QStringLiteral("logger")); }
    QString tracePath() const { return m_dir.filePath(QStringLiteral("trace")); }
    QString folder() const { return m_dir.path(); }

    // The bytes the logger received ("rx") or sent ("tx"), in order, as the trace has them now.
    QByteArray traced(const char* direction) const {
        QFile file(tracePath());
        QByteArray bytes;
        if (!file.open(QIODevice::ReadOnly))
            return bytes;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() >= 3 && fields.at(1) == direction && !line.contains(" lost")) {
                bytes += char(fields.at(2).toUInt(nullptr, 16));
            }
        }
        return bytes;
    }
    // What the logger received, once at least `count` bytes are traced or the deadline passed; waits
    // a little longer to see that nothing more follows.
    QByteArray received(qsizetype count, int deadlineMs = 20000) const {
        const QDeadlineTimer deadline(deadlineMs);
        while (traced("rx").size() < count && !deadline.hasExpired()) {
            QThread::msleep(20);
        }
        QThread::msleep(100);
        return traced("rx");
    }

private:
    QString m_program;
    QStringList m_arguments;
    QTemporaryDir m_dir;
    QProcess m_process;
};

}  // namespace orrery::link::testing
