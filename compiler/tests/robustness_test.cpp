// Inputs that once made the compiler produce wrong code or misbehave, found by fuzzing and by the
// benchmark's large programs. Each row is a source (often generated) and the error it must give.

#include <gtest/gtest.h>

#include <string>

#include "compile_helpers.h"

namespace orrery::compiler {
namespace {

using test::compileSource;

std::string repeatLines(const std::string& line, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += line + "\n";
    return text;
}

struct GeneratedErrorCase {
    const char* what;
    std::string source;
    bool lineNumbers;
    const char* message;
};

// Code offsets are 16-bit: a program whose code passes 65535 bytes used to compile "successfully" with
// its jumps wrapped to the start of the code.
TEST(LargePrograms, CodeThatOutgrowsSixteenBitOffsetsIsRefused) {
    const std::string longString(250, 'x');
    const GeneratedErrorCase cases[] = {
        {"forward jump over 81000 bytes", "GOTO Last\n" + repeatLines("A=1", 9000) + "Last:\nSTOP", true,
         "program too large for the code buffer"},
        {"backward jump from beyond 64K", "Top:\n" + repeatLines("A=1", 11000) + "GOTO Top", false,
         "program too large for the code buffer"},
        {"long string constants", repeatLines("PRINT \"" + longString + "\"", 270), false,
         "program too large for the code buffer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto result = compileSource(c.source, c.lineNumbers);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.message, c.message);
        EXPECT_GE(result.line, 1);
    }
}

// Just below the limit everything still compiles, with the jump landing on its label.
TEST(LargePrograms, CodeJustBelowTheOffsetLimitCompiles) {
    // Goto (3 bytes), then 6 bytes per "A=1" line (VarAddr, BytePush, PutVarVal), then the Stop.
    constexpr std::size_t kLines = 10900;
    const auto result = compileSource("GOTO Last\n" + repeatLines("A=1", kLines) + "Last:\nSTOP", false);
    ASSERT_TRUE(result.ok) << result.message;
    const auto& code = result.job.code;
    ASSERT_GE(code.size(), 4u);
    const std::size_t target = static_cast<std::size_t>(code[1] << 8 | code[2]);
    EXPECT_EQ(target, 3 + 6 * kLines);
    EXPECT_EQ(code[target], 0x19);  // Stop
}

}  // namespace
}  // namespace orrery::compiler
