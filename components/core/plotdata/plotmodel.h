#pragma once
// The samples a plot draws from: one row per line that gave readings, one column per series.
//
// A row holds the line's sample number (the count of rows for a live stream, the line number for a file),
// the seconds since the plot started, and one value per series (NaN where that line had no reading of
// it). Series are numbered in the order their names first appeared; names beyond kMaxSeries are not
// taken, so a line of a hundred numbers cannot blow the store up.
//
// The store never holds more than its capacity of rows. A live stream drops its oldest rows (a rolling
// window); a file thins itself instead, keeping every second row and from then on every second one of
// those it is offered, so the whole file stays on the axis in bounded memory.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "lineparser.h"

namespace orrery::plot {

enum class XAxis { Samples, Seconds };

struct PlotPoint {
    double x = 0;
    double y = 0;
    bool operator==(const PlotPoint&) const = default;
};

struct ValueRange {
    double low = 0;
    double high = 0;
    bool empty = true;
};

// A step between axis ticks of 1, 2 or 5 times a power of ten that cuts span into at most about ticks
// parts (1 for a span of nothing).
double tickStep(double span, int ticks);

class PlotModel {
public:
    static constexpr std::size_t kMaxSeries = 32;
    enum class WhenFull { DropOldest, Thin };

    explicit PlotModel(std::size_t capacity, WhenFull whenFull = WhenFull::DropOldest);

    // Adds the readings of one line. False when nothing was stored: no readings the store takes, or a row
    // the thinning passes over.
    bool addRow(const std::vector<Reading>& readings, std::uint64_t sample, double seconds);
    void clear();

    std::size_t capacity() const { return m_capacity; }
    std::size_t rowCount() const { return m_size; }
    std::uint64_t sample(std::size_t row) const { return m_samples[slot(row)]; }
    double seconds(std::size_t row) const { return m_seconds[slot(row)]; }
    double x(std::size_t row, XAxis axis) const;
    std::size_t seriesCount() const { return m_names.size(); }
    const std::string& seriesName(std::size_t series) const { return m_names[series]; }
    // The index of a series, or seriesCount() when there is none of that name.
    std::size_t seriesIndex(std::string_view name) const;
    double value(std::size_t series, std::size_t row) const { return m_values[series][slot(row)]; }

    // Changes whenever the rows or the series change, so a view redraws only when there is news.
    std::uint64_t revision() const { return m_revision; }
    // Rows dropped from the front of a rolling window since the last clear.
    std::uint64_t rowsDropped() const { return m_rowsDropped; }
    // A thinned store keeps one row in this many.
    std::uint64_t keepEvery() const { return m_keepEvery; }
    // Readings not taken because the store had kMaxSeries series already.
    std::uint64_t readingsRefused() const { return m_readingsRefused; }

    // The first row whose x is at least x; rowCount() when there is none.
    std::size_t firstRowFrom(double x, XAxis axis) const;
    // The points of one series in rows [first, end), skipping rows without a value. When there are more
    // than maxPoints, the rows are cut into maxPoints / 2 slices and each slice gives its lowest and its
    // highest point, in order, so that no peak disappears from the drawing.
    std::vector<PlotPoint> points(std::size_t series, std::size_t first, std::size_t end, XAxis axis,
                                  std::size_t maxPoints) const;
    // Lowest and highest value in rows [first, end) of the series whose flag in shown is set.
    ValueRange valueRange(const std::vector<bool>& shown, std::size_t first, std::size_t end) const;

    // The rows as CSV with CR LF line ends: a header (sampleHeader, "seconds" when withSeconds, the series
    // names), then one line per row; a missing value is an empty field. Numbers are written the same in
    // every locale, as short as reads back exactly.
    void writeCsv(std::ostream& out, std::string_view sampleHeader, bool withSeconds) const;

private:
    std::size_t slot(std::size_t row) const { return (m_head + row) % m_capacity; }
    std::size_t seriesFor(const std::string& name);
    void thin();

    std::size_t m_capacity;
    WhenFull m_whenFull;
    std::vector<std::uint64_t> m_samples;
    std::vector<double> m_seconds;
    std::vector<std::vector<double>> m_values;  // per series, one value per slot
    std::vector<std::string> m_names;
    std::size_t m_head = 0;
    std::size_t m_size = 0;
    std::uint64_t m_revision = 0;
    std::uint64_t m_rowsDropped = 0;
    std::uint64_t m_keepEvery = 1;
    std::uint64_t m_offered = 0;
    std::uint64_t m_readingsRefused = 0;
};

}  // namespace orrery::plot
