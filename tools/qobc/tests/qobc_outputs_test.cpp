// qobc's output files: listing, program image and symbol file, where they go and what happens when one
// of them cannot be written.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "qobc.h"

namespace orrery::qobc {
namespace {

namespace fs = std::filesystem;

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

unsigned wordAt(const std::string& bytes, std::size_t offset) {
    return (static_cast<unsigned char>(bytes[offset]) << 8) | static_cast<unsigned char>(bytes[offset + 1]);
}

// The value of a "[NAME]=hex" line of a symbol file, or -1 when the line is missing.
long crcLine(const std::string& symbols, const std::string& name) {
    const std::string key = "\r\n[" + name + "]=";
    const std::size_t at = symbols.find(key);
    if (at == std::string::npos)
        return -1;
    return std::stol(symbols.substr(at + key.size()), nullptr, 16);
}

class QobcOutputs : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir =
            fs::temp_directory_path() / ("qobc_outputs_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    }
    void TearDown() override {
        ::unsetenv("SOURCE_DATE_EPOCH");
        fs::remove_all(m_dir);
    }

    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(m_dir / name, std::ios::binary) << text;
        return (m_dir / name).string();
    }
    int run(std::vector<std::string> arguments) {
        m_out.str("");
        m_err.str("");
        return qobc::run(arguments, m_out, m_err);
    }
    std::vector<std::string> namesIn(const fs::path& dir) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_dir;
    std::ostringstream m_out;
    std::ostringstream m_err;
};

// The image length and the CRCs sit at different places in the two header forms.
TEST_F(QobcOutputs, EveryExampleWritesThreeFilesWhoseCrcsMatch) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(std::string(ORRERY_SOURCE_DIR) + "/examples")) {
        if (entry.path().extension() != ".qob")
            continue;
        ++count;
        const fs::path& source = entry.path();
        ASSERT_EQ(run({"-b", "-s", "-l", "-o", m_dir.string(), source.string()}), kExitOk) << m_err.str();
        const fs::path stem = m_dir / source.stem();
        const std::string image = contentOf(stem.string() + ".bin");
        const std::string symbols = contentOf(stem.string() + ".sym");
        const std::string listing = contentOf(stem.string() + ".lst");
        ASSERT_GE(image.size(), 14u) << source;
        const bool longHeader = wordAt(image, 0) == 82;
        const std::size_t length =
            longHeader ? (wordAt(image, 2) << 16 | wordAt(image, 4)) : wordAt(image, 2) + 1;
        EXPECT_EQ(image.size(), length) << source;
        EXPECT_EQ(crcLine(symbols, "VCRC"), static_cast<long>(wordAt(image, longHeader ? 44 : 10))) << source;
        EXPECT_EQ(crcLine(symbols, "LCRC"), static_cast<long>(wordAt(image, longHeader ? 48 : 12))) << source;
        EXPECT_TRUE(symbols.starts_with("QUOBOL SYMBOL TABLE\r\n")) << source;
        EXPECT_NE(listing.find("FILE: " + source.filename().string()), std::string::npos) << source;
        EXPECT_NE(listing.find("Tuesday, November 14, 2023   10:13:20 PM"), std::string::npos) << source;
    }
    EXPECT_GE(count, 3);
}

TEST_F(QobcOutputs, SmallProgramWholeFiles) {
    const std::string file = write("tiny.qob", "X = 1\r\nGOTO L\r\nL: STOP");
    ASSERT_EQ(run({"-n", "-b", "-s", "-l", file}), kExitOk) << m_err.str();
    EXPECT_EQ(namesIn(m_dir), (std::vector<std::string>{"tiny.bin", "tiny.lst", "tiny.qob", "tiny.sym"}));
    // X V I 74BC and L L B 0009, CRCs from an independent CRC-16/XMODEM.
    EXPECT_EQ(contentOf(m_dir / "tiny.sym"),
              "QUOBOL SYMBOL TABLE\r\nX V I 74BC\r\nL L B 0009\r\n[VCRC]=a3f2\r\n[LCRC]=72b8\r\n");
    const std::string code("\x0C\x74\xBC\x06\x01\x0B\x11\x00\x09\x19\x19", 11);
    EXPECT_EQ(contentOf(m_dir / "tiny.bin"),
              std::string("\x00\x0E\x00\x18\x00\x18\x00\x04\x0E\x1B\xA3\xF2\x72\xB8", 14) + code);
    const std::string rule(78, '=');
    EXPECT_EQ(contentOf(m_dir / "tiny.lst"),
              rule +
                  "\r\nFILE: tiny.qob                        Tuesday, November 14, 2023   10:13:20 PM\r\n\r\n"
                  "SOURCE:  24         CODE: 11            HEADER: 14         VARIABLES: 4     \r\n" +
                  rule +
                  "\r\n\r\n"
                  "\r\n    ### 00000 ### <0C> VarAddr 74BC"
                  "\r\n    ### 00003 ### <06> BytePush 01"
                  "\r\n    ### 00005 ### <0B> PutVarVal "
                  "\r\n    ### 00006 ### <11> Goto 0009"
                  "\r\n    ### 00009 ### <19> Stop "
                  "\r\n    ### 0000A ### <19> Stop "
                  "\r\n");
}

TEST_F(QobcOutputs, OnlyTheChosenFilesAreWritten) {
    struct ChoiceCase {
        std::vector<std::string> options;
        std::vector<std::string> files;
    };
    const std::vector<ChoiceCase> cases = {
        {{}, {}},
        {{"-l"}, {"p.lst"}},
        {{"--binary"}, {"p.bin"}},
        {{"-s"}, {"p.sym"}},
        {{"-b", "--symbols"}, {"p.bin", "p.sym"}},
    };
    const std::string file = write("p.qob", "A = 1");
    for (const auto& c : cases) {
        const fs::path out = m_dir / "out";
        fs::remove_all(out);
        fs::create_directory(out);
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), {"-o", out.string(), file});
        EXPECT_EQ(run(arguments), kExitOk) << m_err.str();
        EXPECT_EQ(namesIn(out), c.files);
    }
}

TEST_F(QobcOutputs, NothingIsWrittenForAFailedCompile) {
    const std::string file = write("bad.qob", "GOTO Nowhere");
    EXPECT_EQ(run({"-l", "-b", "-s", file}), kExitCompileError);
    EXPECT_EQ(namesIn(m_dir), std::vector<std::string>{"bad.qob"});
}

TEST_F(QobcOutputs, UnwritableImageStopsTheSymbolFileButNotTheListing) {
    const std::string file = write("p.qob", "A = 1");
    fs::create_directory(m_dir / "p.bin");
    EXPECT_EQ(run({"-l", "-b", "-s", file}), kExitUsage);
    EXPECT_EQ(m_err.str(), "qobc: Cannot write " + (m_dir / "p.bin").string() + ": it is a folder\n");
    EXPECT_EQ(namesIn(m_dir), (std::vector<std::string>{"p.bin", "p.lst", "p.qob"}));
}

TEST_F(QobcOutputs, UnwritableListingIsReportedAndTheOthersWritten) {
    const std::string file = write("p.qob", "A = 1");
    fs::create_directory(m_dir / "p.lst");
    EXPECT_EQ(run({"-l", "-b", "-s", file}), kExitUsage);
    EXPECT_EQ(m_err.str(), "qobc: Cannot write " + (m_dir / "p.lst").string() + ": it is a folder\n");
    EXPECT_EQ(namesIn(m_dir), (std::vector<std::string>{"p.bin", "p.lst", "p.qob", "p.sym"}));
}

}  // namespace
}  // namespace orrery::qobc
