#include "cellfont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>

namespace orrery {

namespace {

// Common monospaced families on Debian desktops, in a sensible order of preference.
const char* const kUsualFamilies[] = {"DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono", "Noto Mono",
                                      "Ubuntu Mono",      "FreeMono",        "Courier New",    "Nimbus Mono PS",
                                      "Monospace"};

QFont fontOf(const QString& family, int pointSize) {
    QFont font(family);
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(pointSize);
    // Kerning would move pairs of characters off their columns.
    font.setKerning(false);
    return font;
}

bool installed(const QString& family) {
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

}  // namespace

bool hasEqualAdvances(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(QLatin1Char(' '));
    if (width <= 0) {
        return false;
    }
    for (char c = '!'; c <= '~'; ++c) {
        if (metrics.horizontalAdvance(QLatin1Char(c)) != width) {
            return false;
        }
    }
    return true;
}

qreal cellAdvance(const QFont& font) {
    return QFontMetricsF(font).horizontalAdvance(QLatin1Char(' '));
}

QFont chooseCellFont(const QStringList& wantedFamilies, int pointSize) {
    const QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    QStringList families;
    for (const QString& family : wantedFamilies) {
        if (installed(family)) {
            families << family;
        }
    }
    families << system.family();
    for (const char* family : kUsualFamilies) {
        families << QString::fromLatin1(family);
    }
    for (const QString& family : QFontDatabase::families()) {
        if (QFontDatabase::isFixedPitch(family)) {
            families << family;
        }
    }
    for (const QString& family : families) {
        const QFont font = fontOf(family, pointSize);
        if (hasEqualAdvances(font)) {
            return font;
        }
    }
    QFont fallback = system;
    fallback.setPointSize(pointSize);
    fallback.setKerning(false);
    return fallback;
}

}  // namespace orrery
