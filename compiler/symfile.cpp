#include "symfile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "context.h"
#include "crc16.h"

namespace orrery::compiler {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

struct KindChoice {
    char letter;
    std::uint16_t order;
};

KindChoice kindOf(std::uint32_t flags) {
    if (flags & kFlagLabel)
        return {'L', 3};
    if (flags & kFlagArray)
        return {'A', 2};
    if (flags & kFlagScalar)
        return {'V', 1};
    if (flags & kFlagExtension)
        return {'E', 4};
    return {'U', 5};
}

KindChoice typeOf(char kind, std::uint32_t type) {
    switch (kind) {
        case 'L':
            return (type == kTypeAsmLabel) ? KindChoice{'A', 2} : KindChoice{'B', 1};
        case 'V':
            if (type & kIntTypeMask)
                return {'I', 1};
            if (type & kTypeFloat)
                return {'F', 2};
            return {'S', 3};
        case 'A':
            return (type & kIntTypeMask) ? KindChoice{'I', 1} : KindChoice{'F', 2};
        default:
            return {'U', 3};
    }
}

// End addresses of the downward byte area name the array's last byte, those of the upward slot area
// the slot after the last element; adding one in the byte area makes both a plain difference.
std::int16_t arrayCount(const SymbolEntryFacts& entry, int areaStep) {
    const long step = std::labs(static_cast<long>(areaStep));
    if (step == 0)
        return 0;
    long end = static_cast<long>(entry.secondValue);
    if (step == 4)
        end += 1;
    return static_cast<std::int16_t>((end - static_cast<long>(entry.address)) / step);
}

void appendLittleEndian(std::uint16_t& crc, std::uint16_t value) {
    crc = crc16Update(crc, static_cast<std::uint8_t>(value & 0xFF));
    crc = crc16Update(crc, static_cast<std::uint8_t>(value >> 8));
}

}  // namespace

bool isUndefinedLabel(std::uint32_t flags) {
    constexpr std::uint32_t kDefinedMarks =
        kFlagDefined | kFlagScalar | kFlagArray | kFlagExtension | kFlagsAssemblerSymbols;
    return (flags & kDefinedMarks) == 0;
}

SymbolRecord summaryRecordOf(const SymbolEntryFacts& entry, int areaStep) {
    SymbolRecord record;
    record.name = std::string(entry.name.substr(0, kStoredNameLength));
    const KindChoice kind = kindOf(entry.flags);
    const KindChoice type = typeOf(kind.letter, entry.type);
    record.kind = kind.letter;
    record.kindOrder = kind.order;
    record.type = type.letter;
    record.typeOrder = type.order;
    const bool isExtension = (entry.flags & kFlagExtension) != 0;
    record.address = static_cast<std::uint16_t>(isExtension ? entry.secondValue : entry.address);
    switch (kind.letter) {
        case 'L':
            record.count = 0;
            break;
        case 'A':
            record.count = arrayCount(entry, areaStep);
            break;
        default:
            record.count = 1;
    }
    return record;
}

bool summaryOrderLess(const SymbolRecord& a, const SymbolRecord& b) {
    if (a.kindOrder != b.kindOrder)
        return a.kindOrder < b.kindOrder;
    if (a.typeOrder != b.typeOrder)
        return a.typeOrder < b.typeOrder;
    return std::lexicographical_compare(
        a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
        [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
}

// The address and count go in low byte first, although the header stores the CRCs themselves high
// byte first: both sides of the match (compiler and variable viewer) compute it this way.
std::uint16_t summaryCrc(const std::vector<SymbolRecord>& records, bool labels) {
    std::uint16_t crc = 0;
    for (const SymbolRecord& r : records) {
        if (r.isLabel() != labels)
            continue;
        crc = crc16Update(crc, r.name);
        crc = crc16Update(crc, static_cast<std::uint8_t>(r.kind));
        crc = crc16Update(crc, static_cast<std::uint8_t>(r.type));
        appendLittleEndian(crc, r.address);
        if (r.kind == 'A')
            appendLittleEndian(crc, static_cast<std::uint16_t>(r.count));
    }
    return crc;
}

SymbolSummary makeSymbolSummary(std::vector<SymbolRecord> records) {
    SymbolSummary summary;
    std::sort(records.begin(), records.end(), summaryOrderLess);
    for (const SymbolRecord& r : records) {
        summary.longestName =
            std::max<std::uint16_t>(summary.longestName, static_cast<std::uint16_t>(r.name.size()));
    }
    summary.records = std::move(records);
    summary.vcrc = summaryCrc(summary.records, false);
    summary.lcrc = summaryCrc(summary.records, true);
    return summary;
}

SymbolSummary buildSymbolSummary(const SymbolTable& table) {
    std::vector<SymbolRecord> records;
    records.reserve(table.size());
    for (int index : table.visitOrder()) {
        const SymbolEntry& entry = table.entry(index);
        records.push_back(summaryRecordOf({entry.name, entry.flags, entry.type, entry.address, entry.second},
                                          table.area().step));
    }
    return makeSymbolSummary(std::move(records));
}

const SymbolSummary* symbolSummary(const CompileJob& job) {
    return job.state ? &job.state->summary : nullptr;
}

std::string symbolFileText(const SymbolSummary& summary) {
    std::string text = "QUOBOL SYMBOL TABLE";
    text += kLineEnd;
    char buffer[96];
    for (const SymbolRecord& r : summary.records) {
        std::snprintf(buffer, sizeof buffer, "%-*s %c %c %04X", static_cast<int>(summary.longestName),
                      r.name.c_str(), r.kind, r.type, static_cast<unsigned>(r.address));
        text += buffer;
        if (r.kind == 'A') {
            std::snprintf(buffer, sizeof buffer, " %d", static_cast<int>(r.count));
            text += buffer;
        }
        text += kLineEnd;
    }
    std::snprintf(buffer, sizeof buffer, "[VCRC]=%x",
                  static_cast<unsigned>(summaryCrc(summary.records, false)));
    text += buffer;
    text += kLineEnd;
    std::snprintf(buffer, sizeof buffer, "[LCRC]=%x",
                  static_cast<unsigned>(summaryCrc(summary.records, true)));
    text += buffer;
    text += kLineEnd;
    return text;
}

}  // namespace orrery::compiler
