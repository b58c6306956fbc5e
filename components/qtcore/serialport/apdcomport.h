#pragma once
// TApdComPort: the workbench's one serial port object (ApdComPort1 of the main window).
//
// It is opened explicitly with a logical port number (COM1..COM9, mapped to a device by PortMap) and
// the line settings, and it keeps its own input buffer: bytes that arrive while no one reads (the
// terminal suspended during a logger exchange) stay there until getChar() or readAvailable() takes them.
// dataAvailable() tells a bound terminal or transfer engine that new bytes are waiting; it does not take
// them.
//
// Output: putChar() and putBlock() hand the bytes to the device at once, and outBuffUsed() counts every
// byte not yet on the line, the operating system's and the adapter's queues included, so that progress
// and timed pauses follow the wire. Whoever must wait for the output waits in drainOutput(): it serves
// the event loop (windows repaint, Cancel can be pressed) and gives up when the line stops taking bytes.
//
// charReady() moves bytes through the backend itself, so a loop that polls it always makes progress.
// When the port is closed, charReady() is false and the output buffer reads as empty.

#include <QObject>
#include <functional>
#include <memory>

#include "portmap.h"
#include "serialbackend.h"

namespace orrery::serial {

// How a wait for the output ended.
enum class DrainEnd { Drained, Stalled, Closed, Cancelled };

class TApdComPort : public QObject {
    Q_OBJECT
public:
    // Size reported for the output buffer; the backend's own queue may hold more, which then reads as
    // "no free space".
    static constexpr int kOutBufferSize = 8192;
    // Received bytes kept while no one reads; beyond this the oldest are dropped and counted.
    static constexpr qsizetype kInBufferLimit = 16 * 1024 * 1024;

    explicit TApdComPort(QObject* parent = nullptr);
    ~TApdComPort() override;

    // Backends are made on open (and for probing) by this factory; the default makes QtSerialBackend.
    void setBackendFactory(BackendFactory factory) { m_factory = std::move(factory); }
    void setPortMap(const PortMap& map) { m_map = map; }
    const PortMap& portMap() const { return m_map; }

    // Logical port number 0..9; 0 means no port. A change takes effect at the next open().
    int comNumber() const { return m_comNumber; }
    void setComNumber(int number);
    // The device of the current port number, empty when none is assigned.
    QString devicePath() const { return m_map.device(m_comNumber); }

    // Line settings; on an open port they are applied at once.
    int baud() const { return m_settings.baud; }
    int dataBits() const { return m_settings.dataBits; }
    int stopBits() const { return m_settings.stopBits; }
    Parity parity() const { return m_settings.parity; }
    SwFlow swFlowOptions() const { return m_settings.swFlow; }
    void setBaud(int baud);
    void setDataBits(int bits);
    void setStopBits(int bits);
    void setParity(Parity parity);
    void setSwFlowOptions(SwFlow flow);
    const LineSettings& lineSettings() const { return m_settings; }

    // Opens (or reopens) the port. False with lastError() naming the port, the device and the reason.
    bool open();
    void close();
    bool isOpen() const;
    QString lastError() const { return m_lastError; }
    // Whether COMn could be opened right now (opened exclusively and closed again at once).
    bool probe(int number);

    void putChar(quint8 byte);
    void putBlock(const QByteArray& bytes);
    bool charReady();
    // Removes and returns the oldest received byte; -1 when none is waiting.
    int getChar();
    // Removes and returns every received byte.
    QByteArray readAvailable();
    int outBuffFree();
    int outBuffUsed();
    void flushInBuffer();
    void flushOutBuffer();

    // Waits until at most atMost bytes are still to go out, serving the event loop meanwhile. Ends
    // Stalled when the count has not fallen for stallMs (flow control held off, a peer that stopped
    // reading, an adapter that takes nothing), Closed when the port closes, Cancelled as soon as
    // cancelled() (asked on every look) says so.
    DrainEnd drainOutput(int atMost, int stallMs, const std::function<bool()>& cancelled = {});
    // A stall limit for this port: time for a full kernel buffer (4 KB) to leave at the baud rate plus
    // 2 s, and never below 5 s.
    int defaultStallMs() const;
    bool setBreak(bool on);
    bool breakOn() const { return m_break; }
    // Received bytes dropped because the input buffer was full.
    qint64 overrunCount() const { return m_overruns; }

signals:
    void dataAvailable();
    // The port closed itself because its device went away; message says which and why.
    void portLost(const QString& message);
    void openChanged(bool open);

private:
    // Every byte not yet on the line, without outBuffUsed()'s cap.
    qint64 outputPending();
    void collectInput();
    void applyToOpenPort();
    void onBackendLost(const QString& reason);
    QString describe(const QString& reason) const;
    std::unique_ptr<SerialBackend> makeBackend() const;

    BackendFactory m_factory;
    std::unique_ptr<SerialBackend> m_backend;
    std::unique_ptr<SerialBackend> m_retired;
    PortMap m_map;
    LineSettings m_settings;
    QByteArray m_input;
    qsizetype m_inputHead = 0;
    QString m_lastError;
    qint64 m_overruns = 0;
    int m_comNumber = 0;
    bool m_break = false;
};

}  // namespace orrery::serial
