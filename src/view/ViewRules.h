#pragma once
// The rules by which the chart's view (the ranges of its axes) changes: zoom by percent,
// the undo-zoom memory behind "All", stretching the vertical range, framing the active
// graph, the box-zoom decision of a drag, the wheel scroll and the Ctrl+wheel zoom. Plain
// values in, plain values out: the window applies the result to its axes, the batch
// runner to an offscreen chart, the tests check it directly.
#include <functional>
#include <optional>
#include <span>

#include "core/Graph.h"
#include "core/PointsExtent.h"
#include "view/ChartArithmetic.h"

namespace tarvik::view {

// One axis: automatic (follows the data) or manual, and the limits it shows now.
struct AxisView {
  bool automatic = true;
  AxisLimits limits;
};

// The four axes of the chart (top and right are hidden but zoom with the others).
struct ViewState {
  AxisView bottom, left, top, right;
};

// Zoom by percent P on all four axes at once (each becomes manual): x = (M − m)·(P − 100)
// ·0.01, new range m + x .. M − x. 115 zooms in to 70 %, 85 out to 130 %. The caller
// records the zoom in its UndoZoomMemory before applying the result.
ViewState zoomViewByPercent(const ViewState& view, double percent);

// Percentages a person may type: finite and 0 < P < 150 (from 150 on the ranges invert).
bool isUsableZoomPercent(double percent);

// What "All" (show all) and undo zoom go back to. The first zoom or scroll after an undo
// (or after start) keeps every axis's mode and limits; undo returns them once.
class UndoZoomMemory {
 public:
  // Call before every zoom or scroll with the view as it is before the change.
  void beforeZoomOrScroll(const ViewState& current);
  // True while a zoom or scroll has happened since the last undo.
  bool zoomed() const { return m_zoomed; }
  // Undo zoom: the kept view when zoomed (the memory then counts as not zoomed), else
  // nullopt and nothing changes.
  std::optional<ViewState> undo();

 private:
  bool m_zoomed = false;
  ViewState m_saved;
};

// Show all (`BitBtn3`): the left axis switches to automatic, then the zoom is undone.
// Returns the view to apply.
ViewState showAll(const ViewState& current, UndoZoomMemory& memory);

// Stretch the vertical range (`SpeedButton5`): a = the larger of |m|, |M| divided by 20;
// M + a, m − a. The left axis becomes manual. Not a zoom: the undo memory is untouched.
AxisView stretchVertical(AxisView left);

// Smallest and largest X and Y of a graph's finite points.
using GraphExtent = PointsExtent;
// nullopt when no point has both X and Y finite (an empty graph). O(n).
inline std::optional<GraphExtent> graphExtent(std::span<const double> xs,
                                              std::span<const double> ys) {
  return finiteExtent(xs, ys);
}
// The same for a graph: the extent noted on it (by its reader, or by an earlier call) while
// its points are those; else the points are looked at and the extent noted.
std::optional<GraphExtent> graphExtent(const Graph& graph);

// Frame the active graph (`SpeedButton6`, `N4`). Without an active graph (`hasActiveGraph`
// false) nothing changes at all. Otherwise zoom by percent 85 (recorded in `memory`), then
// twice the four guarded steps that set bottom and left to the graph's bounding box:
// min X if below the bottom maximum, max X if above the bottom minimum, the same for Y on
// the left axis. An empty graph (`extent` nullopt) stops after the zoom-out; an axis
// whose extent is zero wide keeps its zoomed-out range.
ViewState frameGraph(const ViewState& current, bool hasActiveGraph,
                     const std::optional<GraphExtent>& extent, UndoZoomMemory& memory);

// A drag with the left button from `press` to `release` in pixels (rows grow downwards).
enum class BoxDrag {
  None,       // not more than 16 px in both directions: a click, nothing happens
  ZoomToBox,  // from upper left to lower right by more than 16 px both ways
  UndoZoom,   // more than 16 px both ways in any other direction
};
inline constexpr int kBoxDragMinPixels = 16;
struct ScreenPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};
BoxDrag boxDragAction(ScreenPoint press, ScreenPoint release);

// The ranges a box zoom sets: the box's columns on the bottom axis and its rows on the
// left axis, each ordered lower to upper. The conversions are the chart's pixel → value.
struct BoxZoom {
  AxisLimits bottom, left;
};
BoxZoom boxZoomLimits(ScreenPoint press, ScreenPoint release,
                      const std::function<double(int)>& xAtColumn,
                      const std::function<double(int)>& yAtRow);

// Wheel scroll of a vertical axis: each notch moves the range by 3 % of its span; a
// positive count (wheel turned away from the user) moves it up. The caller records the
// scroll in its UndoZoomMemory.
AxisLimits scrollByWheel(AxisLimits limits, double notches);
inline constexpr double kWheelNotchFraction = 0.03;

// Zoom of one axis around `anchor` (the value under the pointer, which stays where it is):
// the span is multiplied by `factor` (< 1 zooms in). A non-finite anchor or a factor that
// is not finite and positive leaves the limits unchanged.
AxisLimits zoomAround(AxisLimits limits, double anchor, double factor);

// --- The chart's automatic ranges ---
// The limits every axis of the chart shows before any graph has set them.
inline constexpr AxisLimits kInitialAxisLimits{0, 5};

// A range the chart's axes accept: finite, lower and upper within ±1e250, wider than
// 1e-280 and narrower than 1e250, and not so lopsided that upper / lower overflows.
bool isShowableRange(AxisLimits limits);

// Setting an axis's range: a range the axis cannot show leaves `current` as it is; an
// inverted one is put in order.
AxisLimits acceptedRange(AxisLimits current, AxisLimits wanted);

// The range an automatic axis takes from its data: the smallest to the largest value of
// the drawable points of every graph (`data`, nullopt when there is none: the axis keeps
// `current`). A range of zero width keeps the current width and centres it on the data.
// What the axis cannot show leaves `current` as it is.
AxisLimits automaticRange(AxisLimits current, std::optional<AxisLimits> data);

// Joins the extent of one more graph into the extent of all graphs drawn so far.
using tarvik::uniteExtent;

// The view after a repaint: the bottom and left axes that are automatic follow the
// extent of all graphs (`all`); the hidden top and right axes never do.
ViewState withAutomaticRanges(const ViewState& view, const std::optional<GraphExtent>& all);

}  // namespace tarvik::view
