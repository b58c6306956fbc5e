// ASCII transfers without a window: escape decoding, the send loop's bytes and pauses, the receive
// stop rules, the options dialog's field rules, and the receive commands' handling of existing files.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>

#include "asciioptionsform.h"
#include "scriptedprompts.h"
#include "transfercommands.h"

using namespace orrery;
using namespace orrery::terminal;

namespace {

struct Recorder : AsciiLine {
    QByteArray sent;
    QList<int> pauses;  // -1 marks a byte, other values are pauses in ms
    Wait sendByte(quint8 byte, const CancelCheck&) override {
        sent.append(char(byte));
        pauses.append(-1);
        return Wait::Done;
    }
    Wait pause(int ms, const CancelCheck&) override {
        pauses.append(ms);
        return Wait::Done;
    }
    Wait drain(const CancelCheck&) override {
        ++drains;
        return Wait::Done;
    }
    int drains = 0;
};

}  // namespace

TEST(AsciiEscapes, DecodeTable) {
    const struct {
        QString text;
        QByteArray bytes;
    } cases[] = {
        {"", ""},
        {"abc", "abc"},
        {"\\r\\n", "\r\n"},
        {"\\a\\b\\f\\n\\r\\t\\v", "\x07\x08\x0c\x0a\x0d\x09\x0b"},
        {"\\A\\N\\R", "\x07\x0a\x0d"},  // upper case as the options dialog lets it be typed
        {"\\x1a", "\x1a"},
        {"\\X1A", "\x1a"},
        {"\\x4g", "\x40"},              // a non-hex character counts as 0
        {"\\x414", "A4"},               // exactly two characters after the x
        {"\\\\", "\\"},
        {"\\q\\\"", "q\""},
        {"ab\\x00cd", "ab"},            // the text ends at its first zero byte
        {"\\x00", ""},
        {"end\\", "end\\"},             // lone backslash at the end stands for itself
        {"end\\x", "end"},              // "\x" at the end is 0
        {"end\\x5", "end\x05"},         // one digit at the end
        {QString(QChar(26)), "\x1a"},   // the default termination character, stored raw
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeEscapes(c.text), c.bytes) << c.text.toStdString();
    }
    EXPECT_EQ(terminationByte("\\x1a"), 26);
    EXPECT_EQ(terminationByte("\\x00"), 0);
    EXPECT_EQ(terminationByte("ZZ"), 'Z');
}

TEST(AsciiSend, PrefixDataSuffixAndPauses) {
    AsciiOptions options;
    options.prefix = "\\r\\n";
    options.suffix = "\\x1a";
    options.charDelay = 10;
    options.lineDelay = 100;
    Recorder line;
    ScriptedPrompts prompts;
    EXPECT_EQ(sendAscii(line, "a\rb", options, prompts.progress()), link::AsciiSendEnd::Sent);
    EXPECT_EQ(line.sent, QByteArray("\r\na\rb\x1a"));
    // prefix bytes, then each data byte with its pauses, then the suffix
    EXPECT_EQ(line.pauses, (QList<int>{-1, -1, -1, 10, -1, 10, 100, -1, 10, -1}));
    EXPECT_EQ(line.drains, 1);
    EXPECT_EQ(prompts.scriptedProgress().captions, QStringList{"ASCII Transmit"});
    EXPECT_EQ(prompts.scriptedProgress().maximums, QList<qint64>{3});
    EXPECT_FALSE(prompts.scriptedProgress().open);
}

TEST(AsciiSend, CancelStopsTheDataAndSuppressesTheSuffix) {
    AsciiOptions options;
    options.prefix = "<";
    options.suffix = ">";
    Recorder line;
    ScriptedPrompts prompts;
    prompts.scriptedProgress().cancelAtCall(1);
    EXPECT_EQ(sendAscii(line, "abcdef", options, prompts.progress()), link::AsciiSendEnd::Cancelled);
    EXPECT_EQ(line.sent, QByteArray("<ab"));
    EXPECT_EQ(line.drains, 1);
}

TEST(AsciiReceive, StopRules) {
    qint64 now = 0;
    auto clock = [&now] { return now; };
    {
        AsciiOptions o;
        o.kind = TerminationKind::Character;
        o.termChar = "\\x1a";
        ReceiveStop stop(o, clock);
        EXPECT_FALSE(stop.stopsAt('a'));
        EXPECT_FALSE(stop.stopsAt(-1));
        EXPECT_TRUE(stop.stopsAt(0x1a));
    }
    {
        AsciiOptions o;
        o.kind = TerminationKind::Character;
        o.termChar = "\\x";  // stored as typed: means a zero byte
        ReceiveStop stop(o, clock);
        EXPECT_TRUE(stop.stopsAt(0));
    }
    {
        AsciiOptions o;
        o.kind = TerminationKind::Timeout;
        o.termTimeout = 1;
        ReceiveStop stop(o, clock);
        now = 1999;
        EXPECT_FALSE(stop.stopsAt(-1));  // one whole second is not more than the time-out
        stop.byteStored();               // a byte restarts the count
        now = 3998;
        EXPECT_FALSE(stop.stopsAt(-1));
        now = 3999;
        EXPECT_TRUE(stop.stopsAt(-1));
    }
    {
        AsciiOptions o;
        o.kind = TerminationKind::UserCancel;
        ReceiveStop stop(o, clock);
        now = 1'000'000;
        EXPECT_FALSE(stop.stopsAt(0x1a));
        EXPECT_FALSE(stop.stopsAt(-1));
    }
}

TEST(AsciiOptionsField, TypingFilterAndCompletion) {
    const struct {
        QString text;
        bool accepted;
    } typing[] = {
        {"", true},     {"Z", true},      {"\\", true},     {"\\n", true},   {"\\N", true},
        {"\\x", true},  {"\\X1", true},   {"\\x1a", true},  {"ab", false},   {"\\q", false},
        {"\\x1g", false}, {"\\x1a2", false}, {"\\nn", false},
    };
    for (const auto& t : typing) {
        EXPECT_EQ(acceptsTermCharText(t.text), t.accepted) << t.text.toStdString();
    }
    EXPECT_EQ(completeTermChar("\\x"), "\\x00");
    EXPECT_EQ(completeTermChar("\\X5"), "\\X05");
    EXPECT_EQ(completeTermChar("\\x1a"), "\\x1a");
    EXPECT_EQ(completeTermChar("\\n"), "\\n");
}

TEST(AsciiOptionsDialog, StoresAfterOkOnlyAndStopsAtABadNumber) {
    TAsciiOptionsDialog dialog;
    ScriptedPrompts prompts;
    AsciiOptions options;
    options.kind = TerminationKind::Timeout;
    options.termTimeout = 7;
    {
        dialog.setRunner([](TAsciiOptionsDialog& d) {
            EXPECT_EQ(d.timeoutEdit()->text(), "7");
            EXPECT_TRUE(d.timeoutEdit()->isEnabled());
            EXPECT_FALSE(d.termCharEdit()->isEnabled());
            d.timeoutEdit()->setText("0");
            d.prefixEdit()->setText("\\r");
            d.charDelayEdit()->setText("-5");
            return true;
        });
        ASSERT_TRUE(dialog.run(options, prompts));
        EXPECT_EQ(options.termTimeout, 1);  // at least one second
        EXPECT_EQ(options.prefix, "\\r");
        EXPECT_EQ(options.charDelay, 0);    // negative raised to 0
    }
    {
        dialog.setRunner([](TAsciiOptionsDialog& d) {
            d.kindButton(TerminationKind::Character)->setChecked(true);
            d.termCharEdit()->setText("\\x");
            d.suffixEdit()->setText("S");
            d.charDelayEdit()->setText("ten");
            d.lineDelayEdit()->setText("50");
            return true;
        });
        dialog.run(options, prompts);
        EXPECT_EQ(options.kind, TerminationKind::Character);
        EXPECT_EQ(options.termChar, "\\x00");
        EXPECT_EQ(options.suffix, "S");      // before the bad field: stored
        EXPECT_EQ(options.lineDelay, 0);     // after it: unchanged
        EXPECT_EQ(prompts.messages(), QStringList{"'ten' is not a valid integer value"});
    }
    {
        const AsciiOptions before = options;
        dialog.setRunner([](TAsciiOptionsDialog& d) {
            d.kindButton(TerminationKind::UserCancel)->setChecked(true);
            return false;
        });
        EXPECT_FALSE(dialog.run(options, prompts));
        EXPECT_EQ(options.kind, before.kind);
    }
}

TEST(AsciiBackup, NameHasItsExtensionReplaced) {
    EXPECT_EQ(backupPathFor("/d/log.txt"), "/d/log.bak");
    EXPECT_EQ(backupPathFor("/d/log"), "/d/log.bak");
    EXPECT_EQ(backupPathFor("/d/a.b.c"), "/d/a.b.bak");
    EXPECT_EQ(backupPathFor("/d/old.bak"), "/d/old.bak");  // the command refuses this one
}
