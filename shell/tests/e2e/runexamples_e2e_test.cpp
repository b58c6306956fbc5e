// Examples run from the workbench: "&Run" on the program in the editor (offscreen, the real serial
// backend) against the simulated logger on a pseudo-terminal, and the terminal window shows what the
// program prints.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>

#include "commsettingsform.h"
#include "mainform.h"
#include "mainformlink.h"
#include "mainformterminal.h"
#include "scriptedprompts.h"
#include "simulatedlogger.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"
#include "termview.h"
#include "workbenchonsimulator.h"

using namespace orrery;
using namespace orrery::link::testing;

namespace {

class ExamplesInTheWorkbench : public WorkbenchOnSimulator {
protected:
    // Every line the terminal holds, history included.
    std::string terminalText() const {
        const auto& screen = term->display()->screen();
        std::string text;
        for (long long line = screen.firstLine(); line < screen.endLine(); ++line) text += screen.lineText(line) + "\n";
        return text;
    }
    // Serves the event loop until the terminal shows the text or 20 s have passed.
    bool terminalShows(const std::string& text) {
        const QDeadlineTimer deadline(20000);
        while (terminalText().find(text) == std::string::npos && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return terminalText().find(text) != std::string::npos;
    }
};

TEST_F(ExamplesInTheWorkbench, FormattedPrintShowsItsTable) {
    start({"--model", "600", "--speed", "1000"});
    ASSERT_TRUE(form->openFileByName(QStringLiteral(ORRERY_SOURCE_DIR "/examples/formatted_print.qob")));
    form->actions().run->trigger();
    ASSERT_TRUE(terminalShows("done after 8 rows")) << terminalText();
    const std::string text = terminalText();
    EXPECT_NE(text.find("Reading table\n  no    raw   hex      volts        scientific\n"
                        "0001   2755   AC3     1.682    1.6815E+00\n"), std::string::npos) << text;
    EXPECT_NE(text.find("mask = 10100101\n[       165]**\n"), std::string::npos) << text;
    EXPECT_EQ(prompts.messages(), QStringList{});
}

TEST_F(ExamplesInTheWorkbench, StringsAnswersALineTypedInTheTerminal) {
    start({"--model", "210", "--speed", "1000"});
    ASSERT_TRUE(form->openFileByName(QStringLiteral(ORRERY_SOURCE_DIR "/examples/strings.qob")));
    form->actions().run->trigger();
    ASSERT_TRUE(terminalShows("command")) << terminalText();
    form->ApdComPort1.putBlock(QByteArray("RATE=30\r"));
    ASSERT_TRUE(terminalShows("letter A by its code")) << terminalText();
    EXPECT_NE(terminalText().find("commandRATE=30\nrate set to"), std::string::npos) << terminalText();
    EXPECT_NE(terminalText().find("value=30, twice=60\nlast three: =60\n"), std::string::npos) << terminalText();
}

TEST_F(ExamplesInTheWorkbench, SamplerRunsADayAtHighSpeed) {
    start({"--model", "510", "--speed", "100000"});
    ASSERT_TRUE(form->openFileByName(QStringLiteral(ORRERY_SOURCE_DIR "/examples/sampler.qob")));
    form->actions().run->trigger();
    ASSERT_TRUE(terminalShows("day complete")) << terminalText();
    EXPECT_NE(terminalText().find("sample  1439  T="), std::string::npos);
}

}  // namespace
