#pragma once
// Puts the terminal window into the main window: the MDI child without close, minimize or maximize
// buttons, the CommPort menu's check items and commands, Copy and Paste while the terminal is active,
// the port status, the port setup from the status bar, the terminal's settings section and the
// "&Terminal options..." command.

#include <QMdiSubWindow>
#include <functional>

namespace orrery {

class Prompts;
class TMainForm;

namespace terminal {
class TTerminalForm;
class TTerminalOptionsDialog;
}  // namespace terminal

// ask runs the terminal options dialog and says whether OK was chosen (exec() in the workbench, a
// script in tests).
QMdiSubWindow* attachTerminal(TMainForm& form, terminal::TTerminalForm& terminalForm,
                              terminal::TTerminalOptionsDialog& optionsDialog, Prompts& prompts,
                              std::function<bool(terminal::TTerminalOptionsDialog&)> ask);

}  // namespace orrery
