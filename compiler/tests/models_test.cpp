// The model table, compatibility groups, pin rules and the error table's texts.

#include "models.h"

#include <gtest/gtest.h>

namespace orrery::compiler {
namespace {

TEST(Models, FamiliesAndNames) {
    struct FamilyCase {
        std::uint16_t code;
        std::uint16_t family;
    };
    const FamilyCase cases[] = {{210, 1}, {240, 1}, {400, 2}, {500, 4}, {510, 1}, {620, 8},
                                {700, 16}, {800, 32}, {0, 0}, {999, 0}, {300, 0}};
    for (const FamilyCase& c : cases) EXPECT_EQ(familyBit(c.code), c.family) << c.code;

    struct NameCase {
        const char* prefix;
        int code;  // 0: no model
    };
    const NameCase names[] = {{"Maple", 500}, {"Maple-R", 510}, {"Maple-V", 520}, {"maple", 0}, {"", 210},
                              {"Rowan-R", 620}, {"Larch", 800}, {"Larches", 0}, {"H", 700}};
    for (const NameCase& c : names) {
        const auto found = modelByNamePrefix(c.prefix);
        EXPECT_EQ(found ? *found : 0, c.code) << c.prefix;
    }
}

TEST(Models, CompatibilityGroups) {
    EXPECT_FALSE(mutuallyExclusive(0));
    EXPECT_FALSE(mutuallyExclusive(1 | 4));
    EXPECT_FALSE(mutuallyExclusive(2 | 8));
    EXPECT_FALSE(mutuallyExclusive(16 | 32));
    EXPECT_TRUE(mutuallyExclusive(1 | 2));
    EXPECT_TRUE(mutuallyExclusive(4 | 16));
    EXPECT_TRUE(mutuallyExclusive(8 | 32));
}

TEST(Models, PinRules) {
    struct PinCase {
        std::uint16_t model;
        std::int64_t pin;
        std::uint32_t mask;  // 0: refused
        Err error;
    };
    const PinCase cases[] = {
        {510, 0, 0x80, Err::no_errors},          {510, 7, 0x01, Err::no_errors},
        {510, 8, 0x8000, Err::no_errors},        {510, 13, 0x100, Err::no_errors},
        {510, 14, 0, Err::pin_number_out_of_range}, {510, -1, 0, Err::pin_number_out_of_range},
        {620, 14, 0x20000, Err::no_errors},      {620, 15, 0x10000, Err::no_errors},
        {400, 14, 0x20000, Err::no_errors},      {400, 16, 0, Err::pin_number_out_of_range},
        {240, 1, 0, Err::pin_number_out_of_range}, {240, 2, 0x20, Err::no_errors},
        {610, 13, 0x100, Err::no_errors},        {610, 14, 0, Err::pin_number_out_of_range},
        {500, 16, 0x40000, Err::no_errors},      {500, 17, 0, Err::pin_number_out_of_range},
        {800, 24, 0x40000000, Err::no_errors},   {800, 25, 0, Err::pin_number_out_of_range},
        {700, 14, 0, Err::pin_number_out_of_range}, {0, 3, 0, Err::specify_MODEL_for_this_command},
    };
    for (const PinCase& c : cases) {
        const PinMask result = pinMask(c.model, c.pin);
        EXPECT_EQ(result.mask, c.mask) << c.model << " pin " << c.pin;
        EXPECT_EQ(result.error.value_or(Err::no_errors), c.error) << c.model << " pin " << c.pin;
    }
}

TEST(Errors, UserTextsReplaceUnderscores) {
    EXPECT_EQ(userText(Err::expecting_integer_variable), "expecting integer variable");
    EXPECT_EQ(userText(Err::invalid_character__bit_7_high), "invalid character  bit 7 high");
    EXPECT_EQ(userText(Err::DFSIZE_for_Model_Cedar_or_Maple_only), "DFSIZE for Model Cedar or Maple only");
    EXPECT_EQ(userText(Err::unknown_error), "unknown error");
    EXPECT_EQ(kErrorNames[48], "not_enough_DOS_memory");
}

}  // namespace
}  // namespace orrery::compiler
