#pragma once
// The simulated logger's interpreter of token code.
//
// A program image (header, then code) is started against a Host that owns the logger's 64 KiB of
// memory, its data memory, its serial line, its clock and its sensors. The host then calls run() with a
// budget of instructions, again and again (for example once per timer tick): a program that loops for
// ever only ever uses up its budget, a program that sleeps or waits for a typed line returns at once
// until its clock or its input is ready, and every fault of the program (division by zero, stack
// overflow, an index outside its array) ends in a line on the serial output instead of a crash.
//
// Values on the evaluation stack are 32-bit cells: integers in two's complement, floats as IEEE single
// bit patterns, strings and variables as addresses. Variables live in the host's memory at the
// addresses the compiler gave them, most significant byte first, so that a memory read of the logger
// finds what the program computed; on models 700 and 800 the compiler numbers 4-byte slots, and slot
// s is kept at byte address 4 * s. String constants stay in the code: their addresses lie above the
// 16-bit memory (0x10000 + code offset) and they cannot be written to.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "inputsource.h"
#include "printformat.h"

namespace orrery::loggervm {

class Host {
public:
    virtual ~Host() = default;
    virtual std::span<std::uint8_t> memory() = 0;  // the logger's address space, 65536 bytes
    virtual void writeSerial(std::string_view bytes) = 0;
    virtual int readSerial() = 0;                    // the next received byte, or -1 when none is waiting
    virtual std::int64_t nowMs() = 0;                // the simulated clock, never going backwards
    virtual std::uint32_t dataSize() = 0;            // bytes of data memory that STORE may fill
    virtual void writeData(std::uint32_t offset, std::uint8_t byte) = 0;  // offset < dataSize()
    // The byte of data memory at offset, or -1 where nothing has been recorded.
    virtual int readData(std::uint32_t) { return -1; }
    virtual std::int32_t sense(Sensor sensor, int number) = 0;  // sensor reading at the current time
};

// What the header of an image says about the code behind it.
struct ImageLayout {
    std::uint16_t headerSize = 0;  // 14 or 82
    std::uint32_t codeSize = 0;
    std::uint16_t modelCode = 0;   // model byte x 10
    std::uint32_t variablesSize = 0;  // long header only
    std::uint16_t dataEndOffset = 0;  // short header: image length + data-file size - 1
    bool slots() const { return headerSize == 82; }
};
std::optional<ImageLayout> readImageLayout(std::span<const std::uint8_t> image, std::string& error);

enum class RunState { Idle, Running, Sleeping, WaitingInput, Ended };

enum class EndReason { None, Stop, Done, Halt, Quit, Break, Fault, NotModelled, BadCode, Stopped, MachineCode };

class Hd6301;

// Machine code (ASM blocks, CALL) runs on the logger's processor (hd6301cpu.h) with this memory map:
//
//   0x0000-0x0003  the processor's port registers: port 1 and port 2 direction (0x00, 0x01) and data
//                  (0x02, 0x03). Port 1 holds pins 0-7 (pin 0 in bit 7), port 2 pins 8-13 (pin 13 in
//                  bit 0), the bits of the pin masks PSET and PIN use. A data read gives the input pins
//                  where the direction bit is 0 and the output pins where it is 1; a write sets the
//                  output pins of that port.
//   0x0004-0x001F  the other on-chip registers (timer, serial interface, ...): not modelled, any access
//                  stops the program.
//   0x0020-0xBFFF  RAM: the program image at its load address, the variables at the addresses the
//                  symbol file gives (integers 4 bytes most significant first, floats as IEEE single
//                  precision most significant byte first, strings a length byte and the characters),
//                  the processor's stack below kMachineStackTop and the text of CALL's text form at
//                  kCallTextAddress.
//   0xC000-0xFFFF  the EPROM: read only; a write stops the program.
//
// Entries: ASM $ (AsmGo) runs its block where it lies in the program; ASM address (AsmLoad) copies its
// block to the address; CALL runs a routine. Each starts with SP = kMachineStackTop and the return
// address kReturnToInterpreter on the stack, so the RTS that ends the routine hands control back to
// the token code. CALL address, value, variable passes the value's low 16 bits in D and the variable's
// address in X (0 when left out); CALL address, "text", ... formats its items as PRINT would into a
// string at kCallTextAddress (length byte, characters, CR LF at the end unless ";" ends the statement)
// and passes its address in X and its length in D. A routine runs at most machineBudget instructions in
// one turn of the interpreter; SLP and WAI end its turn early; it continues on the next turn.
inline constexpr std::uint16_t kMachineStackTop = 0x7FFF;
inline constexpr std::uint16_t kCallTextAddress = 0x7E00;
inline constexpr std::uint16_t kReturnToInterpreter = 0xFFFE;

// Run-time faults with the code an ONERR handler receives in its variable.
enum class Fault : std::int32_t {
    DivisionByZero = 1,
    StackOverflow = 2,
    ReturnWithoutGosub = 3,
    IndexOutOfRange = 4,
    AddressOutOfRange = 5,
    DataFileFull = 6,
    PinOutOfRange = 7,
    ConstantWritten = 8,
    NoExtension = 9,
};
std::string_view faultText(Fault fault);

class Interpreter {
public:
    static constexpr std::size_t kStackCells = 256;
    static constexpr std::size_t kGosubDepth = 64;
    static constexpr std::size_t kPrintNesting = 8;
    static constexpr std::size_t kTypeAhead = 256;
    static constexpr std::uint16_t kClockAddress = 64;  // "?" on models other than 700 and 800
    static constexpr std::uint16_t kClockFields = 69;   // ?(0) .. ?(5)
    static constexpr std::uint16_t kAdLoopAddress = 0x7C00;
    static constexpr std::int32_t kVersion = 1;
    static constexpr long kMachineBudget = 20000;  // machine-code instructions in one turn
    // OTEXT, OFFLD and the string instructions read up to 64 KB in one step: a turn also ends once it
    // has read this many memory bytes per step it was given, so that its cost stays bounded.
    static constexpr long kReadsPerStep = 64;

    explicit Interpreter(Host& host);
    ~Interpreter();

    // Starts a program; false with a reason when the image cannot be run. The image is placed in the
    // host's memory at loadAddress (by default where the logger loads programs of the image's model:
    // 0x0140 for models 400 and 500, 0x8140 for the others), where its machine code runs.
    bool start(std::span<const std::uint8_t> image, std::string& error,
               std::optional<std::uint16_t> loadAddress = std::nullopt);
    // Executes at most maxSteps instructions, fewer when the program ends, sleeps or waits for input.
    RunState run(int maxSteps);
    // Ctrl+C: jumps to the CBREAK label when the program set one, else ends the program.
    void requestBreak();
    // Ends the program without a message (the logger takes another command).
    void halt();

    RunState state() const { return m_state; }
    bool running() const { return m_state != RunState::Idle && m_state != RunState::Ended; }
    std::int64_t wakeAtMs() const { return m_wakeAt; }
    EndReason endReason() const { return m_endReason; }
    const std::string& endMessage() const { return m_endMessage; }
    int line() const { return m_line; }
    std::uint32_t codeOffset() const { return m_pc; }
    std::uint32_t outputPins() const { return m_outputPins; }
    std::int32_t analogOutput() const { return m_dac; }
    std::int32_t rate() const { return m_rate; }
    std::uint16_t modelCode() const { return m_layout.modelCode; }
    // The logger's clock in seconds; STIME sets it.
    std::int64_t clockSeconds() const;

    // Machine-code instructions a routine may run in one turn before the interpreter returns.
    void setMachineBudget(long instructions) { m_machineBudget = instructions; }
    // Receives a line for every machine-code instruction executed (see Hd6301::trace); empty: none.
    void setMachineTrace(std::function<void(const std::string&)> trace);
    bool inMachineCode() const { return m_inRoutine; }

private:
    struct PrintContext {
        enum class Dest { Serial, Display, String, DataFile, Routine, Nowhere } dest = Dest::Serial;
        std::uint32_t address = 0;  // the string written to, the variable holding the data-file pointer,
                                    // or the routine that receives the text
        FieldFormat format;
    };
    struct FaultSignal { Fault fault; };
    class MachineBus;
    struct StopSignal { EndReason reason; std::string message; };

    void step();
    void execute(std::uint8_t opcode);
    void pollSerial();
    void takeTypedLine();
    void handleBreak();
    void raise(Fault fault);
    void end(EndReason reason, std::string message = {});
    [[noreturn]] void notModelled(std::uint8_t opcode);
    [[noreturn]] void badCode(const std::string& what);
    std::string where() const;

    // operands of the instruction being executed
    std::uint8_t operandByte(std::uint32_t at = 1) const;
    std::uint16_t operandWord(std::uint32_t at = 1) const;
    std::uint32_t operandLong() const;
    void jump(std::uint16_t target);

    void push(std::uint32_t value);
    std::uint32_t pop();
    std::int32_t popInt() { return static_cast<std::int32_t>(pop()); }
    float popFloat();
    void pushInt(std::int64_t value) { push(static_cast<std::uint32_t>(value)); }
    void pushFloat(float value);
    void pushBool(bool value) { push(value ? 1u : 0u); }

    std::uint32_t variableAddress(std::uint16_t operand) const;
    std::uint8_t readByte(std::uint64_t address);
    std::uint32_t readValue(std::uint32_t address, int size);
    void writeValue(std::uint32_t address, std::uint32_t value, int size);
    std::string readString(std::uint32_t address);
    void writeString(std::uint32_t address, std::string_view text);
    void refreshClock();
    void clearVariables();

    PrintContext& context();
    void openContext(PrintContext context);
    void closeContext(bool newLine);
    void emit(std::string_view text);
    void emitValue(std::string text);
    void storeByte(std::uint8_t byte);

    std::uint32_t pinMaskOf(std::int32_t pin);
    std::uint32_t inputPins();
    void sleepFor(std::int64_t seconds, bool reportWake);
    void arithmetic(std::uint8_t opcode);
    void floatFunction(std::uint8_t opcode);
    // The instructions that take more than a line, one function each.
    void indexedVariable();
    void clockVariable();
    void peek();
    void poke();
    void forTest();
    void setBreakLabel();
    void setErrorHandler();
    void appendStrings();
    void midString();
    void inString();
    void printIntoString();
    void storeNumber(std::uint8_t opcode);
    void storeString();
    void inputLine(std::uint8_t opcode);
    void readClock();
    void setClock();
    void pinCommand(std::uint8_t opcode);
    void eepromGet();
    void eepromPut();

    // data file, disk, extra lines (peripherals.cpp)
    void peripheral(std::uint8_t opcode);
    std::uint8_t dataByte(std::uint32_t offset);
    void offload(std::uint32_t start, std::uint32_t end, std::uint32_t variable);
    void textIn();

    // machine code (machinecode.cpp)
    void placeImage(std::span<const std::uint8_t> image);
    void machineCode(std::uint8_t opcode);
    void startRoutine(std::uint16_t address, std::uint16_t d, std::uint16_t x);
    void continueRoutine();
    void openCallText();
    std::uint8_t readPort(int port);
    void writePort(int port, std::uint8_t value);

    Host& m_host;
    ImageLayout m_layout;
    std::vector<std::uint8_t> m_code;
    RunState m_state = RunState::Idle;
    EndReason m_endReason = EndReason::None;
    std::string m_endMessage;
    std::uint32_t m_pc = 0;        // next instruction
    std::uint32_t m_current = 0;   // instruction being executed
    int m_line = 0;
    std::vector<std::uint32_t> m_stack;
    std::vector<std::uint32_t> m_returns;
    std::vector<PrintContext> m_contexts;
    std::optional<std::uint16_t> m_onErrorLabel;
    std::uint32_t m_onErrorVariable = 0xFFF0;
    std::optional<std::uint16_t> m_breakLabel;
    bool m_breakPending = false;
    std::deque<std::uint8_t> m_typeAhead;
    std::string m_typedLine;
    bool m_lineReady = false;
    bool m_skipLineFeed = false;
    std::int64_t m_wakeAt = 0;
    bool m_wakeReports = false;  // a conditional SLEEP: pushes whether it was cut short
    bool m_transmit = true;
    std::int32_t m_fpError = 0;
    std::uint32_t m_outputPins = 0;
    std::int32_t m_dac = 0;
    std::int32_t m_rate = 0;
    std::int64_t m_clockOffset = 0;  // survives programs, like the logger's clock
    std::array<std::int32_t, 256> m_eeprom{};  // survives programs
    std::uint16_t m_loadAddress = 0;
    std::unique_ptr<MachineBus> m_bus;
    std::unique_ptr<Hd6301> m_cpu;
    bool m_inRoutine = false;
    long m_turnReads = 0;
    long m_machineBudget = kMachineBudget;
    std::array<std::uint8_t, 2> m_portDirection{};
};

}  // namespace orrery::loggervm
