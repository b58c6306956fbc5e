#include "tokens.h"

#include <array>

namespace orrery::compiler {

namespace {
constexpr char foldToUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr bool keywordsAreUpperCase() {
    for (std::string_view name : kKeywordNames) {
        for (char c : name) {
            if (foldToUpper(c) != c) return false;
        }
    }
    return true;
}

// The keywords that start with each letter, as a range of the sorted table.
struct LetterRange {
    std::size_t begin = 0;
    std::size_t end = 0;
};

constexpr std::array<LetterRange, 26> keywordRangesByFirstLetter() {
    std::array<LetterRange, 26> ranges{};
    for (std::size_t i = 0; i < kKeywordNames.size(); ++i) {
        LetterRange& range = ranges[static_cast<std::size_t>(kKeywordNames[i][0] - 'A')];
        if (range.end == 0) range.begin = i;
        range.end = i + 1;
    }
    return ranges;
}

constexpr bool keywordsStartWithLetters() {
    for (std::string_view name : kKeywordNames) {
        if (name.empty() || name[0] < 'A' || name[0] > 'Z') return false;
    }
    return true;
}

// The lookup folds only the name, so the table must be stored folded already.
static_assert(keywordsAreUpperCase() && keywordsStartWithLetters());
constexpr std::array<LetterRange, 26> kKeywordsByFirstLetter = keywordRangesByFirstLetter();

bool equalsFolded(std::string_view name, std::string_view keyword) {
    if (name.size() != keyword.size()) return false;
    for (std::size_t i = 1; i < name.size(); ++i) {
        if (foldToUpper(name[i]) != keyword[i]) return false;
    }
    return true;
}
}  // namespace

// Every identifier the scanner reads comes through here: the first letter picks the few keywords worth
// comparing, and the length rejects most of them before any character is compared.
std::optional<int> lookupKeyword(std::string_view name) {
    if (name.empty()) return std::nullopt;
    const char first = foldToUpper(name[0]);
    if (first < 'A' || first > 'Z') return std::nullopt;
    const LetterRange range = kKeywordsByFirstLetter[static_cast<std::size_t>(first - 'A')];
    for (std::size_t i = range.begin; i < range.end; ++i) {
        if (equalsFolded(name, kKeywordNames[i])) return kFirstKeyword + static_cast<int>(i);
    }
    return std::nullopt;
}

std::string_view tokenName(int token) {
    if (token == 256) return "error";
    if (token == 257) return "$illegal.";
    if (token >= kFirstOpcodeToken && token < kLastToken) return kOpcodes[token - kFirstOpcodeToken].name;
    if (token == kLastToken) return "LAST_TOKEN";
    if (token >= kFirstKeyword && token < kLastKeyword) return kKeywordNames[token - kFirstKeyword];
    if (token == kLastKeyword) return "LAST_KEYWORD";
    static constexpr std::string_view kClasses[] = {"HEXNUM",  "DECNUM",   "FLTNUM", "BINNUM",  "OCTNUM",
                                                    "STRING",  "CHARCONST", "SYMBOL", "EXTNAME", "LABELDEF",
                                                    "FLTFMT",  "GFWFMT",   "STRSIZ", "AMBIG",   "LDZERO",
                                                    "COMMENT", "COMMENT2", "ASSIGN", "NE",      "GE",
                                                    "LE"};
    if (token >= HEXNUM && token <= LE) return kClasses[token - HEXNUM];
    return "";
}

}  // namespace orrery::compiler
