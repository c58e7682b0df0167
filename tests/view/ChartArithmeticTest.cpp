#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "view/ChartArithmetic.h"

namespace tarvik::view {
namespace {

TEST(LegendRowText, NumbersRowsFromOne) {
  EXPECT_EQ(legendRowText(0, "a"), "1. a");
  EXPECT_EQ(legendRowText(3, "d"), "4. d");
  EXPECT_EQ(legendRowText(9, ""), "10. ");
  EXPECT_EQ(legendRowText(1, "Модуль FFT: "), "2. Модуль FFT: ");
}

TEST(AxisLabelText, LinearAndLogarithmicTexts) {
  struct Case {
    double value;
    bool log;
    char sep;
    const char* text;
  };
  const Case cases[] = {
      {1e-16, false, '.', "0"},        {-9.9e-16, false, '.', "0"},
      {1e-16, true, '.', "0"},         {0.00000015, false, '.', "1.5E-7"},
      {123456, false, '.', "123456"},  {1.2345678901e10, false, '.', "1.23456789E+10"},
      {2.5e12, false, '.', "2.5E+12"}, {0.5, false, ',', "0,5"},
      {-3, false, '.', "-3"},          {1000, true, '.', "1E+03"},
      {2.5e-7, true, '.', "2.5E-07"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(axisLabelText(c.value, c.log, c.sep), c.text) << c.value;
  }
}

TEST(DecimalExponent3, ReadsTheExponentAfterRoundingToThreeDigits) {
  const std::pair<double, int> cases[] = {{7.3, 0},   {0, 0},        {9.996, 1},   {9.994, 0},
                                          {999.5, 3}, {0.00123, -3}, {1e300, 300}, {0.25, -1}};
  for (auto [range, exponent] : cases) {
    EXPECT_EQ(decimalExponent3(range), exponent) << range;
  }
}

TEST(VerticalLabelStep, FollowsTheDoublingRule) {
  struct Case {
    double min, max;
    int height, font;
    double step;
  };
  const Case cases[] = {
      {0, 7.3, 200, 20, 1},   // N = 10: 0.25 → 0.5 → 1, 7.3 / 1 < 10
      {5, 5, 200, 20, 0.25},  // flat graph: the loop never runs
      {0, 7.3, 10, 20, 8},    // lower than one font height: N = 1
      {0, 7.3, -200, 20, 1},  // a height given bottom-up counts by its size
      {-1e-6, 1e-6, 400, 13, 2.5e-7},
      {0, 100, 1000, 10, 25},  // N clamped to 10; 100 / 25 < 10 at once
  };
  for (const Case& c : cases) {
    const LabelStep s = verticalLabelStep(c.min, c.max, false, c.height, c.font);
    EXPECT_DOUBLE_EQ(s.increment, c.step) << c.min << ".." << c.max;
    EXPECT_EQ(s.minorTicks, 4);
  }
}

TEST(VerticalLabelStep, LeavesTheStepToTheDisplayWhereTheRuleCannotWork) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const LabelStep log = verticalLabelStep(1, 1000, true, 300, 12);
  EXPECT_EQ(log.increment, 0);
  EXPECT_EQ(log.minorTicks, 8);
  EXPECT_EQ(verticalLabelStep(0, inf, false, 300, 12).increment, 0);
  EXPECT_EQ(verticalLabelStep(nan, 1, false, 300, 12).increment, 0);
  EXPECT_EQ(verticalLabelStep(0, 1, false, 300, 0).increment, 0);
  // A range so small that 0.25·10^E underflows must not loop for ever.
  EXPECT_EQ(verticalLabelStep(0, 4.9e-324, false, 300, 12).increment, 0);
}

TEST(VerticalLabelStep, StepIsTheFirstDoublingThatFitsForManyRanges) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> mantissa(1, 10);
  std::uniform_int_distribution<int> exponent(-12, 12), height(0, 900), font(6, 30);
  for (int k = 0; k < 2000; ++k) {
    const double range = mantissa(rng) * std::pow(10.0, exponent(rng));
    const int h = height(rng), f = font(rng);
    const int n = std::clamp(h / f, 1, 10);
    const double step = verticalLabelStep(-range / 3, range * 2 / 3, false, h, f).increment;
    const double first = 0.25 * std::pow(10.0, decimalExponent3(range));
    ASSERT_GT(step, 0);
    EXPECT_LT(range / step, n);
    const double doublings = std::log2(step / first);
    EXPECT_NEAR(doublings, std::round(doublings), 1e-9);
    if (step > first * 1.5) {
      EXPECT_GE(range / (step / 2), n) << "a smaller step already fitted";
    }
  }
}

TEST(CappedTickStep, WidensOnlyTinySteps) {
  EXPECT_EQ(cappedTickStep(0.1, 1.0, 200), 0.1);
  EXPECT_EQ(cappedTickStep(0, 1.0, 200), 0);
  EXPECT_TRUE(std::isnan(cappedTickStep(std::nan(""), 1.0, 200)));
  const double step = 1e-9;
  const double capped = cappedTickStep(step, 1.0, 200);
  EXPECT_LE(1.0 / capped, 200);
  EXPECT_NEAR(capped / step, std::round(capped / step), 1e-6) << "a whole multiple";
  EXPECT_LE(cappedTickStep(1e-300, 1e300, 200), std::numeric_limits<double>::infinity());
  EXPECT_LE(1e300 / cappedTickStep(1e-300, 1e300, 200), 200.0 * (1 + 1e-12));
}

TEST(LegendLayout, LeftPlacementUnderTheXAxis) {
  const auto layout = legendLayoutLeft(600, 40, 16, true);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->legendTopPercent, 86);  // (600 − 40 − 16)·100 ÷ 600 − 4
  EXPECT_EQ(layout->bottomTitleAreaPx, 60);
  EXPECT_EQ(layout->rightMarginPercent, 3);
  EXPECT_EQ(layout->legendHorizontalMargin, 0);
  EXPECT_EQ(layout->leftTitleAreaPx, 0);
  EXPECT_TRUE(layout->footVisible);
  EXPECT_FALSE(legendLayoutLeft(600, 40, 16, false)->footVisible);
  EXPECT_FALSE(legendLayoutLeft(0, 40, 16, true));
}

TEST(LegendLayout, RightPlacementAtTheUpperRightCorner) {
  const auto layout = legendLayoutRight(1000, 150, 16, false);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->legendTopPercent, 10);
  EXPECT_EQ(layout->bottomTitleAreaPx, 32);
  EXPECT_EQ(layout->rightMarginPercent, 1);  // 150 ÷ 1000 = 0 in integers, + 1
  EXPECT_EQ(layout->legendHorizontalMargin, 150);
  EXPECT_FALSE(layout->footVisible);
  EXPECT_EQ(legendLayoutRight(100, 250, 16, true)->rightMarginPercent, 3);
  EXPECT_FALSE(legendLayoutRight(0, 150, 16, true));
}

TEST(LegendLayout, LegendUnderTheAxisMovesRightWhenThePlotWouldBeTooLow) {
  const struct {
    int chart, legend, foot, other;
    bool right;
  } cases[] = {
      {600, 40, 16, 80, false},   // plenty of room under the X axis
      {600, 300, 0, 80, false},   // exactly half the chart, plot 220 px
      {600, 301, 0, 80, true},    // more than half the chart's height
      {400, 150, 0, 100, false},  // plot 150 px exactly
      {400, 151, 0, 100, true},   // the plot would keep 149 px
      {400, 140, 20, 100, true},  // the foot counts too
      {300, 0, 16, 80, false},    // no legend shown: nothing to move
      {0, 40, 0, 80, false},      // no size yet
  };
  for (const auto& c : cases) {
    EXPECT_EQ(legendMovesRight(c.chart, c.legend, c.foot, c.other), c.right)
        << c.chart << " " << c.legend << " " << c.foot << " " << c.other;
  }
}

TEST(LegendRowTops, GrowsWithZerosAndKeepsRowsNotDrawn) {
  LegendRowTops tops;
  tops.record(2, 1, 300);
  EXPECT_EQ(tops.tops(), (std::vector<int>{0, 300}));
  tops.record(4, 3, 340);
  EXPECT_EQ(tops.tops(), (std::vector<int>{0, 300, 0, 340}));
  tops.record(4, 1, 310);
  EXPECT_EQ(tops.tops(), (std::vector<int>{0, 310, 0, 340}));
  tops.record(1, 7, 5);  // an index beyond the graphs is ignored
  EXPECT_EQ(tops.tops(), (std::vector<int>{0}));
}

TEST(LegendRowAtClick, PicksTheLastDrawnRowAtOrAboveTheClick) {
  const std::vector<int> tops{400, 415, 430};
  struct Case {
    std::vector<int> tops;
    int click;
    std::size_t graphs;
    int row;
  };
  const Case cases[] = {
      {tops, 380, 3, 0},  // above the first row
      {tops, 400, 3, 0},  // on the first row's top
      {tops, 420, 3, 1},
      {tops, 429, 3, 1},
      {tops, 900, 3, 2},           // below the last row
      {{400, 0, 430}, 425, 3, 0},  // row 1 was never drawn
      {{400, 0, 430}, 431, 3, 2},
      {tops, 900, 2, 1},   // rows beyond the graphs are not considered
      {{}, 10, 2, 0},      // nothing drawn yet
      {tops, 420, 0, -1},  // no graph
  };
  for (const Case& c : cases) {
    EXPECT_EQ(legendRowAtClick(c.tops, c.click, c.graphs), c.row) << c.click;
  }
}

TEST(ZoomByPercent, ShrinksAndWidensAroundTheCentre) {
  const AxisLimits in = zoomByPercent({0, 100}, 115);
  EXPECT_DOUBLE_EQ(in.min, 15);
  EXPECT_DOUBLE_EQ(in.max, 85);
  const AxisLimits out = zoomByPercent({0, 100}, 85);
  EXPECT_DOUBLE_EQ(out.min, -15);
  EXPECT_DOUBLE_EQ(out.max, 115);
  // In then out does not come back: 0.7 · 1.3 = 0.91 of the range.
  const AxisLimits back = zoomByPercent(in, 85);
  EXPECT_NEAR(back.max - back.min, 91, 1e-9);
  EXPECT_NEAR((back.max + back.min) / 2, 50, 1e-9);
}

}  // namespace
}  // namespace tarvik::view
