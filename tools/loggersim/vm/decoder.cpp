#include "decoder.h"

#include "opcodes.h"

namespace orrery::loggervm {

using compiler::kOpcodes;
using compiler::Operand;

namespace {

// The part of an operand whose length is written in the code itself.
std::optional<std::uint32_t> variableLength(std::span<const std::uint8_t> code, std::uint32_t offset,
                                            Operand operand) {
    switch (operand) {
        case Operand::String:  // length byte right after the opcode
            if (offset + 1 >= code.size()) return std::nullopt;
            return code[offset + 1];
        case Operand::ExtensionDef:  // number (2 bytes), then the name's length byte
            if (offset + 3 >= code.size()) return std::nullopt;
            return code[offset + 3];
        case Operand::AsmBlock:  // the WordPush in front of the opcode carries the block's length
            if (offset < 2) return 0u;
            return static_cast<std::uint32_t>(code[offset - 2] << 8 | code[offset - 1]);
        default:
            return 0u;
    }
}

}  // namespace

std::optional<Instruction> decodeAt(std::span<const std::uint8_t> code, std::uint32_t offset) {
    if (offset >= code.size()) return std::nullopt;
    const std::uint8_t opcode = code[offset];
    if (opcode >= kOpcodes.size()) return std::nullopt;
    const Operand operand = kOpcodes[opcode].operand;
    const auto extra = variableLength(code, offset, operand);
    if (!extra) return std::nullopt;
    const std::uint64_t length = 1u + static_cast<std::uint32_t>(compiler::fixedOperandLength(operand)) + *extra;
    if (offset + length > code.size()) return std::nullopt;
    return Instruction{offset, opcode, static_cast<std::uint32_t>(length)};
}

std::vector<std::uint32_t> instructionOffsets(std::span<const std::uint8_t> code) {
    std::vector<std::uint32_t> offsets;
    std::uint32_t at = 0;
    while (at < code.size()) {
        const auto instruction = decodeAt(code, at);
        if (!instruction) break;
        offsets.push_back(at);
        at += instruction->length;
    }
    return offsets;
}

}  // namespace orrery::loggervm
