// The terminal window inside the main window: menu items, port status, settings and options.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QTemporaryDir>

#include "commsettingsform.h"
#include "editor.h"
#include "mainform.h"
#include "mainformterminal.h"
#include "pairbackend.h"
#include "scriptedprompts.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"
#include "scriptedportdialogs.h"

using namespace orrery;
using namespace orrery::serial;

namespace {

class TerminalInMainForm : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ORRERY_SETTINGS", dir.filePath("orrery.ini").toLocal8Bit());
        qputenv("ORRERY_COM1", "/dev/virt1");
        line = &bench->addDevice("/dev/virt1");
        QFile f(dir.filePath("orrery.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n[Terminal]\nTabSize=4\nCapture file=/tmp/c.txt\n"
                "Capture append=0\n");
        f.close();
        form = std::make_unique<TMainForm>(prompts, dialogs);
        form->ApdComPort1.setBackendFactory(bench->factory());
        form->setSettingsContext({dir.path() + "/", QRect(0, 0, 1280, 1024), QRect(0, 0, 800, 600)});
        term = new terminal::TTerminalForm(form->ApdComPort1, prompts);
        options = std::make_unique<terminal::TTerminalOptionsDialog>();
        sub = attachTerminal(*form, *term, *options, prompts, [this](terminal::TTerminalOptionsDialog& d) {
            if (optionsAnswer.isNull()) {
                return false;
            }
            d.tabSizeField()->setText(optionsAnswer);
            return true;
        });
        form->FormShow();
    }
    void TearDown() override {
        form.reset();
        qunsetenv("ORRERY_COM1");
        qunsetenv("ORRERY_SETTINGS");
    }
    QTemporaryDir dir;
    std::shared_ptr<PairBench> bench = std::make_shared<PairBench>();
    VirtualLine* line = nullptr;
    ScriptedPrompts prompts;
    ScriptedPortDialogs dialogs;
    std::unique_ptr<terminal::TTerminalOptionsDialog> options;
    std::unique_ptr<TMainForm> form;
    terminal::TTerminalForm* term = nullptr;
    QMdiSubWindow* sub = nullptr;
    QString optionsAnswer;
};

TEST_F(TerminalInMainForm, CheckItemsDriveTheTerminalWithoutOtherMessages) {
    ASSERT_TRUE(form->ApdComPort1.isOpen());
    form->actions().hexDisplay->trigger();
    EXPECT_TRUE(term->hexDisplay());
    form->actions().lineBreak->trigger();
    EXPECT_TRUE(line->breakOn());
    form->actions().lineBreak->trigger();
    EXPECT_FALSE(line->breakOn());
    form->actions().clearTerminal->trigger();
    EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join("|").toStdString();
}

TEST_F(TerminalInMainForm, TerminalSettingsComeFromAndGoBackToTheStore) {
    form->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(term->tabSize(), 4);
    EXPECT_EQ(term->captureFileName(), "/tmp/c.txt");
    EXPECT_FALSE(term->captureAppend());
    ASSERT_TRUE(form->close());
    QSettings st(dir.filePath("orrery.ini"), QSettings::IniFormat);
    EXPECT_EQ(st.value("Terminal/TabSize").toString(), "4");
    EXPECT_EQ(st.value("Terminal/Capture file").toString(), "/tmp/c.txt");
    EXPECT_EQ(st.value("Terminal/Capture append").toString(), "0");
}

TEST_F(TerminalInMainForm, TerminalActiveTakesTheEditShortcutsAndSaveAllSkipsIt) {
    form->actions().newFile->trigger();
    form->mdiArea()->setActiveSubWindow(sub);
    form->updateCommandState();
    EXPECT_TRUE(form->actions().copy->shortcut().isEmpty());
    EXPECT_FALSE(form->actions().save->isEnabled());
    EXPECT_EQ(form->editors().size(), 1) << "the terminal is not an editor";
}

TEST_F(TerminalInMainForm, TerminalOptionsCommand) {
    const struct {
        const char* answer;  // nullptr: cancelled
        int tabSize;
        QStringList messages;
    } cases[] = {
        {"6", 6, {}},
        {nullptr, 6, {}},
        {"x1", 6, {"'x1' is not a valid integer value"}},
    };
    for (const auto& c : cases) {
        ScriptedPrompts& p = prompts;
        const qsizetype before = p.messages().size();
        optionsAnswer = c.answer ? QString::fromLatin1(c.answer) : QString();
        form->actions().terminalOptions->trigger();
        EXPECT_EQ(term->tabSize(), c.tabSize) << (c.answer ? c.answer : "cancel");
        EXPECT_EQ(p.messages().mid(before), c.messages);
    }
}

TEST_F(TerminalInMainForm, PortSetupFromTheMenuReachesTheDialog) {
    form->actions().portSetup->trigger();
    EXPECT_EQ(dialogs.setupCalls, 1);
    EXPECT_TRUE(form->actions().run->isEnabled()) << "cancelled with the port open: unlocked again";
}

TEST_F(TerminalInMainForm, SuspendedTerminalLeavesTheLineToTheCommand) {
    {
        terminal::TerminalOffLineScope suspended(*term);
        line->send("\x0c");
        QCoreApplication::processEvents();
        EXPECT_EQ(form->ApdComPort1.getChar(), 0x0c);
        line->send("late");
        QCoreApplication::processEvents();
    }
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(term->displayActive());
    EXPECT_EQ(term->display()->screen().rowText(1).substr(0, 4), "late");
}

}  // namespace
