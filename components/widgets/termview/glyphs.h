#pragma once
// Received bytes shown as the glyphs of the IBM PC character set (code page 437), the set of the
// "Terminal" font that loggers' output was laid out for: byte 250 is the middle dot the hex dump uses
// for unprintable bytes, 0xB0..0xDF draw boxes.

#include <QChar>
#include <QString>
#include <cstdint>

namespace orrery::term {

QChar glyphFor(std::uint8_t byte);
// Text of a run of cells; CR and LF stay line ends.
QString glyphText(const std::uint8_t* bytes, int count);

}  // namespace orrery::term
