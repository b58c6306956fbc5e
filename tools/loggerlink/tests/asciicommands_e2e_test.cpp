// loggerlink's ASCII transfers against the simulated logger on a pseudo-terminal. The simulator echoes
// plain text, so for a receive the test types into the line itself (through its own descriptor of the
// device, opened before the tool locks it) and the tool gets the echo.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "simulatedlogger.h"

using namespace orrery::link::testing;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString err;
};

bool waitFor(const std::function<bool()>& condition, int deadlineMs = 20000) {
    const QDeadlineTimer deadline(deadlineMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

class LoggerLinkAscii : public ::testing::Test {
protected:
    void SetUp() override {
        sim = std::make_unique<SimulatedLogger>(QStringLiteral(LOGGERSIM_PATH), QStringList{});
        ASSERT_TRUE(sim->start());
    }
    void TearDown() override {
        if (typist >= 0)
            ::close(typist);
    }
    void startTool(QProcess& p, const QStringList& arguments) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORRERY_SETTINGS"), dir.filePath(QStringLiteral("orrery.ini")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(LOGGERLINK_PATH), QStringList{"--port", sim->device(), "--quiet"} + arguments);
        ASSERT_TRUE(p.waitForStarted(10000));
    }
    static ToolRun finish(QProcess& p) {
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromLocal8Bit(p.readAllStandardError())};
    }
    ToolRun loggerlink(const QStringList& arguments) {
        QProcess p;
        startTool(p, arguments);
        return finish(p);
    }
    void openTypist() {
        typist = ::open(QFile::encodeName(sim->device()).constData(), O_RDWR | O_NOCTTY);
        ASSERT_GE(typist, 0);
    }
    void type(const QByteArray& text) { ASSERT_EQ(::write(typist, text.constData(), size_t(text.size())), text.size()); }
    QByteArray readFile(const QString& name) const {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QString write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }

    QTemporaryDir dir;
    std::unique_ptr<SimulatedLogger> sim;
    int typist = -1;
};

}  // namespace

TEST_F(LoggerLinkAscii, SendPutsPrefixFileAndSuffixOnTheLine) {
    const struct {
        QByteArray file;
        QStringList options;
        QByteArray expected;
    } cases[] = {
        {"hello", {}, "hello"},
        {"hello", {"--prefix", "[", "--suffix", "]\\r"}, "[hello]\r"},
        {"x", {"--prefix", "\\x41\\x42", "--suffix", "\\"}, "ABx\\"},
        {"a\rb\r", {"--char-delay", "2", "--line-delay", "5"}, "a\rb\r"},
        {"", {"--suffix", "\\r"}, "\r"},
    };
    qsizetype before = 0;
    for (const auto& c : cases) {
        const QString file = write("out.txt", c.file);
        const ToolRun r = loggerlink(QStringList{"ascii-send", file} + c.options);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QByteArray all = sim->received(before + c.expected.size());
        EXPECT_EQ(all.mid(before), c.expected) << c.options.join(' ').toStdString();
        before = all.size();
    }
}

TEST_F(LoggerLinkAscii, ReceiveStopsAsAskedAndKeepsWhatArrived) {
    const struct {
        QStringList options;
        QByteArray typed;
        bool interrupt;  // Ctrl+C once the typed text is in the file
        int exitCode;
        QByteArray file;     // under the chosen name
        QByteArray partial;  // under the marked name
    } cases[] = {
        {{"--until-char", "#"}, "hello world#more", false, 0, "hello world", "<missing>"},
        {{"--until-char", "\\x21"}, "up to!", false, 0, "up to", "<missing>"},
        {{"--timeout", "1"}, "abc", false, 0, "abc", "<missing>"},
        {{}, "abc", true, 0, "abc", "<missing>"},
        {{"--until-char", "#"}, "abc", true, 1, "<missing>", "abc"},
    };
    int run = 0;
    for (const auto& c : cases) {
        const QString name = QStringLiteral("in%1.txt").arg(++run);
        openTypist();
        QProcess p;
        startTool(p, QStringList{"ascii-receive", dir.filePath(name)} + c.options);
        // The tool creates the marked file once its line is open.
        ASSERT_TRUE(waitFor([&] { return QFileInfo::exists(dir.filePath(name + ".partial")); }))
            << "the tool never opened the line";
        type(c.typed);
        if (c.interrupt) {
            ASSERT_TRUE(waitFor([&] { return readFile(name + ".partial") == c.typed; }));
            ::kill(pid_t(p.processId()), SIGINT);
        }
        const ToolRun r = finish(p);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.options.join(' ').toStdString() << r.err.toStdString();
        EXPECT_EQ(readFile(name), c.file) << c.options.join(' ').toStdString();
        EXPECT_EQ(readFile(name + ".partial"), c.partial) << c.options.join(' ').toStdString();
        if (c.exitCode != 0) {
            EXPECT_TRUE(r.err.contains(QStringLiteral("%1 bytes received").arg(c.typed.size()))) << r.err.toStdString();
        }
        ::close(typist);
        typist = -1;
    }
}

TEST_F(LoggerLinkAscii, BadUsageAndFilesExitWithTwoAndLeaveTheLineAlone) {
    const QString in = write("in.txt", "data");
    const struct {
        QStringList arguments;
        QString inStderr;
    } cases[] = {
        {{"ascii-send", dir.filePath("absent.txt")}, "cannot read"},
        {{"ascii-send", in, "--char-delay", "-1"}, "--char-delay needs a number"},
        {{"ascii-send"}, "one FILE expected"},
        {{"ascii-receive", "x.txt", "--until-char", "#", "--timeout", "2"}, "exclude each other"},
        {{"ascii-receive", "x.txt", "--timeout", "0"}, "--timeout needs a number"},
        {{"ascii-receive", "x.txt", "--until-char", "\\x00"}, "not zero"},
        {{"ascii-receive", dir.filePath("no/such/folder/x.txt")}, "does not exist"},
    };
    for (const auto& c : cases) {
        const ToolRun r = loggerlink(c.arguments);
        EXPECT_EQ(r.exitCode, 2) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.inStderr)) << r.err.toStdString();
    }
    EXPECT_TRUE(sim->received(1, 200).isEmpty());
}
