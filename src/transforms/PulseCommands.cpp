#include "transforms/PulseCommands.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "core/Error.h"
#include "core/OutputLimits.h"
#include "core/Palette.h"

namespace tarvik {
namespace {

// The table's columns: what the row is, its number, a level's value, the instants of a
// transition and of a pulse, then one column per metric in the statistics' order.
enum Column : std::size_t {
  kKind,
  kNumber,
  kLevel,
  kLower,
  kMid,
  kUpper,
  kStart,
  kEnd,
  kFirstMetric
};
constexpr std::size_t kColumns = kFirstMetric + kPulseMetricCount;

constexpr const char* kStatisticNames[kPulseStatisticRows] = {"count", "mean", "std", "min", "max"};
constexpr const char* kLevelNames[kPulseLevelRows] = {"low",   "high", "amplitude",
                                                      "lower", "mid",  "upper"};

// The cells' digits: 17 (every double read back exactly) unless a narrow cell asks for fewer.
thread_local int t_digits = 17;

std::string number17(double value, char separator) {
  char text[40];
  std::snprintf(text, sizeof text, "%.*g", t_digits, value);
  std::string out = text;
  for (char& c : out) {
    c = c == '.' ? separator : c;
  }
  return out;
}

std::string numberOrNone(const std::optional<double>& value, char separator) {
  return value ? number17(*value, separator) : "none";
}

// Keeps the first kPulseReportRows transitions and pulses, every t_mid, and the
// statistics of all.
class ReportSink final : public PulseSink {
 public:
  explicit ReportSink(PulseReport& report) : m_report(report) {}
  void transition(const Transition& t) override {
    m_statistics.transition(t);
    ++m_report.transitionCount;
    m_report.mids.push_back(t.tMid);
    if (m_report.transitions.size() < kPulseReportRows) {
      m_report.transitions.push_back(t);
    }
  }
  void pulse(const Pulse& p) override {
    m_statistics.pulse(p);
    ++m_report.pulseCount;
    if (m_report.pulses.size() < kPulseReportRows) {
      m_report.pulses.push_back(p);
    }
  }
  void close() {
    for (std::size_t k = 0; k < kPulseMetricCount; ++k) {
      m_report.statistics[k] = m_statistics.summary(static_cast<PulseMetric>(k));
    }
  }

 private:
  PulseReport& m_report;
  PulseStatistics m_statistics;
};

std::vector<std::string> transitionRow(const Transition& t, std::size_t k, char sep) {
  std::vector<std::string> cells(kColumns);
  cells[kKind] = t.rise ? "rise" : "fall";
  cells[kNumber] = std::to_string(k + 1);
  cells[kLower] = number17(t.tLower, sep);
  cells[kMid] = number17(t.tMid, sep);
  cells[kUpper] = number17(t.tUpper, sep);
  for (std::size_t m = 0; m < kPulseMetricCount; ++m) {
    const auto metric = static_cast<PulseMetric>(m);
    if (isPulseMetric(metric)) {
      continue;
    }
    // A rise has no fall time nor falling slew, and the other way round: those cells stay
    // empty, while a missing value of the row's own metric reads `none`.
    const bool other = t.rise ? (metric == PulseMetric::Fall || metric == PulseMetric::SlewFall)
                              : (metric == PulseMetric::Rise || metric == PulseMetric::SlewRise);
    if (!other) {
      cells[kFirstMetric + m] = numberOrNone(metricValue(t, metric), sep);
    }
  }
  return cells;
}

std::vector<std::string> pulseRow(const Pulse& p, std::size_t k, char sep) {
  std::vector<std::string> cells(kColumns);
  cells[kKind] = p.positive ? "+" : "-";
  cells[kNumber] = std::to_string(k + 1);
  cells[kStart] = number17(p.start, sep);
  cells[kEnd] = number17(p.end, sep);
  for (std::size_t m = 0; m < kPulseMetricCount; ++m) {
    const auto metric = static_cast<PulseMetric>(m);
    if (isPulseMetric(metric)) {
      cells[kFirstMetric + m] = numberOrNone(metricValue(p, metric), sep);
    }
  }
  return cells;
}

std::vector<std::string> statisticRow(const PulseReport& r, std::size_t s, char sep) {
  std::vector<std::string> cells(kColumns);
  cells[kKind] = kStatisticNames[s];
  for (std::size_t m = 0; m < kPulseMetricCount; ++m) {
    const MetricSummary& summary = r.statistics[m];
    const std::optional<double> values[] = {std::nullopt, summary.mean, summary.stdDev, summary.min,
                                            summary.max};
    cells[kFirstMetric + m] = s == 0 ? std::to_string(summary.count) : numberOrNone(values[s], sep);
  }
  return cells;
}

std::vector<std::string> levelRow(const PulseReport& r, std::size_t l, char sep) {
  std::vector<std::string> cells(kColumns);
  cells[kKind] = kLevelNames[l];
  const double values[] = {r.levels.low,      r.levels.high,   r.levels.amplitude,
                           r.reference.lower, r.reference.mid, r.reference.upper};
  cells[kLevel] = number17(values[l], sep);
  return cells;
}

}  // namespace

PulseReport measurePulseReport(std::span<const double> xs, std::span<const double> ys,
                               const PulseRange& range, const PulseOptions& options,
                               bool graphOrdered) {
  const PulseSetup setup =
      preparePulseMeasurement(xs, ys, range.xmin, range.xmax, options, graphOrdered);
  if (setup.error) {
    throw Error(*setup.error);
  }
  PulseReport report;
  report.graphOrdered = setup.points.graphOrdered();
  report.levels = setup.levels;
  report.reference = setup.reference;
  ReportSink sink(report);
  walkTransitions(setup.points, setup.levels, setup.reference, options, sink);
  sink.close();
  return report;
}

std::vector<std::string> pulseReportColumns() {
  std::vector<std::string> names = {"",      "k",       "уровень", "t_lower",
                                    "t_mid", "t_upper", "start",   "end"};
  for (std::string_view metric : kPulseMetricNames) {
    names.emplace_back(metric);
  }
  return names;
}

std::size_t pulseReportRowCount(const PulseReport& r) {
  return r.transitions.size() + r.pulses.size() + kPulseStatisticRows + kPulseLevelRows;
}

std::vector<std::string> pulseReportRow(const PulseReport& r, std::size_t row, char sep,
                                        int digits) {
  struct Digits {
    explicit Digits(int d) : saved(t_digits) { t_digits = std::clamp(d, 1, 17); }
    ~Digits() { t_digits = saved; }
    int saved;
  } scoped(digits);
  if (row < r.transitions.size()) {
    return transitionRow(r.transitions[row], row, sep);
  }
  row -= r.transitions.size();
  if (row < r.pulses.size()) {
    return pulseRow(r.pulses[row], row, sep);
  }
  row -= r.pulses.size();
  if (row < kPulseStatisticRows) {
    return statisticRow(r, row, sep);
  }
  row -= kPulseStatisticRows;
  return row < kPulseLevelRows ? levelRow(r, row, sep) : std::vector<std::string>(kColumns);
}

std::string pulseReportText(const PulseReport& r, char sep) {
  std::string text;
  const auto line = [&text](const std::vector<std::string>& cells) {
    for (std::size_t c = 0; c < cells.size(); ++c) {
      text += cells[c];
      text += c + 1 < cells.size() ? '\t' : '\n';
    }
  };
  line(pulseReportColumns());
  for (std::size_t row = 0; row < pulseReportRowCount(r); ++row) {
    line(pulseReportRow(r, row, sep));
  }
  return text;
}

std::size_t pulseReportMetricColumn(PulseMetric metric) {
  return kFirstMetric + static_cast<std::size_t>(metric);
}

std::optional<PulseMetric> pulseReportColumnMetric(std::size_t column) {
  if (column < kFirstMetric || column >= kColumns) {
    return std::nullopt;
  }
  return static_cast<PulseMetric>(column - kFirstMetric);
}

MetricSeries measureMetricSeries(const Graph& graph, const PulseRange& range,
                                 const PulseOptions& options, PulseMetric metric) {
  const PulseSetup setup =
      preparePulseMeasurement(graph.xs(), graph.ys(), range.xmin, range.xmax, options);
  if (setup.error) {
    throw Error(*setup.error);
  }
  MetricSeries values(metric);
  walkTransitions(setup.points, setup.levels, setup.reference, options, values);
  if (values.values().empty()) {
    throw Error("Нет ни одного значения " + std::string(pulseMetricName(metric)) + " в диапазоне");
  }
  return values;
}

namespace {

// Appends a result graph as direct creation does: the new-graph colour, an unnamed entry,
// the active graph left as it was.
void appendResult(GraphStore& store, std::string title, std::vector<double> xs,
                  std::vector<double> ys) {
  Graph result;
  result.colour = newGraphColour(store.count());
  result.title = std::move(title);
  result.setPoints(std::move(xs), std::move(ys));
  store.attachGraph(std::move(result), store.takeUnnamedEntry());
  store.chart().legendRelayout();
  store.chart().refreshMenus();
  store.chart().redraw();
}

}  // namespace

void appendPulseHistogram(GraphStore& store, std::size_t source, const PulseRange& range,
                          const PulseOptions& options, PulseMetric metric, int classes) {
  const Graph& graph = store.graph(source);
  const MetricSeries values = measureMetricSeries(graph, range, options, metric);
  MetricHistogram h = metricHistogram(values.values(), classes);
  appendResult(store,
               "Гистограмма: " + std::string(pulseMetricName(metric)) + " (" + graph.title + ")",
               std::move(h.centres), std::move(h.counts));
}

void appendPulseTrend(GraphStore& store, std::size_t source, const PulseRange& range,
                      const PulseOptions& options, PulseMetric metric) {
  const Graph& graph = store.graph(source);
  const MetricSeries values = measureMetricSeries(graph, range, options, metric);
  if (values.values().size() > kMaxGraphPoints) {
    throw Error(kTooManyPoints);
  }
  appendResult(store, "Тренд: " + std::string(pulseMetricName(metric)) + " (" + graph.title + ")",
               values.instants(), values.values());
}

}  // namespace tarvik
