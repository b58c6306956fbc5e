#pragma once
// Section "Plotter" of the settings store: the live plotter's place and view.
//
// Keys: "Left", "Top", "Width", "Height" (in the main window's client area, clamped to it like the
// terminal's), "Maximized", "Open" (the plotter was open at shut-down), "XAxis" (0 samples, 1 seconds),
// "SamplesShown", "SecondsShown", "YRange" (0 automatic, 1 fixed), "YLow", "YHigh" (decimal text with a
// point, whatever the locale) and the hidden series as "NumHidden" plus "Hidden00", "Hidden01", ...

#include <QSettings>

#include "plottersettings.h"

namespace orrery::settings {

PlotterSettings loadPlotterSection(QSettings& store, const QRect& clientArea);
void savePlotterSection(QSettings& store, const PlotterSettings& s);

// A number kept as text: read back in any locale; the default when missing or not a finite number.
double readDouble(QSettings& store, const QString& key, double defaultValue);
void writeDouble(QSettings& store, const QString& key, double value);

}  // namespace orrery::settings
