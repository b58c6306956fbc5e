// qobc: usage, exit codes and output forms, in-process and as the built program.

#include "orrery_version.h"
#include "qobc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace orrery::qobc {
namespace {

namespace fs = std::filesystem;

class Qobc : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("qobc_test_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string write(const std::string& name, const std::string& text) {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    int run(std::vector<std::string> arguments) {
        m_out.str("");
        m_err.str("");
        return qobc::run(arguments, m_out, m_err);
    }

    fs::path m_dir;
    std::ostringstream m_out;
    std::ostringstream m_err;
};

TEST_F(Qobc, SuccessPrintsTheSummary) {
    const std::string file = write("ok.qob", "X = 1\nPRINT X\n");
    EXPECT_EQ(run({file}), kExitOk);
    EXPECT_EQ(m_out.str(), file + ": program size 23, header 14, variables 4\n");
    EXPECT_EQ(m_err.str(), "");
}

TEST_F(Qobc, CodeIsPrintedAsHexLines) {
    const std::string file = write("code.qob", "X = 1");
    EXPECT_EQ(run({"--code", "-n", file}), kExitOk);
    EXPECT_EQ(m_out.str(), "0000: 0C 74 BC 06 01 0B 19\n" + file + ": program size 7, header 14, variables 4\n");
    const std::string longer = write("long.qob", "MODEL 700\nX = 1\nY = 2\nZ = 3");
    EXPECT_EQ(run({"--code", "--no-line-numbers", longer}), kExitOk);
    EXPECT_EQ(m_out.str(),
              "0000: 00 02 BC 0C 00 40 06 01 0B 0C 00 41 06 02 0B 0C\n"
              "0010: 00 42 06 03 0B 19\n" +
                  longer + ": program size 22, header 82, variables 12\n");
}

TEST_F(Qobc, CompileErrorsUseTheGccForm) {
    const std::string file = write("bad.qob", "X = 1\nY$ = 5\n");
    EXPECT_EQ(run({file}), kExitCompileError);
    EXPECT_EQ(m_err.str(), file + ":2:7: error: mix of numeric and string expr\n");
    // The column is the offending token's own, counted from 1: "*" is the 19th character.
    const std::string star = write("star.qob", "X = 1\nTotal = 0\nI = 2\n  Total = Total + * I\n");
    EXPECT_EQ(run({star}), kExitCompileError);
    EXPECT_EQ(m_err.str(), star + ":4:19: error: parse error\n");
    EXPECT_EQ(m_out.str(), "");
}

TEST_F(Qobc, SymbolLimitIsPassedOn) {
    const std::string file = write("many.qob", "A = 1\nB = 2\nC = 3\n");
    EXPECT_EQ(run({"--max-symbols", "3", file}), kExitCompileError);
    EXPECT_NE(m_err.str().find("Too many symbols"), std::string::npos);
    EXPECT_EQ(run({"--max-symbols", "4", file}), kExitOk);
}

TEST_F(Qobc, UsageErrorsExitTwo) {
    const std::string file = write("u.qob", "STOP\n");
    // Folders standing where the output files should go make every write fail.
    const std::string blocked = (m_dir / "blocked").string();
    for (const char* name : {"u.lst", "u.bin", "u.sym"}) fs::create_directories(m_dir / "blocked" / name);
    struct UsageCase {
        std::vector<std::string> arguments;
        const char* says;
    };
    const UsageCase cases[] = {
        {{}, "no FILE"},
        {{"--frobnicate", file}, "unknown option '--frobnicate'"},
        {{file, file}, "only one FILE"},
        {{"--max-symbols", "many", file}, "--max-symbols needs a number"},
        {{"--max-asm-lines", "0", file}, "--max-asm-lines needs a number"},
        {{"-o"}, "-o needs a value"},
        {{"-o", (m_dir / "missing").string(), file}, "does not exist"},
        {{(m_dir / "absent.qob").string()}, "cannot read"},
        {{m_dir.string()}, "it is a folder"},
        {{"-l", "-o", blocked, file}, "u.lst: it is a folder"},
        {{"-b", "-o", blocked, file}, "u.bin: it is a folder"},
        {{"--symbols", "-o", blocked, file}, "u.sym: it is a folder"},
    };
    for (const UsageCase& c : cases) {
        EXPECT_EQ(run(c.arguments), kExitUsage) << c.says;
        EXPECT_NE(m_err.str().find(c.says), std::string::npos) << m_err.str();
    }
}

TEST_F(Qobc, HelpAndVersion) {
    EXPECT_EQ(run({"--help"}), kExitOk);
    EXPECT_NE(m_out.str().find("--max-asm-lines N"), std::string::npos);
    EXPECT_EQ(run({"--version"}), kExitOk);
    EXPECT_EQ(m_out.str(), "qobc (Orrery) " ORRERY_VERSION_TEXT "\n");
}

TEST_F(Qobc, TheBuiltProgramBehavesTheSame) {
    const std::string good = write("p.qob", "STOP\n");
    const std::string bad = write("q.qob", "STOP STOP\n");
    auto exitCode = [](const std::string& command) {
        const int status = std::system((command + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(exitCode(std::string(QOBC_PATH) + " " + good), kExitOk);
    EXPECT_EQ(exitCode(std::string(QOBC_PATH) + " " + bad), kExitCompileError);
    fs::create_directory(m_dir / "p.lst");
    EXPECT_EQ(exitCode(std::string(QOBC_PATH) + " -l " + good), kExitUsage);
}

TEST(HexDump, SixteenBytesALine) {
    std::vector<unsigned char> bytes(17);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 16);
    EXPECT_EQ(hexDump(bytes),
              "0000: 00 10 20 30 40 50 60 70 80 90 A0 B0 C0 D0 E0 F0\n"
              "0010: 00\n");
    EXPECT_EQ(hexDump({}), "");
}

}  // namespace
}  // namespace orrery::qobc

namespace orrery::qobc {
namespace {

TEST(Examples, EveryExampleCompiles) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(ORRERY_SOURCE_DIR) + "/examples")) {
        if (entry.path().extension() != ".qob") continue;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(run({entry.path().string()}, out, err), kExitOk) << err.str();
        ++count;
    }
    EXPECT_GE(count, 3);
}

}  // namespace
}  // namespace orrery::qobc
