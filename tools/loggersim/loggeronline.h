#pragma once
// Puts a simulated logger at the far end of an in-process serial line (components/qtcore/serialport), so that
// tests drive the workbench's real link code against it without a pseudo-terminal:
//
//   auto bench = std::make_shared<serial::PairBench>();
//   serial::VirtualLine& line = bench->addDevice(QStringLiteral("/dev/simlogger"));
//   loggersim::LoggerOnLine logger(line, loggersim::defaultSetup(400));
//   port.setBackendFactory(bench->factory());
//   port.setPortMap(map with COM1 -> "/dev/simlogger"); port.setComNumber(1); port.open();
//
// What the port transmits reaches the model at once (through the line's transmit hook); the logger's
// answers reach the port through the event loop (a timer of this object), as bytes from a real line
// would, so the link code must be waiting in a loop that processes events (WaitByte does). Bytes the
// logger sends while the port is closed are lost, as on a real line.
//
// Faults and pacing: pass LineFaults; the trace: pass a Trace. logger.model() gives the memory, data
// memory, loaded program and disk for checks; logger.line() the counts of the line.
//
// The real binary, for end-to-end tests through a pseudo-terminal:
//   loggersim --link DIR/logger [--model 400] [--trace FILE] ...   prints the device path on stdout
//   (first line), then serves until killed (SIGTERM) or until --exit-after N commands.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>

#include "loggerline.h"
#include "loggermodel.h"

namespace orrery::serial {
class VirtualLine;
}

namespace orrery::loggersim {

class LoggerOnLine : public QObject {
    Q_OBJECT
public:
    LoggerOnLine(serial::VirtualLine& line, LoggerSetup setup, LineFaults faults = {},
                 Trace* trace = nullptr, QObject* parent = nullptr);
    ~LoggerOnLine() override;

    LoggerModel& model() { return *m_model; }
    LoggerLine& line() { return *m_line; }

private:
    void transmitted(const QByteArray& bytes);
    void service();
    void schedule();
    Micros now() const;

    serial::VirtualLine& m_virtual;
    std::unique_ptr<LoggerModel> m_model;
    std::unique_ptr<LoggerLine> m_line;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

}  // namespace orrery::loggersim
