#include "epromexport.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

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
const QString kFileExists = QStringLiteral("File exists, overwrite?");

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

// Asks for the HEX file until the user takes a name that is free, agrees to overwrite, or cancels.
QString chooseHexFile(LoggerLink& link, const EpromExportState& state) {
    Prompts& prompts = link.prompts();
    for (;;) {
        const QString path = prompts.saveFileName(kRepriseCaption, QDir(link.ProgramDir).filePath(state.rememberedName),
                                                  kHexFileFilter);
        if (path.isEmpty() || !QFileInfo::exists(path)) {
            return path;
        }
        switch (prompts.askYesNoCancel(kFileExists)) {
            case Answer::Yes:
                return path;
            case Answer::No:
                continue;
            default:
                return {};
        }
    }
}

// A write-protected file stays as it is, although a rename could replace it.
bool openForWriting(QSaveFile& file) {
    const QFileInfo info(file.fileName());
    if (info.exists() && !info.isWritable()) {
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
    if (link.ReadLoggerMemory(word, quint16(start + kLengthWordOffset), 2)) {
        return std::nullopt;
    }
    // The field holds the offset of the image's last byte; 16-bit arithmetic, as the header has it.
    quint32 length = quint16((word[0] << 8 | word[1]) + 1);
    if (!isLongHeaderModel(model)) {
        return length;
    }
    quint8 size[2] = {};
    if (link.ReadLoggerMemory(size, start, 2)) {
        return std::nullopt;
    }
    if ((size[0] << 8 | size[1]) == kLongHeaderSize) {
        quint8 wide[4] = {};
        if (link.ReadLoggerMemory(wide, quint16(start + kLengthWordOffset), 4)) {
            return std::nullopt;
        }
        length = quint32(wide[0]) << 24 | quint32(wide[1]) << 16 | quint32(wide[2]) << 8 | wide[3];
    }
    return length;
}

// Identify, memory access and the copy of both stretches into file. Returns the message that ends a
// failed copy, empty when every record was written. progressStarted tells the caller to close it.
QString copyImage(LoggerLink& link, QIODevice& file, bool& progressStarted) {
    const std::optional<QByteArray> reply = readIdentifyReply(link);
    if (!reply) {
        return kErrorCommunicating;
    }
    const int model = modelNumberOf(*reply);
    const quint16 start = programStartForModelNumber(model);

    QThread::msleep(kPauseBeforeMemoryAccessMs);
    link.FlushPort();
    if (!link.SendByte(kMemoryAccessCommand) || link.WaitByte(kReplyTimeoutMs) != kMemoryAccessCommand) {
        return kErrorCommunicating;
    }
    const std::optional<quint32> length = readProgramLength(link, start, model);
    if (!length) {
        return kErrorCommunicating;
    }

    Progress& progress = link.prompts().progress();
    progress.start(kRepriseCaption, qint64(boundedProgramLength(start, *length)) + kUpperMemorySize, false);
    progressStarted = true;
    qint64 done = 0;
    for (const HexPiece& piece : exportPieces(start, *length)) {
        quint8 bytes[kHexRecordMaxBytes] = {};
        if (link.ReadLoggerMemory(bytes, piece.readAddress, piece.count)) {
            return kErrorCommunicating;
        }
        if (WriteHexRecord(file, piece.recordAddress, piece.count, bytes)) {
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

std::optional<QByteArray> readIdentifyReply(LoggerLink& link) {
    link.FlushPort();
    if (!link.SendByte(kIdentifyCommand) || link.WaitByte(kIdentifyReplyMs) != kIdentifyCommand) {
        return std::nullopt;
    }
    const qint16 count = link.WaitByte(kIdentifyReplyMs);
    if (count < 0) {
        return std::nullopt;
    }
    QByteArray reply;
    for (int i = 0; i < count; ++i) {
        // A byte that does not come means the reply is broken; guessing it would pick the wrong model
        // and with it the wrong program start.
        const qint16 byte = link.WaitByte(kIdentifyReplyMs);
        if (byte < 0) {
            return std::nullopt;
        }
        if (reply.size() < kIdentifyReplyLimit) {
            reply.append(char(byte));
        }
    }
    if (reply.size() < 2) {
        return std::nullopt;
    }
    return reply;
}

int modelNumberOf(const QByteArray& identifyReply) {
    return quint8(identifyReply.at(0)) * 256 + quint8(identifyReply.at(1));
}

EpromExportResult RepriseEPROM1Click(LoggerLink& link, EpromExportState& state) {
    std::optional<LinkClaim> claim = link.claim();
    if (!claim) {
        return EpromExportResult::Failed;
    }
    TerminalHold hold(link);
    if (!link.SendByte(kEpromExportCommand)) {
        link.report(kErrorCommunicating);
        return EpromExportResult::Failed;
    }
    const qint16 answer = link.WaitByte(kReplyTimeoutMs);
    if (link.ConfirmConnect && answer != kEpromExportCommand && answer != kEpromRefusal) {
        link.report(kNotResponding);
        return EpromExportResult::Failed;
    }
    if (answer != kEpromExportCommand) {
        return EpromExportResult::Refused;
    }
    // The image crosses the line as raw bytes, 0x11 and 0x13 among them.
    if (!link.CheckLinkSettings()) {
        return EpromExportResult::Failed;
    }
    const QString path = chooseHexFile(link, state);
    if (path.isEmpty()) {
        return EpromExportResult::Cancelled;
    }
    state.rememberedName = QFileInfo(path).fileName();

    QSaveFile file(path);
    if (!openForWriting(file)) {
        link.report(kCantOpen.arg(QDir::toNativeSeparators(path)));
        return EpromExportResult::FileError;
    }
    bool progressStarted = false;
    QString failure = copyImage(link, file, progressStarted);
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
        link.report(failure + kNothingWritten.arg(QDir::toNativeSeparators(path)));
        return EpromExportResult::Failed;
    }
    return EpromExportResult::Written;
}

bool BootEPROM1Click(LoggerLink& link) {
    // No exchange follows, so the terminal keeps the line; the claim only keeps the byte out of another
    // command's exchange.
    std::optional<LinkClaim> claim = link.claim();
    if (!claim) {
        return false;
    }
    if (!link.SendByte(kBootEpromCommand)) {
        link.report(kErrorCommunicating);
        return false;
    }
    if (TerminalGate* gate = link.terminalGate()) {
        gate->bringTerminalToFront();
    }
    return true;
}

}  // namespace orrery::link
