#include "transfercommands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "apdcomport.h"
#include "asciireceive.h"
#include "loggerlink.h"
#include "prompts.h"
#include "terminalwin.h"
#include "xmodemtransfer.h"

namespace orrery::terminal {

namespace {

const QString kAllFiles = QStringLiteral("All files (*)");

// Gives the line back when a command ends, on every path.
class LineHeldForCommand {
public:
    explicit LineHeldForCommand(TransferContext& c) : m_c(c), m_held(c.claimLine()) {}
    ~LineHeldForCommand() {
        if (m_held) {
            m_c.releaseLine();
        }
    }
    bool held() const { return m_held; }

private:
    TransferContext& m_c;
    bool m_held;
};

}  // namespace

void TransferCommands::rememberFolder(const QString& path) {
    m_c.offloadDir = QFileInfo(path).absolutePath();
}

void TransferCommands::sendXmodem() {
    const QString path = m_c.prompts.openFileName(QStringLiteral("Transmit disk files"), m_c.offloadDir, kAllFiles);
    if (path.isEmpty()) {
        m_c.terminal.ResumeTerminal();
        return;
    }
    rememberFolder(path);
    m_c.xmodem.start({true, path, false});
}

void TransferCommands::receiveXmodem() {
    // The save dialog asks before replacing an existing file; the command checks it can be written.
    const QString path = m_c.prompts.saveFileName(QStringLiteral("Receive disk files"), m_c.offloadDir, kAllFiles);
    if (path.isEmpty()) {
        m_c.terminal.ResumeTerminal();
        return;
    }
    rememberFolder(path);
    m_c.xmodem.start({false, path, true});
}

void TransferCommands::sendAsciiFile() {
    const QString path = m_c.prompts.openFileName(QStringLiteral("Transmit disk file"), m_c.offloadDir, kAllFiles);
    if (path.isEmpty()) {
        return;
    }
    const LineHeldForCommand claim(m_c);
    if (!claim.held()) {
        return;
    }
    rememberFolder(path);
    TerminalOffLineScope suspended(m_c.terminal);
    // A file that cannot be read sends nothing of itself; prefix and suffix still go.
    QFile file(path);
    QByteArray data;
    if (file.open(QIODevice::ReadOnly)) {
        data = file.readAll();
    }
    PortAsciiLine line(m_c.port);
    if (sendAscii(line, data, m_c.ascii, m_c.prompts.progress()) == link::AsciiSendEnd::Stalled) {
        m_c.prompts.showMessage(link::kAsciiSendStalled, PromptIcon::Warning);
    }
}

void TransferCommands::receiveAsciiFile() {
    // The File Exists dialog is the one question about an existing file; the save dialog asks none.
    const QString path = m_c.prompts.saveFileNameNoReplacePrompt(QStringLiteral("Receive disk file"),
                                                                 m_c.offloadDir, kAllFiles);
    if (path.isEmpty()) {
        return;
    }
    link::AsciiReceiveRequest request{path, link::ExistingFile::Refuse, m_c.ascii};
    if (QFileInfo::exists(path)) {
        static constexpr link::ExistingFile kChoices[] = {
            link::ExistingFile::Overwrite, link::ExistingFile::Append, link::ExistingFile::Backup};
        const int choice = m_c.askFileExists(path, m_c.fileExistsAction);
        if (choice < 0 || choice > 2) {
            return;
        }
        m_c.fileExistsAction = choice;
        request.existing = kChoices[choice];
    }
    rememberFolder(path);
    const link::LinkResult result = link::receiveAsciiFile(m_c.link, request);
    if (result.done()) {
        m_c.reportResult(result.message);
    }
}

}  // namespace orrery::terminal
