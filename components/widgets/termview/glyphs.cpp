#include "glyphs.h"

namespace orrery::term {

namespace {
// Glyphs of bytes 0..31, then 127..255.
constexpr char16_t kLow[] = u" ☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼";
constexpr char16_t kHigh[] =
    u"⌂ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀"
    u"αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0";
static_assert(sizeof(kLow) / sizeof(char16_t) == 32 + 1, "one glyph for each of bytes 0..31");
static_assert(sizeof(kHigh) / sizeof(char16_t) == 129 + 1, "one glyph for each of bytes 127..255");
}  // namespace

QChar glyphFor(std::uint8_t byte) {
    if (byte < 32) {
        return QChar(kLow[byte]);
    }
    if (byte < 127) {
        return QChar(byte);
    }
    return QChar(kHigh[byte - 127]);
}

QString glyphText(const std::uint8_t* bytes, int count) {
    QString text;
    text.reserve(count);
    for (int i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        text += (b == '\r' || b == '\n') ? QChar(b) : glyphFor(b);
    }
    return text;
}

}  // namespace orrery::term
