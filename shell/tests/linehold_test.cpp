// While a transfer holds the line: the progress dialog's Esc, close button and Alt+F4 are Cancel; the
// commands that would use the line or the dialog are disabled and the status bar names the holder;
// closing the main window asks first, and Yes ends the transfer cleanly before the window goes.
// The workbench is put together as main() does it (the real status dialog included) on an in-process
// line whose far end the test plays.
#include <gtest/gtest.h>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "asciioptionsform.h"
#include "editor.h"
#include "mainform.h"
#include "mainformlink.h"
#include "mainformterminal.h"
#include "mainformtransfers.h"
#include "menuitems.h"
#include "offloaddialogs.h"
#include "pairbackend.h"
#include "scriptedprompts.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"
#include "utilitiescommands.h"
#include "xmodem.h"
#include "scriptedportdialogs.h"

using namespace orrery;

namespace {

// Scripted questions, but the workbench's own progress dialog.
class StatusPrompts : public ScriptedPrompts {
public:
    Progress& progress() override { return status ? *status : ScriptedPrompts::progress(); }
    Progress* status = nullptr;
};

bool spinUntil(const std::function<bool()>& done, int ms = 20000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return done();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class LineHold : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ORRERY_SETTINGS", dir.filePath("orrery.ini").toLocal8Bit());
        qputenv("ORRERY_COM1", "/dev/virt1");
        writeFile(dir.filePath("orrery.ini"),
                  QString("[Program]\nVersion=414\nOffloadDir=%1\n[Ports]\nComNum=COM1\n")
                      .arg(dir.path())
                      .toUtf8());
        line = &bench->addDevice("/dev/virt1");
        form = std::make_unique<TMainForm>(prompts, portDialogs);
        form->ApdComPort1.setBackendFactory(bench->factory());
        form->setSettingsContext({dir.path() + "/", QRect(0, 0, 1280, 1024), QRect(0, 0, 800, 600)});
        term = new terminal::TTerminalForm(form->ApdComPort1, prompts);
        attachTerminal(*form, *term, termOptions, prompts, [](auto&) { return false; });
        editorCommands = new shell::EditorCommands(*form, prompts);
        prompts.status = &editorCommands->statusDialog();
        attachLink(*form, *term);
        parts = attachTransfers(*form, *term, form->loggerLink(), prompts,
                                {serialRange, diskRange, asciiOptions, editorCommands->fileExistsForm()});
        form->show();
        // The first show opens the port and unlocks the menu.
        ASSERT_TRUE(spinUntil([this] { return form->ApdComPort1.isOpen() && !form->isMenuLocked(); }, 5000));
        line->takeReceived();
    }
    void TearDown() override {
        parts.reset();
        form.reset();
        qunsetenv("ORRERY_COM1");
        qunsetenv("ORRERY_SETTINGS");
    }
    shell::TStatusDialog& status() { return editorCommands->statusDialog(); }
    // An XMODEM receive from the terminal with no sender at the far end: it waits for the first block.
    void startWaitingReceive() {
        prompts.answerFile(dir.filePath("in.dat"));
        ASSERT_TRUE(menuItem(*form, "RcvfileXMODEM1")->isEnabled());
        form->actions().rcvFileXmodem->trigger();
        ASSERT_TRUE(form->loggerLink().isBusy())
            << prompts.messages().join('|').toStdString() << prompts.unexpected().join('|').toStdString();
        ASSERT_TRUE(spinUntil([this] { return line->received().contains(char(xmodem::kNak)); }))
            << line->received().toHex().toStdString();
        ASSERT_TRUE(status().isVisible());
    }
    bool ended() { return !form->loggerLink().isBusy() && !status().isVisible(); }

    QTemporaryDir dir;
    std::shared_ptr<serial::PairBench> bench = std::make_shared<serial::PairBench>();
    serial::VirtualLine* line = nullptr;
    StatusPrompts prompts;
    ScriptedPortDialogs portDialogs;
    terminal::TTerminalOptionsDialog termOptions;
    shell::TSerOffloadDialog serialRange;
    shell::TDiskOffloadDialog diskRange;
    terminal::TAsciiOptionsDialog asciiOptions;
    std::unique_ptr<TMainForm> form;
    terminal::TTerminalForm* term = nullptr;
    shell::EditorCommands* editorCommands = nullptr;
    std::shared_ptr<TransferParts> parts;
};

}  // namespace

TEST_F(LineHold, TheProgressDialogHasACloseButtonAndNoMinimiseOrMaximise) {
    const Qt::WindowFlags flags = status().windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
}

// Each way of closing the dialog ends the transfer through its Cancel path; the dialog stays up until
// the transfer has ended.
TEST_F(LineHold, EscAndWindowCloseAreCancel) {
    const struct {
        const char* how;
        std::function<void(shell::TStatusDialog&)> act;
    } ways[] = {
        {"Esc", [](shell::TStatusDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"close button / Alt+F4",
         [](shell::TStatusDialog& d) {
             QCloseEvent event;
             QCoreApplication::sendEvent(&d, &event);
             EXPECT_FALSE(event.isAccepted());
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        startWaitingReceive();
        line->takeReceived();
        way.act(status());
        EXPECT_TRUE(status().isVisible()) << "hidden while the transfer still runs";
        ASSERT_TRUE(spinUntil([this] { return ended(); }));
        EXPECT_TRUE(line->received().contains("\x18\x18")) << "the sender is told";
        ASSERT_FALSE(prompts.messages().isEmpty());
        EXPECT_TRUE(prompts.messages().last().startsWith("XMODEM transfer failed: cancelled."))
            << prompts.messages().last().toStdString();
    }
}

TEST_F(LineHold, CommandsThatUseTheLineOrTheDialogWaitAndTheStatusBarNamesTheHolder) {
    form->actions().newFile->trigger();
    ASSERT_NE(form->activeEditor(), nullptr);
    auto* holder = form->findChild<QLabel*>("LineHolder");
    ASSERT_NE(holder, nullptr);
    EXPECT_TRUE(menuItem(*form, "Syntaxcheck1")->isEnabled());

    startWaitingReceive();
    form->updateCommandState();  // as opening a menu does
    for (const char* item : {"Syntaxcheck1", "Run1", "Load1", "Offloaddatafile1", "RepriseEPROM1",
                             "SndfileASCII1", "RcvfileXMODEM1", "Portsetup1"}) {
        EXPECT_FALSE(menuItem(*form, item)->isEnabled()) << item;
    }
    EXPECT_TRUE(menuItem(*form, "Save1")->isEnabled()) << "editing goes on";
    EXPECT_EQ(form->lineHolder(), "Rcv file XMODEM");
    EXPECT_TRUE(holder->isVisible());
    EXPECT_EQ(holder->text(), "Rcv file XMODEM is using the line");

    status().cancelButton()->click();
    ASSERT_TRUE(spinUntil([this] { return ended(); }));
    form->updateCommandState();
    for (const char* item : {"Syntaxcheck1", "Run1", "Load1", "RcvfileXMODEM1"}) {
        EXPECT_TRUE(menuItem(*form, item)->isEnabled()) << item;
    }
    EXPECT_FALSE(holder->isVisible());
    EXPECT_TRUE(form->lineHolder().isEmpty());
}

TEST_F(LineHold, ClosingTheWindowDuringATransferAsksAndNoKeepsItRunning) {
    startWaitingReceive();
    prompts.answerButton("No");
    EXPECT_FALSE(form->close());
    EXPECT_EQ(prompts.questions(), QStringList{"A transfer is running. Cancel it and quit?"});
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->loggerLink().isBusy());
    EXPECT_TRUE(status().isVisible());
    status().cancelButton()->click();
    ASSERT_TRUE(spinUntil([this] { return ended(); }));
}

TEST_F(LineHold, YesCancelsTheTransferKeepsWhatCameAndQuits) {
    startWaitingReceive();
    // One block arrives, then the user quits.
    const std::uint8_t data[128] = {1, 2, 3};
    line->send(QByteArray::fromStdString(xmodem::frameBlock(1, data, sizeof data)));
    ASSERT_TRUE(spinUntil([this] { return line->received().contains(char(xmodem::kAck)); }));
    line->takeReceived();
    prompts.answerButton("Yes");
    form->close();
    ASSERT_TRUE(spinUntil([this] { return !form->isVisible(); }));
    EXPECT_TRUE(line->received().contains("\x18\x18")) << "the sender is told";
    EXPECT_FALSE(form->loggerLink().isBusy());
    EXPECT_FALSE(QFile::exists(dir.filePath("in.dat"))) << "no partial file under the final name";
    QFile partial(dir.filePath("in.dat.partial"));
    ASSERT_TRUE(partial.open(QIODevice::ReadOnly));
    EXPECT_EQ(partial.readAll(), QByteArray(reinterpret_cast<const char*>(data), sizeof data));
}
