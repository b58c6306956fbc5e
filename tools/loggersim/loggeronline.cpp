#include "loggeronline.h"

#include <algorithm>

#include "pairbackend.h"

namespace orrery::loggersim {

LoggerOnLine::LoggerOnLine(serial::VirtualLine& line, LoggerSetup setup, LineFaults faults, Trace* trace,
                           QObject* parent)
    : QObject(parent),
      m_virtual(line),
      m_model(std::make_unique<LoggerModel>(std::move(setup))),
      m_line(std::make_unique<LoggerLine>(*m_model, faults, trace)) {
    m_clock.start();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LoggerOnLine::service);
    m_virtual.setTransmitHook([this](const QByteArray& bytes) { transmitted(bytes); });
}

LoggerOnLine::~LoggerOnLine() {
    m_virtual.setTransmitHook(nullptr);
}

Micros LoggerOnLine::now() const {
    return m_clock.nsecsElapsed() / 1000;
}

// Runs inside the port's transmit; the answer goes out later from the timer, never from here, so the
// port is not re-entered.
void LoggerOnLine::transmitted(const QByteArray& bytes) {
    m_line->fromWorkbench(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()), now());
    schedule();
}

void LoggerOnLine::service() {
    const std::string out = m_line->toWorkbench(now());
    if (!out.empty()) m_virtual.send(QByteArray(out.data(), qsizetype(out.size())));
    schedule();
}

void LoggerOnLine::schedule() {
    const Micros wake = m_line->nextWake();
    if (wake == kNever) {
        m_timer.stop();
        return;
    }
    const Micros waitMicros = std::max<Micros>(0, wake - now());
    m_timer.start(int(std::min<Micros>((waitMicros + 999) / 1000, 60'000)));
}

}  // namespace orrery::loggersim
