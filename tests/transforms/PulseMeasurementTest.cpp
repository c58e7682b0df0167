#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "transforms/PulseMeasurement.h"

namespace tarvik {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Points {
  std::vector<double> xs, ys;
};

// Rises linearly from `base` at X = 0 to base + height at X = 10, falls back by X = 20,
// sampled every 1.
Points triangle(double base = 0, double height = 10) {
  Points p;
  for (int i = 0; i <= 20; ++i) {
    p.xs.push_back(i);
    p.ys.push_back(base + height * (i <= 10 ? i : 20 - i) / 10.0);
  }
  return p;
}

PulseMeasurement measure(const Points& p, double lo, double hi,
                         DurationMethod method = DurationMethod::From50Percent,
                         std::string_view sensor = "0.0", char sep = '.') {
  return measurePulse({p.xs, p.ys, lo, hi, method, sensor, sep, false});
}

TEST(PulseMeasurement, LinearPulseByBothMethods) {
  const Points p = triangle();
  const PulseMeasurement m = measure(p, 0, 20);
  EXPECT_EQ(m.polarity, PulsePolarity::Positive);
  EXPECT_EQ(m.amplitude, 10);
  EXPECT_EQ(m.level10, 1);
  EXPECT_EQ(m.level90, 9);
  EXPECT_EQ(m.t10, 1);
  EXPECT_EQ(m.t50r, 5);
  EXPECT_EQ(m.t90, 9);
  EXPECT_EQ(m.t50f, 15);
  EXPECT_EQ(m.riseTime, 8);
  EXPECT_EQ(m.duration, 10);
  EXPECT_TRUE(m.sensorMessages.empty());
  EXPECT_EQ(m.text, "Aмплитуда = 10; Tф = 8; Tи = 10");

  const PulseMeasurement m01 = measure(p, 0, 20, DurationMethod::From10Percent);
  EXPECT_EQ(m01.duration, 14);
  EXPECT_EQ(m01.text, "Aмплитуда = 10; Tф = 8; Tи = 14");
}

TEST(PulseMeasurement, OneSegmentCanCompleteSeveralStages) {
  // A step: the segment 0 → 1 crosses 10 %, 50 % and 90 %; a flat top does not move
  // towards the peak and so never starts the rising edge.
  const Points step{{0, 1, 2, 3}, {0, 10, 10, 0}};
  const PulseMeasurement m = measure(step, 0, 3);
  EXPECT_EQ(m.t10, 0.1);
  EXPECT_EQ(m.t50r, 0.5);
  EXPECT_EQ(m.t90, 0.9);
  EXPECT_EQ(m.t50f, 2.5);
  EXPECT_FALSE(measure(step, 1.5, 3).t10);
}

TEST(PulseMeasurement, NegativePulseGivesNegativeAmplitudeAndSameTimes) {
  Points p = triangle();
  for (double& y : p.ys) {
    y = -y;
  }
  const PulseMeasurement m = measure(p, 0, 20);
  EXPECT_EQ(m.polarity, PulsePolarity::Negative);
  EXPECT_EQ(m.amplitude, -10);
  EXPECT_EQ(m.t10, 1);
  EXPECT_EQ(m.t50r, 5);
  EXPECT_EQ(m.t90, 9);
  EXPECT_EQ(m.t50f, 15);
  EXPECT_EQ(m.text, "Aмплитуда = -10; Tф = 8; Tи = 10");
}

TEST(PulseMeasurement, SensorCorrectionAndItsMessages) {
  const Points p = triangle();
  struct Case {
    const char* sensor;
    double rise;
    const char* message;  // nullptr: none
    const char* trimmed;
  };
  const Case cases[] = {
      {"6", std::sqrt(28.0), nullptr, "6"},
      {"  6.0 ", std::sqrt(28.0), nullptr, "6.0"},
      {"8", 0, nullptr, "8"},  // TR = TS exactly: corrected to 0
      {"9", 8, kSensorLongerThanRise, "9"},
      {"abc", 8, kSensorNotANumber, "abc"},
      {"6,0", std::sqrt(28.0), nullptr, "6,0"},  // either separator, as every typed number
      {"6.0.0", 8, kSensorNotANumber, "6.0.0"},
      {"  ", 8, nullptr, ""},
      {"-3", 8, nullptr, "-3"},  // not positive: no correction
  };
  for (const Case& c : cases) {
    const PulseMeasurement m = measure(p, 0, 20, DurationMethod::From50Percent, c.sensor);
    EXPECT_EQ(m.riseTime, c.rise) << c.sensor;
    EXPECT_EQ(m.trimmedSensorText, c.trimmed) << c.sensor;
    if (c.message) {
      EXPECT_EQ(m.sensorMessages, std::vector<std::string>{c.message}) << c.sensor;
    } else {
      EXPECT_TRUE(m.sensorMessages.empty()) << c.sensor;
    }
  }
  EXPECT_EQ(measure(p, 0, 20, DurationMethod::From50Percent, "6", ',').text,
            "Aмплитуда = 10; Tф = 5,29; Tи = 10");
  // Without a rise time the sensor field is neither read nor trimmed.
  const PulseMeasurement falling = measure(p, 11, 20, DurationMethod::From50Percent, " x ");
  EXPECT_FALSE(falling.trimmedSensorText);
  EXPECT_TRUE(falling.sensorMessages.empty());
}

TEST(PulseMeasurement, WithoutPolarityOnlyTheAmplitudeZero) {
  const Points symmetric{{0, 1, 2, 3, 4}, {0, 3, 0, -3, 0}};
  const PulseMeasurement m = measure(symmetric, 0, 4);
  EXPECT_EQ(m.polarity, PulsePolarity::None);
  EXPECT_EQ(m.yMax, 3);
  EXPECT_EQ(m.yMin, -3);
  EXPECT_FALSE(m.t10);
  EXPECT_EQ(m.text, "Aмплитуда = 0");

  const PulseMeasurement none = measure(triangle(), 30, 40);
  EXPECT_EQ(none.visiblePoints, 0u);
  EXPECT_EQ(none.text, "Aмплитуда = 0");
  EXPECT_EQ(measure(Points{}, 0, 1).text, "Aмплитуда = 0");

  const PulseMeasurement single = measure(Points{{3}, {4}}, 0, 10);
  EXPECT_EQ(single.amplitude, 4);
  EXPECT_FALSE(single.t10);
  EXPECT_EQ(single.text, "Aмплитуда = 4");
}

TEST(PulseMeasurement, LevelsCountFromZeroNotFromTheBaseline) {
  // Baseline 5, peak 10: levels 1, 5 and 9. The first segment already lies above 1, so t10
  // is extrapolated to before the data.
  const PulseMeasurement m = measure(triangle(5, 5), 0, 20);
  EXPECT_EQ(m.level10, 1);
  EXPECT_EQ(m.level50, 5);
  EXPECT_EQ(m.level90, 9);
  EXPECT_EQ(m.t10, -8);
  EXPECT_EQ(m.t50r, 0);
  EXPECT_EQ(m.t90, 8);
  EXPECT_EQ(m.t50f, 20);
  EXPECT_EQ(m.riseTime, 16);
}

TEST(PulseMeasurement, VisibleRangeDecidesWhatIsMeasured) {
  const Points p = triangle();
  // Only the falling edge: its peak is 9 and no rising stage is ever reached.
  const PulseMeasurement falling = measure(p, 11, 20);
  EXPECT_EQ(falling.amplitude, 9);
  EXPECT_FALSE(falling.t10);
  EXPECT_EQ(falling.text, "Aмплитуда = 9");
  // The first visible point's segment starts at the invisible point before it.
  const PulseMeasurement late = measure(p, 4.5, 20);
  EXPECT_EQ(late.t10, 1);  // segment 4 → 5 extrapolated to level 1
  EXPECT_EQ(late.t50r, 5);
  // The rising edge alone: no duration.
  const PulseMeasurement rising = measure(p, 0, 12);
  EXPECT_EQ(rising.t90, 9);
  EXPECT_FALSE(rising.t50f);
  EXPECT_EQ(rising.text, "Aмплитуда = 10; Tф = 8");
}

// A view whose left edge cuts the rising edge: each crossing is the line through the
// segment that completes the stage, so the first visible point's segment starts at the
// point before it, outside the view. The binary search (X ascending) and the full scan must
// both reach back to it.
TEST(PulseMeasurement, ARisingEdgeStraddlingTheViewEdgeUsesThePointOutside) {
  Points p;
  p.xs = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  p.ys = {0, 0, 0, 2, 8, 10, 8, 2, 0, 0, 0};  // levels 1, 5, 9
  struct Case {
    double lo;
    double t10, t50r;
  };
  const Case cases[] = {
      {0, 2 + 1.0 / 2, 3 + 3.0 / 6},    // all visible: segments 2→3 and 3→4
      {2.5, 2 + 1.0 / 2, 3 + 3.0 / 6},  // point 2 outside starts the t10 segment
      {3.5, 3 - 1.0 / 6, 3 + 3.0 / 6},  // point 3 outside: 3→4 gives both, extrapolated
      {4.5, 4 - 7.0 / 2, 4 - 3.0 / 2},  // point 4 outside: 4→5 gives all three
  };
  for (const Case& c : cases) {
    for (const bool ascending : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "view from " << c.lo << (ascending ? " searched" : ""));
      const PulseMeasurement m = measurePulse(
          {p.xs, p.ys, c.lo, 10, DurationMethod::From10Percent, "", '.', ascending});
      ASSERT_TRUE(m.t10 && m.t50r && m.t90 && m.t50f);
      EXPECT_DOUBLE_EQ(*m.t10, c.t10);
      EXPECT_DOUBLE_EQ(*m.t50r, c.t50r);
      EXPECT_DOUBLE_EQ(*m.t90, 4.5);
      EXPECT_DOUBLE_EQ(*m.t50f, 6.5);
      EXPECT_DOUBLE_EQ(*m.duration, 6.5 - c.t10);
    }
  }
}

TEST(PulseMeasurement, NonFinitePointsAreSkipped) {
  Points p = triangle();
  // A NaN between 4 and 5, an infinite spike, and a point with a NaN X.
  p.xs.insert(p.xs.begin() + 5, 4.5);
  p.ys.insert(p.ys.begin() + 5, kNan);
  p.xs.insert(p.xs.begin() + 9, 7.5);
  p.ys.insert(p.ys.begin() + 9, kInf);
  p.xs.insert(p.xs.begin() + 14, kNan);
  p.ys.insert(p.ys.begin() + 14, 100);
  const PulseMeasurement m = measure(p, 0, 20);
  EXPECT_EQ(m.visiblePoints, 21u);
  EXPECT_EQ(m.amplitude, 10);
  EXPECT_EQ(m.t50r, 5);
  EXPECT_EQ(m.t50f, 15);
  EXPECT_EQ(m.text, "Aмплитуда = 10; Tф = 8; Tи = 10");
}

// Ascending X with a non-finite Y: the binary-search path reads only Y for the extremes and
// must still skip those points, as the full scan does.
TEST(PulseMeasurement, NonFiniteYSkippedWhenXAscends) {
  Points p = triangle();
  p.ys[3] = kNan;
  p.ys[12] = kInf;  // would be the peak if counted
  p.ys[17] = -kInf;
  for (const bool ascending : {false, true}) {
    const PulseMeasurement m =
        measurePulse({p.xs, p.ys, 0, 20, DurationMethod::From50Percent, "0.0", '.', ascending});
    EXPECT_EQ(m.visiblePoints, 18u) << ascending;
    EXPECT_EQ(m.amplitude, 10) << ascending;
    EXPECT_EQ(m.yMin, 0) << ascending;
    EXPECT_EQ(m.text, "Aмплитуда = 10; Tф = 8; Tи = 10") << ascending;
  }
}

// The binary search for the visible points must find exactly what the full scan finds.
TEST(PulseMeasurement, BinarySearchAgreesWithTheFullScan) {
  std::mt19937 rng(20240611);
  std::normal_distribution<double> noise(0, 0.3);
  std::uniform_real_distribution<double> where(-5, 30);
  Points p;
  for (int i = 0; i < 500; ++i) {
    const double x = 0.1 * (i / 2);  // every X twice
    p.xs.push_back(x);
    p.ys.push_back(8 * std::exp(-(x - 10) * (x - 10) / 30) + noise(rng));
  }
  std::uniform_int_distribution<std::size_t> index(0, p.xs.size() - 1);
  int completePulses = 0;
  for (int k = 0; k < 300; ++k) {
    // Every other range starts and ends exactly on data X, where the ends' inclusion counts.
    double lo = k % 2 ? where(rng) : p.xs[index(rng)];
    double hi = k % 2 ? where(rng) : p.xs[index(rng)];
    if (lo > hi) {
      std::swap(lo, hi);
    }
    PulseMeasurementInput in{p.xs, p.ys, lo, hi, DurationMethod::From10Percent, "1", '.', false};
    const PulseMeasurement full = measurePulse(in);
    in.xFiniteAscending = true;
    const PulseMeasurement fast = measurePulse(in);
    ASSERT_EQ(fast.visiblePoints, full.visiblePoints) << lo << " " << hi;
    EXPECT_EQ(fast.t10, full.t10);
    EXPECT_EQ(fast.t50f, full.t50f);
    EXPECT_EQ(fast.text, full.text) << lo << " " << hi;
    completePulses += fast.duration ? 1 : 0;
  }
  EXPECT_GT(completePulses, 30);  // the ranges did cover whole pulses, not only noise
}

TEST(IsFiniteAscending, RejectsDescentAndNonFiniteX) {
  EXPECT_TRUE(isFiniteAscending({}));
  EXPECT_TRUE(isFiniteAscending(std::vector<double>{1, 1, 2}));
  EXPECT_FALSE(isFiniteAscending(std::vector<double>{1, 0.5, 2}));
  EXPECT_FALSE(isFiniteAscending(std::vector<double>{1, kNan, 2}));
  EXPECT_FALSE(isFiniteAscending(std::vector<double>{1, 2, kInf}));
}

}  // namespace
}  // namespace tarvik
