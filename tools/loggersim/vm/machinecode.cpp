// Machine code in token-code programs: ASM blocks (AsmGo, AsmLoad) and CALL (Call, CallGF), run on
// the logger's processor against the memory map described in interpreter.h.

#include <algorithm>
#include <cstring>

#include "hd6301cpu.h"
#include "interpreter.h"
#include "opcodes.h"

namespace orrery::loggervm {

using compiler::Op;

namespace {
constexpr std::uint16_t kOnChipEnd = 0x0020;      // the on-chip registers lie below
constexpr std::uint16_t kPortRegisters = 0x0004;  // direction 1, direction 2, data 1, data 2
constexpr std::uint16_t kEpromStart = 0xC000;

bool isOp(std::uint8_t opcode, Op op) {
    return opcode == static_cast<std::uint8_t>(op);
}
}  // namespace

// The processor's view of the logger: the port registers, RAM and the EPROM of the memory map.
class Interpreter::MachineBus final : public Hd6301Bus {
public:
    explicit MachineBus(Interpreter& vm) : m_vm(vm) {}

    std::uint8_t read(std::uint16_t address) override {
        if (address < kOnChipEnd)
            return readRegister(address);
        return m_vm.m_host.memory()[address];
    }

    void write(std::uint16_t address, std::uint8_t value) override {
        if (address < kOnChipEnd)
            return writeRegister(address, value);
        if (address >= kEpromStart)
            throw Refused{"write to the EPROM at address 0x" + hexWord(address)};
        m_vm.m_host.memory()[address] = value;
    }

private:
    static Refused notModelled(const char* access, std::uint16_t address) {
        return Refused{std::string(access) + " of on-chip register 0x" + hexWord(address) +
                       ", which the simulator does not model"};
    }
    std::uint8_t readRegister(std::uint16_t address) {
        if (address >= kPortRegisters)
            throw notModelled("read", address);
        if (address < 2)
            return m_vm.m_portDirection[address];
        return m_vm.readPort(address - 2);
    }
    void writeRegister(std::uint16_t address, std::uint8_t value) {
        if (address >= kPortRegisters)
            throw notModelled("write", address);
        if (address < 2)
            m_vm.m_portDirection[address] = value;
        else
            m_vm.writePort(address - 2, value);
    }

    Interpreter& m_vm;
};

Interpreter::Interpreter(Host& host)
    : m_host(host), m_bus(std::make_unique<MachineBus>(*this)), m_cpu(std::make_unique<Hd6301>(*m_bus)) {}

Interpreter::~Interpreter() = default;

void Interpreter::setMachineTrace(std::function<void(const std::string&)> trace) {
    m_cpu->trace = std::move(trace);
}

// The image where the logger keeps it, so that its machine code runs in place; RAM ends at the EPROM.
void Interpreter::placeImage(std::span<const std::uint8_t> image) {
    auto memory = m_host.memory();
    if (m_loadAddress >= memory.size())
        return;
    const std::size_t room =
        std::min<std::size_t>(memory.size(), kEpromStart) - std::min<std::size_t>(m_loadAddress, kEpromStart);
    const std::size_t count = std::min(image.size(), room);
    if (count > 0 && memory.data() + m_loadAddress != image.data())
        std::memmove(memory.data() + m_loadAddress, image.data(), count);
}

// Port 1 carries bits 0-7 of the pin masks, port 2 bits 8-15.
std::uint8_t Interpreter::readPort(int port) {
    const int shift = 8 * port;
    const auto inputs = static_cast<std::uint8_t>(inputPins() >> shift);
    const auto outputs = static_cast<std::uint8_t>(m_outputPins >> shift);
    const std::uint8_t direction = m_portDirection[static_cast<std::size_t>(port)];
    return static_cast<std::uint8_t>((inputs & ~direction) | (outputs & direction));
}

void Interpreter::writePort(int port, std::uint8_t value) {
    const int shift = 8 * port;
    m_outputPins = (m_outputPins & ~(0xFFu << shift)) | (static_cast<std::uint32_t>(value) << shift);
}

void Interpreter::machineCode(std::uint8_t opcode) {
    if (isOp(opcode, Op::AsmGo)) {
        pop();  // the block's length, which the decoder already skipped
        const auto block = static_cast<std::uint32_t>(m_loadAddress + m_layout.headerSize + m_current + 1);
        if (block >= kEpromStart)
            badCode("ASM block above the end of RAM");
        return startRoutine(static_cast<std::uint16_t>(block), 0, 0);
    }
    if (isOp(opcode, Op::AsmLoad)) {
        const std::uint32_t length = pop();
        const std::uint32_t address = pop();
        // The length comes from the stack; in a damaged image it need not be the block the decoder skipped.
        if (std::uint64_t{m_current} + 1 + length > m_code.size())
            badCode("ASM block runs past the end of the code");
        try {
            for (std::uint32_t i = 0; i < length; ++i)
                m_bus->write(static_cast<std::uint16_t>(address + i), m_code[m_current + 1 + i]);
        } catch (const Hd6301Bus::Refused& refused) {
            throw StopSignal{EndReason::MachineCode,
                             "ASM block not loaded: " + refused.message + where() + "; program stopped"};
        }
        return;
    }
    if (isOp(opcode, Op::CallGF))
        return openCallText();
    const std::uint32_t variable = pop();
    const std::uint32_t value = pop();
    const std::uint32_t address = pop();
    if (address > 0xFFFF)
        throw FaultSignal{Fault::AddressOutOfRange};
    const std::uint32_t x = variable == compiler::kOmitted ? 0 : variable;
    startRoutine(static_cast<std::uint16_t>(address),
                 value == compiler::kOmitted ? 0 : static_cast<std::uint16_t>(value),
                 static_cast<std::uint16_t>(x));
}

// CALL's text form: the routine's address lies under the first item; the items that follow are
// formatted into the text that closing the statement hands to the routine.
void Interpreter::openCallText() {
    if (m_stack.size() < 2)
        badCode("evaluation stack underflow");
    const std::uint32_t address = m_stack[m_stack.size() - 2];
    m_stack.erase(m_stack.end() - 2);
    if (address > 0xFFFF)
        throw FaultSignal{Fault::AddressOutOfRange};
    writeString(kCallTextAddress, "");
    openContext({PrintContext::Dest::Routine, address, {}});
}

void Interpreter::startRoutine(std::uint16_t address, std::uint16_t d, std::uint16_t x) {
    Hd6301Registers& r = m_cpu->registers();
    r.pc = address;
    r.setD(d);
    r.x = x;
    auto memory = m_host.memory();
    memory[kMachineStackTop] = static_cast<std::uint8_t>(kReturnToInterpreter & 0xFF);
    memory[kMachineStackTop - 1] = static_cast<std::uint8_t>(kReturnToInterpreter >> 8);
    r.sp = kMachineStackTop - 2;
    m_inRoutine = true;
    continueRoutine();
}

void Interpreter::continueRoutine() {
    const CpuResult result = m_cpu->run(m_machineBudget, kReturnToInterpreter);
    if (result.end == CpuEnd::Returned)
        m_inRoutine = false;
    if (result.end != CpuEnd::Stopped)
        return;
    m_inRoutine = false;
    throw StopSignal{EndReason::MachineCode,
                     "Machine code stopped: " + result.message + " (called" + where() + "); program stopped"};
}

}  // namespace orrery::loggervm
