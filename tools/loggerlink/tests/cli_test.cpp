// The pieces of loggerlink that need no logger: argument helpers, printable replies, the progress bar
// and the answers queued for questions.
#include <gtest/gtest.h>

#include <sstream>

#include "cliprompts.h"
#include "loggerlinkcli.h"

using namespace orrery;
using namespace orrery::loggerlink;

namespace {

TEST(LoggerLinkCli, OptionsAreTakenOutOfTheArguments) {
    QStringList args{"prog.bin", "--model", "230", "--run"};
    EXPECT_EQ(takeOption(args, "--model"), QString("230"));
    EXPECT_TRUE(takeFlag(args, "--run"));
    EXPECT_FALSE(takeFlag(args, "--run"));
    EXPECT_EQ(takeOption(args, "--variables"), std::nullopt);
    EXPECT_EQ(args, QStringList{"prog.bin"});

    QStringList dangling{"--model"};
    EXPECT_THROW(takeOption(dangling, "--model"), UsageError);
}

TEST(LoggerLinkCli, NumbersOutsideTheirRangeAreUsageErrors) {
    const struct {
        const char* text;
        bool ok;
    } cases[] = {{"230", true}, {"0", true},   {"65535", true}, {"65536", false},
                 {"-1", false}, {"2x", false}, {"", false}};
    for (const auto& c : cases) {
        if (c.ok) {
            EXPECT_EQ(parseNumber("--model", c.text, 0, 65535), QString(c.text).toInt()) << c.text;
        } else {
            EXPECT_THROW(parseNumber("--model", c.text, 0, 65535), UsageError) << c.text;
        }
    }
}

TEST(LoggerLinkCli, RepliesArePrintedWithUnprintableBytesEscaped) {
    EXPECT_EQ(printable("BRACKWATER 230"), "BRACKWATER 230");
    EXPECT_EQ(printable(QByteArray("a\r\n\x00\xff\\", 6)), "a\\x0d\\x0a\\x00\\xff\\x5c");
}

TEST(LoggerLinkCli, ProgressBarOnlyWhenDrawingAndEndsWithItsLine) {
    std::ostringstream drawn;
    StderrProgress bar(drawn, true);
    bar.start("Loading Program to RAM", 4096);
    EXPECT_FALSE(bar.add(2048));
    bar.close();
    const std::string text = drawn.str();
    EXPECT_NE(text.find("\rLoading Program to RAM [                              ] 0/4096"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[###############               ] 2048/4096\n"), std::string::npos) << text;

    std::ostringstream silent;
    StderrProgress none(silent, false);
    none.start("Loading Program to RAM", 4096);
    none.add(4096);
    none.close();
    EXPECT_EQ(silent.str(), "");
}

TEST(LoggerLinkCli, QuestionsAreNeverAskedAndLoggerMessagesNameTheDevice) {
    std::ostringstream err;
    CliPrompts prompts(err, false);
    EXPECT_EQ(prompts.askYesNoCancel("File exists, overwrite?"), Answer::Cancel);
    EXPECT_NE(err.str().find("File exists, overwrite? (not asked: cancelled)"), std::string::npos);
    EXPECT_EQ(prompts.saveFileName("Save", "", ""), "");

    prompts.setDevice("COM1 (/dev/ttyUSB0)");
    prompts.showMessage("Brackwater not responding");
    prompts.showMessage("CRC mismatch");
    EXPECT_NE(err.str().find("loggerlink: Brackwater not responding (on COM1 (/dev/ttyUSB0))\n"),
              std::string::npos);
    EXPECT_NE(err.str().find("loggerlink: CRC mismatch\n"), std::string::npos);
    EXPECT_EQ(prompts.messages(), (QStringList{"Brackwater not responding", "CRC mismatch"}));
}

}  // namespace
