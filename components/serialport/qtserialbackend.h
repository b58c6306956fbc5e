#pragma once
// Backend over a real serial device (or a pseudo-terminal) through Qt SerialPort.

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
    void pump() override;
    void clearInput() override;
    void clearOutput() override;
    bool setBreak(bool on) override;

private:
    void onError(QSerialPort::SerialPortError error);
    bool hungUp() const;
    // Closes and reports the port when its device has gone; true then.
    bool checkLost();
    QSerialPort m_port;
};

// The reason a device cannot be opened, found before Qt tries (Qt reports a busy device and a missing
// permission with the same error code). Empty when nothing is known to be wrong.
QString accessProblem(const QString& device);

}  // namespace orrery::serial
