#include "lineparser.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace orrery::plot {

namespace {

// Character classes in ASCII only: the C library's would follow the locale.
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isNameStart(char c) {
    return isLetter(c) || c == '_';
}
bool isNameChar(char c) {
    return isNameStart(c) || isDigit(c) || c == '.';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isFieldMark(char c) {
    return c == ',' || c == ';';
}
bool isSeparator(char c) {
    return isBlank(c) || isFieldMark(c);
}
bool isPairMark(char c) {
    return c == '=' || c == ':';
}
bool isBinary(unsigned char c) {
    return (c < 0x20 && c != '\t') || c == 0x7f;
}

std::size_t skipBlanks(std::string_view line, std::size_t at) {
    while (at < line.size() && isBlank(line[at])) {
        ++at;
    }
    return at;
}

std::size_t wordEnd(std::string_view line, std::size_t at) {
    while (at < line.size() && !isSeparator(line[at])) {
        ++at;
    }
    return at;
}

bool isUnit(std::string_view suffix) {
    return std::none_of(suffix.begin(), suffix.end(), [](char c) { return isDigit(c) || isPairMark(c); });
}

class LineReader {
public:
    LineReader(std::string_view line, std::vector<Reading>& out)
        : m_line(line), m_out(out), m_delimited(line.find_first_of(",;") != std::string_view::npos) {}

    void read() {
        std::size_t at = 0;
        while (at < m_line.size() && m_out.size() < kMaxReadingsPerLine) {
            const char c = m_line[at];
            if (isFieldMark(c)) {
                ++m_field;
                ++at;
            } else if (isBlank(c)) {
                ++at;
            } else if (isNameStart(c)) {
                at = readNamed(at);
            } else {
                at = readBare(at);
            }
        }
    }

private:
    // name [blanks] (= | :) [blanks] number [unit]; a name not followed by a mark is a word of text.
    std::size_t readNamed(std::size_t at) {
        std::size_t end = at;
        while (end < m_line.size() && isNameChar(m_line[end])) {
            ++end;
        }
        const std::string_view name = m_line.substr(at, end - at);
        const std::size_t mark = skipBlanks(m_line, end);
        if (mark >= m_line.size() || !isPairMark(m_line[mark])) {
            return end < m_line.size() && !isSeparator(m_line[end]) ? wordEnd(m_line, end) : end;
        }
        const std::size_t valueAt = skipBlanks(m_line, mark + 1);
        double value = 0;
        bool finite = false;
        const std::size_t used = readNumber(m_line.substr(valueAt), value, finite);
        const std::size_t valueEnd = wordEnd(m_line, valueAt);
        if (used > 0 && isUnit(m_line.substr(valueAt + used, valueEnd - valueAt - used)) && finite &&
            name.size() <= kMaxNameLength) {
            add(name, value);
        }
        return std::max(valueEnd, mark + 1);
    }

    std::size_t readBare(std::size_t at) {
        double value = 0;
        bool finite = false;
        const std::size_t used = readNumber(m_line.substr(at), value, finite);
        const std::size_t end = wordEnd(m_line, at);
        if (used == 0 || !isUnit(m_line.substr(at + used, end - at - used))) {
            return std::max(end, at + 1);
        }
        ++m_bare;
        const int column = m_delimited ? m_field : m_bare;
        if (column != m_lastColumn) {
            m_lastColumn = column;
            if (finite) {
                add(std::to_string(column), value);
            }
        }
        return end;
    }

    void add(std::string_view name, double value) {
        const bool seen =
            std::any_of(m_out.begin(), m_out.end(), [name](const Reading& r) { return r.name == name; });
        if (!seen) {
            m_out.push_back({std::string(name), value});
        }
    }

    std::string_view m_line;
    std::vector<Reading>& m_out;
    bool m_delimited;
    int m_field = 1;
    int m_bare = 0;
    int m_lastColumn = 0;
};

}  // namespace

std::size_t readNumber(std::string_view text, double& value, bool& finite) {
    std::size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    // Only digits and a point start a number: from_chars would also take "inf" and "nan".
    const bool digitFirst = at < text.size() && isDigit(text[at]);
    const bool pointFirst = at + 1 < text.size() && text[at] == '.' && isDigit(text[at + 1]);
    if (!digitFirst && !pointFirst) {
        return 0;
    }
    const char* begin = text.data() + at;
    const auto [ptr, error] = std::from_chars(begin, text.data() + text.size(), value, std::chars_format::general);
    if (ptr == begin) {
        return 0;
    }
    finite = error == std::errc() && std::isfinite(value);
    if (negative) {
        value = -value;
    }
    return std::size_t(ptr - text.data());
}

std::size_t parseLine(std::string_view line, std::vector<Reading>& out) {
    out.clear();
    if (line.size() > kMaxLineLength ||
        std::any_of(line.begin(), line.end(), [](char c) { return isBinary(static_cast<unsigned char>(c)); })) {
        return 0;
    }
    LineReader(line, out).read();
    return out.size();
}

}  // namespace orrery::plot
