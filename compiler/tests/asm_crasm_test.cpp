// Cross-check against crasm, an independent 6800/6801 assembler: every instruction and addressing
// mode both assemblers know must give the same bytes. Memory operands use addresses of 256 and above,
// where crasm, like this assembler, takes the extended form.

#include "assembler.h"

#include "asmtesthost.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace orrery::compiler {
namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kOrigin = 0x1000;

bool crasmInstalled() {
    return std::system("command -v crasm >/dev/null 2>&1") == 0;
}

// Operands for each class, in forms both assemblers read the same way.
std::vector<std::string> operandsFor(AsmClass cls) {
    switch (cls) {
        case AsmClass::Inherent:
            return {""};
        case AsmClass::Register8:
            return {"#$41", "#%1010", "#0FFH", "#'A'", "$1234", "300", "5,x", "0,x", "255,x"};
        case AsmClass::Register16:
            return {"#$1234", "#377Q", "$0100", "$FFFF", "7,x"};
        case AsmClass::Store8:
        case AsmClass::Memory:
            return {"$1234", "$0100", "9,x", "0,x"};
        case AsmClass::Relative:
            return {"*", "*+20", "*-30", "*+129", "*-126"};
        case AsmClass::ImmediateToMemory:
        case AsmClass::Bit:
            return {"#1,$10", "#1,4,x"};
    }
    return {};
}

std::vector<std::string> candidateLines() {
    std::vector<std::string> lines;
    for (const auto& ins : kHd6301Instructions) {
        for (const auto& operand : operandsFor(ins.cls)) {
            lines.push_back(std::string(ins.name) + (operand.empty() ? "" : " " + operand));
        }
    }
    // Data directives with the same meaning in both.
    lines.insert(lines.end(),
                 {"db 1,2,$FF", "db 1100B", "dw $1234,5", "dw 'AB'", "ds 3", "db 1+'A'", "dw *"});
    return lines;
}

struct CrasmRun {
    std::map<int, std::string> errors;  // source line -> message
    std::vector<std::uint8_t> code;     // from the origin on
    std::string listing;
};

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Loads the S1 records of an S-record file into one block that starts at the origin.
std::vector<std::uint8_t> loadSRecords(const std::string& text) {
    std::vector<std::uint8_t> code;
    std::istringstream in(text);
    std::string rec;
    while (std::getline(in, rec)) {
        if (rec.size() < 10 || rec.compare(0, 2, "S1") != 0)
            continue;
        const int count = std::stoi(rec.substr(2, 2), nullptr, 16);
        const int address = std::stoi(rec.substr(4, 4), nullptr, 16);
        const std::size_t at = static_cast<std::size_t>(address - kOrigin);
        for (int i = 0; i < count - 3; ++i) {
            if (code.size() < at + i + 1)
                code.resize(at + i + 1);
            code[at + i] = static_cast<std::uint8_t>(std::stoi(rec.substr(8 + 2 * i, 2), nullptr, 16));
        }
    }
    return code;
}

// A listing line such as ">>>> 12 ERROR: Unknown macro or mnemonic": the source line and the message.
std::optional<std::pair<int, std::string>> crasmError(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && line[i] == '>')
        ++i;
    if (i == 0)
        return std::nullopt;
    std::istringstream rest(line.substr(i));
    int number = 0;
    std::string word;
    if (!(rest >> number >> word) || word != "ERROR:")
        return std::nullopt;
    std::string message;
    std::getline(rest >> std::ws, message);
    return std::make_pair(number, message);
}

// The first source line is "cpu", the second the origin; lines[i] is crasm's line i + 3.
CrasmRun runCrasm(const std::vector<std::string>& lines, const fs::path& dir) {
    const fs::path source = dir / "check.asm";
    const fs::path object = dir / "check.s19";
    const fs::path listing = dir / "check.lst";
    {
        std::ofstream out(source);
        out << "\tcpu 6801\n\t* = $" << std::hex << kOrigin << "\n";
        for (const auto& l : lines)
            out << "\t" << l << "\n";
    }
    fs::remove(object);
    const std::string cmd =
        "crasm -x -o '" + object.string() + "' '" + source.string() + "' > '" + listing.string() + "' 2>&1";
    std::system(cmd.c_str());
    CrasmRun run;
    run.listing = readFile(listing);
    std::istringstream in(run.listing);
    std::string l;
    while (std::getline(in, l)) {
        if (auto error = crasmError(l))
            run.errors[error->first - 3] = error->second;
    }
    if (fs::exists(object))
        run.code = loadSRecords(readFile(object));
    return run;
}

std::string ours(const std::vector<std::string>& lines) {
    std::string source;
    for (const auto& l : lines)
        source += "\t" + l + "\r\n";
    testing::FakeHost host;
    return testing::assembleAll(host, source, kOrigin).text;
}

TEST(AsmCrossCheck, SameBytesAsCrasmForEveryCommonInstructionAndMode) {
    if (!crasmInstalled())
        GTEST_SKIP() << "crasm (the 6801 cross assembler) is not installed";
    const fs::path dir = fs::temp_directory_path() / ("orrery-crasm-" + std::to_string(::getpid()));
    fs::create_directories(dir);

    // First run: find what crasm does not know (the 6301 additions and some spellings).
    const std::vector<std::string> candidates = candidateLines();
    const CrasmRun probe = runCrasm(candidates, dir);
    std::vector<std::string> common;
    std::set<std::string> unknownToCrasm;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const auto e = probe.errors.find(static_cast<int>(i));
        if (e == probe.errors.end()) {
            common.push_back(candidates[i]);
        } else if (e->second.find("Unknown") != std::string::npos) {
            unknownToCrasm.insert(candidates[i].substr(0, candidates[i].find(' ')));
        } else {
            ADD_FAILURE() << "crasm refuses \"" << candidates[i] << "\": " << e->second;
        }
    }
    // crasm knows the whole 6801 set; only the 6301 additions and alternative spellings may be missing.
    const std::set<std::string> mayBeMissing = {"aim",  "oim",  "eim",  "tim", "bclr",  "bset",
                                                "btgl", "btst", "xgdx", "slp", "sleep", "lsl",
                                                "lsla", "lslb", "lsld", "bhs", "blo"};
    for (const auto& name : unknownToCrasm)
        EXPECT_TRUE(mayBeMissing.count(name)) << name << " unknown to crasm";
    ASSERT_GT(common.size(), 300u);

    // Second run: only the common lines, all at once, so that branch displacements are checked too.
    const CrasmRun run = runCrasm(common, dir);
    ASSERT_TRUE(run.errors.empty()) << run.listing;
    ASSERT_FALSE(run.code.empty()) << run.listing;
    const std::string expected = testing::hex(run.code);
    const std::string actual = ours(common);
    if (actual != expected) {
        // Narrow the difference down to the first line that differs.
        for (const auto& line : common) {
            const std::string one = ours({line});
            const CrasmRun single = runCrasm({line}, dir);
            EXPECT_EQ(one, testing::hex(single.code)) << line;
            if (one != testing::hex(single.code))
                break;
        }
    }
    EXPECT_EQ(actual, expected);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orrery::compiler
