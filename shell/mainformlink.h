#pragma once
// Puts the logger link into the main window: the terminal window as the link's terminal gate, the link
// state kept with the settings ("Confirm connection", the offload folder), the items of logger commands
// disabled while one of them owns the line, and the "&Load" and "&Run" commands.
//
// Other logger commands attach the same way: a function of their own that connects their items of
// form.actions() to commands on form.loggerLink(), claims the link in each command and leaves the
// enabling to this file (their items are listed in linkCommandItems()).

#include <QObject>
#include <span>

#include "loggerlink.h"
#include "mainformmenu.h"
#include "settings.h"

namespace orrery {

class TMainForm;
class TEditor;

namespace terminal {
class TTerminalForm;
}

// The menu items of every command that uses the line. They are disabled while a command holds the
// link and enabled again when it ends (unless the menu is locked for want of a port).
std::span<const MenuItem> linkCommandItems();

// The link's state kept in the settings store ("Confirm connection", the offload folder): the one place
// it is copied in and out.
void applyLinkSettings(const settings::AllSettings& stored, link::LoggerLink& link);
void storeLinkSettings(const link::LoggerLink& link, settings::AllSettings& stored);

class LinkCommands : public QObject, public link::TerminalGate {
    Q_OBJECT
public:
    LinkCommands(TMainForm& form, terminal::TTerminalForm& terminal);

    // "&Load": compile the active editor's program and load it.
    void Load1Click();
    // "&Run": the same, then start it; with the terminal active only the run byte.
    void Run1Click();

    void suspendTerminal() override;
    void resumeTerminal() override;
    void bringTerminalToFront() override;

private:
    // Compiles the editor's text and loads the image. True when the program is in the logger; sets
    // ProgramDir then.
    // command names the command in the status-bar line of a failure ("Load", "Run").
    bool compileAndLoad(TEditor& editor, bool reportFailedLoad, bool runAfter, const QString& command);
    bool terminalActive() const;
    void applyBusy(bool busy);

    TMainForm& m_form;
    terminal::TTerminalForm& m_terminal;
};

// Creates the link commands (owned by the form) and connects them; the compiler options command is
// followed so that "Confirm connection" reaches the link at once.
LinkCommands* attachLink(TMainForm& form, terminal::TTerminalForm& terminal);

}  // namespace orrery
