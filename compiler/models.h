#pragma once
// The Brackwater logger models: codes, names, family bits, compatibility groups and pin masks.
//
// A program names its model with MODEL; the model decides variable addressing (slots on 700 and 800),
// the header size, the pins a program may use and which statements exist. The "family bit" groups
// models that share a memory map; naming models of two incompatible groups is refused where it matters.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "errors.h"

namespace orrery::compiler {

struct ModelInfo {
    std::uint16_t code;
    std::string_view name;  // at most 8 characters
    std::uint16_t family;
};

inline constexpr std::array<ModelInfo, 13> kModels = {{
    {210, "Alder", 1},
    {220, "Alder-W", 1},
    {230, "Birch", 1},
    {240, "Birch-X", 1},
    {400, "Cedar", 2},
    {500, "Maple", 4},
    {510, "Maple-R", 1},
    {520, "Maple-V", 1},
    {600, "Rowan", 1},
    {610, "Rowan-X", 1},
    {620, "Rowan-R", 8},
    {700, "Hazel", 16},
    {800, "Larch", 32},
}};

// Family masks of the three compatibility groups.
inline constexpr std::uint16_t kGroupA = 1 | 4;
inline constexpr std::uint16_t kGroupB = 2 | 8;
inline constexpr std::uint16_t kGroupC = 16 | 32;

// Run-time address of the first code byte: load address plus the 14-byte header.
inline constexpr std::uint16_t kCodeBaseMain = 0x8140 + 14;  // 210-240, 510-620
inline constexpr std::uint16_t kCodeBaseLow = 0x140 + 14;    // 400, 500

inline constexpr std::array<std::uint32_t, 25> kPinMasks = {{
    0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01, 0x8000, 0x4000, 0x2000, 0x400, 0x200, 0x100,
    0x10000, 0x20000, 0x40000, 0x100000, 0x200000, 0x400000, 0x2000000, 0x4000000, 0x8000000,
    0x10000000, 0x40000000,
}};

static_assert(kCodeBaseMain == 33102 && kCodeBaseLow == 334);
static_assert(kModels[11].code == 700 && kModels[12].code == 800);

std::uint16_t familyBit(std::uint16_t code);
bool isKnownModel(std::uint16_t code);
bool usesSlotAddressing(std::uint16_t code);  // 700 and 800: slots, ModelDef, long header
// First model whose name begins with prefix (case-sensitive); an empty prefix gives the first model.
std::optional<std::uint16_t> modelByNamePrefix(std::string_view prefix);
// True when the family mask names models of two different compatibility groups.
bool mutuallyExclusive(std::uint16_t familyMask);

// Mask of constant pin p on model code, or the error that refuses it.
struct PinMask {
    std::uint32_t mask = 0;
    std::optional<Err> error;
};
PinMask pinMask(std::uint16_t modelCode, std::int64_t pin);

}  // namespace orrery::compiler
