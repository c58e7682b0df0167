#pragma once
// One line series of the chart: points as two parallel arrays of doubles plus the
// appearance the chart draws it with.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarvik {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

enum class LineStyle { Solid, Dash, Dot, DashDot, DashDotDot };

class Graph {
 public:
  // Point access. Indices are 0-based; callers keep them below size().
  std::size_t size() const { return m_x.size(); }
  bool empty() const { return m_x.empty(); }
  double x(std::size_t i) const { return m_x[i]; }
  double y(std::size_t i) const { return m_y[i]; }
  std::span<const double> xs() const { return m_x; }
  std::span<const double> ys() const { return m_y; }
  // Direct access for computations that rewrite the points in place. The arrays stay the
  // same length; a caller that breaks ascending X must not rely on addPoint afterwards.
  std::span<double> xsMutable() { return m_x; }
  std::span<double> ysMutable() { return m_y; }

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
    m_x.push_back(x);
    m_y.push_back(y);
  }
  void setX(std::size_t i, double x) { m_x[i] = x; }
  void setY(std::size_t i, double y) { m_y[i] = y; }
  void deletePoint(std::size_t i);
  void clearPoints();
  void reserve(std::size_t n);
  // Replaces all points at once (the arrays must be of equal length).
  void setPoints(std::vector<double> xs, std::vector<double> ys);
  // Takes the points of another graph; title and appearance stay.
  void copyPointsFrom(const Graph& source);

  std::string title;  // UTF-8
  Rgb colour;
  LineStyle lineStyle = LineStyle::Solid;
  int lineWidth = 1;
  bool showInLegend = true;
  int tag = 0;

 private:
  std::vector<double> m_x;
  std::vector<double> m_y;
};

}  // namespace tarvik
