#include "plottersection.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "settings.h"

namespace orrery::settings {

double readDouble(QSettings& store, const QString& key, double defaultValue) {
    const QByteArray text = readString(store, key, QString()).trimmed().toLatin1();
    double value = 0;
    const char* end = text.constData() + text.size();
    const auto [ptr, error] = std::from_chars(text.constData(), end, value);
    return (text.isEmpty() || error != std::errc() || ptr != end || !std::isfinite(value)) ? defaultValue : value;
}

void writeDouble(QSettings& store, const QString& key, double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    writeString(store, key, QString::fromLatin1(text, int(result.ptr - text)));
}

PlotterSettings loadPlotterSection(QSettings& store, const QRect& clientArea) {
    PlotterSettings s;
    store.beginGroup(QStringLiteral("Plotter"));
    const QRect bounds(readInt(store, QStringLiteral("Left"), clientArea.width() / 4),
                       readInt(store, QStringLiteral("Top"), clientArea.height() / 4),
                       readInt(store, QStringLiteral("Width"), clientArea.width() * 3 / 4),
                       readInt(store, QStringLiteral("Height"), clientArea.height() * 3 / 4));
    // A window of no size could not be found again; it takes the default place instead.
    s.bounds = bounds.width() > 0 && bounds.height() > 0 ? clampToArea(bounds, clientArea) : QRect();
    s.maximized = readBool(store, QStringLiteral("Maximized"), false);
    s.open = readBool(store, QStringLiteral("Open"), false);
    s.xAxis = readInt(store, QStringLiteral("XAxis"), 0) == 1 ? XAxisMode::Seconds : XAxisMode::Samples;
    s.samplesShown = std::clamp(readInt(store, QStringLiteral("SamplesShown"), s.samplesShown), kMinShown,
                                kMaxSamplesShown);
    s.secondsShown = std::clamp(readInt(store, QStringLiteral("SecondsShown"), s.secondsShown), kMinShown,
                                kMaxSecondsShown);
    s.yRange = readInt(store, QStringLiteral("YRange"), 0) == 1 ? YRangeMode::Fixed
                                                                  : YRangeMode::Automatic;
    s.yLow = readDouble(store, QStringLiteral("YLow"), s.yLow);
    s.yHigh = readDouble(store, QStringLiteral("YHigh"), s.yHigh);
    s.hiddenSeries = readList(store, QStringLiteral("NumHidden"), QStringLiteral("Hidden"));
    s.hiddenSeries.removeAll(QString());
    store.endGroup();
    return s;
}

void savePlotterSection(QSettings& store, const PlotterSettings& s) {
    store.beginGroup(QStringLiteral("Plotter"));
    writeBool(store, QStringLiteral("Maximized"), s.maximized);
    if (s.bounds.isValid()) {
        writeInt(store, QStringLiteral("Left"), s.bounds.x());
        writeInt(store, QStringLiteral("Top"), s.bounds.y());
        writeInt(store, QStringLiteral("Width"), s.bounds.width());
        writeInt(store, QStringLiteral("Height"), s.bounds.height());
    }
    writeBool(store, QStringLiteral("Open"), s.open);
    writeInt(store, QStringLiteral("XAxis"), int(s.xAxis));
    writeInt(store, QStringLiteral("SamplesShown"), s.samplesShown);
    writeInt(store, QStringLiteral("SecondsShown"), s.secondsShown);
    writeInt(store, QStringLiteral("YRange"), int(s.yRange));
    writeDouble(store, QStringLiteral("YLow"), s.yLow);
    writeDouble(store, QStringLiteral("YHigh"), s.yHigh);
    writeList(store, QStringLiteral("NumHidden"), QStringLiteral("Hidden"), s.hiddenSeries);
    store.endGroup();
}

}  // namespace orrery::settings
