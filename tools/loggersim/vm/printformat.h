#pragma once
// How the simulated logger writes numbers and strings for PRINT, STR and the text form of STORE: a
// field width with its pad character and a format code, as the format items of a statement set them.
// The output is the same in every locale.

#include <cstdint>
#include <string>

namespace orrery::loggervm {

struct FieldFormat {
    int width = 0;        // 0: as wide as the text
    char pad = ' ';       // ' ' or '0'
    std::uint8_t code = 0;  // 0 plain; 64 + radix (66 B, 72 Q, 74 D, 80 H); 192 + p fixed; 128 + p scientific
};

// Integers: decimal by default; another radix shows the 32-bit pattern (so -1 in H is FFFFFFFF);
// a fixed or scientific code prints the value as a float.
std::string formatInteger(std::int32_t value, const FieldFormat& format);

// Floats: plain is up to 7 significant digits ("1.5", "0.0025", "1.234568E+07"); fixed with p decimals;
// scientific with p decimals and a signed two-digit exponent ("1.2340E+00"); a radix code prints the
// value truncated to an integer in that radix.
std::string formatFloat(float value, const FieldFormat& format);

// Right-justifies text in the field; a zero pad goes behind a leading minus sign.
std::string padField(std::string text, const FieldFormat& format);

}  // namespace orrery::loggervm
