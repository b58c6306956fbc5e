#include "crc16.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

namespace orrery::compiler {
namespace {

struct CrcCase {
    std::string bytes;
    std::uint16_t expected;
};

std::string allByteValues() {
    std::string bytes(256, '\0');
    std::iota(bytes.begin(), bytes.end(), '\0');
    return bytes;
}

// Expected values come from an independent CRC-16/XMODEM implementation.
TEST(Crc16, KnownValues) {
    const std::vector<CrcCase> cases = {
        {"123456789", 0x31C3},
        {"abc", 0x9DD6},
        {"", 0x0000},
        {"A", 0x58E5},
        {std::string(1, '\0'), 0x0000},
        {"\xFF\xFF", 0x1D0F},
        {allByteValues(), 0x7E55},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(crc16(c.bytes), c.expected) << "over " << c.bytes.size() << " bytes";
    }
}

TEST(Crc16, ContinuesAcrossPieces) {
    const std::string whole = "123456789";
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        const std::uint16_t first = crc16(whole.substr(0, cut));
        EXPECT_EQ(crc16Update(first, std::string_view(whole).substr(cut)), 0x31C3) << "cut at " << cut;
    }
}

TEST(Crc16, ByteSpanAndSingleBytesAgreeWithText) {
    const std::vector<std::uint8_t> bytes = {0x80, 0x00, 0xC3, 0x7F, 0x01};
    std::uint16_t oneByOne = 0;
    for (std::uint8_t b : bytes)
        oneByOne = crc16Update(oneByOne, b);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(crc16Update(0, bytes), crc16(text));
    EXPECT_EQ(oneByOne, crc16(text));
}

}  // namespace
}  // namespace orrery::compiler
