// loggersim: a simulated Brackwater logger on a pseudo-terminal. See --help, and loggermodel.h for what
// the logger does with each command.

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "loggerline.h"
#include "loggerrunner.h"
#include "orrery_version.h"
#include "ptyserver.h"
#include "simoptions.h"

namespace {
std::atomic<bool> g_stop{false};
void requestStop(int) {
    g_stop = true;
}
}  // namespace

int main(int argc, char** argv) {
    using namespace orrery::loggersim;
    const ParseResult parsed = parseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "loggersim: %s\nTry 'loggersim --help'.\n", parsed.error.c_str());
        return 2;
    }
    const SimOptions& options = parsed.options;
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("loggersim (Orrery) " ORRERY_VERSION_TEXT);
        return 0;
    }

    std::ofstream traceFile;
    std::unique_ptr<Trace> trace;
    if (!options.tracePath.empty()) {
        traceFile.open(options.tracePath, std::ios::out | std::ios::trunc);
        if (!traceFile) {
            std::fprintf(stderr, "loggersim: --trace: cannot write %s\n", options.tracePath.c_str());
            return 2;
        }
        trace = std::make_unique<Trace>(traceFile);
    }

    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::ofstream cpuTraceFile;
    orrery::loggervm::RunnerOptions runnerOptions;
    if (!options.cpuTracePath.empty()) {
        cpuTraceFile.open(options.cpuTracePath, std::ios::out | std::ios::trunc);
        if (!cpuTraceFile) {
            std::fprintf(stderr, "loggersim: --trace-cpu: cannot write %s\n", options.cpuTracePath.c_str());
            return 2;
        }
        runnerOptions.cpuTrace = [&cpuTraceFile](const std::string& line) { cpuTraceFile << line << '\n'; };
    }
    runnerOptions.speed = double(options.speed);
    if (std::string inputsError; !options.inputsPath.empty() && !runnerOptions.inputs.loadFile(options.inputsPath, inputsError)) {
        std::fprintf(stderr, "loggersim: --inputs: %s\n", inputsError.c_str());
        return 2;
    }

    PtyServer server;
    std::string error;
    if (!server.open(options.link, error)) {
        std::fprintf(stderr, "loggersim: %s\n", error.c_str());
        return error.rfind("--link", 0) == 0 ? 2 : 1;
    }
    LoggerModel model(options.setup);
    model.installRunner(orrery::loggervm::makeLoggerRunner(std::move(runnerOptions)));
    model.onNote = [](const std::string& text) { std::fprintf(stderr, "loggersim: %s\n", text.c_str()); };
    LoggerLine line(model, options.faults, trace.get());

    std::printf("%s\n", server.devicePath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "loggersim: Brackwater %u logger on %s%s%s\n", unsigned(model.modelNumber()),
                 server.devicePath().c_str(), options.link.empty() ? "" : ", linked as ", options.link.c_str());
    server.serve(line, options.exitAfter, g_stop);
    return 0;
}
