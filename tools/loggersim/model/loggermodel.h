#pragma once
// A simulated Brackwater logger: the logger's half of every link command, as plain C++.
//
// The model is a state machine fed one received byte at a time with the time it arrived; what it sends
// back collects in an output buffer that the line driver takes (takeOutput) and puts on the line. It
// never blocks and never reads a clock of its own, so tests drive it with made-up times and the same
// code runs behind a pseudo-terminal (tools/loggersim/main.cpp) and behind the in-process serial line
// (loggeronline.h). Faults, pacing at the line rate and the trace live one layer up (loggerline.h).
//
// Memory map (64 KiB, multi-byte values most significant byte first):
//
//   0x0000-0xBFFF  RAM. A loaded program image (header first) lies at the program start:
//                  0x0140 for models 400 and 500, 0x8140 for all others.
//   0xC000-0xFFFF  the EPROM image (--rom FILE, or a fixed pattern), except:
//   0xFFE8         the model byte (see kModelTable): 164..203 marks a program at 0x0140.
//
// Data memory (the recorded samples that a serial offload sends) is a separate byte store; a running
// program appends to it with storeData(). Disk files are numbered files in a folder, or a small
// built-in set when no folder is given.
//
// Commands (first byte of an exchange, taken whenever no exchange is in progress):
//
//   0x02  boot EPROM      stops a running program, prints the boot banner and the prompt
//   0x04  disk offload    echo; range line "start,end" CR (hex); "U"; XMODEM send of the files
//   0x05  EPROM export    0x05 (accept) or 0x07 (refuse)
//   0x0C  load            echo; blocks of length 1..0x80 + bytes; 0x00 ends and stores the image
//   0x0F  serial offload  echo; range line; XMODEM send of that range of data memory
//   0x12  run             starts the installed runner, or prints "Running <name>"
//   0x13  identify        echo, count, model high, model low, identify text
//   0x16  memory read     echo; hex address CR -> 0xFF; count -> 0xFF; data; 8-bit sum of the
//                         address bytes, the count and the data
//   0x18  leave memory    CR LF "#"
//   CR    prompt          CR LF "#" (after running the typed line, if any: see "help")
//   other bytes are echoed as typed text; a typed line can start an XMODEM transfer for the
//   terminal ("rx", "sx [n]").
//
// An exchange that hears nothing for kExchangeTimeout (XMODEM: its own longer limits) is abandoned, so
// a workbench that vanishes mid-command leaves the logger ready for the next one.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "programrunner.h"

namespace orrery::loggersim {

inline constexpr Micros kNever = INT64_MAX;
inline constexpr Micros kExchangeTimeout = 5'000'000;

inline constexpr std::uint16_t kLowProgramStart = 0x0140;
inline constexpr std::uint16_t kHighProgramStart = 0x8140;
inline constexpr std::uint16_t kRomStart = 0xC000;
inline constexpr std::size_t kRomSize = 0x4000;
inline constexpr std::uint16_t kModelByteAddress = 0xFFE8;
// Data memory grows as a program stores records; this bounds it.
inline constexpr std::size_t kDataMemoryLimit = 1 << 20;

// One row per logger model. The model byte must satisfy two readers at once: the variable viewer takes
// 164..203 to mean "program at 0x0140", the EPROM export takes models 400..509 to mean the same. No one
// formula serves both, so the byte is chosen per model: 400 and 500 get bytes inside 164..203, every
// other model gets its model number divided by 10 (as in its program headers), which lies outside.
struct ModelEntry {
    std::uint16_t number;
    const char* name;
    std::uint8_t modelByte;
};
inline constexpr std::array<ModelEntry, 13> kModelTable = {{
    {210, "Alder", 21},
    {220, "Alder-W", 22},
    {230, "Birch", 23},
    {240, "Birch-X", 24},
    {400, "Cedar", 164},
    {500, "Maple", 200},
    {510, "Maple-R", 51},
    {520, "Maple-V", 52},
    {600, "Rowan", 60},
    {610, "Rowan-X", 61},
    {620, "Rowan-R", 62},
    {700, "Hazel", 70},
    {800, "Larch", 80},
}};
const ModelEntry* findModel(std::uint16_t number);
// 0x0140 or 0x8140, by the model byte, as the variable viewer decides.
std::uint16_t programStartFor(std::uint8_t modelByte);

// Everything that makes one logger different from another.
struct LoggerSetup {
    std::uint16_t model = 510;
    std::string identifyText;        // empty: "BRACKWATER <model> <name> SIMULATED"
    std::vector<std::uint8_t> data;  // data memory contents
    std::vector<std::uint8_t> rom;   // image of 0xC000-0xFFFF; shorter images are padded with 0xFF
    std::string diskDir;             // numbered disk files; empty: the built-in disk
    bool epromRefuse = false;        // answer the EPROM export with 0x07
    bool wrongEcho = false;          // echo every command byte with bit 6 flipped (0x16 -> 'V')
};

// The recorded samples a fresh logger holds: 256 lines "NNNN,HH:MM:SS,+TT.TT" CR LF (sample number,
// time of day one minute apart from midnight, a temperature that climbs and falls in 0.25 steps
// between 10.00 and 26.00), 5632 bytes in all, the same on every run.
std::vector<std::uint8_t> generatedSamples();
// The upper 16 KiB of a fresh logger: the byte at address A is (A XOR (A >> 8)) AND 0xFF.
std::vector<std::uint8_t> defaultRom();
// A setup for the model with the generated samples and the default EPROM image.
LoggerSetup defaultSetup(std::uint16_t model = 510);

// Numbered disk files. A folder holds them as files whose names begin with their number in decimal
// ("3.dat", "0012.csv"); without a folder three small text files 1..3 are built in.
class Disk {
public:
    virtual ~Disk() = default;
    virtual std::map<int, std::vector<std::uint8_t>> files() const = 0;
    // Stores a new file under the next free number; returns that number, or -1 when it failed.
    virtual int add(const std::vector<std::uint8_t>& bytes, std::string& error) = 0;
};
std::unique_ptr<Disk> makeDisk(const std::string& folder);

class XmodemSender;
class XmodemReceiver;

class LoggerModel {
public:
    explicit LoggerModel(LoggerSetup setup);
    ~LoggerModel();
    LoggerModel(const LoggerModel&) = delete;
    LoggerModel& operator=(const LoggerModel&) = delete;

    // ---- the line ----
    void receive(std::uint8_t byte, Micros now);
    // Lets time pass: exchange time-outs, XMODEM retries, the program runner.
    void tick(Micros now);
    // When tick() next has something to do; kNever when only a received byte can change anything.
    Micros nextWake() const;
    // Bytes the logger has sent since the last call.
    std::string takeOutput();
    // No exchange in progress: the next byte is taken as a command.
    bool idle() const;
    // Command exchanges finished since the start (text typed at the prompt does not count; CR does).
    long commandsDone() const { return m_commandsDone; }

    // ---- state, for tests and the program runner ----
    std::array<std::uint8_t, 0x10000>& memory() { return m_memory; }
    const std::array<std::uint8_t, 0x10000>& memory() const { return m_memory; }
    std::vector<std::uint8_t>& dataMemory() { return m_data; }
    // Appends a record to data memory; false (nothing stored) when it would exceed kDataMemoryLimit.
    bool storeData(const std::uint8_t* bytes, std::size_t count);
    // Puts bytes on the line (program output).
    void write(std::string_view bytes);
    // The logger's clock: the time of the last received byte or tick.
    Micros now() const { return m_now; }
    std::uint16_t modelNumber() const { return m_setup.model; }
    std::uint8_t modelByte() const;
    std::uint16_t programStart() const;
    const std::string& identifyText() const { return m_identify; }
    // Length of the image stored by the last completed load; 0 before any.
    std::size_t loadedLength() const { return m_loadedLength; }
    Disk& disk() { return *m_disk; }

    void installRunner(std::unique_ptr<ProgramRunner> runner);
    ProgramRunner* runner() { return m_runner.get(); }
    bool programRunning() const;

    // Remarks for whoever watches the simulator (the binary prints them on stderr): abandoned
    // exchanges, finished transfers, a load cut at the EPROM.
    std::function<void(const std::string&)> onNote;

private:
    enum class State {
        Command,
        LoadLength,
        LoadData,
        ReadAddress,
        ReadCount,
        RangeLine,
        Sending,
        Receiving,
    };
    void command(std::uint8_t byte);
    void typed(std::uint8_t byte);
    void runTypedLine();
    void echo(std::uint8_t byte);
    void finishExchange();
    void abandon(const char* why);
    void note(const std::string& text);
    void prompt();
    void loadByte(std::uint8_t byte);
    void storeLoadedImage();
    void addressByte(std::uint8_t byte);
    void countByte(std::uint8_t byte);
    void rangeByte(std::uint8_t byte);
    void startOffload();
    void startSend(std::vector<std::uint8_t> bytes, const std::string& what);
    void startReceive();
    void transferByte(std::uint8_t byte);
    void pollTransfer();
    void run();
    void stopProgram();
    void stepProgram();
    std::string programName() const;

    LoggerSetup m_setup;
    std::array<std::uint8_t, 0x10000> m_memory{};
    std::vector<std::uint8_t> m_data;
    std::unique_ptr<Disk> m_disk;
    std::unique_ptr<ProgramRunner> m_runner;
    std::unique_ptr<XmodemSender> m_sender;
    std::unique_ptr<XmodemReceiver> m_receiver;
    std::string m_identify;
    std::string m_out;
    std::string m_typedLine;
    std::string m_rangeLine;
    std::vector<std::uint8_t> m_loadImage;
    State m_state = State::Command;
    std::uint8_t m_exchangeCommand = 0;
    Micros m_now = 0;
    Micros m_lastHeard = 0;
    std::size_t m_loadedLength = 0;
    std::size_t m_blockRemaining = 0;
    std::uint32_t m_readAddress = 0;
    bool m_readAddressValid = true;
    long m_commandsDone = 0;
    bool m_wasRunning = false;
};

}  // namespace orrery::loggersim
