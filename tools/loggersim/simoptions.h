#pragma once
// The command line of loggersim, parsed into a logger setup, line faults and the driver's own options.
// Every bad value is refused with a message naming the option (exit code 2 in main()).

#include <string>
#include <vector>

#include "loggerline.h"
#include "loggermodel.h"

namespace orrery::loggersim {

struct SimOptions {
    LoggerSetup setup;
    LineFaults faults;
    std::string link;       // also make a symbolic link to the device here
    std::string tracePath;  // write the trace here
    std::string cpuTracePath;  // write every machine-code instruction a program runs here
    long exitAfter = -1;    // end after this many commands (-1: run until killed)
    long speed = 1;         // a running program's clock runs this many times faster than real time
    std::string inputsPath; // sensor values for running programs (read by main(), see inputsource.h)
    bool help = false;
    bool version = false;
};

struct ParseResult {
    SimOptions options;
    std::string error;  // empty when the command line was sound
};

ParseResult parseArguments(const std::vector<std::string>& args);
// The --help text.
std::string usageText();

}  // namespace orrery::loggersim
