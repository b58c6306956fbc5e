#include "loggerrunner.h"

#include <cmath>
#include <deque>
#include <limits>

#include "interpreter.h"
#include "loggermodel.h"

namespace orrery::loggervm {

namespace {

using loggersim::LoggerModel;
using loggersim::Micros;

class LoggerRunner final : public loggersim::ProgramRunner, private Host {
public:
    explicit LoggerRunner(RunnerOptions options) : m_options(std::move(options)), m_vm(*this) {
        if (!(m_options.speed > 0)) m_options.speed = 1.0;
        m_vm.setMachineBudget(m_options.machineBudget);
        if (m_options.cpuTrace) m_vm.setMachineTrace(m_options.cpuTrace);
    }

    void start(LoggerModel& model, std::uint16_t programStart) override {
        Attach attach(*this, model, model.now());
        m_received.clear();
        const auto memory = model.memory();
        const std::span<const std::uint8_t> image(memory.data() + programStart, memory.size() - programStart);
        std::string error;
        if (!m_vm.start(imageAt(image), error, programStart)) model.write("\r\n*** Cannot run the program: " + error + "\r\n");
    }

    bool running() const override { return m_vm.running(); }

    void step(LoggerModel& model, Micros now) override {
        Attach attach(*this, model, now);
        // A sleep ends exactly at its wake-up time on the program's clock, however late the logger got
        // round to it: what a program sees of its clock does not depend on how busy the machine is.
        if (m_vm.state() == RunState::Sleeping && nowMs() > m_vm.wakeAtMs()) m_simulatedOffsetMs -= nowMs() - m_vm.wakeAtMs();
        m_vm.run(m_options.stepsPerSlice);
    }

    Micros nextStep(Micros now) const override {
        if (!m_received.empty()) return now;
        switch (m_vm.state()) {
            case RunState::Running: return now;
            case RunState::Sleeping: return std::max(now, realTimeOf(m_vm.wakeAtMs()));
            default: return std::numeric_limits<Micros>::max();
        }
    }

    void receive(LoggerModel&, std::uint8_t byte) override {
        if (m_received.size() < 4096) m_received.push_back(byte);
    }

    void stop(LoggerModel& model) override {
        Attach attach(*this, model, model.now());
        m_vm.halt();
    }

private:
    // The model and its time while the runner works for it.
    struct Attach {
        Attach(LoggerRunner& runner, LoggerModel& model, Micros now) : runner(runner) {
            runner.m_model = &model;
            runner.m_now = now;
            if (!runner.m_clockStarted) {
                runner.m_clockStarted = true;
                runner.m_realBase = now;
            }
        }
        ~Attach() { runner.m_model = nullptr; }
        LoggerRunner& runner;
    };

    // The image as long as its header says, cut at the end of memory.
    static std::span<const std::uint8_t> imageAt(std::span<const std::uint8_t> from) {
        if (from.size() < 14) return from;
        const auto word = [&](std::size_t at) { return static_cast<std::size_t>(from[at] << 8 | from[at + 1]); };
        std::size_t length = from.size();
        if (word(0) == 14) length = word(2) + 1;
        else if (word(0) == 82) length = word(2) << 16 | word(4);
        return from.first(std::min(length, from.size()));
    }

    Micros realTimeOf(std::int64_t simulatedMs) const {
        const double micros = static_cast<double>(simulatedMs - m_simulatedOffsetMs) * 1000.0 / m_options.speed;
        if (micros > 9.0e18) return std::numeric_limits<Micros>::max();
        return m_realBase + static_cast<Micros>(std::ceil(micros));
    }

    // ---- Host ----
    std::span<std::uint8_t> memory() override { return m_model->memory(); }
    void writeSerial(std::string_view bytes) override { m_model->write(bytes); }
    int readSerial() override {
        if (m_received.empty()) return -1;
        const std::uint8_t byte = m_received.front();
        m_received.pop_front();
        return byte;
    }
    std::int64_t nowMs() override {
        return m_simulatedOffsetMs + static_cast<std::int64_t>(static_cast<double>(m_now - m_realBase) * m_options.speed / 1000.0);
    }
    std::uint32_t dataSize() override { return static_cast<std::uint32_t>(loggersim::kDataMemoryLimit); }
    // A program's records start at the beginning of data memory, over what it held before, and may
    // grow it up to its limit.
    void writeData(std::uint32_t offset, std::uint8_t byte) override {
        auto& data = m_model->dataMemory();
        if (offset >= data.size()) data.resize(offset + 1u, 0);
        data[offset] = byte;
    }
    int readData(std::uint32_t offset) override {
        const auto& data = m_model->dataMemory();
        return offset < data.size() ? data[offset] : -1;
    }
    std::int32_t sense(Sensor sensor, int number) override {
        return m_options.inputs.value(sensor, number, static_cast<double>(nowMs()) / 1000.0);
    }

    RunnerOptions m_options;
    Interpreter m_vm;
    LoggerModel* m_model = nullptr;
    Micros m_now = 0;
    Micros m_realBase = 0;
    std::int64_t m_simulatedOffsetMs = 0;  // the program's clock less the logger's, scaled by the speed
    bool m_clockStarted = false;
    std::deque<std::uint8_t> m_received;
};

}  // namespace

std::unique_ptr<loggersim::ProgramRunner> makeLoggerRunner(RunnerOptions options) {
    return std::make_unique<LoggerRunner>(std::move(options));
}

}  // namespace orrery::loggervm
