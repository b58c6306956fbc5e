#include "escapes.h"

namespace orrery::compiler {

namespace {
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
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

std::string decodeEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char kind = text[++i];
        if (kind == 'x') {
            int value = 0;
            for (int digit = 0; digit < 2; ++digit) {
                value <<= 4;
                if (i + 1 < text.size()) value |= hexValue(text[++i]);
            }
            out.push_back(static_cast<char>(value));
        } else {
            out.push_back(simpleEscape(kind));
        }
    }
    return out;
}

}  // namespace orrery::compiler
