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

QStringList linkCommandItems() {
    return {
        QStringLiteral("Run1"), QStringLiteral("Load1"), QStringLiteral("BootEPROM1"),
        QStringLiteral("Offloaddatafile1"), QStringLiteral("Doffloaddisk1"), QStringLiteral("RepriseEPROM1"),
        QStringLiteral("ViewVariables1"), QStringLiteral("ModifyVariables1"), QStringLiteral("SndfileASCII1"),
        QStringLiteral("RcvfileASCII1"), QStringLiteral("SndfileXMODEM1"), QStringLiteral("RcvfileXMODEM1"),
        // Reopening the port under a running command would pull the line from under it.
        QStringLiteral("Portsetup1")};
}

namespace {

// How a load that did not complete ended, for the status bar (the details were shown as they happened).
QString loadFailureText(link::LoadOutcome outcome) {
    switch (outcome) {
        case link::LoadOutcome::TooLarge:
            return QStringLiteral("the program is too large for this logger");
        case link::LoadOutcome::NotResponding:
            return link::kNotResponding;
        case link::LoadOutcome::Cancelled:
            return QStringLiteral("cancelled");
        case link::LoadOutcome::LineFailed:
        case link::LoadOutcome::Loaded:
            break;
    }
    return link::kErrorCommunicating;
}

}  // namespace

LinkCommands::LinkCommands(TMainForm& form, terminal::TTerminalForm& terminal)
    : QObject(&form), m_form(form), m_terminal(terminal) {
    link::LoggerLink& link = form.loggerLink();
    link.setTerminalGate(this);
    connect(&link, &link::LoggerLink::busyChanged, this, &LinkCommands::applyBusy);
    connect(&form, &TMainForm::settingsLoaded, this, [this] {
        m_form.loggerLink().ConfirmConnect = m_form.settings().compile.confirmConnect;
        m_form.loggerLink().OffloadDir = m_form.settings().program.offloadDir;
    });
    connect(&form, &TMainForm::settingsAboutToSave, this,
            [this] { m_form.settings().program.offloadDir = m_form.loggerLink().OffloadDir; });
}

LinkCommands* attachLink(TMainForm& form, terminal::TTerminalForm& terminal) {
    auto* commands = new LinkCommands(form, terminal);
    form.setHandler(QStringLiteral("Load1"), [commands] { commands->Load1Click(); });
    form.setHandler(QStringLiteral("Run1"), [commands] { commands->Run1Click(); });
    const auto compilerOptions = form.handler(QStringLiteral("Compileroptions1"));
    form.setHandler(QStringLiteral("Compileroptions1"), [&form, compilerOptions] {
        if (compilerOptions) {
            compilerOptions();
        }
        form.loggerLink().ConfirmConnect = form.settings().compile.confirmConnect;
    });
    return commands;
}

void LinkCommands::applyBusy(bool busy) {
    if (m_form.isMenuLocked()) {
        return;
    }
    for (const QString& name : linkCommandItems()) {
        if (QAction* action = m_form.action(name)) {
            action->setEnabled(!busy);
        }
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

bool LinkCommands::compileAndLoad(TEditor& editor, bool reportFailedLoad, const QString& command) {
    link::LoggerLink& link = m_form.loggerLink();
    Prompts& prompts = m_form.prompts();
    const shell::CompileSource source{editor.caption(), editor.fileName(), editor.control().text()};
    const compiler::CompilerOptions options = shell::compilerOptionsFrom(m_form.settings().compile);
    compiler::CompileJob job = shell::makeCompileJob(source, options);
    const QString folder = shell::outputFolderFor(source);
    if (!shell::runCompileStep(job, options, folder, prompts)) {
        m_form.showCommandResult(shell::compileResultText(command, job, false, source.caption));
        if (job.failed()) {
            shell::reportCompileError(editor.control(), job, source.caption, prompts);
        }
        compiler::releaseJob(job);
        return false;
    }
    const QByteArray image(reinterpret_cast<const char*>(job.image.data()), qsizetype(job.image.size()));
    const link::LoadOutcome outcome = LoadProgram(link, image, job.modelCode, job.header.variablesSize);
    compiler::releaseJob(job);
    // A refused size or a silent logger gets the general word too; a Cancel or a stalled line has
    // already been told in full.
    const bool refusedOrSilent =
        outcome == link::LoadOutcome::TooLarge || outcome == link::LoadOutcome::NotResponding;
    if (reportFailedLoad && refusedOrSilent) {
        link.report(link::kErrorCommunicating);
    }
    if (outcome != link::LoadOutcome::Loaded) {
        m_form.showCommandResult(QStringLiteral("%1: %2").arg(command, loadFailureText(outcome)));
        return false;
    }
    link.ProgramDir = folder;
    m_form.showCommandResult(QStringLiteral("%1: %2 loaded (%3 bytes)")
                                 .arg(command, QFileInfo(source.caption).fileName())
                                 .arg(image.size()));
    return true;
}

void LinkCommands::Load1Click() {
    TEditor* editor = m_form.activeEditor();
    if (editor == nullptr) {
        return;
    }
    const auto claim = m_form.loggerLink().claim();
    if (!claim) {
        return;
    }
    compileAndLoad(*editor, true, QStringLiteral("Load"));
}

void LinkCommands::Run1Click() {
    TEditor* editor = m_form.activeEditor();
    const bool fromTerminal = editor == nullptr && terminalActive();
    if (editor == nullptr && !fromTerminal) {
        return;
    }
    link::LoggerLink& link = m_form.loggerLink();
    const auto claim = link.claim();
    if (!claim) {
        return;
    }
    if (fromTerminal) {
        link.SendRunCommand();
        bringTerminalToFront();
        m_form.showCommandResult(QStringLiteral("Run: the program in the logger was started"));
        return;
    }
    if (compileAndLoad(*editor, false, QStringLiteral("Run"))) {
        link::runLoadedProgram(link);
        m_form.showCommandResult(
            link.lineFailed()
                ? QStringLiteral("Run: %1").arg(link::kErrorCommunicating)
                : QStringLiteral("Run: %1 loaded and started").arg(QFileInfo(editor->caption()).fileName()));
    }
}

}  // namespace orrery
