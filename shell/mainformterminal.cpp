#include "mainformterminal.h"

#include <QAction>
#include <QCoreApplication>
#include <QMdiArea>

#include "firststart.h"
#include "mainform.h"
#include "prompts.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"
#include "utilities.h"

namespace orrery {

namespace {

terminal::TerminalSettings toTerminal(const settings::TerminalSection& s) {
    return {s.columns, s.rows, s.bounds, s.maximized, s.captureFile, s.captureAppend, s.tabSize, s.cellsStored};
}

settings::TerminalSection fromTerminal(const terminal::TerminalSettings& s) {
    return {s.columns, s.rows, s.bounds, s.maximized, s.captureFile, s.captureAppend, s.tabSize, s.cellsStored};
}

}  // namespace

QMdiSubWindow* attachTerminal(TMainForm& form, terminal::TTerminalForm& term,
                              terminal::TTerminalOptionsDialog& optionsDialog, Prompts& prompts,
                              std::function<bool(terminal::TTerminalOptionsDialog&)> ask) {
    QMdiSubWindow* sub = form.mdiArea()->addSubWindow(&term, Qt::SubWindow | Qt::CustomizeWindowHint |
                                                                 Qt::WindowTitleHint);
    sub->show();

    const MenuActions& items = form.actions();
    // The terminal acts on its three check items through their own triggers.
    term.bindMenuActions(items.hexDisplay, items.captureToFile, items.lineBreak);
    term.setPortSetupHandler([&form] { form.PortSetup1Click(); });
    QObject::connect(&form, &TMainForm::portStatusChanged, &term, &terminal::TTerminalForm::refreshStatus);
    QObject::connect(&form, &TMainForm::settingsLoaded, &term,
                     [&form, &term] { term.loadSettings(toTerminal(form.settings().terminal)); });
    QObject::connect(&form, &TMainForm::settingsAboutToSave, &term,
                     [&form, &term] { form.settings().terminal = fromTerminal(term.saveSettings()); });
    QObject::connect(&form, &TMainForm::firstStartFinished, &term, [&form, &term] {
        const serial::TApdComPort& port = form.ApdComPort1;
        const QString portLabel = port.isOpen() ? port.portMap().label(port.comNumber()) : QString();
        term.showLocalText(
            shell::firstStartNote(portLabel, shell::examplesFolder(QCoreApplication::applicationDirPath())));
        // The files named at start-up open over the terminal; stacked, the note stays in view.
        if (form.editors().size() > 0) {
            form.actions().horizontal->trigger();
        }
    });

    // Copy and Paste act on the editor through the main window's own commands and on the terminal here,
    // each only while its child is the active one.
    const auto terminalActive = [&form, sub] { return form.mdiArea()->currentSubWindow() == sub; };
    QObject::connect(items.copy, &QAction::triggered, &term, [&term, terminalActive] {
        if (terminalActive()) {
            term.copySelection();
        }
    });
    QObject::connect(items.paste, &QAction::triggered, &term, [&term, terminalActive] {
        if (terminalActive()) {
            term.pasteClipboard();
        }
    });
    QObject::connect(items.clearTerminal, &QAction::triggered, &term,
                     &terminal::TTerminalForm::clearTerminal);
    QObject::connect(items.terminalOptions, &QAction::triggered, &term,
                     [&term, &optionsDialog, &prompts, ask = std::move(ask)] {
                         const std::optional<QString> text =
                             terminal::askTerminalOptions(optionsDialog, term.tabSize(), ask);
                         if (!text) {
                             return;
                         }
                         const std::optional<int> size = parseInteger(*text);
                         if (!size) {
                             prompts.showMessage(invalidIntegerMessage(*text), PromptIcon::Error);
                             return;
                         }
                         term.setTabSize(*size);
                         term.bringToFront();
                     });
    return sub;
}

}  // namespace orrery
