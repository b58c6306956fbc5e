#include "asciireceive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "destination.h"
#include "loggerlink.h"
#include "prompts.h"

namespace orrery::link {

namespace {

const QString kFileWriteError = QStringLiteral("File write error");
const QString kBackupExists = QStringLiteral("Can't create back-up. One exists already.");

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Opens the file as the request says; the message why not, or an empty string.
QString openForReceive(const AsciiReceiveRequest& request, QFile& file) {
    const QString& path = request.path;
    const bool exists = QFileInfo::exists(path);
    if (request.existing == ExistingFile::ReplaceWhenComplete) {
        if (const QString problem = destinationProblem(path, true); !problem.isEmpty()) {
            return problem;
        }
        // Unbuffered: every byte is on the disk as soon as it has arrived, should the program be killed.
        return openFreePartial(file, path, QIODevice::Unbuffered)
                   ? QString()
                   : QStringLiteral("Cannot write %1: %2").arg(shown(file.fileName()), file.errorString());
    }
    file.setFileName(path);
    QString keptAs;
    if (exists) {
        switch (request.existing) {
            case ExistingFile::Refuse:
                return QStringLiteral("%1 exists").arg(shown(path));
            case ExistingFile::Backup: {
                // A chosen file that is itself a back-up would be renamed onto itself and then emptied.
                const QString backup = backupPathFor(path);
                if (QFileInfo(backup).absoluteFilePath() == QFileInfo(path).absoluteFilePath() ||
                    !QFile::rename(path, backup)) {
                    return kBackupExists;
                }
                keptAs = backup;
                break;
            }
            default:
                if (isWriteProtected(path)) {
                    return kWriteProtected;
                }
        }
    }
    // Overwrite empties the file first, so that no tail of an older, longer recording stays behind.
    const auto mode = exists && request.existing == ExistingFile::Append
                          ? QIODevice::WriteOnly | QIODevice::Append
                          : QIODevice::WriteOnly | QIODevice::Truncate;
    if (file.open(mode)) {
        return {};
    }
    QString text = QStringLiteral("%1\ncould not be created: %2").arg(shown(path), file.errorString());
    if (!keptAs.isEmpty()) {
        text += QStringLiteral("\nThe earlier file is kept as %1").arg(shown(keptAs));
    }
    return text;
}

LinkResult failed(LoggerLink& link, LinkStatus status, const QString& message, const QString& path = {},
                  qint64 bytes = 0) {
    link.report(message);
    return {status, bytes, path, message};
}

}  // namespace

QString backupPathFor(const QString& path) {
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString stem = suffix.isEmpty() ? path : path.left(path.size() - suffix.size() - 1);
    return stem + QStringLiteral(".bak");
}

LinkResult receiveAsciiFile(LoggerLink& link, const AsciiReceiveRequest& request) {
    std::optional<LinkClaim> claim = link.claim();
    if (!claim) {
        return LinkResult::failure(LinkStatus::Refused, link.refusal());
    }
    QFile file;
    if (const QString problem = openForReceive(request, file); !problem.isEmpty()) {
        return failed(link, LinkStatus::Refused, problem);
    }
    qint64 count = 0;
    ReceiveEnd end;
    {
        TerminalHold hold(link);
        end = receiveAscii(link.port(), file, request.options, link.prompts().progress(), count);
        // The last buffer reaches the disk only here.
        const bool flushed = file.flush();
        file.close();
        if (!flushed || file.error() != QFileDevice::NoError) {
            end = ReceiveEnd::WriteError;
        }
        link.prompts().progress().close();
    }
    const QString written = file.fileName();
    if (end == ReceiveEnd::WriteError) {
        return failed(link, LinkStatus::Failed, kFileWriteError, written, count);
    }
    if (request.existing == ExistingFile::ReplaceWhenComplete) {
        // Without a termination condition Cancel is how the receive ends, not a cancel.
        const bool complete =
            end == ReceiveEnd::Terminated || request.options.kind == TerminationKind::UserCancel;
        if (!complete) {
            return failed(link, LinkStatus::Cancelled,
                          QStringLiteral("ASCII receive cancelled: %1 bytes received are in %2")
                              .arg(groupedCount(count), shown(written)),
                          written, count);
        }
        // rename() replaces an older file in one step.
        if (std::rename(QFile::encodeName(written).constData(),
                        QFile::encodeName(request.path).constData()) != 0) {
            return failed(link, LinkStatus::Failed,
                          QStringLiteral("Cannot write %1: the %2 bytes received are in %3")
                              .arg(shown(request.path), groupedCount(count), shown(written)),
                          written, count);
        }
    }
    return {LinkStatus::Done, count, request.path,
            QStringLiteral("Received %1 bytes into %2").arg(groupedCount(count), shown(request.path))};
}

}  // namespace orrery::link
