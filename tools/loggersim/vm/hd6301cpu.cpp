#include "hd6301cpu.h"

#include <cstdio>

#include "hd6301.h"

namespace orrery::loggervm {

namespace {

using compiler::AsmClass;
using compiler::kHd6301Instructions;
using Op = CpuOperation;
using Reg = CpuRegister;

// What each mnemonic of the compiler's table means to the processor. Opcodes and lengths come from the
// compiler's table; this table only adds the meaning, by name.
struct Meaning {
    std::string_view name;
    Op operation;
    Reg reg;
};

constexpr Meaning kMeanings[] = {
    {"aba", Op::Aba, Reg::A},       {"abx", Op::Abx, Reg::X},       {"adca", Op::Adc, Reg::A},
    {"adcb", Op::Adc, Reg::B},      {"adda", Op::Add, Reg::A},      {"addb", Op::Add, Reg::B},
    {"addd", Op::Add, Reg::D},      {"aim", Op::Aim, Reg::None},    {"anda", Op::And, Reg::A},
    {"andb", Op::And, Reg::B},      {"asl", Op::Asl, Reg::None},    {"asla", Op::Asl, Reg::A},
    {"aslb", Op::Asl, Reg::B},      {"asld", Op::Asld, Reg::D},     {"asr", Op::Asr, Reg::None},
    {"asra", Op::Asr, Reg::A},      {"asrb", Op::Asr, Reg::B},      {"bcc", Op::Branch, Reg::None},
    {"bclr", Op::Aim, Reg::None},   {"bcs", Op::Branch, Reg::None}, {"beq", Op::Branch, Reg::None},
    {"bge", Op::Branch, Reg::None}, {"bgt", Op::Branch, Reg::None}, {"bhi", Op::Branch, Reg::None},
    {"bhs", Op::Branch, Reg::None}, {"bita", Op::Bit, Reg::A},      {"bitb", Op::Bit, Reg::B},
    {"ble", Op::Branch, Reg::None}, {"blo", Op::Branch, Reg::None}, {"bls", Op::Branch, Reg::None},
    {"blt", Op::Branch, Reg::None}, {"bmi", Op::Branch, Reg::None}, {"bne", Op::Branch, Reg::None},
    {"bpl", Op::Branch, Reg::None}, {"bra", Op::Branch, Reg::None}, {"brn", Op::Branch, Reg::None},
    {"bset", Op::Oim, Reg::None},   {"bsr", Op::Bsr, Reg::None},    {"btgl", Op::Eim, Reg::None},
    {"btst", Op::Tim, Reg::None},   {"bvc", Op::Branch, Reg::None}, {"bvs", Op::Branch, Reg::None},
    {"cba", Op::Cba, Reg::A},       {"clc", Op::Clc, Reg::None},    {"cli", Op::Cli, Reg::None},
    {"clr", Op::Clr, Reg::None},    {"clra", Op::Clr, Reg::A},      {"clrb", Op::Clr, Reg::B},
    {"clv", Op::Clv, Reg::None},    {"cmpa", Op::Cmp, Reg::A},      {"cmpb", Op::Cmp, Reg::B},
    {"com", Op::Com, Reg::None},    {"coma", Op::Com, Reg::A},      {"comb", Op::Com, Reg::B},
    {"cpx", Op::Cmp, Reg::X},       {"daa", Op::Daa, Reg::A},       {"dec", Op::Dec, Reg::None},
    {"deca", Op::Dec, Reg::A},      {"decb", Op::Dec, Reg::B},      {"des", Op::Des, Reg::S},
    {"dex", Op::Dex, Reg::X},       {"eim", Op::Eim, Reg::None},    {"eora", Op::Eor, Reg::A},
    {"eorb", Op::Eor, Reg::B},      {"inc", Op::Inc, Reg::None},    {"inca", Op::Inc, Reg::A},
    {"incb", Op::Inc, Reg::B},      {"ins", Op::Ins, Reg::S},       {"inx", Op::Inx, Reg::X},
    {"jmp", Op::Jmp, Reg::None},    {"jsr", Op::Jsr, Reg::None},    {"ldaa", Op::Load, Reg::A},
    {"ldab", Op::Load, Reg::B},     {"ldd", Op::Load, Reg::D},      {"lds", Op::Load, Reg::S},
    {"ldx", Op::Load, Reg::X},      {"lsl", Op::Asl, Reg::None},    {"lsla", Op::Asl, Reg::A},
    {"lslb", Op::Asl, Reg::B},      {"lsld", Op::Asld, Reg::D},     {"lsr", Op::Lsr, Reg::None},
    {"lsra", Op::Lsr, Reg::A},      {"lsrb", Op::Lsr, Reg::B},      {"lsrd", Op::Lsrd, Reg::D},
    {"mul", Op::Mul, Reg::D},       {"neg", Op::Neg, Reg::None},    {"nega", Op::Neg, Reg::A},
    {"negb", Op::Neg, Reg::B},      {"nop", Op::Nop, Reg::None},    {"oim", Op::Oim, Reg::None},
    {"oraa", Op::Or, Reg::A},       {"orab", Op::Or, Reg::B},       {"psha", Op::Push, Reg::A},
    {"pshb", Op::Push, Reg::B},     {"pshx", Op::Push, Reg::X},     {"pula", Op::Pull, Reg::A},
    {"pulb", Op::Pull, Reg::B},     {"pulx", Op::Pull, Reg::X},     {"rol", Op::Rol, Reg::None},
    {"rola", Op::Rol, Reg::A},      {"rolb", Op::Rol, Reg::B},      {"ror", Op::Ror, Reg::None},
    {"rora", Op::Ror, Reg::A},      {"rorb", Op::Ror, Reg::B},      {"rti", Op::Rti, Reg::None},
    {"rts", Op::Rts, Reg::None},    {"sba", Op::Sba, Reg::A},       {"sbca", Op::Sbc, Reg::A},
    {"sbcb", Op::Sbc, Reg::B},      {"sec", Op::Sec, Reg::None},    {"sei", Op::Sei, Reg::None},
    {"sev", Op::Sev, Reg::None},    {"sleep", Op::Slp, Reg::None},  {"slp", Op::Slp, Reg::None},
    {"staa", Op::Store, Reg::A},    {"stab", Op::Store, Reg::B},    {"std", Op::Store, Reg::D},
    {"sts", Op::Store, Reg::S},     {"stx", Op::Store, Reg::X},     {"suba", Op::Sub, Reg::A},
    {"subb", Op::Sub, Reg::B},      {"subd", Op::Sub, Reg::D},      {"swi", Op::Swi, Reg::None},
    {"tab", Op::Tab, Reg::B},       {"tap", Op::Tap, Reg::None},    {"tba", Op::Tba, Reg::A},
    {"tim", Op::Tim, Reg::None},    {"tpa", Op::Tpa, Reg::A},       {"tst", Op::Tst, Reg::None},
    {"tsta", Op::Tst, Reg::A},      {"tstb", Op::Tst, Reg::B},      {"tsx", Op::Tsx, Reg::X},
    {"txs", Op::Txs, Reg::S},       {"wai", Op::Wai, Reg::None},    {"xgdx", Op::Xgdx, Reg::D},
};

// Alternative spellings and the bit forms: the processor names an opcode by its usual mnemonic.
constexpr std::string_view kAliases[] = {"lsl",   "lsla", "lslb", "lsld", "bhs", "blo",
                                         "sleep", "bclr", "bset", "btgl", "btst"};

const Meaning* meaningOf(std::string_view name) {
    for (const Meaning& m : kMeanings)
        if (m.name == name)
            return &m;
    return nullptr;
}

bool isAlias(std::string_view name) {
    for (const auto alias : kAliases)
        if (alias == name)
            return true;
    return false;
}

// The forms an encoding class has: the offset from the base opcode, the addressing and the length.
struct Form {
    std::uint8_t offset;
    CpuMode mode;
    std::uint8_t length;
};

struct ClassForms {
    std::array<Form, 4> forms;
    std::size_t count;
};

ClassForms formsOf(AsmClass cls, Reg reg) {
    const bool sixteen = reg == Reg::D || reg == Reg::X || reg == Reg::S;
    const Form direct{0x10, CpuMode::Direct, 2};
    const Form indexed{0x20, CpuMode::Indexed, 2};
    const Form extended{0x30, CpuMode::Extended, 3};
    switch (cls) {
        case AsmClass::Inherent:
            return {{{{0, CpuMode::Inherent, 1}}}, 1};
        case AsmClass::Register8:
        case AsmClass::Register16:
            return {
                {{{0, sixteen ? CpuMode::Immediate16 : CpuMode::Immediate8, std::uint8_t(sixteen ? 3 : 2)},
                  direct,
                  indexed,
                  extended}},
                4};
        case AsmClass::Store8:
            return {{{direct, indexed, extended}}, 3};
        case AsmClass::Memory:
            return {{{indexed, extended}}, 2};
        case AsmClass::Relative:
            return {{{{0, CpuMode::Relative, 2}}}, 1};
        case AsmClass::ImmediateToMemory:
        case AsmClass::Bit:
            return {{{{0, CpuMode::MaskIndexed, 3}, {0x10, CpuMode::MaskDirect, 3}}}, 2};
    }
    return {{}, 0};
}

struct DecodeTable {
    std::array<CpuOpcode, 256> opcodes{};
    std::string problems;
};

DecodeTable buildTable() {
    DecodeTable table;
    for (const auto& record : kHd6301Instructions) {
        const Meaning* meaning = meaningOf(record.name);
        if (meaning == nullptr) {
            table.problems += "no meaning for " + std::string(record.name) + "\n";
            continue;
        }
        const ClassForms forms = formsOf(record.cls, meaning->reg);
        for (std::size_t i = 0; i < forms.count; ++i) {
            const Form& form = forms.forms[i];
            const auto opcode = static_cast<std::uint8_t>(record.opcode + form.offset);
            CpuOpcode& slot = table.opcodes[opcode];
            const CpuOpcode entry{record.name, meaning->operation, meaning->reg, form.mode, form.length};
            if (slot.operation == Op::Illegal) {
                slot = entry;
            } else if (slot.operation != entry.operation || slot.mode != entry.mode ||
                       slot.length != entry.length || slot.reg != entry.reg) {
                table.problems += "opcode " + hexByte(opcode) + ": " + std::string(slot.name) + " and " +
                                  std::string(record.name) + " differ\n";
            } else if (isAlias(slot.name) && !isAlias(record.name)) {
                slot.name = record.name;
            }
        }
    }
    return table;
}

const DecodeTable& decodeTable() {
    static const DecodeTable table = buildTable();
    return table;
}

}  // namespace

const std::array<CpuOpcode, 256>& hd6301Opcodes() {
    return decodeTable().opcodes;
}
std::string hd6301TableProblems() {
    return decodeTable().problems;
}

std::string hexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
    return text;
}

std::string hexWord(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
    return text;
}

// ---- memory and stack ----

std::uint16_t Hd6301::read16(std::uint16_t address) {
    const std::uint8_t high = read8(address);
    return static_cast<std::uint16_t>(high << 8 | read8(static_cast<std::uint16_t>(address + 1)));
}

void Hd6301::write16(std::uint16_t address, std::uint16_t value) {
    write8(address, static_cast<std::uint8_t>(value >> 8));
    write8(static_cast<std::uint16_t>(address + 1), static_cast<std::uint8_t>(value));
}

// The stack grows downwards; SP points at the next free byte.
void Hd6301::push8(std::uint8_t value) {
    write8(m_r.sp, value);
    --m_r.sp;
}

void Hd6301::push16(std::uint16_t value) {
    push8(static_cast<std::uint8_t>(value));
    push8(static_cast<std::uint8_t>(value >> 8));
}

std::uint8_t Hd6301::pull8() {
    ++m_r.sp;
    return read8(m_r.sp);
}

std::uint16_t Hd6301::pull16() {
    const std::uint8_t high = pull8();
    return static_cast<std::uint16_t>(high << 8 | pull8());
}

// ---- operands ----

std::uint16_t Hd6301::effectiveAddress(const CpuOpcode& op, std::uint16_t at) {
    switch (op.mode) {
        case CpuMode::Direct:
            return read8(static_cast<std::uint16_t>(at + 1));
        case CpuMode::Extended:
            return read16(static_cast<std::uint16_t>(at + 1));
        case CpuMode::Indexed:
            return static_cast<std::uint16_t>(m_r.x + read8(static_cast<std::uint16_t>(at + 1)));
        case CpuMode::MaskDirect:
            return read8(static_cast<std::uint16_t>(at + 2));
        case CpuMode::MaskIndexed:
            return static_cast<std::uint16_t>(m_r.x + read8(static_cast<std::uint16_t>(at + 2)));
        default:
            return static_cast<std::uint16_t>(at + 1);  // immediate: the operand follows the opcode
    }
}

std::uint8_t Hd6301::operand8(const CpuOpcode& op, std::uint16_t at) {
    return read8(effectiveAddress(op, at));
}
std::uint16_t Hd6301::operand16(const CpuOpcode& op, std::uint16_t at) {
    return read16(effectiveAddress(op, at));
}

bool Hd6301::wide(CpuRegister reg) const {
    return reg == Reg::D || reg == Reg::X || reg == Reg::S;
}

std::uint8_t& Hd6301::reg8(CpuRegister reg) {
    return reg == Reg::B ? m_r.b : m_r.a;
}

std::uint16_t Hd6301::get16(CpuRegister reg) const {
    switch (reg) {
        case Reg::X:
            return m_r.x;
        case Reg::S:
            return m_r.sp;
        default:
            return m_r.d();
    }
}

void Hd6301::set16(CpuRegister reg, std::uint16_t value) {
    switch (reg) {
        case Reg::X:
            m_r.x = value;
            return;
        case Reg::S:
            m_r.sp = value;
            return;
        default:
            m_r.setD(value);
            return;
    }
}

// ---- flags and arithmetic ----

void Hd6301::setFlag(std::uint8_t bit, bool on) {
    m_r.ccr = static_cast<std::uint8_t>(on ? (m_r.ccr | bit) : (m_r.ccr & ~bit));
}

void Hd6301::setNz8(std::uint8_t value) {
    setFlag(kFlagN, (value & 0x80) != 0);
    setFlag(kFlagZ, value == 0);
}

void Hd6301::setNz16(std::uint16_t value) {
    setFlag(kFlagN, (value & 0x8000) != 0);
    setFlag(kFlagZ, value == 0);
}

std::uint8_t Hd6301::add8(std::uint8_t a, std::uint8_t b, bool carry) {
    const unsigned sum = a + b + (carry ? 1u : 0u);
    const auto r = static_cast<std::uint8_t>(sum);
    setFlag(kFlagH, ((a ^ b ^ r) & 0x10) != 0);
    setFlag(kFlagC, sum > 0xFF);
    setFlag(kFlagV, (~(a ^ b) & (a ^ r) & 0x80) != 0);
    setNz8(r);
    return r;
}

// H is left alone: the 6301 defines it only for additions.
std::uint8_t Hd6301::sub8(std::uint8_t a, std::uint8_t b, bool borrow) {
    const unsigned subtrahend = b + (borrow ? 1u : 0u);
    const auto r = static_cast<std::uint8_t>(a - subtrahend);
    setFlag(kFlagC, subtrahend > a);
    setFlag(kFlagV, ((a ^ b) & (a ^ r) & 0x80) != 0);
    setNz8(r);
    return r;
}

std::uint16_t Hd6301::add16(std::uint16_t a, std::uint16_t b) {
    const unsigned sum = static_cast<unsigned>(a) + b;
    const auto r = static_cast<std::uint16_t>(sum);
    setFlag(kFlagC, sum > 0xFFFF);
    setFlag(kFlagV, (~(a ^ b) & (a ^ r) & 0x8000) != 0);
    setNz16(r);
    return r;
}

std::uint16_t Hd6301::sub16(std::uint16_t a, std::uint16_t b) {
    const auto r = static_cast<std::uint16_t>(a - b);
    setFlag(kFlagC, b > a);
    setFlag(kFlagV, ((a ^ b) & (a ^ r) & 0x8000) != 0);
    setNz16(r);
    return r;
}

// The single-operand instructions shared by A, B and memory. The shifts and rotates set V to N xor C.
std::uint8_t Hd6301::readModifyWrite(CpuOperation operation, std::uint8_t m) {
    const bool carryIn = flag(kFlagC);
    std::uint8_t r = m;
    switch (operation) {
        case Op::Neg:
            return sub8(0, m, false);
        case Op::Com:
            r = static_cast<std::uint8_t>(~m);
            setNz8(r);
            setFlag(kFlagV, false);
            setFlag(kFlagC, true);
            return r;
        case Op::Dec:
            r = static_cast<std::uint8_t>(m - 1);
            setNz8(r);
            setFlag(kFlagV, m == 0x80);
            return r;
        case Op::Inc:
            r = static_cast<std::uint8_t>(m + 1);
            setNz8(r);
            setFlag(kFlagV, m == 0x7F);
            return r;
        case Op::Tst:
        case Op::Clr:
            if (operation == Op::Clr)
                r = 0;
            setNz8(r);
            setFlag(kFlagV, false);
            setFlag(kFlagC, false);
            return r;
        case Op::Lsr:
            r = static_cast<std::uint8_t>(m >> 1);
            setFlag(kFlagC, m & 1);
            break;
        case Op::Asr:
            r = static_cast<std::uint8_t>((m >> 1) | (m & 0x80));
            setFlag(kFlagC, m & 1);
            break;
        case Op::Ror:
            r = static_cast<std::uint8_t>((m >> 1) | (carryIn ? 0x80 : 0));
            setFlag(kFlagC, m & 1);
            break;
        case Op::Asl:
            r = static_cast<std::uint8_t>(m << 1);
            setFlag(kFlagC, m & 0x80);
            break;
        case Op::Rol:
            r = static_cast<std::uint8_t>((m << 1) | (carryIn ? 1 : 0));
            setFlag(kFlagC, m & 0x80);
            break;
        default:
            return m;
    }
    setNz8(r);
    setFlag(kFlagV, flag(kFlagN) != flag(kFlagC));
    return r;
}

// The condition in the low four bits of a branch opcode (0x20 bra .. 0x2F ble).
bool Hd6301::branchTaken(std::uint8_t opcode) const {
    const bool c = flag(kFlagC), z = flag(kFlagZ), n = flag(kFlagN), v = flag(kFlagV);
    bool taken = false;
    switch ((opcode & 0x0F) >> 1) {
        case 0:
            taken = true;
            break;  // bra / brn
        case 1:
            taken = !(c || z);
            break;  // bhi / bls
        case 2:
            taken = !c;
            break;  // bcc / bcs
        case 3:
            taken = !z;
            break;  // bne / beq
        case 4:
            taken = !v;
            break;  // bvc / bvs
        case 5:
            taken = !n;
            break;  // bpl / bmi
        case 6:
            taken = n == v;
            break;  // bge / blt
        case 7:
            taken = !z && n == v;
            break;  // bgt / ble
    }
    return (opcode & 1) ? !taken : taken;
}

// DAA after an addition of two BCD numbers: corrects each digit that went past 9, from the digit itself
// or from the half carry and carry; C is set by the correction and never cleared.
void Hd6301::decimalAdjust() {
    const std::uint8_t a = m_r.a;
    unsigned correction = 0;
    if ((a & 0x0F) > 9 || flag(kFlagH))
        correction |= 0x06;
    if (a > 0x99 || flag(kFlagC))
        correction |= 0x60;
    m_r.a = static_cast<std::uint8_t>(a + correction);
    setNz8(m_r.a);
    setFlag(kFlagV, false);
    setFlag(kFlagC, (correction & 0x60) != 0);
}

// ---- execution ----

void Hd6301::executeAccumulator(const CpuOpcode& op, std::uint16_t at) {
    std::uint8_t& r = reg8(op.reg);
    switch (op.operation) {
        case Op::Add:
            r = add8(r, operand8(op, at), false);
            return;
        case Op::Adc:
            r = add8(r, operand8(op, at), flag(kFlagC));
            return;
        case Op::Sub:
            r = sub8(r, operand8(op, at), false);
            return;
        case Op::Sbc:
            r = sub8(r, operand8(op, at), flag(kFlagC));
            return;
        case Op::Cmp:
            sub8(r, operand8(op, at), false);
            return;
        case Op::And:
            r = static_cast<std::uint8_t>(r & operand8(op, at));
            break;
        case Op::Bit:
            setNz8(static_cast<std::uint8_t>(r & operand8(op, at)));
            setFlag(kFlagV, false);
            return;
        case Op::Eor:
            r = static_cast<std::uint8_t>(r ^ operand8(op, at));
            break;
        case Op::Or:
            r = static_cast<std::uint8_t>(r | operand8(op, at));
            break;
        case Op::Load:
            r = operand8(op, at);
            break;
        case Op::Store:
            write8(effectiveAddress(op, at), r);
            break;
        default:
            return;
    }
    setNz8(r);
    setFlag(kFlagV, false);
}

void Hd6301::executeWide(const CpuOpcode& op, std::uint16_t at) {
    const std::uint16_t r = get16(op.reg);
    switch (op.operation) {
        case Op::Add:
            set16(op.reg, add16(r, operand16(op, at)));
            return;
        case Op::Sub:
            set16(op.reg, sub16(r, operand16(op, at)));
            return;
        case Op::Cmp:
            sub16(r, operand16(op, at));
            return;
        case Op::Load: {
            const std::uint16_t value = operand16(op, at);
            set16(op.reg, value);
            setNz16(value);
            break;
        }
        case Op::Store:
            write16(effectiveAddress(op, at), r);
            setNz16(r);
            break;
        default:
            return;
    }
    setFlag(kFlagV, false);
}

// Instructions without operand that are neither single-operand accumulator forms nor branches.
bool Hd6301::executeInherent(const CpuOpcode& op) {
    switch (op.operation) {
        case Op::Aba:
            m_r.a = add8(m_r.a, m_r.b, false);
            break;
        case Op::Sba:
            m_r.a = sub8(m_r.a, m_r.b, false);
            break;
        case Op::Cba:
            sub8(m_r.a, m_r.b, false);
            break;
        case Op::Tab:
            m_r.b = m_r.a;
            setNz8(m_r.b);
            setFlag(kFlagV, false);
            break;
        case Op::Tba:
            m_r.a = m_r.b;
            setNz8(m_r.a);
            setFlag(kFlagV, false);
            break;
        case Op::Tap:
            m_r.ccr = static_cast<std::uint8_t>(m_r.a | kCcrFixedBits);
            break;
        case Op::Tpa:
            m_r.a = static_cast<std::uint8_t>(m_r.ccr | kCcrFixedBits);
            break;
        case Op::Tsx:
            m_r.x = static_cast<std::uint16_t>(m_r.sp + 1);
            break;
        case Op::Txs:
            m_r.sp = static_cast<std::uint16_t>(m_r.x - 1);
            break;
        case Op::Inx:
            ++m_r.x;
            setFlag(kFlagZ, m_r.x == 0);
            break;
        case Op::Dex:
            --m_r.x;
            setFlag(kFlagZ, m_r.x == 0);
            break;
        case Op::Ins:
            ++m_r.sp;
            break;
        case Op::Des:
            --m_r.sp;
            break;
        case Op::Abx:
            m_r.x = static_cast<std::uint16_t>(m_r.x + m_r.b);
            break;
        case Op::Mul:
            m_r.setD(static_cast<std::uint16_t>(m_r.a * m_r.b));
            setFlag(kFlagC, (m_r.b & 0x80) != 0);  // so that ADCA #0 rounds the high byte
            break;
        case Op::Daa:
            decimalAdjust();
            break;
        case Op::Xgdx: {
            const std::uint16_t d = m_r.d();
            m_r.setD(m_r.x);
            m_r.x = d;
            break;
        }
        case Op::Lsrd: {
            const std::uint16_t d = m_r.d();
            m_r.setD(static_cast<std::uint16_t>(d >> 1));
            setFlag(kFlagC, d & 1);
            setNz16(m_r.d());
            setFlag(kFlagV, flag(kFlagC));  // N is 0, so N xor C is C
            break;
        }
        case Op::Asld: {
            const std::uint16_t d = m_r.d();
            m_r.setD(static_cast<std::uint16_t>(d << 1));
            setFlag(kFlagC, (d & 0x8000) != 0);
            setNz16(m_r.d());
            setFlag(kFlagV, flag(kFlagN) != flag(kFlagC));
            break;
        }
        case Op::Push:
            if (op.reg == Reg::X)
                push16(m_r.x);
            else
                push8(reg8(op.reg));
            break;
        case Op::Pull:
            if (op.reg == Reg::X)
                m_r.x = pull16();
            else
                reg8(op.reg) = pull8();
            break;
        case Op::Rts:
            m_r.pc = pull16();
            break;
        case Op::Rti:
            m_r.ccr = static_cast<std::uint8_t>(pull8() | kCcrFixedBits);
            m_r.b = pull8();
            m_r.a = pull8();
            m_r.x = pull16();
            m_r.pc = pull16();
            break;
        case Op::Wai:
        case Op::Slp:
            return false;
        case Op::Clc:
            setFlag(kFlagC, false);
            break;
        case Op::Sec:
            setFlag(kFlagC, true);
            break;
        case Op::Clv:
            setFlag(kFlagV, false);
            break;
        case Op::Sev:
            setFlag(kFlagV, true);
            break;
        case Op::Cli:
            setFlag(kFlagI, false);
            break;
        case Op::Sei:
            setFlag(kFlagI, true);
            break;
        default:
            break;  // nop
    }
    return true;
}

bool Hd6301::execute(const CpuOpcode& op, std::uint8_t opcode, std::uint16_t at) {
    switch (op.operation) {
        case Op::Add:
        case Op::Adc:
        case Op::Sub:
        case Op::Sbc:
        case Op::Cmp:
        case Op::And:
        case Op::Bit:
        case Op::Eor:
        case Op::Or:
        case Op::Load:
        case Op::Store:
            if (wide(op.reg))
                executeWide(op, at);
            else
                executeAccumulator(op, at);
            return true;
        case Op::Neg:
        case Op::Com:
        case Op::Lsr:
        case Op::Ror:
        case Op::Asr:
        case Op::Asl:
        case Op::Rol:
        case Op::Dec:
        case Op::Inc:
        case Op::Tst:
        case Op::Clr:
            if (op.reg != Reg::None) {
                reg8(op.reg) = readModifyWrite(op.operation, reg8(op.reg));
            } else {
                const std::uint16_t address = effectiveAddress(op, at);
                const std::uint8_t result = readModifyWrite(op.operation, read8(address));
                if (op.operation != Op::Tst)
                    write8(address, result);
            }
            return true;
        case Op::Jmp:
            m_r.pc = effectiveAddress(op, at);
            return true;
        case Op::Jsr: {
            const std::uint16_t target = effectiveAddress(op, at);
            push16(m_r.pc);
            m_r.pc = target;
            return true;
        }
        case Op::Bsr:
        case Op::Branch: {
            const auto displacement = static_cast<std::int8_t>(read8(static_cast<std::uint16_t>(at + 1)));
            const auto target = static_cast<std::uint16_t>(m_r.pc + displacement);
            if (op.operation == Op::Bsr) {
                push16(m_r.pc);
                m_r.pc = target;
            } else if (branchTaken(opcode)) {
                m_r.pc = target;
            }
            return true;
        }
        case Op::Aim:
        case Op::Oim:
        case Op::Eim:
        case Op::Tim: {
            const std::uint8_t mask = read8(static_cast<std::uint16_t>(at + 1));
            const std::uint16_t address = effectiveAddress(op, at);
            const std::uint8_t m = read8(address);
            std::uint8_t r = static_cast<std::uint8_t>(m & mask);
            if (op.operation == Op::Oim)
                r = static_cast<std::uint8_t>(m | mask);
            if (op.operation == Op::Eim)
                r = static_cast<std::uint8_t>(m ^ mask);
            setNz8(r);
            setFlag(kFlagV, false);
            if (op.operation != Op::Tim)
                write8(address, r);
            return true;
        }
        default:
            return executeInherent(op);
    }
}

CpuResult Hd6301::step() {
    CpuResult result;
    const std::uint16_t at = m_r.pc;
    try {
        const std::uint8_t opcode = read8(at);
        const CpuOpcode& op = hd6301Opcodes()[opcode];
        if (op.operation == Op::Illegal || op.operation == Op::Swi) {
            result.end = CpuEnd::Stopped;
            result.message =
                (op.operation == Op::Swi ? "SWI (opcode 3F)" : "illegal opcode " + hexByte(opcode)) +
                " at address 0x" + hexWord(at);
            return result;
        }
        std::string before;  // address, bytes and mnemonic, read before the instruction can change them
        if (trace)
            before = traceHead(at, op.length);
        m_r.pc = static_cast<std::uint16_t>(at + op.length);
        const bool awake = execute(op, opcode, at);
        result.executed = 1;
        if (trace)
            trace(before + traceRegisters());
        if (!awake)
            result.end = CpuEnd::Sleep;
    } catch (const Hd6301Bus::Refused& refused) {
        m_r.pc = at;
        result.end = CpuEnd::Stopped;
        result.message = refused.message + " (instruction at address 0x" + hexWord(at) + ")";
    }
    return result;
}

CpuResult Hd6301::run(long budget, std::uint16_t returnAddress) {
    CpuResult total;
    while (total.executed < budget) {
        if (m_r.pc == returnAddress) {
            total.end = CpuEnd::Returned;
            return total;
        }
        CpuResult one = step();
        total.executed += one.executed;
        if (one.end == CpuEnd::Stopped || one.end == CpuEnd::Sleep) {
            one.executed = total.executed;
            return one;
        }
    }
    total.end = m_r.pc == returnAddress ? CpuEnd::Returned : CpuEnd::Budget;
    return total;
}

// ---- text ----

std::string Hd6301::disassemble(std::uint16_t at) {
    const CpuOpcode& op = hd6301Opcodes()[read8(at)];
    if (op.operation == Op::Illegal)
        return "???";
    const auto byteAt = [&](int i) { return read8(static_cast<std::uint16_t>(at + i)); };
    std::string text(op.name);
    switch (op.mode) {
        case CpuMode::Inherent:
            return text;
        case CpuMode::Immediate8:
            return text + " #$" + hexByte(byteAt(1));
        case CpuMode::Immediate16:
            return text + " #$" + hexWord(read16(static_cast<std::uint16_t>(at + 1)));
        case CpuMode::Direct:
            return text + " $" + hexByte(byteAt(1));
        case CpuMode::Extended:
            return text + " $" + hexWord(read16(static_cast<std::uint16_t>(at + 1)));
        case CpuMode::Indexed:
            return text + " $" + hexByte(byteAt(1)) + ",x";
        case CpuMode::Relative:
            return text + " $" +
                   hexWord(static_cast<std::uint16_t>(at + 2 + static_cast<std::int8_t>(byteAt(1))));
        case CpuMode::MaskDirect:
            return text + " #$" + hexByte(byteAt(1)) + ",$" + hexByte(byteAt(2));
        case CpuMode::MaskIndexed:
            return text + " #$" + hexByte(byteAt(1)) + ",$" + hexByte(byteAt(2)) + ",x";
    }
    return text;
}

std::string Hd6301::traceHead(std::uint16_t at, std::uint8_t length) {
    std::string bytes;
    for (std::uint8_t i = 0; i < length; ++i) {
        if (i > 0)
            bytes += ' ';
        bytes += hexByte(read8(static_cast<std::uint16_t>(at + i)));
    }
    char line[80];
    std::snprintf(line, sizeof line, "%04X  %-8s  %-18s ", at, bytes.c_str(), disassemble(at).c_str());
    return line;
}

std::string Hd6301::traceRegisters() const {
    static constexpr char kFlagNames[] = "HINZVC";
    std::string flags;
    for (int bit = 5; bit >= 0; --bit)
        flags += (m_r.ccr >> bit & 1) ? kFlagNames[5 - bit] : '-';
    char line[80];
    std::snprintf(line, sizeof line, "A=%02X B=%02X X=%04X SP=%04X CCR=%s", m_r.a, m_r.b, m_r.x, m_r.sp,
                  flags.c_str());
    return line;
}

}  // namespace orrery::loggervm
