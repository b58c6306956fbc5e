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

using namespace orrery;
using namespace orrery::link::testing;

namespace {

class NoPortDialogs : public PortDialogs {
public:
    std::optional<QString> selectPort(const QStringList&, const serial::PortMap&) override { return std::nullopt; }
    std::optional<CommSettings> portSettings(const CommSettings&, const QStringList&, const serial::PortMap&) override {
        return std::nullopt;
    }
};

class ExamplesInTheWorkbench : public ::testing::Test {
protected:
    void start(const QStringList& simArguments) {
        sim = std::make_unique<SimulatedLogger>(QStringLiteral(LOGGERSIM_PATH), simArguments);
        ASSERT_TRUE(sim->start());
        qputenv("ORRERY_SETTINGS", dir.filePath("orrery.ini").toLocal8Bit());
        qputenv("ORRERY_COM1", sim->device().toLocal8Bit());
        QFile f(dir.filePath("orrery.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Program]\nVersion=414\n[Ports]\nComNum=COM1\nBaud=19200\n");
        f.close();
        form = std::make_unique<TMainForm>(prompts, dialogs);
        form->setSettingsContext({dir.path() + "/", QRect(0, 0, 1280, 1024), QRect(0, 0, 800, 600)});
        term = new terminal::TTerminalForm(form->ApdComPort1, prompts);
        options = std::make_unique<terminal::TTerminalOptionsDialog>();
        attachTerminal(*form, *term, *options, prompts, [](terminal::TTerminalOptionsDialog&) { return false; });
        attachLink(*form, *term);
        form->FormShow();
        ASSERT_TRUE(form->ApdComPort1.isOpen());
    }
    void TearDown() override {
        form.reset();
        sim.reset();
        qunsetenv("ORRERY_COM1");
        qunsetenv("ORRERY_SETTINGS");
    }
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

    QTemporaryDir dir;
    std::unique_ptr<SimulatedLogger> sim;
    ScriptedPrompts prompts;
    NoPortDialogs dialogs;
    std::unique_ptr<terminal::TTerminalOptionsDialog> options;
    std::unique_ptr<TMainForm> form;
    terminal::TTerminalForm* term = nullptr;
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
