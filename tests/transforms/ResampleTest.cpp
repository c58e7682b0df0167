#include <gtest/gtest.h>

#include <random>

#include "TransformTestUtil.h"
#include "transforms/Resample.h"
#include "transforms/SumProduct.h"

namespace tarvik {
namespace {

using testing::makeGraph;

// A source on an uneven grid whose every X lies on the even grid 0, 0.5, ..., 10 is read
// back exactly at its own X.
TEST(ZeroPaddedResample, GridThroughSourcePointsReproducesTheirY) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> value(-100, 100);
  std::vector<double> xs, ys;
  for (int k = 0; k <= 20; k += 1 + static_cast<int>(random() % 3)) {
    xs.push_back(k * 0.5);
    ys.push_back(value(random));
  }
  xs.back() = 10;
  std::vector<double> out(21, -1);
  zeroPaddedResample(xs, ys, 0, 10, out);
  for (std::size_t i = 0; i < xs.size(); ++i) {
    EXPECT_DOUBLE_EQ(out[static_cast<std::size_t>(xs[i] * 2)], ys[i]) << xs[i];
  }
}

TEST(ZeroPaddedResample, LinearBetweenPointsAndZeroOutside) {
  const std::vector<double> xs = {1, 3}, ys = {10, 30};
  std::vector<double> out(5);
  zeroPaddedResample(xs, ys, 0, 4, out);
  EXPECT_EQ(out, (std::vector<double>{0, 10, 20, 30, 0}));
}

TEST(ZeroPaddedResample, ZeroLengthIntervalTakesLeftValue) {
  const std::vector<double> xs = {1, 1, 2}, ys = {5, 7, 9};
  std::vector<double> out(3);
  zeroPaddedResample(xs, ys, 1, 2, out);
  EXPECT_EQ(out[0], 5);
  EXPECT_EQ(out[2], 9);
}

TEST(ZeroPaddedResample, FewerThanTwoPointsGiveZeros) {
  const std::vector<double> xs = {1}, ys = {5};
  std::vector<double> out(4, 3);
  zeroPaddedResample(xs, ys, 0, 2, out);
  EXPECT_EQ(out, (std::vector<double>(4, 0.0)));
}

TEST(AscendingSource, SortsStablyWithoutTouchingTheGraph) {
  const std::vector<double> xs = {2, 0, 1, 0}, ys = {20, 1, 10, 2};
  const AscendingSource s(xs, ys);
  EXPECT_EQ(testing::toVector(s.xs()), (std::vector<double>{0, 0, 1, 2}));
  EXPECT_EQ(testing::toVector(s.ys()), (std::vector<double>{1, 2, 10, 20}));
  EXPECT_EQ(xs[0], 2);
}

std::vector<double> combine(const std::vector<const Graph*>& sources, Combination how,
                            std::vector<double>* gridX = nullptr) {
  double lo = 1e300, hi = -1e300;
  for (const Graph* g : sources) {
    if (!g->empty()) {
      lo = std::min(lo, g->minX());
      hi = std::max(hi, g->maxX());
    }
  }
  const CommonGrid grid = commonGrid(sources, lo, hi);
  std::vector<double> xs, ys;
  combineOnGrid(sources, grid, how, xs, ys);
  if (gridX) {
    *gridX = xs;
  }
  return ys;
}

TEST(SumProduct, OneGraphOf100PointsGives256InterpolatedPoints) {
  std::vector<double> xs, ys;
  for (int i = 0; i < 100; ++i) {
    xs.push_back(i * 10.0 / 99);
    ys.push_back(3 * xs.back() - 1);
  }
  const Graph g = makeGraph(xs, ys);
  std::vector<double> gridX;
  const std::vector<double> sum = combine({&g}, Combination::Sum, &gridX);
  ASSERT_EQ(sum.size(), 256u);
  EXPECT_EQ(gridX.front(), 0);
  EXPECT_DOUBLE_EQ(gridX.back(), 10);
  for (std::size_t k = 0; k < 255; ++k) {
    EXPECT_NEAR(sum[k], 3 * gridX[k] - 1, 1e-12) << k;
  }
}

TEST(SumProduct, CountIsTheLargestSource) {
  std::vector<double> xs(1000), ys(1000, 1);
  for (std::size_t i = 0; i < xs.size(); ++i) {
    xs[i] = static_cast<double>(i);
  }
  const Graph g = makeGraph(xs, ys);
  EXPECT_EQ(combine({&g}, Combination::Product).size(), 1000u);
}

// Constant 1 over 0..2 and 1..3: the sum is 2 on the overlap, the product 1 only there.
TEST(SumProduct, OverlappingConstantsOnTheUnionGrid) {
  const Graph a = makeGraph({0, 2}, {1, 1});
  const Graph b = makeGraph({1, 3}, {1, 1});
  std::vector<double> gridX;
  const std::vector<double> sum = combine({&a, &b}, Combination::Sum, &gridX);
  const std::vector<double> product = combine({&a, &b}, Combination::Product);
  for (std::size_t k = 0; k < gridX.size(); ++k) {
    const double x = gridX[k];
    const bool both = x >= 1 && x <= 2;
    EXPECT_EQ(sum[k], both ? 2 : 1) << x;
    EXPECT_EQ(product[k], both ? 1 : 0) << x;
  }
}

// The grid starts from the chart's X range taken crosswise (its right end as the left
// limit and its left end as the right limit), and every source widens it to its own range:
// a chart zoomed into the sources or out past them gives the sources' union, and a chart
// wholly to one side of them stretches the grid to its near end.
TEST(SumProduct, GridFromTheChartRangeTakenCrosswise) {
  const Graph a = makeGraph({10, 12, 20}, {1, 1, 1});
  const Graph b = makeGraph({15, 30}, {2, 2});
  const Graph empty;
  const struct {
    double chartMin, chartMax;
    std::vector<const Graph*> sources;
    double xmin, xmax;
  } cases[] = {
      {0, 100, {&a, &b}, 10, 30},      // zoomed out past the sources
      {12, 18, {&a, &b}, 10, 30},      // zoomed into them
      {-50, 5, {&a, &b}, 5, 30},       // wholly left: its right end is the left limit
      {40, 60, {&a, &b}, 10, 40},      // wholly right: its left end is the right limit
      {25, 60, {&a, &empty}, 10, 25},  // an empty source leaves the range alone
      {0, 100, {&empty}, 100, 0},      // nothing but the crosswise start
  };
  for (const auto& c : cases) {
    const CommonGrid grid = commonGrid(c.sources, c.chartMin, c.chartMax);
    EXPECT_EQ(grid.xmin, c.xmin) << c.chartMin << " " << c.chartMax;
    EXPECT_EQ(grid.xmax, c.xmax) << c.chartMin << " " << c.chartMax;
    EXPECT_EQ(grid.count, 256u);
  }
  // On the grid stretched to 40 the sources are zero beyond their own ends.
  const std::vector<const Graph*> both = {&a, &b};
  const CommonGrid grid = commonGrid(both, 40, 60);
  std::vector<double> xs, ys;
  combineOnGrid(both, grid, Combination::Sum, xs, ys);
  ASSERT_EQ(xs.size(), 256u);
  EXPECT_EQ(xs.front(), 10);
  EXPECT_DOUBLE_EQ(xs.back(), 40);
  for (std::size_t k = 0; k < xs.size(); ++k) {
    const double want = (xs[k] <= 20 ? 1 : 0) + (xs[k] >= 15 && xs[k] <= 30 ? 2 : 0);
    EXPECT_DOUBLE_EQ(ys[k], want) << xs[k];
  }
}

TEST(SumProduct, ShortAndUnsortedSourcesAreSafe) {
  const Graph one = makeGraph({5}, {100});
  const Graph unsorted = makeGraph({2, 0, 1}, {2, 0, 1});
  const Graph empty;
  std::vector<double> gridX;
  const std::vector<double> sum = combine({&one, &unsorted, &empty}, Combination::Sum, &gridX);
  ASSERT_EQ(sum.size(), 256u);
  EXPECT_EQ(gridX.front(), 0);
  EXPECT_DOUBLE_EQ(gridX.back(), 5);
  for (std::size_t k = 0; k < gridX.size(); ++k) {
    EXPECT_NEAR(sum[k], gridX[k] <= 2 ? gridX[k] : 0, 1e-12);  // one point contributes 0
  }
}

}  // namespace
}  // namespace tarvik
