#pragma once
// The symbol summary: one compact record per defined symbol of a compile, sorted, with the two CRCs
// that tie a program image to its symbol file. The summary feeds the program header (VCRC, LCRC), the
// optional .sym file, and the variable viewer, which reads the .sym file back and checks its VCRC
// against the header of the program loaded in the logger.
//
// .sym file, every line ending in CR LF:
//
//     QUOBOL SYMBOL TABLE
//     COUNT V I 74BC             name padded to the longest name, kind, type, address (>= 4 hex digits)
//     TEMPS A F 7494 10          arrays add their element count in decimal
//     SCAN  L B 0012
//     [VCRC]=1a2b                lower-case hex, no leading zeros
//     [LCRC]=0

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compiler.h"
#include "symboltable.h"
#include "types.h"

namespace orrery::compiler {

// What the summary needs of one symbol-table entry.
struct SymbolEntryFacts {
    std::string_view name;
    std::uint32_t flags = 0;
    std::uint32_t type = 0;
    std::uint32_t address = 0;      // variable address or slot, array start, label offset, value
    std::uint32_t secondValue = 0;  // array end address, extension number
};

struct SymbolRecord {
    std::string name;  // at most kStoredNameLength (31) characters
    char kind = 'U';   // L label, A array, V variable, E extension, U anything else
    char type = 'U';
    std::uint16_t kindOrder = 5;
    std::uint16_t typeOrder = 3;
    std::uint16_t address = 0;
    std::int16_t count = 1;  // elements of an array, 1 for other symbols, 0 for labels

    bool isLabel() const { return kind == 'L'; }
    friend bool operator==(const SymbolRecord&, const SymbolRecord&) = default;
};

struct SymbolSummary {
    std::vector<SymbolRecord> records;  // in summary order
    std::uint16_t longestName = 0;
    std::uint16_t vcrc = 0;  // over every record that is not a label
    std::uint16_t lcrc = 0;  // over the label records
};

// A label that was referenced but never defined carries none of the flags of a defined symbol.
bool isUndefinedLabel(std::uint32_t flags);

// The record of a defined entry. areaStep is the signed step of the variable area the compile used
// (-4 for byte addresses growing downward, +1 for slots growing upward); arrays derive their element
// count from it.
SymbolRecord summaryRecordOf(const SymbolEntryFacts& entry, int areaStep);

// Orders by kind, then type, then name compared as unsigned bytes.
bool summaryOrderLess(const SymbolRecord& a, const SymbolRecord& b);

// CRC over the label records (labels = true) or over all others, in the order given.
std::uint16_t summaryCrc(const std::vector<SymbolRecord>& records, bool labels);

// Sorts the records and computes the longest name and both CRCs.
SymbolSummary makeSymbolSummary(std::vector<SymbolRecord> records);

// The summary of a resolved symbol table (every label defined), in the table's visiting order before
// the sort.
SymbolSummary buildSymbolSummary(const SymbolTable& table);

// The summary kept by the last successful compile of the job; nullptr after a failure or releaseJob().
const SymbolSummary* symbolSummary(const CompileJob& job);

// The whole .sym file.
std::string symbolFileText(const SymbolSummary& summary);

}  // namespace orrery::compiler
