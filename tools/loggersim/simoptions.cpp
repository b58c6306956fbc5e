#include "simoptions.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace orrery::loggersim {

namespace {

bool readFile(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    if (bytes.size() > limit) {
        error = path + " holds " + std::to_string(bytes.size()) + " bytes, more than " + std::to_string(limit);
        return false;
    }
    return true;
}

bool toInteger(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

bool toProbability(const std::string& text, double& value) {
    if (text.empty()) return false;
    // Parsed by hand so that the decimal point is "." whatever the locale.
    double result = 0;
    double scale = 1;
    bool point = false;
    bool digits = false;
    for (char c : text) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            digits = true;
            if (point) {
                scale /= 10;
                result += (c - '0') * scale;
            } else {
                result = result * 10 + (c - '0');
            }
        } else {
            return false;
        }
    }
    if (!digits || result > 1.0) return false;
    value = result;
    return true;
}

}  // namespace

std::string usageText() {
    std::string models;
    for (const ModelEntry& entry : kModelTable) models += " " + std::to_string(entry.number);
    return "Usage: loggersim [OPTIONS]\n"
           "Plays one Brackwater logger on a pseudo-terminal and prints the device path.\n"
           "\n"
           "The logger:\n"
           "  --model N         logger model (default 510):" + models + "\n"
           "  --identify TEXT   identify text after the model number (default\n"
           "                    \"BRACKWATER <model> <name> SIMULATED\"; at most 127 characters)\n"
           "  --data FILE       data memory for serial offloads (default: 256 generated samples,\n"
           "                    lines \"NNNN,HH:MM:SS,+TT.TT\" CR LF, 5632 bytes)\n"
           "  --disk DIR        numbered disk files: files whose names begin with their number\n"
           "                    (\"3.dat\"); files received by XMODEM are stored as N.dat\n"
           "                    (default: three small built-in files, 1 to 3, kept in memory)\n"
           "  --rom FILE        image of the EPROM at 0xC000-0xFFFF, at most 16384 bytes, padded with\n"
           "                    0xFF (default: the byte at address A is (A XOR A>>8) AND 0xFF); the\n"
           "                    model byte at 0xFFE8 is always set to match --model\n"
           "  --eprom-refuse    refuse the EPROM export (answer 0x07)\n"
           "\n"
           "Running programs (the run command interprets the loaded token code):\n"
           "  --speed N         the program's clock runs N times faster than real time (1 to\n"
           "                    1000000; default 1): SLEEP 60 takes a second at --speed 60\n"
           "  --inputs FILE     values of the analog channels, temperatures, pins, counters and\n"
           "                    periods over time, one line each, e.g. \"chan 1 sine 2048 1000 600\",\n"
           "                    \"pin 6 square 0 1 20\", \"temp * const 21\" (forms: const V, sine\n"
           "                    OFFSET AMPLITUDE PERIOD, ramp FROM TO PERIOD, square LOW HIGH PERIOD;\n"
           "                    default: channels sine around 2048, temperatures around 20, pins low)\n"
           "  --trace-cpu FILE  write every machine-code instruction a program runs (ASM blocks,\n"
           "                    CALL): address, bytes, mnemonic and the registers after it\n"
           "\n"
           "The line:\n"
           "  --link PATH       also make a symbolic link to the device at PATH\n"
           "  --baud N          send and take in bytes no faster than N baud (10 bits a byte)\n"
           "  --trace FILE      write every byte received (rx) and sent (tx) with its time\n"
           "  --exit-after N    end after N commands\n"
           "\n"
           "Faults, for tests:\n"
           "  --drop P          lose each byte, either direction, with probability P (0 to 1)\n"
           "  --corrupt P       flip one bit of each byte with probability P (0 to 1)\n"
           "  --delay MS        send every answer MS milliseconds late\n"
           "  --silent-after N  answer the first N bytes received, then send nothing\n"
           "  --wrong-echo      echo command bytes with bit 6 flipped\n"
           "  --seed S          seed of the random faults (default 1)\n"
           "\n"
           "  -h, --help        this text\n"
           "      --version     the version\n"
           "\n"
           "Typed at the logger's prompt: help, dir, rx (receive a file by XMODEM),\n"
           "sx (send the data memory), sx N (send disk file N).\n"
           "Bad values exit with code 2.\n";
}

ParseResult parseArguments(const std::vector<std::string>& args) {
    ParseResult result;
    SimOptions& o = result.options;
    o.setup = defaultSetup(510);
    std::string dataPath;
    std::string romPath;
    auto fail = [&result](const std::string& message) {
        result.error = message;
        return result;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto needsValue = [&](std::string& value) {
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        std::string value;
        long long number = 0;
        if (arg == "-h" || arg == "--help") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--eprom-refuse") {
            o.setup.epromRefuse = true;
        } else if (arg == "--wrong-echo") {
            o.setup.wrongEcho = true;
        } else if (arg == "--model" || arg == "--identify" || arg == "--data" || arg == "--disk" ||
                   arg == "--rom" || arg == "--link" || arg == "--baud" || arg == "--trace" ||
                   arg == "--exit-after" || arg == "--drop" || arg == "--corrupt" || arg == "--delay" ||
                   arg == "--silent-after" || arg == "--seed" || arg == "--speed" || arg == "--inputs" ||
                   arg == "--trace-cpu") {
            if (!needsValue(value)) return fail(arg + " needs a value");
            if (arg == "--model") {
                if (!toInteger(value, 0, 65535, number) || findModel(std::uint16_t(number)) == nullptr) {
                    return fail("--model: " + value + " is not a known model");
                }
                o.setup.model = std::uint16_t(number);
            } else if (arg == "--identify") {
                if (value.size() > 127) return fail("--identify: the text is longer than 127 characters");
                o.setup.identifyText = value;
            } else if (arg == "--data") {
                dataPath = value;
            } else if (arg == "--rom") {
                romPath = value;
            } else if (arg == "--disk") {
                std::error_code ec;
                if (!std::filesystem::is_directory(value, ec)) return fail("--disk: " + value + " is not a folder");
                o.setup.diskDir = value;
            } else if (arg == "--link") {
                o.link = value;
            } else if (arg == "--trace") {
                o.tracePath = value;
            } else if (arg == "--baud") {
                if (!toInteger(value, 50, 4'000'000, number)) return fail("--baud: " + value + " is not a rate from 50 to 4000000");
                o.faults.baud = int(number);
            } else if (arg == "--exit-after") {
                if (!toInteger(value, 1, 1'000'000'000, number)) return fail("--exit-after: " + value + " is not a positive count");
                o.exitAfter = long(number);
            } else if (arg == "--drop" || arg == "--corrupt") {
                double p = 0;
                if (!toProbability(value, p)) return fail(arg + ": " + value + " is not a probability from 0 to 1");
                (arg == "--drop" ? o.faults.drop : o.faults.corrupt) = p;
            } else if (arg == "--delay") {
                if (!toInteger(value, 0, 60'000, number)) return fail("--delay: " + value + " is not a number of milliseconds from 0 to 60000");
                o.faults.delay = Micros(number) * 1000;
            } else if (arg == "--silent-after") {
                if (!toInteger(value, 0, INT64_MAX, number)) return fail("--silent-after: " + value + " is not a count");
                o.faults.silentAfter = number;
            } else if (arg == "--speed") {
                if (!toInteger(value, 1, 1'000'000, number)) return fail("--speed: " + value + " is not a factor from 1 to 1000000");
                o.speed = long(number);
            } else if (arg == "--inputs") {
                o.inputsPath = value;
            } else if (arg == "--trace-cpu") {
                o.cpuTracePath = value;
            } else if (arg == "--seed") {
                char* end = nullptr;
                errno = 0;
                const unsigned long long seed = std::strtoull(value.c_str(), &end, 10);
                if (value.empty() || value[0] == '-' || *end != '\0' || errno != 0) return fail("--seed: " + value + " is not a number");
                o.faults.seed = seed;
            }
        } else {
            return fail("unknown option " + arg);
        }
    }
    std::string error;
    if (!dataPath.empty() && !readFile(dataPath, kDataMemoryLimit, o.setup.data, error)) return fail("--data: " + error);
    if (!romPath.empty() && !readFile(romPath, kRomSize, o.setup.rom, error)) return fail("--rom: " + error);
    return result;
}

}  // namespace orrery::loggersim
