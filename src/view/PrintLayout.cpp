#include "view/PrintLayout.h"

#include <algorithm>
#include <cmath>

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

PrintSize printLayoutSize(PrintSize onScreen, PrintSize target, PrintScale scale) {
  if (onScreen.width <= 0 || onScreen.height <= 0 || target.width <= 0 || target.height <= 0) {
    return {};
  }
  const double factor = scale == PrintScale::ScreenProportional ? 2.0 : 1.0;
  const double area = static_cast<double>(onScreen.width) * onScreen.height * factor * factor;
  const double aspect = static_cast<double>(target.width) / target.height;
  const auto side = [](double v) { return std::max(1, static_cast<int>(std::lround(v))); };
  return {side(std::sqrt(area * aspect)), side(std::sqrt(area / aspect))};
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
