// The measurement of every pulse: state levels, transitions, aberrations, settling, pulses
// and statistics, on signals whose answers are known in closed form, on the edge cases of
// the definitions, and against a plain reference written here from the definitions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "transforms/PulseStatistics.h"

namespace tarvik {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Signal {
  std::vector<double> xs, ys;
  void add(double x, double y) {
    xs.push_back(x);
    ys.push_back(y);
  }
};

// Collects everything a walk reports.
struct Collected final : PulseSink {
  std::vector<Transition> transitions;
  std::vector<Pulse> pulses;
  void transition(const Transition& t) override { transitions.push_back(t); }
  void pulse(const Pulse& p) override { pulses.push_back(p); }
};

struct Measured {
  PulseSetup setup;
  Collected found;
};

Measured measure(const Signal& s, const PulseOptions& o = {},
                 std::optional<double> xmin = std::nullopt,
                 std::optional<double> xmax = std::nullopt) {
  Measured m;
  EXPECT_EQ(pulseOptionsRefusal(o), std::nullopt);
  m.setup = preparePulseMeasurement(s.xs, s.ys, xmin, xmax, o);
  if (!m.setup.error) {
    walkTransitions(m.setup.points, m.setup.levels, m.setup.reference, o, m.found);
  }
  return m;
}

// A trapezoid train: `low` for `flat`, a linear edge of `edge`, `high` for `flat`, a linear
// edge back, repeated `pulses` times and closed by a last low stretch; sampled every `step`.
Signal trapezoids(int pulses, double low, double high, double edge, double flat, double step) {
  const double period = 2 * (edge + flat);
  const double total = pulses * period + flat;
  Signal s;
  const auto count = static_cast<int>(std::lround(total / step));
  for (int i = 0; i <= count; ++i) {
    const double t = i * step;
    const double p = std::fmod(t, period);
    double u = 0;  // 0 at low, 1 at high
    if (t >= pulses * period || p < flat) {
      u = 0;
    } else if (p < flat + edge) {
      u = (p - flat) / edge;
    } else if (p < 2 * flat + edge) {
      u = 1;
    } else {
      u = 1 - (p - 2 * flat - edge) / edge;
    }
    s.add(t, low + u * (high - low));
  }
  return s;
}

TEST(PulseStats, TrapezoidTrainGivesExactEdgesWidthsAndPeriodsUnderHistogramLevels) {
  // Edges of 8, flats of 17, period 50; sampled every 0.25 so that the 10 % and 90 %
  // crossings fall between samples on the straight edges.
  const double low = -0.5, high = 2.5, edge = 8, flat = 17, period = 50;
  const Measured m = measure(trapezoids(6, low, high, edge, flat, 0.25));
  ASSERT_FALSE(m.setup.error) << *m.setup.error;
  EXPECT_DOUBLE_EQ(m.setup.levels.low, low);
  EXPECT_DOUBLE_EQ(m.setup.levels.high, high);
  ASSERT_EQ(m.found.transitions.size(), 12u);
  for (std::size_t k = 0; k < m.found.transitions.size(); ++k) {
    SCOPED_TRACE(k);
    const Transition& t = m.found.transitions[k];
    EXPECT_EQ(t.rise, k % 2 == 0);
    const double edgeStart = flat + double(k / 2) * period + (k % 2 == 0 ? 0 : edge + flat);
    EXPECT_NEAR(t.tMid, edgeStart + edge / 2, 1e-12);
    EXPECT_NEAR(t.duration, 0.8 * edge, 1e-12);
    ASSERT_TRUE(t.slew);
    EXPECT_NEAR(*t.slew, (t.rise ? 1 : -1) * (high - low) / edge, 1e-12);
    EXPECT_NEAR(*t.overshoot, 0, 1e-12);
    EXPECT_NEAR(*t.preshoot, 0, 1e-12);
    // The post region runs to the start of the next edge (its U or L crossing), so it ends
    // on three samples of that edge, the last 3/32 of the amplitude into it.
    EXPECT_NEAR(*t.undershoot, k == 11 ? 0 : 100 * 0.75 / edge, 1e-9);
    // Inside the ±2 % band from 98 % of the edge on.
    EXPECT_NEAR(*t.settling, 0.98 * edge - edge / 2, 1e-9);
  }
  ASSERT_EQ(m.found.pulses.size(), 6u);
  for (std::size_t k = 0; k < m.found.pulses.size(); ++k) {
    const Pulse& p = m.found.pulses[k];
    EXPECT_TRUE(p.positive);
    EXPECT_NEAR(p.width, edge + flat, 1e-12);
    if (k + 1 < m.found.pulses.size()) {
      ASSERT_TRUE(p.period);
      EXPECT_NEAR(*p.period, period, 1e-12);
      EXPECT_NEAR(*p.duty, (edge + flat) / period, 1e-12);
      EXPECT_NEAR(*p.frequency, 1 / period, 1e-15);
    } else {
      EXPECT_FALSE(p.period);
      EXPECT_FALSE(p.duty);
      EXPECT_FALSE(p.frequency);
    }
  }
}

TEST(PulseStats, ExponentialEdgesRiseInTauLnNine) {
  // 1 − e^(−t/τ) edges that settle for 25 τ, then fall as e^(−t/τ), sampled at τ/200.
  const double tau = 3;
  Signal s;
  const double step = tau / 200, hold = 25 * tau;
  for (int i = 0; i * step <= 4 * hold; ++i) {
    const double t = i * step;
    double y = 0;
    if (t >= hold && t < 2 * hold) {
      y = 1 - std::exp(-(t - hold) / tau);
    } else if (t >= 2 * hold && t < 3 * hold) {
      y = (1 - std::exp(-hold / tau)) * std::exp(-(t - 2 * hold) / tau);
    }
    s.add(t, 2 * y - 1);  // from −1 to +1
  }
  PulseOptions minmax;
  minmax.levels = StateLevelMethod::MinMax;
  PulseOptions manual;
  manual.levels = StateLevelMethod::Manual;
  manual.manualLow = -1;
  manual.manualHigh = 1;
  for (const PulseOptions& o : {minmax, manual}) {
    const Measured m = measure(s, o);
    ASSERT_EQ(m.found.transitions.size(), 2u);
    for (const Transition& t : m.found.transitions) {
      EXPECT_NEAR(t.duration, tau * std::log(9.0), 0.005 * tau * std::log(9.0));
    }
    // The 50 % crossing of a rise from 0 is at τ·ln 2.
    EXPECT_NEAR(m.found.transitions[0].tMid, hold + tau * std::log(2.0), 1e-3 * tau);
  }
}

// A step from 0 to 1 on a straight 10-sample ramp, with a dip to −0.05 before it, a peak
// of 1.15 after it, then a dip to 0.95 and a long flat top.
Signal stepWithAberrations() {
  Signal s;
  for (int x = 0; x <= 300; ++x) {
    double y = x < 100 ? 0.0 : x <= 110 ? (x - 100) / 10.0 : 1.0;
    y = x == 97 ? -0.05 : x == 111 ? 1.15 : x == 113 ? 0.95 : y;
    s.add(x, y);
  }
  return s;
}

TEST(PulseStats, StepWithKnownOvershootUndershootPreshootAndSettling) {
  const Measured m = measure(stepWithAberrations());
  ASSERT_EQ(m.found.transitions.size(), 1u);
  const Transition& t = m.found.transitions[0];
  EXPECT_DOUBLE_EQ(m.setup.levels.low, 0);
  EXPECT_DOUBLE_EQ(m.setup.levels.high, 1);
  EXPECT_NEAR(t.tLower, 101, 1e-12);
  EXPECT_NEAR(t.tMid, 105, 1e-12);
  EXPECT_NEAR(t.tUpper, 109, 1e-12);
  EXPECT_NEAR(*t.overshoot, 15, 1e-9);
  EXPECT_NEAR(*t.undershoot, 5, 1e-9);
  EXPECT_NEAR(*t.preshoot, 5, 1e-9);
  // Last outside the ±2 % band at 113 (0.95), back at 0.98 in (113, 114): 113.6 − 105.
  EXPECT_NEAR(*t.settling, 8.6, 1e-9);
  EXPECT_TRUE(m.found.pulses.empty());

  // A region of 0.4 durations (3.2) reaches neither the dip at 97 nor the one at 113.
  PulseOptions narrow;
  narrow.regionFactor = 0.4;
  const Measured narrowed = measure(stepWithAberrations(), narrow);
  const Transition& n = narrowed.found.transitions.at(0);
  EXPECT_NEAR(*n.overshoot, 15, 1e-9);
  EXPECT_NEAR(*n.undershoot, 0, 1e-12);
  EXPECT_NEAR(*n.preshoot, 0, 1e-12);
  // A wide band (20 %) holds every point after the edge: settled at t_upper.
  PulseOptions wide;
  wide.tolerancePercent = 20;
  EXPECT_NEAR(*measure(stepWithAberrations(), wide).found.transitions.at(0).settling, 4, 1e-12);
}

TEST(PulseStats, HistogramLevelsTakeTheMedianOfTheModalBinWithTheTieRules) {
  // B = 4 over [0, 4], w = 1: two values in each bin, so both halves tie; the low state
  // takes bin 0, the high state bin 3 (4 itself is in the last bin).
  Signal ties;
  for (double y : {2.6, 0.5, 1.1, 3.5, 0.0, 1.5, 2.2, 4.0}) {
    ties.add(double(ties.xs.size()), y);
  }
  PulseOptions o;
  o.bins = 4;
  StateLevels l = measure(ties, o).setup.levels;
  EXPECT_DOUBLE_EQ(l.low, 0.25);
  EXPECT_DOUBLE_EQ(l.high, 3.75);
  EXPECT_DOUBLE_EQ(l.amplitude, 3.5);
  o.levels = StateLevelMethod::HistogramMean;
  l = measure(ties, o).setup.levels;
  EXPECT_DOUBLE_EQ(l.low, (0.0 + 0.5 + 1.1 + 1.5) / 4);
  EXPECT_DOUBLE_EQ(l.high, (2.2 + 2.6 + 3.5 + 4.0) / 4);

  // B = 5 over [0, 5]: the lower half is bins 0 and 1, the upper half 2 … 4. The most
  // values win over the outer edge: bin 1 (median 1.5) and bin 2 (median 2.5).
  Signal modal;
  for (double y : {0.0, 1.2, 1.5, 1.9, 2.1, 2.5, 2.9, 4.5, 5.0}) {
    modal.add(double(modal.xs.size()), y);
  }
  o = {};
  o.bins = 5;
  l = measure(modal, o).setup.levels;
  EXPECT_DOUBLE_EQ(l.low, 1.5);
  EXPECT_DOUBLE_EQ(l.high, 2.5);
  // A value on a bin edge by the decimal reading: 0.3/0.1 is just below 3, so 0.3 is in
  // bin 2 at B = 10 over [0, 1] (0.3 × 10 rounds to 3). Bin 2 then holds six values.
  Signal edge;
  for (double y : {0.0, 0.3, 0.3, 0.3, 0.21, 0.21, 0.21, 0.35, 0.35, 0.35, 0.35, 1.0}) {
    edge.add(double(edge.xs.size()), y);
  }
  PulseOptions ten;
  ten.bins = 10;
  EXPECT_DOUBLE_EQ(measure(edge, ten).setup.levels.low, (0.21 + 0.3) / 2);

  o.levels = StateLevelMethod::MinMax;
  l = measure(modal, o).setup.levels;
  EXPECT_DOUBLE_EQ(l.low, 0);
  EXPECT_DOUBLE_EQ(l.high, 5);
}

TEST(PulseStats, ReferenceLevelsAndHysteresis) {
  // Wobbles between 20 % and 80 % never cross L = 10 % or U = 90 %: one rise, one fall.
  Signal s;
  for (double y : {0.0, 0.0, 0.5, 1.0, 0.2, 0.8, 0.15, 0.85, 1.0, 1.0, 0.5, 0.0, 0.0}) {
    s.add(double(s.xs.size()), y);
  }
  Measured m = measure(s);
  EXPECT_DOUBLE_EQ(m.setup.reference.lower, 0.1);
  EXPECT_DOUBLE_EQ(m.setup.reference.mid, 0.5);
  EXPECT_DOUBLE_EQ(m.setup.reference.upper, 0.9);
  ASSERT_EQ(m.found.transitions.size(), 2u);
  // The rise: last point ≤ L is 1 (y 0), done at 3 (y 1); the fall: last ≥ U is 9, done at
  // 11. A point exactly at M does not pass it: the rise passes M in (1, 2), the fall in
  // (9, 10).
  EXPECT_NEAR(m.found.transitions[0].tLower, 2 - 0.8, 1e-12);
  EXPECT_NEAR(m.found.transitions[0].tMid, 2, 1e-12);
  EXPECT_NEAR(m.found.transitions[0].tUpper, 2.8, 1e-12);
  EXPECT_NEAR(m.found.transitions[1].tUpper, 9.2, 1e-12);
  EXPECT_NEAR(m.found.transitions[1].tMid, 10, 1e-12);
  EXPECT_NEAR(m.found.transitions[1].tLower, 10.8, 1e-12);
  // Narrower reference levels see the wobbles as edges: 20/50/80 % with y ≤ 0.2 and ≥ 0.8.
  PulseOptions o;
  o.lowerPercent = 20;
  o.upperPercent = 80;
  m = measure(s, o);
  ASSERT_EQ(m.found.transitions.size(), 6u);
  // t_mid of the rise 4 → 5 is the last segment passing M upward between j = 4 and i = 5.
  EXPECT_NEAR(m.found.transitions[2].tMid, 4.5, 1e-12);
  EXPECT_TRUE(m.found.transitions[2].rise);
}

TEST(PulseStats, PulsePolarity) {
  const Signal s = trapezoids(3, 0, 1, 2, 8, 0.5);
  PulseOptions o;
  ASSERT_EQ(measure(s, o).found.pulses.size(), 3u);
  EXPECT_TRUE(measure(s, o).found.pulses[0].positive);
  o.polarity = PulsePolarityChoice::Negative;  // fall → next rise: only two of them
  const Collected negative = measure(s, o).found;
  ASSERT_EQ(negative.pulses.size(), 2u);
  EXPECT_FALSE(negative.pulses[0].positive);
  EXPECT_NEAR(negative.pulses[0].width, 2 + 8, 1e-12);  // the low stretch with one edge
  EXPECT_NEAR(*negative.pulses[0].period, 20, 1e-12);
  // Starting from the high state, auto takes the fall first.
  Signal inverted = s;
  for (double& y : inverted.ys) {
    y = 1 - y;
  }
  const Collected autoInverted = measure(inverted).found;
  ASSERT_EQ(autoInverted.pulses.size(), 3u);
  EXPECT_FALSE(autoInverted.pulses[0].positive);
}

TEST(PulseStats, RangeAndNonFinitePoints) {
  Signal s = trapezoids(4, 0, 1, 2, 8, 0.5);
  const Measured whole = measure(s);
  // NaN and infinities are skipped: the same transitions as without them.
  Signal holes;
  for (std::size_t i = 0; i < s.xs.size(); ++i) {
    holes.add(s.xs[i], s.ys[i]);
    if (i % 7 == 3) {
      holes.add(kNaN, 1);
      holes.add(s.xs[i], std::numeric_limits<double>::infinity());
    }
  }
  const Measured skipped = measure(holes);
  ASSERT_EQ(skipped.found.transitions.size(), whole.found.transitions.size());
  for (std::size_t k = 0; k < whole.found.transitions.size(); ++k) {
    EXPECT_EQ(skipped.found.transitions[k].tMid, whole.found.transitions[k].tMid);
    EXPECT_EQ(skipped.found.transitions[k].settling, whole.found.transitions[k].settling);
  }
  // A range over the second pulse only (both ends included).
  const Measured part = measure(s, {}, 20, 40);
  EXPECT_EQ(part.setup.points.xs().front(), 20);
  EXPECT_EQ(part.setup.points.xs().back(), 40);
  ASSERT_EQ(part.found.pulses.size(), 1u);
  EXPECT_NEAR(part.found.pulses[0].start, 29, 1e-12);
}

TEST(PulseStats, DataTheMeasurementIsNotDefinedOn) {
  const PulseOptions o;
  Signal two;
  two.add(0, 0);
  two.add(1, 1);
  two.add(kNaN, 2);
  EXPECT_EQ(preparePulseMeasurement(two.xs, two.ys, {}, {}, o).error, kPulseTooFewPoints);
  Signal decreasing;
  for (double x : {0.0, 1.0, 3.0, 2.0, 4.0}) {
    decreasing.add(x, x);
  }
  EXPECT_EQ(preparePulseMeasurement(decreasing.xs, decreasing.ys, {}, {}, o).error,
            kPulseXDecreases);
  // The decrease outside the range does not count; equal X do not decrease.
  EXPECT_EQ(preparePulseMeasurement(decreasing.xs, decreasing.ys, {}, 2.5, o).error, std::nullopt);
  Signal flat;
  for (int i = 0; i < 5; ++i) {
    flat.add(i < 3 ? 0 : 1, 7);
  }
  EXPECT_EQ(preparePulseMeasurement(flat.xs, flat.ys, {}, {}, o).error, kPulseFlat);
  PulseOptions manual;
  manual.levels = StateLevelMethod::Manual;
  manual.manualLow = 0;
  manual.manualHigh = 1;
  EXPECT_EQ(preparePulseMeasurement(flat.xs, flat.ys, {}, {}, manual).error, kPulseFlat);
  // An empty range and a range that runs backwards hold no points.
  EXPECT_EQ(preparePulseMeasurement(decreasing.xs, decreasing.ys, 5, 1, o).error,
            kPulseTooFewPoints);
  // A graph with no edge at all: no transitions, no pulses, statistics of nothing.
  Signal ramp;
  for (int i = 0; i < 10; ++i) {
    ramp.add(i, i < 5 ? 0 : 0.05);
  }
  ramp.add(10, 1);
  PulseStatistics stats;
  const PulseSetup setup = preparePulseMeasurement(ramp.xs, ramp.ys, {}, {}, o);
  walkTransitions(setup.points, setup.levels, setup.reference, o, stats);
  EXPECT_EQ(stats.summary(PulseMetric::Rise).count, 1u);  // the one edge to 1
  EXPECT_EQ(stats.summary(PulseMetric::Width).count, 0u);
  EXPECT_FALSE(stats.summary(PulseMetric::Width).mean);
  EXPECT_FALSE(stats.summary(PulseMetric::Rise).stdDev);
}

TEST(PulseStats, OptionsThatCannotBeUsed) {
  const auto refused = [](auto change) {
    PulseOptions o;
    change(o);
    return pulseOptionsRefusal(o).has_value();
  };
  EXPECT_FALSE(refused([](PulseOptions&) {}));
  EXPECT_TRUE(refused([](PulseOptions& o) { o.bins = 1; }));
  EXPECT_TRUE(refused([](PulseOptions& o) { o.bins = 100001; }));
  EXPECT_FALSE(refused([](PulseOptions& o) { o.bins = 2; }));
  EXPECT_FALSE(refused([](PulseOptions& o) { o.bins = 100000; }));
  EXPECT_TRUE(refused([](PulseOptions& o) { o.lowerPercent = 50; }));
  EXPECT_TRUE(refused([](PulseOptions& o) { o.upperPercent = 100; }));
  EXPECT_TRUE(refused([](PulseOptions& o) { o.lowerPercent = 0; }));
  EXPECT_TRUE(refused([](PulseOptions& o) { o.midPercent = kNaN; }));
  EXPECT_TRUE(refused([](PulseOptions& o) { o.regionFactor = 0; }));
  EXPECT_TRUE(refused([](PulseOptions& o) { o.tolerancePercent = -1; }));
  EXPECT_TRUE(refused([](PulseOptions& o) { o.levels = StateLevelMethod::Manual; }));
  EXPECT_TRUE(refused([](PulseOptions& o) {
    o.levels = StateLevelMethod::Manual;
    o.manualLow = 1;
    o.manualHigh = 1;
  }));
  EXPECT_FALSE(refused([](PulseOptions& o) {
    o.levels = StateLevelMethod::Manual;
    o.manualLow = 1;
    o.manualHigh = 2;
  }));
  EXPECT_EQ(pulseMetricByName("settling"), PulseMetric::Settling);
  EXPECT_EQ(pulseMetricByName("Rise"), std::nullopt);
  EXPECT_EQ(pulseMetricByName(""), std::nullopt);
}

TEST(PulseStats, StatisticsAndHistogramOfAMetric) {
  MetricAccumulator acc;
  EXPECT_EQ(acc.summary().count, 0u);
  acc.add(1e9 + 1);
  EXPECT_FALSE(acc.summary().stdDev);
  for (double v : {1e9 + 2, 1e9 + 3, 1e9 + 4}) {
    acc.add(v);
  }
  const MetricSummary s = acc.summary();
  EXPECT_EQ(s.count, 4u);
  EXPECT_DOUBLE_EQ(*s.mean, 1e9 + 2.5);
  EXPECT_DOUBLE_EQ(*s.stdDev, std::sqrt(5.0 / 3));  // sample deviation, no cancellation
  EXPECT_EQ(*s.min, 1e9 + 1);
  EXPECT_EQ(*s.max, 1e9 + 4);

  const std::vector<double> values{0, 1, 1, 2.5, 10};
  MetricHistogram h = metricHistogram(values, 4);  // width 2.5: 0, 1, 1 | 2.5 | — | 10
  EXPECT_EQ(h.counts, (std::vector<double>{3, 1, 0, 1}));
  EXPECT_EQ(h.centres, (std::vector<double>{1.25, 3.75, 6.25, 8.75}));
  h = metricHistogram(std::vector<double>{4, 4, 4}, 20);
  EXPECT_EQ(h.centres, std::vector<double>{4});
  EXPECT_EQ(h.counts, std::vector<double>{3});
  EXPECT_TRUE(metricHistogram({}, 5).counts.empty());
}

}  // namespace
}  // namespace tarvik
