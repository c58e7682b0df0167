#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TransformTestUtil.h"
#include "transforms/Pointwise.h"

namespace tarvik {
namespace {

using testing::makeGraph;
using testing::toVector;

struct RuleCase {
  PointwiseKind kind;
  double v;
  std::vector<double> xs, ys;  // expected
  std::string titleSuffix;
};

// Every rule on the points (−2, 4), (1, −9), (4, 0.25).
TEST(Pointwise, EachRuleRewritesEveryPoint) {
  const std::vector<RuleCase> cases = {
      {PointwiseKind::ShiftX, 1.5, {-0.5, 2.5, 5.5}, {4, -9, 0.25}, ""},
      {PointwiseKind::MultiplyX, -2, {4, -2, -8}, {4, -9, 0.25}, ""},
      {PointwiseKind::DivideX, 4, {-0.5, 0.25, 1}, {4, -9, 0.25}, ""},
      {PointwiseKind::InvertX, 0, {-0.5, 1, 0.25}, {4, -9, 0.25}, ""},
      {PointwiseKind::ShiftY, -1, {-2, 1, 4}, {3, -10, -0.75}, ""},
      {PointwiseKind::MultiplyY, 2, {-2, 1, 4}, {8, -18, 0.5}, ""},
      {PointwiseKind::DivideY, 2, {-2, 1, 4}, {2, -4.5, 0.125}, ""},
      {PointwiseKind::SqrtAbs, 0, {-2, 1, 4}, {2, 3, 0.5}, ""},
      {PointwiseKind::Square, 0, {-2, 1, 4}, {16, 81, 0.0625}, ""},
      {PointwiseKind::Magnitude, 0, {-2, 1, 4}, {4, 9, 0.25}, ""},
      {PointwiseKind::Negate, 0, {-2, 1, 4}, {-4, 9, -0.25}, ""},
      {PointwiseKind::InvertY, 0, {-2, 1, 4}, {0.25, -1.0 / 9, 4}, ""},
      {PointwiseKind::Normalize, 9, {-2, 1, 4}, {4.0 / 9, -1, 0.25 / 9}, ""},
      {PointwiseKind::ZeroX, 0, {0, 3, 6}, {4, -9, 0.25}, ""},
      {PointwiseKind::Decibels, 0.25, {-2, 4}, {20 * std::log10(16.0), 0}, " (dB)"},
      {PointwiseKind::XOverY, 0, {-0.5, -1.0 / 9, 16}, {4, -9, 0.25}, " (X/Y)"},
      {PointwiseKind::YOverX, 0, {-2, 1, 4}, {-2, -9, 0.0625}, " (Y/X)"},
      {PointwiseKind::SwapXY, 0, {4, -9, 0.25}, {-2, 1, 4}, " (Y<->X)"},
  };
  for (const RuleCase& c : cases) {
    Graph g = makeGraph({-2, 1, 4}, {4, -9, 0.25}, "t");
    const PointwiseOutcome outcome = applyPointwise(g, c.kind, c.v);
    SCOPED_TRACE(static_cast<int>(c.kind));
    EXPECT_FALSE(outcome.faultIndex);
    ASSERT_EQ(g.size(), c.xs.size());
    for (std::size_t i = 0; i < c.xs.size(); ++i) {
      EXPECT_DOUBLE_EQ(g.x(i), c.xs[i]) << i;
      EXPECT_DOUBLE_EQ(g.y(i), c.ys[i]) << i;
    }
    EXPECT_EQ(g.title, "t" + c.titleSuffix);
  }
}

TEST(Pointwise, ReciprocalDropsZerosAndKeepsOrder) {
  Graph g = makeGraph({1, 2, 3, 4}, {2, 0, 0, 4});
  applyPointwise(g, PointwiseKind::InvertY, 0);
  EXPECT_EQ(toVector(g.xs()), (std::vector<double>{1, 4}));
  EXPECT_EQ(toVector(g.ys()), (std::vector<double>{0.5, 0.25}));

  Graph h = makeGraph({1, 2, 4}, {5, 6, 7});
  applyPointwise(h, PointwiseKind::InvertX, 0);
  EXPECT_EQ(toVector(h.xs()), (std::vector<double>{1, 0.5, 0.25}));  // X now descends
}

TEST(Pointwise, DecibelsDropsNonPositiveValues) {
  Graph g = makeGraph({0, 1, 2, 3}, {10, -3, 0, 100}, "u");
  applyPointwise(g, PointwiseKind::Decibels, 1);
  EXPECT_EQ(toVector(g.xs()), (std::vector<double>{0, 3}));
  EXPECT_DOUBLE_EQ(g.y(0), 20);
  EXPECT_DOUBLE_EQ(g.y(1), 40);
  EXPECT_EQ(g.title, "u (dB)");
}

TEST(Pointwise, QuotientWithZeroDivisorGivesOrigin) {
  Graph g = makeGraph({0, 6, 5}, {3, 0, 2});
  applyPointwise(g, PointwiseKind::XOverY, 0);
  EXPECT_EQ(toVector(g.xs()), (std::vector<double>{0, 0, 2.5}));
  EXPECT_EQ(toVector(g.ys()), (std::vector<double>{3, 0, 2}));

  Graph h = makeGraph({0, 2}, {7, 3});
  applyPointwise(h, PointwiseKind::YOverX, 0);
  EXPECT_EQ(toVector(h.xs()), (std::vector<double>{0, 2}));
  EXPECT_EQ(toVector(h.ys()), (std::vector<double>{0, 1.5}));
}

TEST(Pointwise, QuotientOutOfRangeLeavesGraphWhole) {
  Graph g = makeGraph({1, 1e300, 3}, {1, 1e-300, 3}, "q");
  const PointwiseOutcome outcome = applyPointwise(g, PointwiseKind::XOverY, 0);
  ASSERT_TRUE(outcome.faultIndex);
  EXPECT_EQ(*outcome.faultIndex, 1u);
  EXPECT_EQ(toVector(g.xs()), (std::vector<double>{1, 1e300, 3}));
  EXPECT_EQ(g.title, "q");
}

TEST(Pointwise, InversionAndSwapTwiceRestore) {
  const std::vector<double> xs = {-1.5, 0, 2.25, 1e-300, 7};
  const std::vector<double> ys = {3, -0.0, 1e300, -4, 0.1};
  Graph g = makeGraph(xs, ys, "s");
  applyPointwise(g, PointwiseKind::Negate, 0);
  applyPointwise(g, PointwiseKind::Negate, 0);
  EXPECT_EQ(toVector(g.ys()), ys);
  applyPointwise(g, PointwiseKind::SwapXY, 0);
  applyPointwise(g, PointwiseKind::SwapXY, 0);
  EXPECT_EQ(toVector(g.xs()), xs);
  EXPECT_EQ(toVector(g.ys()), ys);
  EXPECT_EQ(g.title, "s (Y<->X) (Y<->X)");
}

TEST(Pointwise, EmptyGraphIsLeftAlone) {
  for (int k = 0; k <= static_cast<int>(PointwiseKind::SwapXY); ++k) {
    Graph g = makeGraph({}, {}, "e");
    applyPointwise(g, static_cast<PointwiseKind>(k), 2);
    EXPECT_TRUE(g.empty());
    EXPECT_EQ(g.title, "e") << k;
  }
}

TEST(Pointwise, ShiftToZeroUsesSmallestXNotFirst) {
  Graph g = makeGraph({3, -5, 5}, {0, 0, 0});
  applyPointwise(g, PointwiseKind::ZeroX, 0);
  EXPECT_EQ(toVector(g.xs()), (std::vector<double>{8, 0, 10}));
}

TEST(Pointwise, PeakMagnitudeSkipsNaN) {
  const std::vector<double> ys = {2, std::numeric_limits<double>::quiet_NaN(), -5};
  EXPECT_EQ(peakMagnitude(ys), 5);
  EXPECT_EQ(peakMagnitude({}), 0);
}

}  // namespace
}  // namespace tarvik
