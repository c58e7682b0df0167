#pragma once
// One line series of the chart: points as two parallel arrays of doubles plus the
// appearance the chart draws it with.
//
// The arrays are shared blocks, copied on the first write: copying a graph (an undo step,
// a session being written in the background) shares its points, and only a graph that a
// command then rewrites pays for a copy. A block shared by anyone is never written.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/PointsExtent.h"

namespace tarvik {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

enum class LineStyle { Solid, Dash, Dot, DashDot, DashDotDot };

// One array of coordinates. Blocks are never changed while shared.
using PointBlock = std::vector<double>;

class Graph {
 public:
  Graph();
  Graph(const Graph&) = default;
  Graph& operator=(const Graph&) = default;
  // A moved-from graph is empty, not broken.
  Graph(Graph&& other) noexcept;
  Graph& operator=(Graph&& other) noexcept;
  ~Graph() = default;

  // Point access. Indices are 0-based; callers keep them below size().
  std::size_t size() const { return m_x->size(); }
  bool empty() const { return m_x->empty(); }
  double x(std::size_t i) const { return (*m_x)[i]; }
  double y(std::size_t i) const { return (*m_y)[i]; }
  std::span<const double> xs() const { return *m_x; }
  std::span<const double> ys() const { return *m_y; }
  // Direct access for computations that rewrite the points in place. The arrays stay the
  // same length; a caller that breaks ascending X must not rely on addPoint afterwards.
  // A shared array is copied first, so spans taken before this call may see the old one.
  std::span<double> xsMutable() { return ownX(); }
  std::span<double> ysMutable() { return ownY(); }

  // The blocks themselves, for keepers of a document state (undo, sessions).
  std::shared_ptr<const PointBlock> xBlock() const { return m_x; }
  std::shared_ptr<const PointBlock> yBlock() const { return m_y; }
  // Same points bit for bit (NaN payloads and the sign of zero included); shared blocks
  // compare without reading them.
  bool samePoints(const Graph& other) const;
  // Same title and appearance (not points).
  bool sameAttributes(const Graph& other) const;
  // Takes the other graph's blocks where they hold the same values as ours, so a graph
  // a command rewrote with equal values keeps no second copy.
  void shareEqualBlocks(const Graph& other);

  // A number naming the points' present values, for keepers of what is computed from them
  // (the offscreen chart's extents): it changes whenever the points may have changed, and a
  // copy keeps it while it shares the same blocks unchanged. Never 0. Given out on first
  // asking, so it is not for graphs that several threads read at once.
  std::uint64_t pointsStamp() const;

  // The extent of the finite points (core/PointsExtent.h) once someone found it: the reader
  // that made the points (block by block, while reading) or the chart that looked at them,
  // so that nobody reads them all again. It holds while the points stay as they are: any
  // change forgets it, and a copy that shares the blocks keeps it. A cache, hence const;
  // same threading rule as pointsStamp.
  void noteExtent(const std::optional<PointsExtent>& extent) const;
  // The noted extent, or nullptr when none was noted for the present points.
  const std::optional<PointsExtent>* knownExtent() const {
    return m_stamp != 0 && m_stamp == m_extentStamp ? &m_extent : nullptr;
  }

  // Smallest and largest X / Y over all points; 0 for an empty graph. NaN is skipped.
  double minX() const;
  double maxX() const;
  double minY() const;
  double maxY() const;

  // Inserts (x, y) directly after the last point whose X is not greater than x, so equal X
  // keep their order of arrival. O(1) when points arrive in ascending X (the usual case).
  void addPoint(double x, double y);
  // Appends without the ordering rule; for readers that fill points in file order and
  // computations that produce their own order.
  void appendPoint(double x, double y) {
    ownX().push_back(x);
    ownY().push_back(y);
  }
  void setX(std::size_t i, double x) { ownX()[i] = x; }
  void setY(std::size_t i, double y) { ownY()[i] = y; }
  void deletePoint(std::size_t i);
  void clearPoints();
  void reserve(std::size_t n);
  // Replaces all points at once (the arrays must be of equal length).
  void setPoints(std::vector<double> xs, std::vector<double> ys);
  // Replaces all points, sharing the X array of `source` (copied on the first write of
  // either graph); `ys` must be as long as it.
  void setPointsSharingX(const Graph& source, std::vector<double> ys);
  // Takes the points of another graph; title and appearance stay.
  void copyPointsFrom(const Graph& source);

  std::string title;  // UTF-8
  Rgb colour;
  LineStyle lineStyle = LineStyle::Solid;
  int lineWidth = 1;
  bool showInLegend = true;
  int tag = 0;

 private:
  // The array to write: ours alone, copied first when anyone else holds it.
  PointBlock& ownX() {
    m_stamp = 0;
    if (m_x.use_count() != 1) {
      detach(m_x);
    }
    return *m_x;
  }
  PointBlock& ownY() {
    m_stamp = 0;
    if (m_y.use_count() != 1) {
      detach(m_y);
    }
    return *m_y;
  }
  static void detach(std::shared_ptr<PointBlock>& block);

  std::shared_ptr<PointBlock> m_x;  // never null
  std::shared_ptr<PointBlock> m_y;
  mutable std::uint64_t m_stamp = 0;  // 0: none given for the present points yet
  // The noted extent, valid while m_stamp is the stamp it was noted under (every change of
  // the points clears m_stamp, and a stamp is never given twice).
  mutable std::optional<PointsExtent> m_extent;
  mutable std::uint64_t m_extentStamp = 0;
};

}  // namespace tarvik
