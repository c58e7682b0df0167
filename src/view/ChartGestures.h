#pragma once
// The mouse gestures of the chart without a window: pan the active graph (Shift), measure
// a distance (Alt, or Meta, since many desktops take Alt+drag for moving windows), redraw
// the active graph freehand (`btnEdit` down), and the coordinate readout `lbCoopd`.
//
// The window feeds every press, move and release with the keys held, the state of
// `btnEdit`, the plot rectangle, the active graph's arrays and the chart's pixel ↔ value
// conversions; it then applies the outcome: whether the chart's own zoom, scroll and click
// handling may act on the event, whether the graph's points changed (repaint), the new
// readout text, and the rubber band to draw on the overlay layer (drawing it as an
// overlay leaves the graphs' picture as it was, like an inverting pen drawn twice).
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "view/ViewRules.h"

namespace tarvik::view {

// Keys held during a mouse event.
struct GestureKeys {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool meta = false;  // Super; a second measure modifier
};

// The plot rectangle in pixels, all four edges inclusive (QRect's left/top/right/bottom).
struct PlotRectPx {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool contains(ScreenPoint p) const {
    return left <= p.x && p.x <= right && top <= p.y && p.y <= bottom;
  }
};

// The chart's conversions on the active graph's axes.
struct PixelConversions {
  std::function<double(int)> xAtColumn;  // pixel column → X on the bottom axis
  std::function<double(int)> yAtRow;     // pixel row → Y on the left axis
  std::function<int(double)> columnOfX;  // X of a point → its pixel column
};

struct WritablePoints {
  std::span<double> xs;
  std::span<double> ys;
};

// Everything about the window that one mouse event needs.
struct GestureContext {
  bool editDown = false;        // `btnEdit` is down
  bool hasActiveGraph = false;  // false: the event changes nothing
  // The active graph's points, asked for only when pan or edit rewrite them: an undo step
  // may share the arrays, and taking them for writing copies them.
  std::function<WritablePoints()> points;
  // Every X of the active graph is finite and X never decreases (the chart knows it):
  // the freehand edit then finds its column by binary search.
  bool xFiniteAscending = false;
  PlotRectPx plot;  // as recorded at the last repaint
  PixelConversions convert;
  char decimalSeparator = '.';  // of the readout
};

// What the window does after an event.
struct GestureOutcome {
  // The chart's own handling (box zoom, right-drag scroll, clicks on lines and the legend)
  // must not act on this event.
  bool suppressBuiltIn = false;
  // The active graph's points were rewritten: repaint the graphs.
  bool pointsChanged = false;
  // The rubber band appeared, moved or went away: replot the overlay layer alone.
  bool overlayChanged = false;
  // New text of `lbCoopd`; nullopt keeps the old one.
  std::optional<std::string> readout;
};

enum class Gesture { None, Pan, Measure, Freehand };

// A line from the press point to the pointer, drawn on the overlay while it exists.
struct RubberBand {
  ScreenPoint from, to;
};

class ChartGestures {
 public:
  GestureOutcome press(ScreenPoint p, GestureKeys keys, const GestureContext& ctx);
  GestureOutcome move(ScreenPoint p, const GestureContext& ctx);
  GestureOutcome release(ScreenPoint p, GestureKeys keys, const GestureContext& ctx);

  Gesture gesture() const { return m_gesture; }
  // The line to draw on the overlay during a pan or a measurement; nullopt otherwise.
  std::optional<RubberBand> rubberBand() const;
  Gesture current() const { return m_gesture; }

 private:
  Gesture m_gesture = Gesture::None;
  ScreenPoint m_press;
  ScreenPoint m_bandEnd;
  double m_x0 = 0, m_y0 = 0;  // values at the press point
};

// The readout while the pointer moves: "X: 1.23  /  Y:  4.56" in the short format.
std::string coordinateReadout(double x, double y, char decimalSeparator);
// The readout of a measurement: "dX: …  /  dY:  …".
std::string distanceReadout(double dx, double dy, char decimalSeparator);

// Freehand edit of one pixel column: every point whose X maps to exactly `column` gets
// Y := y. Points with a non-finite X are left alone. Returns how many points were set.
// With `xFiniteAscending` the points of the column are found by binary search, which
// needs `columnOfX` monotone in X (any axis, also a reversed one, maps so).
std::size_t setColumnY(std::span<const double> xs, std::span<double> ys, int column, double y,
                       const std::function<int(double)>& columnOfX, bool xFiniteAscending = false);

// Moves every point by (dx, dy), as the release of a pan does.
void shiftPoints(std::span<double> xs, std::span<double> ys, double dx, double dy);

}  // namespace tarvik::view
