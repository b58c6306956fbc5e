// The scanner's token rules: source -> the tokens it delivers.

#include "scanner.h"

#include <gtest/gtest.h>

#include <string>

#include "tokens.h"

namespace orrery::compiler {
namespace {

std::string describe(std::string_view source, std::function<bool(std::string_view)> isExtension = {}) {
    Scanner scanner(source, source, std::move(isExtension));
    std::string out;
    for (int guard = 0; guard < 1000; ++guard) {
        const Token token = scanner.next();
        if (token.code == kEnd) break;
        if (!out.empty()) out += ' ';
        if (token.code == kNewline) {
            out += "NL";
        } else if (token.code == kErrorToken) {
            out += "ERR";
        } else if (token.code >= kFirstKeyword && token.code < kLastKeyword) {
            out += std::string(tokenName(token.code));
        } else if (token.code > 255) {
            out += std::string(tokenName(token.code)) + "[" + std::string(scanner.text(token)) + "]";
        } else {
            out += "'" + std::string(scanner.text(token)) + "'";
        }
    }
    return out;
}

struct ScanCase {
    const char* source;
    const char* tokens;
};

TEST(Scanner, TokenRules) {
    const ScanCase cases[] = {
        {"X=1:Y=2", "SYMBOL[X] '=' DECNUM[1] ':' SYMBOL[Y] '=' DECNUM[2]"},
        {"Y: X=1", "LABELDEF[Y:] SYMBOL[X] '=' DECNUM[1]"},
        {"  Loop_1@:", "LABELDEF[  Loop_1@:]"},
        {"X :", "SYMBOL[X] ':'"},
        {"A$:", "SYMBOL[A$] ':'"},
        {"REM:", "REM ':'"},
        {"  stop:", "STOP ':'"},
        {"X = 'A'", "SYMBOL[X] '=' CHARCONST['A']"},
        {"'A'", "COMMENT['A']"},
        {" 'A", "''' SYMBOL[A]"},
        {"X = ''", "SYMBOL[X] '=' ''' '''"},
        {"a$b", "SYMBOL[a$] SYMBOL[b]"},
        {"a!b", "SYMBOL[a!] SYMBOL[b]"},
        {"#3 #4 #F", "GFWFMT[#3] STRSIZ[#4] AMBIG[#F]"},
        {"#0 #1 #2 #05 #12 #5H #0h", "LDZERO[#0] STRSIZ[#1] STRSIZ[#2] GFWFMT[#05] GFWFMT[#12] GFWFMT[#5H] GFWFMT[#0h]"},
        {"#5.2F #05.2f #.2S #0F #1F", "FLTFMT[#5.2F] FLTFMT[#05.2f] FLTFMT[#.2S] FLTFMT[#0F] FLTFMT[#1F]"},
        {"#b #d #h #q #s", "AMBIG[#b] AMBIG[#d] AMBIG[#h] AMBIG[#q] AMBIG[#s]"},
        {"# X #X", "'#' SYMBOL[X] '#' SYMBOL[X]"},
        {"&H1F &hff &O17 &o7 &B101 &b0", "HEXNUM[&H1F] HEXNUM[&hff] OCTNUM[&O17] OCTNUM[&o7] BINNUM[&B101] BINNUM[&b0]"},
        {"&H &B2", "'&' SYMBOL[H] '&' SYMBOL[B2]"},
        {"5. .5 1e5 1.5E-3 1e", "FLTNUM[5.] FLTNUM[.5] FLTNUM[1e5] FLTNUM[1.5E-3] DECNUM[1] SYMBOL[e]"},
        {"12 007", "DECNUM[12] DECNUM[007]"},
        {"REM hello: world", "COMMENT[REM hello: world]"},
        {"rem\thi", "COMMENT[rem\thi]"},
        {"REM", "REM"},
        {"REMARK x", "SYMBOL[REMARK] SYMBOL[x]"},
        {"X // note", "SYMBOL[X] COMMENT2[// note]"},
        {"\"a\\\"b\" \"c\"", "STRING[\"a\\\"b\"] STRING[\"c\"]"},
        {"\"open", "'\"' SYMBOL[open]"},
        {"<= >= <> >< =< =>", "LE[<=] GE[>=] NE[<>] NE[><] '=' '<' '=' '>'"},
        {"A\r\nB\nC", "SYMBOL[A] NL SYMBOL[B] NL SYMBOL[C]"},
        {"A\rB", "SYMBOL[A] '\r' SYMBOL[B]"},
        {"A\t\x1A B", "SYMBOL[A] SYMBOL[B]"},
        {"print Print PRINT", "PRINT PRINT PRINT"},
        {"LOG10 LOG PEEKW GETS", "LOG10 LOG PEEKW GETS"},
        {"X\n'c\nY", "SYMBOL[X] NL COMMENT['c] NL SYMBOL[Y]"},
    };
    for (const ScanCase& c : cases) EXPECT_EQ(describe(c.source), c.tokens) << c.source;
}

TEST(Scanner, NulIsNotTheEndOfTheSource) {
    const std::string source("A\0B", 3);
    EXPECT_EQ(describe(source), "SYMBOL[A] ERR SYMBOL[B]");
}

TEST(Scanner, ExtensionNamesAreTheirOwnClass) {
    auto isExtension = [](std::string_view name) { return name == "Go"; };
    EXPECT_EQ(describe("Go go", isExtension), "EXTNAME[Go] SYMBOL[go]");
    EXPECT_EQ(describe("Go:", isExtension), "EXTNAME[Go] ':'");
}

TEST(Scanner, HighBitCharactersAreFlaggedAndCleared) {
    const std::string original = "X = \xC1";
    std::string clean = original;
    clean.back() = 'A';
    Scanner scanner(clean, original);
    EXPECT_FALSE(scanner.next().highBit);
    EXPECT_FALSE(scanner.next().highBit);
    const Token last = scanner.next();
    EXPECT_TRUE(last.highBit);
    EXPECT_EQ(scanner.text(last), "A");
}

TEST(Scanner, KeywordTable) {
    struct KeywordCase {
        const char* name;
        int token;
    };
    const KeywordCase cases[] = {{"ABS", 417}, {"abs", 417}, {"Rem", 486}, {"XSHAKE", 518},
                                 {"LOG10", 465}, {"GETS", 449}, {"STOP", 500}, {"WHILE", 516}};
    for (const KeywordCase& c : cases) EXPECT_EQ(lookupKeyword(c.name), c.token) << c.name;
    for (const char* name : {"ABSX", "", "LAST_TOKEN", "ModelDef", "ab"}) EXPECT_FALSE(lookupKeyword(name)) << name;
    EXPECT_EQ(tokenName(258), "ModelDef");
    EXPECT_EQ(tokenName(415), "VarDirectW");
    EXPECT_EQ(tokenName(417), "ABS");
    EXPECT_EQ(tokenName(540), "LE");
    EXPECT_EQ(tokenName(256), "error");
}

}  // namespace
}  // namespace orrery::compiler
