#include "apdprotocol.h"

#include <QFileInfo>
#include <cstdio>

#include "apdcomport.h"

namespace orrery::xmodem {

// The state machines' wire: bytes go straight into the port's output buffer, the timer is a Qt
// single-shot timer whose expiry comes back through the protocol object.
class TApdProtocol::PortWire : public Wire {
public:
    PortWire(serial::TApdComPort* port, std::function<void()> onTimeout) : m_port(port) {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, std::move(onTimeout));
    }
    void send(std::string_view bytes) override {
        m_port->putBlock(QByteArray(bytes.data(), qsizetype(bytes.size())));
    }
    void startTimer(int ms) override { m_timer.start(ms); }
    void stopTimer() override { m_timer.stop(); }

private:
    serial::TApdComPort* m_port;
    QTimer m_timer;
};

namespace {

int ticksToMs(int ticks) {
    return int(ticks * 1000.0 / TApdProtocol::kTicksPerSecond + 0.5);
}

// The longest wait for the last bytes of a transfer to leave (a line held off by flow control).
constexpr int kDrainDeadlineMs = 1000;

// The last bytes of a transfer (the acknowledgement of the end, or the cancel sequence) are only queued
// when it finishes. Whoever gets the finish event may discard the output buffer or close the port, so
// they go out first; otherwise the other side keeps waiting for them and misses the next command.
void drainOutput(serial::TApdComPort& port) {
    port.drainOutput(0, kDrainDeadlineMs);
}

}  // namespace

TApdProtocol::TApdProtocol(serial::TApdComPort* port, QObject* parent) : QObject(parent), m_port(port) {
    setHandshakeWait(1092);
    setStatusInterval(10);
    connect(&m_statusTimer, &QTimer::timeout, this, [this] { emit protocolStatus(bytesTransferred()); });
    connect(m_port, &serial::TApdComPort::dataAvailable, this, &TApdProtocol::onData);
    connect(m_port, &serial::TApdComPort::openChanged, this, &TApdProtocol::onPortClosed);
}

TApdProtocol::~TApdProtocol() = default;

void TApdProtocol::setHandshakeWait(int ticks) {
    m_timing.handshakeWaitMs = ticksToMs(ticks);
}

void TApdProtocol::setStatusInterval(int ticks) {
    m_statusTimer.setInterval(std::max(1, ticksToMs(ticks)));
}

qint64 TApdProtocol::bytesTransferred() const {
    if (m_receiver) {
        return qint64(m_receiver->bytesReceived());
    }
    if (m_sender) {
        return qint64(m_sender->bytesSent());
    }
    return m_lastBytes;
}

bool TApdProtocol::running() const {
    return (m_receiver && !m_receiver->finished()) || (m_sender && !m_sender->finished());
}

void TApdProtocol::startReceive() {
    if (inProgress()) {
        return;
    }
    m_savedPath.clear();
    m_lastBytes = 0;
    m_writeFailed = false;
    m_wire = std::make_unique<PortWire>(m_port, [this] {
        if (m_receiver) {
            m_receiver->onTimeout();
        }
        afterEvent();
    });
    m_receiver = std::make_unique<Receiver>(*m_wire, m_timing);
    if (m_fileName.isEmpty() || !m_port->isOpen() || !openFreePartial()) {
        m_receiver->abort(m_port->isOpen() ? Result::FileError : Result::PortLost);
        finishLater(m_receiver->result());
        return;
    }
    m_statusTimer.start();
    m_receiver->start();
    // Bytes that came before the start belong to this transfer (a sender that began early).
    onData();
}

// Opens the first of "<file>.partial", "<file>.partial.1", ... that does not exist yet. NewOnly makes
// the test and the creation one step, so an existing file is never truncated.
bool TApdProtocol::openFreePartial() {
    constexpr int kMaxAttempts = 1000;
    const QString base = partialPath(m_fileName);
    for (int n = 0; n < kMaxAttempts; ++n) {
        m_file.setFileName(n == 0 ? base : base + QLatin1Char('.') + QString::number(n));
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return true;
        }
        if (!m_file.exists()) {
            return false;  // not a name clash: the folder cannot be written
        }
    }
    return false;
}

// After a receive: a complete one goes under the chosen name, a failed one that brought data stays
// under its ".partial" name, and the empty file this attempt created is removed (only that one).
void TApdProtocol::keepOrDiscardReceived(Result& result) {
    const bool flushed = m_file.flush();
    m_file.close();
    const bool closed = m_file.error() == QFileDevice::NoError;
    const QString partial = m_file.fileName();
    if (result == Result::Ok && m_lastBytes == 0) {
        result = Result::NothingReceived;
    }
    if (result == Result::Ok && !(flushed && closed)) {
        result = Result::FileError;
    }
    if (result == Result::Ok) {
        // rename() replaces an existing file in one step, so the chosen name never holds a mix.
        if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(m_fileName).constData()) ==
            0) {
            m_savedPath = m_fileName;
            return;
        }
        result = Result::FileError;
    }
    if (m_lastBytes > 0 && QFileInfo::exists(partial)) {
        m_savedPath = partial;
    } else if (!partial.isEmpty()) {
        QFile::remove(partial);
    }
}

void TApdProtocol::startTransmit() {
    if (inProgress()) {
        return;
    }
    m_savedPath.clear();
    m_lastBytes = 0;
    m_wire = std::make_unique<PortWire>(m_port, [this] {
        if (m_sender) {
            m_sender->onTimeout();
        }
        afterEvent();
    });
    QFile source(m_fileName);
    const bool readable = source.open(QIODevice::ReadOnly);
    const QByteArray content = readable ? source.readAll() : QByteArray();
    const bool complete = readable && content.size() == source.size();
    m_sender = std::make_unique<Sender>(
        *m_wire, std::vector<std::uint8_t>(content.begin(), content.end()), m_timing);
    if (!complete || !m_port->isOpen()) {
        m_sender->abort(m_port->isOpen() ? Result::FileError : Result::PortLost);
        finishLater(m_sender->result());
        return;
    }
    m_statusTimer.start();
    m_sender->start();
    onData();
}

void TApdProtocol::cancelProtocol() {
    if (m_receiver) {
        m_receiver->cancel();
    }
    if (m_sender) {
        m_sender->cancel();
    }
    afterEvent();
}

void TApdProtocol::onData() {
    if (!running()) {
        return;
    }
    const QByteArray bytes = m_port->readAvailable();
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    if (m_receiver) {
        m_receiver->onBytes(data, std::size_t(bytes.size()));
    } else if (m_sender) {
        m_sender->onBytes(data, std::size_t(bytes.size()));
    }
    afterEvent();
}

void TApdProtocol::onPortClosed(bool open) {
    if (!open && running()) {
        if (m_receiver) {
            m_receiver->abort(Result::PortLost);
        }
        if (m_sender) {
            m_sender->abort(Result::PortLost);
        }
        afterEvent();
    }
}

void TApdProtocol::writeReceived() {
    const std::vector<std::uint8_t> data = m_receiver->takeData();
    if (data.empty() || m_writeFailed) {
        return;
    }
    const auto written = m_file.write(reinterpret_cast<const char*>(data.data()), qint64(data.size()));
    if (written != qint64(data.size())) {
        m_writeFailed = true;
        m_receiver->cancel();
    }
}

void TApdProtocol::afterEvent() {
    if (m_receiver) {
        writeReceived();
        if (m_receiver->finished()) {
            finish(m_writeFailed ? Result::FileError : m_receiver->result());
        }
    } else if (m_sender && m_sender->finished()) {
        finish(m_sender->result());
    }
}

void TApdProtocol::finish(Result result) {
    // The drain below serves the event loop, and a Cancel, a closing port or a queued finish arriving
    // there would otherwise finish the transfer a second time: keep the file twice, report twice, and
    // retire the machines from under the outer call.
    if (!m_wire || m_finishing) {
        return;
    }
    m_finishing = true;
    m_statusTimer.stop();
    m_wire->stopTimer();
    m_lastBytes = bytesTransferred();
    if (m_receiver && m_file.isOpen()) {
        keepOrDiscardReceived(result);
    }
    // The drain serves the event loop, so it runs while the machines are still in place (and finished,
    // so nothing reaches them).
    drainOutput(*m_port);
    // Deleting the machines here would pull them from under a caller still on the stack; the event loop
    // does it once this event is done.
    m_retiredWire = std::move(m_wire);
    m_retiredReceiver = std::move(m_receiver);
    m_retiredSender = std::move(m_sender);
    QTimer::singleShot(0, this, [this] {
        if (!m_wire) {
            m_retiredReceiver.reset();
            m_retiredSender.reset();
            m_retiredWire.reset();
        }
    });
    m_finishing = false;
    emit protocolFinish(int(result));
}

void TApdProtocol::finishLater(Result result) {
    QTimer::singleShot(0, this, [this, result] { finish(result); });
}

}  // namespace orrery::xmodem
