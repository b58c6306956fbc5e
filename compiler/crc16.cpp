#include "crc16.h"

#include <array>

namespace orrery::compiler {
namespace {

// Entry i is the CRC of the single byte i shifted through the polynomial, so one table look-up
// replaces eight shift-and-xor steps per byte.
constexpr std::array<std::uint16_t, 256> makeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned value = i << 8;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 0x8000) ? (value << 1) ^ kCrc16Polynomial : value << 1;
        }
        table[i] = static_cast<std::uint16_t>(value);
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();
static_assert(kCrcTable[1] == 0x1021 && kCrcTable[255] == 0x1EF0);

}  // namespace

std::uint16_t crc16Update(std::uint16_t crc, std::uint8_t byte) {
    return static_cast<std::uint16_t>(kCrcTable[((crc >> 8) ^ byte) & 0xFF] ^ (crc << 8));
}

std::uint16_t crc16Update(std::uint16_t crc, std::span<const std::uint8_t> bytes) {
    for (std::uint8_t b : bytes)
        crc = crc16Update(crc, b);
    return crc;
}

std::uint16_t crc16Update(std::uint16_t crc, std::string_view bytes) {
    for (char c : bytes)
        crc = crc16Update(crc, static_cast<std::uint8_t>(c));
    return crc;
}

}  // namespace orrery::compiler
