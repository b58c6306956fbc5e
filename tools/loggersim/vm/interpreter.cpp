#include "interpreter.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "decoder.h"
#include "image.h"
#include "models.h"
#include "opcodes.h"

namespace orrery::loggervm {

using compiler::Op;

namespace {

constexpr std::uint32_t kConstantBase = 0x10000;  // string constants: 0x10000 + their code offset
constexpr std::uint16_t kOmitted = compiler::kOmitted;
constexpr std::size_t kMaxString = 255;

struct FaultName {
    Fault fault;
    std::string_view text;
};
constexpr FaultName kFaultNames[] = {
    {Fault::DivisionByZero, "Division by zero"},
    {Fault::StackOverflow, "Stack overflow"},
    {Fault::ReturnWithoutGosub, "RETURN without GOSUB"},
    {Fault::IndexOutOfRange, "Index out of range"},
    {Fault::AddressOutOfRange, "Address out of range"},
    {Fault::DataFileFull, "Data file full"},
    {Fault::PinOutOfRange, "Pin number out of range"},
    {Fault::ConstantWritten, "String constant cannot be changed"},
    {Fault::NoExtension, "Extension not installed"},
};

std::string hex4(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
    return text;
}

bool isOp(std::uint8_t opcode, Op op) { return opcode == static_cast<std::uint8_t>(op); }

// Integer text as the logger reads it from a typed line or VAL: optional blanks and sign, then digits;
// anything else ends the number (no digits: 0); the value wraps at 32 bits.
std::int32_t parseInteger(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
    std::uint32_t value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') value = value * 10 + static_cast<std::uint32_t>(text[at++] - '0');
    return static_cast<std::int32_t>(negative ? 0u - value : value);
}

float parseFloat(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
    float value = 0;
    const char* first = text.data() + at;
    const auto result = std::from_chars(first, text.data() + text.size(), value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) value = std::numeric_limits<float>::infinity();
    else if (result.ec != std::errc()) value = 0;
    return negative ? -value : value;
}

std::int32_t floatToInt(float value, bool floor) {
    const float whole = floor ? std::floor(value) : std::trunc(value);
    if (std::isnan(whole)) return 0;
    if (whole >= 2147483648.0f) return INT32_MAX;
    if (whole < -2147483648.0f) return INT32_MIN;
    return static_cast<std::int32_t>(whole);
}

// Days since 2000-01-01 to a civil date (proleptic Gregorian calendar).
void civilFromDays(std::int64_t days, std::int64_t& year, int& month, int& day) {
    days += 10957 + 719468;  // 1970-01-01 is day 10957 before 2000; shift to 0000-03-01
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

std::string_view faultText(Fault fault) {
    for (const auto& entry : kFaultNames)
        if (entry.fault == fault) return entry.text;
    return "Run-time error";
}

std::optional<ImageLayout> readImageLayout(std::span<const std::uint8_t> image, std::string& error) {
    const auto word = [&](std::size_t at) { return static_cast<std::uint16_t>(image[at] << 8 | image[at + 1]); };
    if (image.size() < 14) {
        error = "program image too short for its header";
        return std::nullopt;
    }
    ImageLayout layout;
    layout.headerSize = word(0);
    layout.modelCode = static_cast<std::uint16_t>(image[6] * 10);
    if (layout.headerSize == 14) {
        const std::uint32_t imageLength = word(2) + 1u;
        if (imageLength < 14 || imageLength > image.size()) {
            error = "program image shorter than its header says";
            return std::nullopt;
        }
        layout.codeSize = imageLength - 14;
        layout.dataEndOffset = word(4);
    } else if (layout.headerSize == 82 && image.size() >= 82) {
        layout.codeSize = static_cast<std::uint32_t>(word(10)) << 16 | word(12);
        layout.variablesSize = static_cast<std::uint32_t>(word(30)) << 16 | word(32);
        if (layout.codeSize > image.size() - 82) {
            error = "program image shorter than its header says";
            return std::nullopt;
        }
    } else {
        error = "program image has no valid header (size " + std::to_string(layout.headerSize) + ")";
        return std::nullopt;
    }
    return layout;
}

bool Interpreter::start(std::span<const std::uint8_t> image, std::string& error,
                        std::optional<std::uint16_t> loadAddress) {
    const auto layout = readImageLayout(image, error);
    if (!layout) return false;
    m_layout = *layout;
    m_code.assign(image.begin() + m_layout.headerSize, image.begin() + m_layout.headerSize + m_layout.codeSize);
    m_loadAddress = loadAddress ? *loadAddress
                                : static_cast<std::uint16_t>(compiler::modelNeedsDataFileSize(m_layout.modelCode)
                                                                 ? compiler::kCodeBaseLow - 14
                                                                 : compiler::kCodeBaseMain - 14);
    placeImage(image);
    m_inRoutine = false;
    m_portDirection = {};
    m_state = RunState::Running;
    m_endReason = EndReason::None;
    m_endMessage.clear();
    m_pc = m_current = 0;
    m_line = 0;
    m_stack.clear();
    m_returns.clear();
    m_contexts.clear();
    m_onErrorLabel.reset();
    m_onErrorVariable = kOmitted;
    m_breakLabel.reset();
    m_breakPending = false;
    m_typeAhead.clear();
    m_typedLine.clear();
    m_lineReady = m_skipLineFeed = false;
    m_wakeAt = 0;
    m_transmit = true;
    m_fpError = 0;
    m_rate = 0;
    clearVariables();
    return true;
}

// Variables start at zero: the slots the header counts on 700 and 800; elsewhere the whole variable
// area, from its floor (or the end of a data file that reaches above it) up to its top.
void Interpreter::clearVariables() {
    auto memory = m_host.memory();
    std::size_t from = 0;
    std::size_t to = 0;
    if (m_layout.slots()) {
        from = variableAddress(64);
        to = from + m_layout.variablesSize;
    } else {
        from = 0x4000;
        if (compiler::modelNeedsDataFileSize(m_layout.modelCode))
            from = std::max<std::size_t>(from, compiler::kCodeBaseLow - 14u + m_layout.dataEndOffset + 1u);
        to = 0x74BC + 4;
    }
    to = std::min(to, memory.size());
    for (std::size_t at = from; at < to; ++at) memory[at] = 0;
}

RunState Interpreter::run(int maxSteps) {
    if (!running()) return m_state;
    pollSerial();
    if (m_breakPending) handleBreak();
    if (m_state == RunState::Sleeping) {
        const bool cutShort = m_wakeReports && !m_typeAhead.empty();
        if (!cutShort && m_host.nowMs() < m_wakeAt) return m_state;
        if (cutShort) m_typeAhead.clear();  // the key that woke the program is spent
        if (m_wakeReports) pushBool(cutShort);
        m_state = RunState::Running;
    }
    if (m_state == RunState::WaitingInput) {
        takeTypedLine();
        if (!m_lineReady) return m_state;
        m_state = RunState::Running;
    }
    // A machine-code routine that has not returned ends the turn: the logger gets its line back.
    m_turnReads = 0;
    const long readBudget = long{maxSteps} * kReadsPerStep;
    for (int i = 0; i < maxSteps && m_state == RunState::Running && m_turnReads < readBudget; ++i) {
        step();
        if (m_inRoutine) break;
    }
    return m_state;
}

void Interpreter::requestBreak() {
    if (running()) m_breakPending = true;
}

void Interpreter::halt() {
    if (running()) end(EndReason::Stopped);
}

void Interpreter::handleBreak() {
    m_breakPending = false;
    m_inRoutine = false;
    if (m_breakLabel) {
        m_stack.clear();
        m_contexts.clear();
        m_typeAhead.clear();
        m_typedLine.clear();
        m_lineReady = false;
        m_state = RunState::Running;
        m_pc = *m_breakLabel;
        return;
    }
    m_host.writeSerial("\r\n*** Break" + where() + "\r\n");
    end(EndReason::Break, "Break" + where());
}

// Received bytes wait in the type-ahead until INPUT takes them; Ctrl+C never waits.
void Interpreter::pollSerial() {
    for (int byte = m_host.readSerial(); byte >= 0; byte = m_host.readSerial()) {
        if (byte == 0x03) {
            m_breakPending = true;
            continue;
        }
        if (m_typeAhead.size() < kTypeAhead) m_typeAhead.push_back(static_cast<std::uint8_t>(byte));
    }
}

// Moves typed characters into the line being entered, echoing them; CR or LF ends the line, and the LF
// of a CR LF pair is not taken for an empty second line.
void Interpreter::takeTypedLine() {
    pollSerial();
    while (!m_lineReady && !m_typeAhead.empty()) {
        const std::uint8_t c = m_typeAhead.front();
        m_typeAhead.pop_front();
        if (c == '\n' && m_skipLineFeed) {
            m_skipLineFeed = false;
            continue;
        }
        m_skipLineFeed = false;
        if (c == '\r' || c == '\n') {
            m_skipLineFeed = c == '\r';
            m_lineReady = true;
        } else if (c == 0x08 || c == 0x7F) {
            if (!m_typedLine.empty()) {
                m_typedLine.pop_back();
                if (m_transmit) m_host.writeSerial("\b \b");
            }
        } else if (c >= 0x20 && m_typedLine.size() < kMaxString) {
            m_typedLine += static_cast<char>(c);
            if (m_transmit) m_host.writeSerial(std::string_view(reinterpret_cast<const char*>(&c), 1));
        }
    }
}

std::string Interpreter::where() const {
    std::string text = " at code offset " + hex4(m_current);
    if (m_line > 0) text += ", line " + std::to_string(m_line);
    return text;
}

void Interpreter::end(EndReason reason, std::string message) {
    m_inRoutine = false;
    m_state = RunState::Ended;
    m_endReason = reason;
    m_endMessage = std::move(message);
}

void Interpreter::notModelled(std::uint8_t opcode) {
    const std::string name(compiler::opcodeInfo(opcode).name);
    char code[8];
    std::snprintf(code, sizeof code, "%02X", static_cast<unsigned>(opcode));
    throw StopSignal{EndReason::NotModelled, name + " (opcode " + code + ")" + where() +
                                                 " is not modelled by the simulator; program stopped"};
}

void Interpreter::badCode(const std::string& what) {
    throw StopSignal{EndReason::BadCode, "Bad program: " + what + where() + "; program stopped"};
}

// A fault goes to the ONERR handler with its code, or ends the program with a line naming it.
void Interpreter::raise(Fault fault) {
    if (m_onErrorLabel) {
        if (m_onErrorVariable != kOmitted) writeValue(m_onErrorVariable, static_cast<std::uint32_t>(fault), 4);
        m_stack.clear();
        m_contexts.clear();
        jump(*m_onErrorLabel);
        return;
    }
    const std::string message = std::string(faultText(fault)) + where();
    m_host.writeSerial("\r\n*** " + message + "\r\n");
    end(EndReason::Fault, message);
}

void Interpreter::step() {
    if (!m_inRoutine) m_current = m_pc;  // a routine's messages name the instruction that started it
    const auto instruction = decodeAt(m_code, m_pc);
    try {
        if (m_inRoutine) return continueRoutine();
        if (!instruction) {
            if (m_pc >= m_code.size()) badCode("ran past the end of the code");
            badCode("undecodable instruction");
        }
        m_pc += instruction->length;
        execute(instruction->opcode);
    } catch (const FaultSignal& signal) {
        try {
            raise(signal.fault);
        } catch (const FaultSignal&) {
            // The handler's variable itself is out of reach: no handler can run.
            m_onErrorLabel.reset();
            raise(signal.fault);
        } catch (const StopSignal& stop) {
            m_host.writeSerial("\r\n*** " + stop.message + "\r\n");
            end(stop.reason, stop.message);
        }
    } catch (const StopSignal& stop) {
        m_host.writeSerial("\r\n*** " + stop.message + "\r\n");
        end(stop.reason, stop.message);
    }
}

std::uint8_t Interpreter::operandByte(std::uint32_t at) const { return m_code[m_current + at]; }

std::uint16_t Interpreter::operandWord(std::uint32_t at) const {
    return static_cast<std::uint16_t>(m_code[m_current + at] << 8 | m_code[m_current + at + 1]);
}

std::uint32_t Interpreter::operandLong() const {
    return static_cast<std::uint32_t>(operandWord(1)) << 16 | operandWord(3);
}

void Interpreter::jump(std::uint16_t target) {
    if (target >= m_code.size()) badCode("jump to " + hex4(target) + " outside the code");
    m_pc = target;
}

void Interpreter::push(std::uint32_t value) {
    if (m_stack.size() >= kStackCells) throw FaultSignal{Fault::StackOverflow};
    m_stack.push_back(value);
}

std::uint32_t Interpreter::pop() {
    if (m_stack.empty()) badCode("evaluation stack underflow");
    const std::uint32_t value = m_stack.back();
    m_stack.pop_back();
    return value;
}

float Interpreter::popFloat() { return std::bit_cast<float>(pop()); }

void Interpreter::pushFloat(float value) {
    if (!std::isfinite(value)) m_fpError = 1;
    push(std::bit_cast<std::uint32_t>(value));
}

std::uint32_t Interpreter::variableAddress(std::uint16_t operand) const {
    if (!m_layout.slots() || operand == kOmitted) return operand;
    return static_cast<std::uint32_t>(operand) * 4;
}

std::uint8_t Interpreter::readByte(std::uint64_t address) {
    ++m_turnReads;
    auto memory = m_host.memory();
    if (address < memory.size()) return memory[address];
    if (address >= kConstantBase && address - kConstantBase < m_code.size()) return m_code[address - kConstantBase];
    throw FaultSignal{Fault::AddressOutOfRange};
}

std::uint32_t Interpreter::readValue(std::uint32_t address, int size) {
    if (address >= kClockAddress && address < kClockAddress + 32) refreshClock();
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) value = value << 8 | readByte(std::uint64_t{address} + static_cast<std::uint64_t>(i));
    return value;
}

void Interpreter::writeValue(std::uint32_t address, std::uint32_t value, int size) {
    auto memory = m_host.memory();
    if (address >= kConstantBase && address - kConstantBase < m_code.size()) throw FaultSignal{Fault::ConstantWritten};
    if (std::uint64_t{address} + static_cast<std::uint64_t>(size) > memory.size()) throw FaultSignal{Fault::AddressOutOfRange};
    for (int i = size - 1; i >= 0; --i) {
        memory[address + static_cast<std::uint32_t>(i)] = static_cast<std::uint8_t>(value);
        value >>= 8;
    }
}

std::string Interpreter::readString(std::uint32_t address) {
    const std::uint8_t length = readByte(address);
    std::string text;
    text.reserve(length);
    for (std::uint32_t i = 1; i <= length; ++i) text += static_cast<char>(readByte(std::uint64_t{address} + i));
    return text;
}

void Interpreter::writeString(std::uint32_t address, std::string_view text) {
    auto memory = m_host.memory();
    const std::size_t length = std::min(text.size(), kMaxString);
    if (address >= kConstantBase && address - kConstantBase < m_code.size()) throw FaultSignal{Fault::ConstantWritten};
    if (std::uint64_t{address} + 1 + length > memory.size()) throw FaultSignal{Fault::AddressOutOfRange};
    memory[address] = static_cast<std::uint8_t>(length);
    for (std::size_t i = 0; i < length; ++i) memory[address + 1 + i] = static_cast<std::uint8_t>(text[i]);
}

std::int64_t Interpreter::clockSeconds() const { return m_host.nowMs() / 1000 + m_clockOffset; }

// "?" holds the clock in seconds; ?(0) to ?(5) its seconds, minutes, hours, day, month and year, the
// clock's second 0 being the start of 1 January 2000.
void Interpreter::refreshClock() {
    const std::int64_t seconds = clockSeconds();
    const std::int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const std::int64_t inDay = seconds - days * 86400;
    std::int64_t year = 0;
    int month = 0, day = 0;
    civilFromDays(days, year, month, day);
    const std::int64_t fields[6] = {inDay % 60, inDay / 60 % 60, inDay / 3600, day, month, year};
    writeValue(kClockAddress, static_cast<std::uint32_t>(seconds), 4);
    for (std::uint32_t i = 0; i < 6; ++i) writeValue(kClockFields + 4 * i, static_cast<std::uint32_t>(fields[i]), 4);
}

Interpreter::PrintContext& Interpreter::context() {
    if (m_contexts.empty()) m_contexts.push_back({});
    return m_contexts.back();
}

// A statement whose end code never comes (a STORE without items) leaves its context open; the oldest
// gives way instead of the nesting running out.
void Interpreter::openContext(PrintContext context) {
    if (m_contexts.size() >= kPrintNesting) m_contexts.erase(m_contexts.begin());
    m_contexts.push_back(context);
}

void Interpreter::closeContext(bool newLine) {
    if (newLine) emit("\r\n");
    if (m_contexts.empty()) return;
    const PrintContext closed = m_contexts.back();
    m_contexts.pop_back();
    if (closed.dest == PrintContext::Dest::Routine) {
        const auto length = static_cast<std::uint16_t>(readByte(kCallTextAddress));
        startRoutine(static_cast<std::uint16_t>(closed.address), length, kCallTextAddress);
    }
}

void Interpreter::emit(std::string_view text) {
    PrintContext& out = context();
    switch (out.dest) {
        case PrintContext::Dest::Serial:
        case PrintContext::Dest::Display:
            if (m_transmit) m_host.writeSerial(text);
            return;
        case PrintContext::Dest::String:
        case PrintContext::Dest::Routine: {
            const std::uint32_t target = out.dest == PrintContext::Dest::Routine ? kCallTextAddress : out.address;
            std::string value = readString(target);
            value.append(text.substr(0, kMaxString - std::min(kMaxString, value.size())));
            writeString(target, value);
            return;
        }
        case PrintContext::Dest::DataFile:
            for (const char c : text) storeByte(static_cast<std::uint8_t>(c));
            return;
        case PrintContext::Dest::Nowhere: return;
    }
}

// A value item uses the format items in front of it; the next item starts plain again.
void Interpreter::emitValue(std::string text) {
    emit(text);
    context().format = FieldFormat{};
}

void Interpreter::storeByte(std::uint8_t byte) {
    PrintContext& out = context();
    if (out.dest != PrintContext::Dest::DataFile) badCode("binary STORE item outside a STORE statement");
    const auto pointer = static_cast<std::int32_t>(readValue(out.address, 4));
    if (pointer < 0 || static_cast<std::uint32_t>(pointer) >= m_host.dataSize()) throw FaultSignal{Fault::DataFileFull};
    m_host.writeData(static_cast<std::uint32_t>(pointer), byte);
    writeValue(out.address, static_cast<std::uint32_t>(pointer + 1), 4);
}

std::uint32_t Interpreter::pinMaskOf(std::int32_t pin) {
    const auto mask = compiler::pinMask(m_layout.modelCode, pin);
    if (mask.error) throw FaultSignal{Fault::PinOutOfRange};
    return mask.mask;
}

std::uint32_t Interpreter::inputPins() {
    std::uint32_t pins = 0;
    for (int pin = 0; pin < static_cast<int>(compiler::kPinMasks.size()); ++pin)
        if (m_host.sense(Sensor::Pin, pin) != 0) pins |= compiler::kPinMasks[static_cast<std::size_t>(pin)];
    return pins;
}

void Interpreter::sleepFor(std::int64_t seconds, bool reportWake) {
    m_wakeAt = m_host.nowMs() + std::max<std::int64_t>(seconds, 0) * 1000;
    m_wakeReports = reportWake;
    m_state = RunState::Sleeping;
}

void Interpreter::arithmetic(std::uint8_t opcode) {
    const std::uint32_t right = pop();
    const std::uint32_t left = pop();
    const auto a = static_cast<std::int32_t>(left);
    const auto b = static_cast<std::int32_t>(right);
    const float x = std::bit_cast<float>(left);
    const float y = std::bit_cast<float>(right);
    const auto compare = [](auto p, auto q) { return p < q ? -1 : (p > q ? 1 : 0); };
    switch (static_cast<Op>(opcode)) {
        case Op::Plus: return push(left + right);
        case Op::Minus: return push(left - right);
        case Op::Multiply: return push(left * right);
        case Op::Divide:
            if (b == 0) throw FaultSignal{Fault::DivisionByZero};
            return pushInt(b == -1 ? static_cast<std::int32_t>(0u - left) : a / b);
        case Op::Modulo:
            if (b == 0) throw FaultSignal{Fault::DivisionByZero};
            return pushInt(b == -1 ? 0 : a % b);
        case Op::Fplus: return pushFloat(x + y);
        case Op::Frminus: return pushFloat(x - y);
        case Op::Fmultiply: return pushFloat(x * y);
        case Op::Frdivide:
            if (y == 0.0f) throw FaultSignal{Fault::DivisionByZero};
            return pushFloat(x / y);
        case Op::And: return push(left & right);
        case Op::Or: return push(left | right);
        case Op::Xor: return push(left ^ right);
        case Op::IntCmp: return pushInt(compare(a, b));
        case Op::FltCmp: return pushInt(std::isnan(x) || std::isnan(y) ? 1 : compare(x, y));
        case Op::StrCmp: {
            // the right operand is on top; both are string addresses
            const std::string first = readString(left);
            const std::string second = readString(right);
            return pushInt(compare(first.compare(second), 0));
        }
        default: break;
    }
}

void Interpreter::floatFunction(std::uint8_t opcode) {
    const float x = popFloat();
    const auto domain = [this](bool ok) { if (!ok) m_fpError = 1; };
    switch (static_cast<Op>(opcode)) {
        case Op::Fabs: return pushFloat(std::fabs(x));
        case Op::Faint: return pushFloat(std::trunc(x));
        case Op::Fatn: return pushFloat(std::atan(x));
        case Op::Fcos: return pushFloat(std::cos(x));
        case Op::Fexp: return pushFloat(std::exp(x));
        case Op::Flog: domain(x > 0); return pushFloat(std::log(x));
        case Op::Flog10: domain(x > 0); return pushFloat(std::log10(x));
        case Op::Fsin: return pushFloat(std::sin(x));
        case Op::Fsqrt: domain(x >= 0); return pushFloat(std::sqrt(x));
        case Op::Ftan: return pushFloat(std::tan(x));
        case Op::Fint: return pushInt(floatToInt(x, true));
        case Op::Fix: return pushInt(floatToInt(x, false));
        case Op::Float: return pushFloat(static_cast<float>(std::bit_cast<std::int32_t>(x)));
        default: break;
    }
}

// The address of element index of an array: a slot on models 700 and 800, else a byte address.
void Interpreter::indexedVariable() {
    const std::int64_t index = popInt();
    const std::int64_t base = operandWord(1);
    const std::int64_t last = operandWord(3);
    if (m_layout.slots()) {
        if (index < 0 || base + index >= last) throw FaultSignal{Fault::IndexOutOfRange};
        return push(static_cast<std::uint32_t>((base + index) * 4));
    }
    if (index < 0 || base + 4 * index + 3 > last) throw FaultSignal{Fault::IndexOutOfRange};
    return push(static_cast<std::uint32_t>(base + 4 * index));
}

// ? and ?(n) on models 700 and 800: the clock, or one of its six fields.
void Interpreter::clockVariable() {
    const std::int32_t field = popInt();
    if (field == -1) return push(kClockAddress);
    if (field < 0 || field > 5) throw FaultSignal{Fault::IndexOutOfRange};
    return push(kClockFields + 4u * static_cast<std::uint32_t>(field));
}

void Interpreter::peek() {
    const std::int32_t size = popInt();
    const std::uint32_t address = pop();
    return push(readValue(address, size == 2 ? 2 : (size == 4 ? 4 : 1)));
}

void Interpreter::poke() {
    const std::int32_t size = popInt();
    const std::uint32_t value = pop();
    return writeValue(pop(), value, size == 2 ? 2 : (size == 4 ? 4 : 1));
}

void Interpreter::forTest() {
    // Below the limit and the step lies the flag that NEXT pushes: 0 on entry, 1 after a pass.
    const std::int32_t stepBy = popInt();
    const std::int32_t limit = popInt();
    const bool advance = pop() != 0;
    const std::uint32_t variable = variableAddress(operandWord(1));
    auto value = static_cast<std::int32_t>(readValue(variable, 4));
    if (advance) {
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + static_cast<std::uint32_t>(stepBy));
        writeValue(variable, static_cast<std::uint32_t>(value), 4);
    }
    if (stepBy >= 0 ? value > limit : value < limit) jump(operandWord(3));
}

void Interpreter::setBreakLabel() {
    const std::uint16_t label = operandWord();
    if (label == kOmitted) m_breakLabel.reset();
    else m_breakLabel = label;
}

void Interpreter::setErrorHandler() {
    const std::uint32_t variable = pop();
    const std::uint32_t label = pop();
    m_onErrorVariable = variable;
    if (label == kOmitted || label >= m_code.size()) m_onErrorLabel.reset();
    else m_onErrorLabel = static_cast<std::uint16_t>(label);
}

void Interpreter::appendStrings() {
    const std::string second = readString(pop());
    const std::string first = readString(pop());
    const std::uint32_t target = pop();
    writeString(target, first + second);
    return push(target);
}

void Interpreter::midString() {
    // LEFT pushes start 1, RIGHT start 0 (count from the end), MID the start it was given
    const std::int32_t count = std::max(popInt(), 0);
    const std::int32_t start = popInt();
    const std::string text = readString(pop());
    const std::uint32_t target = pop();
    const auto length = static_cast<std::int32_t>(text.size());
    std::string part;
    if (start == 0) part = text.substr(static_cast<std::size_t>(std::max(length - count, 0)));
    else if (std::max(start, 1) <= length) part = text.substr(static_cast<std::size_t>(std::max(start, 1) - 1), static_cast<std::size_t>(count));
    writeString(target, part);
    return push(target);
}

void Interpreter::inString() {
    const std::string text = readString(pop());
    const std::string sought = readString(pop());
    const std::int32_t from = std::max(popInt(), 1);
    if (from > static_cast<std::int32_t>(text.size()) + 1) return push(0);
    const auto found = text.find(sought, static_cast<std::size_t>(from - 1));
    return pushInt(found == std::string::npos ? 0 : static_cast<std::int64_t>(found) + 1);
}

// STR: the print statement around it writes into the string under the value.
void Interpreter::printIntoString() {
    if (m_stack.size() < 2) badCode("evaluation stack underflow");
    const std::uint32_t target = m_stack[m_stack.size() - 2];
    writeString(target, "");
    context().dest = PrintContext::Dest::String;
    context().address = target;
}

void Interpreter::storeNumber(std::uint8_t opcode) {
    const std::uint32_t value = pop();
    const int size = isOp(opcode, Op::Store2) ? 2 : 4;
    for (int shift = (size - 1) * 8; shift >= 0; shift -= 8) storeByte(static_cast<std::uint8_t>(value >> shift));
}

void Interpreter::storeString() {
    const std::string text = readString(pop());
    storeByte(static_cast<std::uint8_t>(text.size()));
    for (const char c : text) storeByte(static_cast<std::uint8_t>(c));
}

void Interpreter::inputLine(std::uint8_t opcode) {
    takeTypedLine();
    if (!m_lineReady) {  // try again once a whole line has arrived
        m_pc = m_current;
        m_state = RunState::WaitingInput;
        return;
    }
    if (operandByte() != 0 && m_transmit) m_host.writeSerial("\r\n");
    const std::string line = m_typedLine;
    m_typedLine.clear();
    m_lineReady = false;
    writeString(pop(), line);
    if (isOp(opcode, Op::Input)) return pushInt(parseInteger(line));
    if (isOp(opcode, Op::Finput)) return pushFloat(parseFloat(line));
}

void Interpreter::readClock() {
    const std::uint32_t variable = pop();
    if (variable == kOmitted) return refreshClock();
    return writeValue(variable, static_cast<std::uint32_t>(clockSeconds()), 4);
}

void Interpreter::setClock() {
    const std::uint32_t variable = pop();
    const std::uint32_t from = variable == kOmitted ? kClockAddress : variable;
    std::uint32_t seconds = 0;
    for (std::uint32_t i = 0; i < 4; ++i) seconds = seconds << 8 | readByte(std::uint64_t{from} + i);
    m_clockOffset = static_cast<std::int32_t>(seconds) - m_host.nowMs() / 1000;
}

void Interpreter::pinCommand(std::uint8_t opcode) {
    std::uint32_t mask = 0;
    for (int i = 0; i < operandByte(); ++i) mask |= pinMaskOf(popInt());
    if (isOp(opcode, Op::Pset)) m_outputPins |= mask;
    else if (isOp(opcode, Op::Pclr)) m_outputPins &= ~mask;
    else if (isOp(opcode, Op::Ptog)) m_outputPins ^= mask;
    else pushBool((inputPins() & mask) != 0);
}

void Interpreter::eepromGet() {
    const std::int32_t cell = popInt();
    if (cell < 0 || cell >= static_cast<std::int32_t>(m_eeprom.size())) throw FaultSignal{Fault::IndexOutOfRange};
    return pushInt(m_eeprom[static_cast<std::size_t>(cell)]);
}

void Interpreter::eepromPut() {
    const std::int32_t value = popInt();
    const std::int32_t cell = popInt();
    if (cell < 0 || cell >= static_cast<std::int32_t>(m_eeprom.size())) throw FaultSignal{Fault::IndexOutOfRange};
    m_eeprom[static_cast<std::size_t>(cell)] = value;
}

void Interpreter::execute(std::uint8_t opcode) {
    switch (static_cast<Op>(opcode)) {
        // ---- stack, constants, variables
        case Op::ModelDef:
        case Op::ExtensionDef:  // declarations: nothing happens at run time
            return;
        case Op::LinNum: m_line = operandWord(); return;
        case Op::Pop: pop(); return;
        case Op::Dup: {
            const std::uint32_t top = pop();
            push(top);
            return push(top);
        }
        case Op::Xchng1: {  // the top two cells change places
            if (m_stack.size() < 2) badCode("evaluation stack underflow");
            std::swap(m_stack[m_stack.size() - 1], m_stack[m_stack.size() - 2]);
            return;
        }
        case Op::Xchng2: {  // the top cell changes places with the third
            if (m_stack.size() < 3) badCode("evaluation stack underflow");
            std::swap(m_stack[m_stack.size() - 1], m_stack[m_stack.size() - 3]);
            return;
        }
        case Op::BytePush: return push(operandByte());
        case Op::WordPush: return push(operandWord());
        case Op::LongPush: return push(operandLong());
        case Op::Zero: return push(0);
        case Op::FetchVarVal: return push(readValue(pop(), 4));
        case Op::PutVarVal: {
            const std::uint32_t value = pop();
            return writeValue(pop(), value, 4);
        }
        case Op::VarAddr: return push(variableAddress(operandWord()));
        case Op::VarPlusOffset: return indexedVariable();
        case Op::TimeVar: return clockVariable();
        case Op::Mod: return push(m_layout.modelCode);
        case Op::Vers: return pushInt(kVersion);
        case Op::Fperror: {
            const std::int32_t error = m_fpError;
            m_fpError = 0;
            return pushInt(error);
        }
        case Op::Peek: return peek();
        case Op::Poke: return poke();

        // ---- flow of control
        case Op::Goto: return jump(operandWord());
        case Op::GoFalse:
            if (pop() == 0) jump(operandWord());
            return;
        case Op::ForTest: return forTest();
        case Op::Next:
            push(1);
            return jump(operandWord());
        case Op::StackCheck:
            if (m_returns.size() >= kGosubDepth) throw FaultSignal{Fault::StackOverflow};
            return;
        case Op::Gosub:
            if (m_returns.size() >= kGosubDepth) throw FaultSignal{Fault::StackOverflow};
            m_returns.push_back(m_pc);
            return jump(operandWord());
        case Op::Return:
            if (m_returns.empty()) throw FaultSignal{Fault::ReturnWithoutGosub};
            m_pc = m_returns.back();
            m_returns.pop_back();
            return;
        case Op::Run:
            m_stack.clear();
            m_returns.clear();
            m_contexts.clear();
            return jump(operandWord());
        case Op::Stop: return end(EndReason::Stop);
        case Op::Done: return end(EndReason::Done);
        case Op::Halt: return end(EndReason::Halt);
        case Op::Quit: return end(EndReason::Quit);
        case Op::Cbreak: return setBreakLabel();
        case Op::Onerr: return setErrorHandler();

        // ---- arithmetic, logic, comparison
        case Op::Plus: case Op::Minus: case Op::Multiply: case Op::Divide: case Op::Modulo:
        case Op::Fplus: case Op::Frminus: case Op::Fmultiply: case Op::Frdivide:
        case Op::And: case Op::Or: case Op::Xor:
        case Op::IntCmp: case Op::FltCmp: case Op::StrCmp:
            return arithmetic(opcode);
        case Op::Negate: return push(0u - pop());
        case Op::Fnegate: return push(pop() ^ 0x80000000u);
        case Op::Comp: return push(~pop());
        case Op::Abs: {
            const std::uint32_t value = pop();
            return push(static_cast<std::int32_t>(value) < 0 ? 0u - value : value);
        }
        case Op::Equal: return pushBool(popInt() == 0);
        case Op::NotEqual: return pushBool(popInt() != 0);
        case Op::LessThan: return pushBool(popInt() < 0);
        case Op::GreaterThan: return pushBool(popInt() > 0);
        case Op::LessThanOrEqual: return pushBool(popInt() <= 0);
        case Op::GreaterThanOrEqual: return pushBool(popInt() >= 0);
        case Op::Fabs: case Op::Faint: case Op::Fatn: case Op::Fcos: case Op::Fexp: case Op::Fint: case Op::Fix:
        case Op::Flog: case Op::Flog10: case Op::Fsin: case Op::Fsqrt: case Op::Ftan: case Op::Float:
            return floatFunction(opcode);
        case Op::Float2: {  // the cell under the top
            const std::uint32_t top = pop();
            pushFloat(static_cast<float>(popInt()));
            return push(top);
        }

        // ---- strings
        case Op::StrConst: return push(kConstantBase + m_current + 1);
        case Op::CopyStr: {
            const std::uint32_t source = pop();
            return writeString(pop(), readString(source));
        }
        case Op::AppStr: return appendStrings();
        case Op::MidString: return midString();
        case Op::InString: return inString();
        case Op::IntToStr:
        case Op::FltToStr: return printIntoString();
        case Op::StrToInt: return pushInt(parseInteger(readString(pop())));
        case Op::StrToFlt: return pushFloat(parseFloat(readString(pop())));

        // ---- printing and storing
        case Op::Print: return openContext({});
        case Op::DisplayLCD:
        case Op::ScrollLCD: return openContext({PrintContext::Dest::Display, 0, {}});
        case Op::Store: return openContext({PrintContext::Dest::DataFile, pop(), {}});
        case Op::NewLine:
        case Op::TermDisplayLCD: return closeContext(true);
        case Op::Semi: return closeContext(false);
        case Op::GfExpr: return emitValue(formatInteger(popInt(), context().format));
        case Op::GfFexpr: return emitValue(formatFloat(popFloat(), context().format));
        case Op::GfSexpr: return emitValue(padField(readString(pop()), context().format));
        case Op::GfChar: {
            const char c = static_cast<char>(pop());
            return emitValue(std::string(1, c));
        }
        case Op::GfFW: context().format.width = std::clamp(popInt(), 0, 255); return;
        case Op::GfPad: context().format.pad = operandByte() == '0' ? '0' : ' '; return;
        case Op::GfRadix: context().format.code = operandByte(); return;
        case Op::Store1: return storeByte(static_cast<std::uint8_t>(pop()));
        case Op::Store2:
        case Op::Store4: return storeNumber(opcode);
        case Op::StoreStr: return storeString();
        case Op::Dfmax: return push(m_host.dataSize());

        // ---- input
        case Op::Input:
        case Op::Finput:
        case Op::Sinput: return inputLine(opcode);

        // ---- time
        case Op::Sleep: return sleepFor(popInt(), false);
        case Op::SleepD1: return sleepFor(popInt(), true);
        case Op::Hibernate: return sleepFor(popInt(), false);
        case Op::Rate: m_rate = popInt(); return;
        case Op::Rtime: return readClock();
        case Op::Stime: return setClock();

        // ---- sensors and pins
        case Op::Chan: return pushInt(m_host.sense(Sensor::Analog, popInt()));
        case Op::Temp: return pushInt(m_host.sense(Sensor::Temperature, popInt()));
        case Op::Count: return pushInt(m_host.sense(Sensor::Counter, popInt()));
        case Op::Period: {
            pop();  // the number of cycles to time: the simulated period does not depend on it
            return pushInt(m_host.sense(Sensor::Period, popInt()));
        }
        case Op::AdLoop:
            for (std::uint32_t channel = 0; channel < 8; ++channel)
                writeValue(kAdLoopAddress + 4 * channel, static_cast<std::uint32_t>(m_host.sense(Sensor::Analog, static_cast<int>(channel))), 4);
            return;
        case Op::DigitalToAnalog: m_dac = popInt(); return;
        case Op::Cpset: m_outputPins |= pop(); return;
        case Op::Cpclr: m_outputPins &= ~pop(); return;
        case Op::Cptog: m_outputPins ^= pop(); return;
        case Op::Cpin: return pushBool((inputPins() & pop()) != 0);
        case Op::Pset: case Op::Pclr: case Op::Ptog: case Op::Pin: return pinCommand(opcode);
        case Op::Eeget: return eepromGet();
        case Op::Eeput: return eepromPut();
        case Op::Xmit: m_transmit = pop() != 0; return;
        case Op::Xshake: pop(); return;  // the simulated line needs no handshake
        case Op::AsmGo: case Op::AsmLoad: case Op::Call: case Op::CallGF: return machineCode(opcode);
        case Op::Get1: case Op::Get2: case Op::Get4: case Op::GetStr: case Op::DfRead: case Op::DfSave:
        case Op::GfDF: case Op::Offld: case Op::Doffld: case Op::Burst: case Op::CountVar: case Op::DiskOn:
        case Op::DiskOff: case Op::Tone: case Op::Sdi: case Op::Uget: case Op::Sdo: case Op::Usend:
        case Op::SdoGF: case Op::UsendGF: case Op::Itext: case Op::Otext: case Op::ExtensionRef:
        case Op::VarDirectB: case Op::VarDirectW:
            return peripheral(opcode);

        default:
            notModelled(opcode);
    }
}

}  // namespace orrery::loggervm
