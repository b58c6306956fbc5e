#pragma once
// CRC-16 with polynomial 0x1021, most significant bit first, initial value 0, no reflection and no final
// exclusive-or (the parameters known as CRC-16/XMODEM). The program header, the symbol file and the
// variable viewer all check a loaded program against a symbol file with these values, so every
// consumer must use this one routine.

#include <cstdint>
#include <span>
#include <string_view>

namespace orrery::compiler {

inline constexpr std::uint16_t kCrc16Polynomial = 0x1021;

// Continues a CRC over further bytes; start from 0 for a fresh value.
std::uint16_t crc16Update(std::uint16_t crc, std::span<const std::uint8_t> bytes);
std::uint16_t crc16Update(std::uint16_t crc, std::string_view bytes);
std::uint16_t crc16Update(std::uint16_t crc, std::uint8_t byte);

inline std::uint16_t crc16(std::string_view bytes) {
    return crc16Update(0, bytes);
}

}  // namespace orrery::compiler
