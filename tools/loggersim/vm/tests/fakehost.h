#pragma once
// A logger host for tests: memory, data memory, serial line and clock in plain members, and a compile
// helper so that tests state programs as Quobol text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler.h"
#include "interpreter.h"

namespace orrery::loggervm::test {

class FakeHost : public Host {
public:
    std::vector<std::uint8_t> ram = std::vector<std::uint8_t>(65536, 0xA5);
    std::vector<std::uint8_t> data = std::vector<std::uint8_t>(64, 0xEE);
    std::string output;
    std::string input;
    std::int64_t now = 0;
    InputSource inputs;

    std::span<std::uint8_t> memory() override { return ram; }
    void writeSerial(std::string_view bytes) override { output += bytes; }
    int readSerial() override {
        if (input.empty()) return -1;
        const auto c = static_cast<std::uint8_t>(input.front());
        input.erase(0, 1);
        return c;
    }
    std::int64_t nowMs() override { return now; }
    std::uint32_t dataSize() override { return static_cast<std::uint32_t>(data.size()); }
    void writeData(std::uint32_t offset, std::uint8_t byte) override { data.at(offset) = byte; }
    int readData(std::uint32_t offset) override { return offset < data.size() ? data[offset] : -1; }
    std::int32_t sense(Sensor sensor, int number) override { return inputs.value(sensor, number, now / 1000.0); }

    std::int32_t longAt(std::size_t address) const {
        return static_cast<std::int32_t>(ram[address] << 24 | ram[address + 1] << 16 | ram[address + 2] << 8 | ram[address + 3]);
    }
};

inline std::vector<std::uint8_t> compileOrFail(const std::string& source) {
    compiler::CompileJob job;
    job.sourceName = "test.qob";
    job.sourceText = source + "\r\n";
    compiler::compile(job);
    EXPECT_FALSE(job.failed()) << job.errorMessage << " (line " << job.errorLine << ") in\n" << source;
    return job.image;
}

// Runs until the program ends, waits for input that is not there, or the step budget is spent; a sleep
// moves the clock straight to its end.
inline RunState runToRest(Interpreter& vm, FakeHost& host, int budget = 200000) {
    for (int slice = 0; slice < budget / 1000; ++slice) {
        const RunState state = vm.run(1000);
        if (state == RunState::Sleeping) host.now = std::max(host.now, vm.wakeAtMs());
        else if (state == RunState::WaitingInput && host.input.empty()) return state;
        else if (state == RunState::Ended) return state;
    }
    return vm.state();
}

inline std::string runProgram(const std::string& source, const std::string& typed = {}, FakeHost* hostOut = nullptr) {
    FakeHost local;
    FakeHost& host = hostOut ? *hostOut : local;
    host.input = typed;
    Interpreter vm(host);
    std::string error;
    const auto image = compileOrFail(source);
    EXPECT_TRUE(vm.start(image, error)) << error;
    runToRest(vm, host);
    return host.output;
}

}  // namespace orrery::loggervm::test
