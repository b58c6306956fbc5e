#pragma once
// The listing (.lst): a header block with the program's sizes, then the token code one instruction per
// line (offset, opcode byte, name, decoded operands), interleaved with the source lines as far as the
// code's line-number instructions allow. It is written from the finished image and the source text
// alone; the parser is not consulted again.

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orrery::compiler {

// Called with a rising progress value; its answer (cancel) is ignored because a listing is short work.
using ProgressHook = std::function<bool(std::int32_t)>;

struct ListingInputs {
    std::string_view sourceName;          // file name without folder; "Untitled" is shown when empty
    std::string_view sourceText;          // the compiled text, including the CR LF appended to it
    std::span<const std::uint8_t> image;  // header then code
    std::uint16_t headerSize = 0;
    std::uint32_t codeSize = 0;
    std::uint32_t variablesSize = 0;
    std::string dateText;  // see listingDateText
};

// "Tuesday, December 08, 2026   02:15:31 PM", always with English names whatever the process locale,
// so that listings compare equal across machines.
std::string formatListingDate(const std::tm& time);

// The date for a listing written now: the time given by SOURCE_DATE_EPOCH (seconds since the epoch,
// shown in UTC) when that variable holds a number, so that builds are reproducible; else local time.
std::string listingDateText();
std::string listingDateText(const char* sourceDateEpoch, std::time_t now);

// The name the listing prints for an opcode byte.
std::string_view opcodeNameOf(std::uint8_t opcode);

std::string listingText(const ListingInputs& inputs, const ProgressHook& progress = {});

}  // namespace orrery::compiler
