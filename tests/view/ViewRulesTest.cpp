#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "support/ExtentChecks.h"
#include "view/ViewRules.h"

namespace tarvik::view {
namespace {

ViewState automaticView(AxisLimits bottom, AxisLimits left) {
  return {{true, bottom}, {true, left}, {true, bottom}, {true, left}};
}

void expectLimits(AxisLimits got, AxisLimits want) {
  EXPECT_DOUBLE_EQ(got.min, want.min);
  EXPECT_DOUBLE_EQ(got.max, want.max);
}

TEST(ViewRules, ZoomInThenOutDiffersAndShowAllRestores) {
  const ViewState start = automaticView({0, 10}, {-1, 1});
  UndoZoomMemory memory;
  memory.beforeZoomOrScroll(start);
  const ViewState in = zoomViewByPercent(start, 115);
  EXPECT_FALSE(in.bottom.automatic);
  EXPECT_FALSE(in.right.automatic);
  expectLimits(in.bottom.limits, {1.5, 8.5});
  memory.beforeZoomOrScroll(in);  // a second zoom keeps the first saved view
  const ViewState out = zoomViewByPercent(in, 85);
  expectLimits(out.bottom.limits, {0.45, 9.55});  // 0.7 × 1.3 = 0.91 of the old span
  expectLimits(out.left.limits, {-0.91, 0.91});

  const ViewState all = showAll(out, memory);
  EXPECT_TRUE(all.bottom.automatic);
  EXPECT_TRUE(all.left.automatic);
  expectLimits(all.bottom.limits, {0, 10});
  EXPECT_FALSE(memory.zoomed());
  EXPECT_FALSE(memory.undo());
}

TEST(ViewRules, ShowAllWithoutZoomOnlyFreesTheLeftAxis) {
  ViewState view = automaticView({0, 10}, {-1, 1});
  view.left.automatic = false;
  view.bottom.automatic = false;
  UndoZoomMemory memory;
  const ViewState all = showAll(view, memory);
  EXPECT_TRUE(all.left.automatic);
  EXPECT_FALSE(all.bottom.automatic);
}

TEST(ViewRules, StretchWidensByATwentiethOfTheLargerLimit) {
  const AxisView a = stretchVertical({true, {-2, 10}});
  EXPECT_FALSE(a.automatic);
  expectLimits(a.limits, {-2.5, 10.5});
  expectLimits(stretchVertical({false, {-10, 2}}).limits, {-10.5, 2.5});
  expectLimits(stretchVertical({false, {0, 0}}).limits, {0, 0});
}

TEST(ViewRules, FramingEndsOnTheBoundingBox) {
  const ViewState start = automaticView({0, 10}, {0, 10});
  const std::vector<GraphExtent> graphs = {
      {20, 30, 1, 2},      // wholly to the right
      {-30, -20, 50, 60},  // to the left and above
      {2, 3, 4, 5},        // inside
  };
  for (const GraphExtent& e : graphs) {
    UndoZoomMemory memory;
    const ViewState framed = frameGraph(start, true, e, memory);
    expectLimits(framed.bottom.limits, {e.minX, e.maxX});
    expectLimits(framed.left.limits, {e.minY, e.maxY});
    EXPECT_TRUE(memory.zoomed());
    EXPECT_TRUE(memory.undo()->bottom.automatic);
  }
}

TEST(ViewRules, FramingEmptyOrFlatGraphsAndNoGraph) {
  const ViewState start = automaticView({0, 10}, {0, 10});
  UndoZoomMemory memory;
  const ViewState empty = frameGraph(start, true, std::nullopt, memory);
  expectLimits(empty.bottom.limits, {-1.5, 11.5});  // the zoom-out alone
  const ViewState flat = frameGraph(start, true, GraphExtent{20, 30, 4, 4}, memory);
  expectLimits(flat.bottom.limits, {20, 30});
  expectLimits(flat.left.limits, {-1.5, 11.5});

  UndoZoomMemory untouched;
  const ViewState none = frameGraph(start, false, GraphExtent{20, 30, 1, 2}, untouched);
  expectLimits(none.bottom.limits, {0, 10});
  EXPECT_TRUE(none.bottom.automatic);
  EXPECT_FALSE(untouched.zoomed());
}

TEST(ViewRules, GraphExtentSkipsNonFinitePoints) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<double> xs{3, nan, 1, 2, inf};
  const std::vector<double> ys{5, 100, -1, nan, 7};
  const std::optional<GraphExtent> e = graphExtent(xs, ys);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->minX, 1);
  EXPECT_EQ(e->maxX, 3);
  EXPECT_EQ(e->minY, -1);
  EXPECT_EQ(e->maxY, 5);
  EXPECT_FALSE(graphExtent(std::vector<double>{nan}, std::vector<double>{1}));
}

// The extent equals the point-by-point rule bit for bit (the first finite point starts it,
// std::min/std::max keep the earlier of equal values, so the sign of a zero limit is the
// first zero's) on records with infinities, NaN, zeros of both signs, X or Y alone bad,
// arrays of different length and every length around the two-point steps.
TEST(ViewRules, GraphExtentEqualsThePointByPointRuleBitForBit) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
  std::mt19937_64 rng(29);
  const double specials[] = {nan, inf, -inf, 0.0, -0.0, 1e-310, -1e308, 5, -5};
  std::uniform_int_distribution<int> pickSpecial(0, 8), percent(0, 99);
  std::normal_distribution<double> value(0, 100);
  int compared = 0;
  for (int trial = 0; trial < 4000; ++trial) {
    const std::size_t n = static_cast<std::size_t>(trial % 37) + (trial % 5 == 0 ? 1000 : 0);
    const int specialShare = trial % 4 == 0 ? 60 : 8;
    std::vector<double> xs(n), ys(n + static_cast<std::size_t>(trial % 3));
    for (double* v : {xs.data(), ys.data()}) {
      for (std::size_t i = 0; i < n; ++i) {
        v[i] = percent(rng) < specialShare ? specials[pickSpecial(rng)] : value(rng);
      }
    }
    const std::optional<GraphExtent> want = testing::extentByDefinition(xs, ys);
    SCOPED_TRACE(trial);
    testing::expectSameExtent(graphExtent(xs, ys), want);
    compared += want.has_value();
  }
  EXPECT_GT(compared, 3000);
  // Zeros of both signs as limits: the first one seen stays.
  const std::optional<GraphExtent> zeros =
      graphExtent(std::vector<double>{1, 0.0, -0.0, 2}, std::vector<double>{-0.0, 3, 0.0, 1});
  ASSERT_TRUE(zeros);
  EXPECT_EQ(bits(zeros->minX), bits(0.0));
  EXPECT_EQ(bits(zeros->maxY), bits(3.0));
  EXPECT_EQ(bits(zeros->minY), bits(-0.0));
}

// A graph's extent, once found, is noted on the graph until its points change: the chart
// reads no points of a graph that a command left as it was.
TEST(ViewRules, GraphExtentIsNotedUntilThePointsChange) {
  Graph g;
  g.setPoints({1, 2}, {-3, 4});
  ASSERT_EQ(g.knownExtent(), nullptr);
  const std::optional<GraphExtent> first = graphExtent(g);
  ASSERT_NE(g.knownExtent(), nullptr);
  testing::expectSameExtent(*g.knownExtent(), first);
  g.setY(0, -7);
  EXPECT_EQ(g.knownExtent(), nullptr);
  EXPECT_EQ(graphExtent(g)->minY, -7);
}

TEST(ViewRules, BoxDragDecision) {
  struct Case {
    ScreenPoint to;
    BoxDrag action;
  };
  const Case cases[] = {
      {{117, 117}, BoxDrag::ZoomToBox}, {{116, 117}, BoxDrag::None},
      {{117, 116}, BoxDrag::None},      {{83, 117}, BoxDrag::UndoZoom},
      {{117, 83}, BoxDrag::UndoZoom},   {{83, 83}, BoxDrag::UndoZoom},
      {{84, 50}, BoxDrag::None},        {{100, 100}, BoxDrag::None},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(boxDragAction({100, 100}, c.to), c.action) << c.to.x << "," << c.to.y;
  }
  const BoxZoom box = boxZoomLimits(
      {100, 100}, {300, 200}, [](int col) { return col / 100.0; },
      [](int row) { return (400 - row) / 100.0; });
  expectLimits(box.bottom, {1, 3});
  expectLimits(box.left, {2, 3});
}

TEST(ViewRules, WheelAndZoomAroundThePointer) {
  expectLimits(scrollByWheel({0, 10}, 1), {0.3, 10.3});
  expectLimits(scrollByWheel({0, 10}, -2), {-0.6, 9.4});
  expectLimits(zoomAround({0, 10}, 2, 0.5), {1, 6});
  expectLimits(zoomAround({0, 10}, 2, 0), {0, 10});
  EXPECT_TRUE(isUsableZoomPercent(149.9));
  EXPECT_FALSE(isUsableZoomPercent(150));
  EXPECT_FALSE(isUsableZoomPercent(0));
  EXPECT_FALSE(isUsableZoomPercent(std::numeric_limits<double>::quiet_NaN()));
}

}  // namespace
}  // namespace tarvik::view
