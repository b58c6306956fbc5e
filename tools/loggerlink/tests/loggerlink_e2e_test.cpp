// The loggerlink binary against the simulated logger on a pseudo-terminal: exit codes, messages, and
// the exact bytes the logger received according to its trace.
#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "compiler.h"
#include "farend.h"
#include "loggerlink.h"
#include "programloader.h"
#include "simulatedlogger.h"

using namespace orrery;
using namespace orrery::link;
using namespace orrery::link::testing;

namespace {

const QString kSmallProgram = QStringLiteral("MODEL \"Birch\"\nPRINT \"Hello\"\n");

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

class LoggerLinkTool : public ::testing::Test {
protected:
    Result loggerlink(const QStringList& arguments, int deadlineMs = 30000) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORRERY_SETTINGS"), dir.filePath(QStringLiteral("orrery.ini")));
        env.remove(QStringLiteral("ORRERY_COM1"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(LOGGERLINK_PATH), arguments);
        if (!p.waitForFinished(deadlineMs)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }
    QString write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    static QByteArray imageOf(const QString& text, const char* name) {
        compiler::CompileJob job;
        job.sourceName = name;
        job.sourceText = text.toStdString() + "\r\n";
        job.sourceLength = std::uint32_t(job.sourceText.size());
        EXPECT_EQ(compiler::compile(job), compiler::kCompileOk);
        return QByteArray(reinterpret_cast<const char*>(job.image.data()), qsizetype(job.image.size()));
    }
    SimulatedLogger& startSim(const QStringList& arguments) {
        sim = std::make_unique<SimulatedLogger>(QStringLiteral(LOGGERSIM_PATH), arguments);
        EXPECT_TRUE(sim->start());
        return *sim;
    }

    QTemporaryDir dir;
    std::unique_ptr<SimulatedLogger> sim;
};

TEST_F(LoggerLinkTool, IdentifyPrintsTheModelAndTheText) {
    startSim({"--model", "400"});
    const Result r = loggerlink({"--port", sim->device(), "identify"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "400\nBRACKWATER 400 Cedar SIMULATED\n");
    EXPECT_EQ(sim->received(1), QByteArray(1, char(kIdentifyCommand)));
}

TEST_F(LoggerLinkTool, LoadAndRunPutExactlyTheImageOnTheLine) {
    const QString source = write("prog.qob", kSmallProgram.toLatin1());
    const QByteArray img = imageOf(kSmallProgram, "prog.qob");
    const QString binary = write("prog.bin", img);
    const QString loaded = QStringLiteral("%1 bytes (model 230)\n").arg(img.size());
    const struct {
        QStringList arguments;
        QByteArray expected;
        QString out;  // the one success line
    } cases[] = {
        {{"load", source}, loadStream(img), "Loaded " + loaded},
        {{"load", source, "--run"}, loadStream(img) + char(kRunCommand), "Loaded and started " + loaded},
        {{"load", binary, "--model", "230"}, loadStream(img), "Loaded " + loaded},
        {{"run"}, QByteArray(1, char(kRunCommand)), "Sent the run command\n"},
    };
    for (const auto& c : cases) {
        startSim({"--model", "230"});
        const Result r = loggerlink(QStringList{"--quiet", "--port", sim->device()} + c.arguments);
        EXPECT_EQ(r.exitCode, 0) << c.arguments.join(' ').toStdString() << r.err.toStdString();
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(sim->received(c.expected.size()).toHex(), c.expected.toHex())
            << c.arguments.join(' ').toStdString();
    }
}

TEST_F(LoggerLinkTool, LoggerFailuresExitWithOneAndTheWorkbenchMessage) {
    const QString source = write("prog.qob", kSmallProgram.toLatin1());
    QString big = QStringLiteral("MODEL \"Birch\"\n");
    for (int i = 0; i < 1200; ++i)
        big += QStringLiteral("PRINT \"A line that makes the program big\"\n");
    const QString large = write("large.qob", big.toLatin1());
    const struct {
        QStringList simArguments;
        QStringList arguments;
        QString message;
        QByteArray received;
    } cases[] = {
        {{"--silent-after", "0"}, {"load", source}, kNotResponding, QByteArray(1, char(kLoadCommand))},
        {{"--wrong-echo"}, {"load", source}, kNotResponding, QByteArray(1, char(kLoadCommand))},
        {{"--silent-after", "0"}, {"identify"}, kNotResponding, QByteArray(1, char(kIdentifyCommand))},
        {{}, {"load", large}, kLargerThan16064, QByteArray()},
    };
    for (const auto& c : cases) {
        startSim(QStringList{"--model", "230"} + c.simArguments);
        const Result r = loggerlink(QStringList{"--port", sim->device()} + c.arguments);
        EXPECT_EQ(r.exitCode, 1) << c.message.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_EQ(sim->received(c.received.size()), c.received) << c.message.toStdString();
    }
}

TEST_F(LoggerLinkTool, UsageCompileAndFileErrorsExitWithTwoAndTouchNothing) {
    startSim({"--model", "230"});
    const QString broken = write("broken.qob", "MODEL \"Birch\"\nPRINT (\n");
    const QString binary = write("prog.bin", imageOf(kSmallProgram, "prog.qob"));
    const struct {
        QStringList arguments;
        QString inStderr;
    } cases[] = {
        {{}, "no COMMAND given"},
        {{"frob"}, "unknown command 'frob'"},
        {{"--baud"}, "--baud needs a value"},
        {{"--baud", "fast", "run"}, "--baud needs a number"},
        {{"load"}, "load needs a FILE"},
        {{"load", broken}, broken + ":2:"},
        {{"load", dir.filePath("missing.qob")}, "cannot read"},
        {{"load", binary}, "needs --model N"},
        {{"load", binary, "--model", "400"}, "--variables N"},
        {{"load", binary, "--model", "210"}, "was compiled for model 230, not 210"},
        {{"identify", "extra"}, "identify takes no arguments"},
    };
    for (const auto& c : cases) {
        const Result r = loggerlink(QStringList{"--port", sim->device()} + c.arguments);
        EXPECT_EQ(r.exitCode, 2) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.inStderr)) << r.err.toStdString();
    }
    EXPECT_EQ(sim->traced("rx"), QByteArray()) << "the logger heard nothing";
}

TEST_F(LoggerLinkTool, PortThatCannotBeOpenedIsNamed) {
    const Result r = loggerlink({"--port", dir.filePath("nothing-here"), "run"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(dir.filePath("nothing-here") + "): no such device")) << r.err.toStdString();
}

TEST_F(LoggerLinkTool, PortNamesResolveAsInTheWorkbench) {
    startSim({"--model", "230"});
    write("orrery.ini", "[Ports]\nComNum=COM3\nCOM3Device=" + sim->device().toLocal8Bit() + "\n");
    const Result stored = loggerlink({"identify"});
    EXPECT_EQ(stored.exitCode, 0) << stored.err.toStdString();
    EXPECT_TRUE(stored.out.startsWith("230\n"));
    const Result named = loggerlink({"--port", "com3", "identify"});
    EXPECT_EQ(named.exitCode, 0) << named.err.toStdString();
    const Result unmapped = loggerlink({"--port", "COM4", "identify"});
    EXPECT_EQ(unmapped.exitCode, 1);
    EXPECT_TRUE(unmapped.err.contains("COM4: no device is assigned to this port"))
        << unmapped.err.toStdString();
}

TEST_F(LoggerLinkTool, TheUsersStoreIsReadInPlaceAndLeftAsItWas) {
    startSim({"--model", "230"});
    // Older port keys (which only a save tidies away), a hand-written comment, sections of the
    // workbench alone and the compiler options the load uses.
    const QByteArray store =
        "; hand-edited\n[Ports]\nBaud rate=9600\nCom port=3\nCOM3Device=" + sim->device().toLocal8Bit() +
        "\n\n[Compile]\nEmbedLineNum=0\nConfirmConnect=0\n[Window]\nLeft=10\n";
    const QString path = write("orrery.ini", store);
    const QString source = write("prog.qob", kSmallProgram.toLatin1());
    const Result r = loggerlink({"--quiet", "load", source});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("Loaded ")) << r.out.toStdString();
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), store);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << "no copy of the store left";
}

TEST_F(LoggerLinkTool, ProgressBarOnStderrOnlyWhenItIsATerminal) {
    QString text = QStringLiteral("MODEL \"Birch\"\n");
    for (int i = 0; i < 150; ++i)
        text += QStringLiteral("PRINT \"Line %1 of a long program\"\n").arg(i);
    const QString source = write("long.qob", text.toLatin1());
    ASSERT_GT(imageOf(text, "long.qob").size(), kLoadProgressThreshold);

    startSim({"--model", "230"});
    const Result piped = loggerlink({"--port", sim->device(), "load", source});
    EXPECT_EQ(piped.exitCode, 0) << piped.err.toStdString();
    EXPECT_FALSE(piped.err.contains(kLoadingCaption)) << "no bar into a pipe";

    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORRERY_SETTINGS"), dir.filePath(QStringLiteral("orrery.ini")));
    p.setProcessEnvironment(env);
    p.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
    p.start(QStringLiteral(LOGGERLINK_PATH), {"--port", sim->device(), "load", source});
    ASSERT_TRUE(p.waitForFinished(30000));
    ::close(slave);
    EXPECT_EQ(p.exitCode(), 0);
    QByteArray onTerminal;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        onTerminal.append(buffer, n);
    ::close(master);
    EXPECT_TRUE(onTerminal.contains("Loading Program to RAM [")) << onTerminal.constData();
}

}  // namespace
