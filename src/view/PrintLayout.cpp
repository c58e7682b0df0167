#include "view/PrintLayout.h"

#include <algorithm>

namespace tarvik::view {

namespace {

// n·5/100 rounded to the nearest integer (halves away from zero), in integers so that no
// page size meets a floating-point tie.
int fivePercent(int n) { return static_cast<int>((static_cast<long long>(n) * 5 + 50) / 100); }

}  // namespace

PrintRect printRectangle(int pageWidth, int pageHeight, PrintPageShare share) {
  const int w = std::max(pageWidth, 0);
  const int h = std::max(pageHeight, 0);
  const int mx = fivePercent(w);
  const int my = fivePercent(h);
  const int divisor = share == PrintPageShare::HalfPage ? 2 : 1;
  return {mx, my, w - mx, my + (h - 2 * my) / divisor};
}

PrintSize printLayoutSize(PrintSize onScreen, PrintScale scale) {
  const int factor = scale == PrintScale::ScreenProportional ? 2 : 1;
  return {std::max(onScreen.width, 0) * factor, std::max(onScreen.height, 0) * factor};
}

std::optional<PrintScale> printScaleFromName(std::string_view name) {
  if (name == "thin") {
    return PrintScale::ThinLines;
  }
  if (name == "screen") {
    return PrintScale::ScreenProportional;
  }
  return std::nullopt;
}

std::optional<PrintOrientation> printOrientationFromName(std::string_view name) {
  if (name == "portrait") {
    return PrintOrientation::Portrait;
  }
  if (name == "landscape") {
    return PrintOrientation::Landscape;
  }
  return std::nullopt;
}

std::optional<PrintPageShare> printPageShareFromName(std::string_view name) {
  if (name == "half") {
    return PrintPageShare::HalfPage;
  }
  if (name == "full") {
    return PrintPageShare::WholePage;
  }
  return std::nullopt;
}

}  // namespace tarvik::view
