#pragma once
// The logger interpreter's instruction set: every opcode with its number and operand layout.
//
// Opcodes share one numbering with the parser's tokens: the opcode names are the first tokens,
// starting at token 258 (ModelDef), so an opcode byte is its token number minus 258. LAST_TOKEN (416)
// closes the opcode names; the keywords (417..518) and the lexical classes (520..540) follow.
//
// Operands follow the opcode byte directly; every multi-byte operand is big-endian (most significant
// byte first), as the logger's processor stores it. Jump targets and label values are 16-bit offsets
// from the first byte of code, i.e. the byte after the image header.
//
// This table is the only place the instruction set is written down: the emitter, the listing's decoder
// and the highest-token bookkeeping all read it.

#include <array>
#include <cstdint>
#include <string_view>

namespace orrery::compiler {

// How the bytes after an opcode are laid out.
enum class Operand : std::uint8_t {
    None,          // no operand bytes
    Byte,          // 1 byte
    Word,          // 2 bytes: a constant or an address
    CodeOffset,    // 2 bytes: a code offset (jump target); Cbreak also takes the sentinel 0xFFF0
    LineNumber,    // 2 bytes: a source line number counted from 1
    Long,          // 4 bytes: an integer or an IEEE single-precision float pattern
    WordWord,      // 2 + 2 bytes: address, then a second address or code offset
    String,        // 1 length byte n, then n characters (StrConst)
    ExtensionRef,  // 2 bytes extension number, 1 byte argument count
    ExtensionDef,  // 2 bytes extension number, 1 length byte n, n characters of the name
    AsmBlock,      // n bytes of machine code, n = the WordPush operand just in front of the opcode
};

// X(name, number, operand layout)
#define ORRERY_OPCODES(X)                      \
    X(ModelDef, 0, Word)                       \
    X(LinNum, 1, LineNumber)                   \
    X(Pop, 2, None)                            \
    X(Dup, 3, None)                            \
    X(Xchng1, 4, None)                         \
    X(Xchng2, 5, None)                         \
    X(BytePush, 6, Byte)                       \
    X(WordPush, 7, Word)                       \
    X(LongPush, 8, Long)                       \
    X(Zero, 9, None)                           \
    X(FetchVarVal, 10, None)                   \
    X(PutVarVal, 11, None)                     \
    X(VarAddr, 12, Word)                       \
    X(VarPlusOffset, 13, WordWord)             \
    X(Mod, 14, None)                           \
    X(Vers, 15, None)                          \
    X(Fperror, 16, None)                       \
    X(Goto, 17, CodeOffset)                    \
    X(GoFalse, 18, CodeOffset)                 \
    X(ForTest, 19, WordWord)                   \
    X(Next, 20, CodeOffset)                    \
    X(Gosub, 21, CodeOffset)                   \
    X(StackCheck, 22, None)                    \
    X(Return, 23, None)                        \
    X(Run, 24, CodeOffset)                     \
    X(Stop, 25, None)                          \
    X(Done, 26, None)                          \
    X(Halt, 27, None)                          \
    X(Cbreak, 28, CodeOffset)                  \
    X(Onerr, 29, None)                         \
    X(Plus, 30, None)                          \
    X(Minus, 31, None)                         \
    X(Negate, 32, None)                        \
    X(Multiply, 33, None)                      \
    X(Divide, 34, None)                        \
    X(Modulo, 35, None)                        \
    X(Fplus, 36, None)                         \
    X(Frminus, 37, None)                       \
    X(Fnegate, 38, None)                       \
    X(Fmultiply, 39, None)                     \
    X(Frdivide, 40, None)                      \
    X(And, 41, None)                           \
    X(Or, 42, None)                            \
    X(Xor, 43, None)                           \
    X(Comp, 44, None)                          \
    X(Equal, 45, None)                         \
    X(NotEqual, 46, None)                      \
    X(LessThan, 47, None)                      \
    X(GreaterThan, 48, None)                   \
    X(LessThanOrEqual, 49, None)               \
    X(GreaterThanOrEqual, 50, None)            \
    X(IntCmp, 51, None)                        \
    X(FltCmp, 52, None)                        \
    X(StrCmp, 53, None)                        \
    X(Abs, 54, None)                           \
    X(Fabs, 55, None)                          \
    X(Faint, 56, None)                         \
    X(Fatn, 57, None)                          \
    X(Fcos, 58, None)                          \
    X(Fexp, 59, None)                          \
    X(Fint, 60, None)                          \
    X(Fix, 61, None)                           \
    X(Flog, 62, None)                          \
    X(Flog10, 63, None)                        \
    X(Fsin, 64, None)                          \
    X(Fsqrt, 65, None)                         \
    X(Ftan, 66, None)                          \
    X(Float, 67, None)                         \
    X(Float2, 68, None)                        \
    X(Print, 69, None)                         \
    X(Input, 70, Byte)                         \
    X(Finput, 71, Byte)                        \
    X(Sinput, 72, Byte)                        \
    X(NewLine, 73, None)                       \
    X(Semi, 74, None)                          \
    X(Xshake, 75, None)                        \
    X(Xmit, 76, None)                          \
    X(StrConst, 77, String)                    \
    X(CopyStr, 78, None)                       \
    X(AppStr, 79, None)                        \
    X(MidString, 80, None)                     \
    X(IntToStr, 81, None)                      \
    X(FltToStr, 82, None)                      \
    X(StrToInt, 83, None)                      \
    X(StrToFlt, 84, None)                      \
    X(InString, 85, None)                      \
    X(GfExpr, 86, None)                        \
    X(GfFexpr, 87, None)                       \
    X(GfChar, 88, None)                        \
    X(GfSexpr, 89, None)                       \
    X(GfFW, 90, None)                          \
    X(GfPad, 91, Byte)                         \
    X(GfRadix, 92, Byte)                       \
    X(GfDF, 93, None)                          \
    X(Get1, 94, None)                          \
    X(Get2, 95, None)                          \
    X(Get4, 96, None)                          \
    X(GetStr, 97, None)                        \
    X(Store, 98, None)                         \
    X(Store1, 99, None)                        \
    X(Store2, 100, None)                       \
    X(Store4, 101, None)                       \
    X(StoreStr, 102, None)                     \
    X(DfRead, 103, None)                       \
    X(DfSave, 104, None)                       \
    X(Offld, 105, None)                        \
    X(Dfmax, 106, None)                        \
    X(Stime, 107, None)                        \
    X(Rtime, 108, None)                        \
    X(TimeVar, 109, None)                      \
    X(Rate, 110, None)                         \
    X(Sleep, 111, None)                        \
    X(SleepD1, 112, None)                      \
    X(Chan, 113, None)                         \
    X(Burst, 114, None)                        \
    X(AdLoop, 115, None)                       \
    X(Temp, 116, None)                         \
    X(DigitalToAnalog, 117, None)              \
    X(Period, 118, None)                       \
    X(Tone, 119, None)                         \
    X(Count, 120, None)                        \
    X(CountVar, 121, None)                     \
    X(Cpset, 122, None)                        \
    X(Cpclr, 123, None)                        \
    X(Cptog, 124, None)                        \
    X(Cpin, 125, None)                         \
    X(Pset, 126, Byte)                         \
    X(Pclr, 127, Byte)                         \
    X(Ptog, 128, Byte)                         \
    X(Pin, 129, Byte)                          \
    X(Sdi, 130, None)                          \
    X(Sdo, 131, None)                          \
    X(SdoGF, 132, None)                        \
    X(Uget, 133, None)                         \
    X(Usend, 134, None)                        \
    X(UsendGF, 135, None)                      \
    X(Itext, 136, None)                        \
    X(Otext, 137, None)                        \
    X(DiskOff, 138, None)                      \
    X(DiskOn, 139, None)                       \
    X(Doffld, 140, None)                       \
    X(Eeget, 141, None)                        \
    X(Eeput, 142, None)                        \
    X(DisplayLCD, 143, None)                   \
    X(ScrollLCD, 144, None)                    \
    X(TermDisplayLCD, 145, None)               \
    X(AsmGo, 146, AsmBlock)                    \
    X(AsmLoad, 147, AsmBlock)                  \
    X(Call, 148, None)                         \
    X(CallGF, 149, None)                       \
    X(Peek, 150, None)                         \
    X(Poke, 151, None)                         \
    X(Quit, 152, None)                         \
    X(Hibernate, 153, None)                    \
    X(ExtensionRef, 154, ExtensionRef)         \
    X(ExtensionDef, 155, ExtensionDef)         \
    X(VarDirectB, 156, Byte)                   \
    X(VarDirectW, 157, Word)

enum class Op : std::uint8_t {
#define ORRERY_OPCODE_ENUM(name, number, operand) name = number,
    ORRERY_OPCODES(ORRERY_OPCODE_ENUM)
#undef ORRERY_OPCODE_ENUM
};

struct OpcodeInfo {
    std::string_view name;
    std::uint8_t number;
    Operand operand;
};

inline constexpr std::array<OpcodeInfo, 158> kOpcodes = {{
#define ORRERY_OPCODE_INFO(name, number, operand) {#name, number, Operand::operand},
    ORRERY_OPCODES(ORRERY_OPCODE_INFO)
#undef ORRERY_OPCODE_INFO
}};

// Token numbers around the opcodes.
inline constexpr int kFirstOpcodeToken = 258;  // ModelDef
inline constexpr int kLastToken = 416;         // LAST_TOKEN, closes the opcode names
inline constexpr int kOpcodeCount = kLastToken - kFirstOpcodeToken;

// The word that stands for an omitted label or argument.
inline constexpr std::uint16_t kOmitted = 0xFFF0;

constexpr int tokenOf(Op op) { return kFirstOpcodeToken + static_cast<int>(op); }

constexpr const OpcodeInfo& opcodeInfo(std::uint8_t byte) { return kOpcodes[byte]; }

// Fixed operand length in bytes; String, ExtensionDef and AsmBlock carry a further variable part.
constexpr int fixedOperandLength(Operand operand) {
    switch (operand) {
        case Operand::None:
        case Operand::AsmBlock:
            return 0;
        case Operand::Byte:
        case Operand::String:
            return 1;
        case Operand::Word:
        case Operand::CodeOffset:
        case Operand::LineNumber:
            return 2;
        case Operand::ExtensionRef:
        case Operand::ExtensionDef:
            return 3;
        case Operand::Long:
        case Operand::WordWord:
            return 4;
    }
    return 0;
}

constexpr bool opcodeTableIsInOrder() {
    for (std::size_t i = 0; i < kOpcodes.size(); ++i) {
        if (kOpcodes[i].number != i) return false;
    }
    return true;
}

static_assert(kOpcodes.size() == kOpcodeCount, "158 opcodes, ModelDef 0 to VarDirectW 157");
static_assert(opcodeTableIsInOrder(), "opcode numbers must equal their place in the table");
static_assert(static_cast<int>(Op::VarDirectW) == 157 && tokenOf(Op::VarDirectW) == 415);
static_assert(static_cast<int>(Op::StrConst) == 77 && static_cast<int>(Op::AsmLoad) == 147);

}  // namespace orrery::compiler
