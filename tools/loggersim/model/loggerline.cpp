#include "loggerline.h"

#include <algorithm>
#include <cstdio>

namespace orrery::loggersim {

void Trace::byte(Micros time, bool received, std::uint8_t value, const std::string& fault) {
    char head[48];
    std::snprintf(head, sizeof head, "%lld.%06lld %s %02x", static_cast<long long>(time / 1'000'000),
                  static_cast<long long>(time % 1'000'000), received ? "rx" : "tx", value);
    m_out << head;
    if (!fault.empty()) m_out << ' ' << fault;
    m_out << '\n';
    m_out.flush();
}

namespace {
std::uint64_t splitmix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}
}  // namespace

LoggerLine::LoggerLine(LoggerModel& model, LineFaults faults, Trace* trace)
    : m_model(model), m_faults(faults), m_trace(trace), m_random(splitmix(faults.seed)) {}

std::uint64_t LoggerLine::nextRandom() {
    // xorshift64*: small, fast, and the same stream on every platform for the same seed.
    m_random ^= m_random >> 12;
    m_random ^= m_random << 25;
    m_random ^= m_random >> 27;
    return m_random * 0x2545F4914F6CDD1Dull;
}

bool LoggerLine::chance(double probability) {
    if (probability <= 0.0) return false;
    return double(nextRandom() >> 11) * (1.0 / 9007199254740992.0) < probability;
}

std::uint8_t LoggerLine::flipOneBit(std::uint8_t byte) {
    return std::uint8_t(byte ^ (1u << (nextRandom() >> 61)));
}

Micros LoggerLine::byteTime() const {
    return m_faults.baud > 0 ? 10'000'000 / m_faults.baud : 0;
}

void LoggerLine::fromWorkbench(const std::uint8_t* bytes, std::size_t count, Micros now) {
    for (std::size_t i = 0; i < count; ++i) {
        // At the line rate a byte has arrived only when its last bit has, one byte time after the line
        // was free for it.
        const Micros due = byteTime() > 0 ? std::max(now, m_inputFree) + byteTime() : now;
        m_inputFree = due;
        m_input.push_back({due, bytes[i]});
    }
    deliverInput(now);
}

void LoggerLine::deliverInput(Micros now) {
    while (!m_input.empty() && m_input.front().due <= now) {
        const Pending item = m_input.front();
        m_input.pop_front();
        std::uint8_t byte = 0;
        if (!crossLine(item, true, byte)) {
            continue;
        }
        ++m_received;
        m_model.receive(byte, item.due);
        collectOutput(item.due);
    }
}

bool LoggerLine::crossLine(const Pending& item, bool toLogger, std::uint8_t& byte) {
    if (chance(m_faults.drop)) {
        if (m_trace) m_trace->byte(item.due, toLogger, item.byte, "lost");
        return false;
    }
    byte = item.byte;
    std::string fault;
    if (chance(m_faults.corrupt)) {
        byte = flipOneBit(byte);
        char text[24];
        std::snprintf(text, sizeof text, "corrupted %02x", item.byte);
        fault = text;
    }
    if (m_trace) m_trace->byte(item.due, toLogger, byte, fault);
    return true;
}

void LoggerLine::collectOutput(Micros now) {
    const std::string produced = m_model.takeOutput();
    // Silent after N bytes: whatever the logger says once it has received more than N is never sent.
    if (m_faults.silentAfter >= 0 && m_received > m_faults.silentAfter) return;
    for (char c : produced) {
        const Micros ready = now + m_faults.delay;
        const Micros due = byteTime() > 0 ? std::max(ready, m_outputFree) + byteTime() : ready;
        m_outputFree = due;
        m_output.push_back({due, std::uint8_t(c)});
    }
}

std::string LoggerLine::toWorkbench(Micros now) {
    deliverInput(now);
    m_model.tick(now);
    collectOutput(now);
    std::string out;
    while (!m_output.empty() && m_output.front().due <= now) {
        const Pending item = m_output.front();
        m_output.pop_front();
        std::uint8_t byte = 0;
        if (crossLine(item, false, byte)) {
            out += char(byte);
        }
    }
    return out;
}

Micros LoggerLine::nextWake() const {
    Micros wake = m_model.nextWake();
    if (!m_input.empty()) wake = std::min(wake, m_input.front().due);
    if (!m_output.empty()) wake = std::min(wake, m_output.front().due);
    return wake;
}

bool LoggerLine::quiet() const {
    return m_input.empty() && m_output.empty();
}

}  // namespace orrery::loggersim
