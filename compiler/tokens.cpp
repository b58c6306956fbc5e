#include "tokens.h"

#include <algorithm>
#include <cctype>

namespace orrery::compiler {

namespace {
int compareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::toupper(static_cast<unsigned char>(a[i]));
        const int cb = std::toupper(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}
}  // namespace

std::optional<int> lookupKeyword(std::string_view name) {
    std::size_t low = 0;
    std::size_t high = kKeywordNames.size();
    while (low < high) {
        const std::size_t mid = (low + high) / 2;
        const int order = compareNoCase(name, kKeywordNames[mid]);
        if (order == 0) return kFirstKeyword + static_cast<int>(mid);
        if (order < 0) {
            high = mid;
        } else {
            low = mid + 1;
        }
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
