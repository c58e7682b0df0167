#pragma once
// Scans over a graph's points that the chart and the readers share: the smallest and largest
// X and Y of the points whose coordinates are both finite, and whether X never falls.
//
// The extent is defined by the pass over the points in their order: the first finite point
// starts it, and a later value replaces a limit only when it lies strictly beyond it. The
// order matters only where -0 and +0 meet (they compare equal; the first one seen stays),
// so extents of consecutive runs of points united in their order (uniteExtent) are exactly
// the extent of the whole: a reader may find it block by block while the values are in cache.
#include <optional>
#include <span>

namespace tarvik {

struct PointsExtent {
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  friend bool operator==(const PointsExtent&, const PointsExtent&) = default;
};

// nullopt when no point has both X and Y finite (an empty graph). Points past the shorter
// array are not looked at. O(n).
std::optional<PointsExtent> finiteExtent(std::span<const double> xs, std::span<const double> ys);

// `all` becomes the extent of its points followed by those of `one`.
void uniteExtent(std::optional<PointsExtent>& all, const std::optional<PointsExtent>& one);

// True when no X is smaller than the X before it (a NaN compares with nothing, so it never
// breaks the order).
bool ascendingX(std::span<const double> xs);

// Whether X ascends (as ascendingX) and, where it does, the extent (as finiteExtent): what a
// reader needs to know of the points it made. Where every value is finite and X ascends,
// the usual reading, the X limits are the first and the last X, and only Y is searched.
struct OrderedExtent {
  bool ascending = true;
  std::optional<PointsExtent> extent;  // unset where X falls
};
OrderedExtent orderedExtent(std::span<const double> xs, std::span<const double> ys);

// What orderedExtent needs to know of X alone, so that graphs sharing one X array look at
// it once: whether X ascends and whether every X is finite.
struct XOrder {
  bool ascending = true;
  bool finite = true;
};
XOrder xOrder(std::span<const double> xs);
// orderedExtent with `order` = xOrder of xs's first min(xs.size(), ys.size()) values.
OrderedExtent orderedExtent(std::span<const double> xs, std::span<const double> ys,
                            const XOrder& order);

}  // namespace tarvik
