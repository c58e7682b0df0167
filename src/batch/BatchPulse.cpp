// Batch commands of the measurement of every pulse: state levels, the table of transitions,
// the table of pulses, their statistics, and a histogram or a trend of one metric appended
// as a graph. The level and reference fields persist within a run like the fields of one
// dialog; graph=, xmin=, xmax=, metric= and classes= hold for one command.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "batch/BatchSession.h"
#include "core/Error.h"
#include "transforms/PulseCommands.h"

namespace tarvik::batch {
namespace {

const std::vector<std::string> kLevelArgs = {"graph", "xmin", "xmax", "levels",
                                             "low",   "high", "bins"};
const std::vector<std::string> kTransitionArgs = {"lower", "mid", "upper", "region", "tolerance"};

std::vector<std::string> joined(std::vector<std::string> names,
                                const std::vector<std::string>& more) {
  names.insert(names.end(), more.begin(), more.end());
  return names;
}

std::string number17(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string numberOrNone(const std::optional<double>& value) {
  return value ? number17(*value) : "none";
}

const std::pair<const char*, StateLevelMethod> kLevelMethods[] = {
    {"histogram", StateLevelMethod::Histogram},
    {"histogram-mean", StateLevelMethod::HistogramMean},
    {"minmax", StateLevelMethod::MinMax},
    {"manual", StateLevelMethod::Manual}};
const std::pair<const char*, PulsePolarityChoice> kPolarities[] = {
    {"auto", PulsePolarityChoice::Auto},
    {"positive", PulsePolarityChoice::Positive},
    {"negative", PulsePolarityChoice::Negative}};

template <class T, std::size_t N>
T namedChoice(const BatchArgs& a, const std::string& name,
              const std::pair<const char*, T> (&table)[N]) {
  const std::string text = a.get(name).value_or(std::string());
  std::string names;
  for (const auto& [word, value] : table) {
    if (text == word) {
      return value;
    }
    names += names.empty() ? word : std::string("|") + word;
  }
  throw UsageError(a.command + ": " + name + "= takes " + names + ", not \"" + text + "\"");
}

// The shared fields given to this command, into the run's persistent copy once they are
// all usable.
PulseOptions& readFields(BatchSession& s, const BatchArgs& a) {
  PulseOptions& kept = s.dialog<PulseOptions>();
  PulseOptions o = kept;
  if (a.has("levels")) {
    o.levels = namedChoice(a, "levels", kLevelMethods);
  }
  if (a.has("bins")) {
    o.bins = integerArg(a, "bins");
  }
  const auto number = [&](const char* name, auto& field) {
    if (a.has(name)) {
      field = numberArg(s, a, name);
    }
  };
  number("low", o.manualLow);
  number("high", o.manualHigh);
  number("lower", o.lowerPercent);
  number("mid", o.midPercent);
  number("upper", o.upperPercent);
  number("region", o.regionFactor);
  number("tolerance", o.tolerancePercent);
  if (a.has("polarity")) {
    o.polarity = namedChoice(a, "polarity", kPolarities);
  }
  if (const std::optional<std::string> refusal = pulseOptionsRefusal(o)) {
    throw UsageError(a.command + ": " + *refusal);
  }
  kept = o;
  return kept;
}

PulseMetric metricField(const BatchArgs& a) {
  const std::optional<std::string> name = a.get("metric");
  if (!name) {
    throw UsageError(a.command + ": the argument metric= is required");
  }
  const std::optional<PulseMetric> metric = pulseMetricByName(*name);
  if (!metric) {
    std::string names;
    for (std::string_view known : kPulseMetricNames) {
      names += (names.empty() ? "" : "|") + std::string(known);
    }
    throw UsageError(a.command + ": metric= takes " + names + ", not \"" + *name + "\"");
  }
  return *metric;
}

// The measured graph: graph= (which leaves the active graph as it is) or the active one;
// nullptr when there is none.
const Graph* measuredGraph(BatchSession& s, const BatchArgs& a) {
  if (const auto graph = a.get("graph")) {
    const std::vector<int> rows = s.parseGraphList(*graph);
    if (rows.size() != 1) {
      throw UsageError(a.command + ": graph= takes one graph number");
    }
    return &s.store.graph(static_cast<std::size_t>(rows.front()));
  }
  const int active = s.store.activeIndex();
  if (active < 0 || static_cast<std::size_t>(active) >= s.store.count()) {
    return nullptr;
  }
  return &s.store.graph(static_cast<std::size_t>(active));
}

std::optional<double> optionalNumber(const BatchSession& s, const BatchArgs& a, const char* name) {
  return a.has(name) ? std::optional<double>(numberArg(s, a, name)) : std::nullopt;
}

// Reads the fields and prepares the measurement of the measured graph over its range;
// nullopt without a graph. Data that cannot be measured ends the command with its message.
std::optional<PulseSetup> prepare(BatchSession& s, const BatchArgs& a, const Graph*& graph,
                                  const PulseOptions*& options) {
  options = &readFields(s, a);
  const std::optional<double> xmin = optionalNumber(s, a, "xmin");
  const std::optional<double> xmax = optionalNumber(s, a, "xmax");
  graph = measuredGraph(s, a);
  if (graph == nullptr) {
    return std::nullopt;
  }
  PulseSetup setup = preparePulseMeasurement(graph->xs(), graph->ys(), xmin, xmax, *options);
  if (setup.error) {
    throw Error(*setup.error);
  }
  return setup;
}

void runLevels(BatchSession& s, const BatchArgs& a) {
  const Graph* graph = nullptr;
  const PulseOptions* options = nullptr;
  const std::optional<PulseSetup> setup = prepare(s, a, graph, options);
  if (!setup) {
    return;
  }
  s.out << "low\t" << number17(setup->levels.low) << "\nhigh\t" << number17(setup->levels.high)
        << "\namplitude\t" << number17(setup->levels.amplitude) << '\n';
}

class TransitionPrinter final : public PulseSink {
 public:
  explicit TransitionPrinter(std::ostream& out) : m_out(out) {}
  void transition(const Transition& t) override {
    m_out << ++m_count << '\t' << (t.rise ? "rise" : "fall") << '\t' << number17(t.tLower) << '\t'
          << number17(t.tMid) << '\t' << number17(t.tUpper) << '\t' << number17(t.duration) << '\t'
          << numberOrNone(t.slew) << '\t' << numberOrNone(t.overshoot) << '\t'
          << numberOrNone(t.undershoot) << '\t' << numberOrNone(t.preshoot) << '\t'
          << numberOrNone(t.settling) << '\n';
  }

 private:
  std::ostream& m_out;
  std::size_t m_count = 0;
};

class PulsePrinter final : public PulseSink {
 public:
  explicit PulsePrinter(std::ostream& out) : m_out(out) {}
  void pulse(const Pulse& p) override {
    m_out << ++m_count << '\t' << (p.positive ? "+" : "-") << '\t' << number17(p.start) << '\t'
          << number17(p.end) << '\t' << number17(p.width) << '\t' << numberOrNone(p.period) << '\t'
          << numberOrNone(p.duty) << '\t' << numberOrNone(p.frequency) << '\n';
  }

 private:
  std::ostream& m_out;
  std::size_t m_count = 0;
};

template <class Sink>
void runWalk(BatchSession& s, const BatchArgs& a) {
  const Graph* graph = nullptr;
  const PulseOptions* options = nullptr;
  const std::optional<PulseSetup> setup = prepare(s, a, graph, options);
  if (!setup) {
    return;
  }
  Sink sink(s.out);
  walkTransitions(setup->points, setup->levels, setup->reference, *options, sink);
}

void runPulseStats(BatchSession& s, const BatchArgs& a) {
  const Graph* graph = nullptr;
  const PulseOptions* options = nullptr;
  const std::optional<PulseSetup> setup = prepare(s, a, graph, options);
  if (!setup) {
    return;
  }
  PulseStatistics stats;
  walkTransitions(setup->points, setup->levels, setup->reference, *options, stats);
  for (std::size_t k = 0; k < kPulseMetricCount; ++k) {
    const MetricSummary m = stats.summary(static_cast<PulseMetric>(k));
    s.out << kPulseMetricNames[k] << '\t' << m.count << '\t' << numberOrNone(m.mean) << '\t'
          << numberOrNone(m.stdDev) << '\t' << numberOrNone(m.min) << '\t' << numberOrNone(m.max)
          << '\n';
  }
}

// The measured graph's store index and the range of the command; nullopt without a graph.
std::optional<std::size_t> metricSource(BatchSession& s, const BatchArgs& a,
                                        const PulseOptions*& options, PulseRange& range) {
  options = &readFields(s, a);
  range = {optionalNumber(s, a, "xmin"), optionalNumber(s, a, "xmax")};
  const Graph* graph = measuredGraph(s, a);
  if (graph == nullptr) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < s.store.count(); ++i) {
    if (&s.store.graph(i) == graph) {
      return i;
    }
  }
  return std::nullopt;
}

void runHistogram(BatchSession& s, const BatchArgs& a) {
  const PulseMetric metric = metricField(a);
  int classes = 20;
  if (a.has("classes")) {
    classes = integerArg(a, "classes");
    if (classes < kMinHistogramClasses || classes > kMaxHistogramClasses) {
      throw UsageError("histogram: classes= takes 1 to 10000, not " + std::to_string(classes));
    }
  }
  const PulseOptions* options = nullptr;
  PulseRange range;
  if (const std::optional<std::size_t> source = metricSource(s, a, options, range)) {
    appendPulseHistogram(s.store, *source, range, *options, metric, classes);
  }
}

void runTrend(BatchSession& s, const BatchArgs& a) {
  const PulseMetric metric = metricField(a);
  const PulseOptions* options = nullptr;
  PulseRange range;
  if (const std::optional<std::size_t> source = metricSource(s, a, options, range)) {
    appendPulseTrend(s.store, *source, range, *options, metric);
  }
}

}  // namespace

void registerPulseCommands(BatchRegistry& registry) {
  const std::string range = " [graph=N] [xmin=X] [xmax=X]";
  const std::string levels =
      " [levels=histogram|histogram-mean|minmax|manual] [low=V high=V] [bins=B]";
  const std::string references = " [lower=P mid=P upper=P] [region=F] [tolerance=P]";
  const std::string polarity = " [polarity=auto|positive|negative]";
  const std::vector<std::string> walkArgs = joined(kLevelArgs, kTransitionArgs);
  const std::vector<std::string> pulseArgs = joined(walkArgs, {"polarity"});
  registry.add({"levels", "levels" + range + levels, kLevelArgs, runLevels});
  registry.add({"transitions", "transitions" + range + levels + references, walkArgs,
                runWalk<TransitionPrinter>});
  registry.add({"pulses", "pulses" + range + levels + references + polarity, pulseArgs,
                runWalk<PulsePrinter>});
  registry.add({"pulse-stats", "pulse-stats" + range + levels + references + polarity, pulseArgs,
                runPulseStats});
  registry.add({"histogram",
                "histogram metric=NAME [classes=N]" + range + levels + references + polarity,
                joined(pulseArgs, {"metric", "classes"}), runHistogram});
  registry.add({"trend", "trend metric=NAME" + range + levels + references + polarity,
                joined(pulseArgs, {"metric"}), runTrend});
}

}  // namespace tarvik::batch
