#pragma once
// What the chart needs to know of a graph's point arrays before it draws them: whether X is
// sorted (finite and never decreasing, so the visible points can be found by a binary
// search), whether every Y is finite, the extents for the autoscale, a fingerprint of the
// values (a command that rewrites the points in place changes it) and the block summaries of
// a long graph. One pass over the points makes all of it; it is kept while the arrays keep
// their address and length.
#include <cstddef>
#include <cstdint>
#include <span>

#include "view/PolylineReduction.h"

namespace tarvik::view {

// Finite extents of one coordinate, by sign, for the autoscale of linear and log axes.
struct ValueExtent {
  double min = 0, max = 0;
  double minPositive = 0, maxNegative = 0;
  bool any = false, anyPositive = false, anyNegative = false;
  void add(double v);
};

class PointArrayCache {
 public:
  // From this many points the block summaries are kept for the reduction.
  static constexpr std::size_t kBlockSummaryPoints = std::size_t{1} << 16;

  // Reads the arrays (of equal length) again, whatever was cached.
  void refresh(std::span<const double> xs, std::span<const double> ys);
  // Reads them again only when their address or length differ from the cached ones.
  void ensure(std::span<const double> xs, std::span<const double> ys);

  bool sorted() const { return m_sorted; }
  bool allYFinite() const { return m_allYFinite; }
  // Of the points that can be drawn (X and Y both finite).
  const ValueExtent& xExtent() const { return m_xExtent; }
  const ValueExtent& yExtent() const { return m_yExtent; }
  std::uint64_t fingerprint() const { return m_fingerprint; }
  // The block summaries, or null for a graph too short to need them.
  const PointBlocks* blocks() const { return m_blocks.blocks.empty() ? nullptr : &m_blocks; }

 private:
  const double* m_x = nullptr;
  const double* m_y = nullptr;
  std::size_t m_size = 0;
  bool m_sorted = true;
  bool m_allYFinite = true;
  ValueExtent m_xExtent, m_yExtent;
  std::uint64_t m_fingerprint = 0;
  PointBlocks m_blocks;
};

}  // namespace tarvik::view
