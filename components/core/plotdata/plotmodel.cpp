#include "plotmodel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <ostream>

namespace orrery::plot {

namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

void writeNumber(std::ostream& out, double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.write(text, result.ptr - text);
}

void writeSample(std::ostream& out, std::uint64_t sample) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, sample);
    out.write(text, result.ptr - text);
}

void writeSeconds(std::ostream& out, double seconds) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 3);
    out.write(text, result.ptr - text);
}

}  // namespace

double tickStep(double span, int ticks) {
    if (!(span > 0) || !std::isfinite(span) || ticks < 1) {
        return 1.0;
    }
    const double raw = span / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / power;
    const double nice = fraction <= 1 ? 1 : fraction <= 2 ? 2 : fraction <= 5 ? 5 : 10;
    return nice * power;
}

PlotModel::PlotModel(std::size_t capacity, WhenFull whenFull)
    : m_capacity(std::max<std::size_t>(capacity, 2)),
      m_whenFull(whenFull),
      m_samples(m_capacity),
      m_seconds(m_capacity) {}

void PlotModel::clear() {
    m_values.clear();
    m_names.clear();
    m_head = 0;
    m_size = 0;
    m_rowsDropped = 0;
    m_keepEvery = 1;
    m_offered = 0;
    m_readingsRefused = 0;
    ++m_revision;
}

std::size_t PlotModel::seriesIndex(std::string_view name) const {
    return std::size_t(std::find(m_names.begin(), m_names.end(), name) - m_names.begin());
}

std::size_t PlotModel::seriesFor(const std::string& name) {
    const std::size_t index = seriesIndex(name);
    if (index < m_names.size() || m_names.size() >= kMaxSeries) {
        return index;
    }
    m_names.push_back(name);
    m_values.emplace_back(m_capacity, kNoValue);
    return index;
}

bool PlotModel::addRow(const std::vector<Reading>& readings, std::uint64_t sample, double seconds) {
    if (readings.empty()) {
        return false;
    }
    if (m_whenFull == WhenFull::Thin && m_offered++ % m_keepEvery != 0) {
        return false;
    }
    std::vector<std::size_t> columns;
    columns.reserve(readings.size());
    for (const Reading& reading : readings) {
        const std::size_t series = seriesFor(reading.name);
        if (series >= m_names.size()) {
            ++m_readingsRefused;
        }
        columns.push_back(series);
    }
    if (std::none_of(columns.begin(), columns.end(), [this](std::size_t c) { return c < m_names.size(); })) {
        return false;
    }
    if (m_size == m_capacity) {
        if (m_whenFull == WhenFull::Thin) {
            thin();
            // The row offered now is kept only if it falls on the new, wider step.
            if ((m_offered - 1) % m_keepEvery != 0) {
                return false;
            }
        } else {
            m_head = (m_head + 1) % m_capacity;
            --m_size;
            ++m_rowsDropped;
        }
    }
    const std::size_t at = slot(m_size);
    m_samples[at] = sample;
    m_seconds[at] = seconds;
    for (auto& column : m_values) {
        column[at] = kNoValue;
    }
    for (std::size_t i = 0; i < readings.size(); ++i) {
        if (columns[i] < m_names.size()) {
            m_values[columns[i]][at] = readings[i].value;
        }
    }
    ++m_size;
    ++m_revision;
    return true;
}

void PlotModel::thin() {
    // A thinned store never wraps (its head stays 0), so rows and slots are the same.
    std::size_t kept = 0;
    for (std::size_t row = 0; row < m_size; row += 2, ++kept) {
        m_samples[kept] = m_samples[row];
        m_seconds[kept] = m_seconds[row];
        for (auto& column : m_values) {
            column[kept] = column[row];
        }
    }
    m_size = kept;
    m_keepEvery *= 2;
    ++m_revision;
}

double PlotModel::x(std::size_t row, XAxis axis) const {
    return axis == XAxis::Samples ? double(sample(row)) : seconds(row);
}

std::size_t PlotModel::firstRowFrom(double x, XAxis axis) const {
    std::size_t low = 0;
    std::size_t high = m_size;
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (this->x(mid, axis) < x) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return low;
}

std::vector<PlotPoint> PlotModel::points(std::size_t series, std::size_t first, std::size_t end, XAxis axis,
                                         std::size_t maxPoints) const {
    std::vector<PlotPoint> all;
    end = std::min(end, m_size);
    if (series >= m_names.size() || first >= end) {
        return all;
    }
    all.reserve(end - first);
    for (std::size_t row = first; row < end; ++row) {
        const double y = value(series, row);
        if (!std::isnan(y)) {
            all.push_back({x(row, axis), y});
        }
    }
    maxPoints = std::max<std::size_t>(maxPoints, 2);
    if (all.size() <= maxPoints) {
        return all;
    }
    const std::size_t slices = maxPoints / 2;
    std::vector<PlotPoint> drawn;
    drawn.reserve(slices * 2);
    for (std::size_t s = 0; s < slices; ++s) {
        const auto from = all.begin() + std::ptrdiff_t(s * all.size() / slices);
        const auto to = all.begin() + std::ptrdiff_t((s + 1) * all.size() / slices);
        if (from == to) {
            continue;
        }
        const auto [low, high] =
            std::minmax_element(from, to, [](const PlotPoint& a, const PlotPoint& b) { return a.y < b.y; });
        if (low == high) {
            drawn.push_back(*low);
        } else if (low < high) {
            drawn.push_back(*low);
            drawn.push_back(*high);
        } else {
            drawn.push_back(*high);
            drawn.push_back(*low);
        }
    }
    return drawn;
}

ValueRange PlotModel::valueRange(const std::vector<bool>& shown, std::size_t first, std::size_t end) const {
    ValueRange range;
    end = std::min(end, m_size);
    for (std::size_t series = 0; series < m_names.size() && series < shown.size(); ++series) {
        if (!shown[series]) {
            continue;
        }
        for (std::size_t row = first; row < end; ++row) {
            const double y = value(series, row);
            if (std::isnan(y)) {
                continue;
            }
            if (range.empty) {
                range = {y, y, false};
            } else {
                range.low = std::min(range.low, y);
                range.high = std::max(range.high, y);
            }
        }
    }
    return range;
}

void PlotModel::writeCsv(std::ostream& out, std::string_view sampleHeader, bool withSeconds) const {
    out << sampleHeader;
    if (withSeconds) {
        out << ",seconds";
    }
    for (const std::string& name : m_names) {
        out << ',' << name;
    }
    out << "\r\n";
    for (std::size_t row = 0; row < m_size; ++row) {
        writeSample(out, sample(row));
        if (withSeconds) {
            out << ',';
            writeSeconds(out, seconds(row));
        }
        for (std::size_t series = 0; series < m_names.size(); ++series) {
            out << ',';
            const double y = value(series, row);
            if (!std::isnan(y)) {
                writeNumber(out, y);
            }
        }
        out << "\r\n";
    }
}

}  // namespace orrery::plot
