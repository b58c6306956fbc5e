// The benchmark's generated programs are only worth their figures when they are valid, complete and
// really use every statement kind: these tests check that, and that our assembler and crasm agree on the
// generated instruction block byte for byte.

#include "benchprograms.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "compiler.h"
#include "tokens.h"

namespace orrery::bench {
namespace {

compiler::CompileJob compiled(const std::string& text, std::int16_t maxLabels = 1000, std::int16_t maxAsmLines = 1000) {
    compiler::CompileJob job;
    job.flags = 0;  // no line numbers: the machine code stands at a fixed offset
    job.sourceName = "BENCH.qob";
    job.sourceText = text;
    job.maxLabels = maxLabels;
    job.maxAsmLines = maxAsmLines;
    compiler::compile(job);
    return job;
}

bool compilerHasAssembler() {
    return !compiled("MODEL 500\r\nDFSIZE 10\r\nASM $\r\n\tnop\r\n\tend\r\n").failed();
}

int countLines(const std::string& text) {
    int lines = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
    return lines;
}

TEST(BenchPrograms, LineCountsAddUpAndEveryProgramCompiles) {
    struct Case {
        int total;
        int perProgram;
        std::size_t programs;
    };
    const Case cases[] = {{20000, 2000, 11}, {2500, 2000, 2}, {300, 2000, 1}, {4000, 1000, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.total);
        const auto programs = generateQuobolPrograms(c.total, c.perProgram, compilerHasAssembler());
        EXPECT_EQ(programs.size(), c.programs);
        int lines = 0;
        for (const auto& program : programs) {
            EXPECT_EQ(countLines(program.text), program.lines);
            EXPECT_LE(program.lines, c.perProgram);
            const auto job = compiled(program.text);
            EXPECT_FALSE(job.failed()) << job.errorMessage << " at line " << job.errorLine;
            lines += program.lines;
        }
        EXPECT_EQ(lines, c.total);
    }
}

// Every keyword that starts a statement, or is a function, appears somewhere in the programs.
TEST(BenchPrograms, EveryKeywordIsUsed) {
    std::string all;
    for (const auto& program : generateQuobolPrograms(20000, 2000, true)) all += program.text;
    for (std::string_view keyword : compiler::kKeywordNames) {
        // ASM appears only when the compiler has an assembler; the others are parts of statements.
        if (keyword == "ASM" && !compilerHasAssembler()) continue;
        EXPECT_NE(all.find(std::string(keyword)), std::string::npos) << keyword;
    }
}

TEST(BenchPrograms, AssemblerLinesHaveTheRequestedCountAndUniqueLabels) {
    for (int count : {1, 9, 10, 11, 20000}) {
        const auto lines = generateAssemblerLines(count);
        EXPECT_EQ(static_cast<int>(lines.size()), count);
        std::set<std::string> labels;
        for (const auto& line : lines) {
            if (!line.empty() && line[0] != '\t') {
                EXPECT_TRUE(labels.insert(line.substr(0, line.find('\t'))).second) << line;
            }
        }
    }
}

// Loads the S1 records of crasm's output into one block that starts at the origin.
std::vector<std::uint8_t> loadSRecords(const std::string& text, std::uint16_t origin) {
    std::vector<std::uint8_t> code;
    std::istringstream in(text);
    std::string record;
    while (std::getline(in, record)) {
        if (record.size() < 10 || record.compare(0, 2, "S1") != 0) continue;
        const int count = std::stoi(record.substr(2, 2), nullptr, 16);
        const std::size_t at = static_cast<std::size_t>(std::stoi(record.substr(4, 4), nullptr, 16) - origin);
        for (int i = 0; i < count - 3; ++i) {
            if (code.size() < at + i + 1) code.resize(at + i + 1);
            code[at + i] = static_cast<std::uint8_t>(std::stoi(record.substr(8 + 2 * i, 2), nullptr, 16));
        }
    }
    return code;
}

TEST(BenchPrograms, OurAssemblerAndCrasmAgreeOnTheBlock) {
    if (!compilerHasAssembler()) GTEST_SKIP() << "the compiler has no inline assembler yet";
    if (std::system("command -v crasm >/dev/null 2>&1") != 0) GTEST_SKIP() << "crasm is not installed";
    constexpr std::uint16_t kOrigin = 0x100;
    const auto lines = generateAssemblerLines(2000);

    const auto job = compiled(assemblerProgramForCompiler(lines, kOrigin), 1000, 2100);
    ASSERT_FALSE(job.failed()) << job.errorMessage << " at line " << job.errorLine;

    const auto dir = std::filesystem::temp_directory_path() / ("orrery-benchtest-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "block.asm") << assemblerProgramForCrasm(lines, kOrigin);
    const std::string command = "crasm -l -o '" + (dir / "block.s19").string() + "' '" + (dir / "block.asm").string() +
                                "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(dir / "block.s19");
    std::stringstream records;
    records << in.rdbuf();
    const auto theirs = loadSRecords(records.str(), kOrigin);
    std::filesystem::remove_all(dir);

    // Our code: WordPush address, WordPush length, AsmLoad, then the machine code and END's RTS.
    ASSERT_GE(job.code.size(), theirs.size() + 7);
    const std::vector<std::uint8_t> ours(job.code.begin() + 7, job.code.begin() + 7 + static_cast<long>(theirs.size()));
    EXPECT_EQ(ours, theirs);
}

}  // namespace
}  // namespace orrery::bench
