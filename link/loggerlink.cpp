#include "loggerlink.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <algorithm>

#include "prompts.h"

namespace orrery::link {

namespace {

// Every step of a memory read is answered within this time.
constexpr quint16 kMemoryReplyMs = 2000;

}  // namespace

// --- the claim ---------------------------------------------------------------------------------------

LinkClaim& LinkClaim::operator=(LinkClaim&& other) noexcept {
    if (this != &other) {
        release();
        m_link = other.m_link;
        other.m_link = nullptr;
    }
    return *this;
}

void LinkClaim::release() {
    if (m_link) {
        LoggerLink* link = m_link;
        m_link = nullptr;
        link->releaseClaim();
    }
}

LoggerLink::LoggerLink(serial::TApdComPort& port, Prompts& prompts, QObject* parent)
    : QObject(parent), m_port(port), m_prompts(&prompts) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LoggerLink::Timer1Timer);
}

LoggerLink::~LoggerLink() = default;

QString LoggerLink::refusal() const {
    if (m_busy) {
        return kBusyMessage;
    }
    if (m_port.isOpen()) {
        return {};
    }
    if (m_port.comNumber() == 0) {
        return QStringLiteral("No active Com Port");
    }
    const QString device = m_port.devicePath();
    QString text = device.isEmpty()
                       ? QStringLiteral("COM%1 is not open").arg(m_port.comNumber())
                       : QStringLiteral("COM%1 (%2) is not open").arg(m_port.comNumber()).arg(device);
    if (!m_port.lastError().isEmpty()) {
        text += QStringLiteral("\n") + m_port.lastError();
    }
    return text + QStringLiteral("\nSelect CommPort | Port setup... to open it.");
}

std::optional<LinkClaim> LoggerLink::tryClaim() {
    if (!refusal().isEmpty()) {
        return std::nullopt;
    }
    m_busy = true;
    m_abandoned = false;
    m_lineFailed = false;
    emit busyChanged(true);
    return LinkClaim(this);
}

std::optional<LinkClaim> LoggerLink::claim() {
    const QString why = refusal();
    if (!why.isEmpty()) {
        m_prompts->showMessage(why, PromptIcon::Warning);
        return std::nullopt;
    }
    return tryClaim();
}

void LoggerLink::releaseClaim() {
    m_busy = false;
    emit busyChanged(false);
    emit idle();
}

void LoggerLink::abandon() {
    m_abandoned = true;
    m_timer.stop();
}

void LoggerLink::report(const QString& text) {
    if (!m_abandoned) {
        m_prompts->showMessage(text, PromptIcon::Warning);
    }
}

// --- primitives --------------------------------------------------------------------------------------

void LoggerLink::FlushPort() {
    m_port.flushInBuffer();
    m_port.flushOutBuffer();
}

qint16 LoggerLink::PollByte() {
    return qint16(m_port.getChar());
}

int LoggerLink::stallTimeoutMs() const {
    if (m_stallOverrideMs > 0) {
        return m_stallOverrideMs;
    }
    return m_port.defaultStallMs();
}

// Waits until at most `pending` bytes are still to go out. Gives up when the output has not moved for the
// stall time or the port went away.
bool LoggerLink::waitForOutputAtMost(int pending) {
    if (m_lineFailed || !m_port.isOpen() ||
        m_port.drainOutput(pending, stallTimeoutMs()) != serial::DrainEnd::Drained) {
        m_lineFailed = true;
        return false;
    }
    return true;
}

bool LoggerLink::SendByte(int byte) {
    if (!waitForOutputAtMost(serial::TApdComPort::kOutBufferSize - kMinOutputRoom)) {
        return false;
    }
    m_port.putChar(quint8(byte));
    return true;
}

bool LoggerLink::SendBytes(const quint8* bytes, int count) {
    for (int i = 0; i < count; ++i) {
        if (!SendByte(bytes[i])) {
            return false;
        }
    }
    return true;
}

bool LoggerLink::SendBytes(const QByteArray& bytes) {
    return SendBytes(reinterpret_cast<const quint8*>(bytes.constData()), int(bytes.size()));
}

quint16 LoggerLink::OutputPending() {
    return quint16(m_port.outBuffUsed());
}

bool LoggerLink::DrainOutput() {
    return waitForOutputAtMost(0);
}

void LoggerLink::Timer1Timer() {
    m_timedOut = true;
    m_timer.stop();
}

qint16 LoggerLink::WaitByte(quint16 timeoutMs) {
    m_timer.stop();
    m_timedOut = false;
    m_timer.setInterval(timeoutMs);
    m_timer.start();
    int byte = -1;
    while (!m_abandoned) {
        byte = PollByte();
        if (byte >= 0) {
            break;
        }
        // Sleeps until something happens (a byte arrives, the timer fires, the user acts) instead of
        // spinning; every pending event is served, so windows paint and Cancel can be pressed.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (m_timedOut) {
            break;
        }
    }
    m_timer.stop();
    if (m_abandoned) {
        return -1;
    }
    // A byte that arrived together with the time-out still counts as the answer.
    if (byte < 0) {
        byte = PollByte();
    }
    return qint16(byte);
}

qint16 LoggerLink::WaitAnswer(quint16 timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const qint16 byte = WaitByte(quint16(std::max<qint64>(deadline.remainingTime(), 0)));
        if (byte != kCarriageReturn && byte != kLineFeed && byte != kPromptMark) {
            return byte;
        }
        if (deadline.hasExpired()) {
            return -1;
        }
    }
}

int LoggerLink::SendRunCommand() {
    (void)SendByte(kRunCommand);  // a bare command byte: nothing awaits it, so a stall has no one to tell
    return 0;
}

bool LoggerLink::CheckLinkSettings() {
    if (m_port.dataBits() != 8) {
        m_prompts->showMessage(kDataBitsMessage, PromptIcon::Warning);
        return false;
    }
    if (m_port.swFlowOptions() != serial::SwFlow::None) {
        m_prompts->showMessage(kFlowControlMessage, PromptIcon::Warning);
        return false;
    }
    return true;
}

void LoggerLink::SuspendTerminal() {
    m_terminalSuspended = true;
    if (m_gate) {
        m_gate->suspendTerminal();
    }
}

void LoggerLink::ResumeTerminal() {
    m_terminalSuspended = false;
    if (m_gate) {
        m_gate->resumeTerminal();
    }
}

// --- memory reads ------------------------------------------------------------------------------------

MemoryRead LoggerLink::ReadLoggerMemory(quint8* buffer, quint16 address, int count) {
    if (count < 1 || count > kMaxReadCount) {
        return MemoryRead::Failed;
    }
    // Only the echo may be preceded by the logger's unasked prompt; from the address on, every byte is
    // part of the reply, and a data byte or the checksum may well be CR, LF or "#".
    if (!SendByte(kMemoryAccessCommand) || WaitAnswer(kMemoryReplyMs) != kMemoryAccessCommand) {
        return MemoryRead::Failed;
    }
    // The address in lowercase hexadecimal without leading zeros: 0xFFE8 goes out as "ffe8" CR.
    const QByteArray digits = QByteArray::number(address, 16) + char(kCarriageReturn);
    if (!SendBytes(digits) || WaitByte(kMemoryReplyMs) != kMemoryAck) {
        return MemoryRead::Failed;
    }
    if (!SendByte(count) || WaitByte(kMemoryReplyMs) != kMemoryAck) {
        return MemoryRead::Failed;
    }
    quint8 sum = quint8((address >> 8) + (address & 0xFF) + count);
    for (int i = 0; i < count; ++i) {
        const qint16 byte = WaitByte(kMemoryReplyMs);
        if (byte < 0) {
            return MemoryRead::Failed;
        }
        buffer[i] = quint8(byte);
        sum = quint8(sum + byte);
    }
    return WaitByte(kMemoryReplyMs) == sum ? MemoryRead::Done : MemoryRead::Failed;
}

MemoryRead LoggerLink::ReadLoggerLong(quint16 address, quint8* destination) {
    if (ReadLoggerMemory(destination, address, 4) == MemoryRead::Failed) {
        return MemoryRead::Failed;
    }
    std::swap(destination[0], destination[3]);
    std::swap(destination[1], destination[2]);
    return MemoryRead::Done;
}

MemoryRead LoggerLink::ReadLoggerString(quint16 address, quint8& length, quint8* characters) {
    quint8 count = 0;
    if (ReadLoggerMemory(&count, address, 1) == MemoryRead::Failed) {
        return MemoryRead::Failed;
    }
    if (count != 0 && ReadLoggerMemory(characters, quint16(address + 1), count) == MemoryRead::Failed) {
        return MemoryRead::Failed;
    }
    length = count;
    return MemoryRead::Done;
}

}  // namespace orrery::link
