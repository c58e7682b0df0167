#include "view/ChartArithmetic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/NumberFormat.h"

namespace tarvik::view {

std::string legendRowText(std::size_t index, const std::string& title) {
  return std::to_string(index + 1) + ". " + title;
}

std::string axisLabelText(double value, bool logarithmic, char decimalSeparator) {
  if (std::fabs(value) < 1e-15) {
    return "0";
  }
  return logarithmic ? formatLogAxisLabel(value, decimalSeparator)
                     : formatAxisLabel(value, decimalSeparator);
}

int decimalExponent3(double range) {
  if (range == 0) {
    return 0;
  }
  // Scientific text with 3 significant digits ("9.99e+00", "1.00e+01"): the exponent is
  // read back after rounding, exactly as the step rule asks.
  char text[64];
  std::snprintf(text, sizeof text, "%.2e", range);
  const char* e = std::strchr(text, 'e');
  return e ? std::atoi(e + 1) : 0;
}

LabelStep verticalLabelStep(double axisMin, double axisMax, bool logarithmic, int plotHeightPx,
                            int labelFontPx) {
  if (logarithmic) {
    return {0, 8};
  }
  const double range = std::fabs(axisMax - axisMin);
  if (!std::isfinite(range) || labelFontPx <= 0) {
    return {0, 4};
  }
  double step = 0.25 * std::pow(10.0, decimalExponent3(range));
  if (!(step > 0) || !std::isfinite(step)) {
    return {0, 4};
  }
  const int labels = std::clamp(std::abs(plotHeightPx) / labelFontPx, 1, 10);
  while (labels <= range / step) {
    step *= 2;
  }
  return {step, 4};
}

double cappedTickStep(double step, double rangeSize, int maxTicks) {
  if (!(step > 0) || !std::isfinite(step) || !std::isfinite(rangeSize) || maxTicks < 1) {
    return step;
  }
  const double ticks = std::fabs(rangeSize) / step;
  if (ticks <= maxTicks) {
    return step;
  }
  return step * std::ceil(ticks / maxTicks);
}

std::optional<LegendLayout> legendLayoutLeft(int chartHeightPx, int legendHeightPx,
                                             int footHeightPx, bool legendMenuChecked) {
  if (chartHeightPx <= 0) {
    return std::nullopt;
  }
  LegendLayout layout;
  layout.bottomTitleAreaPx = legendHeightPx + 20;
  layout.legendTopPercent =
      (chartHeightPx - legendHeightPx - footHeightPx) * 100 / chartHeightPx - 4;
  layout.rightMarginPercent = 3;
  layout.legendHorizontalMargin = 0;
  layout.leftTitleAreaPx = 0;
  layout.footVisible = legendMenuChecked;
  return layout;
}

std::optional<LegendLayout> legendLayoutRight(int chartWidthPx, int legendWidthPx,
                                              int bottomTitleFontPx, bool legendMenuChecked) {
  if (chartWidthPx <= 0) {
    return std::nullopt;
  }
  LegendLayout layout;
  layout.legendTopPercent = 10;
  layout.bottomTitleAreaPx = 2 * bottomTitleFontPx;
  layout.rightMarginPercent = legendWidthPx / chartWidthPx + 1;
  layout.legendHorizontalMargin = legendWidthPx;
  layout.footVisible = legendMenuChecked;
  return layout;
}

bool legendMovesRight(int chartHeightPx, int legendHeightPx, int footHeightPx, int otherPx) {
  if (legendHeightPx <= 0 || chartHeightPx <= 0) {
    return false;
  }
  const bool overHalf = 2 * legendHeightPx > chartHeightPx;
  const bool plotTooLow =
      chartHeightPx - legendHeightPx - footHeightPx - otherPx < kMinPlotHeightPx;
  return overHalf || plotTooLow;
}

void LegendRowTops::record(std::size_t graphCount, std::size_t index, int topPx) {
  m_tops.resize(graphCount, 0);
  if (index < m_tops.size()) {
    m_tops[index] = topPx;
  }
}

int legendRowAtClick(const std::vector<int>& rowTops, int clickRowPx, std::size_t graphCount) {
  if (graphCount == 0) {
    return -1;
  }
  // c is compared with pixel rows although it counts rows: a row is skipped only when it
  // was never drawn (top 0), because real row tops are far greater than any row number.
  int chosen = 0;
  const std::size_t rows = std::min(rowTops.size(), graphCount);
  for (std::size_t i = 0; i < rows; ++i) {
    const int top = rowTops[i];
    if (top <= chosen) {
      continue;
    }
    if (top > clickRowPx) {
      break;
    }
    chosen = static_cast<int>(i);
  }
  return std::min(chosen, static_cast<int>(graphCount) - 1);
}

AxisLimits zoomByPercent(AxisLimits limits, double percent) {
  const double shift = (limits.max - limits.min) * (percent - 100) * 0.01;
  return {limits.min + shift, limits.max - shift};
}

}  // namespace tarvik::view
