// The streaming pulse measurement against a plain reference written here straight from the
// definitions: every point filtered into arrays, bins as lists of their values, the state
// of every point, and each region found by testing every point of the record (O(n·T)).
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

struct Reference {
  StateLevels levels;
  ReferenceLevels ref;
  std::vector<Transition> transitions;
  std::vector<Pulse> pulses;
};

double cross(const std::vector<double>& x, const std::vector<double>& y, std::size_t a,
             double level) {
  const long double xa = x[a], ya = y[a], xb = x[a + 1], yb = y[a + 1];
  if (ya == yb) {
    return x[a + 1];
  }
  return static_cast<double>(xa + (level - ya) * (xb - xa) / (yb - ya));
}

double medianOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2]
               : static_cast<double>((static_cast<long double>(v[n / 2 - 1]) + v[n / 2]) / 2);
}

StateLevels referenceLevelsOf(const std::vector<double>& y, const PulseOptions& o) {
  const double ymin = *std::min_element(y.begin(), y.end());
  const double ymax = *std::max_element(y.begin(), y.end());
  StateLevels l{ymin, ymax, 0};
  const int b = o.bins;
  const double w = (ymax - ymin) / b;
  std::vector<std::vector<double>> members(static_cast<std::size_t>(b));
  for (double v : y) {
    members[static_cast<std::size_t>(std::min(b - 1, int(std::floor((v - ymin) / w))))].push_back(
        v);
  }
  const int half = b / 2;
  if (o.levels == StateLevelMethod::Histogram) {
    int lowBin = 0, highBin = b - 1;
    for (int k = 0; k < half; ++k) {
      lowBin = members[std::size_t(k)].size() > members[std::size_t(lowBin)].size() ? k : lowBin;
    }
    for (int k = b - 1; k >= half; --k) {
      highBin = members[std::size_t(k)].size() > members[std::size_t(highBin)].size() ? k : highBin;
    }
    l.low = medianOf(members[std::size_t(lowBin)]);
    l.high = medianOf(members[std::size_t(highBin)]);
  } else if (o.levels == StateLevelMethod::HistogramMean) {
    long double sums[2] = {0, 0};
    std::size_t counts[2] = {0, 0};
    for (int k = 0; k < b; ++k) {
      for (double v : members[std::size_t(k)]) {
        sums[k < half ? 0 : 1] += v;
        ++counts[k < half ? 0 : 1];
      }
    }
    l.low = static_cast<double>(sums[0] / counts[0]);
    l.high = static_cast<double>(sums[1] / counts[1]);
  } else if (o.levels == StateLevelMethod::Manual) {
    l.low = *o.manualLow;
    l.high = *o.manualHigh;
  }
  l.amplitude = l.high - l.low;
  return l;
}

Reference referenceMeasurement(const std::vector<double>& xs, const std::vector<double>& ys,
                               double xmin, double xmax, const PulseOptions& o) {
  std::vector<double> x, y;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (std::isfinite(xs[i]) && std::isfinite(ys[i]) && xs[i] >= xmin && xs[i] <= xmax) {
      x.push_back(xs[i]);
      y.push_back(ys[i]);
    }
  }
  Reference r;
  r.levels = referenceLevelsOf(y, o);
  const long double low = r.levels.low, amp = r.levels.amplitude;
  const double lo = double(low + (long double)o.lowerPercent * amp / 100);
  const double mid = double(low + (long double)o.midPercent * amp / 100);
  const double up = double(low + (long double)o.upperPercent * amp / 100);
  r.ref = {lo, mid, up};
  const std::size_t n = x.size();

  // The state after each point, and the transitions as the points where it flips.
  struct Flip {
    bool rise;
    std::size_t at;
  };
  std::vector<Flip> flips;
  int state = 0;  // 0 unknown, −1 low, +1 high
  for (std::size_t i = 0; i < n; ++i) {
    const int next = y[i] <= lo ? -1 : y[i] >= up ? 1 : state;
    if (state != 0 && next != state) {
      flips.push_back({next == 1, i});
    }
    state = next;
  }
  for (const Flip& f : flips) {
    Transition t;
    t.rise = f.rise;
    std::size_t j = f.at - 1;
    while (f.rise ? !(y[j] <= lo) : !(y[j] >= up)) {
      --j;
    }
    std::size_t m = j;
    for (std::size_t k = j; k < f.at; ++k) {
      if (f.rise ? (y[k] < mid && y[k + 1] >= mid) : (y[k] > mid && y[k + 1] <= mid)) {
        m = k;
      }
    }
    t.tMid = cross(x, y, m, mid);
    t.tLower = cross(x, y, f.rise ? j : f.at - 1, lo);
    t.tUpper = cross(x, y, f.rise ? f.at - 1 : j, up);
    t.duration = std::abs(t.tUpper - t.tLower);
    if (t.duration != 0) {
      t.slew = (up - lo) / t.duration * (f.rise ? 1 : -1);
    }
    r.transitions.push_back(t);
  }
  const auto startOf = [](const Transition& t) { return t.rise ? t.tLower : t.tUpper; };
  const auto endOf = [](const Transition& t) { return t.rise ? t.tUpper : t.tLower; };
  const double a = r.levels.amplitude, high = r.levels.high, lowLevel = r.levels.low;
  for (std::size_t m = 0; m < r.transitions.size(); ++m) {
    Transition& t = r.transitions[m];
    const double reach = o.regionFactor * t.duration;
    const double start = startOf(t), end = endOf(t);
    const double before = m > 0 ? endOf(r.transitions[m - 1]) : x.front();
    const std::optional<double> next = m + 1 < r.transitions.size()
                                           ? std::optional<double>(startOf(r.transitions[m + 1]))
                                           : std::nullopt;
    const double postEnd = std::min(end + reach, next.value_or(x.back()));
    std::optional<double> over, under, pre;
    bool reached = false;
    for (std::size_t k = 0; k < n; ++k) {
      if (x[k] > end && x[k] <= postEnd) {
        const double away = t.rise ? y[k] - high : lowLevel - y[k];
        over = std::max(over.value_or(away), away);
        reached = reached || (t.rise ? y[k] >= high : y[k] <= lowLevel);
        if (reached) {
          under = std::max(under.value_or(-away), -away);
        }
      }
      if (x[k] >= std::max(start - reach, before) && x[k] < start) {
        const double away = t.rise ? lowLevel - y[k] : y[k] - high;
        pre = std::max(pre.value_or(away), away);
      }
    }
    const auto percent = [a](std::optional<double> d) {
      return d ? std::optional<double>(100 * std::max(0.0, *d) / a) : std::nullopt;
    };
    t.overshoot = percent(over);
    t.undershoot = percent(under);
    t.preshoot = percent(pre);
    // Settling over the stretch, cut after its last point inside the band.
    const double final = t.rise ? high : lowLevel;
    const double tol = o.tolerancePercent * a / 100;
    std::vector<std::size_t> stretch;
    for (std::size_t k = 0; k < n; ++k) {
      if (x[k] > end && (!next || x[k] < *next)) {
        stretch.push_back(k);
      }
    }
    const auto inside = [&](std::size_t k) { return std::abs(y[k] - final) <= tol; };
    while (!stretch.empty() && !inside(stretch.back())) {
      stretch.pop_back();
    }
    if (!stretch.empty()) {
      double instant = end;
      for (std::size_t q = stretch.size(); q-- > 0;) {
        const std::size_t k = stretch[q];
        if (!inside(k)) {
          instant = cross(x, y, k, y[k] > final ? final + tol : final - tol);
          break;
        }
      }
      t.settling = instant - t.tMid;
    }
  }
  // Pulses: each first-kind transition with the transition after it.
  if (!r.transitions.empty()) {
    const bool positive = o.polarity == PulsePolarityChoice::Auto
                              ? r.transitions.front().rise
                              : o.polarity == PulsePolarityChoice::Positive;
    for (std::size_t m = 0; m + 1 < r.transitions.size(); ++m) {
      if (r.transitions[m].rise == positive) {
        Pulse p;
        p.positive = positive;
        p.start = r.transitions[m].tMid;
        p.end = r.transitions[m + 1].tMid;
        p.width = p.end - p.start;
        r.pulses.push_back(p);
      }
    }
    for (std::size_t k = 0; k + 1 < r.pulses.size(); ++k) {
      const double period = r.pulses[k + 1].start - r.pulses[k].start;
      r.pulses[k].period = period;
      if (period != 0) {
        r.pulses[k].duty = r.pulses[k].width / period;
        r.pulses[k].frequency = 1 / period;
      }
    }
  }
  return r;
}

struct Collected final : PulseSink {
  std::vector<Transition> transitions;
  std::vector<Pulse> pulses;
  void transition(const Transition& t) override { transitions.push_back(t); }
  void pulse(const Pulse& p) override { pulses.push_back(p); }
};

void expectSame(const char* name, std::optional<double> got, std::optional<double> want) {
  ASSERT_EQ(got.has_value(), want.has_value()) << name;
  if (got) {
    EXPECT_NEAR(*got, *want, 1e-12 * std::max({1.0, std::abs(*got), std::abs(*want)})) << name;
  }
}

// Noisy trapezoid trains with random edges, flats, noise, repeated X, NaN holes and
// ranges; random level methods, bins, reference levels, regions, tolerance and polarity.
TEST(PulseReference, StreamingWalkMatchesThePlainReference) {
  std::mt19937_64 engine(22);
  std::uniform_real_distribution<double> unit(0, 1);
  int measured = 0;
  std::size_t transitions = 0;
  for (int trial = 0; trial < 300; ++trial) {
    SCOPED_TRACE(trial);
    const int points = 50 + int(unit(engine) * 1500);
    const double noise = trial % 10 == 0 ? 0.4 : unit(engine) * 0.08;
    const double edge = 1 + unit(engine) * 20, flat = 2 + unit(engine) * 40;
    const double period = 2 * (edge + flat), low = unit(engine) * 4 - 2;
    const double high = low + 0.5 + unit(engine) * 3;
    std::normal_distribution<double> jitter(0, noise * (high - low));
    std::vector<double> xs, ys;
    double t = 0;
    for (int i = 0; i < points; ++i) {
      t += unit(engine) < 0.05 ? 0.0 : 0.5 + unit(engine);  // some X repeat
      const double p = std::fmod(t, period);
      const double u = p < flat              ? 0
                       : p < flat + edge     ? (p - flat) / edge
                       : p < 2 * flat + edge ? 1
                                             : 1 - (p - 2 * flat - edge) / edge;
      xs.push_back(t);
      ys.push_back(low + u * (high - low) + jitter(engine));
      if (unit(engine) < 0.01) {
        xs.push_back(unit(engine) < 0.5 ? t : std::numeric_limits<double>::quiet_NaN());
        ys.push_back(std::numeric_limits<double>::quiet_NaN());
      }
    }
    PulseOptions o;
    o.levels = static_cast<StateLevelMethod>(trial % 4);
    // Mostly few bins (edges found once); now and then more than 4096 (each value divided).
    o.bins = trial % 6 == 5 ? 4097 + int(unit(engine) * 6000) : 2 + int(unit(engine) * 300);
    o.manualLow = low + 0.1;
    o.manualHigh = high - 0.1;
    o.lowerPercent = 5 + unit(engine) * 30;
    o.midPercent = o.lowerPercent + 1 + unit(engine) * 20;
    o.upperPercent = o.midPercent + 1 + unit(engine) * (98 - o.midPercent);
    o.regionFactor = 0.1 + unit(engine) * 5;
    o.tolerancePercent = 0.5 + unit(engine) * 10;
    o.polarity = static_cast<PulsePolarityChoice>(trial % 3);
    ASSERT_EQ(pulseOptionsRefusal(o), std::nullopt);
    const double xmin = trial % 5 == 0 ? t * 0.2 : -1e300;
    const double xmax = trial % 7 == 0 ? t * 0.8 : 1e300;

    const PulseSetup setup = preparePulseMeasurement(xs, ys, xmin, xmax, o);
    ASSERT_FALSE(setup.error) << *setup.error;
    const Reference want = referenceMeasurement(xs, ys, xmin, xmax, o);
    EXPECT_EQ(setup.levels.low, want.levels.low);
    EXPECT_EQ(setup.levels.high, want.levels.high);
    EXPECT_EQ(setup.reference.lower, want.ref.lower);
    EXPECT_EQ(setup.reference.upper, want.ref.upper);
    Collected got;
    walkTransitions(setup.points, setup.levels, setup.reference, o, got);
    ASSERT_EQ(got.transitions.size(), want.transitions.size());
    for (std::size_t k = 0; k < want.transitions.size(); ++k) {
      SCOPED_TRACE(k);
      const Transition& g = got.transitions[k];
      const Transition& w = want.transitions[k];
      EXPECT_EQ(g.rise, w.rise);
      expectSame("t_lower", g.tLower, w.tLower);
      expectSame("t_mid", g.tMid, w.tMid);
      expectSame("t_upper", g.tUpper, w.tUpper);
      expectSame("slew", g.slew, w.slew);
      expectSame("overshoot", g.overshoot, w.overshoot);
      expectSame("undershoot", g.undershoot, w.undershoot);
      expectSame("preshoot", g.preshoot, w.preshoot);
      expectSame("settling", g.settling, w.settling);
    }
    ASSERT_EQ(got.pulses.size(), want.pulses.size());
    for (std::size_t k = 0; k < want.pulses.size(); ++k) {
      EXPECT_EQ(got.pulses[k].positive, want.pulses[k].positive);
      expectSame("width", got.pulses[k].width, want.pulses[k].width);
      expectSame("period", got.pulses[k].period, want.pulses[k].period);
      expectSame("duty", got.pulses[k].duty, want.pulses[k].duty);
    }
    ++measured;
    transitions += want.transitions.size();
  }
  EXPECT_EQ(measured, 300);
  EXPECT_GT(transitions, 3000u);  // the signals really have edges to compare
}

// States of hundreds of thousands of samples: the median of a winning bin is found
// through sub-bins there; it must still be the plain median, for a noisy state, for an
// exactly flat one (every value in one sub-bin) and for an even count.
TEST(PulseReference, MedianOfALargeBinIsThePlainMedian) {
  std::mt19937_64 engine(7);
  std::normal_distribution<double> noise(0, 0.05);
  for (int variant = 0; variant < 3; ++variant) {
    SCOPED_TRACE(variant);
    std::vector<double> xs, ys;
    const int n = 300000 + variant;  // odd and even counts in the bins
    for (int i = 0; i < n; ++i) {
      const bool high = (i / 5000) % 3 == 1;
      const double jitter = variant == 1 && !high ? 0.0 : noise(engine);
      xs.push_back(i);
      ys.push_back((high ? 2.0 : -1.0) + jitter);
    }
    for (int bins : {100, 5000}) {
      PulseOptions o;
      o.bins = bins;
      const PulseSetup setup = preparePulseMeasurement(xs, ys, {}, {}, o);
      ASSERT_FALSE(setup.error);
      const StateLevels want = referenceLevelsOf(ys, o);
      EXPECT_EQ(setup.levels.low, want.low) << bins;
      EXPECT_EQ(setup.levels.high, want.high) << bins;
    }
  }
}

// The winning bins' values are gathered while counting when a sample of every 61st point
// guesses the winners; a record laid out so that the sample misleads, or so that a bin
// outgrows the room the sample gave it, must still give the plain reference's levels.
TEST(PulseReference, LevelsDoNotDependOnWhatASampleOfThePointsSuggests) {
  for (int layout = 0; layout < 2; ++layout) {
    SCOPED_TRACE(layout);
    std::vector<double> xs, ys;
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
      const bool sampled = i % 61 == 0;
      double y = 0;
      if (layout == 0) {
        // Sampled points sit at 0.10 (bin 10), the others at 0.20 (bin 20): the sample's
        // low winner is bin 10, the record's bin 20; the high state is 1.
        y = i % 3 == 0 ? 1.0 : sampled ? 0.10 + 1e-6 * (i % 7) : 0.20 + 1e-6 * (i % 5);
      } else {
        // A quarter of the sampled points and all the others are low: the sample guesses
        // the low bin right, but with room for a quarter of its values.
        y = sampled && (i / 61) % 4 != 0 ? 1.0 - 1e-6 * (i % 3) : 1e-7 * (i % 11);
      }
      xs.push_back(i);
      ys.push_back(y);
    }
    ys[5] = -0.001;  // the extremes, apart from the states
    ys[7] = 1.001;
    PulseOptions o;
    const PulseSetup setup = preparePulseMeasurement(xs, ys, {}, {}, o);
    ASSERT_FALSE(setup.error);
    const StateLevels want = referenceLevelsOf(ys, o);
    EXPECT_EQ(setup.levels.low, want.low);
    EXPECT_EQ(setup.levels.high, want.high);
  }
}

}  // namespace
}  // namespace tarvik
