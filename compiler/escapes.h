#pragma once
// Backslash escapes, one decoder for the compiler's string and character constants and for the
// terminal's transfer strings (termination character, prefix, suffix): \a \b \f \n \r \t \v, \x with the
// two characters after it as hexadecimal digits (a character that is not one counts as 0), and a
// backslash before any other character stands for that character. A lone backslash at the end stands
// for itself.
//
// The two uses differ in two details, named in EscapeDialect: the transfer strings are typed into a
// dialog, which lets the letters be upper case and completes a short "\x5" at the end to the byte 5; the
// compiler reads "\X" as "X" and a short "\x5" at the end as 0x50, as the constant's second digit
// position is then empty.

#include <string>
#include <string_view>

namespace orrery::compiler {

struct EscapeDialect {
    bool anyCase = false;          // \N and \X mean \n and \x
    bool shortHexIsValue = false;  // one hex digit before the end is the whole value
};

// The transfer strings' dialect.
inline constexpr EscapeDialect kTransferEscapes{true, true};

std::string decodeEscapes(std::string_view text, EscapeDialect dialect = {});

}  // namespace orrery::compiler
