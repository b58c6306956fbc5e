// "&Load" and "&Run" of the workbench (offscreen, its real serial backend) against the simulated
// logger on a pseudo-terminal; the logger's trace must hold exactly the bytes of the exchange.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QMdiArea>
#include <QTemporaryDir>

#include "../menuitems.h"
#include "commsettingsform.h"
#include "compilecommand.h"
#include "compileoptions.h"
#include "editor.h"
#include "farend.h"
#include "mainform.h"
#include "mainformlink.h"
#include "mainformterminal.h"
#include "programloader.h"
#include "scriptedprompts.h"
#include "simulatedlogger.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"
#include "workbenchonsimulator.h"

using namespace orrery;
using namespace orrery::link;
using namespace orrery::link::testing;

namespace {

const QString kProgram = QStringLiteral("MODEL \"Birch\"\nPRINT \"Hello\"\n");

class WorkbenchAgainstSimulator : public WorkbenchOnSimulator {
protected:
    void start(const QStringList& simArguments) {
        WorkbenchOnSimulator::start(simArguments);
        if (HasFatalFailure())
            return;
        // The start-up's carriage return reaches the logger before any command begins.
        ASSERT_EQ(receivedAfterEvents(1), QByteArray("\r"));
    }
    TEditor* openProgram() {
        const QString path = dir.filePath("hello.qob");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kProgram.toLatin1());
        f.close();
        EXPECT_TRUE(form->openFileByName(path));
        return form->activeEditor();
    }
    QByteArray expectedLoad(TEditor& editor) {
        const shell::CompileSource source{editor.caption(), editor.fileName(), editor.control().text()};
        compiler::CompileJob job = shell::makeCompileJob(source, form->settings().compile);
        EXPECT_EQ(compiler::compile(job), compiler::kCompileOk);
        return loadStream(
            QByteArray(reinterpret_cast<const char*>(job.image.data()), qsizetype(job.image.size())));
    }
    qsizetype loadedImageSize(TEditor& editor) {
        const shell::CompileSource source{editor.caption(), editor.fileName(), editor.control().text()};
        compiler::CompileJob job = shell::makeCompileJob(source, form->settings().compile);
        EXPECT_EQ(compiler::compile(job), compiler::kCompileOk);
        return qsizetype(job.image.size());
    }
    // Lets the port write out what the command queued, until the logger has taken count bytes.
    QByteArray receivedAfterEvents(qsizetype count) {
        const QDeadlineTimer deadline(20000);
        while (sim->traced("rx").size() < count && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return sim->received(count, 0);
    }
};

const QByteArray kGreeting("\r");

TEST_F(WorkbenchAgainstSimulator, LoadPutsExactlyTheImageOnTheLine) {
    start({"--model", "230"});
    TEditor* editor = openProgram();
    const QByteArray expected = kGreeting + expectedLoad(*editor);
    form->actions().load->trigger();
    EXPECT_EQ(receivedAfterEvents(expected.size()).toHex(), expected.toHex());
    EXPECT_EQ(prompts.messages(), QStringList{});
    EXPECT_EQ(form->loggerLink().ProgramDir, dir.path());
    EXPECT_EQ(form->lastCommandResult(), QString("Loaded %1 bytes (model 230)").arg(loadedImageSize(*editor)));
}

TEST_F(WorkbenchAgainstSimulator, RunLoadsStartsAndShowsTheTerminal) {
    start({"--model", "230"});
    TEditor* editor = openProgram();
    const QByteArray expected = kGreeting + expectedLoad(*editor) + char(kRunCommand);
    form->actions().run->trigger();
    EXPECT_EQ(receivedAfterEvents(expected.size()).toHex(), expected.toHex());
    EXPECT_EQ(form->mdiArea()->currentSubWindow(), terminalWindow);
    EXPECT_EQ(prompts.messages(), QStringList{});
    EXPECT_EQ(form->lastCommandResult(),
              QString("Loaded and started %1 bytes (model 230)").arg(loadedImageSize(*editor)));
}

TEST_F(WorkbenchAgainstSimulator, SilentLoggerGivesTheMessagesAfterTheEchoTimeOut) {
    start({"--model", "230", "--silent-after", "0"});
    openProgram();
    form->actions().load->trigger();
    EXPECT_EQ(prompts.messages(), (QStringList{kNotResponding, kErrorCommunicating}));
    const QByteArray expected = kGreeting + char(kLoadCommand);
    EXPECT_EQ(receivedAfterEvents(expected.size()), expected) << "no block after a missing echo";
    EXPECT_TRUE(term->displayActive());
    EXPECT_EQ(form->lastCommandResult(), "Load: " + kNotResponding);
}

TEST_F(WorkbenchAgainstSimulator, ACompileErrorEndsLoadAndRunWithItsPlaceInTheStatusBar) {
    start({"--model", "230"});
    openProgram()->control().setPlainText("MODEL \"Birch\"\nPRINT = 1\n");
    for (const char* command : {"Load", "Run"}) {
        menuItem(*form, QString(command) + "1")->trigger();
        ASSERT_FALSE(prompts.messages().isEmpty()) << command;
        EXPECT_TRUE(prompts.messages().last().startsWith("hello.qob:2:"))
            << prompts.messages().last().toStdString();
        EXPECT_EQ(form->lastCommandResult(), QString(command) + ": " + prompts.messages().last()) << command;
    }
    EXPECT_EQ(receivedAfterEvents(1), kGreeting) << "nothing is loaded";
}

}  // namespace
