#pragma once
// The interpreter installed in the simulated logger: runs the program the logger holds when its run
// command arrives, against the logger's memory, data memory, line and clock.
//
// The clock a program sees runs `speed` times faster than the logger's own (SLEEP 60 at speed 60 takes
// a second); its sensors are read from the inputs (defaults, or an inputs file, see inputsource.h).

#include <functional>
#include <memory>
#include <string>

#include "inputsource.h"
#include "interpreter.h"
#include "programrunner.h"

namespace orrery::loggervm {

struct RunnerOptions {
    double speed = 1.0;
    InputSource inputs;
    int stepsPerSlice = 5000;  // instructions per step() before the logger gets its line back
    long machineBudget = Interpreter::kMachineBudget;  // machine-code instructions per step()
    std::function<void(const std::string&)> cpuTrace;  // one line per machine-code instruction
};

std::unique_ptr<loggersim::ProgramRunner> makeLoggerRunner(RunnerOptions options);

}  // namespace orrery::loggervm
