#include "asciitransfer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QIODevice>
#include <QThread>
#include <QTimer>

#include "apdcomport.h"
#include "escapes.h"
#include "prompts.h"

namespace orrery::link {

namespace {

// Free bytes the port's output buffer keeps before another byte is queued.
constexpr int kMinFreeOutput = 10;
// A line whose output has not moved for this long (XOFF held, a peer that stopped reading) is waited on
// no longer: the send goes on into the port's own buffer instead of hanging the workbench for good.
constexpr qint64 kOutputStallMs = 5000;
// The receive loop's wait for one byte: short enough that Cancel answers at once, long enough that an
// idle line costs nothing.
constexpr int kReceiveWaitMs = 50;

}  // namespace

QByteArray decodeEscapes(const QString& text) {
    std::string latin1;
    for (const QChar c : text) {
        latin1.push_back(char(c.unicode() & 0xFF));
    }
    const std::string bytes = compiler::decodeEscapes(latin1, compiler::kTransferEscapes);
    return QByteArray::fromStdString(bytes.substr(0, bytes.find('\0')));
}

int terminationByte(const QString& text) {
    const QByteArray bytes = decodeEscapes(text);
    return bytes.isEmpty() ? 0 : quint8(bytes[0]);
}

bool sendAscii(AsciiLine& line, const QByteArray& data, const AsciiOptions& options, Progress& progress) {
    for (char c : decodeEscapes(options.prefix)) {
        line.sendByte(quint8(c));
    }
    progress.start(QStringLiteral("ASCII Transmit"), data.size(), false);
    bool cancelled = false;
    for (qsizetype i = 0; i < data.size(); ++i) {
        line.sendByte(quint8(data[i]));
        if (progress.update(i)) {
            cancelled = true;
            break;
        }
        if (options.charDelay > 0) {
            line.pause(options.charDelay);
        }
        if (data[i] == '\r' && options.lineDelay > 0) {
            line.pause(options.lineDelay);
        }
    }
    if (!cancelled) {
        for (char c : decodeEscapes(options.suffix)) {
            line.sendByte(quint8(c));
        }
    }
    line.drain();
    progress.close();
    return !cancelled;
}

ReceiveStop::ReceiveStop(const AsciiOptions& options, std::function<qint64()> nowMs)
    : m_kind(options.kind),
      m_termByte(terminationByte(options.termChar)),
      m_timeoutMs(qint64(std::max(1, options.termTimeout)) * 1000),
      m_now(std::move(nowMs)),
      m_last(m_now()) {}

bool ReceiveStop::stopsAt(int c) {
    switch (m_kind) {
    case TerminationKind::Timeout:
        // Whole seconds of silence beyond the time-out, as the gauge counts them.
        return (m_now() - m_last) / 1000 > m_timeoutMs / 1000;
    case TerminationKind::Character:
        return c >= 0 && c == m_termByte;
    case TerminationKind::UserCancel:
        return false;
    }
    return false;
}

void ReceiveStop::byteStored() {
    m_last = m_now();
}

int waitForByte(serial::TApdComPort& port, int ms) {
    if (!port.charReady()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&port, &serial::TApdComPort::dataAvailable, &loop, &QEventLoop::quit);
        timer.start(ms);
        loop.exec();
    }
    return port.getChar();
}

ReceiveEnd receiveAscii(serial::TApdComPort& port, QIODevice& out, const AsciiOptions& options,
                        Progress& progress, qint64& count) {
    QElapsedTimer clock;
    clock.start();
    ReceiveStop stop(options, [&clock] { return clock.elapsed(); });
    count = 0;
    progress.start(QStringLiteral("ASCII Receive"), 1024, true);
    for (;;) {
        const int c = port.isOpen() ? waitForByte(port, kReceiveWaitMs) : -1;
        if (stop.stopsAt(c)) {
            return ReceiveEnd::Terminated;
        }
        if (c >= 0) {
            const char byte = char(c);
            if (out.write(&byte, 1) < 1) {
                return ReceiveEnd::WriteError;
            }
            ++count;
            progress.update(count);
            stop.byteStored();
        }
        if (progress.poll()) {
            return ReceiveEnd::Cancelled;
        }
    }
}

void PortAsciiLine::sendByte(quint8 byte) {
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    int free = m_port.isOpen() ? m_port.outBuffFree() : kMinFreeOutput;
    while (m_port.isOpen() && free < kMinFreeOutput && sinceProgress.elapsed() < kOutputStallMs) {
        QThread::usleep(200);
        const int now = m_port.outBuffFree();
        if (now > free) {
            sinceProgress.restart();
        }
        free = now;
    }
    m_port.putChar(byte);
}

void PortAsciiLine::pause(int ms) {
    QThread::msleep(ulong(ms));
}

void PortAsciiLine::drain() {
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    int used = m_port.isOpen() ? m_port.outBuffUsed() : 0;
    while (m_port.isOpen() && used > 0 && sinceProgress.elapsed() < kOutputStallMs) {
        QThread::usleep(200);
        const int now = m_port.outBuffUsed();
        if (now < used) {
            sinceProgress.restart();
        }
        used = now;
    }
}

}  // namespace orrery::link
