// The report the pulse panel shows and the graphs its buttons append, apart from the
// window: bounded lists with complete statistics, the table's rows and text, and the
// histogram and trend commands on a store.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/Error.h"
#include "core/Palette.h"
#include "transforms/PulseCommands.h"

namespace tarvik {
namespace {

// Trapezoids of period 50 (rise 10 → 20, high to 40, fall to 50), 0 to X = 300.
Graph trapezoids() {
  Graph g;
  g.title = "tr";
  for (int i = 0; i <= 300; ++i) {
    const int p = i % 50;
    g.appendPoint(i, i == 300 || p < 10 ? 0.0
                     : p < 20           ? (p - 10) / 10.0
                     : p < 40           ? 1.0
                                        : 1 - (p - 40) / 10.0);
  }
  return g;
}

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> out;
  std::string cell;
  std::istringstream in(text);
  while (std::getline(in, cell, sep)) {
    out.push_back(cell);
  }
  if (!text.empty() && text.back() == sep) {
    out.emplace_back();
  }
  return out;
}

TEST(PulseReport, ListsStopAtTheirBoundWhileStatisticsAndMarksCoverEveryEdge) {
  // Every point crosses both reference levels: a transition at each point after the first.
  std::vector<double> xs, ys;
  const std::size_t n = 2 * kPulseReportRows + 11;
  for (std::size_t i = 0; i < n; ++i) {
    xs.push_back(static_cast<double>(i));
    ys.push_back(static_cast<double>(i % 2));
  }
  const PulseReport r = measurePulseReport(xs, ys, {}, PulseOptions{});
  EXPECT_EQ(r.transitionCount, n - 1);
  EXPECT_EQ(r.transitions.size(), kPulseReportRows);
  EXPECT_EQ(r.pulses.size(), kPulseReportRows);
  EXPECT_EQ(r.pulseCount, (n - 1) / 2);
  EXPECT_EQ(r.mids.size(), n - 1);
  EXPECT_TRUE(std::is_sorted(r.mids.begin(), r.mids.end()));
  PulseStatistics all;
  const PulseSetup setup = preparePulseMeasurement(xs, ys, {}, {}, PulseOptions{});
  walkTransitions(setup.points, setup.levels, setup.reference, PulseOptions{}, all);
  for (std::size_t m = 0; m < kPulseMetricCount; ++m) {
    SCOPED_TRACE(kPulseMetricNames[m]);
    const MetricSummary want = all.summary(static_cast<PulseMetric>(m));
    EXPECT_EQ(r.statistics[m].count, want.count);
    EXPECT_EQ(r.statistics[m].mean, want.mean);
    EXPECT_EQ(r.statistics[m].max, want.max);
  }
  EXPECT_EQ(pulseReportRowCount(r), 2 * kPulseReportRows + kPulseStatisticRows + kPulseLevelRows);
}

TEST(PulseReport, DataThatCannotBeMeasuredThrowsItsMessage) {
  const std::vector<double> xs = {0, 1, 2, 3}, flat = {1, 1, 1, 1}, back = {0, 2, 1, 3};
  EXPECT_THROW(
      {
        try {
          measurePulseReport(xs, flat, {}, PulseOptions{});
        } catch (const Error& e) {
          EXPECT_STREQ(e.what(), kPulseFlat);
          throw;
        }
      },
      Error);
  EXPECT_THROW(measurePulseReport(back, xs, {}, PulseOptions{}), Error);
  EXPECT_THROW(measurePulseReport(xs, xs, PulseRange{0.5, 1.5}, PulseOptions{}), Error);
}

TEST(PulseReport, TableTextHasOneLinePerRowAndEachMetricInItsNamedColumn) {
  const Graph g = trapezoids();
  const PulseReport r = measurePulseReport(g.xs(), g.ys(), {}, PulseOptions{});
  std::vector<std::string> lines = split(pulseReportText(r, ','), '\n');
  ASSERT_EQ(lines.back(), "");  // every line ends with its newline
  lines.pop_back();
  ASSERT_EQ(lines.size(), 1 + 12 + 6 + kPulseStatisticRows + kPulseLevelRows);
  const std::vector<std::string> header = split(lines[0], '\t');
  ASSERT_EQ(header, pulseReportColumns());
  for (std::size_t m = 0; m < kPulseMetricCount; ++m) {
    const auto metric = static_cast<PulseMetric>(m);
    EXPECT_EQ(header[pulseReportMetricColumn(metric)], kPulseMetricNames[m]);
    EXPECT_EQ(pulseReportColumnMetric(pulseReportMetricColumn(metric)), metric);
  }
  EXPECT_EQ(pulseReportColumnMetric(0), std::nullopt);
  EXPECT_EQ(pulseReportColumnMetric(header.size()), std::nullopt);

  const std::vector<std::string> rise = split(lines[1], '\t');
  const std::vector<std::string> fall = split(lines[2], '\t');
  ASSERT_EQ(rise.size(), header.size());
  ASSERT_EQ(fall.size(), header.size());
  EXPECT_EQ(rise[0], "rise");
  EXPECT_EQ(rise[pulseReportMetricColumn(PulseMetric::Rise)], "8");
  EXPECT_EQ(rise[pulseReportMetricColumn(PulseMetric::Fall)], "");
  EXPECT_EQ(rise[pulseReportMetricColumn(PulseMetric::SlewFall)], "");
  EXPECT_EQ(rise[pulseReportMetricColumn(PulseMetric::Width)], "");
  EXPECT_EQ(fall[pulseReportMetricColumn(PulseMetric::Fall)], "8");
  EXPECT_EQ(fall[pulseReportMetricColumn(PulseMetric::Rise)], "");
  EXPECT_EQ(fall[pulseReportMetricColumn(PulseMetric::SlewFall)].front(), '-');
  // The separator given: t_lower of the first rise is 11, its slew 0,8/8.
  EXPECT_EQ(rise[pulseReportMetricColumn(PulseMetric::SlewRise)].substr(0, 3), "0,1");
  const std::vector<std::string> lastPulse = split(lines[12 + 6], '\t');
  EXPECT_EQ(lastPulse[0], "+");
  EXPECT_EQ(lastPulse[pulseReportMetricColumn(PulseMetric::Period)], "none");
  const std::vector<std::string> count = split(lines[13 + 6], '\t');
  EXPECT_EQ(count[0], "count");
  EXPECT_EQ(count[pulseReportMetricColumn(PulseMetric::Width)], "6");
  EXPECT_EQ(count[pulseReportMetricColumn(PulseMetric::Period)], "5");
  const std::vector<std::string> std = split(lines[13 + 6 + 2], '\t');
  EXPECT_EQ(std[pulseReportMetricColumn(PulseMetric::Rise)], "0");
  const std::vector<std::string> upper = split(lines.back(), '\t');
  EXPECT_EQ(upper[0], "upper");
  EXPECT_EQ(upper[2], "0,90000000000000002");
}

TEST(PulseCommands, HistogramAndTrendAppendInactiveGraphsAndRefuseDataWithoutValues) {
  GraphStore store;
  store.attachGraph(trapezoids(), "t.grf");
  store.setActiveIndex(0);
  appendPulseHistogram(store, 0, {}, PulseOptions{}, PulseMetric::Width, 3);
  appendPulseTrend(store, 0, PulseRange{0, 160}, PulseOptions{}, PulseMetric::Rise);
  ASSERT_EQ(store.count(), 3u);
  EXPECT_EQ(store.activeIndex(), 0);
  EXPECT_EQ(store.graph(1).title, "Гистограмма: width (tr)");
  EXPECT_EQ(store.graph(1).colour, newGraphColour(1));
  EXPECT_EQ(std::vector<double>(store.graph(1).xs().begin(), store.graph(1).xs().end()),
            std::vector<double>{30});  // all widths equal: one class
  EXPECT_EQ(store.graph(1).y(0), 6);
  EXPECT_EQ(store.graph(2).title, "Тренд: rise (tr)");
  EXPECT_EQ(store.graph(2).colour, newGraphColour(2));
  EXPECT_EQ(std::vector<double>(store.graph(2).xs().begin(), store.graph(2).xs().end()),
            (std::vector<double>{15, 65, 115}));
  // No pulse ends in 0 … 30: no width, nothing appended.
  EXPECT_THROW(appendPulseTrend(store, 0, PulseRange{0, 30}, PulseOptions{}, PulseMetric::Width),
               Error);
  EXPECT_EQ(store.count(), 3u);
}

}  // namespace
}  // namespace tarvik
