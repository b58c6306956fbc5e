#include "mainformplotter.h"

#include <QAction>
#include <QMdiArea>
#include <memory>

#include "mainform.h"
#include "plotterwin.h"
#include "terminalwin.h"

namespace orrery {

namespace {

void openLivePlotter(TMainForm& form, QMdiSubWindow* sub, plotter::TPlotterForm& plotter, bool& opened) {
    opened = true;
    plotter.setListening(true);
    sub->show();
    form.mdiArea()->setActiveSubWindow(sub);
    plotter.setFocus();
}

}  // namespace

plotter::TPlotterForm* openFilePlot(TMainForm& form, Prompts& prompts, const QString& path) {
    auto* plot = new plotter::TPlotterForm(prompts, plotter::TPlotterForm::Source::File);
    plot->setAttribute(Qt::WA_DeleteOnClose);
    if (!plot->loadFile(path)) {
        delete plot;
        return nullptr;
    }
    const plotter::PlotterSettings& live = form.settings().plotter;
    plot->setYRange(live.yRange, live.yLow, live.yHigh);
    plot->setFileDirectory(form.settings().program.offloadDir);
    plot->setPlotFileHandler([&form, &prompts](const QString& next) { openFilePlot(form, prompts, next); });
    QMdiSubWindow* sub = form.addChildWindow(plot);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    form.mdiArea()->setActiveSubWindow(sub);
    return plot;
}

QMdiSubWindow* attachPlotter(TMainForm& form, terminal::TTerminalForm& terminalForm, plotter::TPlotterForm& plotter,
                             Prompts& prompts) {
    QMdiSubWindow* sub = form.mdiArea()->addSubWindow(&plotter);
    sub->hide();
    // The plotter sees what the terminal takes in and nothing else; a suspension cuts the line it was on.
    QObject::connect(&terminalForm, &terminal::TTerminalForm::bytesReceived, &plotter,
                     &plotter::TPlotterForm::receiveBytes);
    QObject::connect(&terminalForm, &terminal::TTerminalForm::displayActiveChanged, &plotter, [&plotter](bool active) {
        if (!active) {
            plotter.streamInterrupted();
        }
    });
    plotter.setPlotFileHandler([&form, &prompts](const QString& path) { openFilePlot(form, prompts, path); });
    // Whether the plotter was opened in this run: one never opened keeps the place it had.
    auto opened = std::make_shared<bool>(false);
    QObject::connect(form.actions().plotter, &QAction::triggered, &plotter,
                     [&form, sub, &plotter, opened] { openLivePlotter(form, sub, plotter, *opened); });

    QObject::connect(&form, &TMainForm::settingsLoaded, &plotter, [&form, sub, &plotter, opened] {
        const plotter::PlotterSettings& s = form.settings().plotter;
        plotter.applySettings(s);
        plotter.setFileDirectory(form.settings().program.offloadDir);
        if (s.bounds.isValid()) {
            sub->setGeometry(s.bounds);
        }
        if (s.open) {
            openLivePlotter(form, sub, plotter, *opened);
            if (s.maximized) {
                sub->showMaximized();
            }
        }
    });
    QObject::connect(&form, &TMainForm::settingsAboutToSave, &plotter, [&form, sub, &plotter, opened] {
        plotter::PlotterSettings& s = form.settings().plotter;
        const QRect loadedBounds = s.bounds;
        s = plotter.viewSettings();
        s.open = !sub->isHidden();
        s.maximized = s.open && sub->isMaximized();
        const QRect placed = sub->isMaximized() ? sub->normalGeometry() : sub->geometry();
        s.bounds = *opened && placed.isValid() ? placed : loadedBounds;
    });
    return sub;
}

}  // namespace orrery
