#include "printformat.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace orrery::loggervm {

namespace {

enum class CodeKind { Plain, Radix, Fixed, Scientific };

CodeKind kindOf(std::uint8_t code) {
    switch (code & 0xC0) {
        case 0x40: return CodeKind::Radix;
        case 0x80: return CodeKind::Scientific;
        case 0xC0: return CodeKind::Fixed;
        default: return CodeKind::Plain;
    }
}

int radixOf(std::uint8_t code) {
    const int radix = code - 64;
    return radix == 2 || radix == 8 || radix == 16 ? radix : 10;
}

std::string upper(std::string text) {
    for (auto& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string floatText(float value, std::chars_format form, int precision) {
    char buffer[128];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, form, precision);
    if (result.ec != std::errc()) return "?";
    return upper(std::string(buffer, result.ptr));
}

std::int32_t truncated(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return INT32_MAX;
    if (value < -2147483648.0f) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::string formatInteger(std::int32_t value, const FieldFormat& format) {
    const CodeKind kind = kindOf(format.code);
    if (kind == CodeKind::Fixed || kind == CodeKind::Scientific)
        return formatFloat(static_cast<float>(value), format);
    const int radix = kind == CodeKind::Radix ? radixOf(format.code) : 10;
    char buffer[40];
    std::to_chars_result result;
    if (radix == 10)
        result = std::to_chars(buffer, buffer + sizeof buffer, value);
    else
        result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::uint32_t>(value), radix);
    return padField(upper(std::string(buffer, result.ptr)), format);
}

std::string formatFloat(float value, const FieldFormat& format) {
    const int precision = format.code & 0x3F;
    switch (kindOf(format.code)) {
        case CodeKind::Fixed:
            return padField(floatText(value, std::chars_format::fixed, precision), format);
        case CodeKind::Scientific:
            return padField(floatText(value, std::chars_format::scientific, precision), format);
        case CodeKind::Radix:
            return formatInteger(truncated(value), format);
        case CodeKind::Plain:
            break;
    }
    return padField(floatText(value, std::chars_format::general, 7), format);
}

std::string padField(std::string text, const FieldFormat& format) {
    if (format.width <= 0 || static_cast<std::size_t>(format.width) <= text.size()) return text;
    const std::size_t missing = static_cast<std::size_t>(format.width) - text.size();
    const bool digitsFollow = text.size() > 1 && std::isdigit(static_cast<unsigned char>(text[1]));
    if (format.pad == '0' && !text.empty() && text[0] == '-' && digitsFollow)
        return "-" + std::string(missing, '0') + text.substr(1);
    return std::string(missing, format.pad) + text;
}

}  // namespace orrery::loggervm
