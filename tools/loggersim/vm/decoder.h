#pragma once
// Instruction boundaries of token code, read from the compiler's opcode table: the interpreter steps
// through code with this decoder, and the listing walks the same table, so both agree on where every
// instruction starts.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orrery::loggervm {

struct Instruction {
    std::uint32_t offset = 0;  // of the opcode byte, from the first code byte
    std::uint8_t opcode = 0;
    std::uint32_t length = 0;  // opcode byte plus every operand byte
};

// The instruction at offset, or nothing when the opcode is not in the table or its operands run past
// the end of the code.
std::optional<Instruction> decodeAt(std::span<const std::uint8_t> code, std::uint32_t offset);

// Offsets of every instruction from the start to the end of the code; stops at the first one that
// does not decode.
std::vector<std::uint32_t> instructionOffsets(std::span<const std::uint8_t> code);

}  // namespace orrery::loggervm
