// The program loader: exact bytes on the line, the size limits of each model, the handshake, progress
// and Cancel, a line that stops transmitting, and the run that follows a load.
#include <gtest/gtest.h>

#include "farend.h"
#include "identify.h"
#include "programloader.h"

using namespace orrery;
using namespace orrery::link;
using namespace orrery::link::testing;

namespace {

QByteArray image(int length) {
    QByteArray out(length, '\0');
    for (int i = 0; i < length; ++i)
        out[i] = char(i * 7 + 3);
    return out;
}

class RecordingGate : public TerminalGate {
public:
    explicit RecordingGate(FarEnd& farEnd) : m_farEnd(farEnd) {}
    QStringList calls;
    void suspendTerminal() override { calls << QStringLiteral("suspend at %1").arg(m_farEnd.heard().size()); }
    void resumeTerminal() override { calls << QStringLiteral("resume at %1").arg(m_farEnd.heard().size()); }
    void bringTerminalToFront() override {
        calls << QStringLiteral("front at %1").arg(m_farEnd.heard().size());
    }

private:
    FarEnd& m_farEnd;
};

class Loader : public ::testing::Test, public LinkBench {
protected:
    Loader() {
        farEnd.setRule(logger.rule());
        link.setTerminalGate(&gate);
    }
    LoadingLogger logger;
    RecordingGate gate{farEnd};
};

TEST_F(Loader, BlocksOnTheLineAndProgressBySize) {
    const struct {
        int length;
        int blocks;
        bool progress;
    } cases[] = {
        {1, 1, false},   {127, 1, false},   {128, 1, false},  {129, 2, false},
        {256, 2, false}, {2000, 16, false}, {2001, 16, true}, {4096, 32, true},
    };
    for (const auto& c : cases) {
        LinkBench b;
        LoadingLogger loader;
        b.farEnd.setRule(loader.rule());
        const QByteArray img = image(c.length);
        EXPECT_EQ(LoadProgram(b.link, img, 230, 0), LoadOutcome::Loaded) << c.length;
        EXPECT_EQ(b.farEnd.heard(), loadStream(img)) << c.length;
        EXPECT_EQ(b.prompts.messages(), QStringList{}) << c.length;
        const ScriptedProgress& p = b.prompts.scriptedProgress();
        EXPECT_EQ(p.captions, c.progress ? QStringList{kLoadingCaption} : QStringList{}) << c.length;
        if (c.progress) {
            EXPECT_EQ(p.maximums, QList<qint64>{c.length});
            EXPECT_EQ(p.value, c.length);
            EXPECT_FALSE(p.open);
        }
        loader.finished = false;
        EXPECT_EQ(b.farEnd.heard().size(), 1 + c.blocks + c.length + 1) << c.length;
    }
}

TEST_F(Loader, ExactBytesOfTheSmallestLoads) {
    const struct {
        int length;
        QByteArray prefix;  // the bytes before the image data of the last block
    } cases[] = {
        {128, QByteArray("\x0c\x80", 2)},
        {129, QByteArray("\x0c\x80", 2)},
    };
    for (const auto& c : cases) {
        LinkBench b;
        LoadingLogger loader;
        b.farEnd.setRule(loader.rule());
        const QByteArray img = image(c.length);
        ASSERT_EQ(LoadProgram(b.link, img, 0, 0), LoadOutcome::Loaded);
        QByteArray expected = c.prefix + img.left(128);
        if (c.length == 129)
            expected += QByteArray("\x01", 1) + img.mid(128);
        EXPECT_EQ(b.farEnd.heard(), expected + QByteArray(1, '\0')) << c.length;
    }
}

TEST_F(Loader, SizeLimitsByModel) {
    const struct {
        quint16 model;
        int length;
        quint32 variables;
        const QString* refusal;
    } cases[] = {
        {400, 20000, 9568, nullptr},      {400, 20000, 9569, &kTooLargeForVariables},
        {500, 29568, 0, nullptr},         {500, 29569, 0, &kTooLargeForVariables},
        {230, 16064, 0, nullptr},         {230, 16065, 0, &kLargerThan16064},
        {230, 16064, 50000, nullptr},  // the variables of other models live elsewhere
        {0, 16065, 0, &kLargerThan16064}, {620, 16065, 0, &kLargerThan16064},
        {700, 40000, 100000, nullptr},    {800, 65000, 0, nullptr},
    };
    for (const auto& c : cases) {
        const auto refusal = loadSizeRefusal(c.length, c.model, c.variables);
        EXPECT_EQ(refusal.has_value(), c.refusal != nullptr) << c.model << " " << c.length;
        if (refusal && c.refusal) {
            EXPECT_EQ(*refusal, *c.refusal);
        }
    }
    // Through the loader, the two boundaries of model 400: all or nothing on the line.
    for (const auto& c : {cases[0], cases[1]}) {
        LinkBench b;
        LoadingLogger loader;
        b.farEnd.setRule(loader.rule());
        const QByteArray img = image(c.length);
        const LoadOutcome outcome = LoadProgram(b.link, img, c.model, c.variables);
        EXPECT_EQ(outcome, c.refusal ? LoadOutcome::TooLarge : LoadOutcome::Loaded);
        EXPECT_EQ(b.farEnd.heard(), c.refusal ? QByteArray() : loadStream(img));
        EXPECT_EQ(b.prompts.messages(), c.refusal ? QStringList{*c.refusal} : QStringList{});
    }
}

TEST_F(Loader, NoEchoOrAWrongEchoSendsNoBlock) {
    for (int echo : {-1, 0x07, 0x00, 0xFF}) {
        LinkBench b;
        LoadingLogger loader;
        loader.echo = echo;
        b.farEnd.setRule(loader.rule());
        RecordingGate g(b.farEnd);
        b.link.setTerminalGate(&g);
        EXPECT_EQ(LoadProgram(b.link, image(300), 230, 0), LoadOutcome::NotResponding) << echo;
        EXPECT_EQ(b.farEnd.heard(), QByteArray(1, char(kLoadCommand))) << echo;
        EXPECT_EQ(b.prompts.messages(), QStringList{kNotResponding}) << echo;
        EXPECT_EQ(g.calls, (QStringList{"suspend at 0", "resume at 1"})) << echo;
    }
}

// The logger's prompt, sent unasked (after the CR of a port just opened), can land between the flush and
// the echo; it is passed over, and nothing else is.
TEST_F(Loader, ThePromptAheadOfTheEchoIsPassedOver) {
    const struct {
        QByteArray before;
        int echo;
        LoadOutcome outcome;
    } cases[] = {
        {"\r\n#", kLoadCommand, LoadOutcome::Loaded},
        {"\r\n#\r\n#", kLoadCommand, LoadOutcome::Loaded},
        {"\r\n#", 0x07, LoadOutcome::NotResponding},
        {"\r\n#", -1, LoadOutcome::NotResponding},
        {"ok\r\n#", kLoadCommand, LoadOutcome::NotResponding},
    };
    for (const auto& c : cases) {
        LinkBench b;
        LoadingLogger loader;
        loader.before = c.before;
        loader.echo = c.echo;
        b.farEnd.setRule(loader.rule());
        const QByteArray img = image(300);
        EXPECT_EQ(LoadProgram(b.link, img, 230, 0), c.outcome) << c.before.constData() << " " << c.echo;
        EXPECT_EQ(b.farEnd.heard(),
                  c.outcome == LoadOutcome::Loaded ? loadStream(img) : loadStream(img).left(1))
            << c.before.constData() << " " << c.echo;
    }
}

TEST_F(Loader, TerminalIsSuspendedOnlyForTheHandshake) {
    // Stale bytes in the input buffer must not pass for the echo.
    line.send(QByteArray(1, char(kLoadCommand)));
    ASSERT_EQ(LoadProgram(link, image(300), 230, 0), LoadOutcome::Loaded);
    EXPECT_EQ(gate.calls, (QStringList{"suspend at 0", "resume at 1"}))
        << "resumed after the echo, before the first block";
    EXPECT_FALSE(link.terminalSuspended());
}

TEST_F(Loader, CancelStopsTheBlocksButSendsTheEndByte) {
    const struct {
        int length;
        int cancelAt;  // index of the progress call that reports Cancel
        int blocksSent;
    } cases[] = {
        {3000, 0, 1},
        {3000, 1, 2},
        {2050, 16, 17},  // Cancel on the partial block: every byte went out, still not a completed load
    };
    for (const auto& c : cases) {
        LinkBench b;
        LoadingLogger loader;
        b.farEnd.setRule(loader.rule());
        b.prompts.scriptedProgress().cancelAtCall(c.cancelAt);
        const QByteArray img = image(c.length);
        EXPECT_EQ(LoadProgram(b.link, img, 230, 0), LoadOutcome::Cancelled) << c.cancelAt;
        EXPECT_EQ(b.farEnd.heard(), loadStream(img, c.blocksSent)) << c.cancelAt;
        EXPECT_EQ(b.prompts.messages(), QStringList{kLoadCancelled});
        EXPECT_FALSE(b.prompts.scriptedProgress().open);
        EXPECT_EQ(loadResultCode(LoadOutcome::Cancelled), 1);
    }
}

TEST_F(Loader, LineThatStopsTransmittingEndsTheLoadWithAMessage) {
    logger.onLoadByte = [this] { line.holdOutput(true); };
    auto claim = link.claim();
    EXPECT_EQ(LoadProgram(link, image(3000), 230, 0), LoadOutcome::LineFailed);
    EXPECT_EQ(prompts.messages(), QStringList{kErrorCommunicating});
    EXPECT_FALSE(prompts.scriptedProgress().open);
    EXPECT_FALSE(link.terminalSuspended());
}

TEST_F(Loader, RunAfterLoadSendsTheRunByteAndShowsTheTerminal) {
    ASSERT_EQ(LoadProgram(link, image(10), 230, 0), LoadOutcome::Loaded);
    runLoadedProgram(link);
    EXPECT_EQ(farEnd.heard(), loadStream(image(10)) + char(kRunCommand));
    EXPECT_EQ(gate.calls.last(), QStringLiteral("front at %1").arg(1 + 1 + 10 + 1 + 1));
}

// --- identify ----------------------------------------------------------------------------------------

TEST(Identify, ModelNumberAndText) {
    const struct {
        QByteArray reply;  // what the logger sends after the command
        bool ok;
        quint16 model;
        QByteArray text;
    } cases[] = {
        {QByteArray("\x13\x05\x01\x90"
                    "CE!",
                    7),
         true, 400, "CE!"},
        {QByteArray("\x13\x02\x02\x58", 4), true, 600, ""},
        {QByteArray("\r\n#\x13\x02\x02\x58", 7), true, 600, ""},  // the prompt, sent unasked, ahead
        {QByteArray("\x13\x00", 2), false, 0, ""},                // no model number
        {QByteArray("\x13\x01\x01", 3), false, 0, ""},            // half a model number
        {QByteArray("\x13\x04\x01\xfe", 4), false, 0, ""},        // falls silent after two of four
        {QByteArray("\x13", 1), false, 0, ""},
        {QByteArray("\x07", 1), false, 0, ""},
        {QByteArray("\r\n#\x07", 4), false, 0, ""},
        {QByteArray(), false, 0, ""},
    };
    for (const auto& c : cases) {
        LinkBench b;
        b.line.send("stale");
        b.farEnd.setRule([&c](quint8 byte) { return byte == kIdentifyCommand ? c.reply : QByteArray(); });
        const auto reply = Identify(b.link);
        EXPECT_EQ(reply.has_value(), c.ok) << c.reply.toHex().constData();
        EXPECT_EQ(b.farEnd.heard(), QByteArray(1, char(kIdentifyCommand)));
        if (reply) {
            EXPECT_EQ(reply->modelNumber(), c.model);
            EXPECT_EQ(reply->text(), c.text);
        }
    }
}

}  // namespace
