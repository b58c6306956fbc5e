#pragma once
// The HD6301/HD6303 instruction table and its encoders, used by the inline assembler.
//
// The table holds the Motorola 6801 instruction set, the 6301 additions (aim, oim, eim, tim, xgdx,
// slp), the usual alternative spellings (lsl, lsla, lslb, lsld, bhs, blo, sleep) and four bit forms
// built on aim/oim/eim/tim (bclr, bset, btgl, btst). Each record names its encoding class; the class
// decides whether the mnemonic takes an operand, which addressing modes it accepts and how the bytes
// are laid out. Plain addresses always take the extended form, also below 256: this assembler never
// picks direct addressing by itself.
//
// The assembler's message table lives here too, because the encoders raise its codes.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace orrery::compiler {

// ---------------------------------------------------------------------------------------------------
// Messages of the assembler. Every text except "Bad character in label" and "Too many symbols
// (variables+labels)" ends in one blank: that blank is part of the message the user sees.

#define ORRERY_ASM_ERRORS(X)                                                  \
    X(NoErrors, "NO ERRORS !!! ")                                             \
    X(ShouldNotSee, "You should not see this ASM error ")                     \
    X(Canceled, "Assembly canceled by user ")                                 \
    X(AlignNeedsOperand, "ALIGN directives must have expression operand ")    \
    X(AlignForwardRef, "ALIGN directives may not make forward references ")   \
    X(BadAddressingMode, "Bad addressing mode ")                              \
    X(BadLabelChar, "Bad character in label")                                 \
    X(BadOperandChar, "Bad character in operand ")                            \
    X(BadMnemonic, "Bad mnemonic or directive ")                              \
    X(DataNeedsParams, "DATA directives must have paramters ")                \
    X(LabelRequired, "Label must preceed this directive ")                    \
    X(DisplacementRange, "Displacement out of range ")                        \
    X(DivisionByZero, "Division by zero error ")                              \
    X(EquNeedsOperand, "EQU must have expression operand ")                   \
    X(ExpectingSecondOperand, "Expecting comma separated second operand ")    \
    X(ExpectingIndexRegister, "Expecting index register specifier ")          \
    X(InvalidSize, "Invalid size specifier ")                                 \
    X(MismatchedParen, "Mis-matched parenthesis ")                            \
    X(MultipleLabel, "Multiple defined label ")                               \
    X(UnterminatedString, "Strings must have terminating quote ")             \
    X(UnmatchedTerminator, "Strings must have matching terminator ")          \
    X(EquForwardRef, "EQU may not make forward references ")                  \
    X(MixedCase, "This directive cannot contain mixed upper and lower case ") \
    X(OrgForwardRef, "ORG directives may not make forward references ")       \
    X(ResForwardRef, "RES directives may not make forward references ")       \
    X(AssignForwardRef, "ASSIGN directives may not make forward references ") \
    X(Not6301Mnemonic, "Not a valid 6301/6303 mnemonic ")                     \
    X(OrgNeedsOperand, "ORG directives must have expression operand ")        \
    X(ResNeedsOperand, "RES directives must have expression operand ")        \
    X(UndefinedSymbol, "Undefined symbol ")                                   \
    X(TooManyValues, "Too many values in data statement ")                    \
    X(IndexOffsetRange, "Index offset out of range ")                         \
    X(ImmediateRange, "Immediate value out of range ")                        \
    X(DirectRange, "Direct addressing value out of range ")                   \
    X(BadOperand, "Bad Operand ")                                             \
    X(AddressingValueRange, "Addressing value out of range ")                 \
    X(BitNumberRange, "Bit instruction must specify 0 to 7 ")                 \
    X(TooManyLines, "Too many ASM lines ")                                    \
    X(TooManySymbols, "Too many symbols (variables+labels)")                  \
    X(Undefined, "Undefined error, call tech support ")

enum class AsmError : std::uint8_t {
#define ORRERY_ASM_ERROR_ENUM(name, text) name,
    ORRERY_ASM_ERRORS(ORRERY_ASM_ERROR_ENUM)
#undef ORRERY_ASM_ERROR_ENUM
};

inline constexpr std::array<std::string_view, 40> kAsmMessages = {
#define ORRERY_ASM_ERROR_TEXT(name, text) std::string_view(text),
    ORRERY_ASM_ERRORS(ORRERY_ASM_ERROR_TEXT)
#undef ORRERY_ASM_ERROR_TEXT
};

static_assert(static_cast<int>(AsmError::Undefined) == 39, "the assembler's message codes run 0 to 39");
static_assert(static_cast<int>(AsmError::BadOperand) == 34);
static_assert(static_cast<int>(AsmError::TooManyLines) == 37);

constexpr std::string_view asmMessage(AsmError code) {
    return kAsmMessages[static_cast<std::size_t>(code)];
}

// ---------------------------------------------------------------------------------------------------
// Addressing-mode codes. The operand parser cannot tell direct, extended and relative apart, so a plain
// value carries all three bits (kModePlain); an instruction accepts an operand when the two sets meet.

inline constexpr std::uint8_t kModeInherent = 0x02;
inline constexpr std::uint8_t kModeImmediate = 0x04;
inline constexpr std::uint8_t kModeDirect = 0x08;
inline constexpr std::uint8_t kModeExtended = 0x10;
inline constexpr std::uint8_t kModeRelative = 0x20;
inline constexpr std::uint8_t kModeIndexed = 0x40;
inline constexpr std::uint8_t kModePlain = kModeDirect | kModeExtended | kModeRelative;

enum class AsmClass : std::uint8_t {
    Inherent,           // opcode only
    Register8,          // 8-bit accumulator: immediate, extended, indexed
    Store8,             // the 8-bit register layout without immediate (stores, jsr)
    Register16,         // 16-bit register: 2-byte immediate, extended, indexed
    Memory,             // read-modify-write on memory: extended, indexed
    Relative,           // branches: one signed displacement byte
    ImmediateToMemory,  // aim/oim/eim/tim: "#mask, address" or "#mask, offset,X"
    Bit,                // "#bit, address" built on the immediate-to-memory forms
};

constexpr bool classTakesOperand(AsmClass c) {
    return c != AsmClass::Inherent;
}

constexpr std::uint8_t classModes(AsmClass c) {
    switch (c) {
        case AsmClass::Inherent:
            return kModeInherent;
        case AsmClass::Register8:
        case AsmClass::Register16:
            return kModeImmediate | kModeDirect | kModeExtended | kModeIndexed;
        case AsmClass::Store8:
        case AsmClass::Bit:
            return kModeDirect | kModeExtended | kModeIndexed;
        case AsmClass::Memory:
            return kModeExtended | kModeIndexed;
        case AsmClass::Relative:
            return kModeRelative;
        case AsmClass::ImmediateToMemory:
            return kModeDirect | kModeIndexed;
    }
    return 0;
}

struct Hd6301Instruction {
    std::string_view name;  // lower case, at most 5 characters
    std::uint8_t opcode;    // base opcode: the immediate (or inherent, or indexed for aim..tim) form
    AsmClass cls;

    constexpr bool takesOperand() const { return classTakesOperand(cls); }
    constexpr std::uint8_t modes() const { return classModes(cls); }
};

// Offsets from the base opcode to the other forms of the same instruction.
inline constexpr std::uint8_t kIndexedOffset = 0x20;
inline constexpr std::uint8_t kExtendedOffset = 0x30;
inline constexpr std::uint8_t kDirectBitOffset = 0x10;  // aim..tim: direct form = indexed form + 0x10
inline constexpr std::uint8_t kAndToMemory = 0x61;      // aim: the form whose bit mask bclr complements

// Sorted by name (plain byte order) for the binary search; 135 records.
inline constexpr std::array<Hd6301Instruction, 135> kHd6301Instructions = {{
    {"aba", 0x1B, AsmClass::Inherent},
    {"abx", 0x3A, AsmClass::Inherent},
    {"adca", 0x89, AsmClass::Register8},
    {"adcb", 0xC9, AsmClass::Register8},
    {"adda", 0x8B, AsmClass::Register8},
    {"addb", 0xCB, AsmClass::Register8},
    {"addd", 0xC3, AsmClass::Register16},
    {"aim", 0x61, AsmClass::ImmediateToMemory},
    {"anda", 0x84, AsmClass::Register8},
    {"andb", 0xC4, AsmClass::Register8},
    {"asl", 0x48, AsmClass::Memory},
    {"asla", 0x48, AsmClass::Inherent},
    {"aslb", 0x58, AsmClass::Inherent},
    {"asld", 0x05, AsmClass::Inherent},
    {"asr", 0x47, AsmClass::Memory},
    {"asra", 0x47, AsmClass::Inherent},
    {"asrb", 0x57, AsmClass::Inherent},
    {"bcc", 0x24, AsmClass::Relative},
    {"bclr", 0x61, AsmClass::Bit},
    {"bcs", 0x25, AsmClass::Relative},
    {"beq", 0x27, AsmClass::Relative},
    {"bge", 0x2C, AsmClass::Relative},
    {"bgt", 0x2E, AsmClass::Relative},
    {"bhi", 0x22, AsmClass::Relative},
    {"bhs", 0x24, AsmClass::Relative},
    {"bita", 0x85, AsmClass::Register8},
    {"bitb", 0xC5, AsmClass::Register8},
    {"ble", 0x2F, AsmClass::Relative},
    {"blo", 0x25, AsmClass::Relative},
    {"bls", 0x23, AsmClass::Relative},
    {"blt", 0x2D, AsmClass::Relative},
    {"bmi", 0x2B, AsmClass::Relative},
    {"bne", 0x26, AsmClass::Relative},
    {"bpl", 0x2A, AsmClass::Relative},
    {"bra", 0x20, AsmClass::Relative},
    {"brn", 0x21, AsmClass::Relative},
    {"bset", 0x62, AsmClass::Bit},
    {"bsr", 0x8D, AsmClass::Relative},
    {"btgl", 0x65, AsmClass::Bit},
    {"btst", 0x6B, AsmClass::Bit},
    {"bvc", 0x28, AsmClass::Relative},
    {"bvs", 0x29, AsmClass::Relative},
    {"cba", 0x11, AsmClass::Inherent},
    {"clc", 0x0C, AsmClass::Inherent},
    {"cli", 0x0E, AsmClass::Inherent},
    {"clr", 0x4F, AsmClass::Memory},
    {"clra", 0x4F, AsmClass::Inherent},
    {"clrb", 0x5F, AsmClass::Inherent},
    {"clv", 0x0A, AsmClass::Inherent},
    {"cmpa", 0x81, AsmClass::Register8},
    {"cmpb", 0xC1, AsmClass::Register8},
    {"com", 0x43, AsmClass::Memory},
    {"coma", 0x43, AsmClass::Inherent},
    {"comb", 0x53, AsmClass::Inherent},
    {"cpx", 0x8C, AsmClass::Register16},
    {"daa", 0x19, AsmClass::Inherent},
    {"dec", 0x4A, AsmClass::Memory},
    {"deca", 0x4A, AsmClass::Inherent},
    {"decb", 0x5A, AsmClass::Inherent},
    {"des", 0x34, AsmClass::Inherent},
    {"dex", 0x09, AsmClass::Inherent},
    {"eim", 0x65, AsmClass::ImmediateToMemory},
    {"eora", 0x88, AsmClass::Register8},
    {"eorb", 0xC8, AsmClass::Register8},
    {"inc", 0x4C, AsmClass::Memory},
    {"inca", 0x4C, AsmClass::Inherent},
    {"incb", 0x5C, AsmClass::Inherent},
    {"ins", 0x31, AsmClass::Inherent},
    {"inx", 0x08, AsmClass::Inherent},
    {"jmp", 0x4E, AsmClass::Memory},
    {"jsr", 0x8D, AsmClass::Store8},
    {"ldaa", 0x86, AsmClass::Register8},
    {"ldab", 0xC6, AsmClass::Register8},
    {"ldd", 0xCC, AsmClass::Register16},
    {"lds", 0x8E, AsmClass::Register16},
    {"ldx", 0xCE, AsmClass::Register16},
    {"lsl", 0x48, AsmClass::Memory},
    {"lsla", 0x48, AsmClass::Inherent},
    {"lslb", 0x58, AsmClass::Inherent},
    {"lsld", 0x05, AsmClass::Inherent},
    {"lsr", 0x44, AsmClass::Memory},
    {"lsra", 0x44, AsmClass::Inherent},
    {"lsrb", 0x54, AsmClass::Inherent},
    {"lsrd", 0x04, AsmClass::Inherent},
    {"mul", 0x3D, AsmClass::Inherent},
    {"neg", 0x40, AsmClass::Memory},
    {"nega", 0x40, AsmClass::Inherent},
    {"negb", 0x50, AsmClass::Inherent},
    {"nop", 0x01, AsmClass::Inherent},
    {"oim", 0x62, AsmClass::ImmediateToMemory},
    {"oraa", 0x8A, AsmClass::Register8},
    {"orab", 0xCA, AsmClass::Register8},
    {"psha", 0x36, AsmClass::Inherent},
    {"pshb", 0x37, AsmClass::Inherent},
    {"pshx", 0x3C, AsmClass::Inherent},
    {"pula", 0x32, AsmClass::Inherent},
    {"pulb", 0x33, AsmClass::Inherent},
    {"pulx", 0x38, AsmClass::Inherent},
    {"rol", 0x49, AsmClass::Memory},
    {"rola", 0x49, AsmClass::Inherent},
    {"rolb", 0x59, AsmClass::Inherent},
    {"ror", 0x46, AsmClass::Memory},
    {"rora", 0x46, AsmClass::Inherent},
    {"rorb", 0x56, AsmClass::Inherent},
    {"rti", 0x3B, AsmClass::Inherent},
    {"rts", 0x39, AsmClass::Inherent},
    {"sba", 0x10, AsmClass::Inherent},
    {"sbca", 0x82, AsmClass::Register8},
    {"sbcb", 0xC2, AsmClass::Register8},
    {"sec", 0x0D, AsmClass::Inherent},
    {"sei", 0x0F, AsmClass::Inherent},
    {"sev", 0x0B, AsmClass::Inherent},
    {"sleep", 0x1A, AsmClass::Inherent},
    {"slp", 0x1A, AsmClass::Inherent},
    {"staa", 0x87, AsmClass::Store8},
    {"stab", 0xC7, AsmClass::Store8},
    {"std", 0xCD, AsmClass::Store8},
    {"sts", 0x8F, AsmClass::Store8},
    {"stx", 0xCF, AsmClass::Store8},
    {"suba", 0x80, AsmClass::Register8},
    {"subb", 0xC0, AsmClass::Register8},
    {"subd", 0x83, AsmClass::Register16},
    {"swi", 0x3F, AsmClass::Inherent},
    {"tab", 0x16, AsmClass::Inherent},
    {"tap", 0x06, AsmClass::Inherent},
    {"tba", 0x17, AsmClass::Inherent},
    {"tim", 0x6B, AsmClass::ImmediateToMemory},
    {"tpa", 0x07, AsmClass::Inherent},
    {"tst", 0x4D, AsmClass::Memory},
    {"tsta", 0x4D, AsmClass::Inherent},
    {"tstb", 0x5D, AsmClass::Inherent},
    {"tsx", 0x30, AsmClass::Inherent},
    {"txs", 0x35, AsmClass::Inherent},
    {"wai", 0x3E, AsmClass::Inherent},
    {"xgdx", 0x18, AsmClass::Inherent},
}};

// Mnemonics are compared on at most their first five characters, folded to lower case.
inline constexpr std::size_t kMnemonicChars = 5;

template <typename Table>
constexpr bool namesStrictlySorted(const Table& table) {
    for (std::size_t i = 1; i < table.size(); ++i) {
        if (!(table[i - 1].name < table[i].name))
            return false;
    }
    return true;
}

template <typename Table>
constexpr bool namesFitLookup(const Table& table) {
    for (const auto& r : table) {
        if (r.name.empty() || r.name.size() > kMnemonicChars)
            return false;
        for (char c : r.name) {
            if (c < 'a' || c > 'z')
                return false;
        }
    }
    return true;
}

static_assert(kHd6301Instructions.size() == 135);
static_assert(namesStrictlySorted(kHd6301Instructions), "the binary search needs the names in order");
static_assert(namesFitLookup(kHd6301Instructions), "names are lower-case letters, at most five");

// The key the tables are searched with: the first five characters of the word, lower-cased.
struct MnemonicKey {
    std::array<char, kMnemonicChars> chars{};
    std::size_t size = 0;
    std::string_view view() const { return {chars.data(), size}; }
};
MnemonicKey mnemonicKey(std::string_view word);

// Binary search of a table sorted by name; nullptr when the word names no record.
template <typename Table>
const typename Table::value_type* findMnemonic(const Table& table, std::string_view word) {
    const MnemonicKey key = mnemonicKey(word);
    std::size_t lo = 0;
    std::size_t hi = table.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (table[mid].name < key.view()) {
            lo = mid + 1;
        } else if (key.view() < table[mid].name) {
            hi = mid;
        } else {
            return &table[mid];
        }
    }
    return nullptr;
}

inline const Hd6301Instruction* findInstruction(std::string_view word) {
    return findMnemonic(kHd6301Instructions, word);
}

// ---------------------------------------------------------------------------------------------------
// Encoding.

// An instruction's operand as the assembler parsed it. `value` is the first operand (the immediate
// value, address, offset or branch target); `second` is the address or offset after "#mask," and is
// only meaningful for the modes kModeDirect and kModeIndexed reached through "#". Unresolved values
// are 0.
struct AsmOperand {
    std::uint8_t mode = kModeInherent;
    std::uint16_t value = 0;
    std::uint16_t second = 0;
    bool resolved = true;
};

struct EncodedInstruction {
    std::array<std::uint8_t, 3> bytes{};
    std::uint8_t size = 0;
    std::optional<AsmError> error;
};

// Machine code of one instruction at `location`. An unresolved operand gives the final size with zero
// operand bytes, so that the second pass can overwrite them in place.
EncodedInstruction encodeInstruction(const Hd6301Instruction& ins, const AsmOperand& operand,
                                     std::uint16_t location);

}  // namespace orrery::compiler
