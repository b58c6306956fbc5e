#include "destination.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace orrery::link {

bool isWriteProtected(const QString& path) {
    const QFileInfo info(path);
    // The mode bits only: WriteUser says what this user may do, and root may do anything.
    constexpr QFile::Permissions kAnyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return !info.isWritable() || (info.permissions() & kAnyWrite) == 0;
}

bool openFreePartial(QFile& file, const QString& finalPath, QIODevice::OpenMode extraMode) {
    constexpr int kMaxAttempts = 1000;
    const QString base = finalPath + QStringLiteral(".partial");
    for (int n = 0; n < kMaxAttempts; ++n) {
        file.setFileName(n == 0 ? base : base + QLatin1Char('.') + QString::number(n));
        // NewOnly makes the test and the creation one step.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | extraMode)) {
            return true;
        }
        if (!file.exists()) {
            return false;  // not a name clash: the folder refuses the file
        }
    }
    return false;
}

QString destinationProblem(const QString& destination, bool replaceExisting) {
    const QFileInfo target(destination);
    const QString shown = QDir::toNativeSeparators(target.absoluteFilePath());
    if (target.isDir()) {
        return QStringLiteral("%1 is a folder").arg(shown);
    }
    if (target.exists()) {
        if (isWriteProtected(destination)) {
            return kWriteProtected;
        }
        if (!replaceExisting) {
            return QStringLiteral("%1 exists").arg(shown);
        }
    }
    const QString folder = target.absolutePath();
    const QString shownFolder = QDir::toNativeSeparators(folder);
    if (!QFileInfo(folder).isDir()) {
        return QStringLiteral("Cannot write %1: the folder %2 does not exist").arg(shown, shownFolder);
    }
    if (isWriteProtected(folder)) {
        return QStringLiteral("Cannot write %1: the folder %2 is write protected").arg(shown, shownFolder);
    }
    // The attribute says yes; a file actually created there (and removed at once) settles it, for a
    // read-only file system or a full quota among others.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".orrery-probe-XXXXXX")));
    if (!probe.open()) {
        return QStringLiteral("Cannot write %1: %2").arg(shown, probe.errorString());
    }
    return {};
}

}  // namespace orrery::link
