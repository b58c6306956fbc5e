#pragma once
// Backend over a real serial device (or a pseudo-terminal) through Qt SerialPort.

#include <QElapsedTimer>
#include <QSerialPort>

#include "serialbackend.h"

namespace orrery::serial {

class QtSerialBackend : public SerialBackend {
    Q_OBJECT
public:
    explicit QtSerialBackend(QObject* parent = nullptr);

    bool open(const QString& device, const LineSettings& settings, QString& error) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    bool apply(const LineSettings& settings, QString& error) override;
    void write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesToWrite() const override;
    void flushOutput() override;
    void pump() override;
    void clearInput() override;
    void clearOutput() override;
    bool setBreak(bool on) override;

private:
    void onError(QSerialPort::SerialPortError error);
    // Counts the bytes Qt has handed to the device since the last look and books their time on the line.
    void noteHandedToDevice() const;
    // Bytes the device still holds: what the driver reports (a real adapter), or what the line rate says
    // cannot have left yet (a pseudo-terminal, whose driver reports nothing), whichever is more.
    qint64 heldByDevice() const;
    bool hungUp() const;
    // Closes and reports the port when its device has gone; true then.
    bool checkLost();
    QSerialPort m_port;
    QElapsedTimer m_clock;
    qint64 m_nsPerCharacter = 0;
    // Bytes given to Qt, and bytes Qt has given to the device, since the port opened.
    qint64 m_queued = 0;
    mutable qint64 m_handed = 0;
    // When the line will have sent every byte handed to the device so far (m_clock's nanoseconds), as
    // the line rate says; an answer from the other side ends it sooner.
    mutable qint64 m_lineFreeAtNs = 0;
};

// The reason a device cannot be opened, found before Qt tries (Qt reports a busy device and a missing
// permission with the same error code). Empty when nothing is known to be wrong.
QString accessProblem(const QString& device);

}  // namespace orrery::serial
