#pragma once
// The commands of the measurement of every pulse apart from any front-end: the whole
// report the panel "Импульсы..." shows (levels, every transition and pulse, their
// statistics) and its tab-separated text, and the histogram or trend of one metric
// appended as a graph. The window and the batch runner call these same functions.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/GraphStore.h"
#include "transforms/PulseStatistics.h"

namespace tarvik {

// The X interval measured; an end left out does not bound.
struct PulseRange {
  std::optional<double> xmin, xmax;
};

// Everything the panel shows for one graph and range. The lists of transitions and pulses
// stop at kPulseReportRows items each (a noise record can hold millions of edges); the
// statistics and the marks cover every item.
inline constexpr std::size_t kPulseReportRows = 200000;

struct PulseReport {
  StateLevels levels;
  ReferenceLevels reference;
  std::vector<Transition> transitions;  // at most kPulseReportRows, in X order
  std::vector<Pulse> pulses;            // at most kPulseReportRows, in order
  std::size_t transitionCount = 0;      // all of them
  std::size_t pulseCount = 0;
  std::vector<double> mids;  // t_mid of every transition, ascending
  std::array<MetricSummary, kPulseMetricCount> statistics{};
  bool graphOrdered = false;  // the whole graph is finite with X never decreasing
};

// Measures the points of xs/ys in the range; throws Error with the data's message
// (too few points, decreasing X, a flat graph). The options must be usable. `graphOrdered`
// as for selectPulsePoints: a report's graphOrdered for the same points.
PulseReport measurePulseReport(std::span<const double> xs, std::span<const double> ys,
                               const PulseRange& range, const PulseOptions& options,
                               bool graphOrdered = false);

// The report as a table: a header line, then one line per transition, per pulse, per
// statistic and per level, the cells separated by tabs. Numbers are written with 17
// significant digits and `decimalSeparator`, `none` where a value is missing; a cell that
// does not apply to its row is empty.
std::vector<std::string> pulseReportColumns();
// The cells of one row of the table (row order: transitions, pulses, statistics of
// kPulseStatisticRows, levels of kPulseLevelRows).
inline constexpr std::size_t kPulseStatisticRows = 5;  // count, mean, std, min, max
inline constexpr std::size_t kPulseLevelRows = 6;      // low, high, amplitude, lower, mid, upper
std::size_t pulseReportRowCount(const PulseReport& report);
// `digits` significant digits (17 in the text; fewer for a narrow cell).
std::vector<std::string> pulseReportRow(const PulseReport& report, std::size_t row,
                                        char decimalSeparator, int digits = 17);
std::string pulseReportText(const PulseReport& report, char decimalSeparator);
// The first table column that holds `metric`.
std::size_t pulseReportMetricColumn(PulseMetric metric);
// The metric of table column `column`, or nullopt for the columns that are not one.
std::optional<PulseMetric> pulseReportColumnMetric(std::size_t column);

// The values of `metric` over the graph's range with their instants; throws Error for data
// that cannot be measured and for a metric without any value in the range.
MetricSeries measureMetricSeries(const Graph& graph, const PulseRange& range,
                                 const PulseOptions& options, PulseMetric metric);

inline constexpr int kMinHistogramClasses = 1;
inline constexpr int kMaxHistogramClasses = 10000;

// "Гистограмма: NAME (TITLE)" of graph `source`: `classes` classes over the metric's
// values, appended with the new-graph colour; the active graph stays as it was. Throws
// Error for data that cannot be measured (nothing appended).
void appendPulseHistogram(GraphStore& store, std::size_t source, const PulseRange& range,
                          const PulseOptions& options, PulseMetric metric, int classes);
// "Тренд: NAME (TITLE)": X = t_mid of each transition (the start of each pulse), Y = the
// metric, items without a value left out.
void appendPulseTrend(GraphStore& store, std::size_t source, const PulseRange& range,
                      const PulseOptions& options, PulseMetric metric);

}  // namespace tarvik
