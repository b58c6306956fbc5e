// The document index: names found by the compiler's scanner, with their kinds, definitions and uses.

#include <gtest/gtest.h>

#include "analysis.h"

namespace orrery::qobls {
namespace {

TEST(Analysis, NamesTheirKindsDefinitionsAndUses) {
    const char* program =
        "MODEL 510 : GOSUB Later : X = LABPTR(Later)\n"  // 0: a label used before its definition
        "DIM A!(3), B(2, 2) : N$ = \"a\"\n"              // 1: arrays, a string variable
        "A!(1) = 2.5 : N$ = N$ + \"b\"\n"                // 2
        "ASM $\n"                                        // 3
        "loop    ldaa X+3   ; X is a variable\n"         // 4: assembler label; mnemonics are no names
        "        bne  loop\n"                            // 5
        "        end\n"                                  // 6
        "Later:\n"                                       // 7
        "  RETURN\n";
    const Analysis analysis = analyse(program, {});
    const struct {
        const char* name;
        NameKind kind;
        TextRange definition;
        std::size_t uses;
    } cases[] = {
        {"Later", NameKind::Label, {7, 0, 5}, 3}, {"A", NameKind::Array, {1, 4, 1}, 2},
        {"B", NameKind::Array, {1, 11, 1}, 1},    {"N", NameKind::Variable, {1, 21, 1}, 3},
        {"X", NameKind::Variable, {0, 26, 1}, 1}, {"loop", NameKind::AsmLabel, {4, 0, 4}, 1},
    };
    for (const auto& c : cases) {
        const auto found = analysis.names.find(c.name);
        ASSERT_NE(found, analysis.names.end()) << c.name;
        EXPECT_EQ(found->second.kind, c.kind) << c.name;
        ASSERT_TRUE(found->second.definition) << c.name;
        EXPECT_EQ(*found->second.definition, c.definition) << c.name;
        EXPECT_EQ(found->second.references.size(), c.uses) << c.name;
    }
    EXPECT_EQ(analysis.names.count("ldaa"), 0u);
    EXPECT_EQ(analysis.names.count("bne"), 0u);
    ASSERT_FALSE(analysis.error) << analysis.error->message;
    EXPECT_EQ(analysis.symbols.at("A").symbolFileLine, "A A F 74B0 3");
    EXPECT_EQ(analysis.symbols.at("B").dim1, 2);
}

TEST(Analysis, AFailedCompileKeepsTheLastSymbolsAndIndexesAnyway) {
    const Analysis good = analyse("MODEL 700\nDIM T(4)\nT(1) = 2\n", {});
    ASSERT_FALSE(good.error);
    EXPECT_EQ(good.symbols.at("T").symbolFileLine, "T A I 0040 4");
    EXPECT_TRUE(good.symbols.at("T").slotAddressing);
    const Analysis bad = analyse("MODEL 700\nDIM T(4)\nT(1) = \n", {}, &good);
    ASSERT_TRUE(bad.error);
    EXPECT_EQ(bad.error->range, (TextRange{2, 7, 0}));
    EXPECT_EQ(bad.error->name, "parse_error");
    EXPECT_EQ(bad.symbols.at("T").symbolFileLine, "T A I 0040 4");
    EXPECT_EQ(bad.names.at("T").references.size(), 2u);
}

TEST(Analysis, EditorTextBecomesOneBytePerUtf16Unit) {
    EXPECT_EQ(compilerText(u"A\u00e9\u20ac"), std::string("A\xe9\xbf"));
    EXPECT_EQ(wordAt("  PRINT X$", 9), "X$");
    EXPECT_EQ(wordAt("  PRINT X$", 4), "PRINT");
    EXPECT_EQ(wordAt("  PRINT X$", 1), "");
}

}  // namespace
}  // namespace orrery::qobls
