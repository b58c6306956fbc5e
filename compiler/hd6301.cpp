#include "hd6301.h"

namespace orrery::compiler {

MnemonicKey mnemonicKey(std::string_view word) {
    MnemonicKey key;
    key.size = word.size() < kMnemonicChars ? word.size() : kMnemonicChars;
    for (std::size_t i = 0; i < key.size; ++i) {
        const char c = word[i];
        key.chars[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return key;
}

namespace {

std::uint8_t hi(std::uint16_t v) {
    return static_cast<std::uint8_t>(v >> 8);
}
std::uint8_t lo(std::uint16_t v) {
    return static_cast<std::uint8_t>(v & 0xFF);
}

EncodedInstruction bytes1(std::uint8_t a) {
    return {{a, 0, 0}, 1, std::nullopt};
}
EncodedInstruction bytes2(std::uint8_t a, std::uint8_t b) {
    return {{a, b, 0}, 2, std::nullopt};
}
EncodedInstruction bytes3(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    return {{a, b, c}, 3, std::nullopt};
}
EncodedInstruction failure(AsmError e) {
    return {{}, 0, e};
}

std::uint8_t plus(std::uint8_t opcode, std::uint8_t offset) {
    return static_cast<std::uint8_t>(opcode + offset);
}

// Extended and indexed forms shared by the register and memory classes.
EncodedInstruction encodeMemoryOperand(std::uint8_t opcode, const AsmOperand& op) {
    if (op.mode == kModePlain)
        return bytes3(plus(opcode, kExtendedOffset), hi(op.value), lo(op.value));
    if (op.mode == kModeIndexed) {
        if (op.value > 0xFF)
            return failure(AsmError::IndexOffsetRange);
        return bytes2(plus(opcode, kIndexedOffset), lo(op.value));
    }
    // "#mask, address" forms reach here through the direct bit the register classes allow.
    return failure(AsmError::BadAddressingMode);
}

EncodedInstruction encodeRelative(std::uint8_t opcode, const AsmOperand& op, std::uint16_t location) {
    if (op.mode != kModePlain)
        return failure(AsmError::BadAddressingMode);
    if (!op.resolved)
        return bytes2(opcode, 0);
    const auto next = static_cast<std::uint16_t>(location + 2);
    const auto displacement = static_cast<std::int16_t>(static_cast<std::uint16_t>(op.value - next));
    if (displacement < -128 || displacement > 127)
        return failure(AsmError::DisplacementRange);
    return bytes2(opcode, static_cast<std::uint8_t>(displacement & 0xFF));
}

EncodedInstruction encodeMaskToMemory(std::uint8_t opcode, std::uint8_t mask, const AsmOperand& op) {
    if (op.mode == kModeDirect)
        return bytes3(plus(opcode, kDirectBitOffset), mask, lo(op.second));
    if (op.mode == kModeIndexed)
        return bytes3(opcode, mask, lo(op.second));
    return failure(AsmError::BadAddressingMode);
}

EncodedInstruction encodeBit(std::uint8_t opcode, const AsmOperand& op) {
    if (op.mode != kModeDirect && op.mode != kModeIndexed)
        return failure(AsmError::BadAddressingMode);
    if (op.value > 7)
        return failure(AsmError::BitNumberRange);
    auto mask = static_cast<std::uint8_t>(1u << op.value);
    if (opcode == kAndToMemory)
        mask = static_cast<std::uint8_t>(~mask);  // clearing ANDs with the inverse
    return encodeMaskToMemory(opcode, mask, op);
}

EncodedInstruction encodeResolved(const Hd6301Instruction& ins, const AsmOperand& op,
                                  std::uint16_t location) {
    switch (ins.cls) {
        case AsmClass::Inherent:
            return bytes1(ins.opcode);
        case AsmClass::Register8:
        case AsmClass::Store8:
            // An immediate byte keeps the low byte of the value without a range check.
            if (op.mode == kModeImmediate)
                return bytes2(ins.opcode, lo(op.value));
            return encodeMemoryOperand(ins.opcode, op);
        case AsmClass::Register16:
            if (op.mode == kModeImmediate)
                return bytes3(ins.opcode, hi(op.value), lo(op.value));
            return encodeMemoryOperand(ins.opcode, op);
        case AsmClass::Memory:
            return encodeMemoryOperand(ins.opcode, op);
        case AsmClass::Relative:
            return encodeRelative(ins.opcode, op, location);
        case AsmClass::ImmediateToMemory:
            return encodeMaskToMemory(ins.opcode, lo(op.value), op);
        case AsmClass::Bit:
            return encodeBit(ins.opcode, op);
    }
    return failure(AsmError::ShouldNotSee);
}

}  // namespace

EncodedInstruction encodeInstruction(const Hd6301Instruction& ins, const AsmOperand& operand,
                                     std::uint16_t location) {
    EncodedInstruction out = encodeResolved(ins, operand, location);
    if (!out.error && !operand.resolved) {
        for (std::size_t i = 1; i < out.bytes.size(); ++i)
            out.bytes[i] = 0;
    }
    return out;
}

}  // namespace orrery::compiler
