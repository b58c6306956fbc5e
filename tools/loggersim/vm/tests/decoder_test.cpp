// The interpreter's decoder and the compiler's listing must cut every example's code at the same places.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "compiler.h"
#include "decoder.h"
#include "listing.h"

namespace orrery::loggervm::test {
namespace {

std::vector<std::uint32_t> listedOffsets(const std::string& listing) {
    static const std::regex instructionLine(R"(### ([0-9A-F]{5}) ###)");
    std::vector<std::uint32_t> offsets;
    for (std::sregex_iterator it(listing.begin(), listing.end(), instructionLine), end; it != end; ++it)
        offsets.push_back(static_cast<std::uint32_t>(std::stoul((*it)[1].str(), nullptr, 16)));
    return offsets;
}

TEST(Decoder, AgreesWithTheListingOnEveryExample) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ORRERY_SOURCE_DIR "/examples")) {
        if (entry.path().extension() != ".qob") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        for (const bool lineNumbers : {true, false}) {
            compiler::CompileJob job;
            job.sourceName = entry.path().filename().string();
            job.sourceText = text.str() + "\r\n";
            job.flags = lineNumbers ? compiler::kEmbedLineNumbers : 0;
            ASSERT_EQ(compiler::compile(job), compiler::kCompileOk) << entry.path() << ": " << job.errorMessage;
            compiler::ListingInputs listing{job.sourceName, job.sourceText, job.image, job.header.headerSize,
                                            job.header.codeSize, job.header.variablesSize, "date"};
            const auto listed = listedOffsets(compiler::listingText(listing));
            const auto decoded = instructionOffsets(job.code);
            EXPECT_EQ(decoded, listed) << entry.path();
            ASSERT_FALSE(decoded.empty());
            EXPECT_EQ(decodeAt(job.code, decoded.back())->length + decoded.back(), job.code.size()) << entry.path();
        }
        ++examples;
    }
    EXPECT_GE(examples, 9);
}

TEST(Decoder, OperandLengthsIncludingTheCountedOnes) {
    struct {
        std::vector<std::uint8_t> code;
        std::uint32_t offset;
        std::optional<std::uint32_t> length;
    } const cases[] = {
        {{0x09}, 0, 1},                                  // Zero
        {{0x08, 1, 2, 3, 4}, 0, 5},                      // LongPush
        {{0x08, 1, 2, 3}, 0, std::nullopt},              // operand cut off
        {{0x4D, 3, 'a', 'b', 'c'}, 0, 5},                // StrConst
        {{0x9B, 0, 1, 2, 'x', 'y'}, 0, 6},               // ExtensionDef
        {{0x07, 0, 2, 0x92, 0x01, 0x39}, 3, 3},          // AsmGo behind the WordPush of its length
        {{0x9F}, 0, std::nullopt},                       // past the opcode table
    };
    for (const auto& c : cases) {
        const auto instruction = decodeAt(c.code, c.offset);
        ASSERT_EQ(instruction.has_value(), c.length.has_value());
        if (instruction) {
            EXPECT_EQ(instruction->length, *c.length);
        }
    }
}

}  // namespace
}  // namespace orrery::loggervm::test
