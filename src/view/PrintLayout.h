#pragma once
// Where a printed chart goes on the page and at which size it is laid out before it is
// scaled there: plain integer arithmetic on the page's printable size in printer pixels.
#include <optional>
#include <string_view>

#include "core/Ui.h"

namespace tarvik::view {

// "Масштаб": the chart is laid out at its on-screen size ("Thin lines and Small fonts") or
// at twice that size ("Screen proportional"), then scaled into the print rectangle, so the
// second draws texts and lines half as large relative to the chart.
enum class PrintScale { ThinLines = 0, ScreenProportional = 1 };
// "Ориентация".
enum class PrintOrientation { Portrait = 0, Landscape = 1 };
// "Размер": the upper half of the area inside the margins, or all of it.
enum class PrintPageShare { HalfPage = 0, WholePage = 1 };

// The fields of the print options dialog `TfmPrinOptions`; they hold for the whole run.
struct PrintOptions final : DialogOptions {
  PrintScale scale = PrintScale::ThinLines;
  PrintOrientation orientation = PrintOrientation::Portrait;
  PrintPageShare share = PrintPageShare::HalfPage;
  std::string_view dialogName() const override { return "TfmPrinOptions"; }
};

// Edges in pixels; right and bottom are the coordinates one past the area's last pixel
// column and row, as the page arithmetic computes them.
struct PrintRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const PrintRect&) const = default;
};

struct PrintSize {
  int width = 0;
  int height = 0;
  bool operator==(const PrintSize&) const = default;
};

// The print rectangle on a page whose printable area is `pageWidth` × `pageHeight` printer
// pixels: margins mx = W·5/100 and my = H·5/100, each rounded to the nearest integer; left
// mx, top my, right W − mx, bottom my + (H − 2·my) ÷ d with d = 2 for half a page and 1 for
// the whole page (integer division). A4 at 4800 × 6800 and half a page: (240, 340) to
// (4560, 3400). Negative sizes count as 0.
PrintRect printRectangle(int pageWidth, int pageHeight, PrintPageShare share);

// The size the chart is laid out at before it is scaled into the print rectangle `target`:
// the rectangle's shape, so the chart is scaled by one factor across and down and its texts
// keep their proportions, with as many layout pixels as the chart has on screen (for
// "Screen proportional" four times as many, twice across and twice down). So texts and
// lines, laid out at their on-screen pixel sizes, take the share of the chart they take
// on screen, or half that share. A target of the chart's own shape gives the on-screen
// size, or twice it. An empty size on either side gives an empty layout.
PrintSize printLayoutSize(PrintSize onScreen, PrintSize target, PrintScale scale);

// Names of the choices in scripts: "thin"/"screen", "portrait"/"landscape", "half"/"full";
// nullopt for any other text.
std::optional<PrintScale> printScaleFromName(std::string_view name);
std::optional<PrintOrientation> printOrientationFromName(std::string_view name);
std::optional<PrintPageShare> printPageShareFromName(std::string_view name);

}  // namespace tarvik::view
