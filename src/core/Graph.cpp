#include "core/Graph.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tarvik {
namespace {

double extreme(std::span<const double> values, bool wantMax) {
  bool found = false;
  double best = 0;
  for (double v : values) {
    if (std::isnan(v)) {
      continue;
    }
    if (!found || (wantMax ? v > best : v < best)) {
      best = v;
      found = true;
    }
  }
  return best;
}

}  // namespace

double Graph::minX() const { return extreme(m_x, false); }
double Graph::maxX() const { return extreme(m_x, true); }
double Graph::minY() const { return extreme(m_y, false); }
double Graph::maxY() const { return extreme(m_y, true); }

void Graph::addPoint(double x, double y) {
  // Insert after the last point whose X is not greater than x: upper_bound on a sorted
  // array. Arrays whose order was broken by setX are searched from the end, which keeps
  // the "after the last such point" meaning for the ascending tail.
  if (m_x.empty() || !(x < m_x.back())) {
    appendPoint(x, y);
    return;
  }
  std::size_t pos = m_x.size();
  while (pos > 0 && x < m_x[pos - 1]) {
    --pos;
  }
  m_x.insert(m_x.begin() + static_cast<std::ptrdiff_t>(pos), x);
  m_y.insert(m_y.begin() + static_cast<std::ptrdiff_t>(pos), y);
}

void Graph::deletePoint(std::size_t i) {
  m_x.erase(m_x.begin() + static_cast<std::ptrdiff_t>(i));
  m_y.erase(m_y.begin() + static_cast<std::ptrdiff_t>(i));
}

void Graph::clearPoints() {
  m_x.clear();
  m_y.clear();
}

void Graph::reserve(std::size_t n) {
  m_x.reserve(n);
  m_y.reserve(n);
}

void Graph::setPoints(std::vector<double> xs, std::vector<double> ys) {
  if (xs.size() != ys.size()) {
    throw std::invalid_argument("Graph::setPoints: X and Y differ in length");
  }
  m_x = std::move(xs);
  m_y = std::move(ys);
}

void Graph::copyPointsFrom(const Graph& source) {
  m_x = source.m_x;
  m_y = source.m_y;
}

}  // namespace tarvik
