#pragma once
// The inline assembler: turns the blocks of HD6301 assembler that follow an ASM statement into machine
// code placed directly in the token code.
//
// It is a two-pass line assembler. Pass 1 (assembleBlock) runs when the parser meets a block: it reads
// source lines itself, up to and including the END line (or to the end of the source), appends each
// line's bytes to the code and records the line in the line table. A line whose operand names a
// symbol that is not known yet gets its final size with zero operand bytes. Pass 2 (resolvePending)
// runs once at the finish of the compile, after every block and every Quobol variable is known: it
// parses the unresolved lines again and overwrites their bytes in place.
//
// What the assembler needs from the compiler is the narrow AssemblerHost interface: the symbol table
// (lookup, new label, define label) and the code buffer (size, append with a capacity check, patch).
// It reports errors as data: the message, with the line and column where it was found.
//
// Not done here: choosing the block's origin (the model's code base is the compiler's), emitting the
// WordPush/AsmGo/AsmLoad around the block, and moving the scanner; assembleBlock returns what the
// caller needs for those.

#include "errors.h"
#include "hd6301.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orrery::compiler {

// Symbol-table flags the assembler reads and sets.
inline constexpr std::uint32_t kSymScalar = 0x80;
inline constexpr std::uint32_t kSymArray = 0x100;
inline constexpr std::uint32_t kSymAsmLabel = 0x40000;  // label defined by an assembler block
inline constexpr std::uint32_t kSymAsmEqu = 0xC0000;    // kSymAsmLabel plus "defined by EQU"
inline constexpr std::uint32_t kSymTypeAsmLabel = 0x200;

// A symbol is an address the assembler may use when it is a variable, an array or an assembler label;
// Quobol labels are code offsets of the token code and never resolve here.
constexpr bool symbolResolvesInAsm(std::uint32_t flags) {
    return (flags & (kSymScalar | kSymArray | kSymAsmLabel)) != 0;
}

struct AsmSymbol {
    std::uint32_t flags = 0;
    std::uint32_t address = 0;
};

class AssemblerHost {
public:
    virtual ~AssemblerHost() = default;

    // Case-sensitive lookup; nullopt for an unknown name.
    virtual std::optional<AsmSymbol> findSymbol(std::string_view name) const = 0;
    // The symbol table's capacity check: false when no further name may be inserted.
    virtual bool hasRoomForSymbol() const = 0;
    // Enters a new assembler label with its value (type kSymTypeAsmLabel, flags kSymAsmLabel, or
    // kSymAsmEqu for a constant given by EQU). Called only for names findSymbol() does not know.
    virtual void defineLabel(std::string_view name, std::uint16_t value, bool isEqu) = 0;

    // Bytes of code emitted so far (header excluded).
    virtual std::size_t codeSize() const = 0;
    // Appends at the end of the code. False, with nothing appended, when the bytes do not fit.
    virtual bool appendCode(std::span<const std::uint8_t> bytes) = 0;
    // Overwrites bytes emitted earlier.
    virtual void patchCode(std::size_t offset, std::span<const std::uint8_t> bytes) = 0;
};

// Reported when assembled bytes would overrun the code buffer, like any other code.
inline constexpr std::string_view kAsmCodeBufferFull = msg::kProgramTooLarge;
// Reported when one block would be longer than its 16-bit length can say.
inline constexpr std::string_view kAsmBlockTooLong = "ASM block longer than 65535 bytes";

struct AsmDiagnostic {
    std::string message;
    std::size_t position = 0;  // source offset where the error was found
    int line = 0;    // 1-based source line
    int column = 1;  // 1-based column in that line
};

struct AsmBlockResult {
    std::optional<AsmDiagnostic> error;
    std::size_t resumeOffset = 0;  // source offset where the scanner continues: after the END line
    int linesConsumed = 0;         // line ends consumed, to add to the compile's line counter
    std::size_t bytesEmitted = 0;  // the block length for the WordPush in front of AsmGo/AsmLoad
};

class Assembler {
public:
    // `source` is the whole program text and must outlive the compile; `maxLines` is the size of the
    // line table ("MaxAsmLines"): a program may hold at most maxLines - 1 assembler lines.
    Assembler(std::string_view source, int maxLines);

    // Pass 1 of one block whose first line starts at `startOffset` (the line after the ASM statement)
    // and is source line `firstLine`. `origin` is the logger address of the block's first byte.
    AsmBlockResult assembleBlock(AssemblerHost& host, std::size_t startOffset, std::uint16_t origin,
                                 int firstLine);

    // Pass 2 over every line left unresolved by the blocks of this compile.
    std::optional<AsmDiagnostic> resolvePending(AssemblerHost& host);

    // Lines in the line table so far (comment and empty lines take none).
    int lineCount() const;

    // One record of the line table.
    struct Line;

private:
    std::string_view m_source;
    std::size_t m_maxLines;
    std::vector<Line> m_lines;
};

enum class AsmDirectiveKind : std::uint8_t { Align, Data, Reserve, End, Equ, Fcc };

struct AsmDirective {
    std::string_view name;
    AsmDirectiveKind kind;
    std::uint8_t unit;    // data unit in bytes when no size suffix is given
    bool generalOperand;  // the operand goes through the instruction operand parser
};

// Sorted by name; searched like the instruction table, after it.
inline constexpr std::array<AsmDirective, 12> kAsmDirectives = {{
    {"align", AsmDirectiveKind::Align, 1, true},
    {"data", AsmDirectiveKind::Data, 1, false},
    {"db", AsmDirectiveKind::Data, 1, false},
    {"ds", AsmDirectiveKind::Reserve, 1, true},
    {"dw", AsmDirectiveKind::Data, 2, false},
    {"end", AsmDirectiveKind::End, 1, false},
    {"equ", AsmDirectiveKind::Equ, 1, true},
    {"fcb", AsmDirectiveKind::Data, 1, false},
    {"fcc", AsmDirectiveKind::Fcc, 1, false},
    {"fdb", AsmDirectiveKind::Data, 2, false},
    {"res", AsmDirectiveKind::Reserve, 1, true},
    {"rmb", AsmDirectiveKind::Reserve, 1, true},
}};
static_assert(namesStrictlySorted(kAsmDirectives), "the binary search needs the names in order");
static_assert(namesFitLookup(kAsmDirectives));

inline const AsmDirective* findDirective(std::string_view word) {
    return findMnemonic(kAsmDirectives, word);
}

struct Assembler::Line {
    std::size_t sourceOffset = 0;  // start of the line in the source
    std::string_view label;        // empty when the line has none
    const Hd6301Instruction* instruction = nullptr;
    const AsmDirective* directive = nullptr;
    std::size_t codeOffset = 0;     // where the line's bytes stand in the code
    std::size_t operandOffset = 0;  // source offset of the operand
    std::uint16_t location = 0;
    std::uint8_t unit = 1;
    bool unitGiven = false;  // a size suffix (or dw/fdb) chose the unit
    bool resolved = true;
    std::size_t size = 0;
};

}  // namespace orrery::compiler
