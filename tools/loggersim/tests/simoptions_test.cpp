// The simulator's command line: sound values make the setup they say, bad ones are refused by name.

#include <gtest/gtest.h>

#include "simoptions.h"

using namespace orrery::loggersim;

namespace {

TEST(SimOptions, BadValuesAreRefusedWithTheOptionNamed) {
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--model", "450"}, "--model: 450 is not a known model"},
        {{"--model", "51O"}, "--model: 51O is not a known model"},
        {{"--model"}, "--model needs a value"},
        {{"--drop", "1.5"}, "--drop: 1.5 is not a probability from 0 to 1"},
        {{"--corrupt", "-0.1"}, "--corrupt: -0.1 is not a probability from 0 to 1"},
        {{"--drop", "0,5"}, "--drop: 0,5 is not a probability from 0 to 1"},
        {{"--delay", "-1"}, "--delay: -1 is not a number of milliseconds from 0 to 60000"},
        {{"--baud", "9600x"}, "--baud: 9600x is not a rate from 50 to 4000000"},
        {{"--exit-after", "0"}, "--exit-after: 0 is not a positive count"},
        {{"--silent-after", "many"}, "--silent-after: many is not a count"},
        {{"--seed", "-3"}, "--seed: -3 is not a number"},
        {{"--disk", "/nonexistent/folder"}, "--disk: /nonexistent/folder is not a folder"},
        {{"--data", "/nonexistent/file"}, "--data: cannot read /nonexistent/file"},
        {{"--identify", std::string(128, 'x')}, "--identify: the text is longer than 127 characters"},
        {{"--frobnicate"}, "unknown option --frobnicate"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseArguments(c.args).error, c.error) << c.args[0];
    }
}

TEST(SimOptions, SoundValuesMakeTheSetup) {
    const ParseResult r = parseArguments({"--model", "400", "--drop", "0.25", "--corrupt", ".5", "--delay", "30",
                                          "--silent-after", "3", "--seed", "99", "--baud", "9600", "--wrong-echo",
                                          "--eprom-refuse", "--exit-after", "2", "--link", "/x/y", "--identify", "HI"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.setup.model, 400);
    EXPECT_DOUBLE_EQ(r.options.faults.drop, 0.25);
    EXPECT_DOUBLE_EQ(r.options.faults.corrupt, 0.5);
    EXPECT_EQ(r.options.faults.delay, 30'000);
    EXPECT_EQ(r.options.faults.silentAfter, 3);
    EXPECT_EQ(r.options.faults.seed, 99u);
    EXPECT_EQ(r.options.faults.baud, 9600);
    EXPECT_TRUE(r.options.setup.wrongEcho);
    EXPECT_TRUE(r.options.setup.epromRefuse);
    EXPECT_EQ(r.options.exitAfter, 2);
    EXPECT_EQ(r.options.link, "/x/y");
    EXPECT_EQ(r.options.setup.identifyText, "HI");
    EXPECT_EQ(r.options.setup.data, generatedSamples()) << "generated samples unless --data";
}

}  // namespace
