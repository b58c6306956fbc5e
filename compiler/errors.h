#pragma once
// The named compile errors and the free-text messages that bypass the table.
//
// A named error is shown as its name with every underscore replaced by a blank. The numbers are part of
// the format shared with the rest of the workbench (the block stack stores mismatch errors by number),
// so the order of the table must never change.

#include <array>
#include <string>
#include <string_view>

namespace orrery::compiler {

#define ORRERY_ERRORS(X)                                                                     \
    X(no_errors) X(expecting_integer_variable) X(expecting_integer_argument)                 \
    X(expecting_integer_array_values) X(expecting_integer_arguments)                         \
    X(expecting_integer_constant) X(expecting_integer_expression) X(expecting_float_argument) \
    X(expecting_integer_less_than_256) X(expect_integer_less_than_65536)                     \
    X(expect_positive_integer_argument) X(dollar_or_integer_argument)                        \
    X(expect_relational_argument) X(expecting_array_variable) X(expecting_assembler_label)   \
    X(expecting_string_argument) X(expecting_numeric_variable)                               \
    X(expecting_numeric_expression) X(too_many_arguments) X(constant_out_of_range)           \
    X(array_dimensions_must_be_integer) X(array_index_must_be_integer)                       \
    X(array_index_out_of_range) X(IFF_ENDIF_mismatch) X(IFF_ENDIF_nested_too_deeply)         \
    X(IFF_ENDIF_not_terminated) X(FOR_NEXT_loop_mismatch) X(FOR_NEXT_nested_too_deeply)      \
    X(FOR_NEXT_not_terminated) X(REPEAT_UNTIL_nested_too_deeply) X(REPEAT_UNTIL_loop_mismatch) \
    X(REPEAT_UNTIL_not_terminated) X(WHILE_WEND_nested_too_deeply) X(WHILE_WEND_loop_mismatch) \
    X(WHILE_WEND_not_terminated) X(invalid_storage_format_specifier)                         \
    X(invalid_size_specifier) X(improper_field_width_format) X(improper_float_print_format)  \
    X(unknown_identifier_string) X(must_appear_as_first_statement) X(pin_number_out_of_range) \
    X(cannot_redefine_as_variable) X(cannot_reset_label_addresses) X(internal_error__300)    \
    X(unknown_model_number) X(invalid_parameter_for_this_model)                              \
    X(invalid_character__bit_7_high) X(not_enough_DOS_memory) X(not_enough_Windows_memory)   \
    X(not_enough_Macintosh_memory) X(this_model_must_use_DFSIZE)                             \
    X(command_unavailable_this_model) X(specify_MODEL_for_this_command)                      \
    X(DFSIZE_for_Model_Cedar_or_Maple_only) X(variable_and_label_share_name)                 \
    X(mutually_exclusive_models) X(this_is_a_numeric_operation)                              \
    X(mix_of_numeric_and_string_expr) X(unknown_token) X(for_ASCII_version_of_command)       \
    X(unknown_error)

enum class Err : int {
#define ORRERY_ERROR_ENUM(name) name,
    ORRERY_ERRORS(ORRERY_ERROR_ENUM)
#undef ORRERY_ERROR_ENUM
};

inline constexpr std::array<std::string_view, 62> kErrorNames = {{
#define ORRERY_ERROR_NAME(name) #name,
    ORRERY_ERRORS(ORRERY_ERROR_NAME)
#undef ORRERY_ERROR_NAME
}};

static_assert(static_cast<int>(Err::unknown_error) == 61, "62 error names, 0 to 61");
static_assert(static_cast<int>(Err::IFF_ENDIF_mismatch) == 23 && static_cast<int>(Err::FOR_NEXT_loop_mismatch) == 26);
static_assert(static_cast<int>(Err::REPEAT_UNTIL_loop_mismatch) == 30 &&
              static_cast<int>(Err::WHILE_WEND_loop_mismatch) == 33);
static_assert(static_cast<int>(Err::not_enough_DOS_memory) == 48);

// The message shown for a named error: its name with underscores as blanks (at most 80 characters).
std::string userText(Err error);

// The name of the error a message reports, for tools that sort errors by kind (a language server's
// diagnostic code): the table's name for a named error ("FOR_NEXT_not_terminated"); for a free text, the
// text without its quoted names, with every run of other characters than letters and digits as one
// underscore ("parse_error", "Undefined_label_reference"); "unknown_error" when nothing is left.
std::string errorCodeName(std::string_view message);

// Free-text messages, word for word.
namespace msg {
inline constexpr std::string_view kParseError = "parse error";
inline constexpr std::string_view kParserStackOverflow = "parser stack overflow";
inline constexpr std::string_view kAmbiguousOperator = "ambiguous operator";
inline constexpr std::string_view kHashSize = "# must be followed by 1,2 or 4";
inline constexpr std::string_view kCompareStringNumeric = "Cannot compare STRING with numeric value";
inline constexpr std::string_view kStoreBinaryType = "Binary form of STORE, incorrect arument type";
inline constexpr std::string_view kUnexpectedArgument = "unexpected argument";
inline constexpr std::string_view kInternal200 = "Internal error 200";
inline constexpr std::string_view kFlexInternal = "fatal flex scanner internal error";
inline constexpr std::string_view kFlexBufferOverflow = "flex input buffer overflowed";
inline constexpr std::string_view kFlexEofTwice = "flex scanner saw EOF twice - shouldn't happen";
inline constexpr std::string_view kFlexPushBack = "flex scanner push-back overflow";
// Our own limits, where a fixed-size format would otherwise be overrun silently.
inline constexpr std::string_view kStringTooLong = "string constant longer than 255 characters";
inline constexpr std::string_view kProgramTooLarge = "program too large for the code buffer";
inline constexpr std::string_view kTooManyTemporaries = "expression needs more than 100 temporary strings";
}  // namespace msg

}  // namespace orrery::compiler
