#pragma once
// What the plotter keeps between runs (section "Plotter" of the settings store).

#include <QRect>
#include <QStringList>

namespace orrery::settings {

enum class XAxisMode { Samples = 0, Seconds = 1 };
enum class YRangeMode { Automatic = 0, Fixed = 1 };

struct PlotterSettings {
    QRect bounds;  // in the main window's client area; empty: the window's own default
    bool maximized = false;
    bool open = false;  // the live plotter was open at shut-down, and opens again at start
    XAxisMode xAxis = XAxisMode::Samples;
    int samplesShown = 500;
    int secondsShown = 60;
    YRangeMode yRange = YRangeMode::Automatic;
    double yLow = 0.0;
    double yHigh = 100.0;
    QStringList hiddenSeries;  // names of the series hidden from the plot
};

inline constexpr int kMinShown = 2;
inline constexpr int kMaxSamplesShown = 50000;
inline constexpr int kMaxSecondsShown = 24 * 3600;

}  // namespace orrery::settings
