#pragma once
// The workbench put together as main() does (main window, terminal window, the link), offscreen, with
// COM1 on a simulated logger on a pseudo-terminal of its own and the settings in a private folder.
#include <memory>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include "../scriptedportdialogs.h"
#include "mainform.h"
#include "mainformlink.h"
#include "mainformterminal.h"
#include "scriptedprompts.h"
#include "simulatedlogger.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"

namespace orrery {

class WorkbenchOnSimulator : public ::testing::Test {
protected:
    // Starts the simulator with simArguments, then the workbench, whose first show opens COM1.
    void start(const QStringList& simArguments) {
        sim = std::make_unique<link::testing::SimulatedLogger>(QStringLiteral(LOGGERSIM_PATH), simArguments);
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
        terminalWindow = attachTerminal(*form, *term, *options, prompts,
                                        [](terminal::TTerminalOptionsDialog&) { return false; });
        attachLink(*form, *term);
        form->FormShow();
        ASSERT_TRUE(form->ApdComPort1.isOpen()) << prompts.messages().join(" | ").toStdString();
    }
    void TearDown() override {
        form.reset();
        sim.reset();
        qunsetenv("ORRERY_COM1");
        qunsetenv("ORRERY_SETTINGS");
    }

    QTemporaryDir dir;
    std::unique_ptr<link::testing::SimulatedLogger> sim;
    ScriptedPrompts prompts;
    ScriptedPortDialogs dialogs;
    std::unique_ptr<terminal::TTerminalOptionsDialog> options;
    std::unique_ptr<TMainForm> form;
    terminal::TTerminalForm* term = nullptr;
    QMdiSubWindow* terminalWindow = nullptr;
};

}  // namespace orrery
