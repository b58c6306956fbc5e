// The statements that talk to the logger's data file, disk, extra lines and sound: the simulator's
// interpretation of them, described in the README ("The simulated logger runs programs").

#include <algorithm>

#include "interpreter.h"
#include "opcodes.h"

namespace orrery::loggervm {

using compiler::Op;

namespace {
constexpr std::uint32_t kOmitted = compiler::kOmitted;
constexpr int kBurstChannel = 0;
constexpr std::uint32_t kMaxText = 0xFFFF;
constexpr std::int32_t kMaxBurst = 0xFFFF;

// Integers of 1, 2 or 4 bytes in data memory, most significant byte first; other sizes take 4.
int dataSizeOf(std::int32_t count) {
    return count == 1 || count == 2 ? count : 4;
}
}  // namespace

std::uint8_t Interpreter::dataByte(std::uint32_t offset) {
    ++m_turnReads;
    const int byte = m_host.readData(offset);
    if (byte < 0)
        throw FaultSignal{Fault::AddressOutOfRange};
    return static_cast<std::uint8_t>(byte);
}

void Interpreter::peripheral(std::uint8_t opcode) {
    switch (static_cast<Op>(opcode)) {
        case Op::Get1:
        case Op::Get2:
        case Op::Get4: {
            const int size =
                static_cast<Op>(opcode) == Op::Get1 ? 1 : (static_cast<Op>(opcode) == Op::Get2 ? 2 : 4);
            const std::uint32_t offset = pop();
            std::uint32_t value = 0;
            for (int i = 0; i < size; ++i)
                value = value << 8 | dataByte(offset + static_cast<std::uint32_t>(i));
            return push(value);
        }
        case Op::GetStr: {  // a length byte and the characters, as the binary STORE of a string wrote them
            const std::uint32_t offset = pop();
            const std::uint32_t target = pop();
            const std::uint8_t length = dataByte(offset);
            std::string text;
            for (std::uint32_t i = 1; i <= length; ++i)
                text += static_cast<char>(dataByte(offset + i));
            writeString(target, text);
            return push(target);
        }
        case Op::DfRead:
        case Op::DfSave: {
            const int size = dataSizeOf(popInt());
            const std::uint32_t variable = pop();
            const std::uint32_t offset = pop();
            if (static_cast<Op>(opcode) == Op::DfRead) {
                std::uint32_t value = 0;
                for (int i = 0; i < size; ++i)
                    value = value << 8 | dataByte(offset + static_cast<std::uint32_t>(i));
                return writeValue(variable, value, 4);
            }
            const std::uint32_t value = readValue(variable, 4);
            for (int i = 0; i < size; ++i) {
                const std::uint32_t at = offset + static_cast<std::uint32_t>(i);
                if (at >= m_host.dataSize())
                    throw FaultSignal{Fault::DataFileFull};
                m_host.writeData(at, static_cast<std::uint8_t>(value >> (8 * (size - 1 - i))));
            }
            return;
        }
        case Op::GfDF: {  // {a, b}: b bytes of data memory from offset a, as they are
            const std::int32_t count = std::max(popInt(), 0);
            const std::uint32_t offset = pop();
            std::string bytes;
            for (std::int32_t i = 0; i < count && offset + static_cast<std::uint32_t>(i) < m_host.dataSize();
                 ++i)
                bytes += static_cast<char>(dataByte(offset + static_cast<std::uint32_t>(i)));
            return emitValue(bytes);
        }
        case Op::Offld:
        case Op::Doffld: {
            const std::uint32_t variable = pop();
            if (static_cast<Op>(opcode) == Op::Offld)
                pop();  // the handshake time-out: the line needs none
            const std::uint32_t end = pop();
            const std::uint32_t start = pop();
            return offload(start, end, variable);
        }
        case Op::Burst: {
            pop();  // the storage format of the logger's burst buffer, which the simulator does not keep
            const std::int32_t count = std::min(popInt(), kMaxBurst);
            const std::uint32_t variable = pop();
            std::int64_t sum = 0;
            for (std::int32_t i = 0; i < count; ++i)
                sum += m_host.sense(Sensor::Analog, kBurstChannel);
            return writeValue(variable, static_cast<std::uint32_t>(count > 0 ? sum / count : 0), 4);
        }
        case Op::CountVar: {
            const std::uint32_t variable = pop();
            if (variable != kOmitted)
                writeValue(variable, static_cast<std::uint32_t>(m_host.sense(Sensor::Counter, 0)), 4);
            return;
        }
        case Op::DiskOn:
            return writeValue(pop(), 1, 4);
        case Op::DiskOff:
            return;
        case Op::Tone:
            pop();
            pop();
            return;
        case Op::Sdi:
            pop();
            return push(0);
        case Op::Uget: {
            pop();
            const std::uint32_t variable = pop();
            pop();
            pop();
            return writeValue(variable, 0, 4);
        }
        case Op::Sdo:
        case Op::Usend:
            // Every cell on the stack belongs to this statement: no statement leaves cells behind.
            m_stack.clear();
            return;
        case Op::SdoGF:
            return openContext({PrintContext::Dest::Nowhere, 0, {}});
        case Op::UsendGF: {  // the baud divisor lies under the first item
            if (m_stack.size() < 2)
                badCode("evaluation stack underflow");
            m_stack.erase(m_stack.end() - 2);
            return openContext({PrintContext::Dest::Nowhere, 0, {}});
        }
        case Op::Itext:
            return textIn();
        case Op::Otext: {
            const auto terminator = static_cast<std::uint8_t>(pop());
            const std::uint32_t variable = pop();
            std::uint32_t at = readValue(variable, 4);
            std::string text;
            for (std::uint32_t n = 0; n < kMaxText; ++n, ++at) {
                const std::uint8_t c = readByte(at);
                if (c == terminator)
                    break;
                text += static_cast<char>(c);
            }
            if (m_transmit)
                m_host.writeSerial(text);
            return;
        }
        case Op::ExtensionRef: {
            for (std::uint8_t i = 0; i < operandByte(3); ++i)
                pop();
            throw FaultSignal{Fault::NoExtension};
        }
        case Op::VarDirectB:
        case Op::VarDirectW:
            badCode("reserved instruction " + std::string(compiler::opcodeInfo(opcode).name));
        default:
            notModelled(opcode);
    }
}

// OFFLD and DOFFLD send data memory from start up to end (not included) on the line as it is; the
// variable, when given, receives the number of bytes sent.
void Interpreter::offload(std::uint32_t start, std::uint32_t end, std::uint32_t variable) {
    std::string bytes;
    for (std::uint32_t at = start; at < end && at < m_host.dataSize(); ++at) {
        ++m_turnReads;
        const int byte = m_host.readData(at);
        if (byte < 0)
            break;
        bytes += static_cast<char>(byte);
    }
    if (m_transmit)
        m_host.writeSerial(bytes);
    if (variable != kOmitted)
        writeValue(variable, static_cast<std::uint32_t>(bytes.size()), 4);
}

// ITEXT var, \c, n: a typed line (as INPUT takes it), at most n characters of it, is stored from the
// address held in var on, followed by the terminator c; var then holds the address after the terminator.
void Interpreter::textIn() {
    takeTypedLine();
    if (!m_lineReady) {
        m_pc = m_current;
        m_state = RunState::WaitingInput;
        return;
    }
    const std::uint32_t count = pop() & 0xFFFF;
    const auto terminator = static_cast<std::uint8_t>(pop());
    const std::uint32_t variable = pop();
    if (m_transmit)
        m_host.writeSerial("\r\n");
    std::string line = m_typedLine;
    m_typedLine.clear();
    m_lineReady = false;
    if (line.size() > count)
        line.resize(count);
    std::uint32_t at = readValue(variable, 4);
    for (const char c : line)
        writeValue(at++, static_cast<std::uint8_t>(c), 1);
    writeValue(at++, terminator, 1);
    writeValue(variable, at, 4);
}

}  // namespace orrery::loggervm
