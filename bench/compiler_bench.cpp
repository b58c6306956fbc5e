// compiler_bench: how fast the compiler and its inline assembler are, in source lines per second, and
// how the assembler compares with crasm on the same instructions in the same run.
//
// Usage: compiler_bench [--lines N] [--asm-lines N] [--repeat N] [--write DIR]
// --write saves the generated Quobol programs as DIR/bench1.qob ... for a look or a profile with qobc.
// It is a measurement, not a test: it fails only when a generated program does not compile.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "benchprograms.h"
#include "compiler.h"

namespace {

using namespace orrery;

extern "C" char** environ;

constexpr int kLinesPerProgram = 2000;
constexpr std::uint16_t kAsmOrigin = 0x100;

struct Settings {
    int lines = 20000;
    int asmLines = 20000;
    int repeat = 5;
    std::string writeFolder;  // --write DIR: also save the generated sources there
};

// Times are processor time (user + system), ours from this process and crasm's from its child
// process, so that other work on a shared machine disturbs the figures as little as possible.
double ownCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The best of `repeat` runs: the least disturbed by other work on the machine.
template <typename Clock, typename Run>
double bestTime(int repeat, Clock clock, Run run) {
    double best = 1e30;
    for (int i = 0; i < repeat; ++i) {
        const double start = clock();
        if (!run()) return -1;
        best = std::min(best, clock() - start);
    }
    return best;
}

// Runs a program with its output discarded; true when it exits with 0.
bool runQuietly(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return false;
    int status = 0;
    if (waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool compileText(const std::string& text, std::int16_t maxLabels, std::int16_t maxAsmLines, bool report) {
    compiler::CompileJob job;
    job.sourceName = "BENCH.qob";
    job.sourceText = text;
    job.maxLabels = maxLabels;
    job.maxAsmLines = maxAsmLines;
    if (compiler::compile(job) == compiler::kCompileOk) return true;
    if (report) {
        std::fprintf(stderr, "compiler_bench: generated program does not compile: line %d column %u: %s\n",
                     job.errorLine, job.errorColumn, job.errorMessage.c_str());
    }
    return false;
}

// The assembler has arrived when a one-line ASM block compiles.
bool compilerHasAssembler() {
    return compileText("MODEL 500\r\nDFSIZE 10\r\nASM $\r\n\tnop\r\n\tend\r\n", 1000, 1000, false);
}

int benchCompiler(const Settings& settings) {
    const bool withAssembler = compilerHasAssembler();
    const auto programs = bench::generateQuobolPrograms(settings.lines, kLinesPerProgram, withAssembler);
    int lines = 0;
    for (const auto& program : programs) lines += program.lines;
    if (!settings.writeFolder.empty()) {
        for (std::size_t i = 0; i < programs.size(); ++i) {
            std::ofstream(std::filesystem::path(settings.writeFolder) / ("bench" + std::to_string(i + 1) + ".qob"),
                          std::ios::binary)
                << programs[i].text;
        }
    }
    const double seconds = bestTime(settings.repeat, ownCpuSeconds, [&] {
        for (const auto& program : programs) {
            if (!compileText(program.text, 1000, 1000, true)) return false;
        }
        return true;
    });
    if (seconds < 0) return 1;
    std::printf("compiler:  %d lines in %zu programs%s: %.4f s CPU, %.0f lines/s\n", lines, programs.size(),
                withAssembler ? " (with ASM blocks)" : "", seconds, lines / seconds);
    return 0;
}

double crasmTime(const std::string& source, int repeat) {
    char folder[] = "/tmp/orrery-bench-XXXXXX";
    if (!mkdtemp(folder)) return -1;
    const std::filesystem::path dir = folder;
    std::ofstream(dir / "bench.asm") << source;
    const std::vector<std::string> command = {"crasm", "-l", "-o", (dir / "bench.s19").string(),
                                              (dir / "bench.asm").string()};
    const double seconds = bestTime(repeat, childCpuSeconds, [&] { return runQuietly(command); });
    std::filesystem::remove_all(dir);
    return seconds;
}

int benchAssembler(const Settings& settings) {
    if (!compilerHasAssembler()) {
        std::printf("assembler: not measured: this compiler has no inline assembler yet\n");
        return 0;
    }
    const auto lines = bench::generateAssemblerLines(settings.asmLines);
    const std::string ours = bench::assemblerProgramForCompiler(lines, kAsmOrigin);
    // Two labels per ten lines; the line table needs one entry more than the lines.
    const auto maxLabels = static_cast<std::int16_t>(std::min(32767, settings.asmLines / 4 + 100));
    const auto maxAsmLines = static_cast<std::int16_t>(std::min(32767, settings.asmLines + 10));
    const double ourSeconds =
        bestTime(settings.repeat, ownCpuSeconds, [&] { return compileText(ours, maxLabels, maxAsmLines, true); });
    if (ourSeconds < 0) return 1;
    std::printf("assembler: %d lines: %.4f s CPU, %.0f lines/s\n", settings.asmLines, ourSeconds,
                settings.asmLines / ourSeconds);
    if (std::system("command -v crasm >/dev/null 2>&1") != 0) {
        std::printf("crasm:     not installed, no ratio\n");
        return 0;
    }
    const double crasmSeconds = crasmTime(bench::assemblerProgramForCrasm(lines, kAsmOrigin), settings.repeat);
    if (crasmSeconds < 0) {
        std::fprintf(stderr, "compiler_bench: crasm failed on the generated block\n");
        return 1;
    }
    std::printf("crasm:     %d lines: %.4f s CPU, %.0f lines/s (its process start included)\n", settings.asmLines,
                crasmSeconds, settings.asmLines / crasmSeconds);
    std::printf("ratio:     our time / crasm's time = %.3f\n", ourSeconds / crasmSeconds);
    return 0;
}

bool parseArguments(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--write" && i + 1 < argc) {
            settings.writeFolder = argv[++i];
            continue;
        }
        int* target = option == "--lines" ? &settings.lines
                      : option == "--asm-lines" ? &settings.asmLines
                      : option == "--repeat" ? &settings.repeat
                                             : nullptr;
        if (!target || i + 1 == argc) return false;
        *target = std::atoi(argv[++i]);
        if (*target <= 0) return false;
    }
    return settings.asmLines < 32000;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!parseArguments(argc, argv, settings)) {
        std::fprintf(stderr, "Usage: compiler_bench [--lines N] [--asm-lines N (< 32000)] [--repeat N] [--write DIR]\n");
        return 2;
    }
    const int compilerResult = benchCompiler(settings);
    const int assemblerResult = benchAssembler(settings);
    return compilerResult != 0 ? compilerResult : assemblerResult;
}
