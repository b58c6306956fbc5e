#include "symboltable.h"

#include <cstdio>
#include <cstdlib>

#include "codebuffer.h"
#include "errors.h"
#include "tokens.h"

namespace orrery::compiler {

namespace {
std::string_view stripBlanks(std::string_view name) {
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
    return name;
}
}  // namespace

std::uint32_t VariableArea::variablesSize() const {
    const int used = std::abs(static_cast<int>(next) - static_cast<int>(start));
    return static_cast<std::uint32_t>(used) * slotSize;
}

SymbolTable::SymbolTable(int capacity, ErrorSink report)
    : m_capacity(capacity), m_report(std::move(report)), m_buckets(kBucketCount) {
    if (capacity > 0) m_entries.reserve(static_cast<std::size_t>(capacity));
}

int SymbolTable::bucketOf(std::string_view name) {
    std::uint16_t sum = 0;
    for (char c : name) sum = static_cast<std::uint16_t>(sum + static_cast<signed char>(c));
    return sum % kBucketCount;
}

std::vector<int> SymbolTable::visitOrder() const {
    std::vector<int> order;
    order.reserve(m_entries.size());
    for (const auto& bucket : m_buckets) order.insert(order.end(), bucket.rbegin(), bucket.rend());
    return order;
}

std::optional<int> SymbolTable::find(std::string_view name) const {
    for (int index : m_buckets[static_cast<std::size_t>(bucketOf(name))]) {
        if (m_entries[static_cast<std::size_t>(index)].fullName == name) return index;
    }
    return std::nullopt;
}

void SymbolTable::fail(std::string_view name, std::string_view message) {
    std::string text = "\"";
    text.append(name);
    text.append("\" : ");
    text.append(message);
    if (m_report) m_report(text.substr(0, 127));
}

bool SymbolTable::capacityLeft(std::string_view name) {
    if (static_cast<int>(m_entries.size()) >= m_capacity - 1) {
        fail(name, "Too many symbols (variables+labels)");
        return false;
    }
    return true;
}

// Two names that agree in their first 31 characters would share one stored name in the symbol file and
// the program's symbol CRC; such a pair is refused rather than merged or stored twice.
std::optional<int> SymbolTable::insert(std::string_view name, std::uint32_t flags) {
    if (!capacityLeft(name)) return std::nullopt;
    std::string stored(name.substr(0, kStoredNameLength));
    if (m_storedNames.count(stored)) {
        fail(name, "Name is not unique in its first 31 characters");
        return std::nullopt;
    }
    const int index = static_cast<int>(m_entries.size());
    SymbolEntry entry;
    entry.name = stored;
    entry.fullName = std::string(name);
    entry.flags = flags;
    m_entries.push_back(std::move(entry));
    m_buckets[static_cast<std::size_t>(bucketOf(name))].push_back(index);
    m_storedNames.emplace(std::move(stored), index);
    return index;
}

bool SymbolTable::resetArea(std::uint16_t start, std::uint16_t limit, std::int16_t step, std::uint16_t slotSize) {
    if (m_area.next != m_area.start) {
        if (m_report) m_report(userText(Err::cannot_reset_label_addresses));
        return false;
    }
    m_area = VariableArea{start, limit, start, step, slotSize};
    return true;
}

std::optional<int> SymbolTable::variable(std::string_view scanned) {
    std::uint32_t type = kTypeInt;
    std::string_view name = scanned;
    if (!name.empty() && name.back() == '!') {
        type = kTypeFloat;
        name.remove_suffix(1);
    } else if (!name.empty() && name.back() == '$') {
        type = kTypeString;
        name.remove_suffix(1);
    }

    if (auto found = find(name)) {
        SymbolEntry& entry = m_entries[static_cast<std::size_t>(*found)];
        if (entry.flags & (kFlagLabel | kFlagAsmLabel)) {
            fail(name, "A variable and label cannot share this name");
            return std::nullopt;
        }
        if (type == kTypeFloat && isInt(entry.type)) {
            fail(name, "Integer variable now referred to as floating point");
            return std::nullopt;
        }
        if (type == kTypeString && isInt(entry.type)) {
            fail(name, "Integer variable now referred to as string");
            return std::nullopt;
        }
        entry.flags |= kFlagUsed;
        return found;
    }

    const bool exhausted = m_area.downward() ? m_area.next < m_area.limit : m_area.next > m_area.limit;
    if (exhausted) {
        fail(name, "Out of variable storage");
        return std::nullopt;
    }
    auto index = insert(name, kFlagScalar);
    if (!index) return std::nullopt;
    SymbolEntry& entry = m_entries[static_cast<std::size_t>(*index)];
    entry.address = m_area.next;
    entry.type = type;
    m_area.next = static_cast<std::uint16_t>(m_area.next + m_area.step);
    if (type == kTypeString) {
        if (!makeArray(*index, kStringSlots, 0)) return std::nullopt;
        m_entries[static_cast<std::size_t>(*index)].flags = kFlagScalar;
    }
    return index;
}

std::optional<int> SymbolTable::temporaryString() {
    if (m_nextTemporary >= 100) return std::nullopt;
    char name[32];
    std::snprintf(name, sizeof name, "tocStringVar%02d$", m_nextTemporary++);
    return variable(name);
}

bool SymbolTable::makeArray(int index, std::int64_t d1, std::int64_t d2) {
    SymbolEntry& entry = m_entries[static_cast<std::size_t>(index)];
    // A negative dimension would move the free pointer backwards over other variables.
    if (d1 <= 0 || d2 < 0) {
        fail(entry.name, "Invalid array dimension");
        return false;
    }
    if (entry.flags & kFlagUsed) {
        fail(entry.name, "Can't redefine as array");
        return false;
    }
    const std::int64_t stepSize = std::abs(m_area.step);
    const std::uint16_t span = static_cast<std::uint16_t>(m_area.start - m_area.limit);
    if (d1 > static_cast<std::int64_t>(span / stepSize)) {
        fail(entry.name, "Invalid array dimension");
        return false;
    }
    const std::int64_t count = d2 != 0 ? d1 * d2 : d1;
    // Wide arithmetic: a large second dimension must not wrap around the 16-bit address space.
    const std::int64_t lastNeeded = static_cast<std::int64_t>(m_area.next) + m_area.step * (count - 2);
    const bool tooLarge = m_area.downward() ? lastNeeded < m_area.limit : lastNeeded > m_area.limit;
    if (tooLarge) {
        fail(entry.name, "Array too large for remaining variable area");
        return false;
    }
    const std::int64_t grown = m_area.step * (count - 1);
    if (m_area.downward()) {
        m_area.next = static_cast<std::uint16_t>(m_area.next + grown);
        entry.second = entry.address + 3;
        entry.address = static_cast<std::uint32_t>(m_area.next + stepSize);
    } else {
        entry.address = static_cast<std::uint32_t>(m_area.next - 1);
        m_area.next = static_cast<std::uint16_t>(m_area.next + grown);
        entry.second = m_area.next;
    }
    entry.flags = kFlagArray;
    entry.dim2 = static_cast<std::uint32_t>(d2);
    return true;
}

bool SymbolTable::defineLabel(std::string_view name, CodeBuffer& code, std::uint32_t sourcePosition) {
    name = stripBlanks(name);
    if (lookupKeyword(name) || isExtension(name)) {
        fail(name, "Can't use keyword as label");
        return false;
    }
    std::uint16_t position = code.offset();
    if (code.embedLineNumbers() && code.endsWithLineNumber()) position = static_cast<std::uint16_t>(position - 3);

    if (auto found = find(name)) {
        SymbolEntry& entry = m_entries[static_cast<std::size_t>(*found)];
        if (!(entry.flags & kFlagLabel)) {
            fail(name, "Can't redefine as label");
            return false;
        }
        if (entry.flags & (kFlagDefined | kFlagAsmLabel)) {
            fail(name, "Multiple declaration of label");
            return false;
        }
        if (!code.resolveChain(static_cast<std::uint16_t>(entry.address), position)) {
            if (m_report) m_report(userText(Err::internal_error__300));
            return false;
        }
        entry.address = position;
        entry.flags |= kFlagDefined;
        entry.type = kTypeLabel;
        return true;
    }
    auto index = insert(name, kFlagLabel | kFlagDefined);
    if (!index) return false;
    SymbolEntry& entry = m_entries[static_cast<std::size_t>(*index)];
    entry.address = position;
    entry.second = sourcePosition;
    entry.type = kTypeLabel;
    return true;
}

bool SymbolTable::defineAssemblerSymbol(std::string_view name, std::uint32_t value, bool isEqu) {
    name = stripBlanks(name);
    // Assembler symbols carry only the assembler flags, not the label flag: the symbol summary lists them
    // apart from Quobol labels and counts them in the VCRC.
    std::uint32_t flags = kFlagAsmLabel | (isEqu ? kFlagEqu : 0);
    if (auto found = find(name)) {
        SymbolEntry& entry = m_entries[static_cast<std::size_t>(*found)];
        if (entry.flags & (kFlagDefined | kFlagAsmLabel | kFlagScalar | kFlagArray | kFlagExtension)) {
            fail(name, "Multiple declaration of label");
            return false;
        }
        entry.address = value;
        entry.flags |= flags;
        entry.type = kTypeAsmLabel;
        return true;
    }
    auto index = insert(name, flags);
    if (!index) return false;
    m_entries[static_cast<std::size_t>(*index)].address = value;
    m_entries[static_cast<std::size_t>(*index)].type = kTypeAsmLabel;
    return true;
}

std::optional<std::uint16_t> SymbolTable::referenceLabel(std::string_view name, std::uint16_t codeOffset,
                                                         std::uint32_t sourcePosition) {
    const std::uint16_t operandOffset = static_cast<std::uint16_t>(codeOffset + 1);
    if (auto found = find(name)) {
        SymbolEntry& entry = m_entries[static_cast<std::size_t>(*found)];
        if (((entry.flags & kFlagDefined) && (entry.flags & kFlagLabel)) || (entry.flags & kFlagAsmLabel))
            return static_cast<std::uint16_t>(entry.address);
        if (entry.flags & kFlagLabel) {
            const auto head = static_cast<std::uint16_t>(entry.address);
            entry.address = operandOffset;
            return head;
        }
        if (m_report) {
            const bool isVariable = entry.flags & (kFlagScalar | kFlagArray);
            m_report(userText(isVariable ? Err::variable_and_label_share_name : Err::internal_error__300));
        }
        return std::nullopt;
    }
    auto index = insert(name, kFlagLabel | kFlagUsed);
    if (!index) return std::nullopt;
    SymbolEntry& entry = m_entries[static_cast<std::size_t>(*index)];
    entry.address = operandOffset;
    entry.second = sourcePosition;
    return operandOffset;
}

std::optional<int> SymbolTable::defineExtension(std::string_view name) {
    name = stripBlanks(name);
    if (lookupKeyword(name) || isExtension(name)) {
        fail(name, "Can't use keyword here");
        return std::nullopt;
    }
    if (find(name)) {
        fail(name, "Can't redefine symbol");
        return std::nullopt;
    }
    auto index = insert(name, kFlagExtension);
    if (!index) return std::nullopt;
    m_entries[static_cast<std::size_t>(*index)].second = ++m_extensionCount;
    return index;
}

bool SymbolTable::checkExtension(std::string_view name, std::uint32_t requiredFlags) {
    auto found = find(name);
    if (!found) {
        fail(name, "Extension names must be defined first");
        return false;
    }
    if ((m_entries[static_cast<std::size_t>(*found)].flags & requiredFlags) != requiredFlags) {
        fail(name, "Can't redefine symbol as an extension or external");
        return false;
    }
    return true;
}

bool SymbolTable::isExtension(std::string_view name) const {
    // Asked for every name the scanner reads; most programs declare no extension at all.
    if (m_extensionCount == 0) return false;
    auto found = find(name);
    return found && (m_entries[static_cast<std::size_t>(*found)].flags & kFlagExtension);
}

std::optional<int> SymbolTable::firstUndefinedLabel() const {
    constexpr std::uint32_t kDefinedKinds = kFlagDefined | kFlagScalar | kFlagArray | kFlagExtension;
    for (int index : visitOrder()) {
        const std::uint32_t flags = m_entries[static_cast<std::size_t>(index)].flags;
        if (!(flags & kDefinedKinds) && !(flags & kFlagsAssemblerSymbols)) return index;
    }
    return std::nullopt;
}

}  // namespace orrery::compiler
