#pragma once
// Checks on a file a logger command is about to write, made before the first command byte goes out:
// once the logger has been set sending, a destination that turns out to be unwritable leaves it
// waiting in the middle of a transfer, and the data it sent is lost to the desktop.
//
// "Read-only" is the file's attribute (no write permission bits), not only what the operating system
// would refuse: a user running as root can write anything, but a file or folder marked read-only is
// still not to be written.

#include <QFile>
#include <QString>

namespace orrery::link {

inline const QString kWriteProtected = QStringLiteral("File is write protected");

// The problem with writing destination, or an empty string: the file is a folder, is read-only, or
// exists while replaceExisting is false; its folder is missing, read-only or refuses a new file.
QString destinationProblem(const QString& destination, bool replaceExisting);

// Opens the first of "<final>.partial", "<final>.partial.1", ... that does not exist yet, for a receive
// that writes as the bytes arrive. An existing ".partial" holds an earlier attempt's data and is never
// opened. False when none could be created.
bool openFreePartial(QFile& file, const QString& finalPath, QIODevice::OpenMode extraMode = {});

// True when the file or folder carries the read-only attribute (or cannot be written by this user).
bool isWriteProtected(const QString& path);

}  // namespace orrery::link
