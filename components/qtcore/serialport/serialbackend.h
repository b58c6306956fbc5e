#pragma once
// What TApdComPort needs from a serial line, so that the same port object runs over a real device
// (QtSerialBackend) or over an in-process pair in tests (PairBackend).
//
// A backend does no buffering of its own beyond what the device layer does: TApdComPort keeps the input
// buffer. pump() is the backend's chance to move bytes while the caller spins in a loop that never
// returns to the event loop.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace orrery::serial {

enum class Parity { None, Odd, Even };
// Software flow control: which directions XON/XOFF governs.
enum class SwFlow { None, Receive, Transmit, Both };

struct LineSettings {
    int baud = 19200;
    int dataBits = 8;
    int stopBits = 1;
    Parity parity = Parity::None;
    SwFlow swFlow = SwFlow::None;
    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

class SerialBackend : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialBackend() override = default;

    // Opens the device exclusively. On failure returns false and sets error to the reason alone
    // ("in use by another program", "no such device", ...); the caller adds the port and device names.
    virtual bool open(const QString& device, const LineSettings& settings, QString& error) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Changes the line settings of an open device; false when the device refuses them.
    virtual bool apply(const LineSettings& settings, QString& error) = 0;
    // Queues bytes for transmission (all of them: the backend's queue is unbounded).
    virtual void write(const QByteArray& bytes) = 0;
    // Takes every byte received so far.
    virtual QByteArray readAll() = 0;
    // Bytes written but not yet on the line: queued in the backend, held by the operating system or the
    // adapter, or (where the device cannot say) still due at the line's rate.
    virtual qint64 bytesToWrite() const = 0;
    // Hands queued output to the device at once, as far as it takes it, without reading anything (so no
    // readyRead can come from inside a write).
    virtual void flushOutput() {}
    // Moves pending input and output without the event loop.
    virtual void pump() = 0;
    virtual void clearInput() = 0;
    virtual void clearOutput() = 0;
    virtual bool setBreak(bool on) = 0;

signals:
    void readyRead();
    // The device went away while open (USB adapter unplugged, other end of a pty closed).
    void lost(const QString& reason);
};

using BackendFactory = std::function<std::unique_ptr<SerialBackend>()>;

// Messages shared by the backends so that the user reads the same words whatever the cause.
inline const char* const kInUse = "in use by another program";
inline const char* const kNoSuchDevice = "no such device";
inline const char* const kPermissionDenied = "permission denied: add yourself to the dialout group";
inline const char* const kDisconnected = "the device was disconnected";
inline const char* const kNoDeviceMapped = "no device is assigned to this port";

}  // namespace orrery::serial
