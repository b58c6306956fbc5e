#include "epromexport.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

#include "destination.h"
#include "hexrecord.h"
#include "identify.h"
#include "loggerlink.h"
#include "prompts.h"

namespace orrery::link {

namespace {

const QString kCantOpen = QStringLiteral("Can't open file:\n%1");
const QString kErrorWriting = QStringLiteral("Error writing to file");
const QString kCancelled = QStringLiteral("Transfer cancelled by user");
const QString kNothingWritten = QStringLiteral("\nNothing was written to %1");

constexpr quint8 kEpromRefusal = 0x07;
// Replies to the export's own bytes (0x05, identify, the first 0x16) come quickly or not at all.
constexpr quint16 kReplyTimeoutMs = 500;
// The logger needs a moment after the identify reply before it takes the memory-access byte.
constexpr unsigned long kPauseBeforeMemoryAccessMs = 100;
constexpr quint16 kLengthWordOffset = 2;
// Models 700 and 800 may carry the long header, whose size word says so and whose image length is a
// 32-bit field at the place where the short header keeps its 16-bit "length - 1".
constexpr int kLongHeaderModels[] = {700, 800};
constexpr quint16 kLongHeaderSize = 82;

// A write-protected file stays as it is, although a rename could replace it.
bool openForWriting(QSaveFile& file) {
    if (QFileInfo::exists(file.fileName()) && isWriteProtected(file.fileName())) {
        return false;
    }
    return file.open(QIODevice::WriteOnly);
}

bool isLongHeaderModel(int model) {
    return std::find(std::begin(kLongHeaderModels), std::end(kLongHeaderModels), model) !=
           std::end(kLongHeaderModels);
}

// The bytes of the program image, from its header. Nothing when a read fails.
std::optional<quint32> readProgramLength(LoggerLink& link, quint16 start, int model) {
    quint8 word[2] = {};
    if (link.ReadLoggerMemory(word, quint16(start + kLengthWordOffset), 2) == MemoryRead::Failed) {
        return std::nullopt;
    }
    // The field holds the offset of the image's last byte; 16-bit arithmetic, as the header has it.
    quint32 length = quint16((word[0] << 8 | word[1]) + 1);
    if (!isLongHeaderModel(model)) {
        return length;
    }
    quint8 size[2] = {};
    if (link.ReadLoggerMemory(size, start, 2) == MemoryRead::Failed) {
        return std::nullopt;
    }
    if ((size[0] << 8 | size[1]) == kLongHeaderSize) {
        quint8 wide[4] = {};
        if (link.ReadLoggerMemory(wide, quint16(start + kLengthWordOffset), 4) == MemoryRead::Failed) {
            return std::nullopt;
        }
        length = quint32(wide[0]) << 24 | quint32(wide[1]) << 16 | quint32(wide[2]) << 8 | wide[3];
    }
    return length;
}

// Identify, memory access and the copy of both stretches into file. Returns the message that ends a
// failed copy, empty when every record was written. progressStarted tells the caller to close it.
QString copyImage(LoggerLink& link, QIODevice& file, bool& progressStarted, qint64& done) {
    const std::optional<IdentifyReply> reply = Identify(link);
    if (!reply) {
        return kErrorCommunicating;
    }
    const int model = reply->modelNumber();
    const quint16 start = programStartForModelNumber(model);

    QThread::msleep(kPauseBeforeMemoryAccessMs);
    link.FlushPort();
    if (!link.SendByte(kMemoryAccessCommand) || link.WaitAnswer(kReplyTimeoutMs) != kMemoryAccessCommand) {
        return kErrorCommunicating;
    }
    const std::optional<quint32> length = readProgramLength(link, start, model);
    if (!length) {
        return kErrorCommunicating;
    }

    Progress& progress = link.prompts().progress();
    progress.start(kRepriseCaption, qint64(boundedProgramLength(start, *length)) + kUpperMemorySize, false);
    progressStarted = true;
    done = 0;
    for (const HexPiece& piece : exportPieces(start, *length)) {
        quint8 bytes[kHexRecordMaxBytes] = {};
        if (link.ReadLoggerMemory(bytes, piece.readAddress, piece.count) == MemoryRead::Failed) {
            return kErrorCommunicating;
        }
        if (WriteHexRecord(file, piece.recordAddress, piece.count, bytes) == RecordWrite::Failed) {
            return kErrorWriting;
        }
        done += piece.count;
        if (progress.update(done)) {
            return kCancelled;
        }
    }
    return {};
}

}  // namespace

LinkResult exportEprom(LoggerLink& link, const EpromExportRequest& request) {
    const QString path = QFileInfo(request.destination).absoluteFilePath();
    const QString shown = QDir::toNativeSeparators(path);
    if (const QString problem = destinationProblem(path, request.replaceExisting); !problem.isEmpty()) {
        link.report(problem);
        return LinkResult::failure(LinkStatus::Refused, problem);
    }
    std::optional<LinkClaim> claim = link.claim();
    if (!claim) {
        return LinkResult::failure(LinkStatus::Refused, link.refusal());
    }
    TerminalHold hold(link);
    auto fail = [&link](LinkStatus status, const QString& message) {
        link.report(message);
        return LinkResult::failure(status, message);
    };
    if (!link.SendByte(kEpromExportCommand)) {
        return fail(LinkStatus::Failed, kErrorCommunicating);
    }
    const qint16 answer = link.WaitAnswer(kReplyTimeoutMs);
    if (link.ConfirmConnect && answer != kEpromExportCommand && answer != kEpromRefusal) {
        return fail(LinkStatus::NotResponding, kNotResponding);
    }
    if (answer != kEpromExportCommand) {
        return LinkResult::failure(LinkStatus::Refused,
                                   QStringLiteral("The logger refused the EPROM export"));
    }
    // The image crosses the line as raw bytes, 0x11 and 0x13 among them.
    if (!link.CheckLinkSettings()) {
        return LinkResult::failure(LinkStatus::Refused,
                                   QStringLiteral("The port settings do not allow the export"));
    }
    QSaveFile file(path);
    if (!openForWriting(file)) {
        return fail(LinkStatus::Failed, kCantOpen.arg(shown));
    }
    bool progressStarted = false;
    qint64 bytes = 0;
    QString failure = copyImage(link, file, progressStarted, bytes);
    if (failure.isEmpty()) {
        if (file.write(kHexEndRecord) != qint64(sizeof kHexEndRecord - 1) || !file.commit()) {
            failure = kErrorWriting;
        }
    } else {
        file.cancelWriting();
    }
    // Leaves memory access; the logger's prompt is not awaited.
    (void)link.SendByte(kLeaveMemoryAccessCommand);
    if (progressStarted) {
        link.prompts().progress().close();
    }
    if (!failure.isEmpty()) {
        const LinkStatus status = failure == kCancelled ? LinkStatus::Cancelled : LinkStatus::Failed;
        return fail(status, failure + kNothingWritten.arg(shown));
    }
    return {LinkStatus::Done, bytes, path,
            QStringLiteral("Exported the EPROM image (%1 bytes) into %2").arg(groupedCount(bytes), shown)};
}

LinkResult bootEprom(LoggerLink& link) {
    // No exchange follows, so the terminal keeps the line; the claim only keeps the byte out of another
    // command's exchange.
    std::optional<LinkClaim> claim = link.claim();
    if (!claim) {
        return LinkResult::failure(LinkStatus::Refused, link.refusal());
    }
    if (!link.SendByte(kBootEpromCommand) || !link.DrainOutput()) {
        link.report(kErrorCommunicating);
        return LinkResult::failure(LinkStatus::Failed, kErrorCommunicating);
    }
    if (TerminalGate* gate = link.terminalGate()) {
        gate->bringTerminalToFront();
    }
    return {LinkStatus::Done, 1, {}, QStringLiteral("Sent the boot command (Boot EPROM)")};
}

}  // namespace orrery::link
