// The terminal window over the in-process serial line: typing, receiving, capture, break, scroll-back,
// status panels and their clicks, suspend and resume, clipboard, settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include "apdcomport.h"
#include "pairbackend.h"
#include "scriptedprompts.h"
#include "terminalwin.h"

namespace orrery::terminal {
namespace {

using serial::PairBench;
using serial::PortMap;
using serial::TApdComPort;
using serial::VirtualLine;

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class TerminalWindow : public ::testing::Test {
protected:
    TerminalWindow() : line(bench->addDevice("/dev/virt1")) {
        PortMap map;
        map.assign(1, "/dev/virt1");
        port.setBackendFactory(bench->factory());
        port.setPortMap(map);
        port.setComNumber(1);
        port.open();
        form = std::make_unique<TTerminalForm>(port, prompts);
        form->setProgramDir(dir.path() + "/");
        form->resize(700, 420);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    // Lets the window take what the line delivered.
    void settle() {
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
        }
    }
    void receive(const QByteArray& bytes) {
        line.send(bytes);
        settle();
    }
    QString panel(int index) const { return form->statusBar()->panelText(index); }
    std::string row(int r) const { return form->display()->screen().rowText(r); }
    void clickPanel(int index) {
        const QPoint at(form->statusBar()->panelLeft(index) + 5, form->statusBar()->height() / 2);
        QTest::mouseClick(form->statusBar(), Qt::LeftButton, {}, at);
    }
    QString path(const QString& name) const { return dir.path() + "/" + name; }

    QTemporaryDir dir;
    std::shared_ptr<PairBench> bench = std::make_shared<PairBench>();
    VirtualLine& line;
    TApdComPort port;
    ScriptedPrompts prompts;
    std::unique_ptr<TTerminalForm> form;
};

TEST_F(TerminalWindow, TypedBytesGoOutUnchangedWithoutEcho) {
    form->display()->setFocus();
    QTest::keyClicks(form->display(), "at+1");
    QTest::keyClick(form->display(), Qt::Key_Return);
    QTest::keyClick(form->display(), Qt::Key_Tab);
    QTest::keyClick(form->display(), Qt::Key_C, Qt::ControlModifier);
    settle();
    EXPECT_EQ(line.takeReceived(), QByteArray("at+1\r\t\x03"));
    EXPECT_EQ(row(1), "");
}

TEST_F(TerminalWindow, ReceivedBytesAppear) {
    receive("Brackwater 420\r\nready");
    EXPECT_EQ(row(1), "Brackwater 420");
    EXPECT_EQ(row(2), "ready");
}

TEST_F(TerminalWindow, NeverCloses) {
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), "Terminal Window");
}

TEST_F(TerminalWindow, StatusPanelsShowTheState) {
    const QStringList expected{"19200 ", "Com 1", "Capt off-A", "Hex off", "Scroll off"};
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(panel(i), expected[i]) << i;
    }
    EXPECT_EQ(panel(5), QString("%1:%2").arg(form->display()->visibleRows()).arg(form->display()->visibleColumns()));
    EXPECT_EQ(panel(6), "Break off");
    EXPECT_EQ(panel(7), "Clear");
    EXPECT_EQ(panel(8), "");
    port.setBaud(57600);
    form->refreshStatus();
    EXPECT_EQ(panel(0), "57600 ");
}

TEST_F(TerminalWindow, CaptureInTextAndHexModeWritesTheRawBytes) {
    const QByteArray bytes("line\r\n\x07\t\x00\xff\x1b[", 12);
    for (bool hex : {false, true}) {
        const QString file = path(hex ? "hex.cap" : "text.cap");
        form->setHexDisplay(hex);
        prompts.answerFile(file);
        form->captureAction()->trigger();
        ASSERT_TRUE(form->capturing());
        EXPECT_TRUE(form->captureAction()->isChecked());
        receive(bytes);
        form->captureAction()->trigger();
        EXPECT_FALSE(form->capturing());
        EXPECT_EQ(readFile(file), bytes) << "hex " << hex;
    }
    EXPECT_TRUE(prompts.unexpected().isEmpty());
}

TEST_F(TerminalWindow, CaptureOfAnExistingFileAsksAppendOverwriteOrCancel) {
    const struct {
        const char* button;
        QByteArray content;
        bool on;
        const char* panel;
    } cases[] = {
        {"Append", "old\r\nnew", true, "Capt on-A"},
        {"Overwrite", "new", true, "Capt on-O"},
        {"Cancel", "old\r\n", false, "Capt off-O"},  // the mode of the previous case stays
    };
    for (const auto& c : cases) {
        const QString file = path("existing.txt");
        writeFile(file, "old\r\n");
        prompts.answerFile(file);
        prompts.answerButton(c.button);
        form->captureAction()->trigger();
        EXPECT_EQ(form->capturing(), c.on) << c.button;
        EXPECT_EQ(form->captureAction()->isChecked(), c.on) << c.button;
        EXPECT_EQ(panel(2), c.panel) << c.button;
        receive("new");
        form->setCapture(false);
        form->captureAction()->setChecked(false);
        EXPECT_EQ(readFile(file), c.content) << c.button;
    }
    const auto events = prompts.events();
    ASSERT_FALSE(events.isEmpty());
    EXPECT_EQ(events.last().caption, "Capture Mode");
    EXPECT_EQ(events.last().text, "This file already exists:\n" + path("existing.txt"));
    // Only "Capture Mode" asks about the existing file; the save dialog before it does not.
    for (const auto& event : events) {
        EXPECT_FALSE(event.kind == "save" && event.asksReplace) << event.caption.toStdString();
    }
    EXPECT_TRUE(prompts.unexpected().isEmpty());
}

TEST_F(TerminalWindow, CaptureSuggestsCaptureTxtInTheProgramFolderAndCancelLeavesItOff) {
    prompts.answerFile("");
    form->captureAction()->trigger();
    EXPECT_FALSE(form->capturing());
    EXPECT_FALSE(form->captureAction()->isChecked());
    ASSERT_EQ(prompts.events().size(), 1);
    EXPECT_EQ(prompts.events().first().kind, "save");
    EXPECT_TRUE(prompts.events().first().text.endsWith(path("capture.txt"))) << prompts.events().first().text.toStdString();
}

TEST_F(TerminalWindow, CaptureFileThatCannotBeOpenedIsReportedAndCaptureStaysOff) {
    const QString file = path("no-such-folder/capture.txt");
    prompts.answerFile(file);
    form->captureAction()->trigger();
    EXPECT_FALSE(form->capturing());
    EXPECT_FALSE(form->captureAction()->isChecked());
    EXPECT_EQ(panel(2), "Capt off-A");
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages().first().startsWith("Cannot open capture file " + file));
}

TEST_F(TerminalWindow, CaptureThatCannotBeWrittenStopsAndSaysSo) {
    if (!QFileInfo::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    prompts.answerFile("/dev/full");
    prompts.answerButton("Append");
    form->captureAction()->trigger();
    ASSERT_TRUE(form->capturing());
    receive("reading 1\r\n");
    EXPECT_FALSE(form->capturing());
    EXPECT_FALSE(form->captureAction()->isChecked());
    EXPECT_EQ(panel(2), "Capt off-A");
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages().first().startsWith("Error writing capture file /dev/full"));
    receive("reading 2\r\n");
    EXPECT_EQ(prompts.messages().size(), 1) << "said once";
    EXPECT_EQ(row(2), "reading 2") << "the terminal goes on showing";
}

TEST_F(TerminalWindow, BreakTogglesTheLine) {
    form->breakAction()->trigger();
    EXPECT_TRUE(line.breakOn());
    EXPECT_TRUE(form->breakAction()->isChecked());
    EXPECT_EQ(panel(6), "Break on");
    form->breakAction()->trigger();
    EXPECT_FALSE(line.breakOn());
    EXPECT_EQ(panel(6), "Break off");
}

TEST_F(TerminalWindow, BreakOnAClosedPortIsRefused) {
    port.close();
    form->toggleBreak();
    EXPECT_FALSE(form->breakOn());
    EXPECT_EQ(panel(6), "Break off");
    EXPECT_EQ(prompts.messages().size(), 1);
}

TEST_F(TerminalWindow, HexMenuItemLaysOutADump) {
    receive("abc");
    form->hexDisplayAction()->trigger();
    EXPECT_EQ(panel(3), "Hex on");
    receive("\x41\x0d");
    EXPECT_EQ(row(2).substr(0, 5), "41 0D");
    EXPECT_EQ(row(2).substr(51), "A\xfa");
    form->hexDisplayAction()->trigger();
    EXPECT_EQ(panel(3), "Hex off");
    receive("z");
    EXPECT_EQ(row(3), "z");
}

TEST_F(TerminalWindow, PanelClicksRunTheirCommands) {
    int portSetups = 0;
    form->setPortSetupHandler([&] { ++portSetups; });
    clickPanel(0);
    clickPanel(1);
    EXPECT_EQ(portSetups, 2);
    clickPanel(3);
    EXPECT_TRUE(form->hexDisplay());
    EXPECT_TRUE(form->hexDisplayAction()->isChecked());
    clickPanel(4);
    EXPECT_EQ(panel(4), "Scroll on");
    clickPanel(4);
    EXPECT_EQ(panel(4), "Scroll off");
    clickPanel(6);
    EXPECT_TRUE(line.breakOn());
    clickPanel(6);
    EXPECT_FALSE(line.breakOn());
    prompts.answerFile(path("panel.cap"));
    clickPanel(2);
    EXPECT_TRUE(form->capturing());
    EXPECT_TRUE(form->captureAction()->isChecked());
    clickPanel(2);
    EXPECT_FALSE(form->capturing());
    receive("\x01\x02\x03");
    clickPanel(7);
    EXPECT_EQ(form->logic().hexColumn(), 0);
    EXPECT_EQ(row(1), "");
    clickPanel(5);
    clickPanel(8);
    EXPECT_TRUE(prompts.unexpected().isEmpty());
}

TEST_F(TerminalWindow, CapturHexAndScrollPanelsDoNothingWithoutAPort) {
    port.close();
    port.setComNumber(0);
    form->refreshStatus();
    EXPECT_EQ(panel(1), "Com 0");
    clickPanel(2);
    clickPanel(3);
    clickPanel(4);
    EXPECT_FALSE(form->capturing());
    EXPECT_FALSE(form->hexDisplay());
    EXPECT_FALSE(form->scrollback());
    EXPECT_TRUE(prompts.events().isEmpty());
}

TEST_F(TerminalWindow, UpEntersScrollbackAndEnterLeavesItWithoutSending) {
    form->display()->setFocus();
    QTest::keyClick(form->display(), Qt::Key_Up);
    EXPECT_EQ(panel(4), "Scroll on");
    QTest::keyClick(form->display(), Qt::Key_Return);
    EXPECT_EQ(panel(4), "Scroll off");
    QTest::keyClick(form->display(), Qt::Key_Up);
    QTest::keyClick(form->display(), Qt::Key_Escape);
    EXPECT_EQ(panel(4), "Scroll off");
    settle();
    EXPECT_EQ(line.takeReceived(), QByteArray());
    QTest::keyClick(form->display(), Qt::Key_Return);
    settle();
    EXPECT_EQ(line.takeReceived(), QByteArray("\r"));
}

TEST_F(TerminalWindow, WheelIntoTheHistoryIsScrollbackThatTheKeysEnd) {
    QByteArray lines;
    for (int i = 1; i <= 60; ++i) {
        lines += "line " + QByteArray::number(i) + "\r\n";
    }
    receive(lines);
    QWidget* viewport = form->display()->viewport();
    const struct {
        Qt::Key key;
        QByteArray sent;  // what reaches the port after the key that ends scroll-back
    } endings[] = {{Qt::Key_Return, ""}, {Qt::Key_Escape, ""}};
    for (const auto& ending : endings) {
        const QPoint at = viewport->rect().center();
        QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, 120 * 3), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        settle();
        ASSERT_GT(form->display()->screen().viewOffset(), 0) << "the wheel scrolls into the history";
        EXPECT_TRUE(form->scrollback());
        EXPECT_EQ(panel(4), "Scroll on");
        form->display()->setFocus();
        QTest::keyClick(form->display(), ending.key);
        settle();
        EXPECT_EQ(panel(4), "Scroll off");
        EXPECT_EQ(form->display()->screen().viewOffset(), 0) << "the view is back at the newest line";
        EXPECT_EQ(line.takeReceived(), ending.sent);
    }
}

TEST_F(TerminalWindow, ResizeLeavesScrollbackAndUpdatesRowsAndColumns) {
    form->toggleScrollback();
    form->resize(form->width() + 100, form->height() + 60);
    settle();
    EXPECT_EQ(panel(4), "Scroll off");
    EXPECT_EQ(panel(5), QString("%1:%2").arg(form->display()->visibleRows()).arg(form->display()->visibleColumns()));
}

TEST_F(TerminalWindow, SuspendedTerminalLeavesBytesInThePort) {
    form->setCapture(false);
    form->setDisplayActive(false);
    receive("OK");
    EXPECT_EQ(row(1), "");
    ASSERT_TRUE(port.charReady());
    EXPECT_EQ(port.getChar(), 'O');
    form->setDisplayActive(true);
    settle();
    EXPECT_EQ(row(1), "K");
    EXPECT_FALSE(port.charReady());
}

TEST_F(TerminalWindow, CopyDropsTheTrailingLineEndAndPasteSendsTheClipboard) {
    receive("first\r\nsecond\r\n");
    auto& screen = form->display()->screen();
    screen.setSelection({screen.pageTopLine(), 1}, {screen.pageTopLine(), 80});
    form->copySelection();
    EXPECT_EQ(QApplication::clipboard()->text(), "first");
    screen.setSelection({screen.pageTopLine(), 2}, {screen.pageTopLine() + 1, 3});
    form->copySelection();
    EXPECT_EQ(QApplication::clipboard()->text(), "irst\r\nsec");
    QApplication::clipboard()->setText("DIR\nTYPE a.dat\n");
    form->pasteClipboard();
    settle();
    EXPECT_EQ(line.takeReceived(), QByteArray("DIR\nTYPE a.dat\n"));
}

TEST_F(TerminalWindow, SettingsRoundTripAndOutOfRangeTabSizeBecomesEight) {
    const int cases[][2] = {{0, 8}, {300, 8}, {4, 4}, {255, 255}};
    for (const auto& c : cases) {
        ScriptedPrompts quiet;
        TTerminalForm fresh(port, quiet);
        TerminalSettings in;
        in.captureFile = "/data/log.cap";
        in.captureAppend = false;
        in.tabSize = c[0];
        fresh.loadSettings(in);
        fresh.resize(600, 300);
        fresh.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
        EXPECT_EQ(fresh.tabSize(), c[1]) << c[0];
        const TerminalSettings out = fresh.saveSettings();
        EXPECT_EQ(out.tabSize, c[1]);
        EXPECT_EQ(out.captureFile, "/data/log.cap");
        EXPECT_FALSE(out.captureAppend);
        EXPECT_EQ(out.columns, fresh.display()->visibleColumns());
        EXPECT_EQ(out.rows, fresh.display()->visibleRows());
        EXPECT_FALSE(fresh.capturing()) << "capture always starts off";
        EXPECT_FALSE(fresh.hexDisplay());
        EXPECT_FALSE(fresh.breakOn());
        EXPECT_EQ(fresh.statusBar()->panelText(2), "Capt off-O");
    }
}

TEST_F(TerminalWindow, MenuActionsOfTheMainWindowCarryTheState) {
    QAction hex("&Hex display"), capture("&Capture to file..."), brk("Break");
    form->bindMenuActions(&hex, &capture, &brk);
    hex.trigger();
    EXPECT_TRUE(form->hexDisplay());
    EXPECT_TRUE(hex.isChecked());
    brk.trigger();
    EXPECT_TRUE(line.breakOn());
    prompts.answerFile("");
    capture.trigger();
    EXPECT_FALSE(capture.isChecked());
    form->bindMenuActions(form->hexDisplayAction(), form->captureAction(), form->breakAction());
}

TEST_F(TerminalWindow, MegabyteBurstIsTakenInSlicesAndCapturedCompletely) {
    QByteArray burst(3 * 1024 * 1024 + 17, '\0');
    auto* random = QRandomGenerator::global();
    for (auto& b : burst) {
        b = char(random->bounded(256));
    }
    for (bool hex : {false, true}) {
        const QString file = path(hex ? "burst-hex.cap" : "burst-text.cap");
        form->setHexDisplay(hex);
        prompts.answerFile(file);
        ASSERT_TRUE(form->setCapture(true));
        line.send(burst);
        form->pumpPort();
        EXPECT_GT(form->pendingBytes(), 0) << "one turn shows one slice, not the whole burst";
        QTRY_VERIFY_WITH_TIMEOUT(form->pendingBytes() == 0 && !port.charReady(), 60000);
        settle();
        form->setCapture(false);
        const QByteArray written = readFile(file);
        EXPECT_EQ(written.size(), burst.size()) << "hex " << hex;
        EXPECT_TRUE(written == burst) << "hex " << hex;
    }
}

}  // namespace
}  // namespace orrery::terminal
