#include "listing.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

namespace orrery::compiler {
namespace {

constexpr std::string_view kRule =
    "==============================================================================";
constexpr const char* kDate = "Tuesday, December 08, 2026   02:15:31 PM";

std::vector<std::uint8_t> hexBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::istringstream in{std::string(text)};
    std::string pair;
    while (in >> pair)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
    return bytes;
}

// A 14-byte header whose last two bytes are not zero, so that reading them by mistake shows.
std::vector<std::uint8_t> imageOf(const std::vector<std::uint8_t>& code) {
    std::vector<std::uint8_t> image = hexBytes("00 0E 00 00 00 00 15 04 0E 1B 12 34 AB CD");
    image.insert(image.end(), code.begin(), code.end());
    return image;
}

struct Listed {
    std::vector<std::uint8_t> image;
    std::string text;
};

Listed listOf(std::string_view source, std::string_view code, const ProgressHook& progress = {}) {
    Listed listed{imageOf(hexBytes(code)), {}};
    ListingInputs in;
    in.sourceName = "hello.qob";
    in.sourceText = source;
    in.image = listed.image;
    in.headerSize = 14;
    in.codeSize = static_cast<std::uint32_t>(listed.image.size() - 14);
    in.variablesSize = 8;
    in.dateText = kDate;
    listed.text = listingText(in, progress);
    return listed;
}

// The listing after its header block.
std::string bodyOf(std::string_view source, std::string_view code) {
    const std::string text = listOf(source, code).text;
    const std::string rule = std::string(kRule) + "\r\n\r\n";
    const std::size_t end = text.rfind(rule);
    return end == std::string::npos ? text : text.substr(end + rule.size());
}

TEST(Listing, WholeFileOfASmallProgram) {
    const std::string source = "REM hello\r\nPRINT \"Hi\"\r\n\r\nSTOP\r\n\r\n";
    const std::string expected =
        std::string(kRule) + "\r\n" +
        "FILE: hello.qob               "
        "        Tuesday, December 08, 2026   02:15:31 PM\r\n\r\n"
        "SOURCE:  33         CODE: 16            HEADER: 14         VARIABLES: 8     \r\n" +
        std::string(kRule) + "\r\n\r\n" +
        "\r\n00001:  REM hello"
        "\r\n00002:  PRINT \"Hi\""
        "\r\n    ### 00000 ### <01> LinNum [2]"
        "\r\n    ### 00003 ### <4D> StrConst [2]\"Hi\""
        "\r\n    ### 00007 ### <45> Print "
        "\r\n00003:  "
        "\r\n00004:  STOP"
        "\r\n    ### 00008 ### <01> LinNum [4]"
        "\r\n    ### 0000B ### <19> Stop "
        "\r\n00005:  "
        "\r\n    ### 0000C ### <01> LinNum [5]"
        "\r\n    ### 0000F ### <19> Stop "
        "\r\n";
    EXPECT_EQ(listOf(source, "01 00 02 4D 02 48 69 45 01 00 04 19 01 00 05 19").text, expected);
}

TEST(Listing, HeaderBlockFields) {
    Listed listed{imageOf(hexBytes("19")), {}};
    ListingInputs in;
    in.sourceText = "\r\n";
    in.image = listed.image;
    in.headerSize = 14;
    in.codeSize = 1;
    in.variablesSize = 123456;
    in.dateText = "Thursday, January 01, 1970   12:00:00 AM";
    const std::string untitled = listingText(in);
    EXPECT_TRUE(untitled.starts_with(std::string(kRule) +
                                     "\r\nFILE: Untitled                "
                                     "        Thursday, January 01, 1970   12:00:00 AM\r\n\r\n"
                                     "SOURCE:  2          CODE: 1             HEADER: 14  "
                                     "       VARIABLES: 123456\r\n"))
        << untitled;

    // A name longer than its column pushes the date along rather than being cut.
    in.sourceName = "a_rather_long_program_name.qob";
    const std::string longName = listingText(in);
    EXPECT_NE(longName.find("FILE: a_rather_long_program_name.qob        Thursday"), std::string::npos)
        << longName;
}

TEST(Listing, LongHeaderSizesAndOffsetsStartAtTheCode) {
    std::vector<std::uint8_t> image(82, 0xEE);
    image[0] = 0;
    image[1] = 82;
    for (auto b : hexBytes("00 02 BC 19"))
        image.push_back(b);
    ListingInputs in;
    in.sourceName = "big.qob";
    in.sourceText = "MODEL 700\r\n\r\n";
    in.image = image;
    in.headerSize = 82;
    in.codeSize = 4;
    in.variablesSize = 0;
    in.dateText = kDate;
    const std::string text = listingText(in);
    EXPECT_NE(text.find("HEADER: 82 "), std::string::npos);
    EXPECT_TRUE(
        text.ends_with("\r\n    ### 00000 ### <00> ModelDef 02BC\r\n    ### 00003 ### <19> Stop \r\n"))
        << text;
}

struct BodyCase {
    const char* what;
    std::string source;
    std::string code;
    std::string expected;
};

TEST(Listing, OperandDecoding) {
    const std::vector<BodyCase> cases = {
        {"two-byte operands as hex", "",
         "00 02 BC 11 00 10 12 FF F0 14 12 34 15 00 03 18 00 00 1C FF F0 07 00 80 0C 74 BC 9D AB CD",
         "\r\n    ### 00000 ### <00> ModelDef 02BC"
         "\r\n    ### 00003 ### <11> Goto 0010"
         "\r\n    ### 00006 ### <12> GoFalse FFF0"
         "\r\n    ### 00009 ### <14> Next 1234"
         "\r\n    ### 0000C ### <15> Gosub 0003"
         "\r\n    ### 0000F ### <18> Run 0000"
         "\r\n    ### 00012 ### <1C> Cbreak FFF0"
         "\r\n    ### 00015 ### <07> WordPush 0080"
         "\r\n    ### 00018 ### <0C> VarAddr 74BC"
         "\r\n    ### 0001B ### <9D> VarDirectW ABCD\r\n"},
        {"one-byte operands as hex", "", "06 7F 46 01 47 00 48 01 5B 30 5C 46 7E 02 7F 01 80 03 81 01 9C 0A",
         "\r\n    ### 00000 ### <06> BytePush 7F"
         "\r\n    ### 00002 ### <46> Input 01"
         "\r\n    ### 00004 ### <47> Finput 00"
         "\r\n    ### 00006 ### <48> Sinput 01"
         "\r\n    ### 00008 ### <5B> GfPad 30"
         "\r\n    ### 0000A ### <5C> GfRadix 46"
         "\r\n    ### 0000C ### <7E> Pset 02"
         "\r\n    ### 0000E ### <7F> Pclr 01"
         "\r\n    ### 00010 ### <80> Ptog 03"
         "\r\n    ### 00012 ### <81> Pin 01"
         "\r\n    ### 00014 ### <9C> VarDirectB 0A\r\n"},
        {"four-byte and paired operands", "", "08 3F 80 00 00 0D 74 94 74 BB 13 74 BC 00 20",
         "\r\n    ### 00000 ### <08> LongPush 3F800000"
         "\r\n    ### 00005 ### <0D> VarPlusOffset 7494 74BB"
         "\r\n    ### 0000A ### <13> ForTest 74BC 0020\r\n"},
        {"strings and extensions", "", "4D 00 4D 03 41 22 42 9B 00 01 04 4C 45 44 53 9A 00 01 02 9A 01 00 FF",
         "\r\n    ### 00000 ### <4D> StrConst [0]\"\""
         "\r\n    ### 00002 ### <4D> StrConst [3]\"A\"B\""
         "\r\n    ### 00007 ### <9B> ExtensionDef [1] [4]\"LEDS\""
         "\r\n    ### 0000F ### <9A> ExtensionRef [1, 2]"
         "\r\n    ### 00013 ### <9A> ExtensionRef [256, 255]\r\n"},
        {"machine code in lines of 16, each starting with a tab", "",
         "07 00 14 93 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 19",
         "\r\n    ### 00000 ### <07> WordPush 0014"
         "\r\n    ### 00003 ### <93> AsmLoad "
         "\r\n\t00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \r\n\t10 11 12 13 "
         "\r\n    ### 00018 ### <19> Stop \r\n"},
        {"exactly 16 bytes of machine code end in a fresh tabbed line", "",
         "07 00 10 92 A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF 39",
         "\r\n    ### 00000 ### <07> WordPush 0010"
         "\r\n    ### 00003 ### <92> AsmGo "
         "\r\n\tA0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF \r\n\t"
         "\r\n    ### 00014 ### <39> Fatn \r\n"},
        {"an empty machine-code block", "", "07 00 00 92 19",
         "\r\n    ### 00000 ### <07> WordPush 0000"
         "\r\n    ### 00003 ### <92> AsmGo \r\n\t"
         "\r\n    ### 00004 ### <19> Stop \r\n"},
        {"bytes beyond the instruction set step as single bytes", "", "9E FF 19",
         "\r\n    ### 00000 ### <9E> ??? "
         "\r\n    ### 00001 ### <FF> ??? "
         "\r\n    ### 00002 ### <19> Stop \r\n"},
        {"a string cut off by the end of the code shows what exists", "", "19 4D 05 41 42",
         "\r\n    ### 00000 ### <19> Stop "
         "\r\n    ### 00001 ### <4D> StrConst [5]\"AB\"\r\n"},
        {"machine code longer than the code shows what exists", "", "07 00 30 92 01 02",
         "\r\n    ### 00000 ### <07> WordPush 0030"
         "\r\n    ### 00003 ### <92> AsmGo \r\n\t01 02 \r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bodyOf(c.source, c.code), c.expected) << c.what;
    }
}

TEST(Listing, SourceLinesFollowTheLineMarkers) {
    const std::vector<BodyCase> cases = {
        {"without line markers no source line is shown", "A=1\r\nSTOP\r\n\r\n", "06 01 0C 74 BC 0B 19 19",
         "\r\n    ### 00000 ### <06> BytePush 01"
         "\r\n    ### 00002 ### <0C> VarAddr 74BC"
         "\r\n    ### 00005 ### <0B> PutVarVal "
         "\r\n    ### 00006 ### <19> Stop "
         "\r\n    ### 00007 ### <19> Stop \r\n"},
        {"a marker below the line counter still shows the next line", "ONE\r\nTWO\r\nTHREE\r\n",
         "01 00 02 02 01 00 01 02",
         "\r\n00001:  ONE\r\n00002:  TWO"
         "\r\n    ### 00000 ### <01> LinNum [2]"
         "\r\n    ### 00003 ### <02> Pop "
         "\r\n00003:  THREE"
         "\r\n    ### 00004 ### <01> LinNum [1]"
         "\r\n    ### 00007 ### <02> Pop \r\n"},
        {"a last line without LF is shown to the end of the text; every CR is left out", "A\rB\r\nLAST",
         "01 00 02 19",
         "\r\n00001:  AB\r\n00002:  LAST"
         "\r\n    ### 00000 ### <01> LinNum [2]"
         "\r\n    ### 00003 ### <19> Stop \r\n"},
        {"markers past the end of the text show empty lines", "X\n", "01 00 03 19",
         "\r\n00001:  X\r\n00002:  \r\n00003:  "
         "\r\n    ### 00000 ### <01> LinNum [3]"
         "\r\n    ### 00003 ### <19> Stop \r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bodyOf(c.source, c.code), c.expected) << c.what;
    }
}

TEST(Listing, ProgressEveryHundredBytes) {
    struct ProgressCase {
        const char* what;
        std::string code;
        std::vector<std::int32_t> expected;
    };
    auto repeat = [](std::string_view piece, int times) {
        std::string s;
        for (int i = 0; i < times; ++i)
            s += std::string(piece) + " ";
        return s;
    };
    const std::vector<ProgressCase> cases = {
        {"350 one-byte instructions", repeat("02", 350), {0, 100, 200, 300}},
        {"50 five-byte instructions", repeat("08 00 00 00 01", 50), {0, 100, 200}},
        {"exactly 100 bytes", repeat("02", 100), {0}},
        {"101 bytes", repeat("02", 101), {0, 100}},
    };
    for (const auto& c : cases) {
        std::vector<std::int32_t> seen;
        listOf("", c.code, [&seen](std::int32_t value) {
            seen.push_back(value);
            return true;  // a cancel request must not cut the listing short
        });
        EXPECT_EQ(seen, c.expected) << c.what;
    }
    const std::string text = listOf("", repeat("02", 350), [](std::int32_t) { return true; }).text;
    EXPECT_TRUE(text.ends_with("### 0015D ### <02> Pop \r\n"));
}

TEST(Listing, DateLine) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    struct DateCase {
        const char* epoch;
        std::time_t now;
        std::string expected;
    };
    const std::vector<DateCase> cases = {
        {"1700000000", 0, "Tuesday, November 14, 2023   10:13:20 PM"},
        {"0", 1700000000, "Thursday, January 01, 1970   12:00:00 AM"},
        {"43200", 0, "Thursday, January 01, 1970   12:00:00 PM"},
        {"951782400", 0, "Tuesday, February 29, 2000   12:00:00 AM"},
        {nullptr, 43200, "Thursday, January 01, 1970   12:00:00 PM"},
        {"", 43200, "Thursday, January 01, 1970   12:00:00 PM"},
        {"12abc", 43200, "Thursday, January 01, 1970   12:00:00 PM"},
        {"-5", 43200, "Thursday, January 01, 1970   12:00:00 PM"},
        {"99999999999999999999999", 43200, "Thursday, January 01, 1970   12:00:00 PM"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(listingDateText(c.epoch, c.now), c.expected) << (c.epoch ? c.epoch : "(unset)");
    }
}

TEST(Listing, DateUsesLocalTimeWithoutEpoch) {
    ::setenv("TZ", "EST5", 1);  // five hours behind UTC, no daylight saving
    ::tzset();
    EXPECT_EQ(listingDateText(nullptr, 43200), "Thursday, January 01, 1970   07:00:00 AM");
    EXPECT_EQ(listingDateText("43200", 0), "Thursday, January 01, 1970   12:00:00 PM");
    ::setenv("TZ", "UTC", 1);
    ::tzset();
}

}  // namespace
}  // namespace orrery::compiler

namespace orrery::compiler {
namespace {

// Sizes that disagree with the image, and random code, must never make the listing read outside the
// image (the sanitizer build turns such a read into a failure).
TEST(Listing, InconsistentSizesStayInsideTheImage) {
    struct SizeCase {
        const char* what;
        std::vector<std::uint8_t> image;
        std::uint16_t headerSize;
        std::uint32_t codeSize;
        std::string expectedBody;
    };
    const std::vector<SizeCase> cases = {
        {"empty image", {}, 14, 2, "\r\n    ### 00000 ### <00> ModelDef 0000\r\n"},
        {"code size beyond the image reads zeros",
         {0, 14, 0x92},
         2,
         4,
         "\r\n    ### 00000 ### <92> AsmGo \r\n\t"
         "\r\n    ### 00001 ### <00> ModelDef 0000\r\n"},
        {"machine code at the very first image byte",
         {0x93, 0x01},
         0,
         2,
         "\r\n    ### 00000 ### <93> AsmLoad \r\n\t"
         "\r\n00001:  \r\n    ### 00001 ### <01> LinNum [0]\r\n"},
    };
    for (const auto& c : cases) {
        ListingInputs in;
        in.sourceName = "x";
        in.image = c.image;
        in.headerSize = c.headerSize;
        in.codeSize = c.codeSize;
        const std::string text = listingText(in);
        const std::string rule = std::string(kRule) + "\r\n\r\n";
        const std::size_t body = text.rfind(rule);
        ASSERT_NE(body, std::string::npos) << c.what;
        EXPECT_EQ(text.substr(body + rule.size()), c.expectedBody) << c.what;
    }
}

TEST(Listing, RandomCodeIsListedWithoutOverrun) {
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<std::uint8_t>(seed >> 16);
    };
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint8_t> image(14 + next() % 64);
        for (auto& b : image)
            b = next();
        // Favour the opcodes with variable-length operands.
        for (std::size_t i = 14; i < image.size(); i += 5)
            image[i] = std::array<std::uint8_t, 4>{77, 146, 147, 155}[next() % 4];
        ListingInputs in;
        in.sourceText = "A\r\nB\r\n";
        in.image = image;
        in.headerSize = 14;
        in.codeSize = static_cast<std::uint32_t>(image.size() - 14);
        const std::string text = listingText(in);
        EXPECT_TRUE(text.ends_with("\r\n")) << round;
    }
}

}  // namespace
}  // namespace orrery::compiler
