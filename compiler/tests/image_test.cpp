#include "image.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace orrery::compiler {
namespace {

std::vector<std::uint8_t> hexBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::istringstream in{std::string(text)};
    std::string pair;
    while (in >> pair)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
    return bytes;
}

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<std::uint8_t> zeros(std::size_t n) {
    return std::vector<std::uint8_t>(n, 0);
}

std::vector<std::uint8_t> nameField(std::string_view name) {
    std::vector<std::uint8_t> field(name.begin(), name.end());
    field.resize(32, 0);
    return field;
}

const std::vector<std::uint8_t> kShortCode = hexBytes("01 00 01 19");          // LinNum 1, Stop
const std::vector<std::uint8_t> kLongCode = hexBytes("01 00 01 00 02 BC 19");  // LinNum 1, ModelDef 700, Stop

HeaderFacts facts(std::uint16_t model, std::int32_t dataFileSize = -1, std::string_view name = "prog.qob") {
    HeaderFacts f;
    f.modelCode = model;
    f.highestToken = 258 + 25;  // Stop
    f.variablesSize = 8;
    f.vcrc = 0x1234;
    f.lcrc = 0xABCD;
    f.sourceName = name;
    f.dataFileSize = dataFileSize;
    return f;
}

struct ImageCase {
    const char* what;
    HeaderFacts facts;
    std::vector<std::uint8_t> code;
    std::vector<std::uint8_t> expected;
    std::int32_t dataFileSize;
};

TEST(ProgramImage, WholeImages) {
    const std::vector<ImageCase> cases = {
        {"no MODEL: short header, model byte 0", facts(0), kShortCode,
         hexBytes("00 0E 00 11 00 11 00 04 0E 1B 12 34 AB CD 01 00 01 19"), -1},
        {"model 210: end and data-file end are equal", facts(210), kShortCode,
         hexBytes("00 0E 00 11 00 11 15 04 0E 1B 12 34 AB CD 01 00 01 19"), -1},
        {"model 620", facts(620), kShortCode,
         hexBytes("00 0E 00 11 00 11 3E 04 0E 1B 12 34 AB CD 01 00 01 19"), -1},
        {"model 400, room larger than the request", facts(400, 1000), kShortCode,
         hexBytes("00 0E 00 11 03 F9 28 04 0E 1B 12 34 AB CD 01 00 01 19"), 1000},
        {"model 500, room smaller than the request: lowered to the room", facts(500, 30000), kShortCode,
         hexBytes("00 0E 00 11 73 77 32 04 0E 1B 12 34 AB CD 01 00 01 19"), 29542},
        {"model 400, an empty data file", facts(400, 0), kShortCode,
         hexBytes("00 0E 00 11 00 11 28 04 0E 1B 12 34 AB CD 01 00 01 19"), 0},
        {"model 700: long header", facts(700), kLongCode,
         hexBytes("00 52 00 00 00 59 46 04 0E 1B 00 00 00 07") + zeros(16) + hexBytes("00 00 00 08") +
             zeros(8) + hexBytes("00 00 12 34 00 00 AB CD") + nameField("prog.qob") + kLongCode,
         -1},
        {"model 800 with a 40-character name keeps 31 and a NUL",
         facts(800, -1, "abcdefghijklmnopqrstuvwxyz0123456789.qob"), kLongCode,
         hexBytes("00 52 00 00 00 59 50 04 0E 1B 00 00 00 07") + zeros(16) + hexBytes("00 00 00 08") +
             zeros(8) + hexBytes("00 00 12 34 00 00 AB CD") + nameField("abcdefghijklmnopqrstuvwxyz01234") +
             kLongCode,
         -1},
    };
    for (const auto& c : cases) {
        const ProgramImage image = buildProgramImage(c.facts, c.code);
        ASSERT_TRUE(image.ok()) << c.what;
        EXPECT_EQ(image.bytes, c.expected) << c.what;
        EXPECT_EQ(image.headerSize, c.expected[1]) << c.what;
        EXPECT_EQ(image.codeSize, c.code.size()) << c.what;
        EXPECT_EQ(image.dataFileSize, c.dataFileSize) << c.what;
    }
}

struct RefusalCase {
    const char* what;
    std::uint16_t model;
    std::int32_t dataFileSize;
    std::size_t codeSize;
    std::uint16_t variablesSize;
    ImageError expected;
};

TEST(ProgramImage, RefusedImages) {
    const std::vector<RefusalCase> cases = {
        {"model 450 is not a model", 450, -1, 4, 0, ImageError::UnknownModel},
        {"model 1 is not a model", 1, -1, 4, 0, ImageError::UnknownModel},
        {"model 400 needs a data-file size", 400, -1, 4, 0, ImageError::MustUseDataFileSize},
        {"model 500 needs a data-file size", 500, -1, 4, 0, ImageError::MustUseDataFileSize},
        {"model 500, code and variables two bytes over", 500, 100, 20000, 9556,
         ImageError::SharedRegionOverrun},
        {"model 400, variables alone over", 400, 0, 4, 30000, ImageError::SharedRegionOverrun},
        {"model 210, image above 64 KiB", 210, -1, 65523, 0, ImageError::TooLongForHeader},
        {"no model, image above 64 KiB", 0, -1, 100000, 0, ImageError::TooLongForHeader},
    };
    for (const auto& c : cases) {
        HeaderFacts f = facts(c.model, c.dataFileSize);
        f.variablesSize = c.variablesSize;
        const ProgramImage image = buildProgramImage(f, std::vector<std::uint8_t>(c.codeSize, 0x19));
        EXPECT_EQ(image.error, c.expected) << c.what;
        EXPECT_TRUE(image.bytes.empty()) << c.what;
    }
}

TEST(ProgramImage, LimitsThatStillFit) {
    // Code and variables exactly fill the shared region: the data file gets nothing.
    HeaderFacts cedar = facts(400, 500);
    cedar.variablesSize = 9554;
    const ProgramImage full = buildProgramImage(cedar, std::vector<std::uint8_t>(20000, 0x19));
    ASSERT_TRUE(full.ok());
    EXPECT_EQ(full.dataFileSize, 0);
    EXPECT_EQ(readWord(full.bytes, 4), readWord(full.bytes, 2));

    // The largest image a short header can describe ends at offset 0xFFFF.
    const ProgramImage largest = buildProgramImage(facts(210), std::vector<std::uint8_t>(65522, 0x19));
    ASSERT_TRUE(largest.ok());
    EXPECT_EQ(largest.bytes.size(), 65536u);
    EXPECT_EQ(readWord(largest.bytes, 2), 0xFFFF);

    // Long headers carry 32-bit lengths.
    const ProgramImage big = buildProgramImage(facts(800), std::vector<std::uint8_t>(100000, 0x19));
    ASSERT_TRUE(big.ok());
    EXPECT_EQ(readLong(big.bytes, 2), 100082u);
    EXPECT_EQ(readLong(big.bytes, 10), 100000u);
}

TEST(ProgramImage, ErrorTexts) {
    EXPECT_EQ(imageErrorMessage(ImageError::UnknownModel), "unknown model number");
    EXPECT_EQ(imageErrorMessage(ImageError::MustUseDataFileSize), "this model must use DFSIZE");
    EXPECT_NE(imageErrorMessage(ImageError::SharedRegionOverrun).find("29554"), std::string::npos);
}

TEST(ProgramImage, HeaderKindByModel) {
    for (std::uint16_t m : {0, 210, 220, 230, 240, 400, 500, 510, 520, 600, 610, 620}) {
        EXPECT_EQ(headerKindOf(m), HeaderKind::Short) << m;
    }
    for (std::uint16_t m : {700, 800})
        EXPECT_EQ(headerKindOf(m), HeaderKind::Long) << m;
    for (std::uint16_t m : {21, 211, 300, 710, 900, 65535})
        EXPECT_EQ(headerKindOf(m), HeaderKind::UnknownModel) << m;
}

}  // namespace
}  // namespace orrery::compiler
