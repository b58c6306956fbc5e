#pragma once
// The Quobol scanner: a small value over the source text that hands out one token at a time.
//
// Tokens are positions in the source (start, length), never copies. The source it reads has bit 7
// already cleared; a token that contained such a character says so, and the parser reports it. The
// scanner knows the beginning of a line (for label definitions and apostrophe comments) and nothing of
// the grammar. The assembler takes over the raw text at position() and hands back with setPosition().

#include <cstddef>
#include <functional>
#include <string_view>

#include "tokens.h"

namespace orrery::compiler {

struct Token {
    int code = kEnd;
    std::size_t start = 0;
    std::size_t length = 0;
    bool highBit = false;  // a character of the token (or the blanks before it) had bit 7 set
};

// The longest token the scanner accepts; a longer one is "flex input buffer overflowed".
inline constexpr std::size_t kMaxTokenLength = 510;

class Scanner {
public:
    // source: the text with bit 7 cleared; original: the text as given, to find the bit-7 characters.
    // isExtension tells declared extension names apart from plain names.
    Scanner(std::string_view source, std::string_view original,
            std::function<bool(std::string_view)> isExtension = {});

    Token next();
    std::string_view text(const Token& token) const { return m_source.substr(token.start, token.length); }

    std::size_t position() const { return m_pos; }
    void setPosition(std::size_t position);
    bool atLineStart() const { return m_lineStart; }
    std::string_view source() const { return m_source; }

    // Keyword token, EXTNAME or SYMBOL for a scanned name.
    int classifyName(std::string_view name) const;

private:
    char peekAt(std::size_t pos) const { return pos < m_source.size() ? m_source[pos] : '\0'; }
    std::size_t scanIdentifier(std::size_t pos) const;
    std::size_t restOfLine(std::size_t pos) const;
    int scanLabelDefinition(std::size_t start, std::size_t& end) const;
    int scanNumber(std::size_t start, std::size_t& end) const;
    int scanRadixNumber(std::size_t start, std::size_t& end) const;
    int scanFormat(std::size_t start, std::size_t& end) const;
    int scanQuoted(std::size_t start, std::size_t& end, char quote) const;
    Token make(int code, std::size_t start, std::size_t end);

    std::string_view m_source;
    std::string_view m_original;
    std::function<bool(std::string_view)> m_isExtension;
    std::size_t m_pos = 0;
    std::size_t m_checkedUpTo = 0;
    bool m_lineStart = true;
};

}  // namespace orrery::compiler
