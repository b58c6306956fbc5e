#include "image.h"

#include <algorithm>

#include "models.h"

namespace orrery::compiler {
namespace {

constexpr std::size_t kLongHeaderNameOffset = 50;
constexpr std::size_t kLongHeaderNameField = 32;

void putWord(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value >> 8);
    bytes[offset + 1] = static_cast<std::uint8_t>(value);
}

void putLong(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    putWord(bytes, offset, value >> 16);
    putWord(bytes, offset + 2, value & 0xFFFF);
}

std::uint8_t modelByte(std::uint16_t modelCode) {
    return static_cast<std::uint8_t>(modelCode / 10);
}

// Fields both headers share at offsets 6 to 9.
void putModelBytes(std::vector<std::uint8_t>& bytes, const HeaderFacts& facts) {
    bytes[6] = modelByte(facts.modelCode);
    bytes[7] = 4;
    bytes[8] = 14;
    bytes[9] = static_cast<std::uint8_t>(facts.highestToken & 0xFF);
}

ProgramImage failed(ImageError error) {
    ProgramImage image;
    image.error = error;
    return image;
}

// The data file of models 400 and 500 gets what code and variables leave of the shared region, at most
// what the program asked for. Code and variables are counted as the 16-bit values the header uses.
long dataFileRoom(std::size_t codeSize, std::uint16_t variablesSize) {
    return kSharedRegionRoom - static_cast<long>(codeSize & 0xFFFF) - static_cast<long>(variablesSize);
}

ProgramImage buildShortImage(const HeaderFacts& facts, std::span<const std::uint8_t> code) {
    std::int32_t dataFileSize = facts.dataFileSize;
    long reserved = 0;
    if (modelNeedsDataFileSize(facts.modelCode)) {
        if (facts.dataFileSize < 0)
            return failed(ImageError::MustUseDataFileSize);
        const long room = dataFileRoom(code.size(), facts.variablesSize);
        // A negative room would wrap into the header's 16-bit end address and describe a data file
        // overlapping the program; the loader would refuse the image anyway.
        if (room < 0)
            return failed(ImageError::SharedRegionOverrun);
        if (room < facts.dataFileSize)
            dataFileSize = static_cast<std::int32_t>(room);
        reserved = dataFileSize;
    }
    const std::size_t imageLength = code.size() + kShortHeaderSize;
    if (imageLength + reserved > 0x10000)
        return failed(ImageError::TooLongForHeader);

    ProgramImage image;
    image.headerSize = kShortHeaderSize;
    image.codeSize = static_cast<std::uint32_t>(code.size());
    image.dataFileSize = dataFileSize;
    image.bytes.assign(imageLength, 0);
    putWord(image.bytes, 0, kShortHeaderSize);
    putWord(image.bytes, 2, static_cast<std::uint32_t>(imageLength - 1));
    putWord(image.bytes, 4, static_cast<std::uint32_t>(imageLength + reserved - 1));
    putModelBytes(image.bytes, facts);
    putWord(image.bytes, 10, facts.vcrc);
    putWord(image.bytes, 12, facts.lcrc);
    std::copy(code.begin(), code.end(), image.bytes.begin() + kShortHeaderSize);
    return image;
}

ProgramImage buildLongImage(const HeaderFacts& facts, std::span<const std::uint8_t> code) {
    const std::size_t imageLength = code.size() + kLongHeaderSize;
    ProgramImage image;
    image.headerSize = kLongHeaderSize;
    image.codeSize = static_cast<std::uint32_t>(code.size());
    image.dataFileSize = facts.dataFileSize;
    image.bytes.assign(imageLength, 0);
    putWord(image.bytes, 0, kLongHeaderSize);
    putLong(image.bytes, 2, static_cast<std::uint32_t>(imageLength));
    putModelBytes(image.bytes, facts);
    putLong(image.bytes, 10, image.codeSize);
    putLong(image.bytes, 30, facts.variablesSize);
    putLong(image.bytes, 42, facts.vcrc);
    putLong(image.bytes, 46, facts.lcrc);
    const std::string_view name = facts.sourceName.substr(0, kLongHeaderNameField - 1);
    std::copy(name.begin(), name.end(), image.bytes.begin() + kLongHeaderNameOffset);
    std::copy(code.begin(), code.end(), image.bytes.begin() + kLongHeaderSize);
    return image;
}

}  // namespace

HeaderKind headerKindOf(std::uint16_t modelCode) {
    if (modelCode != 0 && !isKnownModel(modelCode))
        return HeaderKind::UnknownModel;
    return usesSlotAddressing(modelCode) ? HeaderKind::Long : HeaderKind::Short;
}

bool modelNeedsDataFileSize(std::uint16_t modelCode) {
    return modelCode == 400 || modelCode == 500;
}

std::string imageErrorMessage(ImageError error) {
    switch (error) {
        case ImageError::None:
            return "";
        case ImageError::UnknownModel:
            return userText(Err::unknown_model_number);
        case ImageError::MustUseDataFileSize:
            return userText(Err::this_model_must_use_DFSIZE);
        case ImageError::SharedRegionOverrun:
            return "Program too large: code and variables exceed the 29554 bytes of this model";
        case ImageError::TooLongForHeader:
            return "Program too large: the image exceeds the 65535 bytes of this model's header";
    }
    return "";
}

ProgramImage buildProgramImage(const HeaderFacts& facts, std::span<const std::uint8_t> code) {
    switch (headerKindOf(facts.modelCode)) {
        case HeaderKind::Short:
            return buildShortImage(facts, code);
        case HeaderKind::Long:
            return buildLongImage(facts, code);
        case HeaderKind::UnknownModel:
            break;
    }
    return failed(ImageError::UnknownModel);
}

std::uint16_t readWord(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

std::uint32_t readLong(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return (static_cast<std::uint32_t>(readWord(bytes, offset)) << 16) | readWord(bytes, offset + 2);
}

}  // namespace orrery::compiler
