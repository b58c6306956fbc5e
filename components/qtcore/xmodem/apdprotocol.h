#pragma once
// TApdProtocol: the file-transfer object bound to the serial port (ApdProtocol1 of the main window).
//
// It runs one XMODEM transfer at a time in the background: the port's dataAvailable signal and a
// single-shot timer drive the state machines of xmodem.h, so no call here blocks. protocolStatus() comes
// every status interval with the bytes transferred so far, protocolFinish() exactly once per started
// transfer with a result code (0 = complete, otherwise an xmodem::Result), always from the event loop.
//
// Received data goes to "<file>.partial" as it arrives. A complete transfer is renamed onto the chosen
// name (replacing an older file only then); a failed one stays under the ".partial" name, or is removed
// when nothing arrived, so a file under the chosen name is always whole. A ".partial" file already there
// holds what an earlier attempt saved, perhaps the only copy of data the logger no longer has: it is
// never opened, and the new attempt writes beside it ("<file>.partial.1", ".2", ...). A sender that
// ends before its first block (EOT at once) completes nothing: NothingReceived, no file.

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "xmodem.h"

namespace orrery::serial {
class TApdComPort;
}

namespace orrery::xmodem {

enum class ProtocolType { Xmodem };

class TApdProtocol : public QObject {
    Q_OBJECT
public:
    // Ticks of the original engine's clock, 18.2 a second.
    static constexpr double kTicksPerSecond = 18.2;
    static constexpr const char* kPartialSuffix = ".partial";

    explicit TApdProtocol(serial::TApdComPort* port, QObject* parent = nullptr);
    ~TApdProtocol() override;

    void setProtocolType(ProtocolType type) { m_type = type; }
    ProtocolType protocolType() const { return m_type; }
    // XMODEM carries no file name: mask and name are both the local file.
    void setFileMask(const QString& mask) { m_fileMask = mask; }
    void setFileName(const QString& name) { m_fileName = name; }
    QString fileName() const { return m_fileName; }
    void setHandshakeWait(int ticks);
    void setStatusInterval(int ticks);
    // Protocol time-outs and retry limit (tests shorten them).
    void setTiming(const Timing& timing) { m_timing = timing; }
    const Timing& timing() const { return m_timing; }

    void startReceive();
    void startTransmit();
    void cancelProtocol();
    bool inProgress() const { return m_wire != nullptr; }
    qint64 bytesTransferred() const;

    // After a receive: where the data is (the chosen name, the ".partial" name, or empty when nothing
    // was kept).
    QString savedPath() const { return m_savedPath; }
    static QString partialPath(const QString& fileName) { return fileName + kPartialSuffix; }
    // The ".partial" name this receive writes (or last wrote) to.
    QString receivingPath() const { return m_file.fileName(); }

signals:
    void protocolStatus(qint64 bytesTransferred);
    void protocolFinish(int errorCode);

private:
    class PortWire;
    void onData();
    void onPortClosed(bool open);
    void afterEvent();
    void writeReceived();
    void finish(Result result);
    void finishLater(Result result);
    bool openFreePartial();
    void keepOrDiscardReceived(Result& result);
    bool running() const;

    serial::TApdComPort* m_port;
    ProtocolType m_type = ProtocolType::Xmodem;
    QString m_fileMask;
    QString m_fileName;
    QString m_savedPath;
    Timing m_timing;
    QTimer m_statusTimer;
    std::unique_ptr<PortWire> m_wire;
    std::unique_ptr<Receiver> m_receiver;
    std::unique_ptr<Sender> m_sender;
    // The machines of the transfer that just finished, freed from the event loop (or with the object,
    // if it goes first).
    std::unique_ptr<PortWire> m_retiredWire;
    std::unique_ptr<Receiver> m_retiredReceiver;
    std::unique_ptr<Sender> m_retiredSender;
    QFile m_file;
    bool m_writeFailed = false;
    bool m_finishing = false;
    qint64 m_lastBytes = 0;
};

}  // namespace orrery::xmodem
