// The example programs users learn from must compile, with the model they are written for, whichever
// line-number option is set.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "compiler.h"

namespace orrery::compiler {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(ORRERY_SOURCE_DIR) / "examples";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

CompileJob compileFile(const fs::path& path, bool lineNumbers) {
    CompileJob job;
    job.sourceName = path.filename().string();
    job.sourceText = readFile(path) + "\r\n";  // as the workbench hands over an editor's text
    job.flags = lineNumbers ? kEmbedLineNumbers : 0;
    compile(job);
    return job;
}

struct ExampleCase {
    const char* file;
    std::uint16_t model;
};

// One example per area a user meets first.
const ExampleCase kLearnerExamples[] = {
    {"sample_and_store.qob", 510},  // sampling and storing
    {"formatted_print.qob", 600},   // formatted printing
    {"pins_and_timing.qob", 230},   // pins and timing
    {"strings.qob", 210},           // strings
    {"asm_call.qob", 510},          // an assembler routine called with CALL
};

TEST(Examples, EachAreaHasItsExampleForItsModel) {
    for (const auto& c : kLearnerExamples) {
        for (bool lineNumbers : {true, false}) {
            SCOPED_TRACE(std::string(c.file) + (lineNumbers ? " with line numbers" : " without line numbers"));
            const CompileJob job = compileFile(kExamples / c.file, lineNumbers);
            ASSERT_FALSE(job.failed()) << job.errorMessage << " at " << job.errorLine << ":" << job.errorColumn;
            EXPECT_EQ(job.modelCode, c.model);
            EXPECT_FALSE(job.code.empty());
        }
    }
}

// Any .qob added to the folder is held to the same rule.
TEST(Examples, EveryExampleInTheFolderCompiles) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(kExamples)) {
        if (entry.path().extension() != ".qob") continue;
        ++count;
        SCOPED_TRACE(entry.path().filename().string());
        const CompileJob job = compileFile(entry.path(), true);
        EXPECT_FALSE(job.failed()) << job.errorMessage << " at " << job.errorLine << ":" << job.errorColumn;
    }
    EXPECT_GE(count, static_cast<int>(std::size(kLearnerExamples)));
}

}  // namespace
}  // namespace orrery::compiler
