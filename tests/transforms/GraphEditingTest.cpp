#include <gtest/gtest.h>

#include <cmath>

#include "TransformTestUtil.h"
#include "transforms/GraphEditing.h"

namespace tarvik {
namespace {

using testing::makeGraph;
using testing::toVector;

TEST(GraphEditing, CloneResamplesOntoEvenGrid) {
  std::vector<double> xs(1000), ys(1000);
  for (std::size_t i = 0; i < xs.size(); ++i) {
    xs[i] = 2 + static_cast<double>(i * i) * 1e-5;  // uneven
    ys[i] = 5 * xs[i] - 1;
  }
  const Graph clone = cloneOnGrid(makeGraph(xs, ys), 11);
  ASSERT_EQ(clone.size(), 11u);
  const double step = (xs.back() - 2) / 10;
  for (std::size_t k = 0; k < 11; ++k) {
    EXPECT_NEAR(clone.x(k), 2 + static_cast<double>(k) * step, 1e-12);
    EXPECT_NEAR(clone.y(k), 5 * clone.x(k) - 1, 1e-9);
  }
  EXPECT_EQ(clone.x(10), xs.back());
}

TEST(GraphEditing, CloneOfUnsortedOrShortSource) {
  const Graph clone = cloneOnGrid(makeGraph({4, 0, 2}, {40, 0, 20}), 3);
  EXPECT_EQ(toVector(clone.xs()), (std::vector<double>{0, 2, 4}));
  EXPECT_EQ(toVector(clone.ys()), (std::vector<double>{0, 20, 40}));
  EXPECT_TRUE(cloneOnGrid(makeGraph({1}, {1}), 5).empty());
}

TEST(GraphEditing, CropKeepsEndsAndOrder) {
  Graph g = makeGraph({0, 1, 2, 3, 4, 5, 6, 2.5}, {0, 1, 2, 3, 4, 5, 6, 7});
  cropByX(g, 2, 4);
  EXPECT_EQ(toVector(g.xs()), (std::vector<double>{2, 3, 4, 2.5}));
  EXPECT_EQ(toVector(g.ys()), (std::vector<double>{2, 3, 4, 7}));
}

TEST(GraphEditing, HalvingKeepsEvenPointsAndTheLast) {
  const std::vector<std::pair<std::size_t, std::vector<double>>> cases = {
      {10, {0, 2, 4, 6, 8, 9}}, {9, {0, 2, 4, 6, 8}}, {3, {0, 2}}, {2, {0, 1}}, {1, {0}}, {0, {}}};
  for (const auto& [n, kept] : cases) {
    std::vector<double> xs(n);
    for (std::size_t i = 0; i < n; ++i) {
      xs[i] = static_cast<double>(i);
    }
    Graph g = makeGraph(xs, xs);
    halvePoints(g);
    EXPECT_EQ(toVector(g.xs()), kept) << n;
    EXPECT_EQ(toVector(g.ys()), kept) << n;
  }
}

TEST(GraphEditing, SpliceTakesLeftUpToX0AndRightAbove) {
  std::vector<double> lx, rx;
  for (int i = 0; i <= 10; ++i) {
    lx.push_back(i);
    rx.push_back(i + 5);
  }
  const Graph left = makeGraph(lx, std::vector<double>(lx.size(), 1));
  const Graph right = makeGraph(rx, std::vector<double>(rx.size(), 2));
  const Graph r = spliceAt(left, right, 7);
  ASSERT_EQ(r.size(), 16u);
  for (std::size_t i = 0; i < r.size(); ++i) {
    EXPECT_EQ(r.x(i), static_cast<double>(i));
    EXPECT_EQ(r.y(i), i <= 7 ? 1 : 2);
  }
  const Graph self = spliceAt(left, left, 3);
  EXPECT_EQ(toVector(self.xs()), lx);
}

TEST(GraphEditing, SplicePointCountIsKnownBeforeTheSplice) {
  const double nan = std::nan("");
  const Graph left = makeGraph({1, nan, 3, 5, 7}, {1, 2, 3, 4, 5});
  const Graph right = makeGraph({2, 4, nan, 6}, {1, 2, 3, 4});
  for (const double x0 : {-1.0, 3.0, 4.5, 7.0, 10.0, nan}) {
    EXPECT_EQ(splicedPointCount(left, right, x0), spliceAt(left, right, x0).size()) << x0;
  }
  EXPECT_EQ(splicedPointCount(left, right, 4.5), 3u);  // 1 and 3 of the left, 6 of the right
}

TEST(GraphEditing, SpliceOrdersLikeAddPoint) {
  // Right points below the left ones are inserted in X order; equal X keep arrival order.
  const Graph left = makeGraph({5, 1, 3}, {50, 10, 30});
  const Graph right = makeGraph({7, 6, 6.5}, {70, 60, 65});
  const Graph r = spliceAt(left, right, 5.5);
  Graph expected;
  for (auto [x, y] : std::vector<std::pair<double, double>>{
           {5, 50}, {1, 10}, {3, 30}, {7, 70}, {6, 60}, {6.5, 65}}) {
    expected.addPoint(x, y);
  }
  EXPECT_EQ(toVector(r.xs()), toVector(expected.xs()));
  EXPECT_EQ(toVector(r.ys()), toVector(expected.ys()));
}

}  // namespace
}  // namespace tarvik
