#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>

#include "view/PolylineReduction.h"

namespace tarvik::view {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// X from 0..100 onto pixels 0..1000, Y from 0..1 onto pixels 500..0 (screen rows grow down).
const AxisPixelMap kKey{0, 0, 10, false};

void expectNear(PixelPoint actual, PixelPoint expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-9);
  EXPECT_NEAR(actual.y, expected.y, 1e-9);
}
const AxisPixelMap kValue{0, 500, -500, false};
const ColumnWindow kWindow{0, 1000};

std::vector<PixelPoint> reduce(const std::vector<double>& xs, const std::vector<double>& ys,
                               const AxisPixelMap& key = kKey, const AxisPixelMap& value = kValue) {
  std::vector<PixelPoint> out;
  reducePolyline(xs, ys, 0, xs.size(), key, value, kWindow, out);
  return out;
}

// Checks of one reduction against its input: the output is an ordered subsequence of the
// input's pixel positions, and every run of consecutive points in one on-screen column
// keeps its first, last, lowest and highest point.
void expectFaithful(const std::vector<double>& xs, const std::vector<double>& ys,
                    const std::vector<PixelPoint>& out) {
  std::vector<PixelPoint> mapped(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i) {
    mapped[i] = {kKey(xs[i]), kValue(ys[i])};
  }
  std::size_t pos = 0;
  for (const PixelPoint& p : out) {
    while (pos < mapped.size() && !(mapped[pos] == p)) {
      ++pos;
    }
    ASSERT_LT(pos, mapped.size()) << "output point not found in order";
  }
  std::size_t start = 0;
  while (start < mapped.size()) {
    const double column = std::floor(mapped[start].x);
    std::size_t end = start;
    double low = mapped[start].y, high = low;
    while (end < mapped.size() && std::floor(mapped[end].x) == column) {
      low = std::min(low, mapped[end].y);
      high = std::max(high, mapped[end].y);
      ++end;
    }
    auto contains = [&](PixelPoint p) { return std::find(out.begin(), out.end(), p) != out.end(); };
    EXPECT_TRUE(contains(mapped[start]));
    EXPECT_TRUE(contains(mapped[end - 1]));
    bool lowKept = false, highKept = false;
    for (const PixelPoint& p : out) {
      lowKept = lowKept || (std::floor(p.x) == column && p.y == low);
      highKept = highKept || (std::floor(p.x) == column && p.y == high);
    }
    EXPECT_TRUE(lowKept && highKept) << "column " << column;
    start = end;
  }
}

TEST(ReducePolyline, SortedNoisyDataKeepsFourPointsPerColumn) {
  std::mt19937_64 rng(1);
  std::normal_distribution<double> noise(0.5, 0.2);
  const std::size_t n = 100000;
  std::vector<double> xs(n), ys(n);
  for (std::size_t i = 0; i < n; ++i) {
    xs[i] = 100.0 * static_cast<double>(i) / n;
    ys[i] = noise(rng);
  }
  const auto out = reduce(xs, ys);
  EXPECT_LE(out.size(), 4u * 1000u);
  EXPECT_GE(out.size(), 2u * 1000u);
  expectFaithful(xs, ys, out);
}

TEST(ReducePolyline, UnsortedJitteredDataStaysInStoredOrder) {
  std::mt19937_64 rng(2);
  // A sampled signal whose time stamps jitter by a few samples: 200 points per column.
  std::uniform_real_distribution<double> jitter(-0.002, 0.002), value(0, 1);
  std::vector<double> xs(20000), ys(20000);
  for (std::size_t i = 0; i < xs.size(); ++i) {
    xs[i] = 1 + static_cast<double>(i) * 0.0005 + jitter(rng);
    ys[i] = value(rng);
  }
  const auto out = reduce(xs, ys);
  EXPECT_LT(out.size(), xs.size() / 2);
  expectFaithful(xs, ys, out);
}

TEST(ReducePolyline, ShortLinesPassUnchanged) {
  const std::vector<double> xs{10, 20, 15, 30}, ys{0.1, 0.9, 0.5, 0.2};
  const auto out = reduce(xs, ys);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[2], (PixelPoint{150, 250}));  // stored order, not sorted by X
  EXPECT_TRUE(reduce({}, {}).empty());
  EXPECT_EQ(reduce({5}, {0.5}).size(), 1u);
}

TEST(ReducePolyline, PointsThatCannotBeShownBreakTheLine) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<double> xs{10, 20, 30, 40, 50, kNan, 60, 70};
  const std::vector<double> ys{0.1, 0.2, kNan, 0.4, inf, 0.5, 0.6, 0.7};
  const auto out = reduce(xs, ys);
  const std::vector<bool> breaks{false, false, true, false, true, false, false};
  ASSERT_EQ(out.size(), breaks.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    EXPECT_EQ(out[i].isBreak(), breaks[i]) << i;
  }
  // On a logarithmic value axis, values ≤ 0 break the line too.
  const AxisPixelMap logValue{0, 500, -100, true};
  const auto logOut = reduce({10, 20, 30, 40}, {1, 0, -5, 10}, kKey, logValue);
  ASSERT_EQ(logOut.size(), 3u);
  EXPECT_TRUE(logOut[1].isBreak());
  EXPECT_DOUBLE_EQ(logOut[2].y, 400);  // log10(10) = 1 decade = 100 pixels up
}

TEST(ReducePolyline, OffScreenRunsKeepOnlyTheirEnds) {
  // 1000 points left of the plot, then two inside, then 1000 right of it.
  std::vector<double> xs, ys;
  for (int i = 0; i < 1000; ++i) {
    xs.push_back(-50 + i * 0.01);
    ys.push_back(i % 2);
  }
  xs.insert(xs.end(), {50, 51});
  ys.insert(ys.end(), {0.5, 0.5});
  for (int i = 0; i < 1000; ++i) {
    xs.push_back(200 + i);
    ys.push_back(i % 3);
  }
  const auto out = reduce(xs, ys);
  ASSERT_EQ(out.size(), 6u);
  EXPECT_EQ(out[0], (PixelPoint{-500, 500}));
  EXPECT_EQ(out[2], (PixelPoint{500, 250}));
  EXPECT_EQ(out[5], (PixelPoint{kKey(xs.back()), kValue(ys.back())}));
}

TEST(ReduceSortedPolyline, EqualsTheGeneralReductionOnSortedData) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> step(0, 0.02), value(0.01, 1);
  std::uniform_int_distribution<int> repeat(0, 9);
  const AxisPixelMap logValue{0, 500, -250, true};
  const AxisPixelMap logKey{0, 0, 400, true};
  for (int trial = 0; trial < 20; ++trial) {
    // From left of the plot to right of it, with runs of equal X and of equal Y.
    std::vector<double> xs, ys;
    double x = -20 + trial;
    while (x < 130) {
      x += repeat(rng) == 0 ? 0 : step(rng) * (1 + trial % 5);
      xs.push_back(x);
      ys.push_back(repeat(rng) < 3 && !ys.empty() ? ys.back() : value(rng));
    }
    for (const AxisPixelMap* valueMap : {&kValue, &logValue}) {
      std::vector<PixelPoint> general, sorted;
      reducePolyline(xs, ys, 0, xs.size(), kKey, *valueMap, kWindow, general);
      reduceSortedPolyline(xs, ys, 0, xs.size(), kKey, *valueMap, kWindow, sorted);
      ASSERT_EQ(general, sorted) << "trial " << trial;
    }
    // A logarithmic key axis over the positive part.
    const auto positive =
        static_cast<std::size_t>(std::upper_bound(xs.begin(), xs.end(), 0.0) - xs.begin());
    std::vector<PixelPoint> general, sorted;
    reducePolyline(xs, ys, positive, xs.size(), logKey, kValue, kWindow, general);
    reduceSortedPolyline(xs, ys, positive, xs.size(), logKey, kValue, kWindow, sorted);
    ASSERT_EQ(general, sorted) << "trial " << trial;
  }
}

TEST(VisibleIndexRange, KeepsOneNeighbourOnEachSide) {
  std::vector<double> xs(10);
  std::iota(xs.begin(), xs.end(), 0.0);
  struct Case {
    double lower, upper;
    std::size_t begin, end;
  };
  const Case cases[] = {{2.5, 5.5, 2, 7}, {-10, 100, 0, 10}, {-10, -5, 0, 1},
                        {20, 30, 9, 10},  {3, 3, 2, 5},      {0, 9, 0, 10}};
  for (const Case& c : cases) {
    const IndexRange r = visibleIndexRange(xs, c.lower, c.upper);
    EXPECT_EQ(r.begin, c.begin) << c.lower;
    EXPECT_EQ(r.end, c.end) << c.lower;
  }
  EXPECT_EQ(visibleIndexRange({}, 0, 1).end, 0u);
}

TEST(ClipPolyline, CutsAtTheRectangleAndBreaksWhereTheLineLeaves) {
  const PixelRect rect{0, 0, 100, 100};
  std::vector<PixelPoint> out;
  clipPolyline(std::vector<PixelPoint>{{50, 50}, {150, 50}, {150, 80}, {50, 80}}, rect, out);
  ASSERT_EQ(out.size(), 5u);
  EXPECT_EQ(out[1], (PixelPoint{100, 50}));
  EXPECT_TRUE(out[2].isBreak());
  EXPECT_EQ(out[3], (PixelPoint{100, 80}));
  EXPECT_EQ(out[4], (PixelPoint{50, 80}));

  // A point at an absurd distance becomes a point on the edge.
  clipPolyline(std::vector<PixelPoint>{{50, 50}, {50, 1e300}}, rect, out);
  ASSERT_EQ(out.size(), 2u);
  expectNear(out[1], {50, 100});

  clipPolyline(std::vector<PixelPoint>{{-50, -50}, {-10, 200}}, rect, out);
  EXPECT_TRUE(out.empty());
  clipPolyline(std::vector<PixelPoint>{{10, 10}, kLineBreak, {20, 20}}, rect, out);
  EXPECT_TRUE(out.empty()) << "isolated points have no segment";
}

TEST(DistanceToPolyline, MeasuresToTheNearestSegment) {
  const std::vector<PixelPoint> line{{0, 0}, {10, 0}, kLineBreak, {20, 0}, {20, 10}};
  EXPECT_DOUBLE_EQ(distanceToPolyline(line, {5, 3}), 3);
  EXPECT_DOUBLE_EQ(distanceToPolyline(line, {-3, 4}), 5);
  EXPECT_DOUBLE_EQ(distanceToPolyline(line, {15, 0}), 5) << "no segment across the break";
  EXPECT_DOUBLE_EQ(distanceToPolyline(line, {22, 5}), 2);
  EXPECT_TRUE(std::isinf(distanceToPolyline(std::vector<PixelPoint>{{1, 1}}, {1, 1})));
}

TEST(DashSegments, PatternRunsOnAcrossVerticesAndRestartsAfterBreaks) {
  const double dash[] = {4, 2};
  std::vector<PixelPoint> out;
  dashSegments(std::vector<PixelPoint>{{0, 0}, {30, 0}}, dash, out);
  ASSERT_EQ(out.size(), 10u);  // dashes at 0, 6, 12, 18, 24
  expectNear(out[2], {6, 0});
  expectNear(out[9], {28, 0});

  out.clear();
  dashSegments(std::vector<PixelPoint>{{0, 0}, {3, 0}, {3, 3}}, dash, out);
  ASSERT_GE(out.size(), 4u);
  expectNear(out[2], {3, 0});  // the first dash goes on round the corner
  expectNear(out[3], {3, 1});

  out.clear();
  dashSegments(std::vector<PixelPoint>{{0, 0}, {5, 0}, kLineBreak, {0, 9}, {3, 9}}, dash, out);
  ASSERT_EQ(out.size(), 4u);
  expectNear(out[2], {0, 9});  // the pattern starts afresh
  expectNear(out[3], {3, 9});

  out.clear();
  const double broken[] = {0, -1};
  dashSegments(std::vector<PixelPoint>{{0, 0}, {5, 0}}, broken, out);
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace tarvik::view
