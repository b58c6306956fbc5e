#pragma once
// Type bits of values and symbols, shared by the symbol table, the expression rules and the summary.

#include <cstdint>

namespace orrery::compiler {

inline constexpr std::uint32_t kTypeInt = 0x08;
inline constexpr std::uint32_t kTypeFloat = 0x10;
inline constexpr std::uint32_t kTypeAsFloat = 0x30;  // integer bits reinterpreted as float (ASFLT)
inline constexpr std::uint32_t kTypeString = 0x40;
inline constexpr std::uint32_t kTypeLabel = 0x100;
inline constexpr std::uint32_t kTypeAsmLabel = 0x200;

inline constexpr std::uint32_t kIntTypeMask = 0x8E;
inline constexpr std::uint32_t kFloatTypeMask = 0x30;

constexpr bool isInt(std::uint32_t type) { return (type & kIntTypeMask) != 0; }
constexpr bool isFloat(std::uint32_t type) { return (type & kFloatTypeMask) != 0; }
constexpr bool isString(std::uint32_t type) { return (type & kTypeString) != 0; }

}  // namespace orrery::compiler
