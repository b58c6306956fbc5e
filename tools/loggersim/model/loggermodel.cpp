#include "loggermodel.h"

#include <algorithm>
#include <cstdio>

#include "xmodem.h"

namespace orrery::loggersim {

namespace {

constexpr std::uint8_t kBoot = 0x02;
constexpr std::uint8_t kDiskOffload = 0x04;
constexpr std::uint8_t kEprom = 0x05;
constexpr std::uint8_t kEpromRefused = 0x07;
constexpr std::uint8_t kLoad = 0x0C;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kSerialOffload = 0x0F;
constexpr std::uint8_t kRun = 0x12;
constexpr std::uint8_t kIdentify = 0x13;
constexpr std::uint8_t kMemory = 0x16;
constexpr std::uint8_t kLeaveMemory = 0x18;
constexpr std::uint8_t kAcknowledge = 0xFF;
constexpr std::uint8_t kMaxBlock = 0x80;
constexpr std::size_t kMaxRangeLine = 40;
constexpr std::size_t kMaxTypedLine = 80;
constexpr std::size_t kMaxIdentifyText = 127;  // count byte = 2 + text, at most 129
constexpr std::size_t kSamples = 256;

const char* const kPrompt = "\r\n#";

bool isLinkCommand(std::uint8_t byte) {
    switch (byte) {
    case kBoot: case kDiskOffload: case kEprom: case kLoad: case kSerialOffload:
    case kRun: case kIdentify: case kMemory: case kLeaveMemory:
        return true;
    default:
        return false;
    }
}

int hexValue(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "start,end" in hexadecimal, as the workbench writes it with "%lx,%lx" (a negative number typed into
// the dialog arrives as its 64-bit two's complement, hence 16 digits).
bool parseRange(const std::string& line, std::uint64_t& start, std::uint64_t& end) {
    const auto comma = line.find(',');
    if (comma == std::string::npos) return false;
    auto parse = [](const std::string& text, std::uint64_t& value) {
        if (text.empty() || text.size() > 16) return false;
        value = 0;
        for (char c : text) {
            const int digit = hexValue(std::uint8_t(c));
            if (digit < 0) return false;
            value = value << 4 | unsigned(digit);
        }
        return true;
    };
    return parse(line.substr(0, comma), start) && parse(line.substr(comma + 1), end);
}

std::string lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

const ModelEntry* findModel(std::uint16_t number) {
    for (const ModelEntry& entry : kModelTable) {
        if (entry.number == number) return &entry;
    }
    return nullptr;
}

std::uint16_t programStartFor(std::uint8_t modelByte) {
    return (modelByte >= 164 && modelByte <= 203) ? kLowProgramStart : kHighProgramStart;
}

std::vector<std::uint8_t> generatedSamples() {
    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; i < kSamples; ++i) {
        // A triangle between 10.00 and 26.00 in steps of 0.25: 64 steps up, 64 down.
        const int phase = int(i % 128);
        const int quarter = phase < 64 ? phase : 128 - phase;
        const int hundredths = 1000 + quarter * 25;
        const int minute = int(i);
        char line[32];
        std::snprintf(line, sizeof line, "%04d,%02d:%02d:00,+%02d.%02d\r\n", int(i + 1), minute / 60, minute % 60,
                      hundredths / 100, hundredths % 100);
        data.insert(data.end(), line, line + 22);
    }
    return data;
}

std::vector<std::uint8_t> defaultRom() {
    std::vector<std::uint8_t> rom(kRomSize);
    for (std::size_t i = 0; i < kRomSize; ++i) {
        const unsigned address = kRomStart + unsigned(i);
        rom[i] = std::uint8_t((address ^ (address >> 8)) & 0xFF);
    }
    return rom;
}

LoggerSetup defaultSetup(std::uint16_t model) {
    LoggerSetup setup;
    setup.model = model;
    setup.data = generatedSamples();
    setup.rom = defaultRom();
    return setup;
}

LoggerModel::LoggerModel(LoggerSetup setup) : m_setup(std::move(setup)), m_disk(makeDisk(m_setup.diskDir)) {
    const ModelEntry* entry = findModel(m_setup.model);
    if (entry == nullptr) {
        m_setup.model = 510;
        entry = findModel(510);
    }
    m_data = m_setup.data;
    if (m_data.size() > kDataMemoryLimit) m_data.resize(kDataMemoryLimit);
    std::fill(m_memory.begin() + kRomStart, m_memory.end(), 0xFF);
    std::copy_n(m_setup.rom.begin(), std::min(m_setup.rom.size(), kRomSize), m_memory.begin() + kRomStart);
    // Whatever EPROM image was given, the model byte must tell the workbench where programs live.
    m_memory[kModelByteAddress] = entry->modelByte;
    m_identify = m_setup.identifyText.empty()
                     ? "BRACKWATER " + std::to_string(entry->number) + " " + entry->name + " SIMULATED"
                     : m_setup.identifyText;
    if (m_identify.size() > kMaxIdentifyText) m_identify.resize(kMaxIdentifyText);
}

LoggerModel::~LoggerModel() = default;

std::uint8_t LoggerModel::modelByte() const {
    return findModel(m_setup.model)->modelByte;
}

std::uint16_t LoggerModel::programStart() const {
    return programStartFor(modelByte());
}

bool LoggerModel::storeData(const std::uint8_t* bytes, std::size_t count) {
    if (m_data.size() + count > kDataMemoryLimit) return false;
    m_data.insert(m_data.end(), bytes, bytes + count);
    return true;
}

void LoggerModel::write(std::string_view bytes) {
    m_out.append(bytes);
}

std::string LoggerModel::takeOutput() {
    std::string out;
    out.swap(m_out);
    return out;
}

bool LoggerModel::idle() const {
    return m_state == State::Command;
}

bool LoggerModel::programRunning() const {
    return m_runner && m_runner->running();
}

void LoggerModel::installRunner(std::unique_ptr<ProgramRunner> runner) {
    stopProgram();
    m_runner = std::move(runner);
}

void LoggerModel::note(const std::string& text) {
    if (onNote) onNote(text);
}

void LoggerModel::echo(std::uint8_t byte) {
    m_out += char(m_setup.wrongEcho ? byte ^ 0x40 : byte);
}

void LoggerModel::prompt() {
    m_out += kPrompt;
}

void LoggerModel::finishExchange() {
    m_state = State::Command;
    ++m_commandsDone;
}

void LoggerModel::abandon(const char* why) {
    note(std::string("abandoned: ") + why);
    m_state = State::Command;
    m_sender.reset();
    m_receiver.reset();
    m_loadImage.clear();
    ++m_commandsDone;
}

// ---- the line ----

void LoggerModel::receive(std::uint8_t byte, Micros now) {
    tick(now);
    m_lastHeard = now;
    switch (m_state) {
    case State::Command: command(byte); break;
    case State::LoadLength:
    case State::LoadData: loadByte(byte); break;
    case State::ReadAddress: addressByte(byte); break;
    case State::ReadCount: countByte(byte); break;
    case State::RangeLine: rangeByte(byte); break;
    case State::Sending:
    case State::Receiving: transferByte(byte); break;
    }
    if (m_wasRunning && !programRunning()) {
        m_wasRunning = false;
        prompt();
    }
}

void LoggerModel::tick(Micros now) {
    m_now = std::max(m_now, now);
    switch (m_state) {
    case State::Command: break;
    case State::Sending:
    case State::Receiving:
        if (m_sender) m_sender->tick(m_now);
        if (m_receiver) m_receiver->tick(m_now);
        pollTransfer();
        break;
    default:
        if (m_now - m_lastHeard >= kExchangeTimeout) abandon("the workbench went silent in the middle of a command");
        break;
    }
    stepProgram();
}

Micros LoggerModel::nextWake() const {
    Micros wake = kNever;
    switch (m_state) {
    case State::Command: break;
    case State::Sending: wake = m_sender->nextWake(); break;
    case State::Receiving: wake = m_receiver->nextWake(); break;
    default: wake = m_lastHeard + kExchangeTimeout; break;
    }
    if (programRunning()) wake = std::min(wake, m_runner->nextStep(m_now));
    return wake;
}

void LoggerModel::command(std::uint8_t byte) {
    m_exchangeCommand = byte;
    if (programRunning() && !isLinkCommand(byte)) {
        m_runner->receive(*this, byte);
        return;
    }
    switch (byte) {
    case kBoot:
        stopProgram();
        m_out += "\r\nBrackwater " + std::to_string(m_setup.model) + " " + findModel(m_setup.model)->name +
                 " (simulated)\r\nBooted from EPROM";
        prompt();
        finishExchange();
        break;
    case kDiskOffload:
    case kSerialOffload:
        echo(byte);
        m_rangeLine.clear();
        m_state = State::RangeLine;
        break;
    case kEprom:
        if (m_setup.epromRefuse) {
            m_out += char(kEpromRefused);
        } else {
            echo(byte);
        }
        finishExchange();
        break;
    case kLoad:
        stopProgram();
        echo(byte);
        m_loadImage.clear();
        m_state = State::LoadLength;
        break;
    case kRun:
        run();
        finishExchange();
        break;
    case kIdentify:
        echo(byte);
        m_out += char(2 + m_identify.size());
        m_out += char(m_setup.model >> 8);
        m_out += char(m_setup.model & 0xFF);
        m_out += m_identify;
        finishExchange();
        break;
    case kMemory:
        echo(byte);
        m_readAddress = 0;
        m_readAddressValid = false;
        m_state = State::ReadAddress;
        break;
    case kLeaveMemory:
        prompt();
        finishExchange();
        break;
    case kCr:
        runTypedLine();
        break;
    default:
        typed(byte);
        break;
    }
}

// ---- text typed at the prompt ----

void LoggerModel::typed(std::uint8_t byte) {
    m_out += char(byte);
    if (byte == 0x08 || byte == 0x7F) {
        if (!m_typedLine.empty()) m_typedLine.pop_back();
    } else if (byte >= 0x20 && byte < 0x7F && m_typedLine.size() < kMaxTypedLine) {
        m_typedLine += char(byte);
    }
}

void LoggerModel::runTypedLine() {
    const std::string line = lower(m_typedLine);
    m_typedLine.clear();
    ++m_commandsDone;
    if (line.empty()) {
        prompt();
    } else if (line == "help" || line == "?") {
        m_out += "\r\nhelp      this list"
                 "\r\ndir       list the disk files"
                 "\r\nrx        receive a file by XMODEM into the next disk file"
                 "\r\nsx        send the data memory by XMODEM"
                 "\r\nsx N      send disk file N by XMODEM";
        prompt();
    } else if (line == "dir") {
        const auto files = m_disk->files();
        if (files.empty()) m_out += "\r\nNo disk files";
        for (const auto& [number, bytes] : files) {
            m_out += "\r\n" + std::to_string(number) + "  " + std::to_string(bytes.size()) + " bytes";
        }
        prompt();
    } else if (line == "rx") {
        m_out += "\r\nReady to receive by XMODEM\r\n";
        startReceive();
    } else if (line == "sx") {
        m_out += "\r\nSending " + std::to_string(m_data.size()) + " bytes of data memory by XMODEM\r\n";
        startSend(m_data, "data memory");
    } else if (line.rfind("sx ", 0) == 0) {
        const std::string number = line.substr(3);
        const auto files = m_disk->files();
        int n = -1;
        if (!number.empty() && number.size() <= 9 && number.find_first_not_of("0123456789") == std::string::npos) {
            n = std::stoi(number);
        }
        const auto it = files.find(n);
        if (it == files.end()) {
            m_out += "\r\nNo disk file " + number;
            prompt();
            return;
        }
        m_out += "\r\nSending disk file " + number + " by XMODEM\r\n";
        startSend(it->second, "disk file " + number);
    } else {
        m_out += "\r\nUnknown command (type help)";
        prompt();
    }
}

// ---- load ----

void LoggerModel::loadByte(std::uint8_t byte) {
    if (m_state == State::LoadLength) {
        if (byte == 0) {
            storeLoadedImage();
            finishExchange();
        } else if (byte > kMaxBlock) {
            abandon("load block longer than 128 bytes");
        } else {
            m_blockRemaining = byte;
            m_state = State::LoadData;
        }
        return;
    }
    // A load larger than all of memory is refused as it arrives rather than grown without bound.
    if (m_loadImage.size() < 0x10000) m_loadImage.push_back(byte);
    if (--m_blockRemaining == 0) m_state = State::LoadLength;
}

void LoggerModel::storeLoadedImage() {
    const std::size_t start = programStart();
    // RAM ends where the EPROM begins; an image that runs on into it is cut there.
    const std::size_t room = kRomStart - start;
    const std::size_t stored = std::min(m_loadImage.size(), room);
    std::copy_n(m_loadImage.begin(), stored, m_memory.begin() + long(start));
    if (stored < m_loadImage.size()) {
        note("load cut to " + std::to_string(stored) + " of " + std::to_string(m_loadImage.size()) +
             " bytes: RAM ends at 0xBFFF");
    }
    m_loadedLength = stored;
    note("loaded " + std::to_string(stored) + " bytes at " + std::to_string(start));
    m_loadImage.clear();
}

// ---- memory read ----

void LoggerModel::addressByte(std::uint8_t byte) {
    if (byte == kMemory) {  // a new read begins before the old one was finished
        echo(byte);
        m_readAddress = 0;
        m_readAddressValid = false;
        return;
    }
    if (byte == kCr) {
        if (!m_readAddressValid) {
            abandon("memory read without an address");
            return;
        }
        m_out += char(kAcknowledge);
        m_state = State::ReadCount;
        return;
    }
    const int digit = hexValue(byte);
    if (digit < 0) {
        abandon("memory read address is not hexadecimal");
        command(byte);  // the odd byte may well be the next command
        return;
    }
    // The address register is 16 bits wide: extra leading digits fall off the top.
    m_readAddress = ((m_readAddress << 4) | unsigned(digit)) & 0xFFFF;
    m_readAddressValid = true;
}

void LoggerModel::countByte(std::uint8_t count) {
    m_out += char(kAcknowledge);
    unsigned sum = (m_readAddress >> 8) + (m_readAddress & 0xFF) + count;
    for (unsigned i = 0; i < count; ++i) {
        const std::uint8_t value = m_memory[(m_readAddress + i) & 0xFFFF];
        m_out += char(value);
        sum += value;
    }
    m_out += char(sum & 0xFF);
    finishExchange();
}

// ---- offloads and transfers ----

void LoggerModel::rangeByte(std::uint8_t byte) {
    if (byte == kCr) {
        startOffload();
        return;
    }
    if (m_rangeLine.size() >= kMaxRangeLine) {
        abandon("range line too long");
        return;
    }
    m_rangeLine += char(byte);
}

void LoggerModel::startOffload() {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    if (!parseRange(m_rangeLine, start, end)) {
        abandon("range line is not \"start,end\" in hexadecimal");
        return;
    }
    std::vector<std::uint8_t> bytes;
    if (m_exchangeCommand == kSerialOffload) {
        // Addresses into data memory, both ends included; end 0 means "to the last byte recorded".
        const std::uint64_t last = end == 0 ? m_data.size() : std::min<std::uint64_t>(end + 1, m_data.size());
        if (start < last) bytes.assign(m_data.begin() + long(start), m_data.begin() + long(last));
        startSend(std::move(bytes), "data memory " + m_rangeLine);
        return;
    }
    // Disk files from start to end, both included, end 0 meaning "to the last file", one after the other.
    for (const auto& [number, contents] : m_disk->files()) {
        if (std::uint64_t(number) >= start && (end == 0 || std::uint64_t(number) <= end)) {
            bytes.insert(bytes.end(), contents.begin(), contents.end());
        }
    }
    m_out += 'U';
    startSend(std::move(bytes), "disk files " + m_rangeLine);
}

void LoggerModel::startSend(std::vector<std::uint8_t> bytes, const std::string& what) {
    note("sending " + what + " (" + std::to_string(bytes.size()) + " bytes) by XMODEM");
    m_sender = std::make_unique<XmodemSender>(std::move(bytes), m_now);
    m_state = State::Sending;
}

void LoggerModel::startReceive() {
    m_receiver = std::make_unique<XmodemReceiver>(m_now);
    m_state = State::Receiving;
    pollTransfer();
}

void LoggerModel::transferByte(std::uint8_t byte) {
    if (m_sender) m_sender->receive(byte, m_now);
    if (m_receiver) m_receiver->receive(byte, m_now);
    pollTransfer();
}

void LoggerModel::pollTransfer() {
    const bool fromPrompt = m_exchangeCommand == kCr;
    if (m_sender) {
        m_out += m_sender->takeOutput();
        if (!m_sender->finished()) return;
        const bool ok = m_sender->succeeded();
        note(ok ? "XMODEM send complete" : "XMODEM send failed: " + m_sender->error());
        if (fromPrompt) {
            m_out += ok ? "\r\nSent" : "\r\nTransfer failed: " + m_sender->error();
            prompt();
        }
        m_sender.reset();
        finishExchange();
        return;
    }
    if (m_receiver) {
        m_out += m_receiver->takeOutput();
        if (!m_receiver->finished()) return;
        if (m_receiver->succeeded()) {
            std::string error;
            const int number = m_disk->add(m_receiver->data(), error);
            m_out += number < 0 ? "\r\nCould not store the file: " + error
                                : "\r\nReceived " + std::to_string(m_receiver->data().size()) +
                                      " bytes into disk file " + std::to_string(number);
            note("XMODEM receive complete");
        } else {
            m_out += "\r\nTransfer failed: " + m_receiver->error();
            note("XMODEM receive failed: " + m_receiver->error());
        }
        prompt();
        m_receiver.reset();
        finishExchange();
    }
}

// ---- programs ----

std::string LoggerModel::programName() const {
    const std::size_t start = programStart();
    const unsigned headerSize = m_memory[start] << 8 | m_memory[start + 1];
    if (headerSize == 82) {
        std::string name;
        for (std::size_t i = 0; i < 31 && m_memory[start + 50 + i] != 0; ++i) {
            const char c = char(m_memory[start + 50 + i]);
            name += (c >= 0x20 && c < 0x7F) ? c : '?';
        }
        if (!name.empty()) return name;
    }
    const unsigned length = (m_memory[start + 2] << 8 | m_memory[start + 3]) + 1u;
    return "program of " + std::to_string(length) + " bytes";
}

void LoggerModel::run() {
    stopProgram();
    const std::size_t start = programStart();
    const unsigned headerSize = m_memory[start] << 8 | m_memory[start + 1];
    if (headerSize != 14 && headerSize != 82) {
        m_out += "\r\nNo program loaded";
        prompt();
        return;
    }
    m_out += "\r\nRunning " + programName() + "\r\n";
    if (m_runner) {
        m_runner->start(*this, std::uint16_t(start));
        m_wasRunning = true;
        stepProgram();
    }
}

void LoggerModel::stopProgram() {
    if (programRunning()) m_runner->stop(*this);
    m_wasRunning = false;
}

void LoggerModel::stepProgram() {
    if (!programRunning()) {
        if (m_wasRunning) {
            m_wasRunning = false;
            prompt();
        }
        return;
    }
    if (m_runner->nextStep(m_now) <= m_now) m_runner->step(*this, m_now);
    // A program that ended in this step gets its prompt now: nothing may wake the logger again.
    if (!programRunning() && m_wasRunning) {
        m_wasRunning = false;
        prompt();
    }
}

}  // namespace orrery::loggersim
