#include "mainformtransfers.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

#include "apdprotocol.h"
#include "asciioptionsform.h"
#include "destination.h"
#include "fileexists.h"
#include "loggerlink.h"
#include "mainform.h"
#include "mainformlink.h"
#include "offload.h"
#include "offloaddialogs.h"
#include "prompts.h"
#include "terminalwin.h"
#include "transfercommands.h"
#include "xmodemsession.h"
#include "xmodemtransfer.h"

namespace orrery {

namespace {

terminal::AsciiOptions toAscii(const settings::TransferSection& s) {
    terminal::AsciiOptions o;
    o.kind = terminal::TerminationKind(std::clamp(s.termType, 0, 2));
    o.termChar = s.termChar;
    o.termTimeout = std::max(1, s.termTimeout);
    o.prefix = s.prefix;
    o.suffix = s.suffix;
    o.charDelay = std::max(0, s.charDelay);
    o.lineDelay = std::max(0, s.lineDelay);
    return o;
}

void fromAscii(const terminal::AsciiOptions& o, settings::TransferSection& s) {
    s.termType = int(o.kind);
    s.termChar = o.termChar;
    s.termTimeout = o.termTimeout;
    s.prefix = o.prefix;
    s.suffix = o.suffix;
    s.charDelay = o.charDelay;
    s.lineDelay = o.lineDelay;
}

// The terminal window as the link's gate, for a link that has none yet.
class TerminalFormGate : public link::TerminalGate {
public:
    explicit TerminalFormGate(terminal::TTerminalForm& term) : m_term(term) {}
    void suspendTerminal() override { m_term.SuspendTerminal(); }
    void resumeTerminal() override { m_term.ResumeTerminal(); }
    void bringTerminalToFront() override { m_term.bringToFront(); }

private:
    terminal::TTerminalForm& m_term;
};

// The save dialog of each offload, as the user meets it.
struct OffloadSaveDialog {
    const char* title;
    const char* defaultName;
};
const OffloadSaveDialog& saveDialogOf(link::OffloadKind kind) {
    static const OffloadSaveDialog serial{"Save datafile", "offload.dat"};
    static const OffloadSaveDialog disk{"Receive disk files", "doffload.dat"};
    return kind == link::OffloadKind::Serial ? serial : disk;
}

}  // namespace

struct TransferParts {
    TransferParts(TMainForm& form, terminal::TTerminalForm& term, link::LoggerLink& link, Prompts& prompts,
                  TransferDialogs dialogs)
        : protocol(&form.ApdComPort1),
          session(protocol, prompts),
          offload(link, session),
          xmodem(link, session),
          commands(terminal::TransferContext{
              link, form.ApdComPort1, xmodem, prompts, term, link.OffloadDir, ascii,
              form.settings().program.fileExAction,
              [dialogs](const QString& name, int preselected) {
                  const shell::FileExistsChoice choice = dialogs.fileExists.run(name, preselected);
                  return choice.action == shell::FileExistsAction::Cancel ? -1 : choice.index;
              },
              [this, &link] {
                  lineClaim = link.claim();
                  return lineClaim.has_value();
              },
              [this] { lineClaim.reset(); },
              [&form](const QString& result) { form.showCommandResult(result); }}),
          gate(term) {
        if (!link.terminalGate()) {
            link.setTerminalGate(&gate);
        }
    }

    xmodem::TApdProtocol protocol;  // ApdProtocol1
    xmodem::XmodemSession session;
    link::OffloadCommand offload;
    link::XmodemTransferCommand xmodem;
    terminal::AsciiOptions ascii;
    terminal::TransferCommands commands;
    std::optional<link::LinkClaim> lineClaim;
    TerminalFormGate gate;
};

namespace {

// The questions of one offload, each asked once and in this order: range, file, write protection,
// replacing an existing file. Only then does the link send anything.
void offloadCommand(link::OffloadKind kind, link::OffloadCommand& command, link::LoggerLink& link,
                    Prompts& prompts, shell::TOffloadRangeDialog& rangeDialog, TMainForm& form) {
    QString startText = QStringLiteral("0");
    QString endText = QStringLiteral("0");
    if (!rangeDialog.run(startText, endText)) {
        return;
    }
    link::OffloadRequest request;
    request.kind = kind;
    if (const QString problem = link::parseOffloadRange(startText, endText, request); !problem.isEmpty()) {
        prompts.showMessage(problem, PromptIcon::Error);
        return;
    }
    const OffloadSaveDialog& save = saveDialogOf(kind);
    QString path = prompts.saveFileNameNoReplacePrompt(
        QString::fromLatin1(save.title),
        QDir(link.OffloadDir).filePath(QString::fromLatin1(save.defaultName)), link::kDataFileFilter);
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo(path).suffix().isEmpty() && !QFileInfo::exists(path)) {
        path += QStringLiteral(".dat");
    }
    link.OffloadDir = QFileInfo(path).absolutePath();
    if (QFileInfo::exists(path)) {
        if (link::isWriteProtected(path)) {
            prompts.showMessage(link::kWriteProtected);
            return;
        }
        if (prompts.askYesNo(QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                 .arg(QDir::toNativeSeparators(path)),
                             QStringLiteral("Confirm")) != Answer::Yes) {
            return;
        }
        request.replaceExisting = true;
    }
    request.destination = path;
    form.showCommandResult(QString());
    command.start(request);
}

void Offloaddatafile1Click(link::OffloadCommand& command, link::LoggerLink& link, Prompts& prompts,
                           shell::TOffloadRangeDialog& rangeDialog, TMainForm& form) {
    offloadCommand(link::OffloadKind::Serial, command, link, prompts, rangeDialog, form);
}

void Doffloaddisk1Click(link::OffloadCommand& command, link::LoggerLink& link, Prompts& prompts,
                        shell::TOffloadRangeDialog& rangeDialog, TMainForm& form) {
    offloadCommand(link::OffloadKind::Disk, command, link, prompts, rangeDialog, form);
}

}  // namespace

std::shared_ptr<TransferParts> attachTransfers(TMainForm& form, terminal::TTerminalForm& term,
                                               link::LoggerLink& link, Prompts& prompts,
                                               TransferDialogs dialogs) {
    auto parts = std::make_shared<TransferParts>(form, term, link, prompts, dialogs);
    TransferParts* p = parts.get();
    // The protocol's 1092 ticks of handshake wait and 10 ticks between status events are its defaults.
    QObject::connect(&form, &TMainForm::settingsLoaded, &form, [&form, &link, p] {
        p->ascii = toAscii(form.settings().transfer);
        applyLinkSettings(form.settings(), link);
    });
    QObject::connect(&form, &TMainForm::settingsAboutToSave, &form, [&form, &link, p] {
        fromAscii(p->ascii, form.settings().transfer);
        storeLinkSettings(link, form.settings());
    });

    auto showSuccess = [&form](const link::LinkResult& result) {
        if (result.done()) {
            form.showCommandResult(result.message);
        }
    };
    QObject::connect(&p->offload, &link::OffloadCommand::finished, &form, showSuccess);
    QObject::connect(&p->xmodem, &link::XmodemTransferCommand::finished, &form, showSuccess);
    const MenuActions& items = form.actions();
    auto on = [&form](QAction* item, auto command) {
        QObject::connect(item, &QAction::triggered, &form, command);
    };
    on(items.offloadDataFile, [p, &form, &link, &prompts, dialogs] {
        Offloaddatafile1Click(p->offload, link, prompts, dialogs.serialRange, form);
    });
    on(items.doffloadDisk, [p, &form, &link, &prompts, dialogs] {
        Doffloaddisk1Click(p->offload, link, prompts, dialogs.diskRange, form);
    });
    on(items.sndFileXmodem, [p] { p->commands.sendXmodem(); });
    on(items.rcvFileXmodem, [p] { p->commands.receiveXmodem(); });
    on(items.sndFileAscii, [p] { p->commands.sendAsciiFile(); });
    on(items.rcvFileAscii, [p] { p->commands.receiveAsciiFile(); });
    on(items.asciiTransferOptions, [p, &prompts, dialogs] { dialogs.asciiOptions.run(p->ascii, prompts); });
    return parts;
}

}  // namespace orrery
