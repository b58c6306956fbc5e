#pragma once
// The program image: a header followed by the token code, exactly as the logger receives it, as the
// .bin file holds it and as the listing and the EPROM export read it.
//
// Short header, 14 bytes (no model, and every model except 700 and 800):
//
//     offset size  field
//      0     2     header size, 14
//      2     2     image length - 1 (offset of the image's last byte)
//      4     2     image length + data-file size - 1 (data-file size is 0 except on models 400 and 500)
//      6     1     model byte: model code / 10
//      7     1     4
//      8     1     14
//      9     1     highest-token byte
//     10     2     VCRC
//     12     2     LCRC
//
// Long header, 82 bytes (models 700 and 800); unlisted bytes are 0:
//
//      0     2     header size, 82            26     4     reserved
//      2     4     image length               30     4     variables size
//      6     1     model byte                 34     8     reserved
//      7     1     4                          42     4     VCRC
//      8     1     14                         46     4     LCRC
//      9     1     highest-token byte         50    32     source name, NUL-terminated, <= 31 chars
//     10     4     code size
//     14    12     three block sizes, always 0
//
// Every multi-byte field is stored most significant byte first.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "compiler.h"  // the two header sizes

namespace orrery::compiler {

// Models 400 and 500 share 29568 bytes between program, header and variables; the data file takes
// what is left. This is that region less the short header.
inline constexpr long kSharedRegionRoom = 29554;

// Where the compile buffer starts its code: room for the larger header in front of it.
inline constexpr std::size_t kCodeStart = kLongHeaderSize;

enum class HeaderKind { Short, Long, UnknownModel };

HeaderKind headerKindOf(std::uint16_t modelCode);

// Models whose header also reserves their data file behind the program.
bool modelNeedsDataFileSize(std::uint16_t modelCode);

// The values a compile gathers for the header.
struct HeaderFacts {
    std::uint16_t modelCode = 0;
    std::uint16_t highestToken = 0;  // highest token number turned into an opcode; its low byte is kept
    std::uint16_t variablesSize = 0;
    std::uint16_t vcrc = 0;
    std::uint16_t lcrc = 0;
    std::string_view sourceName;
    std::int32_t dataFileSize = -1;  // requested by the program; -1 when it requested none
};

enum class ImageError {
    None,
    UnknownModel,         // the model in force is neither 0 nor a known model
    MustUseDataFileSize,  // model 400 or 500 without a requested data-file size
    SharedRegionOverrun,  // models 400 and 500: code and variables leave no room for the data file
    TooLongForHeader,     // a short header cannot describe an image above 65535 bytes
};

// The message a compile reports for an image error.
std::string imageErrorMessage(ImageError error);

struct ProgramImage {
    std::vector<std::uint8_t> bytes;  // header then code; its size is the image length
    std::uint16_t headerSize = 0;
    std::uint32_t codeSize = 0;
    std::int32_t dataFileSize = -1;  // the request, lowered to the room when the room is smaller
    ImageError error = ImageError::None;

    bool ok() const { return error == ImageError::None; }
};

// Builds the header for the facts and puts the code behind it. On error the image is empty.
ProgramImage buildProgramImage(const HeaderFacts& facts, std::span<const std::uint8_t> code);

// Big-endian field access, for the header's readers (loader, EPROM export, variable viewer, tests).
std::uint16_t readWord(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t readLong(std::span<const std::uint8_t> bytes, std::size_t offset);

}  // namespace orrery::compiler
