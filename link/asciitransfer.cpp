#include "asciitransfer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QIODevice>
#include <QTimer>

#include "apdcomport.h"
#include "escapes.h"
#include "prompts.h"

namespace orrery::link {

namespace {

// Free bytes the port's output buffer keeps before another byte is queued.
constexpr int kMinFreeOutput = 10;
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

namespace {

using Wait = AsciiLine::Wait;

Wait sendBytes(AsciiLine& line, const QByteArray& bytes, const AsciiLine::CancelCheck& cancelled) {
    for (char c : bytes) {
        if (const Wait w = line.sendByte(quint8(c), cancelled); w != Wait::Done) {
            return w;
        }
    }
    return Wait::Done;
}

// The pauses after a data byte.
Wait pauseAfter(AsciiLine& line, char byte, const AsciiOptions& options,
                const AsciiLine::CancelCheck& cancelled) {
    Wait w = Wait::Done;
    if (options.charDelay > 0) {
        w = line.pause(options.charDelay, cancelled);
    }
    if (w == Wait::Done && byte == '\r' && options.lineDelay > 0) {
        w = line.pause(options.lineDelay, cancelled);
    }
    return w;
}

AsciiSendEnd endOf(Wait w) {
    return w == Wait::Cancelled ? AsciiSendEnd::Cancelled : AsciiSendEnd::Stalled;
}

}  // namespace

AsciiSendEnd sendAscii(AsciiLine& line, const QByteArray& data, const AsciiOptions& options,
                       Progress& progress) {
    const AsciiLine::CancelCheck cancelled = [&progress] { return progress.poll(); };
    Wait w = sendBytes(line, decodeEscapes(options.prefix), cancelled);
    progress.start(QStringLiteral("ASCII Transmit"), data.size(), false);
    for (qsizetype i = 0; i < data.size() && w == Wait::Done; ++i) {
        w = line.sendByte(quint8(data[i]), cancelled);
        if (w == Wait::Done && progress.update(i)) {
            w = Wait::Cancelled;
        }
        if (w == Wait::Done) {
            w = pauseAfter(line, data[i], options, cancelled);
        }
    }
    if (w == Wait::Done) {
        w = sendBytes(line, decodeEscapes(options.suffix), cancelled);
    }
    // After a Cancel the drain ends at once (the dialog still says Cancel): what is queued goes out on its
    // own. A stalled line is not waited for a second time.
    if (w != Wait::Stalled) {
        const Wait drained = line.drain(cancelled);
        w = w == Wait::Done ? drained : w;
    }
    progress.close();
    return w == Wait::Done ? AsciiSendEnd::Sent : endOf(w);
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

PortAsciiLine::PortAsciiLine(serial::TApdComPort& port) : m_port(port), m_stallMs(port.defaultStallMs()) {}

AsciiLine::Wait PortAsciiLine::drainTo(int pending, const CancelCheck& cancelled) {
    switch (m_port.drainOutput(pending, m_stallMs, cancelled)) {
        case serial::DrainEnd::Drained:
            return Wait::Done;
        case serial::DrainEnd::Cancelled:
            return Wait::Cancelled;
        case serial::DrainEnd::Stalled:
        case serial::DrainEnd::Closed:
            return Wait::Stalled;
    }
    return Wait::Stalled;
}

AsciiLine::Wait PortAsciiLine::sendByte(quint8 byte, const CancelCheck& cancelled) {
    const Wait room = drainTo(serial::TApdComPort::kOutBufferSize - kMinFreeOutput, cancelled);
    if (room == Wait::Done) {
        m_port.putChar(byte);
    }
    return room;
}

AsciiLine::Wait PortAsciiLine::pause(int ms, const CancelCheck& cancelled) {
    if (const Wait w = drainTo(0, cancelled); w != Wait::Done) {
        return w;
    }
    // Timed from the moment the last byte left, in slices so that Cancel is seen during a long pause.
    constexpr int kSliceMs = 50;
    QElapsedTimer clock;
    clock.start();
    for (qint64 left = ms; left > 0; left = ms - clock.elapsed()) {
        QEventLoop loop;
        QTimer::singleShot(int(std::min<qint64>(left, kSliceMs)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        if (cancelled && cancelled()) {
            return Wait::Cancelled;
        }
    }
    return Wait::Done;
}

AsciiLine::Wait PortAsciiLine::drain(const CancelCheck& cancelled) {
    return drainTo(0, cancelled);
}

}  // namespace orrery::link
