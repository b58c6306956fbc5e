#include "outputfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace orrery::compiler {
namespace {

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() / ("orrery-out-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_dir, ec);
    }

    static std::string contentOf(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void put(const fs::path& path, std::string_view bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::vector<std::string> namesInFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static bool runningAsRoot() { return ::geteuid() == 0; }

    fs::path m_dir;
};

TEST_F(OutputFileTest, WritesExactlyTheBytesAndLeavesNoTemporary) {
    const std::string bytes("\x00\x0E\r\n\x1A\xFF tail", 11);
    const OutputResult result = writeOutputFile(m_dir / "prog.bin", bytes);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(contentOf(m_dir / "prog.bin"), bytes);
    EXPECT_EQ(namesInFolder(), std::vector<std::string>{"prog.bin"});
}

TEST_F(OutputFileTest, ReplacesAnOlderLongerFileAndKeepsItsPermissions) {
    put(m_dir / "prog.lst", std::string(5000, 'x'));
    fs::permissions(m_dir / "prog.lst",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(writeOutputFile(m_dir / "prog.lst", "short").ok);
    EXPECT_EQ(contentOf(m_dir / "prog.lst"), "short");
    EXPECT_EQ(fs::status(m_dir / "prog.lst").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(namesInFolder(), std::vector<std::string>{"prog.lst"});
}

TEST_F(OutputFileTest, EmptyContentGivesAnEmptyFile) {
    ASSERT_TRUE(writeOutputFile(m_dir / "empty.sym", "").ok);
    EXPECT_TRUE(fs::exists(m_dir / "empty.sym"));
    EXPECT_EQ(fs::file_size(m_dir / "empty.sym"), 0u);
}

TEST_F(OutputFileTest, FailuresNameTheFileAndLeaveNothingBehind) {
    struct FailureCase {
        const char* what;
        fs::path path;
        const char* reason;
    };
    fs::create_directory(m_dir / "folder.bin");
    const std::vector<FailureCase> cases = {
        {"missing folder", m_dir / "no-such-folder" / "prog.bin", "No such file or directory"},
        {"target is a folder", m_dir / "folder.bin", "it is a folder"},
    };
    for (const auto& c : cases) {
        const OutputResult result = writeOutputFile(c.path, "data");
        EXPECT_FALSE(result.ok) << c.what;
        EXPECT_EQ(result.error, "Cannot write " + c.path.string() + ": " + c.reason) << c.what;
    }
    EXPECT_EQ(namesInFolder(), std::vector<std::string>{"folder.bin"});
    EXPECT_TRUE(fs::is_empty(m_dir / "folder.bin"));
}

TEST_F(OutputFileTest, WriteProtectedFileIsLeftAsItWas) {
    if (runningAsRoot())
        GTEST_SKIP() << "root may write any file";
    put(m_dir / "prog.bin", "old image");
    fs::permissions(m_dir / "prog.bin", fs::perms::owner_read);
    const OutputResult result = writeOutputFile(m_dir / "prog.bin", "new image");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "Cannot write " + (m_dir / "prog.bin").string() + ": file is write protected");
    EXPECT_EQ(contentOf(m_dir / "prog.bin"), "old image");
    EXPECT_EQ(namesInFolder(), std::vector<std::string>{"prog.bin"});
}

TEST_F(OutputFileTest, ReadOnlyFolderIsReported) {
    if (runningAsRoot())
        GTEST_SKIP() << "root may write any folder";
    fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
    const OutputResult result = writeOutputFile(m_dir / "prog.sym", "x");
    fs::permissions(m_dir, fs::perms::owner_all);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "Cannot write " + (m_dir / "prog.sym").string() + ": Permission denied");
    EXPECT_TRUE(namesInFolder().empty());
}

TEST_F(OutputFileTest, WritingThroughASymbolicLinkKeepsTheLink) {
    fs::create_directory(m_dir / "real");
    put(m_dir / "real" / "prog.bin", "old");
    fs::create_symlink(m_dir / "real" / "prog.bin", m_dir / "link.bin");
    ASSERT_TRUE(writeOutputFile(m_dir / "link.bin", "new").ok);
    EXPECT_TRUE(fs::is_symlink(m_dir / "link.bin"));
    EXPECT_EQ(contentOf(m_dir / "real" / "prog.bin"), "new");
}

TEST(OutputPath, NamedAfterTheSource) {
    struct PathCase {
        const char* source;
        const char* extension;
        fs::path folder;
        fs::path expected;
    };
    const std::vector<PathCase> cases = {
        {"prog.qob", ".lst", {}, "prog.lst"},
        {"NONAME3", ".lst", {}, "NONAME3.lst"},
        {"logger.v2.qob", ".sym", {}, "logger.v2.sym"},
        {"prog.qob", ".bin", "/tmp/out", "/tmp/out/prog.bin"},
        {"/home/u/src/prog.qob", ".bin", {}, "prog.bin"},
        {"/home/u/src/prog.qob", ".bin", "out", "out/prog.bin"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(outputPathFor(c.source, c.extension, c.folder), c.expected) << c.source;
    }
}

}  // namespace
}  // namespace orrery::compiler
