#include "apdcomport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "qtserialbackend.h"

namespace orrery::serial {

namespace {

constexpr int kKernelBufferBytes = 4096;
constexpr int kMinStallMs = 5000;
constexpr int kBitsPerCharacter = 10;
// How often a drain looks at the output: often enough that a pause after one byte is not stretched,
// rarely enough that a long drain costs nothing.
constexpr int kDrainLookMinMs = 1;
constexpr int kDrainLookMaxMs = 20;

// Lets the event loop run for about ms; returns early for nothing, so callers look again afterwards.
void serveEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

TApdComPort::TApdComPort(QObject* parent) : QObject(parent) {}

TApdComPort::~TApdComPort() {
    close();
    m_retired.reset();
}

std::unique_ptr<SerialBackend> TApdComPort::makeBackend() const {
    if (m_factory) {
        return m_factory();
    }
    return std::make_unique<QtSerialBackend>();
}

void TApdComPort::setComNumber(int number) {
    m_comNumber = (number >= 0 && number <= kMaxComNumber) ? number : 0;
}

void TApdComPort::setBaud(int baud) {
    m_settings.baud = baud;
    applyToOpenPort();
}

void TApdComPort::setDataBits(int bits) {
    m_settings.dataBits = bits;
    applyToOpenPort();
}

void TApdComPort::setStopBits(int bits) {
    m_settings.stopBits = bits;
    applyToOpenPort();
}

void TApdComPort::setParity(Parity parity) {
    m_settings.parity = parity;
    applyToOpenPort();
}

void TApdComPort::setSwFlowOptions(SwFlow flow) {
    m_settings.swFlow = flow;
    applyToOpenPort();
}

void TApdComPort::applyToOpenPort() {
    if (!isOpen()) {
        return;
    }
    QString reason;
    if (!m_backend->apply(m_settings, reason)) {
        m_lastError = describe(reason);
    }
}

QString TApdComPort::describe(const QString& reason) const {
    const QString device = devicePath();
    if (device.isEmpty()) {
        return QStringLiteral("COM%1: %2").arg(m_comNumber).arg(reason);
    }
    return QStringLiteral("COM%1 (%2): %3").arg(m_comNumber).arg(device, reason);
}

bool TApdComPort::open() {
    close();
    m_input.clear();
    m_inputHead = 0;
    m_lastError.clear();
    if (m_comNumber == 0) {
        m_lastError = QStringLiteral("No port selected");
        return false;
    }
    const QString device = devicePath();
    if (device.isEmpty()) {
        m_lastError = describe(QString::fromLatin1(kNoDeviceMapped));
        return false;
    }
    auto backend = makeBackend();
    QString reason;
    if (!backend->open(device, m_settings, reason)) {
        m_lastError = describe(reason);
        return false;
    }
    m_backend = std::move(backend);
    connect(m_backend.get(), &SerialBackend::readyRead, this, [this] {
        collectInput();
        emit dataAvailable();
    });
    connect(m_backend.get(), &SerialBackend::lost, this, &TApdComPort::onBackendLost);
    emit openChanged(true);
    return true;
}

void TApdComPort::close() {
    if (!m_backend) {
        return;
    }
    const bool wasOpen = m_backend->isOpen();
    m_backend->disconnect(this);
    m_backend->close();
    // The backend may be closing from inside one of its own signals (device lost), so it is kept until
    // the next close or the port's destruction instead of being deleted under its own feet.
    m_retired = std::move(m_backend);
    m_break = false;
    if (wasOpen) {
        emit openChanged(false);
    }
}

bool TApdComPort::isOpen() const {
    return m_backend && m_backend->isOpen();
}

void TApdComPort::onBackendLost(const QString& reason) {
    m_lastError = describe(reason);
    close();
    // The backend reported the loss after closing itself, so close() above may not have seen it open.
    emit openChanged(false);
    emit portLost(m_lastError);
}

bool TApdComPort::probe(int number) {
    const QString device = m_map.device(number);
    if (device.isEmpty()) {
        return false;
    }
    if (isOpen() && number == m_comNumber) {
        return true;  // it is ours, so it is available to us
    }
    auto backend = makeBackend();
    QString reason;
    const bool ok = backend->open(device, m_settings, reason);
    backend->close();
    return ok;
}

void TApdComPort::collectInput() {
    if (!m_backend) {
        return;
    }
    QByteArray fresh = m_backend->readAll();
    if (fresh.isEmpty()) {
        return;
    }
    // Reclaim the consumed head before growing, so a long session does not keep every byte ever read.
    if (m_inputHead > 0 && m_inputHead >= m_input.size() / 2) {
        m_input.remove(0, m_inputHead);
        m_inputHead = 0;
    }
    m_input += fresh;
    const qsizetype waiting = m_input.size() - m_inputHead;
    if (waiting > kInBufferLimit) {
        const qsizetype excess = waiting - kInBufferLimit;
        m_inputHead += excess;
        m_overruns += excess;
    }
}

void TApdComPort::putChar(quint8 byte) {
    putBlock(QByteArray(1, char(byte)));
}

void TApdComPort::putBlock(const QByteArray& bytes) {
    if (isOpen() && !bytes.isEmpty()) {
        m_backend->write(bytes);
        if (isOpen()) {
            m_backend->flushOutput();
        }
    }
}

int TApdComPort::defaultStallMs() const {
    const qint64 drainMs = qint64(kKernelBufferBytes) * kBitsPerCharacter * 1000 / std::max(baud(), 1);
    return int(std::max<qint64>(kMinStallMs, 2000 + drainMs));
}

DrainEnd TApdComPort::drainOutput(int atMost, int stallMs, const std::function<bool()>& cancelled) {
    // Counted without outBuffUsed()'s cap, so that a backlog larger than the buffer (a long write at a
    // low rate) is seen to shrink and is not taken for a stall.
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    qint64 used = outputPending();
    for (;;) {
        if (!isOpen()) {
            return DrainEnd::Closed;
        }
        if (used <= atMost) {
            return DrainEnd::Drained;
        }
        if (cancelled && cancelled()) {
            return DrainEnd::Cancelled;
        }
        if (sinceProgress.elapsed() >= stallMs) {
            return DrainEnd::Stalled;
        }
        // Look again when the excess should have left at the line's rate.
        const qint64 excessMs = qint64(used - atMost) * kBitsPerCharacter * 1000 / std::max(baud(), 1);
        serveEventsFor(int(std::clamp<qint64>(excessMs, kDrainLookMinMs, kDrainLookMaxMs)));
        const qint64 now = outputPending();
        if (now < used) {
            sinceProgress.restart();
        }
        used = now;
    }
}

bool TApdComPort::charReady() {
    if (m_inputHead < m_input.size()) {
        return true;
    }
    if (m_backend) {
        m_backend->pump();  // may find the device gone and close the port
        collectInput();
    }
    return m_inputHead < m_input.size();
}

int TApdComPort::getChar() {
    if (!charReady()) {
        return -1;
    }
    const auto byte = quint8(m_input.at(m_inputHead++));
    if (m_inputHead == m_input.size()) {
        m_input.clear();
        m_inputHead = 0;
    }
    return byte;
}

QByteArray TApdComPort::readAvailable() {
    charReady();
    QByteArray out = m_input.mid(m_inputHead);
    m_input.clear();
    m_inputHead = 0;
    return out;
}

qint64 TApdComPort::outputPending() {
    if (!isOpen()) {
        return 0;
    }
    m_backend->pump();
    collectInput();
    if (!isOpen()) {
        return 0;
    }
    return m_backend->bytesToWrite();
}

int TApdComPort::outBuffUsed() {
    return int(std::min<qint64>(outputPending(), kOutBufferSize));
}

int TApdComPort::outBuffFree() {
    return kOutBufferSize - outBuffUsed();
}

void TApdComPort::flushInBuffer() {
    if (m_backend) {
        m_backend->clearInput();
    }
    m_input.clear();
    m_inputHead = 0;
}

void TApdComPort::flushOutBuffer() {
    if (m_backend) {
        m_backend->clearOutput();
    }
}

bool TApdComPort::setBreak(bool on) {
    if (!isOpen()) {
        m_break = false;
        return false;
    }
    if (!m_backend->setBreak(on)) {
        return false;
    }
    m_break = on;
    return true;
}

}  // namespace orrery::serial
