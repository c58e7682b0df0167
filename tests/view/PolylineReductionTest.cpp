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

// The reduction as it was before the block summaries: every point mapped and sorted into
// runs one at a time. Kept as the oracle the faster forms must equal.
std::vector<PixelPoint> referenceReduction(const std::vector<double>& xs,
                                           const std::vector<double>& ys, std::size_t begin,
                                           std::size_t end, const AxisPixelMap& key,
                                           const AxisPixelMap& value, ColumnWindow window) {
  std::vector<PixelPoint> out;
  auto emit = [&](PixelPoint p) {
    if (out.empty() || !(out.back() == p)) {
      out.push_back(p);
    }
  };
  auto at = [&](std::size_t i) { return PixelPoint{key(xs[i]), value(ys[i])}; };
  std::size_t first = 0, last = 0, low = 0, high = 0;
  bool active = false, offScreen = false;
  double column = 0;  // floor of the pixel, or ±infinity off screen
  auto flush = [&] {
    emit(at(first));
    if (!offScreen) {
      for (std::size_t k : {std::min(low, high), std::max(low, high)}) {
        if (k != first && k != last) {
          emit(at(k));
        }
      }
    }
    emit(at(last));
  };
  for (std::size_t i = begin; i < end; ++i) {
    const PixelPoint p = at(i);
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
      if (active) {
        flush();
      }
      active = false;
      if (!out.empty() && !out.back().isBreak()) {
        out.push_back(kLineBreak);
      }
      continue;
    }
    const double c = p.x < window.leftPx     ? -INFINITY
                     : p.x >= window.rightPx ? INFINITY
                                             : std::floor(p.x);
    if (active && c == column) {
      last = i;
      low = ys[i] < ys[low] ? i : low;
      high = ys[i] > ys[high] ? i : high;
      continue;
    }
    if (active) {
      flush();
    }
    active = true;
    offScreen = std::isinf(c);
    column = c;
    first = last = low = high = i;
  }
  if (active) {
    flush();
  }
  return out;
}

bool sameLine(const std::vector<PixelPoint>& a, const std::vector<PixelPoint>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](PixelPoint p, PixelPoint q) { return p.isBreak() ? q.isBreak() : p == q; });
}

TEST(ReducePolyline, BlockSummariesGiveTheSameLineAsThePlainReduction) {
  std::mt19937_64 rng(11);
  std::normal_distribution<double> noise(0, 0.05);
  std::uniform_real_distribution<double> unit(0, 1);
  enum class Kind { Sorted, Quantised, Jittered, Random, Gaps, Huge };
  struct Case {
    Kind kind;
    std::size_t points;
    const char* what;
  };
  // From a few points per column (no block fits one) to thousands (nearly all do).
  const Case cases[] = {
      {Kind::Sorted, 200'000, "sorted noisy, 200 per column"},
      {Kind::Sorted, 20'000, "sorted noisy, 20 per column"},
      {Kind::Quantised, 300'000, "sorted, 256 levels: ties for the extremes"},
      {Kind::Jittered, 200'000, "X jittered by two samples"},
      {Kind::Random, 20'000, "X in random order"},
      {Kind::Gaps, 150'000, "NaN and infinite values scattered"},
      {Kind::Huge, 100'000, "values too large for the pixel map"},
  };
  const AxisPixelMap reversedKey{0, 1000, -10, false};
  const AxisPixelMap logValue{-2, 500, -100, true};
  const AxisPixelMap logKey{0, 0, 400, true};
  for (const Case& c : cases) {
    const std::size_t n = c.points;
    std::vector<double> xs(n), ys(n);
    for (std::size_t i = 0; i < n; ++i) {
      // X from -10 to 110: the plot (0..100) and off-screen runs on both sides.
      const double t = -10 + 120 * static_cast<double>(i) / static_cast<double>(n);
      const double dt = 120.0 / static_cast<double>(n);
      xs[i] = c.kind == Kind::Jittered ? t + 2 * dt * (2 * unit(rng) - 1)
              : c.kind == Kind::Random ? -10 + 120 * unit(rng)
                                       : t;
      ys[i] = 0.5 + 0.4 * std::sin(t / 7) + noise(rng);
      if (c.kind == Kind::Quantised) {
        ys[i] = std::round(ys[i] * 255) / 255;
      }
      if (c.kind == Kind::Gaps && unit(rng) < 1e-4) {
        (unit(rng) < 0.5 ? xs[i] : ys[i]) = unit(rng) < 0.5 ? kNan : INFINITY;
      }
      if (c.kind == Kind::Huge && unit(rng) < 1e-4) {
        ys[i] = 1e306;  // finite, but beyond what the pixel map can hold
      }
    }
    const PointBlocks blocks = summarizePointBlocks(xs, ys);
    ASSERT_EQ(blocks.blocks.size(), n / PointBlocks::kPoints);
    struct Maps {
      const AxisPixelMap* key;
      const AxisPixelMap* value;
      ColumnWindow window;
    };
    const Maps maps[] = {{&kKey, &kValue, kWindow},
                         {&kKey, &kValue, ColumnWindow{300, 700}},
                         {&reversedKey, &kValue, kWindow},
                         {&kKey, &logValue, kWindow},
                         {&logKey, &kValue, kWindow}};
    // Whole arrays and ranges that start and end inside a block.
    const std::size_t ranges[][2] = {{0, n}, {37, n - 5}, {n / 3 + 1, n / 3 + 1000}};
    for (const Maps& m : maps) {
      for (const auto& r : ranges) {
        const std::vector<PixelPoint> expected =
            referenceReduction(xs, ys, r[0], r[1], *m.key, *m.value, m.window);
        std::vector<PixelPoint> plain, summarised;
        reducePolyline(xs, ys, r[0], r[1], *m.key, *m.value, m.window, plain);
        reducePolyline(xs, ys, r[0], r[1], *m.key, *m.value, m.window, summarised, &blocks);
        EXPECT_TRUE(sameLine(plain, expected)) << c.what << ", range from " << r[0];
        EXPECT_TRUE(sameLine(summarised, expected)) << c.what << ", range from " << r[0];
      }
    }
  }
}

TEST(ReducePolyline, BlocksWithAnyPointThatCannotBeShownAreMarked) {
  std::vector<double> xs(3 * PointBlocks::kPoints + 5), ys(xs.size(), 1.0);
  std::iota(xs.begin(), xs.end(), 0.0);
  ys[3] = -2;
  ys[10] = 4;
  ys[20] = -2;  // a tie: the first occurrence counts
  xs[PointBlocks::kPoints + 7] = kNan;
  ys[2 * PointBlocks::kPoints] = -INFINITY;
  const PointBlocks summary = summarizePointBlocks(xs, ys);
  ASSERT_EQ(summary.blocks.size(), 3u);
  const PointBlocks::Block& b = summary.blocks[0];
  EXPECT_TRUE(b.finite);
  EXPECT_EQ(b.xMin, 0);
  EXPECT_EQ(b.xMax, static_cast<double>(PointBlocks::kPoints - 1));
  EXPECT_EQ(b.yMin, -2);
  EXPECT_EQ(b.yMinAt, 3);
  EXPECT_EQ(b.yMax, 4);
  EXPECT_EQ(b.yMaxAt, 10);
  EXPECT_FALSE(summary.blocks[1].finite);
  EXPECT_FALSE(summary.blocks[2].finite);
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
