#pragma once
// TApdComPort: the workbench's one serial port object (ApdComPort1 of the main window).
//
// It is opened explicitly with a logical port number (COM1..COM9, mapped to a device by PortMap) and
// the line settings, and it keeps its own input buffer: bytes that arrive while no one reads (the
// terminal suspended during a logger exchange) stay there until getChar() or readAvailable() takes them.
// dataAvailable() tells a bound terminal or transfer engine that new bytes are waiting; it does not take
// them.
//
// Callers may spin on charReady() or outBuffFree() without returning to the event loop (the logger link
// does): those calls move bytes through the backend themselves, so such loops always make progress.
// When the port is closed, charReady() is false and the output buffer reads as empty, so no spin loop
// can hang on a port that went away.

#include <QObject>
#include <memory>

#include "portmap.h"
#include "serialbackend.h"

namespace orrery::serial {

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
