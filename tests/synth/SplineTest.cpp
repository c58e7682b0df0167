#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "../support/AddressSpaceLimit.h"
#include "../support/ScriptedUi.h"
#include "SplineReference.h"
#include "core/OutputLimits.h"
#include "synth/Spline.h"
#include "synth/SplineCommands.h"

namespace tarvik::synth {
namespace {

using reference::expectSameBits;
using reference::plainBSpline;
using reference::RandomGraph;
using reference::randomGraph;
using testing::ScriptedUi;

// The Catmull–Rom curve written out point by point from the padded float array.
PointArrays plainCatmullRom(const std::vector<double>& xs, const std::vector<double>& ys) {
  PointArrays out;
  const std::size_t m = xs.size();
  if (m < 2) {
    return out;
  }
  std::vector<float> px{static_cast<float>(xs.front())}, py{static_cast<float>(ys.front())};
  for (std::size_t i = 0; i < m; ++i) {
    px.push_back(static_cast<float>(xs[i]));
    py.push_back(static_cast<float>(ys[i]));
  }
  px.push_back(px.back());
  py.push_back(py.back());
  const auto coordinate = [](const std::vector<float>& p, std::size_t s, double u) {
    const double q0 = p[s - 1], q1 = p[s], q2 = p[s + 1], q3 = p[s + 2];
    const double a3 = 3 * q1 - q0 - 3 * q2 + q3;
    const double a2 = 2 * q0 - 5 * q1 + 4 * q2 - q3;
    const double a1 = q2 - q0;
    const double a0 = 2 * q1;
    return static_cast<float>((a3 * (u * u * u) + a2 * (u * u) + a1 * u + a0) / 2);
  };
  for (std::size_t s = 1; s < m; ++s) {
    for (int i = s == 1 ? 0 : 1; i <= 10; ++i) {
      const double u = i / 10.0;
      out.xs.push_back(coordinate(px, s, u));
      out.ys.push_back(coordinate(py, s, u));
    }
  }
  return out;
}

TEST(BSpline, LocalSupportEqualsPlainRecursionBitForBit) {
  for (std::size_t m : {3u, 4u, 5u, 6u, 7u, 10u, 31u, 1000u}) {
    const RandomGraph g = randomGraph(m, static_cast<unsigned>(m));
    const PointArrays fast = quadraticBSpline(g.xs, g.ys);
    const PointArrays plain = plainBSpline(g.xs, g.ys);
    expectSameBits(fast.xs, plain.xs, "x", m);
    expectSameBits(fast.ys, plain.ys, "y", m);
  }
}

TEST(BSpline, NonFiniteControlPointsSpreadAsInThePlainSum) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  RandomGraph g = randomGraph(10, 7);
  g.ys[4] = inf;  // only where its basis function is zero does it give NaN
  g.xs[0] = nan;
  const PointArrays fast = quadraticBSpline(g.xs, g.ys);
  const PointArrays plain = plainBSpline(g.xs, g.ys);
  expectSameBits(fast.xs, plain.xs, "x", 10);
  expectSameBits(fast.ys, plain.ys, "y", 10);
  EXPECT_TRUE(std::isinf(fast.ys[30]));  // u = 3: N(4,3) is non-zero there
  // A huge double becomes an infinite float control value.
  g = randomGraph(5, 3);
  g.ys[2] = -1e300;
  expectSameBits(quadraticBSpline(g.xs, g.ys).ys, plainBSpline(g.xs, g.ys).ys, "y", 5);
}

TEST(BSpline, KnotsAreClampedAndLongEnoughForTheRecursion) {
  EXPECT_EQ(bSplineKnots(2), (std::vector<float>{0, 0, 0, 1, 1, 1}));
  EXPECT_EQ(bSplineKnots(3), (std::vector<float>{0, 0, 0, 1, 2, 2, 2}));
  EXPECT_EQ(bSplineKnots(5), (std::vector<float>{0, 0, 0, 1, 2, 3, 4, 4, 4, 4, 4}));
  EXPECT_TRUE(bSplineKnots(1).empty());
}

TEST(BSpline, PointCountsStartAndPartitionOfUnity) {
  for (std::size_t m : {0u, 1u, 2u}) {
    const RandomGraph g = randomGraph(m, 1);
    EXPECT_TRUE(quadraticBSpline(g.xs, g.ys).xs.empty()) << m;
  }
  const std::vector<double> xs{1, 2, 4}, ys{5, -1, 3};
  const PointArrays three = quadraticBSpline(xs, ys);
  ASSERT_EQ(three.xs.size(), 10u);
  EXPECT_EQ(three.xs[0], 1.0);
  EXPECT_EQ(three.ys[0], 5.0);
  // A constant graph stays constant (the basis sums to 1) and never reaches the last X.
  const std::vector<double> flat(50, 2.5);
  std::vector<double> line;
  for (int i = 0; i < 50; ++i) {
    line.push_back(i);
  }
  const PointArrays curve = quadraticBSpline(line, flat);
  ASSERT_EQ(curve.xs.size(), 10u * 50 - 20);
  for (std::size_t i = 0; i < curve.ys.size(); ++i) {
    EXPECT_NEAR(curve.ys[i], 2.5, 1e-6) << i;
  }
  EXPECT_LT(curve.xs.back(), 49.0);
  EXPECT_GT(curve.xs.back(), 48.0);
}

TEST(CatmullRom, EqualsThePointByPointCurveAndPassesThroughEveryPoint) {
  for (std::size_t m : {2u, 3u, 4u, 17u, 500u}) {
    const RandomGraph g = randomGraph(m, static_cast<unsigned>(100 + m));
    const PointArrays curve = catmullRomCurve(g.xs, g.ys);
    const PointArrays plain = plainCatmullRom(g.xs, g.ys);
    expectSameBits(curve.xs, plain.xs, "x", m);
    expectSameBits(curve.ys, plain.ys, "y", m);
    ASSERT_EQ(curve.xs.size(), 10 * m - 9);
    for (std::size_t i = 0; i < m; ++i) {
      EXPECT_EQ(curve.xs[10 * i], static_cast<float>(g.xs[i])) << m << " point " << i;
      EXPECT_EQ(curve.ys[10 * i], static_cast<float>(g.ys[i])) << m << " point " << i;
    }
  }
}

TEST(CatmullRom, StraightLinesAndShortGraphs) {
  // Three collinear points: 21 points on the line, the middle point 11th.
  const PointArrays three =
      catmullRomCurve(std::vector<double>{0, 1, 2}, std::vector<double>{0, 2, 4});
  ASSERT_EQ(three.xs.size(), 21u);
  EXPECT_EQ(three.xs[10], 1.0);
  EXPECT_EQ(three.ys[10], 2.0);
  for (std::size_t i = 0; i < 21; ++i) {
    EXPECT_NEAR(three.ys[i], 2 * three.xs[i], 1e-6) << i;
  }
  // Two points: the phantom ends repeat them, so 11 points on the segment.
  const PointArrays two = catmullRomCurve(std::vector<double>{0, 10}, std::vector<double>{1, 3});
  ASSERT_EQ(two.xs.size(), 11u);
  for (std::size_t i = 0; i < 11; ++i) {
    EXPECT_NEAR(two.ys[i], 1 + two.xs[i] / 5, 1e-6) << i;
    if (i > 0) {
      EXPECT_GT(two.xs[i], two.xs[i - 1]);
    }
  }
  EXPECT_EQ(two.xs.back(), 10.0);
  EXPECT_TRUE(catmullRomCurve(std::vector<double>{1}, std::vector<double>{1}).xs.empty());
  // Coordinates are single precision.
  const PointArrays tenth =
      catmullRomCurve(std::vector<double>{0.1, 0.2}, std::vector<double>{0.3, 0.7});
  EXPECT_EQ(tenth.xs.front(), static_cast<double>(0.1f));
}

Graph graphOf(const std::string& title, std::vector<double> xs, std::vector<double> ys) {
  Graph g;
  g.title = title;
  g.setPoints(std::move(xs), std::move(ys));
  return g;
}

struct SplineCommandTest : ::testing::Test {
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  void SetUp() override {
    store.attachGraph(graphOf("a", {0, 1, 2}, {0, 1, 0}), "a.grf");
    store.attachGraph(graphOf("b", {0, 1, 2, 3}, {1, 1, 1, 1}), "b.grf");
    // X goes back: the curve is stored by the ordering rule.
    store.attachGraph(graphOf("c", {3, 2, 0}, {0, 1, 2}), "c.grf");
    store.setActiveIndex(0);
  }
};

TEST_F(SplineCommandTest, OneCurvePerChosenGraphInStoreOrder) {
  ui.selections.push_back(std::vector<int>{0, 2});
  catmullRomCommand(ctx);
  ASSERT_EQ(ui.choiceRequests.size(), 1u);
  EXPECT_EQ(ui.choiceRequests[0].caption, "Сплайн  - выбор графиков");
  ASSERT_EQ(store.count(), 5u);
  EXPECT_EQ(store.graph(3).title, "Сплайн для a");
  EXPECT_EQ(store.graph(4).title, "Сплайн для c");
  EXPECT_EQ(store.activeIndex(), 4);
  EXPECT_EQ(store.graph(3).size(), 21u);
  EXPECT_EQ(store.graph(0).size(), 3u);  // the source is unchanged
  const Graph& backwards = store.graph(4);
  ASSERT_EQ(backwards.size(), 21u);
  for (std::size_t i = 1; i < backwards.size(); ++i) {
    EXPECT_LE(backwards.x(i - 1), backwards.x(i)) << i;
  }
  EXPECT_EQ(backwards.x(0), 0.0);
  EXPECT_EQ(backwards.y(0), 2.0);  // the curve's last point, now first
}

TEST_F(SplineCommandTest, BSplineShowsMillisecondsPerGraphAndKeepsShortGraphsEmpty) {
  store.attachGraph(graphOf("short", {0, 1}, {0, 1}), "s.grf");
  ui.selections.push_back(std::vector<int>{1, 3});
  std::vector<std::string> shown;
  bSplineCommand(ctx, [&shown](const std::string& ms) { shown.push_back(ms); });
  EXPECT_EQ(ui.choiceRequests.at(0).caption, "Сплайн Безье - выбор графиков");
  ASSERT_EQ(store.count(), 6u);
  EXPECT_EQ(store.graph(4).title, "Сплайн Безье для b");
  EXPECT_EQ(store.graph(4).size(), 20u);
  EXPECT_EQ(store.graph(5).title, "Сплайн Безье для short");
  EXPECT_TRUE(store.graph(5).empty());
  ASSERT_EQ(shown.size(), 2u);
  for (const std::string& ms : shown) {
    EXPECT_FALSE(ms.empty());
    EXPECT_EQ(ms.find_first_not_of("0123456789"), std::string::npos) << ms;
  }
}

TEST(SplineCurves, PointCountsAreKnownBeforeTheCurveIsMade) {
  for (std::size_t m = 0; m <= 6; ++m) {
    const std::vector<double> xs(m, 1.0), ys(m, 2.0);
    EXPECT_EQ(catmullRomCurve(xs, ys).xs.size(), catmullRomPointCount(m)) << m;
    EXPECT_EQ(quadraticBSpline(xs, ys).xs.size(), bSplinePointCount(m)) << m;
  }
}

// A graph of `points` points on a rising line.
Graph longGraph(const std::string& title, std::size_t points) {
  std::vector<double> xs(points), ys(points, 1.0);
  for (std::size_t i = 0; i < points; ++i) {
    xs[i] = static_cast<double>(i);
  }
  return graphOf(title, std::move(xs), std::move(ys));
}

// Ten points per input point: a graph of a tenth of the cap plus a few points has a curve
// beyond it, which neither command starts; nothing is made for the other chosen graphs.
TEST_F(SplineCommandTest, ACurveBeyondTheCapIsRefusedBeforeAnythingIsMade) {
  store.attachGraph(longGraph("long", kMaxGraphPoints / 10 + 3), "long.grf");
  ASSERT_GT(bSplinePointCount(store.graph(3).size()), kMaxGraphPoints);
  ASSERT_GT(catmullRomPointCount(store.graph(3).size()), kMaxGraphPoints);
  ui.selections.push_back(std::vector<int>{0, 3});
  bSplineCommand(ctx);
  ui.selections.push_back(std::vector<int>{3});
  catmullRomCommand(ctx);
  EXPECT_EQ(ui.errors(), (std::vector<std::string>{kTooManyPoints, kTooManyPoints}));
  EXPECT_EQ(store.count(), 4u);
  EXPECT_EQ(store.activeIndex(), 0);
}

// A real shortage of memory while the second curve is made: the command ends with the
// shortage and the first curve goes too.
TEST_F(SplineCommandTest, RunningOutOfMemoryLeavesNoCurve) {
  if (!testing::AddressSpaceLimit::available()) {
    GTEST_SKIP() << "an address-space limit cannot be set under a sanitizer";
  }
  store.attachGraph(longGraph("long", kMaxGraphPoints / 10), "long.grf");  // 160 MB of curve
  for (const bool bSpline : {true, false}) {
    ui.selections.push_back(std::vector<int>{0, 3});
    const testing::AddressSpaceLimit limit(std::size_t{64} << 20);
    ASSERT_TRUE(limit.set());
    try {
      bSpline ? bSplineCommand(ctx) : catmullRomCommand(ctx);
      ADD_FAILURE() << "the shortage was not reported";
    } catch (const OutOfMemoryError& e) {
      EXPECT_STREQ(e.what(), kOutOfMemory);
    }
    EXPECT_EQ(store.count(), 4u);
    EXPECT_EQ(store.activeIndex(), 0);
    EXPECT_EQ(store.unnamedCounter(), 1);
  }
}

TEST_F(SplineCommandTest, CancelChangesNothing) {
  ui.selections.push_back(std::nullopt);
  bSplineCommand(ctx);
  catmullRomCommand(ctx);  // the empty queue cancels too
  EXPECT_EQ(store.count(), 3u);
}

}  // namespace
}  // namespace tarvik::synth
