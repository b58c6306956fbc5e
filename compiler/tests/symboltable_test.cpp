// The symbol table: variable placement, arrays, labels, capacity and its messages.

#include "symboltable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codebuffer.h"
#include "compile_helpers.h"

namespace orrery::compiler {
namespace {

struct Table {
    explicit Table(int capacity = 1000) : symbols(capacity, [this](std::string_view m) { errors.emplace_back(m); }) {}
    std::vector<std::string> errors;
    SymbolTable symbols;
    std::uint32_t address(std::string_view name) { return symbols.entry(*symbols.variable(name)).address; }
};

TEST(SymbolTable, DownwardAreaPlacement) {
    Table t;
    EXPECT_EQ(t.address("A"), 0x74BCu);
    EXPECT_EQ(t.address("B"), 0x74B8u);
    const int s = *t.symbols.variable("S$");
    EXPECT_EQ(t.symbols.entry(s).address, 0x73B8u);
    EXPECT_EQ(t.symbols.entry(s).second, 0x74B7u);
    EXPECT_EQ(t.symbols.entry(s).flags, kFlagScalar);
    EXPECT_EQ(t.symbols.area().next, 0x73B4);
    EXPECT_EQ(t.address("A"), 0x74BCu);  // found again, not re-allocated
    EXPECT_TRUE(t.errors.empty());
}

TEST(SymbolTable, SlotAreaPlacement) {
    Table t;
    ASSERT_TRUE(t.symbols.resetArea(64, 32767, 1, 4));
    EXPECT_EQ(t.address("A"), 64u);
    EXPECT_EQ(t.address("B"), 65u);
    EXPECT_EQ(t.symbols.area().variablesSize(), 8u);
    EXPECT_FALSE(t.symbols.resetArea(64, 32767, 1, 4));
    EXPECT_EQ(t.errors.back(), "cannot reset label addresses");
}

TEST(SymbolTable, VariablesFillTheAreaDownToItsLimit) {
    Table t(5000);
    const int capacity = (0x74BC - 0x4000) / 4 + 1;
    std::string last;
    for (int i = 0; i < capacity; ++i) t.symbols.variable("v" + std::to_string(i));
    EXPECT_TRUE(t.errors.empty());
    EXPECT_EQ(t.symbols.entry(*t.symbols.find("v" + std::to_string(capacity - 1))).address, 0x4000u);
    EXPECT_FALSE(t.symbols.variable("overflow"));
    EXPECT_EQ(t.errors.back(), "\"overflow\" : Out of variable storage");
}

TEST(SymbolTable, CapacityIsOneLessThanMaxLabels) {
    std::vector<std::string> errors;
    SymbolTable symbols(10, [&](std::string_view m) { errors.emplace_back(m); });
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(symbols.variable("v" + std::to_string(i)));
    EXPECT_FALSE(symbols.variable("v9"));
    EXPECT_EQ(errors, std::vector<std::string>{"\"v9\" : Too many symbols (variables+labels)"});
}

TEST(SymbolTable, Arrays) {
    struct ArrayCase {
        const char* before;  // a variable used first, or ""
        std::int64_t d1, d2;
        const char* error;   // "" when accepted
    };
    const ArrayCase cases[] = {
        {"", 10, 0, ""},
        {"", 3, 4, ""},
        {"", 0, 0, "\"A\" : Invalid array dimension"},
        {"", -1, 0, "\"A\" : Invalid array dimension"},
        {"", 3376, 0, "\"A\" : Invalid array dimension"},
        {"", 3375, 0, ""},
        {"", 1000, 4, "\"A\" : Array too large for remaining variable area"},
        {"", 100, 1000, "\"A\" : Array too large for remaining variable area"},
        {"A", 10, 0, "\"A\" : Can't redefine as array"},
    };
    for (const ArrayCase& c : cases) {
        Table t;
        if (*c.before) t.symbols.variable(c.before);
        const int index = *t.symbols.variable("A");
        const bool ok = t.symbols.makeArray(index, c.d1, c.d2);
        EXPECT_EQ(ok, *c.error == '\0') << c.d1 << "," << c.d2;
        EXPECT_EQ(t.errors.empty() ? "" : t.errors.front(), std::string(c.error)) << c.d1 << "," << c.d2;
    }
    Table t;
    const int b = *t.symbols.variable("B");
    ASSERT_TRUE(t.symbols.makeArray(b, 10, 0));
    EXPECT_EQ(t.symbols.entry(b).address, 0x7498u);
    EXPECT_EQ(t.symbols.entry(b).second, 0x74BFu);
    EXPECT_EQ(t.symbols.area().next, 0x7494);
}

TEST(SymbolTable, TypeSuffixRules) {
    Table t;
    t.symbols.variable("F!");
    EXPECT_TRUE(t.symbols.variable("F"));
    EXPECT_EQ(t.symbols.entry(*t.symbols.variable("F")).type, kTypeFloat);
    t.symbols.variable("I");
    EXPECT_FALSE(t.symbols.variable("I!"));
    EXPECT_FALSE(t.symbols.variable("I$"));
    EXPECT_EQ(t.errors, (std::vector<std::string>{"\"I\" : Integer variable now referred to as floating point",
                                                  "\"I\" : Integer variable now referred to as string"}));
}

TEST(SymbolTable, LongNamesNeverMerge) {
    Table t;
    const std::string stem(31, 'n');
    EXPECT_TRUE(t.symbols.variable(stem + "A"));
    EXPECT_TRUE(t.symbols.variable(stem + "A"));  // the same long name is the same variable
    EXPECT_FALSE(t.symbols.variable(stem + "B"));
    EXPECT_EQ(t.errors.back(), "\"" + stem + "B\" : Name is not unique in its first 31 characters");
    EXPECT_EQ(t.symbols.entry(*t.symbols.find(stem + "A")).name, stem);
}

TEST(SymbolTable, LabelsChainForwardReferences) {
    Table t;
    CodeBuffer code(100);
    for (int i = 0; i < 3; ++i) {
        const auto operand = t.symbols.referenceLabel("L", code.offset(), 0);
        ASSERT_TRUE(operand);
        code.emitOpWord(Op::Goto, *operand);
    }
    EXPECT_TRUE(t.symbols.firstUndefinedLabel());
    ASSERT_TRUE(t.symbols.defineLabel("L", code, 0));
    EXPECT_EQ(test::hex(code.bytes()), "11 00 09 11 00 09 11 00 09");
    EXPECT_FALSE(t.symbols.firstUndefinedLabel());
    EXPECT_EQ(*t.symbols.referenceLabel("L", 50, 0), 9);
    EXPECT_FALSE(t.symbols.defineLabel("L", code, 0));
    EXPECT_EQ(t.errors.back(), "\"L\" : Multiple declaration of label");
    EXPECT_FALSE(t.symbols.defineLabel("PRINT", code, 0));
    EXPECT_EQ(t.errors.back(), "\"PRINT\" : Can't use keyword as label");
}

TEST(SymbolTable, ExtensionsAreNumberedInOrder) {
    Table t;
    EXPECT_EQ(t.symbols.entry(*t.symbols.defineExtension("One")).second, 1u);
    EXPECT_EQ(t.symbols.entry(*t.symbols.defineExtension("Two")).second, 2u);
    EXPECT_TRUE(t.symbols.isExtension("Two"));
    EXPECT_FALSE(t.symbols.checkExtension("Three", kFlagExtension));
    EXPECT_EQ(t.errors.back(), "\"Three\" : Extension names must be defined first");
    t.symbols.variable("V");
    EXPECT_FALSE(t.symbols.checkExtension("V", kFlagExtension));
    EXPECT_EQ(t.errors.back(), "\"V\" : Can't redefine symbol as an extension or external");
}

TEST(SymbolTable, VisitOrderIsBucketThenNewestFirst) {
    Table t;
    t.symbols.variable("ab");  // 'a'+'b' = 195
    t.symbols.variable("ba");  // same bucket, newer
    t.symbols.variable("A");   // 65
    const std::vector<int> order = t.symbols.visitOrder();
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(t.symbols.entry(order[0]).name, "A");
    EXPECT_EQ(t.symbols.entry(order[1]).name, "ba");
    EXPECT_EQ(t.symbols.entry(order[2]).name, "ab");
}

}  // namespace
}  // namespace orrery::compiler
