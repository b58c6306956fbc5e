#pragma once
// The state of one compile. A fresh context is built by every compile, so nothing can leak from one
// compile into the next; the job keeps it after a success for the writers of listing, image and symbols.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "assembler.h"
#include "codebuffer.h"
#include "compiler.h"
#include "errors.h"
#include "scanner.h"
#include "symboltable.h"

namespace orrery::compiler {

enum class BlockKind : int { For = 1, While = 2, Repeat = 3, Iff = 4 };

// One open FOR, WHILE, REPEAT or IFF.
struct Block {
    BlockKind kind = BlockKind::For;
    std::uint16_t loopStart = 0;     // code offset to jump back to
    std::uint16_t forwardPatch = 0;  // offset of the placeholder of the block's forward jump
    std::uint16_t elsePatch = 0;     // offset of the placeholder of ELSE's Goto
    std::uint16_t varOrElse = 0;     // FOR: loop variable address; IFF: 1 once ELSE was seen
    Err mismatch = Err::FOR_NEXT_loop_mismatch;
};

inline constexpr std::size_t kMaxBlockDepth = 84;

struct CompileContext {
    explicit CompileContext(CompileJob& job);
    CompileContext(const CompileContext&) = delete;  // the scanner points into its own source
    CompileContext& operator=(const CompileContext&) = delete;

    // Records the first error of the compile with its line and column; later reports do nothing.
    void report(std::string_view message);
    void report(Err error) { report(userText(error)); }
    // Records an error at a given source position (an undefined label at its first reference).
    void reportAt(std::string_view message, std::size_t sourcePosition);
    bool failed() const { return errorSeen; }

    CompileJob* job;          // the job being compiled; null once the compile is over
    std::string cleanSource;  // the source with bit 7 cleared
    std::string originalSource;
    CodeBuffer code;
    std::unique_ptr<SymbolTable> symbols;
    Scanner scanner;
    Token lastToken;  // the token scanned last: errors are placed at it

    bool stop = false;
    bool errorSeen = false;
    bool endOfSource = false;
    std::uint32_t line = 1;
    std::size_t lineStart = 0;

    std::uint16_t familyMask = 0;  // family bits of every model named
    std::vector<Block> blocks;
    std::vector<std::uint16_t> pendingLineEndJumps;  // offsets of GoFalse opcodes, newest last

    // The inline assembler with its line table of MaxAsmLines entries, shared by every block.
    std::unique_ptr<Assembler> assembler;
};

// The assembler's second pass at the finish: fills in operands that named later symbols.
void finishInlineAssembly(CompileContext& context);

}  // namespace orrery::compiler
