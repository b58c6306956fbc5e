#pragma once
// "R&eprise EPROM..." and "&Boot EPROM": the program loaded in a logger and the logger's upper 16 KB
// read back over the line into an Intel HEX image (hexrecord.h) for an EPROM, and the command that makes
// the logger boot from its EPROM.
//
// The export, in the order the user meets it:
//   0x05 -> 0x05 accepts, 0x07 refuses | port settings | file choice | identify 0x13 (model number) |
//   0x16 memory access | program length from the header | the program and 0xC000..0xFFFF in 16-byte
//   reads, one HEX record each, with "Reprise EPROM" progress | end record | 0x18 leaves memory access
//
// The image is written to a temporary file beside the chosen one and renamed into place only when every
// record was read and written, so a copy cut short (the logger stopped answering, Cancel, a full disk)
// never leaves a file that looks like a whole image; an existing file of that name stays as it was.

#include <QByteArray>
#include <QString>
#include <optional>

namespace orrery::link {

class LoggerLink;

inline const QString kDefaultHexName = QStringLiteral("REPRISE.HEX");
inline const QString kHexFileFilter = QStringLiteral("Intel HEX image (*.hex *.HEX);;Any file (*)");
inline const QString kRepriseCaption = QStringLiteral("Reprise EPROM");
// The reply to the identify byte is kept up to this length; longer replies are read to their end so the
// line stays in step, and their tail is dropped.
inline constexpr int kIdentifyReplyLimit = 129;

// What the export keeps between runs of the workbench's command.
struct EpromExportState {
    QString rememberedName = kDefaultHexName;  // name part of the last file chosen
};

enum class EpromExportResult {
    Written,        // the whole image is in the chosen file
    Refused,        // the logger refused (0x07), or did not answer with the echo check off
    Cancelled,      // the file choice or the overwrite question was cancelled
    FileError,      // the file could not be created
    Failed,         // the logger, the line, the file or Cancel ended the copy; a message said which
};

// The logger's identify reply: echo 0x13, a count, then that many bytes. Unlike Identify (identify.h),
// which keeps a missing byte as 0xFF to show what it got, the export needs a trustworthy model number:
// empty when any byte does not come within 500 ms or the reply is too short to hold the model number.
std::optional<QByteArray> readIdentifyReply(LoggerLink& link);
// The model number at the head of an identify reply.
int modelNumberOf(const QByteArray& identifyReply);

EpromExportResult RepriseEPROM1Click(LoggerLink& link, EpromExportState& state);

// Sends 0x02 and brings the terminal to the front; nothing is awaited. False when another command holds
// the line or the byte could not be sent (a message said so).
bool BootEPROM1Click(LoggerLink& link);

}  // namespace orrery::link
