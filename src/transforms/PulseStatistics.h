#pragma once
// The metrics of transitions and pulses, their statistics (count, mean, sample standard
// deviation, min, max, sums in long double), and the values of one metric for a histogram
// or a trend. An item without a value of a metric (`none`) does not count for it.
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "transforms/PulseTransitions.h"

namespace tarvik {

// In the order the statistics list them.
enum class PulseMetric {
  Rise,
  Fall,
  SlewRise,
  SlewFall,
  Overshoot,
  Undershoot,
  Preshoot,
  Settling,
  Width,
  Period,
  Duty,
  Frequency,
};

inline constexpr std::size_t kPulseMetricCount = 12;
inline constexpr std::array<std::string_view, kPulseMetricCount> kPulseMetricNames = {
    "rise",     "fall",     "slew-rise", "slew-fall", "overshoot", "undershoot",
    "preshoot", "settling", "width",     "period",    "duty",      "frequency"};

std::string_view pulseMetricName(PulseMetric metric);
std::optional<PulseMetric> pulseMetricByName(std::string_view name);
// Width, period, duty and frequency belong to pulses; the others to transitions.
bool isPulseMetric(PulseMetric metric);

// The metric's value of a transition (rise and slew-rise only for rises, fall and
// slew-fall only for falls) or of a pulse; nullopt where it has none.
std::optional<double> metricValue(const Transition& t, PulseMetric metric);
std::optional<double> metricValue(const Pulse& p, PulseMetric metric);

struct MetricSummary {
  std::size_t count = 0;
  std::optional<double> mean, stdDev, min, max;  // stdDev needs 2 values; the others 1
};

// Running count, mean (a long double sum), sample variance (Welford's update in long
// double, which does not cancel when the spread is small beside the mean), min and max.
class MetricAccumulator {
 public:
  void add(double value);
  MetricSummary summary() const;

 private:
  std::size_t m_count = 0;
  long double m_sum = 0;
  long double m_mean = 0;
  long double m_m2 = 0;
  double m_min = 0, m_max = 0;
};

// The statistics of every metric over a walk.
class PulseStatistics final : public PulseSink {
 public:
  void transition(const Transition& t) override;
  void pulse(const Pulse& p) override;
  MetricSummary summary(PulseMetric metric) const {
    return m_metrics[static_cast<std::size_t>(metric)].summary();
  }

 private:
  std::array<MetricAccumulator, kPulseMetricCount> m_metrics;
};

// The values of one metric with their instants (t_mid of a transition, the start of a
// pulse), items without a value left out.
class MetricSeries final : public PulseSink {
 public:
  explicit MetricSeries(PulseMetric metric) : m_metric(metric) {}
  void transition(const Transition& t) override;
  void pulse(const Pulse& p) override;
  const std::vector<double>& instants() const { return m_instants; }
  const std::vector<double>& values() const { return m_values; }

 private:
  PulseMetric m_metric;
  std::vector<double> m_instants, m_values;
};

struct MetricHistogram {
  std::vector<double> centres;  // X: class centres
  std::vector<double> counts;   // Y: values per class (0 for an empty class)
};

// `classes` classes of equal width over [min, max] of the values (a value's class is
// min(N − 1, ⌊(v − min)/width⌋)); all values equal: one class at that value. Empty values:
// empty histogram. classes ≥ 1.
MetricHistogram metricHistogram(std::span<const double> values, int classes);

}  // namespace tarvik
