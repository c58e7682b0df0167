#pragma once
// Turning a graph of millions of points into the few thousand pixel positions that look the
// same on screen, without Qt so it can be tested directly.
//
// Reduction per pixel column (the "M4" idea): consecutive points, in stored order, that
// fall into the same pixel column are replaced by the first, the lowest, the highest and
// the last of them, in the order they occur. The line through those four covers exactly
// the pixels the full line covered in that column, so the picture does not change, and a
// repaint costs one pass over the points plus O(columns) drawing. Points left or right of
// the plot (beyond a margin for wide pens) form runs of their own, of which only the first
// and the last are kept: every segment between them lies outside the plot.
//
// A point whose X or Y cannot be shown (NaN, infinity, a value ≤ 0 on a logarithmic axis)
// breaks the line: the segments on either side of it are not drawn.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace tarvik::view {

// A position in pixels; a point with NaN coordinates marks a break in the line.
struct PixelPoint {
  double x = 0;
  double y = 0;
  bool isBreak() const { return std::isnan(x); }
  friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

inline constexpr PixelPoint kLineBreak{std::numeric_limits<double>::quiet_NaN(),
                                       std::numeric_limits<double>::quiet_NaN()};

// Linear (or logarithmic) map of one axis from values to pixels:
// pixel = originPx + (t(value) − t(origin))·pxPerUnit, t = identity or log10.
struct AxisPixelMap {
  double origin = 0;  // already log10 on a logarithmic axis
  double originPx = 0;
  double pxPerUnit = 1;
  bool logarithmic = false;

  // NaN for a value that the axis cannot show.
  double operator()(double value) const {
    if (logarithmic) {
      if (!(value > 0)) {
        return std::numeric_limits<double>::quiet_NaN();
      }
      value = std::log10(value);
    }
    return originPx + (value - origin) * pxPerUnit;
  }
};

// Bounds of the screen columns: key pixels below `leftPx` or at/above `rightPx` count as
// off-screen. A caller passes the plot's left and right edges widened by the pen width.
struct ColumnWindow {
  double leftPx = 0;
  double rightPx = 0;
};

// What the reduction needs to know of every block of kPoints consecutive points (blocks
// start at index 0; a last partial block is not summarised). It depends on the point
// values alone, so it is made once when a graph changes and serves every repaint, zoom and
// resize: a block whose points all fall into the column of the run being reduced joins
// that run whole, from its extremes, instead of point by point.
struct PointBlocks {
  static constexpr std::size_t kPoints = 64;
  struct Block {
    double xMin = 0, xMax = 0;
    double yMin = 0, yMax = 0;
    std::uint8_t yMinAt = 0, yMaxAt = 0;  // first occurrence, from the block's start
    bool finite = false;                  // every X and Y finite (the rest is then valid)
  };
  std::vector<Block> blocks;
};

// The blocks of `xs`/`ys` (equal lengths).
PointBlocks summarizePointBlocks(std::span<const double> xs, std::span<const double> ys);

// Appends to `out` the reduced line of points [begin, end) of `xs`/`ys` (equal lengths).
// The key (X) axis is horizontal. Consecutive duplicate positions are dropped. Nothing is
// appended for an empty range. `blocks`, when given, must be the summary of these same
// arrays; the result is the same with or without it.
void reducePolyline(std::span<const double> xs, std::span<const double> ys, std::size_t begin,
                    std::size_t end, const AxisPixelMap& keyMap, const AxisPixelMap& valueMap,
                    ColumnWindow window, std::vector<PixelPoint>& out,
                    const PointBlocks* blocks = nullptr);

// The same reduction for a graph known to be sorted by X, with every X and Y one the axes
// can show (finite, and > 0 on a logarithmic axis) and a key map that grows to the right.
// The columns are found by binary search and the extremes of each column by a tight scan
// of Y, so the result equals reducePolyline's at a fraction of the cost.
void reduceSortedPolyline(std::span<const double> xs, std::span<const double> ys, std::size_t begin,
                          std::size_t end, const AxisPixelMap& keyMap, const AxisPixelMap& valueMap,
                          ColumnWindow window, std::vector<PixelPoint>& out);

// The index range [begin, end) of a graph sorted by X that can affect the view
// [keyLower, keyUpper]: the points inside plus one neighbour on each side, so the segments
// that enter and leave the view are kept.
struct IndexRange {
  std::size_t begin = 0;
  std::size_t end = 0;
};
IndexRange visibleIndexRange(std::span<const double> sortedXs, double keyLower, double keyUpper);

// Axis-aligned rectangle in pixels.
struct PixelRect {
  double left = 0, top = 0, right = 0, bottom = 0;
};

// Cuts a line (with breaks) to `rect`: parts outside are removed and a break is put where
// the line leaves the rectangle, so painters never see coordinates far outside the plot.
// Isolated points (no segment) are dropped. `out` is replaced. `continued` says that the
// line goes on from a part before it whose last segment reached `line`'s first point inside
// the rectangle, so that point is already drawn (a line clipped in parts is joined this way).
void clipPolyline(std::span<const PixelPoint> line, PixelRect rect, std::vector<PixelPoint>& out,
                  bool continued = false);

// Vectors kept between repaints, so that a line of millions of points is not allocated anew.
struct LineScratch {
  std::vector<PixelPoint> reduced, secondReduced, secondClipped;
};

// reducePolyline of points [begin, end) into an empty line, then clipPolyline to `clip`.
// With `twoThreads`, the points are split where a new column starts near the middle and the
// halves are reduced and clipped at the same time, then joined: the result is the same line,
// point for point.
void reduceAndClipPolyline(std::span<const double> xs, std::span<const double> ys,
                           std::size_t begin, std::size_t end, const AxisPixelMap& keyMap,
                           const AxisPixelMap& valueMap, ColumnWindow window, PixelRect clip,
                           bool twoThreads, LineScratch& scratch, std::vector<PixelPoint>& out,
                           const PointBlocks* blocks = nullptr);

// Distance in pixels from `p` to the nearest segment of `line` (breaks respected);
// infinity when the line has no segment.
double distanceToPolyline(std::span<const PixelPoint> line, PixelPoint p);

// Dashes of a dashed pen along `line`: `pattern` holds alternating on/off lengths in
// pixels (starting with "on"); the pattern runs on across vertices and starts afresh after
// each break. Each dash is appended to `out` as a pair of points (start, end), so a
// painter can draw them as plain solid segments.
void dashSegments(std::span<const PixelPoint> line, std::span<const double> pattern,
                  std::vector<PixelPoint>& out);

}  // namespace tarvik::view
