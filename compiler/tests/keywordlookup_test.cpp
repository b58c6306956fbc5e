// The keyword lookup against the table itself: every keyword in every case mix is found with its own
// number, and names that differ by one character, one letter more or less, or a non-letter are not.

#include <gtest/gtest.h>

#include <string>

#include "tokens.h"

namespace orrery::compiler {
namespace {

std::string lowered(std::string_view name) {
    std::string out(name);
    for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}

std::string alternating(std::string_view name) {
    std::string out = lowered(name);
    for (std::size_t i = 0; i < out.size(); i += 2) out[i] = name[i];
    return out;
}

TEST(KeywordLookup, EveryKeywordInAnyCaseIsFoundWithItsNumber) {
    for (std::size_t i = 0; i < kKeywordNames.size(); ++i) {
        const std::string_view name = kKeywordNames[i];
        const int token = kFirstKeyword + static_cast<int>(i);
        EXPECT_EQ(lookupKeyword(name), token) << name;
        EXPECT_EQ(lookupKeyword(lowered(name)), token) << name;
        EXPECT_EQ(lookupKeyword(alternating(name)), token) << name;
    }
}

TEST(KeywordLookup, NearMissesAreNames) {
    for (std::string_view keyword : kKeywordNames) {
        const std::string name(keyword);
        const std::string near[] = {name + "X", name + "1", name + "$", "X" + name, name.substr(0, name.size() - 1),
                                    "_" + name};
        for (const std::string& miss : near) {
            const auto found = lookupKeyword(miss);
            // A near miss may be another keyword ("IFF" is "IF" plus a letter), never a wrong number.
            if (found) {
                EXPECT_EQ(kKeywordNames[static_cast<std::size_t>(*found - kFirstKeyword)], miss);
            }
        }
    }
    const char* const names[] = {"", "@", "1ABS", "[ABS", "`ABS", "{", "Abs\x80", "ABS ", " ABS", "ZZZ", "Q"};
    for (const char* name : names) EXPECT_FALSE(lookupKeyword(name)) << name;
}

}  // namespace
}  // namespace orrery::compiler
