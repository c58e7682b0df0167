// The pulse generators against the behaviour's numbers and against straightforward
// references.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "synth/PulseGenerators.h"

namespace tarvik::synth {
namespace {

TEST(CountingErrorTable, RowsFromTheFirstCountOfThreeToTheFirstSpeedOver120) {
  const PointColumns table = countingErrorTable();
  // v = 0.001·1.1^n: b ≥ 3 first at n = 31 (b = 2.5 at v ≈ 0.0178 rounds to 2), the loop's
  // last pass is n = 110 (v ≈ 35.8 m/s, the first at or above 100/3).
  ASSERT_EQ(table.xs.size(), 80u);
  EXPECT_NEAR(table.xs.front(), 3.6e-3 * std::pow(1.1, 31), 1e-15);
  EXPECT_NEAR(table.xs.back(), 3.6e-3 * std::pow(1.1, 110), 1e-10);
  EXPECT_GE(table.xs.back(), 120);
  EXPECT_LT(table.xs[table.xs.size() - 2], 120);
  EXPECT_NEAR(table.ys.front(), 200.0 / 3, 1e-12);  // b = 3
  for (std::size_t i = 0; i < table.xs.size(); ++i) {
    // Each error is 200/b for a whole count b ≥ 3 that follows from the speed.
    const double v = table.xs[i] / 3.6;
    const double b = std::nearbyint(v * 42 / (0.95 * std::numbers::pi) * 10);
    ASSERT_GE(b, 3) << i;
    EXPECT_NEAR(table.ys[i], 200 / b, 1e-12) << i;
    if (i > 0) {
      EXPECT_NEAR(table.xs[i] / table.xs[i - 1], 1.1, 1e-12);
      EXPECT_LE(table.ys[i], table.ys[i - 1]);
    }
  }
}

// The sampling loop written out plainly, for comparison.
PointColumns referencePulse(const ThreeExpParams& p) {
  PointColumns out;
  double step = p.stepSeconds;
  for (double t = 0; t < p.endSeconds;) {
    out.xs.push_back(t * 1e9);
    out.ys.push_back(p.a * (p.k1 * std::exp(-p.t1 * t) + p.k2 * std::exp(-p.t2 * t) -
                            p.k3 * std::exp(-p.t3 * t)));
    t = t + step;
    if (t > 1e-7) {
      step = p.stepSeconds * 20;
    }
  }
  return out;
}

PointColumns sample(const ThreeExpParams& p, std::vector<int>* percents = nullptr) {
  PointColumns out;
  sampleThreeExpPulse(
      p, out, [percents](int pct) { percents ? percents->push_back(pct) : void(); },
      [] { return false; });
  return out;
}

TEST(ThreeExpPulse, DefaultsGive101PointsOneNanosecondApartRisingFromZero) {
  const ThreeExpParams p;
  const PointColumns pulse = sample(p);
  ASSERT_EQ(pulse.xs.size(), 101u);
  EXPECT_EQ(pulse.xs.front(), 0);
  EXPECT_EQ(pulse.ys.front(), 0);  // A·(K1 + K2 − K3) = 0
  EXPECT_NEAR(pulse.xs[1], 1, 1e-12);
  EXPECT_LT(pulse.xs.back(), 100);  // a rounding step below 100 ns
  EXPECT_GT(pulse.xs.back(), 100 - 1e-6);
  // Fast rise with T3 = 0.22e9 1/s under the slow decays T1 = 100 and T2 = 45 1/s: at 20 ns
  // the front is within e^-4.4 of A·(K1 + K2) = 1.
  EXPECT_NEAR(pulse.ys[20], 0.5 * std::exp(-2e-6) + 0.5 * std::exp(-9e-7) - std::exp(-4.4), 1e-12);
  EXPECT_EQ(threeExpPointCount(p, 1000), 101u);
}

TEST(ThreeExpPulse, StepGrowsTwentyfoldAfter100Nanoseconds) {
  ThreeExpParams p;
  p.endSeconds = 1e-6;
  const PointColumns pulse = sample(p);
  ASSERT_EQ(pulse.xs.size(), 146u);
  EXPECT_NEAR(pulse.xs[101] - pulse.xs[100], 1, 1e-9);   // the step that passes 1e-7 s
  EXPECT_NEAR(pulse.xs[102] - pulse.xs[101], 20, 1e-9);  // then twenty times the step
  EXPECT_EQ(threeExpPointCount(p, 1000), 146u);
}

// A step that lands exactly on 1e-7 s (2·fl(5e-8) is fl(1e-7)): the coarse step starts only
// once t exceeds it, so the point at 100 ns is followed by one more fine step.
TEST(ThreeExpPulse, CoarseStepStartsOnlyAfterTExceeds100Nanoseconds) {
  ThreeExpParams p;
  p.stepSeconds = 5e-8;
  p.endSeconds = 1.2e-6;
  ASSERT_EQ(p.stepSeconds + p.stepSeconds, kFineSamplingEndSeconds);
  const PointColumns pulse = sample(p);
  // 0, 50, 100 and 150 ns finely, then the step of 1000 ns to 1150 ns.
  ASSERT_EQ(pulse.xs.size(), 5u);
  EXPECT_DOUBLE_EQ(pulse.xs[2], 100);
  EXPECT_DOUBLE_EQ(pulse.xs[3], 150);
  EXPECT_DOUBLE_EQ(pulse.xs[4], 1150);
  EXPECT_EQ(threeExpPointCount(p, 1000), 5u);
}

TEST(ThreeExpPulse, EqualsThePlainLoopForOtherParameters) {
  const struct {
    double a, k1, k2, k3, t1, t2, t3, end, step;
  } cases[] = {
      {2, 1, 0, 1, 1e6, 0, 1e8, 3e-6, 2.5e-9},
      {-1, 0.3, 0.7, 0.2, 5e7, 1e7, 3e9, 1e-7, 1e-10},
      {1, 1, 1, 1, 0, 0, 0, 7e-8, 3e-9},  // never passes 1e-7 s
      {1, 1, 1, 1, 1, 1, 1, 1e-3, 1e-6},  // the first step already passes it
  };
  for (const auto& c : cases) {
    const ThreeExpParams p{c.a, c.k1, c.k2, c.k3, c.t1, c.t2, c.t3, c.end, c.step};
    const PointColumns got = sample(p), want = referencePulse(p);
    ASSERT_EQ(got.xs.size(), want.xs.size()) << c.end;
    EXPECT_EQ(got.xs, want.xs);
    EXPECT_EQ(got.ys, want.ys);
    EXPECT_EQ(threeExpPointCount(p, 100'000'000), want.xs.size());
    EXPECT_FALSE(threeExpPointCount(p, want.xs.size() - 1));
  }
}

TEST(ThreeExpPulse, EmptyWhenTheEndIsNotPositive) {
  ThreeExpParams p;
  for (double end : {0.0, -1e-7}) {
    p.endSeconds = end;
    EXPECT_TRUE(sample(p).xs.empty());
    EXPECT_EQ(threeExpPointCount(p, 10), 0u);
  }
}

TEST(ThreeExpPulse, PointCountStopsAtTheLimitForEndlessRuns) {
  ThreeExpParams p;
  p.endSeconds = 1;
  p.stepSeconds = 1e-30;  // the clock would stall long before the end
  EXPECT_FALSE(threeExpPointCount(p, 10'000'000));
  p.stepSeconds = 0;
  EXPECT_THROW(threeExpPointCount(p, 10), std::invalid_argument);
}

TEST(ThreeExpPulse, PercentShownOnlyWhenItChangesStartingFromOne) {
  ThreeExpParams p;
  std::vector<int> percents;
  sample(p, &percents);
  // 0 at t = 0 (it differs from the starting 1), then 1, 2, … 100 at one point per percent
  // (the last point, a rounding step below the end, rounds to 100).
  ASSERT_EQ(percents.size(), 101u);
  for (int i = 0; i <= 100; ++i) {
    EXPECT_EQ(percents[static_cast<std::size_t>(i)], i);
  }
  percents.clear();
  p.stepSeconds = 5e-10;  // two points per percent: each still shown once
  sample(p, &percents);
  for (std::size_t i = 1; i < percents.size(); ++i) {
    EXPECT_NE(percents[i], percents[i - 1]);
  }
}

TEST(ThreeExpPulse, StopKeepsThePointsMadeSoFar) {
  const ThreeExpParams p;
  PointColumns out;
  int polls = 0;
  const bool finished = sampleThreeExpPulse(
      p, out, [](int) {}, [&polls] { return ++polls > 40; });
  EXPECT_FALSE(finished);
  ASSERT_EQ(out.xs.size(), 40u);
  const PointColumns whole = referencePulse(p);
  EXPECT_EQ(out.ys, std::vector<double>(whole.ys.begin(), whole.ys.begin() + 40));
}

TEST(SincPulse, ThousandAndOnePointsPeakingAtTheCentre) {
  const PointColumns pulse = sincPulse();
  ASSERT_EQ(pulse.xs.size(), 1001u);
  EXPECT_EQ(pulse.xs.front(), 0);
  EXPECT_NEAR(pulse.xs.back(), 0.01, 1e-12);
  EXPECT_LT(pulse.xs.back(), 0.01);
  std::size_t peak = 0;
  for (std::size_t i = 0; i < pulse.ys.size(); ++i) {
    if (pulse.ys[i] > pulse.ys[peak]) {
      peak = i;
    }
    const double u = std::numbers::pi * 20000 * (pulse.xs[i] - 0.005);
    EXPECT_NEAR(pulse.ys[i], u == 0.0 ? 1.0 : std::sin(u) / u, 1e-15);
  }
  EXPECT_EQ(peak, 500u);
  EXPECT_NEAR(pulse.xs[peak], 0.005, 1e-12);
  EXPECT_NEAR(pulse.ys[peak], 1, 1e-12);
  // Zero crossings every 5e-5 (five samples) on either side of the centre.
  for (int k = 1; k < 100; ++k) {
    EXPECT_NEAR(pulse.ys[static_cast<std::size_t>(500 + 5 * k)], 0, 1e-9) << k;
    EXPECT_NEAR(pulse.ys[static_cast<std::size_t>(500 - 5 * k)], 0, 1e-9) << k;
  }
  EXPECT_NEAR(pulse.ys[502], std::sin(0.4 * std::numbers::pi) / (0.4 * std::numbers::pi), 1e-9);
}

}  // namespace
}  // namespace tarvik::synth
