#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "view/ChartGestures.h"

namespace tarvik::view {
namespace {

// A chart whose plot spans columns 50..650 and rows 20..420; 100 pixels per unit, X = 0 at
// column 0 and Y = 0 at row 400 (rows grow downwards).
struct Chart {
  std::vector<double> xs{1.0, 1.001, 1.004, 1.006, 2.0};
  std::vector<double> ys{0, 0, 0, 0, 5};
  bool editDown = false;
  bool active = true;

  GestureContext context() {
    GestureContext c;
    c.editDown = editDown;
    c.hasActiveGraph = active;
    c.points = [this] { return WritablePoints{xs, ys}; };
    c.plot = {50, 20, 650, 420};
    c.convert.xAtColumn = [](int col) { return col / 100.0; };
    c.convert.yAtRow = [](int row) { return (400 - row) / 100.0; };
    c.convert.columnOfX = [](double x) { return static_cast<int>(std::lround(x * 100)); };
    c.decimalSeparator = ',';
    return c;
  }
};

constexpr GestureKeys kNone{};
constexpr GestureKeys kShift{.shift = true};
constexpr GestureKeys kAlt{.alt = true};
constexpr GestureKeys kMeta{.meta = true};
constexpr GestureKeys kShiftAlt{.shift = true, .alt = true};
constexpr GestureKeys kCtrl{.ctrl = true};
constexpr GestureKeys kCtrlShift{.shift = true, .ctrl = true};

TEST(ChartGestures, ShiftDragMovesTheActiveGraphAtRelease) {
  Chart chart;
  ChartGestures g;
  // Press at (1.0, 2.0), release at (1.5, 1.0).
  const GestureOutcome pressed = g.press({100, 200}, kShift, chart.context());
  EXPECT_EQ(g.gesture(), Gesture::Pan);
  EXPECT_TRUE(pressed.suppressBuiltIn);
  const GestureOutcome moved = g.move({150, 300}, chart.context());
  EXPECT_FALSE(moved.pointsChanged);
  EXPECT_EQ(chart.xs[0], 1.0);  // nothing moves before the release
  ASSERT_TRUE(g.rubberBand());
  EXPECT_EQ(g.rubberBand()->from, (ScreenPoint{100, 200}));
  EXPECT_EQ(g.rubberBand()->to, (ScreenPoint{150, 300}));

  const GestureOutcome released = g.release({150, 300}, kShift, chart.context());
  EXPECT_TRUE(released.pointsChanged);
  EXPECT_TRUE(released.overlayChanged);
  EXPECT_EQ(g.gesture(), Gesture::None);
  EXPECT_FALSE(g.rubberBand());
  const Chart before;
  for (std::size_t i = 0; i < chart.xs.size(); ++i) {
    EXPECT_EQ(chart.xs[i], before.xs[i] + 0.5);
    EXPECT_EQ(chart.ys[i], before.ys[i] - 1.0);
  }
}

TEST(ChartGestures, PanNeedsShiftStillHeldAtRelease) {
  Chart chart;
  ChartGestures g;
  g.press({100, 200}, kShift, chart.context());
  const GestureOutcome released = g.release({150, 300}, kNone, chart.context());
  EXPECT_FALSE(released.pointsChanged);
  EXPECT_EQ(chart.xs[0], 1.0);
  EXPECT_EQ(g.gesture(), Gesture::None);
}

TEST(ChartGestures, ModifiersChooseTheGesture) {
  struct Case {
    bool editDown;
    GestureKeys keys;
    Gesture gesture;
    bool suppressed;
  };
  const Case cases[] = {
      {false, kNone, Gesture::None, false},  // the chart's own zoom and scroll
      {false, kShift, Gesture::Pan, true},
      {false, kAlt, Gesture::Measure, true},
      {false, kMeta, Gesture::Measure, true},
      {false, kShiftAlt, Gesture::Pan, true},   // Shift wins over Alt
      {false, kCtrl, Gesture::None, false},     // a Ctrl click selects a line
      {true, kShift, Gesture::Freehand, true},  // btnEdit down: Shift alone edits
      {true, kCtrlShift, Gesture::Pan, true},
      {true, kCtrl, Gesture::None, true},  // nothing, and no selection either
  };
  for (const Case& c : cases) {
    Chart chart;
    chart.editDown = c.editDown;
    ChartGestures g;
    const GestureOutcome out = g.press({300, 200}, c.keys, chart.context());
    EXPECT_EQ(g.gesture(), c.gesture) << c.editDown << c.keys.shift << c.keys.ctrl;
    EXPECT_EQ(out.suppressBuiltIn, c.suppressed) << c.editDown << c.keys.shift << c.keys.ctrl;
  }
}

TEST(ChartGestures, NoGestureOutsideThePlotOrWithoutActiveGraph) {
  Chart chart;
  ChartGestures g;
  g.press({49, 200}, kShift, chart.context());
  EXPECT_EQ(g.gesture(), Gesture::None);
  g.press({650, 420}, kShift, chart.context());  // the edges belong to the plot
  EXPECT_EQ(g.gesture(), Gesture::Pan);

  chart.active = false;
  ChartGestures idle;
  EXPECT_EQ(idle.press({100, 200}, kShift, chart.context()).suppressBuiltIn, false);
  EXPECT_EQ(idle.gesture(), Gesture::None);
  EXPECT_FALSE(idle.move({150, 300}, chart.context()).readout);
  // A gesture whose graph went away still ends at the release.
  g.release({150, 300}, kShift, chart.context());
  EXPECT_EQ(g.gesture(), Gesture::None);
  EXPECT_EQ(chart.xs[0], 1.0);
}

TEST(ChartGestures, ReadoutFollowsThePointerAndMeasures) {
  Chart chart;
  ChartGestures g;
  EXPECT_EQ(g.move({123, 400 - 456}, chart.context()).readout, "X: 1,23  /  Y:  4,56");
  g.press({100, 200}, kAlt, chart.context());
  EXPECT_EQ(g.move({150, 300}, chart.context()).readout, "dX: 0,5  /  dY:  -1");
  const GestureOutcome released = g.release({150, 300}, kAlt, chart.context());
  EXPECT_TRUE(released.overlayChanged);  // the band is erased
  EXPECT_FALSE(released.readout);        // the distance stays shown
  EXPECT_FALSE(g.rubberBand());
  EXPECT_EQ(chart.ys[4], 5);
}

TEST(ChartGestures, FreehandSetsEveryPointOfThePointerColumn) {
  Chart chart;
  chart.editDown = true;
  ChartGestures g;
  // Column 100 holds X = 1.0, 1.001 and 1.004; 1.006 maps to column 101.
  EXPECT_TRUE(g.press({100, 100}, kNone, chart.context()).pointsChanged);
  EXPECT_EQ(chart.ys, (std::vector<double>{3, 3, 3, 0, 5}));
  EXPECT_FALSE(g.move({150, 50}, chart.context()).pointsChanged);  // an empty column
  EXPECT_TRUE(g.move({101, 300}, chart.context()).pointsChanged);
  EXPECT_EQ(chart.ys, (std::vector<double>{3, 3, 3, 1, 5}));
  g.release({101, 300}, kNone, chart.context());
  EXPECT_FALSE(g.move({200, 0}, chart.context()).pointsChanged);  // the edit has ended
  EXPECT_EQ(chart.ys[4], 5);
}

// The binary search over ascending X must set exactly the points the plain scan sets, on
// a growing and on a reversed axis, with repeated X and columns without points.
TEST(SetColumnY, AscendingSearchAgreesWithThePlainScan) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> step(0, 0.03);
  std::vector<double> xs{0};
  for (int i = 1; i < 400; ++i) {
    xs.push_back(xs.back() + (i % 9 == 0 ? 0 : step(rng)));
  }
  const std::function<int(double)> maps[] = {
      [](double x) { return static_cast<int>(std::lround(50 + x * 100)); },
      [](double x) { return static_cast<int>(std::lround(900 - x * 100)); },
  };
  for (const auto& columnOfX : maps) {
    for (int column = 40; column < 920; column += 3) {
      std::vector<double> plain(xs.size(), 0);
      std::vector<double> fast(xs.size(), 0);
      const std::size_t a = setColumnY(xs, plain, column, 1, columnOfX, false);
      const std::size_t b = setColumnY(xs, fast, column, 1, columnOfX, true);
      EXPECT_EQ(a, b) << column;
      EXPECT_EQ(plain, fast) << column;
    }
  }
}

}  // namespace
}  // namespace tarvik::view
