#pragma once
// "Rcv file ASCII..." as a link command: whatever the line brings stored in a file until the
// termination condition (asciitransfer.h) or Cancel. The command claims the line and keeps the terminal
// off it; it asks nothing: the front end has chosen the file and what to do with an existing one (the
// workbench's File Exists dialog, loggerlink's --force) and passes that in the request.
//
// Every way the file is finished is checked: the last buffer reaches the disk only at close, so a full
// disk shows there ("File write error"), and a rename that fails names the file that holds the data.

#include <QString>

#include "asciitransfer.h"
#include "linkresult.h"

namespace orrery::link {

class LoggerLink;

enum class ExistingFile {
    Refuse,               // the file must not exist
    Overwrite,            // write from its start (the file is emptied first)
    Append,               // write after its end
    Backup,               // rename it to NAME.bak first (never over an existing back-up)
    ReplaceWhenComplete,  // write NAME.partial (beside an earlier one), rename onto NAME at a normal end
};

struct AsciiReceiveRequest {
    QString path;
    ExistingFile existing = ExistingFile::Refuse;
    AsciiOptions options;
};

// Where "Make back-up" moves an existing file: its extension replaced by ".bak".
QString backupPathFor(const QString& path);

// Runs the receive to its end. Failures are shown through the link; on success the result says
// "Received 1 234 bytes into /home/u/capture.txt". With ReplaceWhenComplete a Cancel before the
// termination condition keeps the bytes in the ".partial" file (status Cancelled, path names it);
// with kind User cancel, Cancel is the normal end.
LinkResult receiveAsciiFile(LoggerLink& link, const AsciiReceiveRequest& request);

}  // namespace orrery::link
