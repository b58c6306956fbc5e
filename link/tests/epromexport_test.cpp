// The EPROM export and boot over the in-process line: the handshake, identify, the copy with its
// records and progress, and every failure, each leaving no file under the chosen name.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

#include "eprom_farend.h"
#include "epromexport.h"
#include "hexrecord.h"

using namespace orrery;
using namespace orrery::link;
using namespace orrery::link::testing;

namespace {

QByteArray modelReply(int model, const QByteArray& text = "TEST") {
    return QByteArray(1, char(model >> 8)) + char(model & 0xFF) + text;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
}

class EpromExport : public ::testing::Test, public LinkBench {
protected:
    QTemporaryDir dir;
    EpromLogger logger;

    LinkStatus exportTo(const QString& path, bool replace = false) {
        last = exportEprom(link, {path, replace});
        return last.status;
    }
    LinkResult last;

    void SetUp() override {
        // The prompt after 0x18 goes to the terminal, which these tests do not have.
        logger.promptAfterTries = 0;
        farEnd.setRule(logger.rule());
        link.ProgramDir = dir.path() + "/";
        for (int i = 0; i < 0x4000; ++i) {
            logger.memory[0xC000 + i] = char(i * 7 + (i >> 8));
        }
    }

    // A program of length bytes at the program start of the model, header first.
    void loadProgram(int model, quint16 length) {
        logger.identify = modelReply(model);
        const quint16 start = programStartForModelNumber(model);
        for (int i = 0; i < length; ++i) {
            logger.memory[start + i] = char(0xA0 + i);
        }
        logger.putWord(start, 14);
        logger.putWord(start + 2, quint16(length - 1));
    }

    // The image as the export must write it, from the logger's memory.
    QByteArray expectedImage(quint16 start, quint32 length) {
        QByteArray image;
        for (const HexPiece& p : exportPieces(start, length)) {
            image += formatHexRecord(p.recordAddress,
                                     std::span(reinterpret_cast<const quint8*>(logger.memory.constData()) + p.readAddress,
                                               std::size_t(p.count)));
        }
        return image + kHexEndRecord;
    }

    QString existingFile(const QString& name) {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("old contents\r\n");
        return path;
    }
};

TEST_F(EpromExport, TheLoggersAnswerToTheExportByte) {
    struct Case {
        int answer;
        bool confirm;
        LinkStatus result;
        QStringList messages;
    };
    const Case cases[] = {
        {-1, true, LinkStatus::NotResponding, {"Brackwater not responding"}},
        {0x41, true, LinkStatus::NotResponding, {"Brackwater not responding"}},
        {0x07, true, LinkStatus::Refused, {}},
        {0x07, false, LinkStatus::Refused, {}},
        {-1, false, LinkStatus::Refused, {}},
        {0x41, false, LinkStatus::Refused, {}},
    };
    for (const Case& c : cases) {
        ScriptedPrompts local;
        link.setPrompts(local);
        logger.exportAnswer = c.answer;
        link.ConfirmConnect = c.confirm;
        farEnd.heard();
        const QByteArray before = farEnd.heard();
        EXPECT_EQ(exportTo(dir.filePath("x.hex")), c.result) << c.answer;
        EXPECT_EQ(local.messages(), c.messages) << c.answer;
        EXPECT_EQ(farEnd.heard().mid(before.size()), QByteArray(1, 0x05));
        EXPECT_EQ(local.events().size(), c.messages.size()) << "no question";
        EXPECT_FALSE(link.terminalSuspended());
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(EpromExport, PortSettingsThatWouldMangleTheImageAreRefused) {
    struct Case {
        int dataBits;
        serial::SwFlow flow;
        QString message;
    };
    const Case cases[] = {
        {7, serial::SwFlow::None, "Serial port must use 8 data bits for this operation"},
        {7, serial::SwFlow::Both, "Serial port must use 8 data bits for this operation"},
        {8, serial::SwFlow::Transmit, "Flow control must be OFF for this operation"},
    };
    for (const Case& c : cases) {
        ScriptedPrompts local;
        link.setPrompts(local);
        port.setDataBits(c.dataBits);
        port.setSwFlowOptions(c.flow);
        EXPECT_EQ(exportTo(dir.filePath("x.hex")), LinkStatus::Refused);
        EXPECT_EQ(local.messages(), QStringList{c.message});
    }
}

TEST_F(EpromExport, ALowProgramIsWrittenHighAndUpperMemoryFollows) {
    loadProgram(400, 100);
    EXPECT_EQ(exportTo(dir.filePath("B.HEX")), LinkStatus::Done);
    EXPECT_EQ(last.message, "Exported the EPROM image (16 484 bytes) into " + dir.filePath("B.HEX"));
    EXPECT_EQ(prompts.messages(), QStringList());
    EXPECT_TRUE(prompts.unexpected().isEmpty());
    const QByteArray image = readAll(dir.filePath("B.HEX"));
    EXPECT_EQ(image, expectedImage(0x0140, 100));
    const QList<QByteArray> lines = image.split('\n');
    ASSERT_EQ(lines.size(), 7 + 1024 + 1 + 1);
    EXPECT_TRUE(lines[0].startsWith(":108140"));
    EXPECT_TRUE(lines[6].startsWith(":0481A0"));
    EXPECT_TRUE(lines[7].startsWith(":10C000"));
    EXPECT_EQ(lines[1031], ":00000001FF\r");
    const ScriptedProgress& progress = prompts.scriptedProgress();
    EXPECT_EQ(progress.captions, QStringList{"Reprise EPROM"});
    EXPECT_EQ(progress.maximums, QList<qint64>{16484});
    EXPECT_EQ(progress.value, 16484);
    EXPECT_FALSE(progress.open);
    // On the line: 0x05, identify, memory access, the length word at start + 2, ..., and 0x18 last.
    const QByteArray heard = farEnd.heard();
    EXPECT_TRUE(heard.startsWith(QByteArray("\x05\x13\x16\x16" "142\r\x02", 9))) << heard.left(12).toHex().toStdString();
    EXPECT_TRUE(heard.endsWith(QByteArray("\x18", 1)));
    EXPECT_FALSE(link.terminalSuspended());
}

TEST_F(EpromExport, AHighProgramIsWrittenLow) {
    loadProgram(510, 40);
    EXPECT_EQ(exportTo(dir.filePath("high.hex")), LinkStatus::Done);
    const QByteArray image = readAll(dir.filePath("high.hex"));
    EXPECT_EQ(image, expectedImage(0x8140, 40));
    EXPECT_TRUE(image.startsWith(":10014000"));
    EXPECT_EQ(prompts.scriptedProgress().maximums, QList<qint64>{16424});
}

TEST_F(EpromExport, ALongIdentifyReplyIsReadToItsEnd) {
    loadProgram(600, 16);
    logger.identify = modelReply(600, QByteArray(250, 'x'));
    EXPECT_EQ(exportTo(dir.filePath("long.hex"), true), LinkStatus::Done);
    EXPECT_EQ(readAll(dir.filePath("long.hex")), expectedImage(0x8140, 16));
}

TEST_F(EpromExport, ALongHeaderGivesItsWholeImageLength) {
    logger.identify = modelReply(800);
    logger.putWord(0x8140, 82);
    logger.putWord(0x8142, 0);
    logger.putWord(0x8144, 120);  // image length, 32-bit
    EXPECT_EQ(exportTo(dir.filePath("long.hex"), true), LinkStatus::Done);
    EXPECT_EQ(readAll(dir.filePath("long.hex")), expectedImage(0x8140, 120));
}

TEST_F(EpromExport, EveryFailureAfterTheFileChoiceLeavesTheOldFileAlone) {
    struct Case {
        const char* what;
        std::function<void(EpromLogger&, ScriptedProgress&)> fault;
        QString message;
    };
    const QString comms = "Error communicating with Brackwater";
    const Case cases[] = {
        {"no identify echo", [](EpromLogger& l, ScriptedProgress&) { l.echoIdentify = false; }, comms},
        {"identify of one byte", [](EpromLogger& l, ScriptedProgress&) { l.identify = "\x01"; }, comms},
        {"identify cut short", [](EpromLogger& l, ScriptedProgress&) { l.identifyCount = 9; }, comms},
        {"no memory access echo", [](EpromLogger& l, ScriptedProgress&) { l.echoMemoryAccess = false; }, comms},
        {"length unreadable", [](EpromLogger& l, ScriptedProgress&) { l.failRead = 0; }, comms},
        {"program piece unreadable", [](EpromLogger& l, ScriptedProgress&) { l.failRead = 3; }, comms},
        {"upper memory unreadable", [](EpromLogger& l, ScriptedProgress&) { l.failRead = 1 + 7 + 2; }, comms},
        {"cancelled", [](EpromLogger&, ScriptedProgress& p) { p.cancelAtCall(4); }, "Transfer cancelled by user"},
    };
    for (const Case& c : cases) {
        EpromLogger fresh;
        fresh.promptAfterTries = 0;
        logger = fresh;
        loadProgram(400, 100);
        ScriptedPrompts local;
        link.setPrompts(local);
        c.fault(logger, local.scriptedProgress());
        const QString path = existingFile("old.hex");
        const QByteArray before = farEnd.heard();
        const LinkStatus expected =
            QString(c.what) == "cancelled" ? LinkStatus::Cancelled : LinkStatus::Failed;
        EXPECT_EQ(exportTo(path, true), expected) << c.what;
        EXPECT_EQ(local.messages(), QStringList{c.message + "\nNothing was written to " + path}) << c.what;
        EXPECT_TRUE(local.questions().isEmpty());
        EXPECT_EQ(readAll(path), "old contents\r\n") << c.what;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.hex"}) << "no temporary file left";
        EXPECT_TRUE(farEnd.heard().endsWith(QByteArray(1, char(kLeaveMemoryAccessCommand)))) << c.what;
        EXPECT_FALSE(local.scriptedProgress().open);
        EXPECT_FALSE(link.terminalSuspended());
    }
}

TEST_F(EpromExport, AnExistingFileIsReplacedOnlyWhenTheRequestSaysSo) {
    loadProgram(400, 20);
    const QString taken = existingFile("taken.hex");
    EXPECT_EQ(exportTo(taken), LinkStatus::Refused);
    EXPECT_EQ(prompts.messages(), QStringList{taken + " exists"});
    EXPECT_EQ(readAll(taken), "old contents\r\n");
    EXPECT_TRUE(farEnd.heard().isEmpty()) << "nothing sent";
    EXPECT_EQ(exportTo(taken, true), LinkStatus::Done);
    EXPECT_EQ(readAll(taken), expectedImage(0x0140, 20));
}

TEST_F(EpromExport, AFileThatCannotBeCreatedIsNamed) {
    // Refused before the export byte: the logger is never left in the middle of an export.
    const QString inMissingFolder = dir.filePath("no/such/folder/x.hex");
    EXPECT_EQ(exportTo(inMissingFolder), LinkStatus::Refused);
    EXPECT_EQ(prompts.messages(), QStringList{"Cannot write " + inMissingFolder + ": the folder " +
                                              dir.filePath("no/such/folder") + " does not exist"});

    ScriptedPrompts local;
    link.setPrompts(local);
    const QString locked = existingFile("locked.hex");
    QFile::setPermissions(locked, QFile::ReadOwner);
    EXPECT_EQ(exportTo(locked, true), LinkStatus::Refused);
    EXPECT_EQ(local.messages(), QStringList{"File is write protected"});
    EXPECT_EQ(readAll(locked), "old contents\r\n");
    EXPECT_TRUE(farEnd.heard().isEmpty()) << "nothing sent";
}

TEST_F(EpromExport, BootSendsOneByteAndAwaitsNothing) {
    struct Gate : TerminalGate {
        int fronts = 0;
        int suspends = 0;
        void suspendTerminal() override { ++suspends; }
        void resumeTerminal() override {}
        void bringTerminalToFront() override { ++fronts; }
    } gate;
    link.setTerminalGate(&gate);
    EXPECT_TRUE(bootEprom(link).done());
    EXPECT_EQ(farEnd.heard(), QByteArray(1, 0x02));
    EXPECT_EQ(gate.fronts, 1);
    EXPECT_EQ(gate.suspends, 0);
    EXPECT_EQ(prompts.messages(), QStringList());
    link.setTerminalGate(nullptr);
}

}  // namespace
