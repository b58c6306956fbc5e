// The workbench put together and started in the order main() uses: the main window, the terminal
// window, the dialogs, then the first show, which loads the settings. Settings survive many starts
// unchanged, every key of the menu does one thing in every command state, every dialog is wide enough
// for its title, and port setup does not keep unusable stored texts.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "commsettingsform.h"
#include "mainform.h"
#include "mainformmenu.h"
#include "mainformterminal.h"
#include "pairbackend.h"
#include "qstringprint.h"
#include "scriptedprompts.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"
#include "utilitiescommands.h"
#include "scriptedportdialogs.h"

using namespace orrery;
using namespace orrery::serial;

namespace {

// One run of the workbench, built as main() builds it, on an in-process serial line.
struct Session {
    explicit Session(const QString& programDir, bool portWorks = true) {
        form = std::make_unique<TMainForm>(prompts, portDialogs);
        if (portWorks) {
            bench->addDevice("/dev/virt1");
        }
        form->ApdComPort1.setBackendFactory(bench->factory());
        terminal = new terminal::TTerminalForm(form->ApdComPort1, prompts);
        terminal->setProgramDir(programDir);
        options = new terminal::TTerminalOptionsDialog(form.get());
        attachTerminal(*form, *terminal, *options, prompts, [](terminal::TTerminalOptionsDialog&) { return false; });
        new shell::EditorCommands(*form, prompts);
        QSignalSpy loaded(form.get(), &TMainForm::settingsLoaded);
        form->show();
        EXPECT_TRUE(loaded.count() > 0 || loaded.wait(5000)) << "the first show loads the settings";
        QCoreApplication::processEvents();
    }
    ~Session() {
        if (form->isVisible()) {
            form->close();
        }
    }
    void exitWorkbench() {
        EXPECT_TRUE(form->close());
    }

    std::shared_ptr<PairBench> bench = std::make_shared<PairBench>();
    ScriptedPrompts prompts;
    ScriptedPortDialogs portDialogs;
    std::unique_ptr<TMainForm> form;
    terminal::TTerminalForm* terminal = nullptr;
    terminal::TTerminalOptionsDialog* options = nullptr;
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ORRERY_SETTINGS", ini().toLocal8Bit());
        qputenv("ORRERY_COM1", "/dev/virt1");
    }
    void TearDown() override {
        qunsetenv("ORRERY_SETTINGS");
        qunsetenv("ORRERY_COM1");
    }
    QString ini() const { return dir.filePath("orrery.ini"); }
    void writeIni(const QByteArray& text) {
        QFile f(ini());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    // The values of the given sections as the store holds them.
    QMap<QString, QString> stored(const QStringList& sections) {
        QSettings store(ini(), QSettings::IniFormat);
        QMap<QString, QString> values;
        for (const QString& section : sections) {
            store.beginGroup(section);
            for (const QString& key : store.childKeys()) {
                values.insert(section + "/" + key, store.value(key).toString());
            }
            store.endGroup();
        }
        return values;
    }
    void runOnce() {
        Session session(dir.path() + "/");
        EXPECT_TRUE(session.prompts.messages().isEmpty()) << session.prompts.messages().join('|').toStdString();
        session.exitWorkbench();
    }

    QTemporaryDir dir;
};

TEST_F(Startup, GeometryTabSizesColumnsAndRowsSurviveTenRestarts) {
    const struct {
        const char* name;
        QByteArray windows;
    } cases[] = {
        {"plain", "[Window]\nLeft=40\nTop=30\nWidth=700\nHeight=520\nTabSize=3\n"
                  "[Terminal]\nLeft=12\nTop=6\nWidth=560\nHeight=330\nTabSize=4\n"},
        {"terminal filling the frame", "[Window]\nLeft=4\nTop=4\nWidth=760\nHeight=560\nTabSize=5\n"
                                       "[Terminal]\nLeft=0\nTop=0\nWidth=750\nHeight=400\nTabSize=2\n"},
        {"no geometry stored yet", "[Window]\nTabSize=8\n[Terminal]\nTabSize=6\n"},
    };
    const QStringList sections{"Window", "Terminal"};
    for (const auto& c : cases) {
        writeIni("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n" + c.windows);
        runOnce();
        const QMap<QString, QString> first = stored(sections);
        for (int run = 2; run <= 11; ++run) {
            runOnce();
        }
        EXPECT_EQ(stored(sections), first) << c.name;
        // The first run kept what the user had, not the defaults.
        QByteArray section;
        for (const QByteArray& line : c.windows.split('\n')) {
            if (line.startsWith('[')) {
                section = line.mid(1, line.size() - 2);
            } else if (line.contains('=')) {
                const QString key = QString::fromLatin1(section + "/" + line.left(line.indexOf('=')));
                EXPECT_EQ(first.value(key), QString::fromLatin1(line.mid(line.indexOf('=') + 1))) << c.name << " " << key.toStdString();
            }
        }
        EXPECT_TRUE(first.contains("Terminal/Columns") && first.contains("Terminal/Rows")) << c.name;
    }
}

TEST_F(Startup, TheTerminalShowsTheStoredColumnsAndRows) {
    writeIni("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n[Window]\nLeft=0\nTop=0\nWidth=780\nHeight=560\n"
             "[Terminal]\nLeft=0\nTop=0\nWidth=300\nHeight=200\nColumns=50\nRows=12\n");
    {
        Session session(dir.path() + "/");
        EXPECT_EQ(session.terminal->display()->visibleColumns(), 50);
        EXPECT_EQ(session.terminal->display()->visibleRows(), 12);
        EXPECT_EQ(session.terminal->statusBar()->panelText(5), "12:50");
        session.exitWorkbench();
    }
    const auto values = stored({"Terminal"});
    EXPECT_EQ(values.value("Terminal/Columns"), "50");
    EXPECT_EQ(values.value("Terminal/Rows"), "12");
}

TEST_F(Startup, AWindowOffEveryScreenComesBack) {
    const struct {
        int left, top;
    } cases[] = {{-66, -40}, {-66, 154}, {5000, 20}, {20, 4000}, {-900, -900}};
    for (const auto& c : cases) {
        writeIni(QString("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n[Window]\nLeft=%1\nTop=%2\nWidth=400\n"
                         "Height=300\n")
                     .arg(c.left)
                     .arg(c.top)
                     .toLatin1());
        runOnce();
        const auto values = stored({"Window"});
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect back(values.value("Window/Left").toInt(), values.value("Window/Top").toInt(),
                         values.value("Window/Width").toInt(), values.value("Window/Height").toInt());
        EXPECT_TRUE(screen.contains(back.topLeft())) << c.left << "," << c.top << " came back at " << back.x() << ","
                                                     << back.y();
        if (c.left < 0 && c.top < 0) {
            EXPECT_EQ(back.size(), QSize(400, 300)) << "a window moved back keeps its size";
        }
    }
}

TEST_F(Startup, APortTextThePortDidNotTakeIsNotSavedAgainAfterACancelledSetup) {
    writeIni("[Program]\nVersion=414\n[Ports]\nComNum=COM1\nParity=none\nHandshake=RTS/CTS\n");
    {
        Session session(dir.path() + "/");
        session.form->PortSetup1Click();
        EXPECT_EQ(session.portDialogs.shownCurrent.parity, "None");
        EXPECT_EQ(session.portDialogs.shownCurrent.handshake, "None");
        session.exitWorkbench();
    }
    const auto values = stored({"Ports"});
    EXPECT_EQ(values.value("Ports/Parity"), "None");
    EXPECT_EQ(values.value("Ports/Handshake"), "None");
}

TEST_F(Startup, FileDialogsStartInTheRememberedFolderElseTheEditorsElseHome) {
    QDir().mkpath(dir.filePath("chosen"));
    QDir().mkpath(dir.filePath("work"));
    QFile source(dir.filePath("work/prog.qob"));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.close();
    const struct {
        const char* name;
        QByteArray program;  // the [Program] lines besides the version
        bool editorOpen;
        QString openFolder;
        QString saveFolder;
    } cases[] = {
        {"nothing remembered, no editor", "", false, QDir::homePath(), QDir::homePath()},
        {"nothing remembered, an editor", "", true, dir.filePath("work"), dir.filePath("work")},
        {"remembered folders", "OpenDir=" + dir.filePath("chosen").toUtf8() + "\nSaveAsDir=" +
                                   dir.filePath("chosen").toUtf8() + "\n",
         true, dir.filePath("chosen"), dir.filePath("chosen")},
        {"a remembered folder that is gone", "OpenDir=" + dir.filePath("gone").toUtf8() + "\n", false,
         QDir::homePath(), QDir::homePath()},
    };
    for (const auto& c : cases) {
        writeIni("[Program]\nVersion=414\n" + c.program + "[Ports]\nComNum=COM1\n");
        Session session(dir.path() + "/");
        if (c.editorOpen) {
            ASSERT_TRUE(session.form->openFileByName(source.fileName()));
        }
        session.prompts.answerFile("");
        session.form->actions().open->trigger();
        if (c.editorOpen) {
            session.prompts.answerFile("");
            session.form->actions().saveAs->trigger();
        }
        const auto& events = session.prompts.events();
        ASSERT_GE(events.size(), 1) << c.name;
        EXPECT_EQ(events.at(0).kind, "open") << c.name;
        EXPECT_EQ(events.at(0).text, c.openFolder) << c.name;
        if (c.editorOpen) {
            ASSERT_EQ(events.size(), 2) << c.name;
            EXPECT_EQ(QFileInfo(events.at(1).text).absolutePath(), c.saveFolder) << c.name;
        } else {
            EXPECT_EQ(session.form->startFolder(session.form->settings().program.saveAsDir), c.saveFolder) << c.name;
        }
        session.exitWorkbench();
    }
}

// --- keys -------------------------------------------------------------------------------------------

QStringList g_warnings;
void collectWarnings(QtMsgType, const QMessageLogContext&, const QString& text) {
    // The offscreen platform's own complaints (no raise(), no keyboard grab) are not about keys.
    if (text.contains(QLatin1String("mbiguous"))) {
        g_warnings << text;
    }
}

// What a key must do in the current command state: run the first enabled item that has it, in menu
// order, or else open the menu whose mnemonic it is, or else nothing.
struct KeyEffect {
    QString item;  // item name whose command runs
    QString menu;  // menu name that opens
};

KeyEffect expectedEffect(TMainForm& form, const QKeySequence& key) {
    for (const MenuDef& def : menuBarTable()) {
        for (const MenuEntry& entry : def.entries) {
            QAction* a = entry.name ? form.actions().*entry.item : nullptr;
            if (a != nullptr && a->isEnabled() && a->shortcuts().contains(key)) {
                return {QString::fromLatin1(entry.name), {}};
            }
        }
    }
    for (const MenuDef& def : menuBarTable()) {
        if (QKeySequence::mnemonic(QString::fromLatin1(def.caption)) == key) {
            return {{}, QString::fromLatin1(def.name)};
        }
    }
    return {};
}

// Every key the menu bar binds: item shortcuts as the table gives them and the menus' mnemonics.
QList<QKeySequence> boundKeys() {
    QList<QKeySequence> keys;
    for (const MenuDef& def : menuBarTable()) {
        keys << QKeySequence::mnemonic(QString::fromLatin1(def.caption));
        for (const MenuEntry& entry : def.entries) {
            if (entry.name != nullptr && *entry.shortcut != '\0' &&
                !keys.contains(QKeySequence(QString::fromLatin1(entry.shortcut)))) {
                keys << QKeySequence(QString::fromLatin1(entry.shortcut));
            }
        }
    }
    return keys;
}

void closePopups(TMainForm& form) {
    while (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
    form.menuBar()->setActiveAction(nullptr);
    QCoreApplication::processEvents();
}

TEST_F(Startup, EveryKeyOfTheMenuDoesOneThingInEveryCommandState) {
    QFile source(dir.filePath("prog.qob"));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write("PRINT 1\r\n");
    source.close();
    const struct {
        const char* state;
        bool portWorks;
        bool editor;
    } states[] = {
        {"menu locked (no port)", false, false},
        {"terminal active", true, false},
        {"editor active", true, true},
    };
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    for (const auto& s : states) {
        writeIni("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n");
        Session session(dir.path() + "/", s.portWorks);
        TMainForm& form = *session.form;
        ASSERT_EQ(form.isMenuLocked(), !s.portWorks) << s.state;
        if (s.editor) {
            ASSERT_TRUE(form.openFileByName(source.fileName()));
        } else {
            session.terminal->bringToFront();
        }
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        // The three keys that two bindings share, spelled out (before the keys below change the state:
        // Capture brings the terminal to the front).
        for (const char* key : {"Alt+B", "Alt+E", "Alt+P"}) {
            const KeyEffect effect = expectedEffect(form, QKeySequence(QString::fromLatin1(key)));
            EXPECT_TRUE(effect.item.isEmpty() != effect.menu.isEmpty()) << s.state << " " << key;
        }
        if (s.portWorks) {
            EXPECT_EQ(expectedEffect(form, QKeySequence("Alt+B")).item, "BootEPROM1") << s.state;
            EXPECT_EQ(expectedEffect(form, QKeySequence("Alt+E")).item, "RepriseEPROM1") << s.state;
            EXPECT_EQ(expectedEffect(form, QKeySequence("Alt+P")).item, s.editor ? "Print1" : "Portsetup1") << s.state;
        } else {
            EXPECT_EQ(expectedEffect(form, QKeySequence("Alt+B")).menu, "Brackwater1");
            EXPECT_EQ(expectedEffect(form, QKeySequence("Alt+E")).menu, "Edit1");
            EXPECT_EQ(expectedEffect(form, QKeySequence("Alt+P")).item, "Portsetup1");
        }
        QStringList ran;
        for (const MenuDef& def : menuBarTable()) {
            for (const MenuEntry& entry : def.entries) {
                if (entry.name != nullptr) {
                    const QString name = QString::fromLatin1(entry.name);
                    QAction* a = form.actions().*entry.item;
                    QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
                    QObject::connect(a, &QAction::triggered, [&ran, name] { ran << name; });
                }
            }
        }
        for (const QKeySequence& key : boundKeys()) {
            const KeyEffect expected = expectedEffect(form, key);
            ran.clear();
            g_warnings.clear();
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &form;
            QTest::keySequence(target, key);
            QCoreApplication::processEvents();
            QWidget* popup = QApplication::activePopupWidget();
            const QString opened = popup != nullptr ? popup->objectName() : QString();
            closePopups(form);
            const std::string what = std::string(s.state) + ", " + key.toString().toStdString();
            EXPECT_TRUE(g_warnings.isEmpty()) << what << ": " << g_warnings.join('|').toStdString();
            if (key[0].keyboardModifiers() != Qt::AltModifier) {
                continue;  // other keys may be taken by the focused editor or terminal as their own
            }
            EXPECT_EQ(ran, expected.item.isEmpty() ? QStringList() : QStringList{expected.item}) << what;
            EXPECT_EQ(opened, expected.menu) << what;
        }
        session.prompts.answerButton("No");  // the editor was not changed, but in case
        session.exitWorkbench();
    }
    qInstallMessageHandler(previous);
}

// --- dialogs ----------------------------------------------------------------------------------------

TEST_F(Startup, EveryDialogIsWideEnoughForItsTitle) {
    writeIni("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n");
    Session session(dir.path() + "/");
    const QList<QDialog*> dialogs = session.form->findChildren<QDialog*>();
    ASSERT_FALSE(dialogs.isEmpty());
    bool sawTerminalOptions = false;
    for (QDialog* dialog : dialogs) {
        if (!dialog->isWindow() || dialog->windowTitle().isEmpty() || dialog->isVisible()) {
            continue;
        }
        sawTerminalOptions |= dialog->windowTitle() == "Terminal Options";
        dialog->show();
        QCoreApplication::processEvents();
        const int title = dialog->fontMetrics().horizontalAdvance(dialog->windowTitle());
        EXPECT_GE(dialog->width(), title + 100) << dialog->windowTitle().toStdString();
        dialog->hide();
    }
    EXPECT_TRUE(sawTerminalOptions);
}

}  // namespace
