// The memory-access session around the variable viewer, over the in-process line: the dialog runs
// between 0x16 and 0x18, reads go through the link, and memory access is always left.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "eprom_farend.h"
#include "viewvarsession.h"

using namespace orrery;
using namespace orrery::link;
using namespace orrery::link::testing;

namespace {

class ViewSession : public ::testing::Test, public LinkBench {
protected:
    EpromLogger logger;
    void SetUp() override { farEnd.setRule(logger.rule()); }
};

TEST_F(ViewSession, TheDialogRunsInsideMemoryAccessAndReadsThroughTheLink) {
    QTemporaryDir dir;
    const QString sym = dir.filePath("p.sym");
    QFile f(sym);
    f.open(QIODevice::WriteOnly);
    f.write("QUOBOL SYMBOL TABLE\r\nCOUNT V I 7400\r\nRATE V F 7404\r\nNAME V S 7408\r\n[VCRC]=beef\r\n");
    f.close();
    logger.memory[0xFFE8] = char(0xA4);
    logger.putWord(0x0140 + 10, 0xBEEF);
    logger.putWord(0x7400, 0xFFFF);
    logger.putWord(0x7402, 0xFFFE);                      // -2
    logger.putWord(0x7404, 0x4049);                      // 3.1415927
    logger.putWord(0x7406, 0x0FDB);
    logger.memory.replace(0x7408, 4, QByteArray("\x03" "abc", 4));

    LinkMemory memory(link);
    VariableViewer viewer(memory, prompts, link.ProgramDir);
    viewer.chooseSymbolFile = [this](const QString& folder) {
        return prompts.openFileName("Open", folder, "");
    };
    prompts.answerFile(sym);
    bool suspendedInside = false;
    EXPECT_TRUE(withMemoryAccess(link, [&] {
        suspendedInside = link.terminalSuspended();
        viewer.FormShow();
        viewer.ReadAllVariables();
    }));
    EXPECT_TRUE(suspendedInside);
    EXPECT_FALSE(link.terminalSuspended());
    EXPECT_EQ(prompts.messages(), QStringList());
    EXPECT_EQ(viewer.cellText(3, 1), "-2");
    EXPECT_EQ(viewer.cellText(3, 2), "3.1415930");
    EXPECT_EQ(viewer.cellText(3, 3), "abc");
    EXPECT_EQ(link.ProgramDir, dir.path() + "/");
    const QByteArray heard = farEnd.heard();
    EXPECT_TRUE(heard.startsWith(QByteArray("\x16\x16" "ffe8\r\x01", 8)));
    EXPECT_TRUE(heard.endsWith(QByteArray("\x18\r", 2)));
    EXPECT_EQ(heard.count('\x18'), 1);
}

TEST_F(ViewSession, LeavingMemoryAccessIsTriedUpToTenTimes) {
    struct Case {
        bool echo;
        int promptAfter;
        int tries;
        bool shown;
        QStringList messages;
    };
    const Case cases[] = {
        {true, 1, 1, true, {}},
        {true, 3, 3, true, {}},
        {true, 0, 10, true, {}},  // a logger that never gives its prompt is left as it is
        {false, 1, 1, false, {"Error communicating with Brackwater"}},
    };
    for (const Case& c : cases) {
        ScriptedPrompts local;
        link.setPrompts(local);
        logger.echoMemoryAccess = c.echo;
        logger.promptAfterTries = c.promptAfter;
        logger.leaveTries = 0;
        int shown = 0;
        const QByteArray before = farEnd.heard();
        EXPECT_EQ(withMemoryAccess(link, [&] { ++shown; }), c.shown);
        EXPECT_EQ(shown, c.shown ? 1 : 0);
        EXPECT_EQ(local.messages(), c.messages);
        const QByteArray heard = farEnd.heard().mid(before.size());
        EXPECT_EQ(heard, QByteArray(1, 0x16) + QByteArray(c.tries, 0x18) + '\r') << c.promptAfter;
        link.FlushPort();
    }
}

TEST_F(ViewSession, ASecondCommandIsRefusedWhileTheDialogIsOpen) {
    int inner = 0;
    EXPECT_TRUE(withMemoryAccess(link, [&] { EXPECT_FALSE(withMemoryAccess(link, [&] { ++inner; })); }));
    EXPECT_EQ(inner, 0);
    ASSERT_EQ(prompts.messages().size(), 1);
}

}  // namespace
