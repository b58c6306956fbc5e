// The main window run headless: start-up with and without a port, the locked menu, port setup, recent
// files, file commands and shut-down. The serial line is the in-process pair; every question is
// scripted.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QUrl>
#include <QMenu>
#include <QMenuBar>
#include <QCoreApplication>
#include <QTemporaryDir>

#include "commsettingsform.h"
#include "editor.h"
#include "mainform.h"
#include "menuitems.h"
#include "pairbackend.h"
#include "scriptedprompts.h"
#include "scriptedportdialogs.h"

using namespace orrery;
using namespace orrery::serial;

namespace {

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ORRERY_SETTINGS", dir.filePath("orrery.ini").toLocal8Bit());
        for (int n = 1; n <= 4; ++n) {
            qputenv(QStringLiteral("ORRERY_COM%1").arg(n).toLatin1(), QStringLiteral("/dev/virt%1").arg(n).toLatin1());
        }
        line1 = &bench->addDevice("/dev/virt1");
        line2 = &bench->addDevice("/dev/virt2");
        form = std::make_unique<TMainForm>(prompts, dialogs);
        form->ApdComPort1.setBackendFactory(bench->factory());
        form->setSettingsContext({dir.path() + "/", QRect(0, 0, 1280, 1024), QRect(0, 0, 800, 600)});
    }
    void TearDown() override {
        form.reset();
        for (int n = 1; n <= 4; ++n) {
            qunsetenv(QStringLiteral("ORRERY_COM%1").arg(n).toLatin1());
        }
        qunsetenv("ORRERY_SETTINGS");
    }
    void writeStore(const QByteArray& text) {
        QFile f(dir.filePath("orrery.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QSettings store() { return QSettings(dir.filePath("orrery.ini"), QSettings::IniFormat); }
    QString file(const QString& name, const QByteArray& content = "10 PRINT 1\r\n") {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return path;
    }
    // Captions of the enabled items one level below the menu bar, with the Tile submenu left out.
    QStringList enabledItems() {
        QStringList names;
        for (const char* menuName : {"File1", "Edit1", "Search1", "Brackwater1", "CommPort1", "Window1", "Help1"}) {
            for (QAction* a : form->menu(menuName)->actions()) {
                if (!a->isSeparator() && a->isEnabled() && a->isVisible()) {
                    names << a->objectName();
                }
            }
        }
        return names;
    }
    bool enabled(MenuItem item) { return (form->actions().*item)->isEnabled(); }
    void startWithPort1() {
        writeStore("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n");
        form->FormShow();
        ASSERT_TRUE(form->ApdComPort1.isOpen());
    }

    QTemporaryDir dir;
    std::shared_ptr<PairBench> bench = std::make_shared<PairBench>();
    VirtualLine* line1 = nullptr;
    VirtualLine* line2 = nullptr;
    ScriptedPrompts prompts;
    ScriptedPortDialogs dialogs;
    std::unique_ptr<TMainForm> form;
};

const QString kPortError = "Error opening COM port. Select CommPort | Port setup...";

TEST_F(MainFormTest, CaptionAndMenuBarInOrder) {
    EXPECT_EQ(form->windowTitle(), "Orrery");
    QStringList titles;
    for (QAction* a : form->menuBar()->actions()) {
        titles << a->text();
    }
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&Search", "&Brackwater", "&CommPort", "&Window", "&Help"}));
    QStringList file;
    for (QAction* a : form->menu("File1")->actions()) {
        file << (a->isSeparator() ? "-" : a->text());
    }
    EXPECT_EQ(file, (QStringList{"&New", "&Open...", "&Close", "-", "&Save", "Save &As...", "Sa&ve all", "-",
                                 "&Print...", "-", "1", "2", "3", "4", "5", "-", "E&xit"}));
    const struct {
        const char* name;
        const char* shortcut;
        const char* hint;
    } items[] = {
        {"Open1", "F4", "Open an existing file"}, {"Save1", "F2", "Save current file"},
        {"Exit1", "Alt+Q", "Exit the application"}, {"Print1", "Alt+P", ""},
        {"Findagain1", "F3", ""}, {"Run1", "Alt+R", ""}, {"Load1", "Alt+L", ""}, {"Syntaxcheck1", "Alt+Y", ""},
        {"BootEPROM1", "Alt+B", ""}, {"Offloaddatafile1", "Alt+O", ""}, {"RepriseEPROM1", "Alt+E", ""},
        {"ViewVariables1", "Alt+V", ""}, {"ModifyVariables1", "Alt+M", ""}, {"Hexdisplay1", "Alt+X", ""},
        {"Capturetofile1", "Alt+Z", ""}, {"Break1", "Alt+K", ""}, {"Next1", "F6", ""},
        {"Previous1", "Shift+F6", ""}, {"PasteDatetime1", "Alt+D", ""}, {"Clear1", "Ctrl+Del", ""},
        {"Cut1", "Ctrl+X", "Cut to clipboard"}, {"New1", "", "Create a new file"}, {"Close1", "", "Close current file"},
        {"SaveAs1", "", "Save current file as..."},
    };
    for (const auto& i : items) {
        EXPECT_EQ(menuItem(*form, i.name)->shortcut().toString(), i.shortcut) << i.name;
        EXPECT_EQ(menuItem(*form, i.name)->statusTip(), i.hint) << i.name;
    }
    EXPECT_EQ(form->menu("File1")->menuAction()->statusTip(), "File related commands");
    EXPECT_EQ(form->menu("Window1")->menuAction()->statusTip(), "Window related commands such as Tile and Cascade");
    EXPECT_TRUE(form->actions().hexDisplay->isCheckable());
    EXPECT_TRUE(form->actions().lineBreak->isCheckable());
}

TEST_F(MainFormTest, FirstRunWithAChosenPortOpensItAndSavesAtOnce) {
    dialogs.selectAnswer = QString("COM2");
    form->FormShow();
    EXPECT_EQ(dialogs.selectCalls, 1);
    EXPECT_EQ(dialogs.offeredAtSelect, (QStringList{"COM1", "COM2"})) << "only devices that open are offered";
    EXPECT_TRUE(line2->isOpen());
    EXPECT_EQ(line2->takeReceived(), "\r") << "the logger is greeted with one carriage return";
    EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join("|").toStdString();
    auto st = store();
    EXPECT_EQ(st.value("Program/Version").toString(), "414");
    EXPECT_EQ(st.value("Ports/ComNum").toString(), "COM2");
    EXPECT_EQ(st.value("Ports/Baud").toString(), "19200");
    EXPECT_EQ(st.value("Ports/Handshake").toString(), "None");
    EXPECT_EQ(line2->settings(), (LineSettings{19200, 8, 1, Parity::None, SwFlow::None}));
    EXPECT_TRUE(enabled(&MenuActions::run));
    EXPECT_TRUE(enabled(&MenuActions::saveAll));
    EXPECT_FALSE(enabled(&MenuActions::close)) << "no editor yet";
}

TEST_F(MainFormTest, FirstRunWithoutAPortEndsLockedWithExactlyTheKeptItems) {
    const struct {
        const char* what;
        std::optional<QString> answer;
        QStringList messages;
    } cases[] = {
        {"no port chosen", QString(""), {"No active Com Port", kPortError}},
        {"dialog not confirmed", std::nullopt, {"No active Com Port", kPortError}},
    };
    for (const auto& c : cases) {
        QFile::remove(dir.filePath("orrery.ini"));
        ScriptedPrompts p;
        ScriptedPortDialogs d;
        d.selectAnswer = c.answer;
        TMainForm f(p, d);
        f.ApdComPort1.setBackendFactory(bench->factory());
        f.FormShow();
        EXPECT_EQ(p.messages(), c.messages) << c.what;
        EXPECT_FALSE(f.ApdComPort1.isOpen()) << c.what;
        QStringList usable;
        for (QMenu* m : f.findChildren<QMenu*>()) {
            if (m->objectName() == "TileMenu") {
                continue;
            }
            for (QAction* a : m->actions()) {
                if (!a->isSeparator() && a->isEnabled() && a->isVisible()) {
                    usable << a->objectName();
                }
            }
        }
        usable.sort();
        EXPECT_EQ(usable, (QStringList{"About1", "Exit1", "Portsetup1"})) << c.what;
        EXPECT_FALSE(QSettings(dir.filePath("orrery.ini"), QSettings::IniFormat).contains("Program/Version"))
            << "nothing chosen, nothing saved";
    }
}

TEST_F(MainFormTest, PortInUseAtStartNamesTheDevice) {
    line1->failNextOpens(kInUse);
    writeStore("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n");
    form->FormShow();
    EXPECT_EQ(dialogs.selectCalls, 0) << "a store with a version does not ask";
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages().at(0), kPortError + "\r\nCOM1 (/dev/virt1): in use by another program");
    EXPECT_FALSE(enabled(&MenuActions::run));
    EXPECT_TRUE(enabled(&MenuActions::portSetup));
}

TEST_F(MainFormTest, StoredSettingsAreAppliedToThePort) {
    writeStore("[Program]\nVersion=414\n[Ports]\nComNum=COM1\nBaud=9600\nDataBits=7\nStopBits=2\nParity=Odd\n"
               "Handshake=XON/XOFF\n");
    form->FormShow();
    EXPECT_EQ(line1->settings(), (LineSettings{9600, 7, 2, Parity::Odd, SwFlow::Both}));
    EXPECT_EQ(line1->takeReceived(), "\r");
}

TEST_F(MainFormTest, PortSetupReopensAndUnlocks) {
    line1->failNextOpens(kInUse);
    writeStore("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n");
    form->FormShow();
    ASSERT_FALSE(enabled(&MenuActions::run));
    line1->failNextOpens({});
    CommSettings chosen{"COM2", "38400", "8", "1", "Even", "None"};
    dialogs.setupAnswer = chosen;
    form->PortSetup1Click();
    EXPECT_EQ(dialogs.shownCurrent.port, "COM1");
    EXPECT_EQ(dialogs.offeredAtSetup, (QStringList{"COM1", "COM2"}));
    EXPECT_TRUE(line2->isOpen());
    EXPECT_EQ(line2->settings(), (LineSettings{38400, 8, 1, Parity::Even, SwFlow::None}));
    EXPECT_TRUE(enabled(&MenuActions::run));
    EXPECT_EQ(form->commSettings(), chosen);
}

TEST_F(MainFormTest, PortSetupKeepsTheDeviceBehindEachName) {
    startWithPort1();
    qputenv("ORRERY_COM1", "/dev/virt2");  // a changed map must not move the open COM1 elsewhere
    dialogs.setupAnswer = CommSettings{"COM1", "9600", "8", "1", "None", "None"};
    form->PortSetup1Click();
    EXPECT_TRUE(line1->isOpen());
    EXPECT_FALSE(line2->isOpen());
    EXPECT_EQ(line1->settings().baud, 9600);
}

TEST_F(MainFormTest, PortSetupOutcomes) {
    const struct {
        const char* what;
        std::optional<CommSettings> answer;
        bool openAfter;
        bool unlocked;
        const char* storedPort;
    } cases[] = {
        {"cancel while open restores the menu", std::nullopt, true, true, "COM1"},
        {"no port chosen stays locked and releases the line", CommSettings{"COM0", "19200", "8", "1", "None", "None"},
         false, false, "COM0"},
        {"a port that will not open stays locked", CommSettings{"COM3", "19200", "8", "1", "None", "None"}, false,
         false, "COM3"},
    };
    for (const auto& c : cases) {
        ScriptedPrompts p;
        ScriptedPortDialogs d;
        writeStore("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n");
        TMainForm f(p, d);
        f.ApdComPort1.setBackendFactory(bench->factory());
        f.FormShow();
        ASSERT_TRUE(f.ApdComPort1.isOpen()) << c.what;
        d.setupAnswer = c.answer;
        f.PortSetup1Click();
        EXPECT_EQ(f.ApdComPort1.isOpen(), c.openAfter) << c.what;
        EXPECT_EQ(line1->isOpen(), c.openAfter) << c.what;
        EXPECT_EQ(f.actions().run->isEnabled(), c.unlocked) << c.what;
        EXPECT_TRUE(f.actions().portSetup->isEnabled()) << c.what;
        EXPECT_EQ(f.commSettings().port, c.storedPort) << c.what;
    }
}

TEST_F(MainFormTest, LowerCaseParityIsNotRecognisedAndKeepsThePrevious) {
    startWithPort1();
    dialogs.setupAnswer = CommSettings{"COM1", "19200", "8", "1", "Even", "None"};
    form->PortSetup1Click();
    ASSERT_EQ(line1->settings().parity, Parity::Even);
    dialogs.setupAnswer = CommSettings{"COM1", "19200", "8", "1", "none", "xon"};
    form->PortSetup1Click();
    EXPECT_EQ(line1->settings().parity, Parity::Even);
    EXPECT_EQ(line1->settings().swFlow, SwFlow::None);
}

TEST_F(MainFormTest, UnpluggedAdapterLocksTheMenuAndSaysWhich) {
    startWithPort1();
    int statusRefreshes = 0;
    QObject::connect(form.get(), &TMainForm::portStatusChanged, [&] { ++statusRefreshes; });
    line1->unplug();
    EXPECT_FALSE(form->ApdComPort1.isOpen());
    EXPECT_FALSE(enabled(&MenuActions::run));
    EXPECT_TRUE(enabled(&MenuActions::portSetup));
    EXPECT_EQ(statusRefreshes, 1);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages().at(0).startsWith("COM1 (/dev/virt1): the device was disconnected"));
}

TEST_F(MainFormTest, AltPGoesToPrintWhileItIsEnabledElseToPortSetup) {
    startWithPort1();
    form->actions().print->setEnabled(true);
    form->updateCommandState();
    EXPECT_EQ(form->actions().print->shortcut().toString(), "Alt+P");
    EXPECT_TRUE(form->actions().portSetup->shortcut().isEmpty());
    EXPECT_EQ(form->actions().portSetup->text(), "&Port setup...\tAlt+P");
    form->lockMenu(lockKeepCaptions());
    EXPECT_EQ(form->actions().portSetup->shortcut().toString(), "Alt+P");
    EXPECT_EQ(form->actions().portSetup->text(), "&Port setup...");
}

TEST_F(MainFormTest, RecentFilesRules) {
    startWithPort1();
    QStringList paths;
    for (int i = 1; i <= 6; ++i) {
        paths << file(QStringLiteral("f%1.qob").arg(i));
    }
    for (int i = 0; i < 5; ++i) {
        form->addToRecentFiles(paths.at(i));
    }
    EXPECT_EQ(form->recentFiles(), (QStringList{paths[4], paths[3], paths[2], paths[1], paths[0]}));
    form->addToRecentFiles(paths.at(5));
    EXPECT_EQ(form->recentFiles().size(), 5);
    EXPECT_EQ(form->recentFiles().first(), paths[5]);
    EXPECT_FALSE(form->recentFiles().contains(paths[0])) << "the oldest is dropped";

    form->openRecentItem(3, false);  // paths[3]
    EXPECT_EQ(form->recentFiles().first(), paths[3]);
    EXPECT_EQ(form->recentFiles().size(), 5);
    EXPECT_EQ(form->editors().size(), 1);

    const QString second = form->recentFiles().at(1);
    form->openRecentItem(2, true);
    EXPECT_FALSE(form->recentFiles().contains(second)) << "Ctrl+click removes";
    EXPECT_EQ(form->editors().size(), 1) << "and opens nothing";

    const QString gone = form->recentFiles().at(1);
    QFile::remove(gone);
    form->openRecentItem(2, false);
    EXPECT_EQ(prompts.messages().last(), gone + "\r\nFile no longer exists");
    EXPECT_FALSE(form->recentFiles().contains(gone));

    form->rebuildRecentItems();
    EXPECT_EQ(form->actions().recent1->text(), "f4.qob");
    EXPECT_EQ(form->actions().recent1->statusTip(), paths[3]);
    EXPECT_TRUE(form->actions().recentSeparator->isVisible());
    EXPECT_FALSE(
        menuItem(*form, QStringLiteral("Recent%1").arg(form->recentFiles().size() + 1))->isVisible());

    const int count = int(form->recentFiles().size());
    const QString last = form->recentFiles().last();
    form->addToRecentFiles(last.toUpper());
    EXPECT_EQ(form->recentFiles().size(), count) << "compared without case";
    EXPECT_EQ(form->recentFiles().first(), last.toUpper());
}

// Replaces the text the way typing does, so the editor counts as modified.
void type(TEditor* e, const QString& text) {
    e->control().selectAll();
    e->control().insertPlainText(text);
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QByteArray contentOf(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

TEST_F(MainFormTest, OpeningTheSamePathTwiceActivatesTheOpenWindow) {
    startWithPort1();
    const QString path = file("same.qob");
    EXPECT_TRUE(form->openFileByName(path));
    form->actions().newFile->trigger();
    EXPECT_EQ(form->activeEditor()->caption(), "NONAME0");
    EXPECT_TRUE(form->openFileByName(dir.path() + "/./same.qob"));
    EXPECT_EQ(form->editors().size(), 2);
    EXPECT_EQ(form->activeEditor()->caption(), path);
    EXPECT_EQ(form->activeEditor()->control().text(), "10 PRINT 1\n");
    EXPECT_FALSE(form->openFileByName(dir.filePath("missing.qob")));
    EXPECT_TRUE(prompts.messages().isEmpty()) << "a missing name is not reported here";
}

TEST_F(MainFormTest, NewWindowsAreNumberedAndTakeTheEditorSettings) {
    startWithPort1();
    form->settings().window.tabSize = 4;
    form->settings().window.autoIndent = true;
    form->actions().newFile->trigger();
    form->actions().newFile->trigger();
    QStringList captions;
    for (TEditor* e : form->editors()) {
        captions << e->caption();
        EXPECT_EQ(e->control().tabSize(), 4);
        EXPECT_TRUE(e->control().autoIndent());
        EXPECT_TRUE(e->fileName().isEmpty());
    }
    EXPECT_EQ(captions, (QStringList{"NONAME0", "NONAME1"}));
}

TEST_F(MainFormTest, SaveOfAnUntitledEditorIsSaveAs) {
    startWithPort1();
    form->settings().program.saveAsDir = dir.path();
    form->actions().newFile->trigger();
    TEditor* e = form->activeEditor();
    type(e, "10 PRINT 2\n20 END\n");
    const QString target = dir.filePath("prog");
    prompts.answerFile(target);
    form->actions().save->trigger();
    ASSERT_FALSE(prompts.events().isEmpty());
    EXPECT_EQ(prompts.events().last().kind, "save");
    EXPECT_EQ(prompts.events().last().caption, "Save NONAME0 As");
    EXPECT_EQ(prompts.events().last().text, dir.filePath("NONAME0"));
    EXPECT_EQ(e->fileName(), target + ".qob") << "the default extension is added";
    EXPECT_EQ(e->caption(), target + ".qob");
    EXPECT_EQ(contentOf(target + ".qob"), "10 PRINT 2\r\n20 END\r\n");
    EXPECT_FALSE(e->isModified());
    EXPECT_EQ(form->recentFiles().first(), target + ".qob");

    type(e, "changed\n");
    prompts.answerFile(dir.filePath("other.qob"));
    form->actions().saveAs->trigger();
    EXPECT_EQ(prompts.events().last().caption, "Save prog.qob As");
    EXPECT_EQ(prompts.events().last().text, dir.filePath("prog.qob"));
}

TEST_F(MainFormTest, AFailedSaveSaysSoAndKeepsTheTextModified) {
    startWithPort1();
    const QString path = file("keep.qob", "original\r\n");
    form->openFileByName(path);
    TEditor* e = form->activeEditor();
    type(e, "edited\n");
    e->setFileName(dir.filePath("no/such/dir/keep.qob"));
    form->actions().save->trigger();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages().at(0).startsWith("Cannot save " + dir.filePath("no/such/dir/keep.qob")));
    EXPECT_TRUE(e->isModified());
    EXPECT_EQ(contentOf(path), "original\r\n");
}

TEST_F(MainFormTest, CloseQueryYesThenCancelledSaveAsKeepsTheWindow) {
    startWithPort1();
    form->actions().newFile->trigger();
    type(form->activeEditor(), "precious\n");
    prompts.answerButton("Yes");
    prompts.answerFile("");
    form->actions().close->trigger();
    flushDeletes();
    EXPECT_EQ(prompts.questions(), QStringList{"NONAME0 has changed, do you wish to save?"});
    ASSERT_EQ(form->editors().size(), 1) << "nothing typed is thrown away";
    EXPECT_TRUE(form->editors().at(0)->isModified());

    prompts.answerButton("No");
    form->actions().close->trigger();
    flushDeletes();
    EXPECT_TRUE(form->editors().isEmpty());
    EXPECT_FALSE(form->actions().close->isEnabled());
}

TEST_F(MainFormTest, ExitCancelledLeavesEverythingOpenAndUnsaved) {
    startWithPort1();
    form->actions().newFile->trigger();
    type(form->activeEditor(), "a\n");
    form->actions().newFile->trigger();
    type(form->activeEditor(), "b\n");
    prompts.answerButton("No");
    prompts.answerButton("Cancel");
    EXPECT_FALSE(form->close());
    flushDeletes();
    EXPECT_EQ(form->editors().size(), 2);
    EXPECT_FALSE(form->isClosing());
    EXPECT_FALSE(store().contains("Window/Left")) << "no settings saved";

    prompts.answerButton("No");
    prompts.answerButton("No");
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(form->isClosing());
    EXPECT_EQ(prompts.questions().size(), 4) << "each editor is asked once per exit";
    EXPECT_EQ(store().value("Window/TabSize").toString(), "8");
    EXPECT_EQ(store().value("Ports/ComNum").toString(), "COM1");
}

TEST_F(MainFormTest, SaveAllSavesEveryEditorAndSkipsOtherChildren) {
    startWithPort1();
    const QString a = file("a.qob", "a\r\n");
    const QString b = file("b.qob", "b\r\n");
    form->openFileByName(a);
    form->addChildWindow(new QWidget);
    form->openFileByName(b);
    for (TEditor* e : form->editors()) {
        type(e, e->control().text() + "more\n");
    }
    form->actions().saveAll->trigger();
    EXPECT_EQ(contentOf(a), "a\r\nmore\r\n");
    EXPECT_EQ(contentOf(b), "b\r\nmore\r\n");
    EXPECT_TRUE(prompts.events().isEmpty());
}

TEST_F(MainFormTest, TerminalLikeChildTakesTheEditShortcutsAway) {
    startWithPort1();
    form->openFileByName(file("x.qob"));
    EXPECT_EQ(form->actions().copy->shortcut().toString(), "Ctrl+C");
    QMdiSubWindow* sub = form->addChildWindow(new QWidget);
    form->mdiArea()->setActiveSubWindow(sub);
    form->updateCommandState();
    for (const char* name : {"Copy1", "Cut1", "Paste1", "Undo1"}) {
        EXPECT_TRUE(menuItem(*form, name)->shortcut().isEmpty()) << name;
    }
    EXPECT_TRUE(enabled(&MenuActions::copy));
    EXPECT_FALSE(enabled(&MenuActions::save));
    EXPECT_FALSE(enabled(&MenuActions::syntaxCheck));
}

TEST_F(MainFormTest, CommandLineFilesOpenAfterThePort) {
    const QString a = file("cmd1.qob");
    const QString b = file("cmd2.qob");
    writeStore("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n");
    form->setCommandLineFiles({a, dir.filePath("nothere.qob"), b, a});
    form->FormShow();
    QStringList captions;
    for (TEditor* e : form->editors()) {
        captions << e->caption();
    }
    EXPECT_EQ(captions, (QStringList{a, b}));
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(MainFormTest, CommandsOfferedButNotBuiltSayNotYetImplemented) {
    startWithPort1();
    form->actions().quobolSummary->trigger();
    form->actions().keyboardEquivalents->trigger();
    EXPECT_EQ(prompts.messages(), (QStringList{"Not yet implemented", "Not yet implemented"}));
}

TEST_F(MainFormTest, LockedItemsDoNotRunEvenWhenTriggered) {
    startWithPort1();
    int calls = 0;
    QObject::connect(form->actions().load, &QAction::triggered, [&] { ++calls; });
    form->lockMenu(lockKeepCaptions());
    form->actions().load->trigger();
    EXPECT_EQ(calls, 0);
    form->unlockMenu();
    form->actions().load->trigger();
    EXPECT_EQ(calls, 1);
}

TEST_F(MainFormTest, DroppedFilesOpenInOrderAndMissingOnesAreIgnored) {
    startWithPort1();
    const QString a = file("drop1.qob");
    const QString b = file("drop2.qob");
    form->openDroppedFiles(
        {QUrl::fromLocalFile(b), QUrl::fromLocalFile(dir.filePath("gone.qob")), QUrl("http://x/y.qob"),
         QUrl::fromLocalFile(a)});
    QStringList captions;
    for (TEditor* e : form->editors()) {
        captions << e->caption();
    }
    EXPECT_EQ(captions, (QStringList{b, a}));
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_EQ(form->recentFiles().first(), a);
}

// Cascaded children stay big enough to work in, each one title bar below and right of the one before.
TEST_F(MainFormTest, CascadeKeepsChildrenLargeAndStepsThemDown) {
    startWithPort1();
    form->resize(800, 600);
    form->show();
    for (int i = 0; i < 3; ++i) {
        form->actions().newFile->trigger();
    }
    const QRect area = form->mdiArea()->viewport()->rect();
    form->actions().cascade->trigger();
    const auto subs = form->mdiArea()->subWindowList();
    ASSERT_EQ(subs.size(), 3);
    for (int i = 0; i < subs.size(); ++i) {
        const QRect g = subs.at(i)->geometry();
        EXPECT_GE(g.width(), area.width() * 2 / 3) << i;
        EXPECT_GE(g.height(), area.height() * 2 / 3) << i;
        EXPECT_TRUE(area.contains(g)) << i;
        if (i > 0) {
            EXPECT_GT(g.top(), subs.at(i - 1)->geometry().top()) << i;
            EXPECT_GT(g.left(), subs.at(i - 1)->geometry().left()) << i;
        }
    }
    EXPECT_EQ(form->mdiArea()->activeSubWindow(), subs.last());
}

TEST_F(MainFormTest, WindowMenuTilesAndListsTheChildren) {
    startWithPort1();
    form->resize(800, 600);
    form->show();
    form->actions().newFile->trigger();
    form->actions().newFile->trigger();
    const QRect area = form->mdiArea()->viewport()->rect();
    form->actions().horizontal->trigger();
    const auto subs = form->mdiArea()->subWindowList();
    ASSERT_EQ(subs.size(), 2);
    EXPECT_EQ(subs.at(0)->geometry(), QRect(0, 0, area.width(), area.height() / 2));
    EXPECT_EQ(subs.at(1)->geometry(), QRect(0, area.height() / 2, area.width(), area.height() / 2));
    form->actions().vertical->trigger();
    EXPECT_EQ(subs.at(1)->geometry(), QRect(area.width() / 2, 0, area.width() / 2, area.height()));

    QMenu* window = form->menu("Window1");
    emit window->aboutToShow();
    QStringList texts;
    for (QAction* a : window->actions()) {
        if (!a->isSeparator()) {
            texts << a->text();
        }
    }
    EXPECT_EQ(texts, (QStringList{"&Tile", "&Cascade", "&Next", "&Previous", "&1 NONAME0", "&2 NONAME1"}));
    window->actions().last()->trigger();
    EXPECT_EQ(form->activeEditor()->caption(), "NONAME1");
    form->actions().previous->trigger();
    EXPECT_EQ(form->activeEditor()->caption(), "NONAME0");
    form->hide();
}

TEST_F(MainFormTest, WindowGeometryIsRestoredAndSaved) {
    writeStore("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n[Window]\nLeft=30\nTop=40\nWidth=700\nHeight=500\n"
               "TabSize=3\nAutoindent=1\n");
    form->FormShow();
    EXPECT_EQ(form->pos(), QPoint(30, 40));
    EXPECT_EQ(form->size(), QSize(700, 500));
    form->actions().newFile->trigger();
    EXPECT_EQ(form->activeEditor()->control().tabSize(), 3);
    form->move(50, 60);
    form->resize(640, 480);
    ASSERT_TRUE(form->close());
    auto st = store();
    const struct {
        const char* key;
        const char* value;
    } expected[] = {{"Window/Left", "50"}, {"Window/Top", "60"}, {"Window/Width", "640"}, {"Window/Height", "480"},
                    {"Window/Maximized", "0"}, {"Window/TabSize", "3"}, {"Window/Autoindent", "1"},
                    {"Program/NumMRU", "0"}, {"Program/Version", "414"}};
    for (const auto& e : expected) {
        EXPECT_EQ(st.value(e.key).toString(), e.value) << e.key;
    }
}

}  // namespace
