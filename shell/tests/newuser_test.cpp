// A new user's first day, through the workbench's start-up as main() builds it (main window, terminal,
// plotter, editor commands, then the first show that loads the settings): where data folders start,
// where the window opens, what the captions say, how the simulated logger is marked, what the first
// start tells, how the plotter and the file dialogs fit their contents.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <memory>

#include "aboutwin.h"
#include "commsettingsform.h"
#include "editor.h"
#include "firststart.h"
#include "mainform.h"
#include "mainformplotter.h"
#include "mainformterminal.h"
#include "pairbackend.h"
#include "plotterwin.h"
#include "qstringprint.h"
#include "qtprompts.h"
#include "scriptedprompts.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"
#include "utilitiescommands.h"
#include "scriptedportdialogs.h"

using namespace orrery;

namespace {

// The very first start picks COM1, as a user does in "Select Ports".
struct Workbench {
    explicit Workbench(Prompts& prompts, const QStringList& files = {}) {
        form = std::make_unique<TMainForm>(prompts, portDialogs);
        bench->addDevice("/dev/virt1");
        form->ApdComPort1.setBackendFactory(bench->factory());
        terminal = new terminal::TTerminalForm(form->ApdComPort1, prompts);
        terminal->setProgramDir(QDir::homePath() + "/");
        options = new terminal::TTerminalOptionsDialog(form.get());
        attachTerminal(*form, *terminal, *options, prompts,
                       [](terminal::TTerminalOptionsDialog&) { return false; });
        plotter = new plotter::TPlotterForm(prompts, plotter::TPlotterForm::Source::Live);
        attachPlotter(*form, *terminal, *plotter, prompts);
        new shell::EditorCommands(*form, prompts);
        form->setCommandLineFiles(files);
        QSignalSpy loaded(form.get(), &TMainForm::settingsLoaded);
        form->show();
        EXPECT_TRUE(loaded.count() > 0 || loaded.wait(5000)) << "the first show loads the settings";
        QCoreApplication::processEvents();
    }
    ~Workbench() {
        if (form->isVisible()) {
            form->close();
        }
    }
    QString terminalText() const {
        QStringList rows;
        for (int row = 1; row <= terminal->display()->screen().rows(); ++row) {
            rows << QString::fromStdString(terminal->display()->screen().rowText(row));
        }
        return rows.join('\n');
    }

    std::shared_ptr<serial::PairBench> bench = std::make_shared<serial::PairBench>();
    ScriptedPortDialogs portDialogs{QStringLiteral("COM1")};
    std::unique_ptr<TMainForm> form;
    terminal::TTerminalForm* terminal = nullptr;
    terminal::TTerminalOptionsDialog* options = nullptr;
    plotter::TPlotterForm* plotter = nullptr;
};

class NewUser : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(home()));
        savedHome = qgetenv("HOME");
        qputenv("HOME", home().toLocal8Bit());
        qputenv("ORRERY_SETTINGS", ini().toLocal8Bit());
        qputenv("ORRERY_COM1", "/dev/virt1");
        qputenv("ORRERY_COM1_LABEL", "simulated logger");
    }
    void TearDown() override {
        qputenv("HOME", savedHome);
        qunsetenv("ORRERY_SETTINGS");
        qunsetenv("ORRERY_COM1");
        qunsetenv("ORRERY_COM1_LABEL");
    }
    QString home() const { return dir.filePath("home"); }
    QString ini() const { return dir.filePath("orrery.ini"); }
    void writeIni(const QByteArray& text) {
        QFile f(ini());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QString stored(const QString& key) const {
        return QSettings(ini(), QSettings::IniFormat).value(key).toString();
    }

    QTemporaryDir dir;
    QByteArray savedHome;
    ScriptedPrompts prompts;
};

TEST_F(NewUser, DataFoldersStartInTheHomeFolderAndLeaveTheBuildFolder) {
    const QString programDir = QCoreApplication::applicationDirPath();
    ASSERT_FALSE(settings::programFolders(programDir).isEmpty()) << "the tests run from a build tree";
    const struct {
        const char* name;
        QByteArray store;  // empty: the very first start
    } cases[] = {
        {"first start", ""},
        {"folders in the build tree",
         "[Program]\nVersion=414\nOpenDir=" + programDir.toUtf8() + "\nSaveAsDir=" + programDir.toUtf8() +
             "/..\nOffloadDir=" + programDir.toUtf8() +
             "\n[Ports]\nComNum=COM1\n[Terminal]\nCapture file=" + programDir.toUtf8() + "/capture.txt\n"},
    };
    for (const auto& c : cases) {
        QFile::remove(ini());
        if (!c.store.isEmpty()) {
            writeIni(c.store);
        }
        {
            Workbench workbench(prompts);
            EXPECT_EQ(workbench.form->settings().program.offloadDir, home()) << c.name;
            EXPECT_TRUE(workbench.form->close());
        }
        for (const char* key : {"Program/OpenDir", "Program/SaveAsDir", "Program/OffloadDir"}) {
            EXPECT_EQ(stored(key), home()) << c.name << " " << key;
        }
        if (!c.store.isEmpty()) {
            EXPECT_EQ(stored("Terminal/Capture file"), QDir(home()).filePath("capture.txt")) << c.name;
        }
    }
}

TEST_F(NewUser, TheFirstStartOpensTheWindowInTheMiddleOfTheWorkArea) {
    Workbench workbench(prompts);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = workbench.form->frameGeometry();
    EXPECT_TRUE(area.contains(frame)) << "the whole frame, title bar included, is on the work area";
    EXPECT_LE(qAbs(frame.center().x() - area.center().x()), 1);
    EXPECT_LE(qAbs(frame.center().y() - area.center().y()), 1);
}

TEST_F(NewUser, CaptionsSayOrreryAndTheSimulatedLoggerIsMarked) {
    const QString examples = shell::examplesFolder(QCoreApplication::applicationDirPath());
    ASSERT_FALSE(examples.isEmpty()) << "the source tree's examples are found from the build tree";
    {
        Workbench workbench(prompts, {examples + "/sampler.qob"});
        ASSERT_EQ(workbench.form->editors().size(), 1);
        EXPECT_FALSE(workbench.terminal->parentWidget()->geometry().intersects(
            workbench.form->editors().first()->parentWidget()->geometry()))
            << "the example opened at start-up leaves the terminal's note in view";
        EXPECT_EQ(workbench.form->windowTitle(), "Orrery");
        const QString port = workbench.terminal->statusBar()->panelText(1);
        EXPECT_EQ(port, "Com 1 (simulated logger)");
        EXPECT_GE(workbench.terminal->statusBar()->panelWidth(1),
                  workbench.terminal->statusBar()->fontMetrics().horizontalAdvance(port))
            << "the panel is as wide as its text";
        const QString text = workbench.terminalText();
        EXPECT_TRUE(text.contains("What you type goes to the logger on COM1 (simulated logger)."))
            << text.toStdString();
        EXPECT_TRUE(text.contains("To try an example")) << text.toStdString();
        EXPECT_TRUE(QFile::exists(examples + "/sampler.qob"));
        EXPECT_TRUE(text.contains(examples)) << text.toStdString();
        EXPECT_TRUE(workbench.form->close());
    }
    Workbench again(prompts);
    EXPECT_FALSE(again.terminalText().contains("To try an example")) << "only the first start tells";
}

TEST_F(NewUser, ThePlotterShowsEveryControlWholeInItsDefaultSize) {
    writeIni("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n");
    QApplication::setWindowIcon(applicationIcon());
    Workbench workbench(prompts);
    ASSERT_TRUE(workbench.form->actions().plotter->isEnabled()) << prompts.messages().join('|').toStdString();
    workbench.form->actions().plotter->trigger();
    QCoreApplication::processEvents();
    plotter::TPlotterForm* plotter = workbench.plotter;
    ASSERT_TRUE(plotter->isVisible());
    EXPECT_FALSE(plotter->parentWidget()->windowIcon().isNull()) << "the plotter's title bar has the icon";
    int checked = 0;
    for (QWidget* control : plotter->findChildren<QWidget*>()) {
        const bool textual = qobject_cast<QComboBox*>(control) || qobject_cast<QAbstractSpinBox*>(control) ||
                             qobject_cast<QPushButton*>(control) || qobject_cast<QLabel*>(control);
        if (!textual || !control->isVisible() || control == plotter->findChild<QLabel*>("statusLabel")) {
            continue;
        }
        ++checked;
        const QString name =
            control->metaObject()->className() + QString(" ") +
            (qobject_cast<QComboBox*>(control) ? qobject_cast<QComboBox*>(control)->currentText()
                                               : control->property("text").toString());
        EXPECT_GE(control->width(), control->sizeHint().width()) << name.toStdString();
        const QRect placed(control->mapTo(plotter, QPoint(0, 0)), control->size());
        EXPECT_TRUE(plotter->rect().contains(placed)) << name.toStdString();
    }
    EXPECT_GE(checked, 10);
}

TEST_F(NewUser, FileDialogsAndMessageBoxesShowTheirTextsWhole) {
    writeIni("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n");
    QDir(home()).mkpath("field");
    QFile data(home() + "/field/site4.qob");
    ASSERT_TRUE(data.open(QIODevice::WriteOnly));
    data.write(QByteArray(473, 'x'));
    data.close();
    QtPrompts qtPrompts;
    Workbench workbench(qtPrompts);
    qtPrompts.setParent(workbench.form.get());
    workbench.form->settings().program.openDir = home() + "/field";

    QString title;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            box->accept();
        }
    });
    qtPrompts.showMessage("Text not found");
    EXPECT_EQ(title, "Orrery");

    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        auto* tree = dialog->findChild<QTreeView*>("treeView");
        if (tree != nullptr) {
            seen = true;
            QModelIndex file;
            EXPECT_TRUE(QTest::qWaitFor(
                [&] {
                    for (int row = 0; row < tree->model()->rowCount(tree->rootIndex()); ++row) {
                        const QModelIndex index = tree->model()->index(row, 0, tree->rootIndex());
                        if (index.data().toString() == "site4.qob") {
                            file = index;
                            return true;
                        }
                    }
                    return false;
                },
                5000))
                << dialog->directory().path().toStdString() << " rows "
                << tree->model()->rowCount(tree->rootIndex()) << " "
                << tree->rootIndex().data().toString().toStdString();
            QCoreApplication::processEvents();
            for (int column = 0; file.isValid() && column < tree->header()->count(); ++column) {
                const QString text = file.siblingAtColumn(column).data().toString();
                EXPECT_GE(tree->header()->sectionSize(column),
                          tree->fontMetrics().horizontalAdvance(text) + 8)
                    << column << ": " << text.toStdString();
            }
            EXPECT_GE(tree->viewport()->width(), tree->header()->length()) << "every column is in view";
        }
        dialog->reject();
    });
    workbench.form->actions().open->trigger();
    EXPECT_TRUE(seen) << "Qt's own dialog stands in where the desktop has none";

    // A bare file name (the EPROM export before any program was loaded) starts in the home folder.
    QString folder;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            folder = dialog->directory().absolutePath();
            dialog->reject();
        }
    });
    qtPrompts.saveFileName("Reprise EPROM", "REPRISE.HEX", "HEX files (*.hex)");
    EXPECT_EQ(folder, home());
}

}  // namespace
