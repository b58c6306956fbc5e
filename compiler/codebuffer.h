#pragma once
// The code buffer: where the parser's statement rules emit token code.
//
// It owns emission, patching of forward jumps, the label chains threaded through unpatched operands,
// the line-number instructions and the bounds check. The capacity is fixed at the start of a compile
// (source length + 44300 code bytes, at most 64 KB); an emission that would pass it is dropped and the buffer marks
// itself overflowed, so no input can write past the end and every program that fits gets its exact
// bytes. Offsets are relative to the first code byte (the byte after the image header).

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include "opcodes.h"

namespace orrery::compiler {

// Bytes of the image buffer beyond the source length, of which the first 82 hold the header.
inline constexpr std::size_t kImageReserve = 44382;
inline constexpr std::size_t kHeaderRoom = 82;
// Jump targets and labels are 16-bit code offsets: code beyond them could not be reached correctly.
inline constexpr std::size_t kMaxCodeSize = 0x10000;

enum class LineEnd { Blank, Statements, Label };

class CodeBuffer {
public:
    explicit CodeBuffer(std::size_t capacity = 0) : m_capacity(capacity) { m_bytes.reserve(capacity); }

    std::uint16_t offset() const { return static_cast<std::uint16_t>(m_bytes.size()); }
    std::size_t size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }
    bool overflowed() const { return m_overflowed; }
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }
    std::uint8_t at(std::size_t offset) const { return offset < m_bytes.size() ? m_bytes[offset] : 0; }
    std::uint16_t wordAt(std::size_t offset) const;

    // Highest token number (opcode + 258) emitted since the start; 0 when none.
    std::uint16_t highestToken() const { return m_highestToken; }

    void emitByte(std::uint8_t byte);
    void emitWord(std::uint16_t word);  // high byte first
    void emitLong(std::uint32_t value);
    void emitOp(Op op);
    void emitOpByte(Op op, std::uint8_t byte);
    void emitOpWord(Op op, std::uint16_t word);
    void emitOpWords(Op op, std::uint16_t first, std::uint16_t second);
    void emitOpLong(Op op, std::uint32_t value);

    // Shortest push of an integer constant: BytePush 0..127, WordPush 128..32767, else LongPush.
    void pushInt(std::int32_t value);
    // A float constant is always a LongPush of its single-precision bits.
    void pushFloatBits(std::uint32_t bits);
    // StrConst, length byte, characters. The caller refuses strings longer than 255 characters.
    void emitStringConst(std::string_view text);
    // Length byte and characters of an extension name.
    void emitCountedName(std::string_view name);
    // Raw bytes (assembled machine code), all or none; false when they do not fit.
    bool emitBytes(std::span<const std::uint8_t> bytes);

    // Writes word at offset (a placeholder emitted earlier).
    void patchWord(std::size_t offset, std::uint16_t word);
    // Overwrites bytes emitted earlier (the second pass of the assembler).
    void patchBytes(std::size_t offset, std::span<const std::uint8_t> bytes);
    // Writes target into every link of a forward-reference chain starting at head; the chain ends at
    // the operand that points to itself. Returns false for a chain that leaves the code or loops.
    bool resolveChain(std::uint16_t head, std::uint16_t target);

    // Cuts the code back to offset (constant pin pushes replaced by one mask).
    void truncate(std::size_t offset);
    void removeLastByte();

    // Line numbers ---------------------------------------------------------------------------
    void setEmbedLineNumbers(bool embed) { m_embedLines = embed; }
    bool embedLineNumbers() const { return m_embedLines; }
    // LinNum 1 in front of everything.
    void startLineNumbers();
    // The parser finished a line; line is the number of the line that comes next.
    void lineFinished(std::uint16_t line, LineEnd kind);
    // True when the last instruction is a LinNum (a label defined here designates it).
    bool endsWithLineNumber() const;

private:
    bool reserve(std::size_t count);
    void emitLineNumber(std::uint16_t line);

    std::vector<std::uint8_t> m_bytes;
    std::size_t m_capacity;
    bool m_overflowed = false;
    std::uint16_t m_highestToken = 0;
    bool m_embedLines = false;
    std::size_t m_afterLineNumber = static_cast<std::size_t>(-1);
};

}  // namespace orrery::compiler
