#include "mainformterminal.h"

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

terminal::TerminalSettings toTerminal(const shell::TerminalSection& s) {
    return {s.columns, s.rows, s.bounds, s.maximized, s.captureFile, s.captureAppend, s.tabSize, s.cellsStored};
}

shell::TerminalSection fromTerminal(const terminal::TerminalSettings& s) {
    return {s.columns, s.rows, s.bounds, s.maximized, s.captureFile, s.captureAppend, s.tabSize, s.cellsStored};
}

}  // namespace

QMdiSubWindow* attachTerminal(TMainForm& form, terminal::TTerminalForm& term,
                              terminal::TTerminalOptionsDialog& optionsDialog, Prompts& prompts,
                              std::function<bool(terminal::TTerminalOptionsDialog&)> ask) {
    QMdiSubWindow* sub = form.mdiArea()->addSubWindow(&term, Qt::SubWindow | Qt::CustomizeWindowHint |
                                                                 Qt::WindowTitleHint);
    sub->show();

    term.bindMenuActions(form.action("Hexdisplay1"), form.action("Capturetofile1"), form.action("Break1"));
    // The terminal acts on those three through their own triggers.
    for (const char* name : {"Hexdisplay1", "Capturetofile1", "Break1"}) {
        form.setHandler(name, [] {});
    }
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
            form.action(QStringLiteral("Horizontal1"))->trigger();
        }
    });

    const auto terminalActive = [&form, sub] { return form.mdiArea()->currentSubWindow() == sub; };
    const auto copyInEditor = form.handler("Copy1");
    form.setHandler("Copy1", [&term, terminalActive, copyInEditor] {
        if (terminalActive()) {
            term.copySelection();
        } else if (copyInEditor) {
            copyInEditor();
        }
    });
    const auto pasteInEditor = form.handler("Paste1");
    form.setHandler("Paste1", [&term, terminalActive, pasteInEditor] {
        if (terminalActive()) {
            term.pasteClipboard();
        } else if (pasteInEditor) {
            pasteInEditor();
        }
    });
    form.setHandler("Clearterminal1", [&term] { term.clearTerminal(); });
    form.setHandler("Terminaloptions1", [&term, &optionsDialog, &prompts, ask = std::move(ask)] {
        const std::optional<QString> text = terminal::askTerminalOptions(optionsDialog, term.tabSize(), ask);
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
