// "&Load" and "&Run" in the main window over the in-process line: what reaches the logger, the messages
// of each failure, the terminal's part, and the guard that keeps a second command off a busy line.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMdiArea>
#include <QTemporaryDir>

#include "commsettingsform.h"
#include "compilecommand.h"
#include "compileoptions.h"
#include "editor.h"
#include "farend.h"
#include "mainform.h"
#include "mainformlink.h"
#include "mainformterminal.h"
#include "menuitems.h"
#include "programloader.h"
#include "scriptedprompts.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"
#include "scriptedportdialogs.h"

using namespace orrery;
using namespace orrery::link;
using namespace orrery::link::testing;
using namespace orrery::serial;

namespace {

const QString kSmallProgram = QStringLiteral("MODEL \"Birch\"\nPRINT \"Hello\"\n");

QString largeProgram() {
    QString text = QStringLiteral("MODEL \"Birch\"\n");
    for (int i = 0; i < 150; ++i)
        text += QStringLiteral("PRINT \"Line %1 of a long program\"\n").arg(i);
    return text;
}

class LinkInMainForm : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ORRERY_SETTINGS", dir.filePath("orrery.ini").toLocal8Bit());
        qputenv("ORRERY_COM1", "/dev/virt1");
        line = &bench->addDevice("/dev/virt1");
        QFile f(dir.filePath("orrery.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(
            "[Program]\nVersion=414\nOffloadDir=/data/offload\n[Ports]\nComNum=COM1\n"
            "[Compile]\nConfirmConnect=0\n");
        f.close();
        form = std::make_unique<TMainForm>(prompts, dialogs);
        form->ApdComPort1.setBackendFactory(bench->factory());
        form->setSettingsContext({dir.path() + "/", QRect(0, 0, 1280, 1024), QRect(0, 0, 800, 600)});
        term = new terminal::TTerminalForm(form->ApdComPort1, prompts);
        options = std::make_unique<terminal::TTerminalOptionsDialog>();
        terminalWindow = attachTerminal(*form, *term, *options, prompts,
                                        [](terminal::TTerminalOptionsDialog&) { return false; });
        attachLink(*form, *term);
        form->FormShow();
        form->loggerLink().setStallTimeoutMs(300);
        farEnd = std::make_unique<FarEnd>(*line);
        farEnd->setRule(logger.rule());
        farEnd->heard();  // the greeting CR of the start-up
        heardBefore = farEnd->heard().size();
    }
    void TearDown() override {
        farEnd.reset();
        form.reset();
        qunsetenv("ORRERY_COM1");
        qunsetenv("ORRERY_SETTINGS");
    }

    TEditor* openProgram(const QString& text, const QString& name = QStringLiteral("prog.qob")) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toLatin1());
        f.close();
        EXPECT_TRUE(form->openFileByName(path));
        return form->activeEditor();
    }
    // The image the workbench compiles for the editor, as the compile step makes it.
    QByteArray imageOf(TEditor& editor) {
        const shell::CompileSource source{editor.caption(), editor.fileName(), editor.control().text()};
        compiler::CompileJob job = shell::makeCompileJob(source, form->settings().compile);
        EXPECT_EQ(compiler::compile(job), compiler::kCompileOk);
        return QByteArray(reinterpret_cast<const char*>(job.image.data()), qsizetype(job.image.size()));
    }
    QByteArray heard() { return farEnd->heard().mid(heardBefore); }
    void trigger(MenuItem item) {
        (form->actions().*item)->trigger();
        QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    std::shared_ptr<PairBench> bench = std::make_shared<PairBench>();
    VirtualLine* line = nullptr;
    ScriptedPrompts prompts;
    ScriptedPortDialogs dialogs;
    std::unique_ptr<terminal::TTerminalOptionsDialog> options;
    std::unique_ptr<TMainForm> form;
    terminal::TTerminalForm* term = nullptr;
    QMdiSubWindow* terminalWindow = nullptr;
    LoadingLogger logger;
    std::unique_ptr<FarEnd> farEnd;
    qsizetype heardBefore = 0;
};

TEST_F(LinkInMainForm, LoadSendsTheCompiledImageAndRemembersItsFolder) {
    TEditor* editor = openProgram(kSmallProgram);
    ASSERT_NE(editor, nullptr);
    trigger(&MenuActions::load);
    EXPECT_EQ(heard(), loadStream(imageOf(*editor)));
    EXPECT_EQ(prompts.messages(), QStringList{});
    EXPECT_EQ(form->loggerLink().ProgramDir, dir.path());
    EXPECT_TRUE(term->displayActive());
    EXPECT_TRUE(form->lastCommandResult().startsWith(QStringLiteral("Loaded %1 bytes (model ").arg(imageOf(*editor).size())))
        << form->lastCommandResult().toStdString();
}

TEST_F(LinkInMainForm, RunLoadsThenSendsTheRunByteAndShowsTheTerminal) {
    TEditor* editor = openProgram(kSmallProgram);
    trigger(&MenuActions::run);
    EXPECT_EQ(heard(), loadStream(imageOf(*editor)) + char(kRunCommand));
    EXPECT_EQ(form->mdiArea()->currentSubWindow(), terminalWindow);
    EXPECT_EQ(prompts.messages(), QStringList{});
}

TEST_F(LinkInMainForm, RunWithTheTerminalActiveSendsTheRunByteOnly) {
    form->actions().newFile->trigger();
    form->mdiArea()->setActiveSubWindow(terminalWindow);
    trigger(&MenuActions::run);
    EXPECT_EQ(heard(), QByteArray(1, char(kRunCommand)));
    EXPECT_EQ(form->mdiArea()->currentSubWindow(), terminalWindow);
}

TEST_F(LinkInMainForm, FailuresAndTheirMessages) {
    const struct {
        const char* what;
        const char* item;
        int echo;      // the logger's answer to the load byte, -1 for none
        QString text;  // the program
        QStringList messages;
        bool loadByteSent;
    } cases[] = {
        {"Load, silent logger", "Load1", -1, kSmallProgram, {kNotResponding, kErrorCommunicating}, true},
        {"Run, silent logger", "Run1", -1, kSmallProgram, {kNotResponding}, true},
        {"Load, wrong echo", "Load1", 0x07, kSmallProgram, {kNotResponding, kErrorCommunicating}, true},
        {"Load, compile error",
         "Load1",
         kLoadCommand,
         QStringLiteral("MODEL \"Birch\"\nPRINT (\n"),
         {},
         false},
    };
    for (const auto& c : cases) {
        const qsizetype before = prompts.messages().size();
        heardBefore = farEnd->heard().size();
        logger = LoadingLogger();
        logger.echo = c.echo;
        TEditor* editor = openProgram(c.text, QString::fromLatin1(c.item) + QString::number(before) + ".qob");
        trigger(menuSlot(QString::fromLatin1(c.item)));
        QStringList messages = prompts.messages().mid(before);
        if (c.messages.isEmpty()) {
            ASSERT_EQ(messages.size(), 1) << c.what << ": the compiler's message";
            EXPECT_EQ(editor->control().caretLine(), 2) << c.what;
            messages.clear();
        }
        EXPECT_EQ(messages, c.messages) << c.what;
        EXPECT_EQ(heard(), c.loadByteSent ? QByteArray(1, char(kLoadCommand)) : QByteArray()) << c.what;
        EXPECT_TRUE(form->loggerLink().ProgramDir.isEmpty()) << c.what;
        EXPECT_TRUE(term->displayActive()) << c.what;
    }
}

TEST_F(LinkInMainForm, TooLargeProgramIsRefusedBeforeAnythingIsSent) {
    QString text = QStringLiteral("MODEL \"Birch\"\n");
    for (int i = 0; i < 1200; ++i)
        text += QStringLiteral("PRINT \"A line that makes the program big\"\n");
    openProgram(text);
    trigger(&MenuActions::load);
    EXPECT_EQ(prompts.messages(), (QStringList{kLargerThan16064, kErrorCommunicating}));
    trigger(&MenuActions::run);
    EXPECT_EQ(prompts.messages().mid(2), QStringList{kLargerThan16064}) << "Run adds nothing to the refusal";
    EXPECT_EQ(heard(), QByteArray());
}

TEST_F(LinkInMainForm, CancelledLoadIsNotRun) {
    TEditor* editor = openProgram(largeProgram());
    const QByteArray img = imageOf(*editor);
    ASSERT_GT(img.size(), kLoadProgressThreshold);
    // Cancel at the first block: the calls before it are the compile step's.
    ScriptedPrompts measure;
    shell::runCompileStep({editor->caption(), editor->fileName(), editor->control().text()},
                          form->settings().compile, measure);
    prompts.scriptedProgress().cancelAtCall(measure.scriptedProgress().calls);

    trigger(&MenuActions::run);
    EXPECT_EQ(prompts.messages(), QStringList{kLoadCancelled});
    const QByteArray sent = heard();
    EXPECT_EQ(sent, QByteArray(1, char(kLoadCommand)) + char(0x80) + img.left(128) + '\0');
    EXPECT_FALSE(sent.endsWith(char(kRunCommand)));
    EXPECT_TRUE(form->loggerLink().ProgramDir.isEmpty());
}

TEST_F(LinkInMainForm, BusyLinkDisablesEveryLineCommandUntilItEnds) {
    openProgram(kSmallProgram);
    logger.echo = -1;
    QStringList enabledDuring;
    int refusedRuns = 0;
    QTimer::singleShot(100, [&] {
        for (const MenuItem item : linkCommandItems()) {
            if ((form->actions().*item)->isEnabled())
                enabledDuring << (form->actions().*item)->objectName();
        }
        // A command started some other way than the menu is refused by the link itself.
        if (!form->loggerLink().claim())
            ++refusedRuns;
    });
    trigger(&MenuActions::load);
    EXPECT_EQ(enabledDuring, QStringList{});
    EXPECT_EQ(refusedRuns, 1);
    EXPECT_EQ(prompts.messages(), (QStringList{kBusyMessage, kNotResponding, kErrorCommunicating}));
    for (const MenuItem item : linkCommandItems()) {
        EXPECT_TRUE((form->actions().*item)->isEnabled())
            << (form->actions().*item)->objectName().toStdString();
    }
}

TEST_F(LinkInMainForm, ClosingTheWindowEndsTheCommandFirst) {
    openProgram(kSmallProgram);
    logger.echo = -1;
    prompts.answerButton("Yes");
    QTimer::singleShot(50, [&] { form->close(); });
    trigger(&MenuActions::load);
    EXPECT_EQ(prompts.questions(), QStringList{"A transfer is running. Cancel it and quit?"});
    EXPECT_FALSE(form->loggerLink().isBusy());
    EXPECT_EQ(prompts.messages(), QStringList{}) << "an abandoned command says nothing";
    QCoreApplication::processEvents();
    EXPECT_TRUE(form->isClosing()) << "the close went ahead once the line was free";
}

TEST_F(LinkInMainForm, ClosedPortIsNamedAndNothingIsCompiled) {
    openProgram(kSmallProgram);
    line->unplug();
    QCoreApplication::processEvents();
    const qsizetype before = prompts.messages().size();
    form->unlockMenu();  // the loss locked the menu; the command must refuse on its own too
    trigger(&MenuActions::load);
    ASSERT_EQ(prompts.messages().size(), before + 1);
    EXPECT_TRUE(prompts.messages().last().startsWith("COM1 (/dev/virt1) is not open"));
    EXPECT_EQ(prompts.scriptedProgress().captions, QStringList{}) << "no compile";
}

TEST_F(LinkInMainForm, LinkStateTravelsWithTheSettings) {
    link::LoggerLink& link = form->loggerLink();
    EXPECT_FALSE(link.ConfirmConnect);
    EXPECT_EQ(link.OffloadDir, "/data/offload");
    link.OffloadDir = "/data/elsewhere";
    form->saveSettingsNow();
    EXPECT_EQ(form->settings().program.offloadDir, "/data/elsewhere");
}

}  // namespace
