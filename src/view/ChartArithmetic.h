#pragma once
// The arithmetic of the chart that needs no window: label texts, the automatic step of the
// vertical labels, the legend placement numbers, the legend row tops and the legend click,
// the zoom by percent and the cap on the number of ticks. The chart feeds it the numbers
// it measures (plot rectangle, font heights, legend box) and applies what comes back.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::view {

// Legend row of the graph at store index `index` (from 0): "1. title", "2. title", ...
std::string legendRowText(std::size_t index, const std::string& title);

// Text of one axis label. Linear axes: 10 significant digits, plain for exponents −4..9,
// otherwise "1E-7", "2.5E+12". Logarithmic axes: "0.########E+00" ("1E+03"). On both, a
// value below 1e-15 in magnitude reads "0" (so a tick at 0 never shows rounding noise).
// NaN and infinities are written by the number formatter ("NAN", "INF").
std::string axisLabelText(double value, bool logarithmic, char decimalSeparator);

// The step chosen for the vertical labels before the axes are drawn.
struct LabelStep {
  double increment = 0;  // 0: the display chooses its own step
  int minorTicks = 4;
};

// The vertical label step rule. `axisMin`/`axisMax` are the left axis limits,
// `plotHeightPx` the plot rectangle's height and `labelFontPx` the height of the labels
// font in pixels. Logarithmic axis: increment 0, 8 minor ticks. Otherwise the step starts
// at 0.25·10^E (E the decimal exponent of the range written with 3 significant digits) and
// doubles until fewer than N labels fit, N = height ÷ font height clamped to 1..10.
// A range that is not finite (NaN or INF in a graph), a font height ≤ 0 or a step that
// underflows to 0 leave the step to the display (increment 0).
LabelStep verticalLabelStep(double axisMin, double axisMax, bool logarithmic, int plotHeightPx,
                            int labelFontPx);

// Decimal exponent E of `range` written in scientific notation with 3 significant digits
// (9.996 rounds to 1.00E+01, so E = 1). 0 for a range of 0. Expects a finite value.
int decimalExponent3(double range);

// A fixed tick step far smaller than the range would ask the display for millions of
// ticks. Returns the step widened to a whole multiple of itself so that at most `maxTicks`
// ticks fall in `rangeSize`; a step ≤ 0 or not finite is returned unchanged.
double cappedTickStep(double step, double rangeSize, int maxTicks);

// Numbers the legend re-layout applies to the chart.
struct LegendLayout {
  int legendTopPercent = 10;   // legend top, percent of the chart height from its top
  int bottomTitleAreaPx = 0;   // room under the X axis (its title area)
  int rightMarginPercent = 3;  // right margin of the chart, percent of its width
  int legendHorizontalMargin = 0;
  int leftTitleAreaPx = 0;  // left axis title area (only for the left placement)
  bool footVisible = true;
};

// Legend under the X axis on the left. `legendHeightPx` (L) and `footHeightPx` (T) are the
// measured boxes. nullopt while the chart has no height (the re-layout waits for a size).
std::optional<LegendLayout> legendLayoutLeft(int chartHeightPx, int legendHeightPx,
                                             int footHeightPx, bool legendMenuChecked);
// Legend at the plot's upper right corner. `legendWidthPx` (Wl) is the measured legend
// width, `bottomTitleFontPx` the height of the bottom axis title font. The right margin is
// Wl ÷ chart width + 1 percent in integer arithmetic. nullopt while the width is 0.
std::optional<LegendLayout> legendLayoutRight(int chartWidthPx, int legendWidthPx,
                                              int bottomTitleFontPx, bool legendMenuChecked);

// The least plot height the chart keeps: a legend under the X axis that would leave the
// plot less, or take more than half the chart's height, goes to the plot's upper right
// corner instead (the right placement) until there is room again.
inline constexpr int kMinPlotHeightPx = 150;
// Whether a legend aligned left (under the X axis) is placed at the right instead.
// `otherPx` is the chart's height that is neither plot nor legend nor foot (the room above
// the plot and the X axis with its labels).
bool legendMovesRight(int chartHeightPx, int legendHeightPx, int footHeightPx, int otherPx);

// The top pixel row of each graph's legend row as the legend was last drawn. Rows that are
// not drawn (a graph hidden from the legend) keep their last value; new graphs start at 0.
class LegendRowTops {
 public:
  // Resizes to `graphCount` entries (new entries 0) and records row `index`'s top.
  void record(std::size_t graphCount, std::size_t index, int topPx);
  void resize(std::size_t graphCount) { m_tops.resize(graphCount, 0); }
  const std::vector<int>& tops() const { return m_tops; }

 private:
  std::vector<int> m_tops;
};

// The graph chosen by a click on the legend at pixel row `clickRowPx`: the last drawn row
// (top > 0) whose top is at or above the click, 0 when the click is above every row; at
// most graphCount − 1. −1 when there is no graph.
int legendRowAtClick(const std::vector<int>& rowTops, int clickRowPx, std::size_t graphCount);

// Zoom by percent P of one axis range: x = (M − m)·(P − 100)·0.01, new range m + x .. M − x.
// P = 115 keeps the centre and shrinks the range to 70 %; P = 85 widens it to 130 %.
struct AxisLimits {
  double min = 0;
  double max = 0;
};
AxisLimits zoomByPercent(AxisLimits limits, double percent);

}  // namespace tarvik::view
