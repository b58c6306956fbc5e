#pragma once
// "R&eprise EPROM..." and "&Boot EPROM": the program loaded in a logger and the logger's upper 16 KB
// read back over the line into an Intel HEX image (hexrecord.h) for an EPROM, and the command that makes
// the logger boot from its EPROM.
//
// The export, in the order the user meets it:
//   0x05 -> 0x05 accepts, 0x07 refuses | port settings | file choice | identify 0x13 (model number) |
//   0x16 memory access | program length from the header | the program and 0xC000..0xFFFF in 16-byte
//   reads, one HEX record each, with "Reprise EPROM" progress | end record | 0x18 leaves memory access
// The logger's unasked prompt (CR LF "#") may come ahead of the answer to 0x05, 0x13 or 0x16 and is
// passed over there; inside the replies those bytes are data.
//
// The file is chosen before anything is sent (the front end asks; the link never does). The image is
// written to a temporary file beside the chosen one and renamed into place only when every
// record was read and written, so a copy cut short (the logger stopped answering, Cancel, a full disk)
// never leaves a file that looks like a whole image; an existing file of that name stays as it was.

#include <QByteArray>
#include <QString>
#include <optional>

#include "linkresult.h"

namespace orrery::link {

class LoggerLink;

inline const QString kDefaultHexName = QStringLiteral("REPRISE.HEX");
inline const QString kHexFileFilter = QStringLiteral("Intel HEX image (*.hex *.HEX);;Any file (*)");
inline const QString kRepriseCaption = QStringLiteral("Reprise EPROM");
struct EpromExportRequest {
    QString destination;           // the HEX file
    bool replaceExisting = false;  // an existing file under destination may be replaced
};

// The export: claims the line, checks the destination before the first byte, reads the image and
// writes the file. Failures are shown through the link (the workbench's texts); a logger that refuses
// (0x07, or no answer with the echo check off) ends it with status Refused and no message. On success:
// "Exported the EPROM image (16 484 bytes) into /home/u/REPRISE.HEX".
LinkResult exportEprom(LoggerLink& link, const EpromExportRequest& request);

// Sends 0x02 and brings the terminal to the front; nothing is awaited.
LinkResult bootEprom(LoggerLink& link);

}  // namespace orrery::link
