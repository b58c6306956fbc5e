// loggerlink's offload commands against the simulated logger on a pseudo-terminal: the range line in
// the logger's trace, the file against the logger's data, the exit codes and messages.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "loggermodel.h"
#include "simulatedlogger.h"

using namespace orrery;
using namespace orrery::link::testing;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString err;
};

class LoggerLinkTransfers : public ::testing::Test {
protected:
    ToolRun loggerlink(const QStringList& arguments) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORRERY_SETTINGS"), dir.filePath(QStringLiteral("orrery.ini")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(LOGGERLINK_PATH), QStringList{"--port", sim->device(), "--quiet"} + arguments);
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromLocal8Bit(p.readAllStandardError())};
    }
    void startSim() {
        sim = std::make_unique<SimulatedLogger>(QStringLiteral(LOGGERSIM_PATH), QStringList{});
        ASSERT_TRUE(sim->start());
    }
    QByteArray readFile(const QString& name) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
    std::unique_ptr<SimulatedLogger> sim;
};

QByteArray samples() {
    const auto v = loggersim::generatedSamples();
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

}  // namespace

TEST_F(LoggerLinkTransfers, OffloadWritesTheRangeOfDataMemory) {
    startSim();
    const ToolRun r = loggerlink({"offload", "--start", "256", "--end", "4095", "-o", dir.filePath("run.dat")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(sim->received(9).left(9), QByteArray("\x0f" "100,fff\r"));
    EXPECT_EQ(readFile("run.dat"), samples().mid(256, 4096 - 256));  // 3840 bytes: whole blocks
}

TEST_F(LoggerLinkTransfers, RefusedRangesExitWithoutTouchingTheLine) {
    startSim();
    const struct {
        QStringList arguments;
        QString message;
    } cases[] = {
        {{"offload", "--start", "5", "--end", "1", "-o", "x.dat"}, "Start address must be less than end address"},
        {{"doffload", "--start", "-1", "--end", "0", "-o", "x.dat"}, "Start and end values must not be negative"},
    };
    for (const auto& c : cases) {
        const ToolRun r = loggerlink(c.arguments);
        EXPECT_EQ(r.exitCode, 2) << "a range that cannot be offloaded is bad usage";
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    }
    EXPECT_TRUE(sim->received(1).isEmpty());
}

TEST_F(LoggerLinkTransfers, OffloadsFollowOneAnotherOnTheSameLogger) {
    // Each run must leave the logger ready for the next command: a tool that ends before its last
    // acknowledgement has gone out leaves the logger waiting for it.
    startSim();
    const struct {
        QStringList arguments;
        QString file;
    } runs[] = {
        {{"offload", "--start", "0", "--end", "1023", "-o", dir.filePath("a.dat")}, "a.dat"},
        {{"doffload", "--start", "1", "--end", "1", "-o", dir.filePath("b.dat")}, "b.dat"},
        {{"offload", "--start", "1024", "--end", "2047", "-o", dir.filePath("c.dat")}, "c.dat"},
        {{"doffload", "--start", "2", "--end", "2", "-o", dir.filePath("d.dat")}, "d.dat"},
    };
    for (const auto& r : runs) {
        const ToolRun run = loggerlink(r.arguments);
        EXPECT_EQ(run.exitCode, 0) << r.arguments.join(' ').toStdString() << ": " << run.err.toStdString();
        EXPECT_NE(readFile(r.file), QByteArray("<missing>"));
    }
    EXPECT_EQ(readFile("a.dat"), samples().mid(0, 1024));
    EXPECT_EQ(readFile("c.dat"), samples().mid(1024, 1024));
}
