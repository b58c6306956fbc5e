#pragma once
// How a logger command ended, as every front end needs to know it: the workbench shows the message in
// its status bar (success) or a message box (failure), loggerlink prints it and picks its exit code, the
// fault campaign counts it. The commands fill it in; they never ask a question of their own, so whatever
// they need to know (range, destination, whether an existing file may go) comes in their request.

#include <QString>

namespace orrery::link {

// The general word for a logger command that went wrong on the line.
inline const QString kErrorCommunicating = QStringLiteral("Error communicating with Brackwater");

enum class LinkStatus {
    Done,           // everything the request asked for happened
    NotResponding,  // the logger did not answer its command byte
    Failed,         // the logger, the line or a file ended the command part-way; message says which
    Cancelled,      // the user cancelled (progress dialog, Ctrl+C)
    Refused,        // nothing was sent: the request itself cannot be carried out (bad range, a file
                    // that cannot be written, the line busy), or the logger declined
};

// How one checked read of logger memory (or a row of them) ended. A failed read may leave its
// destination partly written.
enum class MemoryRead {
    Done,
    Failed,  // a time-out, an unexpected reply or a wrong checksum
};

struct LinkResult {
    LinkStatus status = LinkStatus::Failed;
    qint64 bytes = 0;  // bytes moved into or out of the file
    QString path;      // the file that holds the result (for a failed receive: where the data was kept)
    QString message;   // what the user reads: the success line, or why it failed

    bool done() const { return status == LinkStatus::Done; }
    static LinkResult failure(LinkStatus status, const QString& message) { return {status, 0, {}, message}; }
};

// A byte count as people read it: groups of three digits separated by a space ("5 632"), whatever the
// locale, so that messages read the same in every language setting.
QString groupedCount(qint64 count);

}  // namespace orrery::link
