#include "qtserialbackend.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace orrery::serial {

namespace {

QSerialPort::DataBits toQt(int dataBits) {
    switch (dataBits) {
        case 5:
            return QSerialPort::Data5;
        case 6:
            return QSerialPort::Data6;
        case 7:
            return QSerialPort::Data7;
        default:
            return QSerialPort::Data8;
    }
}

QSerialPort::Parity toQt(Parity parity) {
    switch (parity) {
        case Parity::Odd:
            return QSerialPort::OddParity;
        case Parity::Even:
            return QSerialPort::EvenParity;
        default:
            return QSerialPort::NoParity;
    }
}

// Start bit, data bits, parity bit, stop bits.
qint64 nsPerCharacter(const LineSettings& settings) {
    const int bits = 1 + settings.dataBits + (settings.parity == Parity::None ? 0 : 1) + settings.stopBits;
    return qint64(bits) * 1'000'000'000 / std::max(settings.baud, 1);
}

}  // namespace

QString accessProblem(const QString& device) {
    const QByteArray path = QFile::encodeName(device);
    if (::access(path.constData(), F_OK) != 0) {
        return QString::fromLatin1(kNoSuchDevice);
    }
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        return QString::fromLatin1(kPermissionDenied);
    }
    return {};
}

QtSerialBackend::QtSerialBackend(QObject* parent) : SerialBackend(parent) {
    connect(&m_port, &QSerialPort::readyRead, this, &SerialBackend::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialBackend::onError);
    connect(&m_port, &QSerialPort::bytesWritten, this, [this] { noteHandedToDevice(); });
    m_clock.start();
}

bool QtSerialBackend::open(const QString& device, const LineSettings& settings, QString& error) {
    close();
    error = accessProblem(device);
    if (!error.isEmpty()) {
        return false;
    }
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        switch (m_port.error()) {
            case QSerialPort::DeviceNotFoundError:
                error = QString::fromLatin1(kNoSuchDevice);
                break;
            case QSerialPort::PermissionError:
                // Access rights were checked above, so what remains is a lock or an exclusive open
                // held by someone else.
                error = QString::fromLatin1(kInUse);
                break;
            default:
                error = m_port.errorString();
                break;
        }
        m_port.clearError();
        return false;
    }
    if (!apply(settings, error)) {
        m_port.close();
        return false;
    }
    m_port.clear();
    m_queued = m_handed = 0;
    m_lineFreeAtNs = m_clock.nsecsElapsed();
    return true;
}

void QtSerialBackend::close() {
    if (m_port.isOpen()) {
        m_port.close();
    }
    m_port.clearError();
}

bool QtSerialBackend::apply(const LineSettings& settings, QString& error) {
    bool ok = m_port.setBaudRate(settings.baud) && m_port.setDataBits(toQt(settings.dataBits)) &&
              m_port.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
              m_port.setParity(toQt(settings.parity));
    // Qt offers XON/XOFF only for both directions at once; one-way flow control is treated as both.
    ok = ok && m_port.setFlowControl(settings.swFlow == SwFlow::None ? QSerialPort::NoFlowControl
                                                                     : QSerialPort::SoftwareControl);
    if (!ok) {
        error = QStringLiteral("the device refuses these settings (%1)").arg(m_port.errorString());
        m_port.clearError();
    } else {
        m_nsPerCharacter = nsPerCharacter(settings);
    }
    return ok;
}

void QtSerialBackend::write(const QByteArray& bytes) {
    if (m_port.isOpen()) {
        m_queued += std::max<qint64>(0, m_port.write(bytes));
        // Handed over now rather than at the next turn of the event loop, so that a timed pause after a
        // byte follows the byte itself on the line.
        flushOutput();
    }
}

void QtSerialBackend::flushOutput() {
    if (m_port.isOpen() && m_port.bytesToWrite() > 0) {
        m_port.flush();
        noteHandedToDevice();
    }
}

void QtSerialBackend::noteHandedToDevice() const {
    const qint64 handed = m_queued - m_port.bytesToWrite();
    if (handed <= m_handed) {
        return;
    }
    const qint64 now = m_clock.nsecsElapsed();
    m_lineFreeAtNs = std::max(now, m_lineFreeAtNs) + (handed - m_handed) * m_nsPerCharacter;
    m_handed = handed;
}

qint64 QtSerialBackend::heldByDevice() const {
    int driverQueue = 0;
    if (::ioctl(int(m_port.handle()), TIOCOUTQ, &driverQueue) != 0) {
        driverQueue = 0;
    }
    noteHandedToDevice();
    const qint64 dueNs = m_lineFreeAtNs - m_clock.nsecsElapsed();
    const qint64 due =
        (dueNs > 0 && m_nsPerCharacter > 0) ? (dueNs + m_nsPerCharacter - 1) / m_nsPerCharacter : 0;
    return std::max<qint64>(driverQueue, due);
}

QByteArray QtSerialBackend::readAll() {
    if (!m_port.isOpen()) {
        return {};
    }
    QByteArray bytes = m_port.readAll();
    if (!bytes.isEmpty()) {
        // An answer from the other side shows that what it answers has arrived: on a pseudo-terminal a
        // peer answers long before the line rate would let it (XMODEM's ACK after each block), and the
        // rate alone would count a backlog that is not there.
        m_lineFreeAtNs = std::min(m_lineFreeAtNs, m_clock.nsecsElapsed());
    }
    return bytes;
}

qint64 QtSerialBackend::bytesToWrite() const {
    return m_port.isOpen() ? m_port.bytesToWrite() + heldByDevice() : 0;
}

void QtSerialBackend::pump() {
    if (!m_port.isOpen()) {
        return;
    }
    // Both calls return at once when there is nothing to do; with a zero time-out they only move what
    // the device can take or give right now. readyRead is emitted from inside waitForReadyRead.
    if (m_port.bytesToWrite() > 0) {
        m_port.waitForBytesWritten(0);
    }
    if (m_port.isOpen()) {
        m_port.waitForReadyRead(0);
    }
    // Only now: the other side's last bytes (an XMODEM receiver's final ACK, sent just before it hung
    // up) are read before the hang-up closes the port.
    if (m_port.isOpen()) {
        checkLost();
    }
}

void QtSerialBackend::clearInput() {
    if (m_port.isOpen()) {
        m_port.clear(QSerialPort::Input);
    }
}

void QtSerialBackend::clearOutput() {
    if (m_port.isOpen()) {
        m_port.clear(QSerialPort::Output);
        // The device's queue is gone too; what is already on the wire takes at most a character.
        m_queued = m_handed;
        m_lineFreeAtNs = std::min(m_lineFreeAtNs, m_clock.nsecsElapsed() + m_nsPerCharacter);
    }
}

bool QtSerialBackend::setBreak(bool on) {
    return m_port.isOpen() && m_port.setBreakEnabled(on);
}

bool QtSerialBackend::hungUp() const {
    if (!m_port.isOpen()) {
        return false;
    }
    pollfd pfd{int(m_port.handle()), POLLIN, 0};
    return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool QtSerialBackend::checkLost() {
    if (!hungUp()) {
        return false;
    }
    m_port.close();
    m_port.clearError();
    emit lost(QString::fromLatin1(kDisconnected));
    return true;
}

void QtSerialBackend::onError(QSerialPort::SerialPortError error) {
    // An unplugged adapter or a closed pty master shows up as a resource error, or as read errors that
    // repeat for ever. Qt also reports a resource error for a read that merely found no bytes (the
    // polling reads can take them first), so only the hang-up state of the descriptor closes the port.
    if (error == QSerialPort::NoError || !m_port.isOpen()) {
        return;
    }
    if (!checkLost()) {
        m_port.clearError();
    }
}

}  // namespace orrery::serial
