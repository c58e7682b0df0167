#include "view/PointArrayCache.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "core/FiniteAscending.h"

namespace tarvik::view {

void ValueExtent::add(double v) {
  if (!std::isfinite(v)) {
    return;
  }
  if (!any) {
    min = max = v;
    any = true;
  } else {
    min = std::min(min, v);
    max = std::max(max, v);
  }
  if (v > 0) {
    minPositive = anyPositive ? std::min(minPositive, v) : v;
    anyPositive = true;
  } else if (v < 0) {
    maxNegative = anyNegative ? std::max(maxNegative, v) : v;
    anyNegative = true;
  }
}

void PointArrayCache::refresh(std::span<const double> xs, std::span<const double> ys) {
  m_xExtent = ValueExtent{};
  m_yExtent = ValueExtent{};
  m_sorted = true;
  m_allYFinite = true;
  m_x = xs.data();
  m_y = ys.data();
  m_size = xs.size();
  double previous = -std::numeric_limits<double>::infinity();
  // A fingerprint of the values (two independent FNV-style lanes, so the pass stays as fast
  // as the scan): a transform that rewrites points in place changes it.
  std::uint64_t xLane = 0xcbf29ce484222325ull, yLane = 0x84222325cbf29ce4ull;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    xLane = (xLane ^ std::bit_cast<std::uint64_t>(xs[i])) * 0x100000001b3ull;
    yLane = (yLane ^ std::bit_cast<std::uint64_t>(ys[i])) * 0x100000001b3ull;
    // Sorted means finite and never decreasing: a NaN would defeat the binary search.
    const double x = xs[i];
    if (!continuesFiniteAscending(previous, x)) {
      m_sorted = false;
    }
    previous = x;
    m_allYFinite = m_allYFinite && std::isfinite(ys[i]);
    // Only a point that can be drawn counts for the autoscale.
    if (std::isfinite(x) && std::isfinite(ys[i])) {
      m_xExtent.add(x);
      m_yExtent.add(ys[i]);
    }
  }
  m_fingerprint = xLane ^ (yLane * 31);
  m_blocks = xs.size() >= kBlockSummaryPoints ? summarizePointBlocks(xs, ys) : PointBlocks{};
}

void PointArrayCache::ensure(std::span<const double> xs, std::span<const double> ys) {
  if (xs.data() != m_x || ys.data() != m_y || xs.size() != m_size) {
    refresh(xs, ys);
  }
}

}  // namespace tarvik::view
