#include "transforms/PulseStatistics.h"

#include <algorithm>
#include <cmath>

namespace tarvik {

std::string_view pulseMetricName(PulseMetric metric) {
  return kPulseMetricNames[static_cast<std::size_t>(metric)];
}

std::optional<PulseMetric> pulseMetricByName(std::string_view name) {
  for (std::size_t k = 0; k < kPulseMetricCount; ++k) {
    if (kPulseMetricNames[k] == name) {
      return static_cast<PulseMetric>(k);
    }
  }
  return std::nullopt;
}

bool isPulseMetric(PulseMetric metric) {
  return metric == PulseMetric::Width || metric == PulseMetric::Period ||
         metric == PulseMetric::Duty || metric == PulseMetric::Frequency;
}

std::optional<double> metricValue(const Transition& t, PulseMetric metric) {
  switch (metric) {
    case PulseMetric::Rise:
      return t.rise ? std::optional<double>(t.duration) : std::nullopt;
    case PulseMetric::Fall:
      return t.rise ? std::nullopt : std::optional<double>(t.duration);
    case PulseMetric::SlewRise:
      return t.rise ? t.slew : std::nullopt;
    case PulseMetric::SlewFall:
      return t.rise ? std::nullopt : t.slew;
    case PulseMetric::Overshoot:
      return t.overshoot;
    case PulseMetric::Undershoot:
      return t.undershoot;
    case PulseMetric::Preshoot:
      return t.preshoot;
    case PulseMetric::Settling:
      return t.settling;
    default:
      return std::nullopt;
  }
}

std::optional<double> metricValue(const Pulse& p, PulseMetric metric) {
  switch (metric) {
    case PulseMetric::Width:
      return p.width;
    case PulseMetric::Period:
      return p.period;
    case PulseMetric::Duty:
      return p.duty;
    case PulseMetric::Frequency:
      return p.frequency;
    default:
      return std::nullopt;
  }
}

void MetricAccumulator::add(double value) {
  ++m_count;
  m_sum += value;
  const long double delta = value - m_mean;
  m_mean += delta / static_cast<long double>(m_count);
  m_m2 += delta * (value - m_mean);
  if (m_count == 1) {
    m_min = m_max = value;
  } else {
    m_min = std::min(m_min, value);
    m_max = std::max(m_max, value);
  }
}

MetricSummary MetricAccumulator::summary() const {
  MetricSummary s;
  s.count = m_count;
  if (m_count == 0) {
    return s;
  }
  const auto n = static_cast<long double>(m_count);
  s.mean = static_cast<double>(m_sum / n);
  s.min = m_min;
  s.max = m_max;
  if (m_count >= 2) {
    s.stdDev = static_cast<double>(std::sqrt(std::max(0.0L, m_m2) / (n - 1)));
  }
  return s;
}

void PulseStatistics::transition(const Transition& t) {
  for (std::size_t k = 0; k < kPulseMetricCount; ++k) {
    if (const std::optional<double> v = metricValue(t, static_cast<PulseMetric>(k))) {
      m_metrics[k].add(*v);
    }
  }
}

void PulseStatistics::pulse(const Pulse& p) {
  for (std::size_t k = 0; k < kPulseMetricCount; ++k) {
    if (const std::optional<double> v = metricValue(p, static_cast<PulseMetric>(k))) {
      m_metrics[k].add(*v);
    }
  }
}

void MetricSeries::transition(const Transition& t) {
  if (const std::optional<double> v = metricValue(t, m_metric)) {
    m_instants.push_back(t.tMid);
    m_values.push_back(*v);
  }
}

void MetricSeries::pulse(const Pulse& p) {
  if (const std::optional<double> v = metricValue(p, m_metric)) {
    m_instants.push_back(p.start);
    m_values.push_back(*v);
  }
}

MetricHistogram metricHistogram(std::span<const double> values, int classes) {
  MetricHistogram h;
  if (values.empty()) {
    return h;
  }
  const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
  if (!(*lowest < *highest)) {
    h.centres.push_back(*lowest);
    h.counts.push_back(static_cast<double>(values.size()));
    return h;
  }
  const EqualBins bins(*lowest, *highest, classes);
  h.counts.assign(bins.count(), 0.0);
  for (double v : values) {
    h.counts[bins.bin(v)] += 1;
  }
  h.centres.resize(bins.count());
  for (std::size_t k = 0; k < bins.count(); ++k) {
    h.centres[k] = bins.centre(k);
  }
  return h;
}

}  // namespace tarvik
