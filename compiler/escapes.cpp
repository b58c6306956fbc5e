#include "escapes.h"

namespace orrery::compiler {

namespace {
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

char simpleEscape(char c) {
    switch (c) {
        case 'a': return 7;
        case 'b': return 8;
        case 'f': return 12;
        case 'n': return 10;
        case 'r': return 13;
        case 't': return 9;
        case 'v': return 11;
        default: return c;
    }
}
}  // namespace

std::string decodeEscapes(std::string_view text, EscapeDialect dialect) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char given = text[++i];
        const char kind = dialect.anyCase ? lower(given) : given;
        if (kind == 'x') {
            int value = 0;
            for (int digit = 0; digit < 2; ++digit) {
                if (i + 1 < text.size()) {
                    value = (value << 4) | hexValue(text[++i]);
                } else if (!dialect.shortHexIsValue) {
                    value <<= 4;
                }
            }
            out.push_back(static_cast<char>(value));
        } else {
            const char decoded = simpleEscape(kind);
            out.push_back(decoded == kind ? given : decoded);
        }
    }
    return out;
}

}  // namespace orrery::compiler
