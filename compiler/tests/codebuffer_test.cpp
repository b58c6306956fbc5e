// The code buffer: pushes, line-number rules, label chains and the bounds check.

#include "codebuffer.h"

#include <gtest/gtest.h>

#include "compile_helpers.h"

namespace orrery::compiler {
namespace {

TEST(CodeBuffer, PushesTakeTheShortestForm) {
    struct PushCase {
        std::int32_t value;
        const char* code;
    };
    const PushCase cases[] = {
        {0, "06 00"},         {127, "06 7F"},           {128, "07 00 80"},
        {32767, "07 7F FF"},  {32768, "08 00 00 80 00"}, {-1, "08 FF FF FF FF"},
        {-128, "08 FF FF FF 80"}, {0x7FFFFFFF, "08 7F FF FF FF"},
    };
    for (const PushCase& c : cases) {
        CodeBuffer code(100);
        code.pushInt(c.value);
        EXPECT_EQ(test::hex(code.bytes()), c.code) << c.value;
    }
    CodeBuffer floats(100);
    floats.pushFloatBits(0x3F800000);
    EXPECT_EQ(test::hex(floats.bytes()), "08 3F 80 00 00");
}

TEST(CodeBuffer, StringConstants) {
    CodeBuffer code(1000);
    code.emitStringConst("ab");
    code.emitStringConst("");
    EXPECT_EQ(test::hex(code.bytes()), "4D 02 61 62 4D 00");
    CodeBuffer longest(1000);
    longest.emitStringConst(std::string(255, 'x'));
    EXPECT_EQ(longest.size(), 257u);
    EXPECT_EQ(longest.at(1), 0xFF);
}

TEST(CodeBuffer, HighestTokenIsTracked) {
    CodeBuffer code(100);
    EXPECT_EQ(code.highestToken(), 0);
    code.emitOp(Op::Stop);
    code.emitOp(Op::LinNum);
    EXPECT_EQ(code.highestToken(), 258 + 25);
    code.emitOpWord(Op::ExtensionDef, 1);
    EXPECT_EQ(code.highestToken(), 258 + 155);
}

TEST(CodeBuffer, ChainsArePatchedToTheTarget) {
    CodeBuffer code(100);
    code.emitOpWord(Op::Goto, 1);  // first reference points to itself
    code.emitOpWord(Op::Goto, 1);  // then each one to the previous
    code.emitOpWord(Op::Goto, 4);
    EXPECT_TRUE(code.resolveChain(7, 0x1234));
    EXPECT_EQ(test::hex(code.bytes()), "11 12 34 11 12 34 11 12 34");
    // A chain that leaves the code is refused, not followed.
    CodeBuffer broken(100);
    broken.emitOpWord(Op::Goto, 0x4000);
    EXPECT_FALSE(broken.resolveChain(1, 9));
}

TEST(CodeBuffer, NothingIsWrittenPastTheCapacity) {
    CodeBuffer code(4);
    code.emitOpWord(Op::Goto, 1);
    EXPECT_FALSE(code.overflowed());
    code.emitOpWord(Op::Goto, 2);
    EXPECT_TRUE(code.overflowed());
    EXPECT_EQ(code.size(), 3u);
    code.emitByte(1);
    EXPECT_EQ(code.size(), 3u);
}

TEST(CodeBuffer, LineNumberRules) {
    CodeBuffer code(100);
    code.setEmbedLineNumbers(true);
    code.startLineNumbers();
    code.lineFinished(2, LineEnd::Blank);       // overwrites LinNum 1
    code.lineFinished(3, LineEnd::Statements);  // nothing emitted since: overwrites again
    code.emitOp(Op::Stop);
    code.lineFinished(4, LineEnd::Statements);  // code since: a new LinNum
    code.lineFinished(5, LineEnd::Label);       // a label always gets its own
    EXPECT_EQ(test::hex(code.bytes()), "01 00 03 19 01 00 04 01 00 05");

    CodeBuffer off(100);
    off.startLineNumbers();
    off.lineFinished(2, LineEnd::Label);
    EXPECT_TRUE(off.empty());
}

}  // namespace
}  // namespace orrery::compiler
