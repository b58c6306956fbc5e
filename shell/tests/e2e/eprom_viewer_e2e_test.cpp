// The EPROM export and the variable viewer from the workbench's menu against the simulated logger on the
// in-process line: a compiled example is loaded with "&Load", exported and read back by srec_cat, and
// its variables are read by name through the symbol file the compile wrote. Faults on the line end each
// command with its message and leave no image behind.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <iostream>

#include "commsettingsform.h"
#include "compilecommand.h"
#include "editor.h"
#include "loggeronline.h"
#include "mainform.h"
#include "mainformeprom.h"
#include "mainformlink.h"
#include "mainformterminal.h"
#include "pairbackend.h"
#include "scriptedprompts.h"
#include "symbolfile.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"
#include "viewvarform.h"
#include "../scriptedportdialogs.h"

using namespace orrery;
using namespace orrery::serial;

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class EpromAndViewerFromTheWorkbench : public ::testing::Test {
protected:
    void start(std::uint16_t model, loggersim::LineFaults faults = {}) {
        qputenv("ORRERY_SETTINGS", dir.filePath("orrery.ini").toLocal8Bit());
        qputenv("ORRERY_COM1", "/dev/simlogger");
        line = &bench->addDevice("/dev/simlogger");
        QFile f(dir.filePath("orrery.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Program]\nVersion=414\n[Ports]\nComNum=COM1\n[Compile]\nConfirmConnect=1\nCreateSymFile=1\n");
        f.close();
        if (qEnvironmentVariableIsSet("ORRERY_TRACE")) {
            trace = std::make_unique<loggersim::Trace>(std::cerr);
        }
        logger = std::make_unique<loggersim::LoggerOnLine>(*line, loggersim::defaultSetup(model), faults, trace.get());
        form = std::make_unique<TMainForm>(prompts, dialogs);
        form->ApdComPort1.setBackendFactory(bench->factory());
        form->setSettingsContext({dir.path() + "/", QRect(0, 0, 1280, 1024), QRect(0, 0, 800, 600)});
        term = new terminal::TTerminalForm(form->ApdComPort1, prompts);
        options = std::make_unique<terminal::TTerminalOptionsDialog>();
        attachTerminal(*form, *term, *options, prompts, [](terminal::TTerminalOptionsDialog&) { return false; });
        attachLink(*form, *term);
        viewDialog = attachEpromAndViewer(*form);
        form->FormShow();
        settle();
    }

    // Lets the logger finish what it sends (the prompt after the greeting CR or after 0x18) and the
    // terminal take it, as the user's pause between two commands does.
    void settle() {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000 && !(logger->line().quiet() && !form->ApdComPort1.charReady())) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        ASSERT_FALSE(form->ApdComPort1.charReady()) << "the terminal took what the logger said";
    }
    void TearDown() override {
        form.reset();
        logger.reset();
        qunsetenv("ORRERY_COM1");
        qunsetenv("ORRERY_SETTINGS");
    }

    // Opens a copy of the example and loads it with "&Load"; returns the path of its symbol file.
    QString loadExample(const QString& name) {
        const QString copy = dir.filePath(name);
        QFile::copy(QStringLiteral(ORRERY_SOURCE_DIR "/examples/") + name, copy);
        EXPECT_TRUE(form->openFileByName(copy));
        trigger(&MenuActions::load);
        EXPECT_EQ(prompts.messages(), QStringList());
        return QFileInfo(copy).path() + "/" + QFileInfo(copy).completeBaseName() + ".sym";
    }

    void trigger(MenuItem item) {
        settle();
        (form->actions().*item)->trigger();
        QCoreApplication::processEvents();
    }

    const std::array<std::uint8_t, 0x10000>& memory() { return logger->model().memory(); }

    // The image as srec_cat reads it, laid out by address; empty when srec_cat refuses the file.
    QByteArray readBack(const QString& hex) {
        const QString bin = dir.filePath("readback.bin");
        QProcess p;
        p.start(QStringLiteral("srec_cat"), {hex, QStringLiteral("-Intel"), QStringLiteral("-o"), bin,
                                             QStringLiteral("-Binary")});
        if (!p.waitForFinished(30000) || p.exitCode() != 0) {
            ADD_FAILURE() << p.readAllStandardError().toStdString();
            return {};
        }
        return readFile(bin);
    }

    QByteArray memoryAt(quint16 address, int count) {
        return QByteArray(reinterpret_cast<const char*>(memory().data()) + address, count);
    }

    // Loads the example into a logger of the model, exports it and compares srec_cat's reading of the
    // image with the logger's memory: the program at its record address, then 0xC000..0xFFFF.
    void exportAndCompare(std::uint16_t model, const QString& example, quint16 programStart, quint16 recordStart) {
        start(model);
        loadExample(example);
        const quint16 length = quint16((memory()[programStart + 2] << 8 | memory()[programStart + 3]) + 1);
        ASSERT_GT(length, 14);
        const QString hex = dir.filePath("image.hex");
        prompts.answerFile(hex);
        trigger(&MenuActions::repriseEprom);
        EXPECT_EQ(prompts.messages(), QStringList());
        EXPECT_TRUE(prompts.unexpected().isEmpty());
        EXPECT_EQ(prompts.scriptedProgress().maximums.last(), length + 16384);
        const QByteArray image = readBack(hex);
        ASSERT_EQ(image.size(), 0x10000);
        EXPECT_EQ(image.mid(recordStart, length), memoryAt(programStart, length));
        EXPECT_EQ(image.mid(0xC000), memoryAt(0xC000, 0x4000));
        EXPECT_TRUE(readFile(hex).endsWith(":00000001FF\r\n"));
    }

    QTemporaryDir dir;
    std::shared_ptr<PairBench> bench = std::make_shared<PairBench>();
    VirtualLine* line = nullptr;
    ScriptedPrompts prompts;
    ScriptedPortDialogs dialogs;
    std::unique_ptr<loggersim::Trace> trace;
    std::unique_ptr<loggersim::LoggerOnLine> logger;
    std::unique_ptr<terminal::TTerminalOptionsDialog> options;
    std::unique_ptr<TMainForm> form;
    terminal::TTerminalForm* term = nullptr;
    TViewVariableDialog* viewDialog = nullptr;
};

TEST_F(EpromAndViewerFromTheWorkbench, ExportsAHighProgramLow) {
    exportAndCompare(510, QStringLiteral("sampler.qob"), 0x8140, 0x0140);
}

TEST_F(EpromAndViewerFromTheWorkbench, ExportsALowProgramHigh) {
    exportAndCompare(400, QStringLiteral("datafile.qob"), 0x0140, 0x8140);
}

TEST_F(EpromAndViewerFromTheWorkbench, ReadsTheLoadedProgramsVariablesByName) {
    start(510);
    const QString sym = loadExample(QStringLiteral("sampler.qob"));
    const link::SymbolFileContents contents = link::readSymbolFile(sym);
    ASSERT_EQ(contents.status, link::SymbolFileStatus::Loaded);
    auto& mem = logger->model().memory();
    for (const link::TVarItem& item : contents.items) {
        const quint32 value = item.TypeLetter == 'F' ? 0x3FC00000u /* 1.5 */ : quint32(item.Address);
        for (int i = 0; i < 4; ++i) {
            mem[item.Address + i] = std::uint8_t(value >> (24 - 8 * i));
        }
    }
    QStringList names;
    QStringList values;
    viewDialog->setRunner([&](TViewVariableDialog& d) {
        d.FormShow();
        d.AllDataButtonClick();
        for (int r = 1; r < d.viewer()->rowCount(); ++r) {
            names << d.viewer()->cellText(0, r);
            values << d.viewer()->cellText(3, r);
        }
        // ORRERY_SCREENSHOT=FILE.png keeps a picture of the dialog with its values (run under a display).
        const QString shot = qEnvironmentVariable("ORRERY_SCREENSHOT");
        if (!shot.isEmpty()) {
            d.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&d));
            QTest::qWait(200);
            EXPECT_TRUE(d.grab().save(shot));
            d.hide();
        }
    });
    prompts.answerFile(sym);
    trigger(&MenuActions::viewVariables);
    EXPECT_EQ(prompts.messages(), QStringList()) << "the CRC of the loaded program matches its symbol file";
    ASSERT_EQ(names.size(), contents.items.size());
    for (int i = 0; i < names.size(); ++i) {
        const link::TVarItem& item = contents.items[i];
        EXPECT_EQ(names[i], item.Name);
        // Floats use the user's decimal separator.
        const QString oneAndAHalf = QStringLiteral("1") + QLocale().decimalPoint() + QStringLiteral("5000000");
        EXPECT_EQ(values[i], item.TypeLetter == 'F' ? oneAndAHalf : QString::number(item.Address));
    }
    EXPECT_TRUE(names.contains("V!"));
    EXPECT_TRUE(names.contains("N"));
}

TEST_F(EpromAndViewerFromTheWorkbench, ALineThatFallsSilentEndsEachCommandWithItsMessage) {
    start(510, loggersim::LineFaults{.silentAfter = 400});
    // The program goes into memory directly, so the line's byte budget is spent on the export.
    auto& mem = logger->model().memory();
    for (int i = 0; i < 200; ++i) {
        mem[0x8140 + i] = std::uint8_t(i);
    }
    mem[0x8142] = 0;
    mem[0x8143] = 199;
    const QString hex = dir.filePath("cut.hex");
    QFile old(hex);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older image\r\n");
    old.close();
    prompts.answerFile(hex);
    prompts.answerButton("Yes");
    trigger(&MenuActions::repriseEprom);
    EXPECT_EQ(prompts.messages(),
              QStringList{"Error communicating with Brackwater\nNothing was written to " + QDir::toNativeSeparators(hex)});
    EXPECT_EQ(readFile(hex), "an older image\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList({"*.hex*", "*cut*"}, QDir::Files), QStringList{"cut.hex"});

    bool shown = false;
    viewDialog->setRunner([&](TViewVariableDialog&) { shown = true; });
    trigger(&MenuActions::viewVariables);
    EXPECT_FALSE(shown);
    EXPECT_EQ(prompts.messages().size(), 2);
    EXPECT_EQ(prompts.messages().last(), "Error communicating with Brackwater");
    EXPECT_TRUE(form->actions().repriseEprom->isEnabled()) << "the commands are free again";
}

}  // namespace
