// Offloads and file transfers from the workbench's menus, against the simulated logger on the
// in-process line: dialogs scripted, files compared with the logger's memory and disk.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QRadioButton>
#include <QSettings>
#include <sstream>

#include "asciioptionsform.h"
#include "fileexists.h"
#include "loggerlink.h"
#include "loggeronline.h"
#include "mainform.h"
#include "mainformterminal.h"
#include "mainformtransfers.h"
#include "offloaddialogs.h"
#include "pairbackend.h"
#include "scriptedprompts.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"
#include "scriptedportdialogs.h"

using namespace orrery;
using serial::PortMap;

namespace {

QByteArray bytesOf(const std::vector<std::uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

QByteArray padded(const QByteArray& data) {
    const qsizetype blocks = (data.size() + 127) / 128;
    return data + QByteArray(blocks * 128 - data.size(), char(0x1A));
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

bool spinUntil(const std::function<bool()>& done, int ms = 60000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return done();
}

class TransfersInMainForm : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ORRERY_SETTINGS", dir.filePath("orrery.ini").toLocal8Bit());
        qputenv("ORRERY_COM1", "/dev/virt1");
        writeFile(dir.filePath("orrery.ini"),
                  QString("[Program]\nVersion=414\nOffloadDir=%1\n[Ports]\nComNum=COM1\n").arg(dir.path()).toUtf8());
        line = &bench->addDevice("/dev/virt1");
        logger = std::make_unique<loggersim::LoggerOnLine>(*line, loggersim::defaultSetup(510),
                                                            loggersim::LineFaults{}, &trace);
        form = std::make_unique<TMainForm>(prompts, portDialogs);
        form->ApdComPort1.setBackendFactory(bench->factory());
        form->setSettingsContext({dir.path() + "/", QRect(0, 0, 1280, 1024), QRect(0, 0, 800, 600)});
        term = new terminal::TTerminalForm(form->ApdComPort1, prompts);
        attachTerminal(*form, *term, termOptions, prompts, [](auto&) { return false; });
        link = &form->loggerLink();
        fileExists.setRunner([this](shell::TFileExistsForm& f) {
            if (fileExistsAnswer < 0) {
                return false;
            }
            f.choices()->button(fileExistsAnswer)->setChecked(true);
            return true;
        });
        parts = attachTransfers(*form, *term, *link, prompts, {serialRange, diskRange, asciiOptions, fileExists});
        form->FormShow();
        // The logger answers the greeting with its prompt; the terminal takes it before any command.
        spinUntil([this] { return traceText.str().find("tx 23") != std::string::npos; }, 5000);
        spinUntil([this] { return !form->ApdComPort1.charReady(); }, 5000);
        traceText.str({});
    }
    void TearDown() override {
        parts.reset();
        link = nullptr;
        form.reset();
        qunsetenv("ORRERY_COM1");
        qunsetenv("ORRERY_SETTINGS");
    }
    void answerRange(shell::TOffloadRangeDialog& d, const QString& start, const QString& end) {
        d.setRunner([start, end](shell::TOffloadRangeDialog& dialog) {
            EXPECT_EQ(dialog.startEdit()->text(), "0");
            EXPECT_EQ(dialog.endEdit()->text(), "0");
            dialog.startEdit()->setText(start);
            dialog.endEdit()->setText(end);
            return true;
        });
    }
    bool transferRunning() { return link->isBusy() || prompts.scriptedProgress().open; }
    QString path(const QString& name) const { return dir.filePath(name); }
    // Types a line to the logger as the terminal would.
    void type(const QByteArray& text) { form->ApdComPort1.putBlock(text); }

    QTemporaryDir dir;
    std::ostringstream traceText;
    loggersim::Trace trace{traceText};
    std::shared_ptr<serial::PairBench> bench = std::make_shared<serial::PairBench>();
    serial::VirtualLine* line = nullptr;
    std::unique_ptr<loggersim::LoggerOnLine> logger;
    ScriptedPrompts prompts;
    ScriptedPortDialogs portDialogs;
    terminal::TTerminalOptionsDialog termOptions;
    shell::TSerOffloadDialog serialRange;
    shell::TDiskOffloadDialog diskRange;
    terminal::TAsciiOptionsDialog asciiOptions;
    shell::TFileExistsForm fileExists;
    int fileExistsAnswer = -1;
    std::unique_ptr<TMainForm> form;
    terminal::TTerminalForm* term = nullptr;
    link::LoggerLink* link = nullptr;
    std::shared_ptr<TransferParts> parts;
};

}  // namespace

TEST_F(TransfersInMainForm, OffloadDatafileFromTheMenu) {
    answerRange(serialRange, "256", "4095");
    prompts.answerFile(path("run1.dat"));
    form->actions().offloadDataFile->trigger();
    EXPECT_FALSE(term->displayActive()) << "the terminal waits for the transfer's end";
    ASSERT_TRUE(spinUntil([this] { return !transferRunning(); }));
    EXPECT_TRUE(term->displayActive());
    EXPECT_EQ(readFile(path("run1.dat")), padded(bytesOf(loggersim::generatedSamples()).mid(256, 4096 - 256)));
    EXPECT_NE(traceText.str().find("rx 0f\n"), std::string::npos);
    EXPECT_EQ(prompts.scriptedProgress().captions, QStringList{"Off-loading Datafile"});
    EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join('|').toStdString();
    EXPECT_EQ(form->lastCommandResult(), "Offloaded 3 840 bytes into " + path("run1.dat"));

    // The folder is remembered and goes back to the settings store.
    ASSERT_TRUE(form->close());
    QSettings st(path("orrery.ini"), QSettings::IniFormat);
    EXPECT_EQ(st.value("Program/OffloadDir").toString(), dir.path());
}

TEST_F(TransfersInMainForm, DoffloadDiskFromTheMenu) {
    answerRange(diskRange, "2", "3");
    prompts.answerFile(path("disk.dat"));
    form->actions().doffloadDisk->trigger();
    ASSERT_TRUE(spinUntil([this] { return !transferRunning(); }));
    QByteArray expected;
    for (const auto& [number, contents] : logger->model().disk().files()) {
        if (number >= 2 && number <= 3) {
            expected += bytesOf(contents);
        }
    }
    EXPECT_EQ(readFile(path("disk.dat")), padded(expected));
    EXPECT_EQ(prompts.scriptedProgress().captions, QStringList{"Disk Off-load"});
    EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join("|").toStdString();
    EXPECT_TRUE(prompts.unexpected().isEmpty()) << prompts.unexpected().join("|").toStdString();
}

// Each question once, in order: the save dialog asks nothing about replacing, a write-protected file
// is said before any question, and an existing file is asked about once; nothing is sent until then.
TEST_F(TransfersInMainForm, OffloadAsksEachQuestionOnceAndInOrder) {
    writeFile(path("ro.dat"), "old");
    QFile::setPermissions(path("ro.dat"), QFile::ReadOwner);
    writeFile(path("old.dat"), "old");
    struct Case {
        QString file;
        QString answer;  // to the replace question, if one is expected
        QStringList messages;
        QByteArray content;  // of the file afterwards ("" = offloaded data)
    } cases[] = {
        {"ro.dat", "", {"File is write protected"}, "old"},
        {"old.dat", "No", {}, "old"},
        {"old.dat", "Yes", {}, ""},
    };
    for (const Case& c : cases) {
        const qsizetype messages = prompts.messages().size();
        const qsizetype questions = prompts.questions().size();
        const qsizetype events = prompts.events().size();
        answerRange(diskRange, "1", "1");
        prompts.answerFile(path(c.file));
        if (!c.answer.isEmpty()) {
            prompts.answerButton(c.answer);
        }
        traceText.str({});
        form->actions().doffloadDisk->trigger();
        ASSERT_TRUE(spinUntil([this] { return !transferRunning(); }));
        EXPECT_EQ(prompts.messages().mid(messages), c.messages) << c.file.toStdString();
        EXPECT_EQ(prompts.questions().size() - questions, c.answer.isEmpty() ? 0 : 1) << c.file.toStdString();
        ASSERT_GT(prompts.events().size(), events);
        EXPECT_FALSE(prompts.events()[events].asksReplace) << "the save dialog asks nothing about replacing";
        if (c.content.isEmpty()) {
            EXPECT_NE(readFile(path(c.file)), QByteArray("old"));
        } else {
            EXPECT_EQ(readFile(path(c.file)), c.content) << c.file.toStdString();
            EXPECT_EQ(traceText.str(), std::string()) << "nothing was sent";
        }
    }
}

TEST_F(TransfersInMainForm, XmodemReceiveAndSendFromTheTerminal) {
    type("sx\r");  // the logger sends its data memory
    prompts.answerFile(path("x.dat"));
    form->actions().rcvFileXmodem->trigger();
    ASSERT_TRUE(spinUntil([this] { return !transferRunning(); }));
    EXPECT_EQ(readFile(path("x.dat")), padded(bytesOf(loggersim::generatedSamples())));
    EXPECT_TRUE(term->displayActive());

    const QByteArray upload = "line one\r\nline two\r\n";
    writeFile(path("up.txt"), upload);
    const auto before = logger->model().disk().files().size();
    type("rx\r");  // the logger receives into its next disk file
    spinUntil([this] { return logger->model().disk().files().empty() || true; }, 200);
    prompts.answerFile(path("up.txt"));
    form->actions().sndFileXmodem->trigger();
    ASSERT_TRUE(spinUntil([this] { return !transferRunning(); }));
    const auto files = logger->model().disk().files();
    ASSERT_EQ(files.size(), before + 1);
    EXPECT_TRUE(bytesOf(files.rbegin()->second).startsWith(upload));
    EXPECT_EQ(prompts.scriptedProgress().captions, (QStringList{"XMODEM Receive", "XMODEM Transmit"}));
    EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join('|').toStdString();
}

TEST_F(TransfersInMainForm, XmodemReceiveWithNoSenderIsReportedAndTheLineIsFree) {
    parts.get();
    prompts.answerFile(path("none.dat"));
    // Cancel at the first status update.
    prompts.scriptedProgress().cancelAtCall(0);
    form->actions().rcvFileXmodem->trigger();
    ASSERT_TRUE(spinUntil([this] { return !transferRunning(); }));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages().first().startsWith("XMODEM transfer failed: cancelled."));
    EXPECT_FALSE(QFile::exists(path("none.dat")));
    EXPECT_TRUE(term->displayActive());
    EXPECT_FALSE(link->isBusy());
}

// ASCII receive into an existing file: each choice of the File Exists dialog.
// The last buffer reaches the disk only when the file is closed: a full disk must say so then, not
// report a receive that lost its data. /dev/full takes every write into the buffer and fails the flush.
TEST_F(TransfersInMainForm, AsciiReceiveOntoAFullDiskSaysFileWriteError) {
    if (!QFileInfo(QStringLiteral("/dev/full")).isWritable()) {
        GTEST_SKIP() << "no /dev/full";
    }
    asciiOptions.setRunner([](terminal::TAsciiOptionsDialog& d) {
        d.kindButton(terminal::TerminationKind::Character)->setChecked(true);
        d.termCharEdit()->setText("#");
        return true;
    });
    form->actions().asciiTransferOptions->trigger();
    prompts.answerFile(QStringLiteral("/dev/full"));
    fileExistsAnswer = 0;  // Overwrite
    QTimer::singleShot(50, form.get(), [this] { type("\r"); });
    form->actions().rcvFileAscii->trigger();
    EXPECT_EQ(prompts.messages(), QStringList{"File write error"});
    EXPECT_FALSE(form->lastCommandResult().startsWith("Received")) << form->lastCommandResult().toStdString();
    EXPECT_FALSE(link->isBusy());
}

TEST_F(TransfersInMainForm, AsciiReceiveIntoAnExistingFile) {
    asciiOptions.setRunner([](terminal::TAsciiOptionsDialog& d) {
        d.kindButton(terminal::TerminationKind::Character)->setChecked(true);
        d.termCharEdit()->setText("#");
        return true;
    });
    form->actions().asciiTransferOptions->trigger();
    const QByteArray old(100, 'o');
    const struct {
        const char* name;
        int choice;
        bool backupExists;
        QString message;
        bool received;
        bool appended;
    } cases[] = {
        {"overwrite", 0, false, "", true, false},
        {"append", 1, false, "", true, true},
        {"back-up", 2, false, "", true, false},
        {"back-up exists", 2, true, "Can't create back-up. One exists already.", false, false},
        {"cancel", -1, false, "", false, false},
    };
    for (const auto& c : cases) {
        writeFile(path("r.txt"), old);
        QFile::remove(path("r.bak"));
        if (c.backupExists) {
            writeFile(path("r.bak"), "keep");
        }
        const qsizetype before = prompts.messages().size();
        prompts.answerFile(path("r.txt"));
        fileExistsAnswer = c.choice;
        // The logger answers a carriage return with CR LF "#": the receive keeps CR LF, stops at "#".
        QTimer::singleShot(50, form.get(), [this] { type("\r"); });
        form->actions().rcvFileAscii->trigger();
        const QByteArray got = readFile(path("r.txt"));
        if (!c.received) {
            EXPECT_EQ(got, old) << c.name;
        } else if (c.appended) {
            EXPECT_EQ(got, old + "\r\n") << c.name;
        } else {
            EXPECT_EQ(got, "\r\n") << c.name;
        }
        if (c.choice == 2 && !c.backupExists) {
            EXPECT_EQ(readFile(path("r.bak")), old) << c.name;
        }
        if (c.backupExists) {
            EXPECT_EQ(readFile(path("r.bak")), "keep") << c.name;
        }
        EXPECT_EQ(prompts.messages().mid(before), c.message.isEmpty() ? QStringList{} : QStringList{c.message})
            << c.name;
        EXPECT_TRUE(term->displayActive()) << c.name;
        EXPECT_FALSE(link->isBusy()) << c.name;
        spinUntil([this] { return logger->model().idle(); }, 1000);
        form->ApdComPort1.flushInBuffer();
    }
    // A chosen file that is itself a back-up is not renamed onto itself and emptied.
    writeFile(path("keep.bak"), old);
    prompts.answerFile(path("keep.bak"));
    fileExistsAnswer = 2;
    form->actions().rcvFileAscii->trigger();
    EXPECT_EQ(readFile(path("keep.bak")), old);
    EXPECT_EQ(prompts.messages().last(), "Can't create back-up. One exists already.");
}

TEST_F(TransfersInMainForm, AsciiSendWrapsTheFileInPrefixAndSuffix) {
    asciiOptions.setRunner([](terminal::TAsciiOptionsDialog& d) {
        d.prefixEdit()->setText("\\x01");
        d.suffixEdit()->setText("\\r");
        return true;
    });
    form->actions().asciiTransferOptions->trigger();
    writeFile(path("s.txt"), "help");
    prompts.answerFile(path("s.txt"));
    traceText.str({});
    form->actions().sndFileAscii->trigger();
    spinUntil([this] { return traceText.str().find("rx 0d") != std::string::npos; }, 5000);
    EXPECT_NE(traceText.str().find("rx 01\n"), std::string::npos);
    EXPECT_NE(traceText.str().find("rx 68\n"), std::string::npos);  // "h"
    EXPECT_EQ(prompts.scriptedProgress().captions, QStringList{"ASCII Transmit"});
    EXPECT_TRUE(term->displayActive());
}
