#include "mainformlink.h"

#include <QAction>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>

#include "compilecommand.h"
#include "compileoptions.h"
#include "editor.h"
#include "mainform.h"
#include "programloader.h"
#include "prompts.h"
#include "terminalwin.h"

namespace orrery {

std::span<const MenuItem> linkCommandItems() {
    static constexpr MenuItem kItems[] = {
        &MenuActions::run, &MenuActions::load, &MenuActions::bootEprom, &MenuActions::offloadDataFile,
        &MenuActions::doffloadDisk, &MenuActions::repriseEprom, &MenuActions::viewVariables,
        &MenuActions::modifyVariables, &MenuActions::sndFileAscii, &MenuActions::rcvFileAscii,
        &MenuActions::sndFileXmodem, &MenuActions::rcvFileXmodem,
        // Reopening the port under a running command would pull the line from under it.
        &MenuActions::portSetup};
    return kItems;
}

void applyLinkSettings(const settings::AllSettings& stored, link::LoggerLink& link) {
    link.ConfirmConnect = stored.compile.confirmConnect;
    link.OffloadDir = stored.program.offloadDir;
}

void storeLinkSettings(const link::LoggerLink& link, settings::AllSettings& stored) {
    stored.program.offloadDir = link.OffloadDir;
}

LinkCommands::LinkCommands(TMainForm& form, terminal::TTerminalForm& terminal)
    : QObject(&form), m_form(form), m_terminal(terminal) {
    link::LoggerLink& link = form.loggerLink();
    link.setTerminalGate(this);
    connect(&link, &link::LoggerLink::busyChanged, this, &LinkCommands::applyBusy);
    connect(&form, &TMainForm::settingsLoaded, this,
            [this] { applyLinkSettings(m_form.settings(), m_form.loggerLink()); });
    connect(&form, &TMainForm::settingsAboutToSave, this,
            [this] { storeLinkSettings(m_form.loggerLink(), m_form.settings()); });
}

LinkCommands* attachLink(TMainForm& form, terminal::TTerminalForm& terminal) {
    auto* commands = new LinkCommands(form, terminal);
    const MenuActions& items = form.actions();
    QObject::connect(items.load, &QAction::triggered, commands, &LinkCommands::Load1Click);
    QObject::connect(items.run, &QAction::triggered, commands, &LinkCommands::Run1Click);
    // "Confirm connection" reaches the link as soon as the compiler options change.
    QObject::connect(&form, &TMainForm::compileSettingsChanged, commands,
                     [&form] { applyLinkSettings(form.settings(), form.loggerLink()); });
    return commands;
}

void LinkCommands::applyBusy(bool busy) {
    if (m_form.isMenuLocked()) {
        return;
    }
    for (const MenuItem item : linkCommandItems()) {
        (m_form.actions().*item)->setEnabled(!busy);
    }
}

void LinkCommands::suspendTerminal() {
    m_terminal.SuspendTerminal();
}

void LinkCommands::resumeTerminal() {
    m_terminal.ResumeTerminal();
}

void LinkCommands::bringTerminalToFront() {
    m_terminal.bringToFront();
}

bool LinkCommands::terminalActive() const {
    QMdiSubWindow* current = m_form.mdiArea()->currentSubWindow();
    return current != nullptr && current->widget() == &m_terminal;
}

bool LinkCommands::compileAndLoad(TEditor& editor, bool reportFailedLoad, bool runAfter,
                                  const QString& command) {
    link::LoggerLink& link = m_form.loggerLink();
    Prompts& prompts = m_form.prompts();
    const shell::CompileSource source{editor.caption(), editor.fileName(), editor.control().text()};
    compiler::CompileOutcome outcome = shell::runCompileStep(source, m_form.settings().compile, prompts);
    compiler::CompileJob& job = outcome.job;
    if (!outcome.ok()) {
        m_form.showCommandResult(shell::compileResultText(command, job, false, source.caption));
        if (!outcome.compiled()) {
            shell::reportCompileError(editor.control(), job, source.caption, prompts);
        }
        compiler::releaseJob(job);
        return false;
    }
    link::LoadRequest request;
    request.image = QByteArray(reinterpret_cast<const char*>(job.image.data()), qsizetype(job.image.size()));
    request.modelCode = job.modelCode;
    request.variableAreaSize = job.header.variablesSize;
    request.runAfter = runAfter;
    compiler::releaseJob(job);
    const link::LinkResult result = link::loadProgram(link, request);
    // A refused size or a silent logger gets the general word too; a Cancel or a stalled line has
    // already been told in full.
    const bool refusedOrSilent =
        result.status == link::LinkStatus::Refused || result.status == link::LinkStatus::NotResponding;
    if (reportFailedLoad && refusedOrSilent) {
        link.report(link::kErrorCommunicating);
    }
    if (!result.done()) {
        m_form.showCommandResult(QStringLiteral("%1: %2").arg(
            command, result.message.isEmpty() ? QString(link::kErrorCommunicating) : result.message));
        return false;
    }
    link.ProgramDir = shell::outputFolderFor(source);
    m_form.showCommandResult(result.message);
    return true;
}

void LinkCommands::Load1Click() {
    TEditor* editor = m_form.activeEditor();
    if (editor == nullptr) {
        return;
    }
    // A busy line is said before the compile, not after it.
    if (!m_form.loggerLink().refusal().isEmpty()) {
        (void)m_form.loggerLink().claim();
        return;
    }
    compileAndLoad(*editor, true, false, QStringLiteral("Load"));
}

void LinkCommands::Run1Click() {
    TEditor* editor = m_form.activeEditor();
    const bool fromTerminal = editor == nullptr && terminalActive();
    if (editor == nullptr && !fromTerminal) {
        return;
    }
    link::LoggerLink& link = m_form.loggerLink();
    if (fromTerminal) {
        const auto claim = link.claim();
        if (!claim) {
            return;
        }
        link.SendRunCommand();
        bringTerminalToFront();
        m_form.showCommandResult(QStringLiteral("Run: the program in the logger was started"));
        return;
    }
    if (!link.refusal().isEmpty()) {
        (void)link.claim();
        return;
    }
    compileAndLoad(*editor, false, true, QStringLiteral("Run"));
}

}  // namespace orrery
