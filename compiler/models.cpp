#include "models.h"

namespace orrery::compiler {

std::uint16_t familyBit(std::uint16_t code) {
    for (const ModelInfo& model : kModels) {
        if (model.code == code) return model.family;
    }
    return 0;
}

bool isKnownModel(std::uint16_t code) { return familyBit(code) != 0; }

bool usesSlotAddressing(std::uint16_t code) { return code == 700 || code == 800; }

std::optional<std::uint16_t> modelByNamePrefix(std::string_view prefix) {
    for (const ModelInfo& model : kModels) {
        if (model.name.substr(0, prefix.size()) == prefix) return model.code;
    }
    return std::nullopt;
}

bool mutuallyExclusive(std::uint16_t familyMask) {
    int groups = 0;
    for (std::uint16_t group : {kGroupA, kGroupB, kGroupC}) {
        if (familyMask & group) ++groups;
    }
    return groups > 1;
}

PinMask pinMask(std::uint16_t modelCode, std::int64_t pin) {
    if (modelCode == 0) return {0, Err::specify_MODEL_for_this_command};
    std::int64_t low = 0;
    std::int64_t high = 13;
    switch (modelCode) {
        case 400:
        case 620:
            high = 15;
            break;
        case 240:
        case 610:
            low = 2;
            break;
        case 500:
            high = 16;
            break;
        case 800:
            high = 24;
            break;
        default:
            break;
    }
    if (pin < low || pin > high) return {0, Err::pin_number_out_of_range};
    // On 400 and 620 pins 14 and 15 are wired the other way round.
    if ((modelCode == 400 || modelCode == 620) && (pin == 14 || pin == 15)) pin = pin == 14 ? 15 : 14;
    return {kPinMasks[static_cast<std::size_t>(pin)], std::nullopt};
}

}  // namespace orrery::compiler
