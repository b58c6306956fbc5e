#include "assembler.h"

#include <algorithm>

namespace orrery::compiler {

namespace {

constexpr std::uint8_t kRts = 0x39;  // what END appends, so that a called block returns
constexpr int kMaxParenNesting = 32;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isIdentStart(char c) {
    return isLetter(c) || c == '_';
}
bool isIdentChar(char c) {
    return isIdentStart(c) || isDigit(c) || c == '$';
}
bool isEndOfStatement(char c) {
    return c == '\0' || c == '\r' || c == '\n' || c == ';';
}
bool isEndOfLine(char c) {
    return c == '\0' || c == '\r' || c == '\n';
}
bool isLabelTerminator(char c) {
    return isEndOfStatement(c) || isBlank(c) || c == ':';
}
bool isMnemonicTerminator(char c) {
    return isEndOfLine(c) || isBlank(c) || c == '.';
}
char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Digit value in any base up to 16; -1 for anything else.
int digitValue(char c) {
    if (isDigit(c))
        return c - '0';
    c = lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Accumulates digits in 16 bits; overflow wraps silently. Nullopt when a character is not a digit of
// the base or there is no digit at all.
std::optional<std::uint16_t> convertDigits(std::string_view digits, int base) {
    if (digits.empty())
        return std::nullopt;
    std::uint16_t value = 0;
    for (char c : digits) {
        const int d = digitValue(c);
        if (d < 0 || d >= base)
            return std::nullopt;
        value = static_cast<std::uint16_t>(value * base + d);
    }
    return value;
}

// A number that starts with a digit: its base is given by a suffix letter, else it is decimal.
std::optional<std::uint16_t> convertSuffixed(std::string_view word) {
    if (auto v = convertDigits(word, 10))
        return v;
    const char suffix = lower(word.back());
    const std::string_view body = word.substr(0, word.size() - 1);
    switch (suffix) {
        case 'h':
            return convertDigits(body, 16);
        case 'o':
        case 'q':
            return convertDigits(body, 8);
        case 'd':
            return convertDigits(body, 10);
        case 'b':
            return convertDigits(body, 2);
        default:
            return std::nullopt;
    }
}

int prefixBase(char letter) {
    switch (lower(letter)) {
        case 'b':
            return 2;
        case 'd':
            return 10;
        case 'h':
            return 16;
        case 'q':
            return 8;
        default:
            return 0;
    }
}

std::optional<std::uint8_t> sizeSuffixUnit(char c) {
    switch (lower(c)) {
        case 'b':
            return 1;
        case 'w':
        case 's':
            return 2;
        case 'l':
            return 4;
        case 'q':
            return 8;
        default:
            return std::nullopt;
    }
}

struct Value {
    std::uint16_t v = 0;
    bool resolved = true;
};

Value combine(Value a, Value b, std::uint32_t result) {
    return {static_cast<std::uint16_t>(result), a.resolved && b.resolved};
}

// Reads the operand field of one line: numbers, symbols and expressions, evaluated as it goes. Keeps
// the first error and where it was found; after an error every further result is meaningless and the
// callers stop at the next check of failed().
class LineParser {
public:
    LineParser(std::string_view source, std::size_t pos, std::uint16_t location, const AssemblerHost& host)
        : m_src(source), m_pos(pos), m_location(location), m_host(host) {}

    char peek(std::size_t ahead = 0) const {
        return m_pos + ahead < m_src.size() ? m_src[m_pos + ahead] : '\0';
    }
    std::size_t pos() const { return m_pos; }
    void advance(std::size_t n = 1) { m_pos = std::min(m_pos + n, m_src.size()); }
    void rewind(std::size_t pos) { m_pos = pos; }
    void skipBlanks() {
        while (isBlank(peek()))
            advance();
    }
    bool atEndOfStatement() const { return isEndOfStatement(peek()); }

    bool failed() const { return m_error.has_value(); }
    AsmError error() const { return *m_error; }
    std::size_t errorPos() const { return m_errorPos; }
    void fail(AsmError e, std::size_t at) {
        if (!m_error) {
            m_error = e;
            m_errorPos = at;
        }
    }
    void fail(AsmError e) { fail(e, m_pos); }

    // Where the first symbol stands that could not be resolved (for "Undefined symbol").
    std::size_t unresolvedPos() const { return m_unresolvedPos; }

    // The operand of an instruction or of a directive with a general operand; nullopt when the
    // statement ends before any operand. Trailing text other than blanks and a comment is refused.
    std::optional<AsmOperand> operand() {
        if (atEndOfStatement())
            return std::nullopt;
        AsmOperand op;
        Value first;
        Value second;
        if (peek() == '#') {
            advance();
            first = expression(0);
            if (!failed() && peek() == ',') {
                advance();
                skipBlanks();
                const std::size_t at = m_pos;
                second = expression(0);
                if (!failed() && second.resolved && second.v > 0xFF)
                    fail(AsmError::AddressingValueRange, at);
                op.mode = indexSuffix() ? kModeIndexed : kModeDirect;
            } else {
                op.mode = kModeImmediate;
            }
        } else {
            first = expression(0);
            op.mode = indexSuffix() ? kModeIndexed : kModePlain;
        }
        skipBlanks();
        if (!failed() && !atEndOfStatement())
            fail(AsmError::BadOperand);
        op.value = first.v;
        op.second = second.v;
        op.resolved = first.resolved && second.resolved;
        return op;
    }

    // expression := comparison { ("&" | "|" | "~") comparison }
    Value expression(int depth) {
        Value a = comparison(depth);
        while (!failed()) {
            const char c = peek();
            if (c != '&' && c != '|' && c != '~')
                break;
            advance();
            const Value b = comparison(depth);
            const std::uint32_t r = c == '&' ? (a.v & b.v) : c == '|' ? (a.v | b.v) : (a.v ^ b.v);
            a = combine(a, b, r);
        }
        return a;
    }

private:
    // comparison := shift { ("=" | "<>" | "<=" | ">=" | "<" | ">") shift }, unsigned, giving 1 or 0
    Value comparison(int depth) {
        Value a = shift(depth);
        while (!failed()) {
            const char c = peek();
            const char d = peek(1);
            std::string_view op;
            if (c == '<' && (d == '>' || d == '='))
                op = d == '>' ? "<>" : "<=";
            else if (c == '>' && d == '=')
                op = ">=";
            else if (c == '=' || c == '<' || c == '>')
                op = std::string_view(&m_src[m_pos], 1);
            else
                break;
            advance(op.size());
            const Value b = shift(depth);
            bool r = false;
            if (op == "=")
                r = a.v == b.v;
            else if (op == "<>")
                r = a.v != b.v;
            else if (op == "<=")
                r = a.v <= b.v;
            else if (op == ">=")
                r = a.v >= b.v;
            else if (op == "<")
                r = a.v < b.v;
            else
                r = a.v > b.v;
            a = combine(a, b, r ? 1u : 0u);
        }
        return a;
    }

    // shift := sum { ("<<" | ">>") sum }, the count taken modulo 32
    Value shift(int depth) {
        Value a = sum(depth);
        while (!failed()) {
            const char c = peek();
            if (!((c == '<' || c == '>') && peek(1) == c))
                break;
            advance(2);
            const Value b = sum(depth);
            const unsigned count = b.v % 32u;
            const std::uint32_t r = c == '<' ? (std::uint32_t{a.v} << count) : (std::uint32_t{a.v} >> count);
            a = combine(a, b, r);
        }
        return a;
    }

    // sum := term { ("+" | "-") term }
    Value sum(int depth) {
        Value a = term(depth);
        while (!failed()) {
            const char c = peek();
            if (c != '+' && c != '-')
                break;
            advance();
            const Value b = term(depth);
            a = combine(a, b, c == '+' ? a.v + b.v : a.v - b.v);
        }
        return a;
    }

    // term := unary [ ("*" | "%" | "/") term ]: grouped from the right, so a/b/c is a/(b/c). Collected
    // in a list rather than by recursion, so that a long chain cannot exhaust the stack.
    Value term(int depth) {
        std::vector<Value> operands{unary(depth)};
        std::vector<std::pair<char, std::size_t>> operators;
        while (!failed()) {
            const char c = peek();
            if (c != '*' && c != '%' && c != '/')
                break;
            operators.emplace_back(c, m_pos);
            advance();
            operands.push_back(unary(depth));
        }
        if (failed())
            return {};
        Value right = operands.back();
        for (std::size_t i = operators.size(); i-- > 0;) {
            const Value left = operands[i];
            const auto [op, at] = operators[i];
            std::uint32_t r = 0;
            if (op == '*') {
                r = std::uint32_t{left.v} * right.v;
            } else if (right.v == 0) {
                // An unresolved divisor reads as 0 until the second pass knows it.
                if (right.resolved) {
                    fail(AsmError::DivisionByZero, at);
                    return {};
                }
            } else {
                r = op == '/' ? left.v / right.v : left.v % right.v;
            }
            right = combine(left, right, r);
        }
        return right;
    }

    // unary := ["-"] ["~"] primary; with both, only the complement applies
    Value unary(int depth) {
        const bool negate = peek() == '-';
        if (negate)
            advance();
        const bool complement = peek() == '~';
        if (complement)
            advance();
        Value v = primary(depth);
        if (complement)
            v.v = static_cast<std::uint16_t>(~v.v);
        else if (negate)
            v.v = static_cast<std::uint16_t>(-v.v);
        return v;
    }

    Value primary(int depth) {
        const char c = peek();
        const char d = peek(1);
        if (c == '(')
            return parenthesised(depth);
        if (c == '\'' || c == '"')
            return characterConstant();
        if (c == '$')
            return digitDigits(1, 16, true);
        if (c == '*') {
            advance();
            return {m_location, true};
        }
        if (c == '%')
            return digitDigits(1, 2, false);
        if (c == '@')
            return digitDigits(1, 8, false);
        if (c == '&' && lower(d) == 'h')
            return digitDigits(2, 16, false);
        if (prefixBase(c) != 0 && d == '\'')
            return digitDigits(2, prefixBase(c), false);
        if (isIdentStart(c))
            return symbol();
        if (isDigit(c))
            return suffixedNumber();
        fail(AsmError::BadOperand);
        return {};
    }

    Value parenthesised(int depth) {
        const std::size_t open = m_pos;
        if (depth >= kMaxParenNesting) {
            fail(AsmError::BadOperand);
            return {};
        }
        advance();
        const Value v = expression(depth + 1);
        if (failed())
            return {};
        if (peek() != ')') {
            fail(AsmError::MismatchedParen, open);
            return {};
        }
        advance();
        return v;
    }

    // A prefix of `prefixLength` characters, then digits of `base`. A lone "$" is the location.
    Value digitDigits(std::size_t prefixLength, int base, bool loneIsLocation) {
        const std::size_t start = m_pos;
        advance(prefixLength);
        std::size_t end = m_pos;
        while (end < m_src.size() && digitValue(m_src[end]) >= 0 && digitValue(m_src[end]) < base)
            ++end;
        if (end == m_pos && loneIsLocation)
            return {m_location, true};
        const auto v = convertDigits(m_src.substr(m_pos, end - m_pos), base);
        if (!v) {
            fail(AsmError::BadOperand, start);
            return {};
        }
        m_pos = end;
        return {*v, true};
    }

    Value suffixedNumber() {
        const std::size_t start = m_pos;
        std::size_t end = m_pos;
        while (end < m_src.size() && (isLetter(m_src[end]) || isDigit(m_src[end])))
            ++end;
        const auto v = convertSuffixed(m_src.substr(start, end - start));
        if (!v) {
            fail(AsmError::BadOperand, start);
            return {};
        }
        m_pos = end;
        return {*v, true};
    }

    Value symbol() {
        const std::size_t start = m_pos;
        while (isIdentChar(peek()))
            advance();
        const auto entry = m_host.findSymbol(m_src.substr(start, m_pos - start));
        if (entry && symbolResolvesInAsm(entry->flags))
            return {static_cast<std::uint16_t>(entry->address), true};
        if (m_unresolvedPos == kNone)
            m_unresolvedPos = start;
        return {0, false};
    }

    // Up to two characters in single or double quotes, first one most significant; a doubled quote
    // stands for one quote.
    Value characterConstant() {
        const std::size_t start = m_pos;
        const char quote = peek();
        advance();
        std::uint16_t value = 0;
        int count = 0;
        for (;;) {
            const char c = peek();
            if (isEndOfLine(c)) {
                fail(AsmError::UnterminatedString, start);
                return {};
            }
            if (c == quote && peek(1) != quote)
                break;
            advance(c == quote ? 2 : 1);
            value = static_cast<std::uint16_t>((value << 8) | static_cast<unsigned char>(c));
            ++count;
        }
        advance();
        if (count > 2) {
            fail(AsmError::BadOperand, start);
            return {};
        }
        return {value, true};
    }

    // ",X" (or ",x") after a value: indexed. A comma followed by anything else is a bad operand.
    bool indexSuffix() {
        if (failed() || peek() != ',')
            return false;
        const std::size_t comma = m_pos;
        advance();
        skipBlanks();
        if ((peek() == 'X' || peek() == 'x') && !isIdentChar(peek(1))) {
            advance();
            return true;
        }
        fail(AsmError::BadOperand, comma);
        return false;
    }

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    std::string_view m_src;
    std::size_t m_pos;
    std::uint16_t m_location;
    const AssemblerHost& m_host;
    std::optional<AsmError> m_error;
    std::size_t m_errorPos = 0;
    std::size_t m_unresolvedPos = kNone;
};

// The bytes one line contributes and whether every value in it was known.
struct LineBytes {
    std::vector<std::uint8_t> bytes;
    bool resolved = true;
};

void appendUnit(std::vector<std::uint8_t>& out, std::uint16_t value, std::uint8_t unit) {
    if (unit == 1) {
        out.push_back(static_cast<std::uint8_t>(value & 0xFF));
        return;
    }
    out.insert(out.end(), unit - 2u, 0);
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

// The operand of an instruction: parsed, checked against the modes the instruction takes, encoded.
bool encodeInstructionLine(const Hd6301Instruction& ins, LineParser& p, std::uint16_t location,
                           LineBytes& out) {
    AsmOperand op;
    const std::size_t at = p.pos();
    if (ins.takesOperand()) {
        const auto parsed = p.operand();
        if (p.failed())
            return false;
        if (!parsed) {
            p.fail(AsmError::BadOperand, at);
            return false;
        }
        op = *parsed;
        if ((op.mode & ins.modes()) == 0) {
            p.fail(AsmError::BadAddressingMode, at);
            return false;
        }
    }
    const EncodedInstruction enc = encodeInstruction(ins, op, location);
    if (enc.error) {
        p.fail(*enc.error, at);
        return false;
    }
    out.bytes.assign(enc.bytes.begin(), enc.bytes.begin() + enc.size);
    out.resolved = op.resolved;
    return true;
}

// A quoted string inside a value list; every character one byte.
bool appendQuoted(LineParser& p, std::size_t limit, std::vector<std::uint8_t>& out) {
    const std::size_t start = p.pos();
    const char quote = p.peek();
    p.advance();
    for (;;) {
        const char c = p.peek();
        if (isEndOfLine(c)) {
            p.fail(AsmError::UnterminatedString, start);
            return false;
        }
        if (c == quote && p.peek(1) != quote)
            break;
        if (out.size() >= limit) {
            p.fail(AsmError::TooManyValues);
            return false;
        }
        out.push_back(static_cast<std::uint8_t>(c));
        p.advance(c == quote ? 2 : 1);
    }
    p.advance();
    return true;
}

// data / db / fcb / dw / fdb: a comma-separated list of strings and values.
bool encodeValueList(LineParser& p, std::uint8_t unit, bool unitChosen, LineBytes& out) {
    // A line's byte count once had to fit one byte; a list is still limited so that no item starts
    // at or after the limit.
    const std::size_t limit = unitChosen ? 255u - unit : 255u;
    out.bytes.clear();
    out.resolved = true;
    for (std::size_t items = 0;; ++items) {
        p.skipBlanks();
        if (p.atEndOfStatement()) {
            p.fail(items == 0 ? AsmError::DataNeedsParams : AsmError::BadOperand);
            return false;
        }
        if (p.peek() == '\'' || p.peek() == '"') {
            if (!appendQuoted(p, limit, out.bytes))
                return false;
        } else {
            if (out.bytes.size() >= limit) {
                p.fail(AsmError::TooManyValues);
                return false;
            }
            const Value v = p.expression(0);
            if (p.failed())
                return false;
            out.resolved = out.resolved && v.resolved;
            appendUnit(out.bytes, v.resolved ? v.v : 0, unit);
        }
        p.skipBlanks();
        if (p.peek() == ',') {
            p.advance();
            continue;
        }
        if (p.atEndOfStatement())
            return true;
        p.fail(AsmError::BadOperand);
        return false;
    }
}

// fcc: the first non-blank character delimits the string; a doubled delimiter stands for itself.
bool encodeDelimitedString(LineParser& p, LineBytes& out) {
    out.bytes.clear();
    out.resolved = true;
    p.skipBlanks();
    const std::size_t start = p.pos();
    if (p.atEndOfStatement()) {
        p.fail(AsmError::DataNeedsParams);
        return false;
    }
    const char delimiter = p.peek();
    p.advance();
    for (;;) {
        const char c = p.peek();
        if (isEndOfLine(c)) {
            p.fail(AsmError::UnmatchedTerminator, start);
            return false;
        }
        if (c == delimiter && p.peek(1) != delimiter)
            break;
        out.bytes.push_back(static_cast<std::uint8_t>(c));
        p.advance(c == delimiter ? 2 : 1);
    }
    p.advance();
    if (out.bytes.empty()) {
        p.fail(AsmError::DataNeedsParams, start);
        return false;
    }
    p.skipBlanks();
    if (!p.atEndOfStatement()) {
        p.fail(AsmError::BadOperand);
        return false;
    }
    return true;
}

// The part of a line that the second pass repeats: everything after the mnemonic.
bool encodeOperandPart(const Assembler::Line& line, LineParser& p, LineBytes& out) {
    if (line.instruction)
        return encodeInstructionLine(*line.instruction, p, line.location, out);
    if (line.directive->kind == AsmDirectiveKind::Fcc)
        return encodeDelimitedString(p, out);
    return encodeValueList(p, line.unit, line.unitGiven, out);
}

struct SourcePosition {
    int line;
    int column;
};

SourcePosition positionOf(std::string_view source, std::size_t offset) {
    offset = std::min(offset, source.size());
    const std::string_view before = source.substr(0, offset);
    const auto lines = std::count(before.begin(), before.end(), '\n');
    const std::size_t lastLf = before.rfind('\n');
    const std::size_t lineStart = lastLf == std::string_view::npos ? 0 : lastLf + 1;
    return {static_cast<int>(lines) + 1, static_cast<int>(offset - lineStart) + 1};
}

// State of pass 1 over one block.
struct BlockState {
    std::uint16_t location;
    std::size_t codeStart;  // code size when the block began
    bool ended = false;
};

// The block's length travels in the 16-bit operand of the WordPush in front of it.
constexpr std::size_t kMaxBlockBytes = 0xFFFF;

struct LineFailure {
    std::string message;
    std::size_t at;
};

}  // namespace

Assembler::Assembler(std::string_view source, int maxLines)
    : m_source(source), m_maxLines(maxLines > 0 ? static_cast<std::size_t>(maxLines) : 0) {
    m_lines.reserve(m_maxLines);
}

namespace {

// Assembles the line starting at `start` in pass 1. Returns the failure, if any.
class LineAssembler {
public:
    LineAssembler(std::string_view src, std::size_t start, BlockState& block, AssemblerHost& host,
                  std::vector<Assembler::Line>& lines, std::size_t maxLines)
        : m_src(src),
          m_start(start),
          m_block(block),
          m_host(host),
          m_lines(lines),
          m_maxLines(maxLines),
          m_p(src, start, block.location, host) {}

    std::optional<LineFailure> run() {
        m_p.skipBlanks();
        if (m_p.atEndOfStatement())
            return std::nullopt;  // empty or comment-only: not a table line
        m_p.rewind(m_start);

        Assembler::Line line;
        line.sourceOffset = m_start;
        line.location = m_block.location;
        if (!readLabel(line))
            return failure();
        m_p.skipBlanks();
        if (m_p.atEndOfStatement()) {
            defineLabel(line);
            return record(line, {});
        }
        if (!readMnemonic(line))
            return failure();
        defineLabel(line);

        LineBytes out;
        if (!assembleBody(line, out))
            return failure();
        line.resolved = out.resolved;
        return record(line, out.bytes);
    }

private:
    std::optional<LineFailure> failure() const {
        return LineFailure{std::string(asmMessage(m_p.error())), m_p.errorPos()};
    }

    // A label starts in the first column.
    bool readLabel(Assembler::Line& line) {
        if (!isIdentStart(m_p.peek()))
            return true;
        const std::size_t start = m_p.pos();
        while (isIdentChar(m_p.peek()))
            m_p.advance();
        if (!isLabelTerminator(m_p.peek())) {
            m_p.fail(AsmError::BadLabelChar);
            return false;
        }
        line.label = m_src.substr(start, m_p.pos() - start);
        if (m_host.findSymbol(line.label)) {
            m_p.fail(AsmError::MultipleLabel, start);
            return false;
        }
        if (!m_host.hasRoomForSymbol()) {
            m_p.fail(AsmError::TooManySymbols, start);
            return false;
        }
        if (m_p.peek() == ':')
            m_p.advance();
        return true;
    }

    bool readMnemonic(Assembler::Line& line) {
        const std::size_t start = m_p.pos();
        while (isIdentChar(m_p.peek()))
            m_p.advance();
        const std::string_view word = m_src.substr(start, m_p.pos() - start);
        if (!isMnemonicTerminator(m_p.peek())) {
            m_p.fail(AsmError::BadMnemonic, start);
            return false;
        }
        line.instruction = findInstruction(word);
        if (!line.instruction)
            line.directive = findDirective(word);
        if (!line.instruction && !line.directive) {
            m_p.fail(AsmError::BadMnemonic, start);
            return false;
        }
        if (line.directive) {
            line.unit = line.directive->unit;
            line.unitGiven = line.unit != 1;  // dw/fdb fix their unit like a suffix does
        }
        if (m_p.peek() != '.')
            return true;
        const auto unit = sizeSuffixUnit(m_p.peek(1));
        if (!line.directive || !unit || isIdentChar(m_p.peek(2))) {
            m_p.fail(AsmError::InvalidSize);
            return false;
        }
        line.unit = *unit;
        line.unitGiven = true;
        m_p.advance(2);
        return true;
    }

    // An EQU line gives its label the operand's value instead, once that is known.
    void defineLabel(const Assembler::Line& line) {
        const bool isEqu = line.directive && line.directive->kind == AsmDirectiveKind::Equ;
        if (!line.label.empty() && !isEqu) m_host.defineLabel(line.label, m_block.location, false);
    }

    bool assembleBody(Assembler::Line& line, LineBytes& out) {
        m_p.skipBlanks();
        line.operandOffset = m_p.pos();
        if (line.instruction)
            return encodeInstructionLine(*line.instruction, m_p, line.location, out);
        switch (line.directive->kind) {
            case AsmDirectiveKind::Data:
                return encodeValueList(m_p, line.unit, line.unitGiven, out);
            case AsmDirectiveKind::Fcc:
                return encodeDelimitedString(m_p, out);
            case AsmDirectiveKind::End:
                out.bytes = {kRts};
                m_block.ended = true;
                return true;
            case AsmDirectiveKind::Align:
                return align(out);
            case AsmDirectiveKind::Reserve:
                return reserve(line, out);
            case AsmDirectiveKind::Equ:
                return equ(line);
        }
        return false;
    }

    // The value of a directive that needs it at once: no operand and forward references are errors.
    std::optional<std::uint16_t> immediateValue(AsmError missing, AsmError forward) {
        const std::size_t at = m_p.pos();
        const auto op = m_p.operand();
        if (m_p.failed())
            return std::nullopt;
        if (!op) {
            m_p.fail(missing, at);
            return std::nullopt;
        }
        if (!op->resolved) {
            m_p.fail(forward, at);
            return std::nullopt;
        }
        return op->value;
    }

    // The location moves up to the next multiple; the gap is filled with zero bytes so that the code
    // stays where its labels say it is.
    bool align(LineBytes& out) {
        const std::size_t at = m_p.pos();
        const auto boundary = immediateValue(AsmError::AlignNeedsOperand, AsmError::AlignForwardRef);
        if (!boundary)
            return false;
        if (*boundary == 0) {
            m_p.fail(AsmError::DivisionByZero, at);
            return false;
        }
        const std::uint32_t gap = (*boundary - m_block.location % *boundary) % *boundary;
        out.bytes.assign(gap, 0);
        return true;
    }

    // The whole reservation is emitted, however large; the code buffer refuses what does not fit.
    bool reserve(const Assembler::Line& line, LineBytes& out) {
        const auto count = immediateValue(AsmError::ResNeedsOperand, AsmError::ResForwardRef);
        if (!count)
            return false;
        out.bytes.assign(std::size_t{*count} * line.unit, 0);
        return true;
    }

    bool equ(const Assembler::Line& line) {
        const std::size_t at = m_p.pos();
        const auto op = m_p.operand();
        if (m_p.failed())
            return false;
        if (!op) {
            m_p.fail(AsmError::EquNeedsOperand, at);
            return false;
        }
        if (line.label.empty()) {
            m_p.fail(AsmError::LabelRequired, m_start);
            return false;
        }
        if (!op->resolved) {
            m_p.fail(AsmError::EquForwardRef, at);
            return false;
        }
        m_host.defineLabel(line.label, op->value, true);
        return true;
    }

    std::optional<LineFailure> record(Assembler::Line& line, const std::vector<std::uint8_t>& bytes) {
        if (m_lines.size() + 1 >= m_maxLines)
            return LineFailure{std::string(asmMessage(AsmError::TooManyLines)), m_start};
        line.codeOffset = m_host.codeSize();
        line.size = bytes.size();
        if (line.codeOffset - m_block.codeStart + bytes.size() > kMaxBlockBytes) {
            return LineFailure{std::string(kAsmBlockTooLong), m_start};
        }
        if (!bytes.empty() && !m_host.appendCode(bytes))
            return LineFailure{std::string(kAsmCodeBufferFull), m_start};
        m_block.location = static_cast<std::uint16_t>(m_block.location + bytes.size());
        m_lines.push_back(line);
        return std::nullopt;
    }

    std::string_view m_src;
    std::size_t m_start;
    BlockState& m_block;
    AssemblerHost& m_host;
    std::vector<Assembler::Line>& m_lines;
    std::size_t m_maxLines;
    LineParser m_p;
};

}  // namespace

AsmBlockResult Assembler::assembleBlock(AssemblerHost& host, std::size_t startOffset, std::uint16_t origin,
                                        int firstLine) {
    AsmBlockResult result;
    const std::size_t codeStart = host.codeSize();
    BlockState block{origin, codeStart};
    std::size_t pos = std::min(startOffset, m_source.size());
    int line = firstLine;
    while (pos < m_source.size() && !block.ended) {
        const std::size_t lf = m_source.find('\n', pos);
        const std::size_t next = lf == std::string_view::npos ? m_source.size() : lf + 1;
        LineAssembler assembler(m_source, pos, block, host, m_lines, m_maxLines);
        if (auto failure = assembler.run()) {
            const int column = static_cast<int>(failure->at - pos) + 1;
            result.error = AsmDiagnostic{std::move(failure->message), failure->at, line, column};
            result.resumeOffset = next;
            result.bytesEmitted = host.codeSize() - codeStart;
            return result;
        }
        if (lf != std::string_view::npos) {
            ++result.linesConsumed;
            ++line;
        }
        pos = next;
    }
    result.resumeOffset = pos;
    result.bytesEmitted = host.codeSize() - codeStart;
    return result;
}

int Assembler::lineCount() const { return static_cast<int>(m_lines.size()); }

std::optional<AsmDiagnostic> Assembler::resolvePending(AssemblerHost& host) {
    for (const Line& line : m_lines) {
        if ((!line.instruction && !line.directive) || line.resolved)
            continue;
        LineParser p(m_source, line.operandOffset, line.location, host);
        LineBytes out;
        std::optional<std::pair<std::string, std::size_t>> failure;
        if (!encodeOperandPart(line, p, out)) {
            failure.emplace(std::string(asmMessage(p.error())), p.errorPos());
        } else if (!out.resolved) {
            failure.emplace(std::string(asmMessage(AsmError::UndefinedSymbol)), p.unresolvedPos());
        } else if (out.bytes.size() != line.size) {
            failure.emplace(std::string(asmMessage(AsmError::ShouldNotSee)), line.operandOffset);
        }
        if (failure) {
            const SourcePosition where = positionOf(m_source, failure->second);
            return AsmDiagnostic{std::move(failure->first), failure->second, where.line, where.column};
        }
        host.patchCode(line.codeOffset, out.bytes);
    }
    return std::nullopt;
}

}  // namespace orrery::compiler
