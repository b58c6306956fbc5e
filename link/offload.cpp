#include "offload.h"

#include <QDir>
#include <QFileInfo>

#include "prompts.h"
#include "xmodemsession.h"

namespace orrery::link {

namespace {

constexpr quint8 kUploadReady = 0x55;  // "U"
// Gauge of a transfer whose size is not known: it wraps at this count.
constexpr qint64 kOpenEndGauge = 10000;
// The logger answers its command byte and the "U" within this time.
constexpr quint16 kEchoTimeoutMs = 500;

const OffloadTraits kSerial{"Off-load Datafile",
                            "Start address -",
                            "End address - ",
                            "Start address must be less than end address",
                            "Save datafile",
                            "offload.dat",
                            "Off-loading Datafile",
                            kSerialOffloadCommand,
                            false};
const OffloadTraits kDisk{"Disk Off-load",
                          "Start file number",
                          "End file number",
                          "Start file number must be less than or equal to end file number",
                          "Receive disk files",
                          "doffload.dat",
                          "Disk Off-load",
                          kDiskOffloadCommand,
                          true};

}  // namespace

const OffloadTraits& offloadTraits(OffloadKind kind) {
    return kind == OffloadKind::Serial ? kSerial : kDisk;
}

QByteArray rangeLine(qint32 start, qint32 end) {
    return QByteArray::number(quint32(start), 16) + ',' + QByteArray::number(quint32(end), 16) + '\r';
}

OffloadCommand::OffloadCommand(LoggerLink& link, xmodem::XmodemSession& session, QObject* parent)
    : QObject(parent), m_link(link), m_session(session) {}

void OffloadCommand::run(OffloadKind kind, const AskOffloadRange& askRange) {
    QString startText = QStringLiteral("0");
    QString endText = QStringLiteral("0");
    if (!askRange(kind, startText, endText)) {
        return;
    }
    start(kind, startText, endText);
}

std::optional<qint32> OffloadCommand::toValue(const QString& text) {
    bool ok = false;
    const qint32 value = text.trimmed().toInt(&ok);
    if (!ok) {
        m_link.prompts().showMessage(QStringLiteral("'%1' is not a valid integer value").arg(text),
                                     PromptIcon::Error);
        return std::nullopt;
    }
    return value;
}

QString OffloadCommand::chooseDestination(const OffloadTraits& traits) {
    const QString suggested = QDir(m_link.OffloadDir).filePath(QString::fromLatin1(traits.defaultName));
    QString path = m_link.prompts().saveFileName(QString::fromLatin1(traits.saveTitle), suggested, kDataFileFilter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty() && !QFileInfo::exists(path)) {
        path += QStringLiteral(".dat");
    }
    return path;
}

// An earlier recording under the same name is replaced only when the user says so.
bool OffloadCommand::mayReplace(const QString& path) {
    if (!QFileInfo::exists(path)) {
        return true;
    }
    return m_link.prompts().askYesNo(
               QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QDir::toNativeSeparators(path)),
               QStringLiteral("Confirm")) == Answer::Yes;
}

// The command byte, its echo, the range line and (disk) the "U"; false with the message shown when the
// logger does not answer.
bool OffloadCommand::handshake(const OffloadTraits& traits, qint32 start, qint32 end) {
    if (!m_link.SendByte(traits.command)) {
        m_link.report(kErrorCommunicating);
        return false;
    }
    // A byte already waiting from the logger is taken as its echo: the input is not flushed first.
    if (m_link.ConfirmConnect && m_link.WaitByte(kEchoTimeoutMs) != traits.command) {
        m_link.report(kNotResponding);
        return false;
    }
    if (!m_link.SendBytes(rangeLine(start, end))) {
        m_link.report(kErrorCommunicating);
        return false;
    }
    if (traits.waitsForU && m_link.ConfirmConnect && m_link.WaitByte(kEchoTimeoutMs) != kUploadReady) {
        m_link.report(kNotResponding);
        return false;
    }
    return true;
}

bool OffloadCommand::start(OffloadKind kind, const QString& startText, const QString& endText,
                           QString destination) {
    const OffloadTraits& traits = offloadTraits(kind);
    const std::optional<qint32> start = toValue(startText);
    if (!start) {
        return false;
    }
    const std::optional<qint32> end = toValue(endText);
    if (!end) {
        return false;
    }
    // A negative value would go on the wire as eight hex digits the logger never meant.
    if (*start < 0 || *end < 0) {
        m_link.prompts().showMessage(QStringLiteral("Start and end values must not be negative"),
                                     PromptIcon::Error);
        return false;
    }
    if (*end != 0 && *end < *start) {
        m_link.prompts().showMessage(QString::fromLatin1(traits.rangeError), PromptIcon::Error);
        return false;
    }
    if (destination.isEmpty()) {
        destination = chooseDestination(traits);
        if (destination.isEmpty()) {
            m_link.ResumeTerminal();
            return false;
        }
    }
    m_link.OffloadDir = QFileInfo(destination).absolutePath();
    const QFileInfo target(destination);
    if (target.exists() && !target.isWritable()) {
        m_link.prompts().showMessage(QStringLiteral("File is write protected"));
        return false;
    }
    if (!mayReplace(destination)) {
        return false;
    }
    std::optional<LinkClaim> claim = m_link.claim();
    if (!claim) {
        return false;
    }
    m_link.SuspendTerminal();
    if (!handshake(traits, *start, *end)) {
        m_link.ResumeTerminal();
        return false;
    }
    m_claim = std::move(claim);
    const bool openEnd = kind == OffloadKind::Disk || *end == 0;
    m_session.startReceive(destination, QString::fromLatin1(traits.progressCaption),
                           openEnd ? kOpenEndGauge : *end, openEnd, [this] {
                               // Input only: the output still holds the acknowledgement of the end.
                               m_link.port().flushInBuffer();
                               m_link.ResumeTerminal();
                               m_claim.reset();
                           });
    connect(&m_session, &xmodem::XmodemSession::finished, this, &OffloadCommand::finished,
            Qt::SingleShotConnection);
    return true;
}

}  // namespace orrery::link
