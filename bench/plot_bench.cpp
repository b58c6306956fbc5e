// Feeds logger output through the plotter's line splitter, line parser and sample store, and prints lines
// and bytes per second against what a 57600 baud line can carry (5760 bytes per second at 10 bits a
// character). Also feeds a memory dump (random bytes), which the plotter must skip as fast.
//
//   build/bench/plot_bench [megabytes]
//
// The goal is at least 100 times the line's rate. Rates are per second of this process's CPU time, so
// that other work on a shared machine does not count against them; the wall-clock rate is printed beside.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "linesplitter.h"
#include "plotmodel.h"

namespace {

using namespace orrery::plot;

constexpr double kFastestBaud = 57600.0;
constexpr double kLineBytesPerSecond = kFastestBaud / 10.0;

// Three kinds of lines a logger prints: named readings, a comma list and a line with a time and units.
std::string loggerText(std::size_t size) {
    std::string text;
    text.reserve(size + 128);
    for (unsigned i = 0; text.size() < size; ++i) {
        const std::string n = std::to_string(i % 997);
        text += "T1=21." + n + " T2=19.8" + n + " RH=64." + n + "%\r\n";
        text += "21." + n + ",19.87,-0." + n + "e1\r\n";
        text += "2026-12-08 14:03:07\tV=12.61V\tI=" + n + ".5mA\r\n";
    }
    return text;
}

std::string memoryDump(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t x = 2463534242u;
    for (char& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = char(x);
    }
    return bytes;
}

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

struct Result {
    double bytesPerCpuSecond;
    double linesPerCpuSecond;
    double bytesPerWallSecond;
    std::uint64_t rows;
};

Result feed(const std::string& bytes) {
    LineSplitter splitter;
    PlotModel model(50000);
    std::vector<Reading> readings;
    std::uint64_t lines = 0;
    std::uint64_t rows = 0;
    // Pieces of the size the terminal hands on per turn of its event loop.
    constexpr std::size_t kSlice = 32 * 1024;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds();
    for (std::size_t at = 0; at < bytes.size(); at += kSlice) {
        splitter.feed(std::string_view(bytes).substr(at, kSlice), [&](std::string_view line) {
            ++lines;
            if (parseLine(line, readings) > 0) {
                model.addRow(readings, ++rows, 0.0);
            }
        });
    }
    const double cpu = cpuSeconds() - cpuStart;
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    return {double(bytes.size()) / cpu, double(lines) / cpu, double(bytes.size()) / wall.count(), rows};
}

void report(const char* what, const Result& r) {
    std::printf("%-6s %10.0f lines/s  %7.1f MB/s  %7.0f x a %g baud line  (wall clock %.1f MB/s, %llu samples)\n",
                what, r.linesPerCpuSecond, r.bytesPerCpuSecond / 1e6, r.bytesPerCpuSecond / kLineBytesPerSecond,
                kFastestBaud, r.bytesPerWallSecond / 1e6, static_cast<unsigned long long>(r.rows));
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::size_t(std::atoi(argv[1])) : 10;
    const std::size_t size = megabytes * 1024 * 1024;
    std::printf("%zu MB through the plotter's splitter, parser and sample store\n", megabytes);
    const Result text = feed(loggerText(size));
    report("text", text);
    const Result dump = feed(memoryDump(size));
    report("binary", dump);
    const double slowest = std::min(text.bytesPerCpuSecond, dump.bytesPerCpuSecond);
    std::printf("goal: 100 x = %.0f bytes/s -> %s\n", 100 * kLineBytesPerSecond,
                slowest >= 100 * kLineBytesPerSecond ? "met" : "NOT met");
    return 0;
}
