#pragma once
// Puts the plotter into the main window: the live plotter, made once and opened by "Pl&otter" on the
// CommPort menu, watches the bytes the terminal takes in; its "Plot data file..." opens one more window
// per file; its section of the settings store is loaded and saved with the others.

#include <QMdiSubWindow>

namespace orrery {

class Prompts;
class TMainForm;

namespace terminal {
class TTerminalForm;
}
namespace plotter {
class TPlotterForm;
}

QMdiSubWindow* attachPlotter(TMainForm& form, terminal::TTerminalForm& terminalForm, plotter::TPlotterForm& plotter,
                             Prompts& prompts);

// Opens a window with the plot of a text file; nullptr when the file cannot be read (the user has been
// told why).
plotter::TPlotterForm* openFilePlot(TMainForm& form, Prompts& prompts, const QString& path);

}  // namespace orrery
