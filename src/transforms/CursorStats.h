#pragma once
// Two vertical cursors over the active graph: the values at each cursor and statistics of
// the points between them. The chart's cursor panel and the batch runner's `cursors`
// command show the same table.
//
// Definitions (X and Y in the graph's own units):
// - dx = x2 − x1 (signed), inv-dx = 1 / dx (none when dx = 0).
// - y at a cursor: when X ascends, the straight line between the two neighbouring points
//   (a point's own Y on an exact hit, the first such point when several share that X);
//   otherwise the Y of the point with the nearest X (first in index order). None when the
//   cursor lies outside the graph's X range or the graph has no point. dy = y2 − y1.
// - Statistics over the points with min(x1, x2) ≤ X ≤ max(x1, x2), ends included, in
//   index order: count, min, max, p2p = max − min, mean = ΣY / count,
//   rms = √(ΣY² / count), integral = trapezoid sum over consecutive selected points
//   (0 for one point); all but count are none when no point is selected.
// Points with a non-finite X or Y are skipped everywhere, as if absent; "X ascends" is
// judged on the remaining points (never decreasing).
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

struct CursorStats {
  double x1 = 0;
  double x2 = 0;
  double dx = 0;
  std::optional<double> invDx;
  std::optional<double> y1, y2, dy;
  std::size_t count = 0;
  std::optional<double> min, max, p2p, mean, rms, integral;
};

// The table for cursors at x1 and x2. Cursors are expected finite; a NaN cursor has no Y
// and selects no point. Unequal spans: the extra tail of the longer one is ignored. Sums
// run in double; over finite points with X ascending they are four interleaved partial
// sums (each half of a long graph on its own thread), so their last bits may differ from
// one running sum in index order.
CursorStats cursorStats(std::span<const double> xs, std::span<const double> ys, double x1,
                        double x2);

// One row of the table as the batch runner prints it (`x1`, `x2`, `dx`, `inv-dx`, `y1`,
// `y2`, `dy`, `count`, `min`, `max`, `p2p`, `mean`, `rms`, `integral`, in that order).
struct CursorRow {
  std::string_view name;
  std::optional<double> value;  // nullopt prints "none"
};
std::vector<CursorRow> cursorRows(const CursorStats& stats);

// The unit of an axis title written as "quantity, unit" ("t, нс" gives "нс", "U, кВ" gives
// "кВ"): the text after the last comma, blanks trimmed. Empty when the title names no unit
// (no comma, or nothing after it).
std::string axisTitleUnit(std::string_view title);

// The unit of each of the 14 fields of the table, in the order of cursorRows, for X in
// `xUnit` and Y in `yUnit` (either may be empty, unknown): the cursors and ΔX in X's unit,
// 1/ΔX in "1/" X's unit, the Y values and the statistics of Y in Y's unit, the count none,
// the integral in Y's unit times X's ("В·нс"). A field whose unit is not known is empty.
std::vector<std::string> cursorFieldUnits(std::string_view xUnit, std::string_view yUnit);

}  // namespace tarvik
