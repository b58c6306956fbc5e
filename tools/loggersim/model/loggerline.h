#pragma once
// The line between the workbench and the logger model: pacing at the line rate, injected faults and
// the trace. The pseudo-terminal driver and the in-process adapter both talk to the model through it.
//
//   LoggerLine line(model, faults, &trace);
//   line.fromWorkbench(bytes, n, now);   // what the workbench sent, as it arrives
//   std::string out = line.toWorkbench(now);   // what the logger puts on the line by now
//   Micros wake = line.nextWake();       // call toWorkbench() again no later than this
//
// Faults (each decided by one deterministic random stream, seeded by `seed`):
//   drop      every byte, in either direction, is lost with this probability
//   corrupt   every byte, in either direction, has one random bit flipped with this probability
//   delay     everything the logger sends leaves this much later than it was produced
//   silentAfter  once the logger has received this many bytes it sends nothing more (-1: never)
//   baud      bytes leave and are taken in no faster than the line rate, 10 bits a byte (0: no pacing)
//
// Trace: one line per byte, "<seconds since start> <rx|tx> <hex>", rx being what the logger received
// and tx what it sent, with " lost" or " corrupted <original hex>" added for injected faults.

#include <cstdint>
#include <deque>
#include <functional>
#include <ostream>
#include <string>

#include "loggermodel.h"

namespace orrery::loggersim {

struct LineFaults {
    double drop = 0.0;
    double corrupt = 0.0;
    Micros delay = 0;
    long long silentAfter = -1;
    int baud = 0;
    std::uint64_t seed = 1;
};

class Trace {
public:
    explicit Trace(std::ostream& out) : m_out(out) {}
    void byte(Micros time, bool received, std::uint8_t value, const std::string& fault = {});

private:
    std::ostream& m_out;
};

class LoggerLine {
public:
    LoggerLine(LoggerModel& model, LineFaults faults, Trace* trace = nullptr);

    void fromWorkbench(const std::uint8_t* bytes, std::size_t count, Micros now);
    std::string toWorkbench(Micros now);
    Micros nextWake() const;
    LoggerModel& model() { return m_model; }
    long long bytesReceived() const { return m_received; }
    // Nothing waiting to be taken in or sent.
    bool quiet() const;

private:
    struct Pending {
        Micros due;
        std::uint8_t byte;
    };
    void deliverInput(Micros now);
    void collectOutput(Micros now);
    // Applies the drop and corrupt faults to one byte crossing the line and traces it; false when the
    // byte was lost. The draws happen in the same order for both directions, so a seed replays exactly.
    bool crossLine(const Pending& item, bool toLogger, std::uint8_t& byte);
    bool chance(double probability);
    std::uint8_t flipOneBit(std::uint8_t byte);
    std::uint64_t nextRandom();
    Micros byteTime() const;

    LoggerModel& m_model;
    LineFaults m_faults;
    Trace* m_trace;
    std::deque<Pending> m_input;
    std::deque<Pending> m_output;
    Micros m_inputFree = 0;   // when the line has taken in the previous received byte
    Micros m_outputFree = 0;  // when the previous sent byte has left
    std::uint64_t m_random;
    long long m_received = 0;
};

}  // namespace orrery::loggersim
