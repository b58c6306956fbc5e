// Feeds 10 MB of logger-like output through the terminal model in text mode and in hex display mode
// (with capture on) and prints the bytes per second, against the fastest baud rate the workbench offers.
//
//   build/bench/termscreen_bench [megabytes]
//
// The goal is to stay at least 1000 times faster than a 57600 baud line, so that a burst never freezes
// the window: at 10 bits per character that line carries 5760 bytes per second.
//
// Rates are per second of this process's CPU time, so that other work on a shared machine does not
// count against the model; the wall-clock rate is printed beside it.

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <string>
#include <vector>

#include "terminallogic.h"

namespace {

using orrery::term::Emulator;
using orrery::term::Screen;
using orrery::term::TerminalLogic;

constexpr double kFastestBaud = 57600.0;
constexpr double kLineBytesPerSecond = kFastestBaud / 10.0;  // start + 8 data + stop bit

// Lines of readings as a logger prints them, with the odd tab and bell, repeated to the wanted size.
std::vector<std::uint8_t> loggerText(std::size_t size) {
    const std::string sample =
        "2026-12-08 14:03:07\tT1=21.53\tT2=19.87\tRH=64.2%\tV=12.61\r\n"
        "ALARM\x07 level high at station 4, logged 000123 records\r\n";
    std::vector<std::uint8_t> bytes;
    bytes.reserve(size);
    while (bytes.size() < size) {
        bytes.push_back(std::uint8_t(sample[bytes.size() % sample.size()]));
    }
    return bytes;
}

std::vector<std::uint8_t> memoryDump(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = 2463534242u;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = std::uint8_t(x);
    }
    return bytes;
}

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

struct Rates {
    double cpu;
    double wall;
};

Rates feed(const std::vector<std::uint8_t>& bytes, bool hex) {
    Screen screen(50);
    Emulator emulator(screen);
    TerminalLogic logic(emulator);
    logic.setTabSize(8, 80);
    logic.setHexDisplay(hex);
    logic.setCapturing(true);
    std::size_t captured = 0;
    // Slices of the size the window takes per turn of its event loop.
    constexpr std::size_t kSlice = 32 * 1024;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds();
    for (std::size_t at = 0; at < bytes.size(); at += kSlice) {
        const std::size_t count = std::min(kSlice, bytes.size() - at);
        logic.receive(bytes.data() + at, count);
        captured += logic.takeCaptured().size();
        screen.takeDirty();
    }
    const double cpu = cpuSeconds() - cpuStart;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (captured != bytes.size()) {
        std::fprintf(stderr, "captured %zu of %zu bytes\n", captured, bytes.size());
        std::exit(1);
    }
    return {double(bytes.size()) / cpu, double(bytes.size()) / elapsed.count()};
}

void report(const char* mode, const Rates& rates) {
    std::printf("%-5s %12.0f bytes/s  %7.1f MB/s  %6.0f x a %g baud line   (wall clock: %.1f MB/s)\n", mode,
                rates.cpu, rates.cpu / 1e6, rates.cpu / kLineBytesPerSecond, kFastestBaud, rates.wall / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::size_t(std::atoi(argv[1])) : 10;
    const std::size_t size = megabytes * 1024 * 1024;
    std::printf("%zu MB through the terminal model, capture on\n", megabytes);
    const Rates text = feed(loggerText(size), false);
    report("text", text);
    const Rates hex = feed(memoryDump(size), true);
    report("hex", hex);
    const double slowest = std::min(text.cpu, hex.cpu);
    std::printf("goal: 1000 x = %.0f bytes/s -> %s\n", 1000 * kLineBytesPerSecond,
                slowest >= 1000 * kLineBytesPerSecond ? "met" : "NOT met");
    return 0;
}
