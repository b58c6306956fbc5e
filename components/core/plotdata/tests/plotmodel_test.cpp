// The store of samples: rows and series, the rolling window, thinning, drawing points, ranges and CSV.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "plotmodel.h"

namespace orrery::plot {
namespace {

std::vector<Reading> line(std::initializer_list<Reading> readings) {
    return readings;
}

std::string csvOf(const PlotModel& model, bool withSeconds = false) {
    std::ostringstream out;
    model.writeCsv(out, "sample", withSeconds);
    return out.str();
}

TEST(PlotModel, SeriesInOrderOfFirstAppearanceWithGapsWhereALineHadNone) {
    PlotModel model(10);
    EXPECT_FALSE(model.addRow({}, 1, 0.0));
    EXPECT_TRUE(model.addRow(line({{"T1", 21.5}, {"RH", 64}}), 1, 0.0));
    EXPECT_TRUE(model.addRow(line({{"T2", -1e-3}}), 2, 0.25));
    EXPECT_TRUE(model.addRow(line({{"RH", 65.5}, {"T1", 21.75}}), 3, 1.5));
    ASSERT_EQ(model.seriesCount(), 3u);
    EXPECT_EQ(model.seriesName(2), "T2");
    EXPECT_EQ(csvOf(model, true),
              "sample,seconds,T1,RH,T2\r\n"
              "1,0.000,21.5,64,\r\n"
              "2,0.250,,,-0.001\r\n"
              "3,1.500,21.75,65.5,\r\n");
}

TEST(PlotModel, RollingWindowDropsTheOldestRows) {
    PlotModel model(4);
    for (int i = 1; i <= 10; ++i) {
        model.addRow(line({{"v", double(i)}}), std::uint64_t(i), i * 0.5);
    }
    ASSERT_EQ(model.rowCount(), 4u);
    EXPECT_EQ(model.rowsDropped(), 6u);
    EXPECT_EQ(model.sample(0), 7u);
    EXPECT_EQ(model.value(0, 3), 10.0);
    EXPECT_EQ(csvOf(model), "sample,v\r\n7,7\r\n8,8\r\n9,9\r\n10,10\r\n");
    model.clear();
    EXPECT_EQ(model.rowCount(), 0u);
    EXPECT_EQ(model.seriesCount(), 0u);
    EXPECT_EQ(csvOf(model), "sample\r\n");
}

TEST(PlotModel, AFileThinsItselfAndKeepsItsWholeLength) {
    PlotModel model(8, PlotModel::WhenFull::Thin);
    for (int i = 0; i < 100; ++i) {
        model.addRow(line({{"v", double(i)}}), std::uint64_t(i + 1), 0);
    }
    // 100 rows into 8 places: one in 16 is kept, from the first on.
    EXPECT_EQ(model.keepEvery(), 16u);
    std::vector<std::uint64_t> samples;
    for (std::size_t row = 0; row < model.rowCount(); ++row) {
        samples.push_back(model.sample(row));
        EXPECT_EQ(model.value(0, row), double(model.sample(row) - 1));
    }
    EXPECT_EQ(samples, (std::vector<std::uint64_t>{1, 17, 33, 49, 65, 81, 97}));
}

TEST(PlotModel, SeriesBeyondTheLimitAreRefused) {
    PlotModel model(4);
    std::vector<Reading> wide;
    for (std::size_t i = 0; i < PlotModel::kMaxSeries + 5; ++i) {
        wide.push_back({"s" + std::to_string(i), double(i)});
    }
    EXPECT_TRUE(model.addRow(wide, 1, 0));
    EXPECT_EQ(model.seriesCount(), PlotModel::kMaxSeries);
    EXPECT_EQ(model.readingsRefused(), 5u);
    EXPECT_FALSE(model.addRow(line({{"new", 1}}), 2, 0)) << "a row of refused readings only is no row";
    EXPECT_EQ(model.rowCount(), 1u);
}

TEST(PlotModel, WindowLookupAndValueRange) {
    PlotModel model(100);
    for (int i = 1; i <= 20; ++i) {
        model.addRow(line({{"a", double(i % 7)}, {"b", double(-i)}}), std::uint64_t(i), i * 0.1);
    }
    struct Case {
        double x;
        XAxis axis;
        std::size_t row;
    };
    for (const Case& c : {Case{0, XAxis::Samples, 0}, Case{5, XAxis::Samples, 4}, Case{5.5, XAxis::Samples, 5},
                          Case{21, XAxis::Samples, 20}, Case{1.05, XAxis::Seconds, 10}}) {
        EXPECT_EQ(model.firstRowFrom(c.x, c.axis), c.row) << c.x;
    }
    const ValueRange a = model.valueRange({true, false}, 10, 20);
    EXPECT_FALSE(a.empty);
    EXPECT_EQ(a.low, 0.0);
    EXPECT_EQ(a.high, 6.0);
    const ValueRange both = model.valueRange({true, true}, 0, 20);
    EXPECT_EQ(both.low, -20.0);
    EXPECT_TRUE(model.valueRange({false, false}, 0, 20).empty);
}

TEST(PlotModel, PointsKeepEveryPeakWhenThereAreMoreThanCanBeDrawn) {
    PlotModel model(10000);
    for (int i = 0; i < 10000; ++i) {
        const double spike = (i == 4321) ? 500.0 : (i == 7777 ? -300.0 : std::sin(i / 100.0));
        model.addRow(line({{"v", spike}}), std::uint64_t(i), 0);
    }
    const auto all = model.points(0, 0, 10000, XAxis::Samples, 20000);
    EXPECT_EQ(all.size(), 10000u);
    const auto drawn = model.points(0, 0, 10000, XAxis::Samples, 200);
    ASSERT_LE(drawn.size(), 200u);
    EXPECT_GE(drawn.size(), 190u);
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), PlotPoint{4321, 500}), drawn.end());
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), PlotPoint{7777, -300}), drawn.end());
    EXPECT_TRUE(std::is_sorted(drawn.begin(), drawn.end(),
                               [](const PlotPoint& p, const PlotPoint& q) { return p.x < q.x; }));
}

TEST(PlotModel, CsvNumbersReadBackExactly) {
    PlotModel model(4);
    const std::vector<double> values = {0.1, 1.0 / 3.0, -2.5e-12, 6.02214076e23, 21.53};
    std::vector<Reading> readings;
    for (std::size_t i = 0; i < values.size(); ++i) {
        readings.push_back({"c" + std::to_string(i), values[i]});
    }
    model.addRow(readings, 1, 0);
    std::istringstream in(csvOf(model));
    std::string header, row;
    std::getline(in, header);
    std::getline(in, row);
    std::istringstream fields(row);
    std::string field;
    std::getline(fields, field, ',');
    for (double expected : values) {
        ASSERT_TRUE(std::getline(fields, field, ','));
        EXPECT_EQ(std::strtod(field.c_str(), nullptr), expected) << field;
    }
}

TEST(PlotModel, TickSteps) {
    struct Case {
        double span;
        int ticks;
        double step;
    };
    for (const Case& c : {Case{399, 6, 100}, Case{60, 6, 10}, Case{9, 6, 2}, Case{0.3, 6, 0.05},
                          Case{25000, 6, 5000}, Case{0, 6, 1}, Case{-5, 6, 1}, Case{std::numeric_limits<double>::infinity(), 6, 1}}) {
        EXPECT_DOUBLE_EQ(tickStep(c.span, c.ticks), c.step) << c.span;
    }
}

}  // namespace
}  // namespace orrery::plot
