#pragma once
// The font of the text editor and of the terminal display: one in which every printable character
// advances by the same width, so that columns line up and tab stops fall on character columns.
//
// Whether a font is such a font is measured, not taken from its "fixed pitch" flag: some monospaced
// families (Noto Sans Mono among them) are not flagged, and a "monospace" alias may resolve to a family
// that is flagged but draws some characters wider. The families asked for come first, then the system's
// fixed-pitch font, then the common monospaced families of Linux desktops, then any installed family
// that measures right.

#include <QFont>
#include <QStringList>

namespace orrery {

// True when the printable ASCII characters (space to "~") all have the same advance in this font as
// the font is actually resolved.
bool hasEqualAdvances(const QFont& font);

// The first font with equal advances among the wanted families (in order), the system's fixed-pitch font
// and the usual monospaced families, at the given point size. Falls back to the system's fixed-pitch
// font when nothing installed measures right.
QFont chooseCellFont(const QStringList& wantedFamilies, int pointSize);

// The width of one character cell, exactly as the text layout advances it (fractional pixels).
qreal cellAdvance(const QFont& font);

}  // namespace orrery
