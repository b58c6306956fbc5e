#include "codebuffer.h"

#include <algorithm>

namespace orrery::compiler {

namespace {
constexpr std::uint8_t byteOf(Op op) { return static_cast<std::uint8_t>(op); }
}  // namespace

std::uint16_t CodeBuffer::wordAt(std::size_t offset) const {
    return static_cast<std::uint16_t>(at(offset) << 8 | at(offset + 1));
}

bool CodeBuffer::reserve(std::size_t count) {
    if (m_overflowed || m_bytes.size() + count > m_capacity) {
        m_overflowed = true;
        return false;
    }
    return true;
}

void CodeBuffer::emitByte(std::uint8_t byte) {
    if (reserve(1)) m_bytes.push_back(byte);
}

void CodeBuffer::emitWord(std::uint16_t word) {
    if (!reserve(2)) return;
    m_bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    m_bytes.push_back(static_cast<std::uint8_t>(word));
}

void CodeBuffer::emitLong(std::uint32_t value) {
    if (!reserve(4)) return;
    for (int shift = 24; shift >= 0; shift -= 8) m_bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

void CodeBuffer::emitOp(Op op) {
    m_highestToken = std::max<std::uint16_t>(m_highestToken, static_cast<std::uint16_t>(tokenOf(op)));
    emitByte(byteOf(op));
}

void CodeBuffer::emitOpByte(Op op, std::uint8_t byte) {
    if (!reserve(2)) return;
    emitOp(op);
    emitByte(byte);
}

void CodeBuffer::emitOpWord(Op op, std::uint16_t word) {
    if (!reserve(3)) return;
    emitOp(op);
    emitWord(word);
}

void CodeBuffer::emitOpWords(Op op, std::uint16_t first, std::uint16_t second) {
    if (!reserve(5)) return;
    emitOp(op);
    emitWord(first);
    emitWord(second);
}

void CodeBuffer::emitOpLong(Op op, std::uint32_t value) {
    if (!reserve(5)) return;
    emitOp(op);
    emitLong(value);
}

void CodeBuffer::pushInt(std::int32_t value) {
    if (value >= 0 && value <= 127) {
        emitOpByte(Op::BytePush, static_cast<std::uint8_t>(value));
    } else if (value >= 128 && value <= 32767) {
        emitOpWord(Op::WordPush, static_cast<std::uint16_t>(value));
    } else {
        emitOpLong(Op::LongPush, static_cast<std::uint32_t>(value));
    }
}

void CodeBuffer::pushFloatBits(std::uint32_t bits) { emitOpLong(Op::LongPush, bits); }

void CodeBuffer::emitStringConst(std::string_view text) {
    if (!reserve(2 + text.size())) return;
    emitOp(Op::StrConst);
    emitCountedName(text);
}

void CodeBuffer::emitCountedName(std::string_view name) {
    if (!reserve(1 + name.size())) return;
    m_bytes.push_back(static_cast<std::uint8_t>(name.size()));
    m_bytes.insert(m_bytes.end(), name.begin(), name.end());
}

bool CodeBuffer::emitBytes(std::span<const std::uint8_t> bytes) {
    if (!reserve(bytes.size())) return false;
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return true;
}

void CodeBuffer::patchBytes(std::size_t offset, std::span<const std::uint8_t> bytes) {
    if (offset > m_bytes.size() || bytes.size() > m_bytes.size() - offset) return;
    std::copy(bytes.begin(), bytes.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void CodeBuffer::patchWord(std::size_t offset, std::uint16_t word) {
    if (offset + 2 > m_bytes.size()) return;
    m_bytes[offset] = static_cast<std::uint8_t>(word >> 8);
    m_bytes[offset + 1] = static_cast<std::uint8_t>(word);
}

bool CodeBuffer::resolveChain(std::uint16_t head, std::uint16_t target) {
    std::size_t link = head;
    // A well-formed chain has at most one link per two code bytes; more means it loops.
    for (std::size_t steps = 0; steps <= m_bytes.size(); ++steps) {
        if (link + 2 > m_bytes.size()) return false;
        const std::uint16_t next = wordAt(link);
        patchWord(link, target);
        if (next == link) return true;
        link = next;
    }
    return false;
}

void CodeBuffer::truncate(std::size_t offset) {
    if (offset < m_bytes.size()) m_bytes.resize(offset);
}

void CodeBuffer::removeLastByte() {
    if (!m_bytes.empty()) m_bytes.pop_back();
}

void CodeBuffer::emitLineNumber(std::uint16_t line) {
    emitOpWord(Op::LinNum, line);
    m_afterLineNumber = m_bytes.size();
}

void CodeBuffer::startLineNumbers() {
    if (m_embedLines) emitLineNumber(1);
}

bool CodeBuffer::endsWithLineNumber() const {
    return m_bytes.size() >= 3 && m_bytes[m_bytes.size() - 3] == byteOf(Op::LinNum);
}

void CodeBuffer::lineFinished(std::uint16_t line, LineEnd kind) {
    if (!m_embedLines) return;
    const bool nothingSinceLineNumber = m_bytes.size() == m_afterLineNumber && endsWithLineNumber();
    switch (kind) {
        case LineEnd::Label:
            emitLineNumber(line);
            break;
        case LineEnd::Blank:
            if (m_bytes.empty()) break;
            [[fallthrough]];
        case LineEnd::Statements:
            if (nothingSinceLineNumber) {
                patchWord(m_bytes.size() - 2, line);
            } else {
                emitLineNumber(line);
            }
            break;
    }
}

}  // namespace orrery::compiler
