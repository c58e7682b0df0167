#include "io/PointsSummary.h"

#include <utility>

#include "io/PointOrder.h"

namespace tarvik {

void PointsSummary::append(const PointsSummary& next) {
  if (!next.any) {
    return;
  }
  if (!any) {
    *this = next;
    return;
  }
  ascending = ascending && next.ascending && !(next.firstX < lastX);
  lastX = next.lastX;
  uniteExtent(extent, next.extent);
}

PointsSummary summarizePoints(std::span<const double> xs, std::span<const double> ys,
                              std::size_t from, const XOrder* order) {
  if (from >= ys.size()) {
    return {};
  }
  const std::span<const double> y = ys.subspan(from);
  const std::span<const double> x = xs.subspan(from, y.size());
  OrderedExtent scan = order != nullptr ? orderedExtent(x, y, *order) : orderedExtent(x, y);
  return {true, scan.ascending, x.front(), x.back(), std::move(scan.extent)};
}

ReadExtent orderPoints(PointArrays& points, const PointsSummary& summary) {
  if (summary.ascending) {
    return summary.extent;
  }
  applyPointOrder(points);
  return std::nullopt;
}

}  // namespace tarvik
