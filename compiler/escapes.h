#pragma once
// Backslash escapes of string and character constants (also used for the terminal's transfer strings):
// \a \b \f \n \r \t \v, \x with two hexadecimal digits (a character that is not one counts as 0), and a
// backslash before any other character stands for that character.

#include <string>
#include <string_view>

namespace orrery::compiler {

std::string decodeEscapes(std::string_view text);

}  // namespace orrery::compiler
