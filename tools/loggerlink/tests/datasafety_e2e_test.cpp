// loggerlink against the simulated logger: what must never happen to a user's data. An offload that
// reports success holds the logger's bytes, with or without the echo check; an earlier attempt's
// ".partial" file survives the next attempt; nothing is sent to the logger before the destination is
// known to be writable; an existing file goes only with --force; a cut-short identify reply fails.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "loggermodel.h"
#include "simulatedlogger.h"

using namespace orrery::link::testing;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun finish(QProcess& p, int deadlineMs) {
    if (!p.waitForFinished(deadlineMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

class DataSafety : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void start(QProcess& p, const QString& device, const QStringList& arguments) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORRERY_SETTINGS"), dir.filePath(QStringLiteral("orrery.ini")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(LOGGERLINK_PATH), QStringList{"--port", device, "--quiet"} + arguments);
    }
    ToolRun loggerlink(const QStringList& arguments, int deadlineMs = 120000) {
        QProcess p;
        start(p, sim->device(), arguments);
        return finish(p, deadlineMs);
    }
    void startSim(const QStringList& arguments = {}) {
        sim = std::make_unique<SimulatedLogger>(QStringLiteral(LOGGERSIM_PATH), arguments);
        ASSERT_TRUE(sim->start());
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray contents(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void write(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir;
    std::unique_ptr<SimulatedLogger> sim;
};

// "Confirm connection" off: the echo (0x04 is XMODEM's EOT) and the "U" must still never reach the
// receiver as data, and the logger must be ready for the next command afterwards.
TEST_F(DataSafety, WithoutTheEchoCheckBothOffloadsBringTheSameBytes) {
    startSim();
    const struct {
        QStringList command;
        const char* name;
        const char* size;  // as the success line says it
    } offloads[] = {
        {{"doffload", "--start", "1", "--end", "3"}, "d", "1 280"},
        {{"offload", "--start", "0", "--end", "2047"}, "s", "2 048"},
    };
    for (const auto& o : offloads) {
        const QString checked = QStringLiteral("%1-checked.dat").arg(o.name);
        const QString unchecked = QStringLiteral("%1-unchecked.dat").arg(o.name);
        const ToolRun a = loggerlink(o.command + QStringList{"-o", path(checked)});
        ASSERT_EQ(a.exitCode, 0) << a.err.toStdString();
        const ToolRun b =
            loggerlink(QStringList{"--no-confirm"} + o.command + QStringList{"-o", path(unchecked)});
        ASSERT_EQ(b.exitCode, 0) << b.err.toStdString();
        EXPECT_GT(contents(checked).size(), 0) << o.name;
        EXPECT_EQ(contents(unchecked), contents(checked)) << o.name;
        EXPECT_EQ(b.out, QStringLiteral("Offloaded %1 bytes into %2\n").arg(o.size, path(unchecked)));
        const ToolRun identify = loggerlink({"identify"});
        EXPECT_EQ(identify.exitCode, 0) << o.name << ": the logger was left mid-transfer";
    }
}

// A failed attempt keeps what it received under NAME.partial; the next attempt, failing again, writes
// beside it and says where, and a later complete one leaves both alone.
TEST_F(DataSafety, EarlierPartialFilesAreNeverOverwrittenOrDeleted) {
    write("f.dat.partial", "readings of the first attempt");
    startSim({"--silent-after", "30"});
    const ToolRun failed = loggerlink({"offload", "--start", "0", "--end", "0", "-o", path("f.dat")}, 180000);
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.out, QString()) << "no success line for a failed transfer";
    EXPECT_EQ(contents("f.dat.partial"), "readings of the first attempt");
    EXPECT_FALSE(QFile::exists(path("f.dat")));
    // The logger hears 5 bytes of command and range, a NAK and an ACK a block: blocks came before it fell
    // silent, and they are beside the earlier attempt's file.
    const QByteArray kept = contents("f.dat.partial.1");
    EXPECT_GE(kept.size(), 128);
    EXPECT_EQ(kept, QByteArray(reinterpret_cast<const char*>(orrery::loggersim::generatedSamples().data()),
                               kept.size()));
    EXPECT_TRUE(failed.err.contains(path("f.dat.partial.1"))) << failed.err.toStdString();

    startSim();
    const ToolRun complete = loggerlink({"offload", "--start", "0", "--end", "1023", "-o", path("f.dat")});
    EXPECT_EQ(complete.exitCode, 0) << complete.err.toStdString();
    EXPECT_EQ(contents("f.dat").size(), 1024);
    EXPECT_EQ(contents("f.dat.partial"), "readings of the first attempt");
}

// Nothing reaches the logger unless the file can be written and may be replaced; the checks go by the
// read-only attribute, so they hold for root as well.
TEST_F(DataSafety, DestinationIsCheckedBeforeTheFirstCommandByte) {
    startSim();
    QDir(dir.path()).mkdir("locked");
    write("old.dat", "kept");
    write("ro.dat", "kept too");
    QFile::setPermissions(path("ro.dat"), QFile::ReadOwner | QFile::ReadUser);
    QFile::setPermissions(path("locked"),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadUser | QFile::ExeUser);
    const struct {
        QStringList arguments;
        QString message;
    } cases[] = {
        {{"doffload", "--start", "1", "--end", "3", "-o", path("old.dat")},
         path("old.dat") + " exists; add --force to replace it"},
        {{"offload", "--start", "0", "--end", "0", "-o", path("ro.dat"), "--force"},
         "File is write protected"},
        {{"offload", "--start", "0", "--end", "0", "-o", path("locked/new.dat")}, "is write protected"},
        {{"doffload", "--start", "1", "--end", "1", "-o", path("nowhere/new.dat")}, "does not exist"},
        {{"xmodem-receive", path("old.dat")}, path("old.dat") + " exists; add --force to replace it"},
        {{"xmodem-receive", "--force", path("ro.dat")}, "File is write protected"},
    };
    for (const auto& c : cases) {
        const ToolRun r = loggerlink(c.arguments);
        EXPECT_EQ(r.exitCode, 2) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    }
    EXPECT_EQ(sim->traced("rx"), QByteArray()) << "the logger heard nothing";
    EXPECT_EQ(contents("old.dat"), "kept");
    EXPECT_EQ(contents("ro.dat"), "kept too");
    QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const ToolRun forced =
        loggerlink({"doffload", "--start", "1", "--end", "1", "-o", path("old.dat"), "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_NE(contents("old.dat"), "kept");
    EXPECT_TRUE(forced.out.startsWith("Offloaded ")) << forced.out.toStdString();
}

// A logger that answers the identify byte but stops half-way through its reply: no guessed bytes.
TEST_F(DataSafety, IdentifyReplyCutShortIsAnError) {
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const QString device = QString::fromLocal8Bit(::ttyname(slave));
    QProcess p;
    start(p, device, {"identify"});
    ASSERT_TRUE(p.waitForStarted(10000));
    // The tool flushes, sends 0x13 and waits: answer with the echo, a count of 6 and only 3 bytes.
    QByteArray heard;
    const QDeadlineTimer deadline(20000);
    while (!heard.contains('\x13') && !deadline.hasExpired()) {
        pollfd fd{master, POLLIN, 0};
        if (::poll(&fd, 1, 50) > 0) {
            char buffer[64];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                heard.append(buffer, n);
            }
        }
    }
    ASSERT_TRUE(heard.contains('\x13'));
    const char reply[] = {0x13, 0x06, 0x01, char(0xFE), 'B'};
    ASSERT_EQ(::write(master, reply, sizeof reply), ssize_t(sizeof reply));
    const ToolRun r = finish(p, 20000);
    ::close(slave);
    ::close(master);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Error communicating with Brackwater")) << r.err.toStdString();
    EXPECT_EQ(r.out, QString());
}

}  // namespace
