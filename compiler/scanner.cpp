#include "scanner.h"

#include <algorithm>

namespace orrery::compiler {

namespace {
// The scanner reads text whose bit 7 is cleared, so plain ASCII tests are exact, and unlike <cctype>
// they are inlined and ignore the process locale (which a GUI host may have changed).
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char foldToUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isIdentStart(char c) { return isLetter(c) || c == '_' || c == '@'; }
bool isIdentChar(char c) { return isIdentStart(c) || isDigit(c); }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == 26; }
bool isOneOf(char c, std::string_view set) { return c != '\0' && set.find(c) != std::string_view::npos; }
bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldToUpper(a[i]) != foldToUpper(b[i])) return false;
    }
    return true;
}
}  // namespace

Scanner::Scanner(std::string_view source, std::string_view original,
                 std::function<bool(std::string_view)> isExtension)
    : m_source(source), m_original(original), m_isExtension(std::move(isExtension)) {}

void Scanner::setPosition(std::size_t position) {
    m_pos = position < m_source.size() ? position : m_source.size();
    m_lineStart = m_pos == 0 || m_source[m_pos - 1] == '\n';
}

int Scanner::classifyName(std::string_view name) const {
    if (auto keyword = lookupKeyword(name)) return *keyword;
    if (m_isExtension && m_isExtension(name)) return EXTNAME;
    return SYMBOL;
}

std::size_t Scanner::scanIdentifier(std::size_t pos) const {
    while (isIdentChar(peekAt(pos))) ++pos;
    return pos;
}

std::size_t Scanner::restOfLine(std::size_t pos) const {
    while (pos < m_source.size() && m_source[pos] != '\n') ++pos;
    return pos;
}

// Label definition: at the beginning of a line, blanks or tabs, an identifier, then ':' directly.
int Scanner::scanLabelDefinition(std::size_t start, std::size_t& end) const {
    std::size_t pos = start;
    while (peekAt(pos) == ' ' || peekAt(pos) == '\t') ++pos;
    if (!isIdentStart(peekAt(pos))) return 0;
    const std::size_t nameStart = pos;
    pos = scanIdentifier(pos);
    if (peekAt(pos) != ':') return 0;
    const int code = classifyName(m_source.substr(nameStart, pos - nameStart));
    if (code != SYMBOL) {
        // A keyword (or extension) followed by ':' is that word; the colon is scanned next.
        if (nameStart != start) return 0;  // the blanks are skipped first, then the word is read
        end = pos;
        return code;
    }
    end = pos + 1;
    return LABELDEF;
}

int Scanner::scanRadixNumber(std::size_t start, std::size_t& end) const {
    const char kind = foldToUpper(peekAt(start + 1));
    std::string_view digits = kind == 'H' ? "0123456789abcdefABCDEF" : kind == 'O' ? "01234567" : "01";
    if (kind != 'H' && kind != 'O' && kind != 'B') return 0;
    std::size_t pos = start + 2;
    while (isOneOf(peekAt(pos), digits)) ++pos;
    if (pos == start + 2) return 0;
    end = pos;
    return kind == 'H' ? HEXNUM : kind == 'O' ? OCTNUM : BINNUM;
}

int Scanner::scanNumber(std::size_t start, std::size_t& end) const {
    std::size_t pos = start;
    bool isFloat = false;
    while (isDigit(peekAt(pos))) ++pos;
    if (peekAt(pos) == '.' && (pos > start || isDigit(peekAt(pos + 1)))) {
        isFloat = true;
        ++pos;
        while (isDigit(peekAt(pos))) ++pos;
    }
    if (pos == start) return 0;
    if (peekAt(pos) == 'e' || peekAt(pos) == 'E') {
        std::size_t exp = pos + 1;
        if (peekAt(exp) == '+' || peekAt(exp) == '-') ++exp;
        if (isDigit(peekAt(exp))) {
            while (isDigit(peekAt(exp))) ++exp;
            pos = exp;
            isFloat = true;
        }
    }
    end = pos;
    return isFloat ? FLTNUM : DECNUM;
}

// The '#' items: LDZERO, STRSIZ, AMBIG, FLTFMT, GFWFMT; the longest wins, the earlier rule on a tie.
int Scanner::scanFormat(std::size_t start, std::size_t& end) const {
    const std::size_t digitsStart = start + 1;
    std::size_t pos = digitsStart;
    while (isDigit(peekAt(pos))) ++pos;
    const std::size_t digits = pos - digitsStart;

    std::size_t floatLength = 0;
    {
        std::size_t p = pos;
        if (peekAt(p) == '.' && isDigit(peekAt(p + 1))) {
            ++p;
            while (isDigit(peekAt(p))) ++p;
        }
        if (isOneOf(peekAt(p), "FfSs")) floatLength = p + 1 - start;
    }
    std::size_t widthLength = 0;
    if (digits > 0) widthLength = pos - start + (isOneOf(peekAt(pos), "BbDdHhQq") ? 1 : 0);
    const std::size_t ambiguousLength = digits == 0 && isOneOf(peekAt(digitsStart), "BbDdFfHhQqSs") ? 2 : 0;
    const std::size_t sizeLength = digits == 1 && isOneOf(peekAt(digitsStart), "0124") ? 2 : 0;

    const std::size_t best = std::max({floatLength, widthLength, ambiguousLength, sizeLength});
    if (best == 0) return 0;
    end = start + best;
    if (sizeLength == best) return peekAt(digitsStart) == '0' ? LDZERO : STRSIZ;
    if (ambiguousLength == best) return AMBIG;
    if (floatLength == best) return FLTFMT;
    return GFWFMT;
}

// A string "..." or character constant '...': a backslash keeps the next character from ending it.
int Scanner::scanQuoted(std::size_t start, std::size_t& end, char quote) const {
    std::size_t pos = start + 1;
    while (pos < m_source.size() && m_source[pos] != '\n') {
        const char c = m_source[pos];
        if (c == quote) {
            if (quote == '\'' && pos == start + 1) return 0;  // a character constant holds one or more
            end = pos + 1;
            return quote == '"' ? STRING : CHARCONST;
        }
        if (c == '\\') {
            if (pos + 1 >= m_source.size() || m_source[pos + 1] == '\n') return 0;
            pos += 2;
        } else {
            ++pos;
        }
    }
    return 0;
}

Token Scanner::make(int code, std::size_t start, std::size_t end) {
    Token token{code, start, end - start, false};
    for (std::size_t i = m_checkedUpTo; i < end && i < m_original.size(); ++i) {
        if (static_cast<unsigned char>(m_original[i]) & 0x80) token.highBit = true;
    }
    if (end > m_checkedUpTo) m_checkedUpTo = end;
    m_lineStart = code == kNewline;
    m_pos = end;
    return token;
}

Token Scanner::next() {
    for (;;) {
        const std::size_t start = m_pos;
        if (start >= m_source.size()) return make(kEnd, start, start);
        const char c = m_source[start];
        std::size_t end = start + 1;

        if (m_lineStart) {
            if (int code = scanLabelDefinition(start, end)) return make(code, start, end);
            if (c == '\'') return make(COMMENT, start, restOfLine(start));
        }
        if (isBlank(c)) {
            ++m_pos;
            m_lineStart = false;
            continue;
        }
        if (c == '\n') return make(kNewline, start, end);
        if (c == '\r' && peekAt(start + 1) == '\n') return make(kNewline, start, start + 2);
        if (c == '&') {
            if (int code = scanRadixNumber(start, end)) return make(code, start, end);
        }
        if (isDigit(c) || c == '.') {
            if (int code = scanNumber(start, end)) return make(code, start, end);
        }
        if (isIdentStart(c)) {
            end = scanIdentifier(start);
            const std::string_view word = m_source.substr(start, end - start);
            if (equalsNoCase(word, "REM") && (peekAt(end) == ' ' || peekAt(end) == '\t'))
                return make(COMMENT, start, restOfLine(end));
            if (peekAt(end) == '$' || peekAt(end) == '!') ++end;
            return make(classifyName(m_source.substr(start, end - start)), start, end);
        }
        if (c == '#') {
            if (int code = scanFormat(start, end)) return make(code, start, end);
        }
        if (c == '/' && peekAt(start + 1) == '/') return make(COMMENT2, start, restOfLine(start));
        if (c == '"' || c == '\'') {
            if (int code = scanQuoted(start, end, c)) return make(code, start, end);
            end = start + 1;
        }
        if (c == '<' && peekAt(start + 1) == '=') return make(LE, start, start + 2);
        if (c == '>' && peekAt(start + 1) == '=') return make(GE, start, start + 2);
        if ((c == '<' && peekAt(start + 1) == '>') || (c == '>' && peekAt(start + 1) == '<'))
            return make(NE, start, start + 2);
        // A NUL is not the end of the source: it is a character no rule accepts.
        if (c == '\0') return make(kErrorToken, start, start + 1);
        return make(static_cast<unsigned char>(c), start, start + 1);
    }
}

}  // namespace orrery::compiler
