#pragma once
// The seam through which a program loaded into the simulated logger can actually run.
//
// The logger model knows the link commands; it does not interpret token code. When the run byte 0x12
// arrives and a runner is installed (LoggerModel::installRunner), the model hands the program to it:
//
//   start(model, programStart)   the image lies in model.memory() from programStart, header first
//   step(model, now)             called again and again while running(): run until the program waits
//                                (INPUT, a delay until a later time) or has done a fair share of work,
//                                then return; output goes to the line with model.write()
//   nextStep(now)                when the runner wants its next step (now = at once); the line driver
//                                sleeps until then or until a byte arrives
//   receive(model, byte)         a byte from the line that is not a link command: keyboard input for
//                                INPUT, and Ctrl+C (0x03), on which the runner is expected to stop
//   stop(model)                  the program must end now (a new load, boot, the run byte again)
//
// While a program runs, the link commands keep working (the variable viewer reads memory of a running
// logger); everything else that arrives goes to receive(). When running() turns false the model prints
// its prompt (CR LF "#"). Time is the logger's clock in microseconds (LoggerModel::now()).
//
// With no runner installed the model only announces the program ("Running <name>") and stays at its
// prompt, so every link command behaves the same with or without a runner.

#include <cstdint>

namespace orrery::loggersim {

class LoggerModel;
using Micros = std::int64_t;

class ProgramRunner {
public:
    virtual ~ProgramRunner() = default;
    virtual void start(LoggerModel& model, std::uint16_t programStart) = 0;
    virtual bool running() const = 0;
    virtual void step(LoggerModel& model, Micros now) = 0;
    virtual Micros nextStep(Micros now) const { return now; }
    virtual void receive(LoggerModel& model, std::uint8_t byte) = 0;
    virtual void stop(LoggerModel& model) = 0;
};

}  // namespace orrery::loggersim
