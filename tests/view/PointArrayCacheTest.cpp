// The chart's knowledge of a graph's arrays: sortedness that the binary search may trust,
// extents by sign for the autoscale, a fingerprint that sees values rewritten in place, and
// a cache kept only while the arrays stay where they are.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "view/PointArrayCache.h"

namespace tarvik::view {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(PointArrayCache, SortedOnlyWhenEveryXIsFiniteAndNeverDecreasing) {
  struct Row {
    std::vector<double> xs;
    bool sorted;
  };
  const Row rows[] = {
      {{}, true},           {{1, 2, 2, 3}, true},  {{1, 3, 2}, false},
      {{1, kNaN, 3}, false}, {{1, 2, kInf}, false}, {{-kInf, 0, 1}, false},
  };
  for (const Row& row : rows) {
    PointArrayCache cache;
    const std::vector<double> ys(row.xs.size(), 1.0);
    cache.refresh(row.xs, ys);
    EXPECT_EQ(cache.sorted(), row.sorted) << row.xs.size();
  }
}

TEST(PointArrayCache, ExtentsCountOnlyDrawablePointsBySign) {
  const std::vector<double> xs = {-4, -1, 2, kNaN, 5, 7};
  const std::vector<double> ys = {3, -2, kNaN, 9, -6, 0};
  PointArrayCache cache;
  cache.refresh(xs, ys);
  EXPECT_FALSE(cache.allYFinite());
  const ValueExtent& x = cache.xExtent();  // the points at 2 (Y NaN) and NaN are left out
  EXPECT_TRUE(x.any);
  EXPECT_EQ(x.min, -4);
  EXPECT_EQ(x.max, 7);
  EXPECT_EQ(x.minPositive, 5);
  EXPECT_EQ(x.maxNegative, -1);
  const ValueExtent& y = cache.yExtent();
  EXPECT_EQ(y.min, -6);
  EXPECT_EQ(y.max, 3);
  EXPECT_EQ(y.minPositive, 3);
  EXPECT_EQ(y.maxNegative, -2);
  EXPECT_TRUE(y.anyPositive && y.anyNegative);

  const std::vector<double> zeros = {0, 0};
  cache.refresh(zeros, zeros);
  EXPECT_TRUE(cache.xExtent().any);
  EXPECT_FALSE(cache.xExtent().anyPositive || cache.xExtent().anyNegative);
}

TEST(PointArrayCache, KeptWhileTheArraysStayAndFingerprintSeesValues) {
  std::vector<double> xs = {1, 2, 3};
  std::vector<double> ys = {4, 5, 6};
  PointArrayCache cache;
  cache.ensure(xs, ys);
  const std::uint64_t before = cache.fingerprint();
  ys[1] = 50;  // rewritten in place: same address and length, so ensure keeps the cache
  cache.ensure(xs, ys);
  EXPECT_EQ(cache.fingerprint(), before);
  EXPECT_EQ(cache.yExtent().max, 6);
  cache.refresh(xs, ys);
  EXPECT_NE(cache.fingerprint(), before);
  EXPECT_EQ(cache.yExtent().max, 50);
  // -0.0 and 0.0 are different values to the fingerprint.
  ys[1] = 0.0;
  cache.refresh(xs, ys);
  const std::uint64_t positiveZero = cache.fingerprint();
  ys[1] = -0.0;
  cache.refresh(xs, ys);
  EXPECT_NE(cache.fingerprint(), positiveZero);
  // A shorter view of the same arrays is read again.
  cache.ensure(std::span(xs).first(2), std::span(ys).first(2));
  EXPECT_EQ(cache.xExtent().max, 2);
}

TEST(PointArrayCache, BlockSummariesOnlyForLongGraphs) {
  const std::size_t n = PointArrayCache::kBlockSummaryPoints;
  std::vector<double> xs(n), ys(n, 1.0);
  for (std::size_t i = 0; i < n; ++i) {
    xs[i] = static_cast<double>(i);
  }
  PointArrayCache cache;
  cache.refresh(std::span(xs).first(n - 1), std::span(ys).first(n - 1));
  EXPECT_EQ(cache.blocks(), nullptr);
  cache.refresh(xs, ys);
  ASSERT_NE(cache.blocks(), nullptr);
  EXPECT_EQ(cache.blocks()->blocks.size(), n / PointBlocks::kPoints);
}

}  // namespace
}  // namespace tarvik::view
