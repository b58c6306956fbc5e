#include "transfercommands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "apdcomport.h"
#include "destination.h"
#include "linkresult.h"
#include "prompts.h"
#include "terminalwin.h"
#include "xmodemtransfer.h"

namespace orrery::terminal {

namespace {

const QString kAllFiles = QStringLiteral("All files (*)");
using link::kWriteProtected;

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

// The read-only attribute decides, not only what the system would refuse: root may write anything.
bool isWriteProtected(const QString& path) {
    return QFileInfo::exists(path) && link::isWriteProtected(path);
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
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
    sendAscii(line, data, m_c.ascii, m_c.prompts.progress());
}

// Creates the receive file; keptAs names where the old file went, so that the message says it.
bool TransferCommands::createFile(QFile& file, const QString& keptAs) {
    if (file.open(QIODevice::WriteOnly)) {
        return true;
    }
    QString text = QStringLiteral("%1\ncould not be created: %2").arg(shown(file.fileName()), file.errorString());
    if (!keptAs.isEmpty()) {
        text += QStringLiteral("\nThe earlier file is kept as %1").arg(shown(keptAs));
    }
    m_c.prompts.showMessage(text);
    return false;
}

bool TransferCommands::openForReceive(const QString& path, QFile& file) {
    file.setFileName(path);
    if (!QFileInfo::exists(path)) {
        return createFile(file);
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
        return createFile(file, backup);
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
    // The File Exists dialog is the one question about an existing file; the save dialog asks none.
    const QString path =
        m_c.prompts.saveFileNameNoReplacePrompt(QStringLiteral("Receive disk file"), m_c.offloadDir, kAllFiles);
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
        // The last buffer reaches the disk only here: a full disk shows now, not in the loop.
        const bool flushed = file.flush();
        file.close();
        if (!flushed || file.error() != QFileDevice::NoError) {
            end = ReceiveEnd::WriteError;
        }
        m_c.prompts.progress().close();
    }
    if (end == ReceiveEnd::WriteError) {
        m_c.prompts.showMessage(QStringLiteral("File write error"));
        return;
    }
    m_c.reportResult(QStringLiteral("Received %1 bytes into %2").arg(link::groupedCount(count), shown(path)));
}

}  // namespace orrery::terminal
