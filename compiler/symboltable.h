#pragma once
// The symbol table of one compile: variables with their storage addresses, arrays, labels with their
// forward-reference chains, and extension names.
//
// Names are compared case-sensitively. Entries sit in 401 hash buckets, newest first, which is also the
// order in which the finish visits them. Every failing operation reports its message through the sink
// given at construction (the compile's first-error latch) and returns an empty result, so the caller
// emits nothing further for that name.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "types.h"

namespace orrery::compiler {

class CodeBuffer;

inline constexpr std::uint32_t kFlagUsed = 0x10;
inline constexpr std::uint32_t kFlagDefined = 0x20;
inline constexpr std::uint32_t kFlagLabel = 0x40;
inline constexpr std::uint32_t kFlagScalar = 0x80;
inline constexpr std::uint32_t kFlagArray = 0x100;
inline constexpr std::uint32_t kFlagExtension = 0x200;
inline constexpr std::uint32_t kFlagAsmLabel = 0x40000;
inline constexpr std::uint32_t kFlagEqu = 0x80000;
inline constexpr std::uint32_t kFlagsAssemblerSymbols = 0xFFFF0000;  // every flag from 0x10000 upward

inline constexpr int kBucketCount = 401;
inline constexpr std::size_t kStoredNameLength = 31;
inline constexpr int kStringSlots = 64;  // a string variable takes 64 four-byte slots (256 bytes)

struct SymbolEntry {
    std::string name;           // as written, without type suffix, cut to 31 characters
    std::string fullName;       // as written, without type suffix: the lookup key
    std::uint32_t address = 0;  // variable address or slot; array lowest address; label offset or chain head
    std::uint32_t second = 0;   // array end address; extension number; label's first source position
    std::uint32_t flags = 0;
    std::uint32_t type = 0;
    std::uint32_t dim2 = 0;     // second dimension of a two-dimensional array, else 0
};

// Where variables are placed: byte addresses growing down (every model but 700 and 800) or four-byte
// slots growing up (700, 800).
struct VariableArea {
    std::uint16_t start = 29884;  // 0x74BC
    std::uint16_t limit = 16384;  // 0x4000
    std::uint16_t next = 29884;
    std::int16_t step = -4;
    std::uint16_t slotSize = 1;

    bool downward() const { return step < 0; }
    std::uint32_t variablesSize() const;
};

using ErrorSink = std::function<void(std::string_view message)>;

class SymbolTable {
public:
    SymbolTable(int capacity, ErrorSink report);

    // ---- read interface ----
    std::size_t size() const { return m_entries.size(); }
    const std::vector<SymbolEntry>& entries() const { return m_entries; }
    const SymbolEntry& entry(int index) const { return m_entries[static_cast<std::size_t>(index)]; }
    const VariableArea& area() const { return m_area; }
    int capacity() const { return m_capacity; }
    // Entry indexes bucket by bucket, newest first within a bucket.
    std::vector<int> visitOrder() const;
    std::optional<int> find(std::string_view name) const;

    // ---- operations of the compile ----
    // Moves the area (MODEL 700/800); refused once a variable exists.
    bool resetArea(std::uint16_t start, std::uint16_t limit, std::int16_t step, std::uint16_t slotSize);
    // Finds or defines the variable named as scanned (a trailing '!' or '$' gives its type).
    std::optional<int> variable(std::string_view scanned);
    // Makes (mode 1) or restarts (mode 0) the temporary strings of a statement.
    std::optional<int> temporaryString();
    void restartTemporaries() { m_nextTemporary = 0; }
    // Turns a just-created variable into an array of d1 (x d2) elements.
    bool makeArray(int index, std::int64_t d1, std::int64_t d2);
    // Defines a label at the current end of code; patches its forward references.
    bool defineLabel(std::string_view name, CodeBuffer& code, std::uint32_t sourcePosition);
    // Defines a label from an assembler block at value (EQU when isEqu).
    bool defineAssemblerSymbol(std::string_view name, std::uint32_t value, bool isEqu);
    // The operand to emit for a jump to name whose opcode stands at codeOffset.
    std::optional<std::uint16_t> referenceLabel(std::string_view name, std::uint16_t codeOffset,
                                                std::uint32_t sourcePosition);
    std::optional<int> defineExtension(std::string_view name);
    bool checkExtension(std::string_view name, std::uint32_t requiredFlags);
    bool isExtension(std::string_view name) const;
    // The first label referenced but never defined, in visiting order.
    std::optional<int> firstUndefinedLabel() const;

private:
    static int bucketOf(std::string_view name);
    bool capacityLeft(std::string_view name);
    std::optional<int> insert(std::string_view name, std::uint32_t flags);
    void fail(std::string_view name, std::string_view message);

    int m_capacity;
    ErrorSink m_report;
    std::vector<SymbolEntry> m_entries;
    std::vector<std::vector<int>> m_buckets;
    std::unordered_map<std::string, int> m_storedNames;
    VariableArea m_area;
    int m_nextTemporary = 0;
    std::uint32_t m_extensionCount = 0;
};

}  // namespace orrery::compiler
