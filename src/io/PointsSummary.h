#pragma once
// What the chart and the point order need to know of the points a reader makes: whether X
// never falls (then the points are in the graph's order as read) and the extent of the
// finite points (then the chart need not read them all again). The thread that parses a
// block finds its block's summary while the values are still in its cache; the summaries
// of consecutive runs, appended in file order, are exactly the summary of the whole.
#include <cstddef>
#include <optional>
#include <span>

#include "core/PointsExtent.h"
#include "io/ReadResult.h"

namespace tarvik {

struct PointsSummary {
  bool any = false;  // false: no points (nothing else is set)
  bool ascending = true;
  double firstX = 0, lastX = 0;
  std::optional<PointsExtent> extent;

  // The summary of these points followed by those of `next`.
  void append(const PointsSummary& next);
};

// The summary of the points (xs[i], ys[i]) for i from `from` to the end of ys (xs may be
// longer: X shared with another channel). `order`, when given, is xOrder of those X (found
// once for the channels that share them).
PointsSummary summarizePoints(std::span<const double> xs, std::span<const double> ys,
                              std::size_t from, const XOrder* order = nullptr);

// Puts `points` in the graph's order unless the summary says they are in it already, and
// gives the extent the graph may note: the summary's when nothing moved, none otherwise
// (reordered points may meet zeros of both signs in another order).
ReadExtent orderPoints(PointArrays& points, const PointsSummary& summary);

}  // namespace tarvik
