// The inputs file: each form's values over time, and the lines it refuses.

#include <gtest/gtest.h>

#include "inputsource.h"

namespace orrery::loggervm::test {
namespace {

TEST(InputSource, FormsGiveTheirValuesOverTime) {
    InputSource source;
    std::string error;
    ASSERT_TRUE(source.parse("# a comment line\n"
                             "chan 0 sine 100 50 40   # quarter period: top\n"
                             "chan 1 ramp 0 1000 100\n"
                             "pin * square 0 1 20\r\n"
                             "pin 3 const 1\n",
                             error))
        << error;
    struct {
        Sensor sensor;
        int number;
        double seconds;
        std::int32_t value;
    } const cases[] = {
        {Sensor::Analog, 0, 0, 100},   {Sensor::Analog, 0, 10, 150}, {Sensor::Analog, 0, 30, 50},
        {Sensor::Analog, 1, 25, 250},  {Sensor::Analog, 1, 125, 250}, {Sensor::Pin, 7, 9.9, 0},
        {Sensor::Pin, 7, 10, 1},       {Sensor::Pin, 3, 0, 1},
        {Sensor::Analog, 2, 0, 2048 + 1000},  // default: channel 2 starts a quarter period on
        {Sensor::Temperature, 0, 0, 20}, {Sensor::Counter, 0, 5, 0}, {Sensor::Period, 9, 5, 1000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(source.value(c.sensor, c.number, c.seconds), c.value) << c.number << " at " << c.seconds;
}

TEST(InputSource, BadLinesAreRefusedAndChangeNothing) {
    struct {
        const char* text;
        const char* error;
    } const cases[] = {
        {"chan 1", "inputs line 1: expected SENSOR NUMBER FORM VALUES..."},
        {"\nvolt 1 const 2", "inputs line 2: unknown sensor \"volt\" (chan, temp, pin, count, period)"},
        {"chan 256 const 2", "inputs line 1: number must be 0 to 255 or *"},
        {"chan x const 2", "inputs line 1: number must be 0 to 255 or *"},
        {"chan 1 wave 2", "inputs line 1: unknown form \"wave\" (const, sine, ramp, square)"},
        {"chan 1 sine 2 3", "inputs line 1: sine takes 3 value(s)"},
        {"chan 1 const 2,5", "inputs line 1: not a number: 2,5"},
        {"chan 1 ramp 0 10 0", "inputs line 1: the period must be above 0"},
    };
    for (const auto& c : cases) {
        InputSource source;
        std::string error;
        ASSERT_TRUE(source.parse("chan 1 const 7", error));
        EXPECT_FALSE(source.parse(std::string(c.text) + "\nchan 1 const 9", error)) << c.text;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(source.value(Sensor::Analog, 1, 0), 7) << c.text;
    }
}

}  // namespace
}  // namespace orrery::loggervm::test
