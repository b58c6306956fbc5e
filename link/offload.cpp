#include "offload.h"

#include <QDir>
#include <QFileInfo>

#include "destination.h"
#include "prompts.h"
#include "xmodemsession.h"

namespace orrery::link {

namespace {

constexpr quint8 kUploadReady = 0x55;  // "U"
// XMODEM's cancel: two in a row end a sender that waits for its receiver.
constexpr quint8 kXmodemCancel = 0x18;
// Gauge of a transfer whose size is not known: it wraps at this count.
constexpr qint64 kOpenEndGauge = 10000;
// The logger answers its command byte and the "U" within this time.
constexpr quint16 kEchoTimeoutMs = 500;

const OffloadProtocol kSerial{kSerialOffloadCommand, false, "Start address must be less than end address",
                              "Off-loading Datafile"};
const OffloadProtocol kDisk{kDiskOffloadCommand, true,
                            "Start file number must be less than or equal to end file number",
                            "Disk Off-load"};

std::optional<qint32> toValue(const QString& text) {
    bool ok = false;
    const qint32 value = text.trimmed().toInt(&ok);
    return ok ? std::optional<qint32>(value) : std::nullopt;
}

}  // namespace

const OffloadProtocol& offloadProtocol(OffloadKind kind) {
    return kind == OffloadKind::Serial ? kSerial : kDisk;
}

QByteArray rangeLine(qint32 start, qint32 end) {
    return QByteArray::number(quint32(start), 16) + ',' + QByteArray::number(quint32(end), 16) + '\r';
}

QString parseOffloadRange(const QString& startText, const QString& endText, OffloadRequest& request) {
    const std::optional<qint32> start = toValue(startText);
    if (!start) {
        return QStringLiteral("'%1' is not a valid integer value").arg(startText);
    }
    const std::optional<qint32> end = toValue(endText);
    if (!end) {
        return QStringLiteral("'%1' is not a valid integer value").arg(endText);
    }
    // A negative value would go on the wire as eight hex digits the logger never meant.
    if (*start < 0 || *end < 0) {
        return QStringLiteral("Start and end values must not be negative");
    }
    if (*end != 0 && *end < *start) {
        return QString::fromLatin1(offloadProtocol(request.kind).rangeError);
    }
    request.start = *start;
    request.end = *end;
    return {};
}

OffloadCommand::OffloadCommand(LoggerLink& link, xmodem::XmodemSession& session, QObject* parent)
    : QObject(parent), m_link(link), m_session(session) {}

bool OffloadCommand::refuse(LinkStatus status, const QString& message) {
    m_result = LinkResult::failure(status, message);
    m_link.report(message);
    return false;
}

// A reply the logger sends when it is listening. With "Confirm connection" on it must come. With it off
// the command goes on without it, but a reply that does come is still taken off the line: left there,
// the echo 0x04 would reach the XMODEM receiver first and end the transfer as its EOT.
bool OffloadCommand::takeReply(quint8 expected) {
    const qint16 got = m_link.WaitAnswer(kEchoTimeoutMs);
    return got == expected || !m_link.ConfirmConnect;
}

// The command byte, its echo, the range line and (disk) the "U"; false with the message shown when the
// logger does not answer.
bool OffloadCommand::handshake(const OffloadProtocol& protocol, const OffloadRequest& request) {
    // A byte already waiting from the logger is taken as its echo: the input is not flushed first.
    if (!m_link.SendByte(protocol.command)) {
        return refuse(LinkStatus::Failed, kErrorCommunicating);
    }
    if (!takeReply(protocol.command)) {
        return refuse(LinkStatus::NotResponding, kNotResponding);
    }
    if (!m_link.SendBytes(rangeLine(request.start, request.end))) {
        return refuse(LinkStatus::Failed, kErrorCommunicating);
    }
    if (protocol.waitsForU && !takeReply(kUploadReady)) {
        // The logger may have taken the range line and now waits to send; a cancel stands it down, so
        // that it answers the next command instead of waiting out its own XMODEM time-out.
        (void)(m_link.SendByte(kXmodemCancel) && m_link.SendByte(kXmodemCancel) && m_link.DrainOutput());
        return refuse(LinkStatus::NotResponding, kNotResponding);
    }
    if (!m_link.ConfirmConnect) {
        // Whatever else came unchecked (a late echo, a stray byte) is not data: the logger's XMODEM
        // sender waits for the receiver's first NAK, so nothing of the file can be waiting yet.
        m_link.port().flushInBuffer();
    }
    return true;
}

bool OffloadCommand::start(const OffloadRequest& request) {
    const OffloadProtocol& protocol = offloadProtocol(request.kind);
    m_destination = QFileInfo(request.destination).absoluteFilePath();
    m_link.OffloadDir = QFileInfo(m_destination).absolutePath();
    if (const QString problem = destinationProblem(m_destination, request.replaceExisting);
        !problem.isEmpty()) {
        return refuse(LinkStatus::Refused, problem);
    }
    std::optional<LinkClaim> claim = m_link.claim();
    if (!claim) {
        m_result = LinkResult::failure(LinkStatus::Refused, m_link.refusal());
        return false;
    }
    m_link.SuspendTerminal();
    if (!handshake(protocol, request)) {
        m_link.ResumeTerminal();
        return false;
    }
    m_claim = std::move(claim);
    const bool openEnd = request.kind == OffloadKind::Disk || request.end == 0;
    connect(&m_session, &xmodem::XmodemSession::finished, this, &OffloadCommand::onTransferEnd,
            Qt::SingleShotConnection);
    m_session.startReceive(m_destination, QString::fromLatin1(protocol.progressCaption),
                           openEnd ? kOpenEndGauge : request.end, openEnd, [this] {
                               // Input only: the output still holds the acknowledgement of the end.
                               m_link.port().flushInBuffer();
                               m_link.ResumeTerminal();
                               m_claim.reset();
                           });
    return true;
}

void OffloadCommand::onTransferEnd(int code) {
    const xmodem::TApdProtocol& protocol = m_session.protocol();
    if (code == int(xmodem::Result::Ok)) {
        const qint64 size = QFileInfo(m_destination).size();
        m_result = {LinkStatus::Done, size, m_destination,
                    QStringLiteral("Offloaded %1 bytes into %2")
                        .arg(groupedCount(size), QDir::toNativeSeparators(m_destination))};
    } else {
        m_result.status =
            code == int(xmodem::Result::LocalCancel) ? LinkStatus::Cancelled : LinkStatus::Failed;
        m_result.bytes = protocol.bytesTransferred();
        m_result.path = protocol.savedPath();
        m_result.message = xmodem::XmodemSession::failureMessage(code, true, m_result.bytes, m_result.path);
    }
    emit finished(m_result);
}

}  // namespace orrery::link
