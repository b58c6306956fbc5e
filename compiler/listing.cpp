#include "listing.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "opcodes.h"

namespace orrery::compiler {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kRule =
    "==============================================================================";
constexpr std::size_t kAsmBytesPerLine = 16;
constexpr std::int32_t kProgressStep = 100;

constexpr std::array<std::string_view, 7> kWeekdays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                       "Thursday", "Friday", "Saturday"};
constexpr std::array<std::string_view, 12> kMonths = {"January",   "February", "March",    "April",
                                                      "May",       "June",     "July",     "August",
                                                      "September", "October",  "November", "December"};

template <typename... Args>
void appendFormatted(std::string& out, const char* format, Args... args) {
    char buffer[160];
    const int length = std::snprintf(buffer, sizeof buffer, format, args...);
    if (length > 0)
        out.append(buffer, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1));
}

bool toUtc(std::time_t t, std::tm& out) {
#if defined(_WIN32)
    return gmtime_s(&out, &t) == 0;
#else
    return gmtime_r(&t, &out) != nullptr;
#endif
}

bool toLocal(std::time_t t, std::tm& out) {
#if defined(_WIN32)
    return localtime_s(&out, &t) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}

// A SOURCE_DATE_EPOCH value is a plain decimal count of seconds; anything else is ignored.
std::optional<std::time_t> parseEpoch(const char* text) {
    if (text == nullptr || *text == '\0')
        return std::nullopt;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return std::nullopt;
    }
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (errno == ERANGE)
        return std::nullopt;
    return static_cast<std::time_t>(value);
}

// Walks the code once, printing instructions and the source lines their line-number markers cover.
class ListingBody {
public:
    ListingBody(const ListingInputs& in, const ProgressHook& progress, std::string& out)
        : m_in(in),
          m_progress(progress),
          m_out(out),
          m_codeStart(std::min<std::size_t>(in.headerSize, in.image.size())),
          m_codeEnd(std::min<std::size_t>(m_codeStart + in.codeSize, in.image.size())) {}

    void write() {
        long remaining = static_cast<long>(m_in.codeSize);
        std::int32_t threshold = 0;
        while (remaining > 0) {
            const std::size_t at = m_pc;
            const std::uint8_t opcode = take();
            remaining -= 1;
            if (opcode == static_cast<std::uint8_t>(Op::LinNum))
                printSourceLinesUpTo(wordAt(m_pc));
            appendFormatted(m_out, "%s    ### %05lX ### <%02X> %s ", lineEnd(),
                            static_cast<unsigned long>(at), static_cast<unsigned>(opcode),
                            std::string(opcodeNameOf(opcode)).c_str());
            const std::size_t before = m_pc;
            printOperands(opcode, at);
            remaining -= static_cast<long>(m_pc - before);
            const long done = static_cast<long>(m_in.codeSize) - remaining;
            if (m_progress && done > threshold) {
                m_progress(threshold);
                threshold += kProgressStep;
            }
        }
    }

private:
    static const char* lineEnd() { return kLineEnd.data(); }

    std::size_t codeLength() const { return m_codeEnd - m_codeStart; }

    // Bytes past the end of the code read as 0, as in the zero-filled buffer the code was built in.
    std::uint8_t byteAt(std::size_t offset) const {
        return offset < codeLength() ? m_in.image[m_codeStart + offset] : 0;
    }
    std::uint8_t take() { return byteAt(m_pc++); }
    unsigned wordAt(std::size_t offset) const { return (byteAt(offset) << 8) | byteAt(offset + 1); }
    unsigned takeWord() {
        const unsigned value = wordAt(m_pc);
        m_pc += 2;
        return value;
    }

    void printSourceLinesUpTo(unsigned lastLine) {
        do {
            appendFormatted(m_out, "%s%05ld:  ", lineEnd(), m_line);
            printOneSourceLine();
            ++m_line;
        } while (m_line <= static_cast<long>(lastLine));
    }

    void printOneSourceLine() {
        const std::string_view text = m_in.sourceText;
        while (m_sourcePos < text.size() && text[m_sourcePos] != '\n') {
            if (text[m_sourcePos] != '\r')
                m_out += text[m_sourcePos];
            ++m_sourcePos;
        }
        if (m_sourcePos < text.size())
            ++m_sourcePos;  // the LF
    }

    // Characters that lie beyond the code are not invented: a cut-off string shows what exists.
    void printCountedChars(std::size_t count) {
        const std::size_t available = m_pc < codeLength() ? codeLength() - m_pc : 0;
        const std::size_t shown = std::min(count, available);
        for (std::size_t i = 0; i < shown; ++i)
            m_out += static_cast<char>(byteAt(m_pc + i));
        m_pc += shown;
    }

    void printQuotedString() {
        const unsigned length = take();
        appendFormatted(m_out, "[%d]\"", static_cast<int>(length));
        printCountedChars(length);
        m_out += '"';
    }

    // The block length is the operand of the WordPush just in front of the opcode.
    void printMachineCode(std::size_t opcodeOffset) {
        const std::size_t opcodeIndex = m_codeStart + opcodeOffset;
        const unsigned high = opcodeIndex >= 2 ? m_in.image[opcodeIndex - 2] : 0;
        const unsigned low = opcodeIndex >= 1 ? m_in.image[opcodeIndex - 1] : 0;
        const std::size_t length = (high << 8) | low;
        const std::size_t available = m_pc < codeLength() ? codeLength() - m_pc : 0;
        const std::size_t shown = std::min(length, available);
        appendFormatted(m_out, "%s\t", lineEnd());
        for (std::size_t i = 0; i < shown; ++i) {
            appendFormatted(m_out, "%02X ", static_cast<unsigned>(take()));
            if ((i + 1) % kAsmBytesPerLine == 0)
                appendFormatted(m_out, "%s\t", lineEnd());
        }
    }

    void printOperands(std::uint8_t opcode, std::size_t opcodeOffset) {
        if (opcode >= kOpcodes.size())
            return;
        switch (kOpcodes[opcode].operand) {
            case Operand::None:
                return;
            case Operand::Byte:
                appendFormatted(m_out, "%02X", static_cast<unsigned>(take()));
                return;
            case Operand::Word:
            case Operand::CodeOffset:
                appendFormatted(m_out, "%04X", takeWord());
                return;
            case Operand::LineNumber:
                appendFormatted(m_out, "[%d]", static_cast<int>(takeWord()));
                return;
            case Operand::Long: {
                const unsigned high = takeWord();
                appendFormatted(m_out, "%04X%04X", high, takeWord());
                return;
            }
            case Operand::WordWord: {
                const unsigned first = takeWord();
                appendFormatted(m_out, "%04X %04X", first, takeWord());
                return;
            }
            case Operand::String:
                printQuotedString();
                return;
            case Operand::ExtensionRef: {
                const unsigned number = takeWord();
                appendFormatted(m_out, "[%d, %d]", static_cast<int>(number), static_cast<int>(take()));
                return;
            }
            case Operand::ExtensionDef:
                appendFormatted(m_out, "[%d] ", static_cast<int>(takeWord()));
                printQuotedString();
                return;
            case Operand::AsmBlock:
                printMachineCode(opcodeOffset);
                return;
        }
    }

    const ListingInputs& m_in;
    const ProgressHook& m_progress;
    std::string& m_out;
    std::size_t m_codeStart;
    std::size_t m_codeEnd;
    std::size_t m_pc = 0;  // offset from the first code byte
    std::size_t m_sourcePos = 0;
    long m_line = 1;
};

void writeHeaderBlock(const ListingInputs& in, std::string& out) {
    out += kRule;
    out += kLineEnd;
    const std::string name = in.sourceName.empty() ? std::string("Untitled") : std::string(in.sourceName);
    out += "FILE: ";
    out += name;
    if (name.size() < 24)
        out.append(24 - name.size(), ' ');
    const std::string date = in.dateText.substr(0, 79);
    if (date.size() < 48)
        out.append(48 - date.size(), ' ');
    out += date;
    out += kLineEnd;
    out += kLineEnd;
    appendFormatted(out, "SOURCE:  %-6ld     CODE: %-6ld        HEADER: %-2d         VARIABLES: %-6ld%s",
                    static_cast<long>(in.sourceText.size()), static_cast<long>(in.codeSize),
                    static_cast<int>(in.headerSize), static_cast<long>(in.variablesSize), kLineEnd.data());
    out += kRule;
    out += kLineEnd;
    out += kLineEnd;
}

}  // namespace

std::string formatListingDate(const std::tm& time) {
    const int hour12 = time.tm_hour % 12 == 0 ? 12 : time.tm_hour % 12;
    std::string text;
    appendFormatted(text, "%s, %s %02d, %04d   %02d:%02d:%02d %s",
                    std::string(kWeekdays[static_cast<std::size_t>(time.tm_wday) % 7]).c_str(),
                    std::string(kMonths[static_cast<std::size_t>(time.tm_mon) % 12]).c_str(), time.tm_mday,
                    time.tm_year + 1900, hour12, time.tm_min, time.tm_sec, time.tm_hour < 12 ? "AM" : "PM");
    return text;
}

std::string listingDateText(const char* sourceDateEpoch, std::time_t now) {
    std::tm time{};
    if (const auto epoch = parseEpoch(sourceDateEpoch); epoch && toUtc(*epoch, time)) {
        return formatListingDate(time);
    }
    if (toLocal(now, time))
        return formatListingDate(time);
    return {};
}

std::string listingDateText() {
    return listingDateText(std::getenv("SOURCE_DATE_EPOCH"), std::time(nullptr));
}

std::string_view opcodeNameOf(std::uint8_t opcode) {
    return opcode < kOpcodes.size() ? kOpcodes[opcode].name : std::string_view("???");
}

std::string listingText(const ListingInputs& inputs, const ProgressHook& progress) {
    std::string out;
    writeHeaderBlock(inputs, out);
    ListingBody(inputs, progress, out).write();
    out += kLineEnd;
    return out;
}

}  // namespace orrery::compiler
