#pragma once
// ASCII file transfer: a file sent over the line as raw bytes (with an optional prefix and suffix and
// optional pacing), and whatever arrives stored until a termination condition. No protocol, no widgets:
// the workbench's transfer commands put dialogs around these loops, loggerlink puts options around them.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <functional>

class QIODevice;

namespace orrery {
class Progress;
}
namespace orrery::serial {
class TApdComPort;
}

namespace orrery::link {

// How an ASCII receive ends: at a given byte, after seconds without data, or only by Cancel.
enum class TerminationKind { Character = 0, Timeout = 1, UserCancel = 2 };

struct AsciiOptions {
    TerminationKind kind = TerminationKind::UserCancel;
    QString termChar = QString(QChar(26));  // escape-coded
    int termTimeout = 10;                   // seconds, at least 1
    QString prefix;                         // escape-coded
    QString suffix;                         // escape-coded
    int charDelay = 0;                      // ms after every byte
    int lineDelay = 0;                      // ms more after every carriage return
};

// Decodes backslash escapes into bytes: \a \b \f \n \r \t \v (either case), \xHH (two characters after
// the x, a non-hex one counting as 0), backslash + any other character gives that character. A text
// that ends inside an escape takes what is there: a lone backslash stands for itself, "\x" for 0 and
// "\x5" for 5 (what the options dialog completes them to). The result ends at its first zero byte.
QByteArray decodeEscapes(const QString& text);
// The first decoded byte of the termination string; 0 when it decodes to nothing ("\x00", empty).
int terminationByte(const QString& text);

// The line the send loop talks to; the port in the workbench, a recorder in tests. Every wait here is
// bounded and asks cancelled() as it goes, so Cancel ends it at once.
class AsciiLine {
public:
    enum class Wait { Done, Cancelled, Stalled };
    using CancelCheck = std::function<bool()>;
    virtual ~AsciiLine() = default;
    // Puts one byte on the line, first waiting while the output buffer is nearly full.
    virtual Wait sendByte(quint8 byte, const CancelCheck& cancelled) = 0;
    // Waits until everything sent has left, then ms more: the pause is seen on the wire.
    virtual Wait pause(int ms, const CancelCheck& cancelled) = 0;
    // Waits until everything sent has left.
    virtual Wait drain(const CancelCheck& cancelled) = 0;
};

enum class AsciiSendEnd { Sent, Cancelled, Stalled };
// Said when the line stopped taking bytes in the middle of a send.
inline const QString kAsciiSendStalled = QStringLiteral(
    "ASCII send stopped: the line took no data for several seconds\n"
    "(flow control held off, or the other side stopped reading).");

// Sends prefix, data and (unless cancelled) suffix, pacing as the options say, updating the progress
// dialog after every byte. Cancel is seen during every wait; a line that takes no more bytes ends the
// send as Stalled.
AsciiSendEnd sendAscii(AsciiLine& line, const QByteArray& data, const AsciiOptions& options,
                       Progress& progress);

// Decides, byte by byte, when a receive stops. The clock is injected so tests need not wait.
class ReceiveStop {
public:
    ReceiveStop(const AsciiOptions& options, std::function<qint64()> nowMs);
    // c is the received byte or -1 when none came. True: stop now, and c (if any) is not stored.
    bool stopsAt(int c);
    // Call after a byte has been stored: the time-out counts from the last byte.
    void byteStored();

private:
    TerminationKind m_kind;
    int m_termByte;
    qint64 m_timeoutMs;
    std::function<qint64()> m_now;
    qint64 m_last;
};

enum class ReceiveEnd { Cancelled, Terminated, WriteError };

// The receive loop: waits on the port a little at a time (so an idle line does not burn a processor),
// writes each byte to out, and stops by ReceiveStop, Cancel or a write error. count gets the bytes stored.
ReceiveEnd receiveAscii(serial::TApdComPort& port, QIODevice& out, const AsciiOptions& options,
                        Progress& progress, qint64& count);

// The TApdComPort side of the send loop: each byte is on its way to the wire before a pause begins, and
// the pause itself runs the event loop.
class PortAsciiLine : public AsciiLine {
public:
    explicit PortAsciiLine(serial::TApdComPort& port);
    Wait sendByte(quint8 byte, const CancelCheck& cancelled) override;
    Wait pause(int ms, const CancelCheck& cancelled) override;
    Wait drain(const CancelCheck& cancelled) override;
    // How long the output may make no progress before the send is given up (the port's default).
    void setStallMs(int ms) { m_stallMs = ms; }

private:
    Wait drainTo(int pending, const CancelCheck& cancelled);
    serial::TApdComPort& m_port;
    int m_stallMs;
};

// Waits up to ms for a byte on the port, serving the event loop meanwhile; the byte or -1.
int waitForByte(serial::TApdComPort& port, int ms);

}  // namespace orrery::link
