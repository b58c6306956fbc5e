#include "transfercommands.h"

#include <QFile>
#include <QFileInfo>

#include "apdcomport.h"
#include "prompts.h"
#include "terminalwin.h"
#include "xmodemsession.h"

namespace orrery::terminal {

namespace {

const QString kAllFiles = QStringLiteral("All files (*)");
const QString kWriteProtected = QStringLiteral("File is write protected");
constexpr qint64 kXmodemGauge = 10000;

// Gives the line back when a command ends, on every path.
class LineClaim {
public:
    explicit LineClaim(TransferContext& c) : m_c(c), m_held(c.claimLine()) {}
    ~LineClaim() {
        if (m_held) {
            m_c.releaseLine();
        }
    }
    bool held() const { return m_held; }

private:
    TransferContext& m_c;
    bool m_held;
};

bool isWriteProtected(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isWritable();
}

}  // namespace

QString backupPathFor(const QString& path) {
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString stem = suffix.isEmpty() ? path : path.left(path.size() - suffix.size() - 1);
    return stem + QStringLiteral(".bak");
}

void TransferCommands::rememberFolder(const QString& path) {
    m_c.offloadDir = QFileInfo(path).absolutePath();
}

void TransferCommands::sendXmodem() {
    const QString path = m_c.prompts.openFileName(QStringLiteral("Transmit disk files"), m_c.offloadDir, kAllFiles);
    if (path.isEmpty()) {
        m_c.terminal.ResumeTerminal();
        return;
    }
    if (!m_c.claimLine()) {
        return;
    }
    rememberFolder(path);
    m_c.terminal.SuspendTerminal();
    m_c.session.startTransmit(path, QStringLiteral("XMODEM Transmit"), kXmodemGauge, true, [this] {
        // Input only: the output may still hold the transfer's last acknowledgement or cancel.
        m_c.port.flushInBuffer();
        m_c.terminal.ResumeTerminal();
        m_c.releaseLine();
    });
}

void TransferCommands::receiveXmodem() {
    const QString path = m_c.prompts.saveFileName(QStringLiteral("Receive disk files"), m_c.offloadDir, kAllFiles);
    if (path.isEmpty()) {
        m_c.terminal.ResumeTerminal();
        return;
    }
    rememberFolder(path);
    if (isWriteProtected(path)) {
        m_c.prompts.showMessage(kWriteProtected);
        return;
    }
    if (!m_c.claimLine()) {
        return;
    }
    m_c.terminal.SuspendTerminal();
    m_c.session.startReceive(path, QStringLiteral("XMODEM Receive"), kXmodemGauge, true, [this] {
        // Input only: the output may still hold the transfer's last acknowledgement or cancel.
        m_c.port.flushInBuffer();
        m_c.terminal.ResumeTerminal();
        m_c.releaseLine();
    });
}

void TransferCommands::sendAsciiFile() {
    const QString path = m_c.prompts.openFileName(QStringLiteral("Transmit disk file"), m_c.offloadDir, kAllFiles);
    if (path.isEmpty()) {
        return;
    }
    const LineClaim claim(m_c);
    if (!claim.held()) {
        return;
    }
    rememberFolder(path);
    TerminalSuspension suspended(m_c.terminal);
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

bool TransferCommands::openForReceive(const QString& path, QFile& file) {
    file.setFileName(path);
    if (!QFileInfo::exists(path)) {
        return file.open(QIODevice::WriteOnly);
    }
    const int choice = m_c.askFileExists(path, m_c.fileExistsAction);
    if (choice < 0) {
        return false;
    }
    m_c.fileExistsAction = choice;
    if (choice == 2) {
        // A chosen file that is itself a back-up would be renamed onto itself and then emptied.
        const QString backup = backupPathFor(path);
        if (QFileInfo(backup).absoluteFilePath() == QFileInfo(path).absoluteFilePath() ||
            !QFile::rename(path, backup)) {
            m_c.prompts.showMessage(QStringLiteral("Can't create back-up. One exists already."));
            return false;
        }
        return file.open(QIODevice::WriteOnly);
    }
    if (isWriteProtected(path)) {
        m_c.prompts.showMessage(kWriteProtected);
        return false;
    }
    // Overwrite empties the file first, so that no tail of an older, longer recording stays behind.
    const auto mode = choice == 1 ? QIODevice::WriteOnly | QIODevice::Append
                                  : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!file.open(mode)) {
        m_c.prompts.showMessage(QStringLiteral("Error getting file attributes"));
        return false;
    }
    return true;
}

void TransferCommands::receiveAsciiFile() {
    const QString path = m_c.prompts.saveFileName(QStringLiteral("Receive disk file"), m_c.offloadDir, kAllFiles);
    if (path.isEmpty()) {
        return;
    }
    const LineClaim claim(m_c);
    if (!claim.held()) {
        return;
    }
    QFile file;
    if (!openForReceive(path, file)) {
        return;
    }
    rememberFolder(path);
    qint64 count = 0;
    ReceiveEnd end;
    {
        TerminalSuspension suspended(m_c.terminal);
        end = receiveAscii(m_c.port, file, m_c.ascii, m_c.prompts.progress(), count);
        file.close();
        m_c.prompts.progress().close();
    }
    if (end == ReceiveEnd::WriteError) {
        m_c.prompts.showMessage(QStringLiteral("File write error"));
    }
}

}  // namespace orrery::terminal
