#include "simoptions.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

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

namespace {

// What the options fill in: the options themselves and the files read once every option is known.
struct Parsed {
    SimOptions& o;
    std::string dataPath;
    std::string romPath;
};

// The options without a value.
struct Flag {
    const char* name;
    void (*set)(SimOptions&);
};

const Flag kFlags[] = {
    {"-h", [](SimOptions& o) { o.help = true; }},
    {"--help", [](SimOptions& o) { o.help = true; }},
    {"--version", [](SimOptions& o) { o.version = true; }},
    {"--eprom-refuse", [](SimOptions& o) { o.setup.epromRefuse = true; }},
    {"--wrong-echo", [](SimOptions& o) { o.setup.wrongEcho = true; }},
};

// The options with a value. take() returns what is wrong with the value (the message goes on after
// "OPTION: "), or nothing when it is taken.
struct Valued {
    const char* name;
    std::optional<std::string> (*take)(Parsed&, const std::string& value);
};

using Refusal = std::optional<std::string>;

Refusal integer(const std::string& value, long long low, long long high, long long& number,
                const char* what) {
    if (toInteger(value, low, high, number))
        return std::nullopt;
    return value + " is not " + what;
}

const Valued kValued[] = {
    {"--model",
     [](Parsed& p, const std::string& v) -> Refusal {
         long long n = 0;
         if (!toInteger(v, 0, 65535, n) || findModel(std::uint16_t(n)) == nullptr)
             return v + " is not a known model";
         p.o.setup.model = std::uint16_t(n);
         return std::nullopt;
     }},
    {"--identify",
     [](Parsed& p, const std::string& v) -> Refusal {
         if (v.size() > 127)
             return std::string("the text is longer than 127 characters");
         p.o.setup.identifyText = v;
         return std::nullopt;
     }},
    {"--data",
     [](Parsed& p, const std::string& v) -> Refusal {
         p.dataPath = v;
         return std::nullopt;
     }},
    {"--rom",
     [](Parsed& p, const std::string& v) -> Refusal {
         p.romPath = v;
         return std::nullopt;
     }},
    {"--disk",
     [](Parsed& p, const std::string& v) -> Refusal {
         std::error_code ec;
         if (!std::filesystem::is_directory(v, ec))
             return v + " is not a folder";
         p.o.setup.diskDir = v;
         return std::nullopt;
     }},
    {"--link",
     [](Parsed& p, const std::string& v) -> Refusal {
         p.o.link = v;
         return std::nullopt;
     }},
    {"--trace",
     [](Parsed& p, const std::string& v) -> Refusal {
         p.o.tracePath = v;
         return std::nullopt;
     }},
    {"--baud",
     [](Parsed& p, const std::string& v) -> Refusal {
         long long n = 0;
         if (auto bad = integer(v, 50, 4'000'000, n, "a rate from 50 to 4000000"))
             return bad;
         p.o.faults.baud = int(n);
         return std::nullopt;
     }},
    {"--exit-after",
     [](Parsed& p, const std::string& v) -> Refusal {
         long long n = 0;
         if (auto bad = integer(v, 1, 1'000'000'000, n, "a positive count"))
             return bad;
         p.o.exitAfter = long(n);
         return std::nullopt;
     }},
    {"--drop",
     [](Parsed& p, const std::string& v) -> Refusal {
         if (!toProbability(v, p.o.faults.drop))
             return v + " is not a probability from 0 to 1";
         return std::nullopt;
     }},
    {"--corrupt",
     [](Parsed& p, const std::string& v) -> Refusal {
         if (!toProbability(v, p.o.faults.corrupt))
             return v + " is not a probability from 0 to 1";
         return std::nullopt;
     }},
    {"--delay",
     [](Parsed& p, const std::string& v) -> Refusal {
         long long n = 0;
         if (auto bad = integer(v, 0, 60'000, n, "a number of milliseconds from 0 to 60000"))
             return bad;
         p.o.faults.delay = Micros(n) * 1000;
         return std::nullopt;
     }},
    {"--silent-after",
     [](Parsed& p, const std::string& v) -> Refusal {
         long long n = 0;
         if (auto bad = integer(v, 0, INT64_MAX, n, "a count"))
             return bad;
         p.o.faults.silentAfter = n;
         return std::nullopt;
     }},
    {"--seed",
     [](Parsed& p, const std::string& v) -> Refusal {
         char* end = nullptr;
         errno = 0;
         const unsigned long long seed = std::strtoull(v.c_str(), &end, 10);
         if (v.empty() || v[0] == '-' || *end != '\0' || errno != 0)
             return v + " is not a number";
         p.o.faults.seed = seed;
         return std::nullopt;
     }},
    {"--speed",
     [](Parsed& p, const std::string& v) -> Refusal {
         long long n = 0;
         if (auto bad = integer(v, 1, 1'000'000, n, "a factor from 1 to 1000000"))
             return bad;
         p.o.speed = long(n);
         return std::nullopt;
     }},
    {"--inputs",
     [](Parsed& p, const std::string& v) -> Refusal {
         p.o.inputsPath = v;
         return std::nullopt;
     }},
    {"--trace-cpu",
     [](Parsed& p, const std::string& v) -> Refusal {
         p.o.cpuTracePath = v;
         return std::nullopt;
     }},
};

template <typename Option, std::size_t N>
const Option* findOption(const Option (&table)[N], const std::string& name) {
    for (const Option& option : table) {
        if (name == option.name)
            return &option;
    }
    return nullptr;
}

}  // namespace

ParseResult parseArguments(const std::vector<std::string>& args) {
    ParseResult result;
    SimOptions& o = result.options;
    o.setup = defaultSetup(510);
    Parsed parsed{o, {}, {}};
    auto fail = [&result](const std::string& message) {
        result.error = message;
        return result;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (const Flag* flag = findOption(kFlags, arg)) {
            flag->set(o);
        } else if (const Valued* option = findOption(kValued, arg)) {
            if (i + 1 >= args.size())
                return fail(arg + " needs a value");
            if (const Refusal bad = option->take(parsed, args[++i]))
                return fail(arg + ": " + *bad);
        } else {
            return fail("unknown option " + arg);
        }
    }
    std::string error;
    if (!parsed.dataPath.empty() && !readFile(parsed.dataPath, kDataMemoryLimit, o.setup.data, error)) {
        return fail("--data: " + error);
    }
    if (!parsed.romPath.empty() && !readFile(parsed.romPath, kRomSize, o.setup.rom, error)) {
        return fail("--rom: " + error);
    }
    return result;
}

}  // namespace orrery::loggersim
