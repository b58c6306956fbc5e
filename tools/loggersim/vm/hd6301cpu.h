#pragma once
// The logger's processor, an HD6301/HD6303, for the machine code of ASM blocks and CALL.
//
// What it models: the registers A, B (together D), X, SP, PC and CCR (H I N Z V C), every opcode of the
// Motorola 6801 instruction set with its flag results, and the 6301 additions AIM, OIM, EIM, TIM, XGDX
// and SLP. The opcodes and their lengths are not written down here: one decode table is derived from
// the compiler's instruction table (compiler/hd6301.h), so that the assembler and the processor cannot
// disagree on an opcode or an operand length. Besides the forms the assembler writes, the table holds
// the direct-page forms of the register instructions (LDAA $40 as 96 40): the compiler's table allows
// direct addressing for them although its assembler always writes the extended form, and other
// assemblers pick the shorter one.
//
// What it does not model: timing (instructions take no time on the program's clock), interrupts (SEI
// and CLI only change the I flag; no interrupt ever arrives), the on-chip peripherals (timer, serial
// interface, most port registers: the bus decides what an address means, see Hd6301Bus) and the trap
// of the real chip on an illegal opcode: SWI and an illegal opcode stop the machine with a line that
// names the opcode and its address.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orrery::loggervm {

// The processor's view of memory. A bus refuses an address it does not model by throwing
// Hd6301Bus::Refused; the processor then stops with that text.
class Hd6301Bus {
public:
    struct Refused {
        std::string message;
    };
    virtual ~Hd6301Bus() = default;
    virtual std::uint8_t read(std::uint16_t address) = 0;
    virtual void write(std::uint16_t address, std::uint8_t value) = 0;
};

// Condition code bits.
inline constexpr std::uint8_t kFlagC = 0x01;
inline constexpr std::uint8_t kFlagV = 0x02;
inline constexpr std::uint8_t kFlagZ = 0x04;
inline constexpr std::uint8_t kFlagN = 0x08;
inline constexpr std::uint8_t kFlagI = 0x10;
inline constexpr std::uint8_t kFlagH = 0x20;
inline constexpr std::uint8_t kCcrFixedBits = 0xC0;  // bits 6 and 7 always read as 1

struct Hd6301Registers {
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    std::uint16_t x = 0;
    std::uint16_t sp = 0;
    std::uint16_t pc = 0;
    std::uint8_t ccr = kCcrFixedBits;

    std::uint16_t d() const { return static_cast<std::uint16_t>(a << 8 | b); }
    void setD(std::uint16_t value) {
        a = static_cast<std::uint8_t>(value >> 8);
        b = static_cast<std::uint8_t>(value);
    }
    bool operator==(const Hd6301Registers&) const = default;
};

// ---- the decode table ----

enum class CpuMode : std::uint8_t {
    Inherent,
    Immediate8,
    Immediate16,
    Direct,
    Extended,
    Indexed,
    Relative,
    MaskDirect,   // aim..tim: "#mask, address" (mask byte, address byte)
    MaskIndexed,  // aim..tim: "#mask, offset,X" (mask byte, offset byte)
};

// What an instruction does; the register it works on is a separate field.
enum class CpuOperation : std::uint8_t {
    Illegal,
    Add,
    Adc,
    Sub,
    Sbc,
    Cmp,
    And,
    Bit,
    Eor,
    Or,
    Load,
    Store,
    Neg,
    Com,
    Lsr,
    Ror,
    Asr,
    Asl,
    Rol,
    Dec,
    Inc,
    Tst,
    Clr,
    Jmp,
    Jsr,
    Bsr,
    Branch,
    Aba,
    Sba,
    Cba,
    Tab,
    Tba,
    Tap,
    Tpa,
    Tsx,
    Txs,
    Inx,
    Dex,
    Ins,
    Des,
    Abx,
    Mul,
    Daa,
    Xgdx,
    Lsrd,
    Asld,
    Push,
    Pull,
    Rts,
    Rti,
    Swi,
    Wai,
    Slp,
    Nop,
    Clc,
    Sec,
    Clv,
    Sev,
    Cli,
    Sei,
    Aim,
    Oim,
    Eim,
    Tim,
};

enum class CpuRegister : std::uint8_t { None, A, B, D, X, S };

struct CpuOpcode {
    std::string_view name;  // the compiler's mnemonic; empty for an illegal opcode
    CpuOperation operation = CpuOperation::Illegal;
    CpuRegister reg = CpuRegister::None;
    CpuMode mode = CpuMode::Inherent;
    std::uint8_t length = 1;  // opcode byte plus operand bytes
};

// Opcode byte -> instruction, derived once from the compiler's instruction table.
const std::array<CpuOpcode, 256>& hd6301Opcodes();
// Names of the compiler's table that the processor has no meaning for, and opcodes that two records
// give different meanings; both empty unless the tables went out of step.
std::string hd6301TableProblems();

// ---- the processor ----

enum class CpuEnd {
    Returned,  // PC reached the return address: the routine is finished
    Budget,    // the instruction budget of this turn is spent
    Sleep,     // SLP or WAI: the routine gives up the rest of its turn
    Stopped,   // SWI, an illegal opcode or an access the bus refused; see message
};

struct CpuResult {
    CpuEnd end = CpuEnd::Budget;
    std::string message;  // for Stopped
    long executed = 0;
};

class Hd6301 {
public:
    explicit Hd6301(Hd6301Bus& bus) : m_bus(bus) {}

    Hd6301Registers& registers() { return m_r; }
    const Hd6301Registers& registers() const { return m_r; }

    // Executes instructions until the routine returns to returnAddress (PC equals it before a fetch),
    // the budget is spent, it sleeps or it stops.
    CpuResult run(long budget, std::uint16_t returnAddress);
    // Executes one instruction.
    CpuResult step();

    // Each executed instruction, as a line of text without line end: address, bytes, mnemonic with
    // operand, then the registers after it.
    std::function<void(const std::string&)> trace;

    // The instruction at an address as text ("ldaa #$41"), for the trace and for messages.
    std::string disassemble(std::uint16_t address);

private:
    std::uint8_t read8(std::uint16_t address) { return m_bus.read(address); }
    std::uint16_t read16(std::uint16_t address);
    void write8(std::uint16_t address, std::uint8_t value) { m_bus.write(address, value); }
    void write16(std::uint16_t address, std::uint16_t value);
    void push8(std::uint8_t value);
    void push16(std::uint16_t value);
    std::uint8_t pull8();
    std::uint16_t pull16();

    std::uint16_t effectiveAddress(const CpuOpcode& op, std::uint16_t at);
    std::uint8_t operand8(const CpuOpcode& op, std::uint16_t at);
    std::uint16_t operand16(const CpuOpcode& op, std::uint16_t at);
    bool wide(CpuRegister reg) const;
    std::uint8_t& reg8(CpuRegister reg);
    std::uint16_t get16(CpuRegister reg) const;
    void set16(CpuRegister reg, std::uint16_t value);

    void setNz8(std::uint8_t value);
    void setNz16(std::uint16_t value);
    void setFlag(std::uint8_t flag, bool on);
    bool flag(std::uint8_t flag) const { return (m_r.ccr & flag) != 0; }
    std::uint8_t add8(std::uint8_t a, std::uint8_t b, bool carry);
    std::uint8_t sub8(std::uint8_t a, std::uint8_t b, bool borrow);
    std::uint16_t add16(std::uint16_t a, std::uint16_t b);
    std::uint16_t sub16(std::uint16_t a, std::uint16_t b);
    std::uint8_t readModifyWrite(CpuOperation operation, std::uint8_t value);
    bool branchTaken(std::uint8_t opcode) const;
    void decimalAdjust();

    // Executes the decoded instruction at `at` (PC already past it); false when the routine sleeps.
    bool execute(const CpuOpcode& op, std::uint8_t opcode, std::uint16_t at);
    void executeAccumulator(const CpuOpcode& op, std::uint16_t at);
    void executeWide(const CpuOpcode& op, std::uint16_t at);
    bool executeInherent(const CpuOpcode& op);
    std::string traceHead(std::uint16_t at, std::uint8_t length);
    std::string traceRegisters() const;

    Hd6301Bus& m_bus;
    Hd6301Registers m_r;
};

std::string hexByte(unsigned value);  // "3F"
std::string hexWord(unsigned value);  // "8150"

}  // namespace orrery::loggervm
