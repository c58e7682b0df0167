#include "transforms/CursorStats.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/NumberFormat.h"

namespace tarvik {
namespace {

// How the points are laid out decides both the Y at a cursor and the fast paths.
enum class PointOrder {
  FiniteAscending,    // every point finite, X never decreasing: binary search applies
  AscendingWithGaps,  // the finite points ascend, some points are not finite
  Unordered,          // some finite X is smaller than an earlier one
};

bool finitePoint(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

double lineAt(double xa, double ya, double xb, double yb, double x) {
  return ya + (x - xa) * (yb - ya) / (xb - xa);
}

// Ascending finite points: the line between the neighbours, an exact hit's own Y.
std::optional<double> yBetweenNeighbours(std::span<const double> xs, std::span<const double> ys,
                                         double c) {
  if (xs.empty() || !(xs.front() <= c && c <= xs.back())) {
    return std::nullopt;
  }
  const std::size_t i =
      static_cast<std::size_t>(std::lower_bound(xs.begin(), xs.end(), c) - xs.begin());
  if (xs[i] == c) {
    return ys[i];
  }
  return lineAt(xs[i - 1], ys[i - 1], xs[i], ys[i], c);
}

// The same over ascending finite points with non-finite ones in between.
std::optional<double> yBetweenNeighboursSkipping(std::span<const double> xs,
                                                 std::span<const double> ys, double c) {
  std::optional<std::size_t> prev;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (!finitePoint(xs[i], ys[i])) {
      continue;
    }
    if (xs[i] == c) {
      return ys[i];
    }
    if (xs[i] > c) {
      if (!prev) {
        return std::nullopt;
      }
      return lineAt(xs[*prev], ys[*prev], xs[i], ys[i], c);
    }
    prev = i;
  }
  return std::nullopt;
}

// Unordered points: the Y of the point with the nearest X, the first of equals.
std::optional<double> yOfNearest(std::span<const double> xs, std::span<const double> ys, double c) {
  double minX = INFINITY;
  double maxX = -INFINITY;
  double best = INFINITY;
  std::optional<double> y;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (!finitePoint(xs[i], ys[i])) {
      continue;
    }
    minX = std::min(minX, xs[i]);
    maxX = std::max(maxX, xs[i]);
    const double distance = std::abs(xs[i] - c);
    if (distance < best) {
      best = distance;
      y = ys[i];
    }
  }
  if (!(minX <= c && c <= maxX)) {
    return std::nullopt;
  }
  return y;
}

std::optional<double> yAtCursor(std::span<const double> xs, std::span<const double> ys,
                                PointOrder order, double c) {
  switch (order) {
    case PointOrder::FiniteAscending:
      return yBetweenNeighbours(xs, ys, c);
    case PointOrder::AscendingWithGaps:
      return yBetweenNeighboursSkipping(xs, ys, c);
    case PointOrder::Unordered:
      break;
  }
  return yOfNearest(xs, ys, c);
}

// True when every point is finite and X never decreases. A NaN X fails the comparison
// with its neighbour, and finite ends with X never decreasing leave no infinite X between.
bool allFiniteAscending(std::span<const double> xs, std::span<const double> ys) {
  constexpr double kMax = std::numeric_limits<double>::max();
  if (xs.empty()) {
    return true;
  }
  if (!(std::abs(xs.front()) <= kMax && std::abs(xs.back()) <= kMax && std::abs(ys[0]) <= kMax)) {
    return false;
  }
  for (std::size_t i = 1; i < xs.size(); ++i) {
    if (!(xs[i - 1] <= xs[i]) || !(std::abs(ys[i]) <= kMax)) {
      return false;
    }
  }
  return true;
}

PointOrder classify(std::span<const double> xs, std::span<const double> ys) {
  if (allFiniteAscending(xs, ys)) {
    return PointOrder::FiniteAscending;
  }
  bool any = false;
  double lastX = 0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (!finitePoint(xs[i], ys[i])) {
      continue;
    }
    if (any && xs[i] < lastX) {
      return PointOrder::Unordered;
    }
    any = true;
    lastX = xs[i];
  }
  return PointOrder::AscendingWithGaps;
}

struct Sums {
  std::size_t count = 0;
  double min = 0, max = 0, sum = 0, sumSquares = 0, integral = 0;
};

// Plain sums over the points [begin, end) that `selected` keeps, in index order.
template <class Selected>
Sums sumsOver(std::span<const double> xs, std::span<const double> ys, std::size_t begin,
              std::size_t end, Selected selected) {
  Sums s;
  std::size_t i = begin;
  while (i < end && !selected(i)) {
    ++i;
  }
  if (i == end) {
    return s;
  }
  double lastX = xs[i];
  double lastY = ys[i];
  s = {1, lastY, lastY, lastY, lastY * lastY, 0};
  for (++i; i < end; ++i) {
    if (!selected(i)) {
      continue;
    }
    const double x = xs[i];
    const double y = ys[i];
    ++s.count;
    s.min = y < s.min ? y : s.min;
    s.max = y > s.max ? y : s.max;
    s.sum += y;
    s.sumSquares += y * y;
    s.integral += (x - lastX) * (y + lastY) / 2;
    lastX = x;
    lastY = y;
  }
  return s;
}

Sums sumsBetween(std::span<const double> xs, std::span<const double> ys, PointOrder order,
                 double lo, double hi) {
  if (order == PointOrder::FiniteAscending) {
    const auto first = std::lower_bound(xs.begin(), xs.end(), lo);
    const auto last = std::upper_bound(first, xs.end(), hi);
    return sumsOver(xs, ys, static_cast<std::size_t>(first - xs.begin()),
                    static_cast<std::size_t>(last - xs.begin()), [](std::size_t) { return true; });
  }
  return sumsOver(xs, ys, 0, xs.size(), [&](std::size_t i) {
    return lo <= xs[i] && xs[i] <= hi && finitePoint(xs[i], ys[i]);
  });
}

}  // namespace

CursorStats cursorStats(std::span<const double> xs, std::span<const double> ys, double x1,
                        double x2) {
  const std::size_t n = std::min(xs.size(), ys.size());
  xs = xs.first(n);
  ys = ys.first(n);
  const PointOrder order = classify(xs, ys);

  CursorStats s;
  s.x1 = x1;
  s.x2 = x2;
  s.dx = x2 - x1;
  if (s.dx != 0) {
    s.invDx = 1 / s.dx;
  }
  s.y1 = yAtCursor(xs, ys, order, x1);
  s.y2 = yAtCursor(xs, ys, order, x2);
  if (s.y1 && s.y2) {
    s.dy = *s.y2 - *s.y1;
  }
  // A NaN cursor selects nothing (a NaN bound would make the binary search take all).
  const Sums sums = std::isnan(x1) || std::isnan(x2)
                        ? Sums{}
                        : sumsBetween(xs, ys, order, std::min(x1, x2), std::max(x1, x2));
  s.count = sums.count;
  if (sums.count > 0) {
    const auto count = static_cast<double>(sums.count);
    s.min = sums.min;
    s.max = sums.max;
    s.p2p = sums.max - sums.min;
    s.mean = sums.sum / count;
    s.rms = std::sqrt(sums.sumSquares / count);
    s.integral = sums.integral;
  }
  return s;
}

std::vector<CursorRow> cursorRows(const CursorStats& s) {
  return {{"x1", s.x1},   {"x2", s.x2},
          {"dx", s.dx},   {"inv-dx", s.invDx},
          {"y1", s.y1},   {"y2", s.y2},
          {"dy", s.dy},   {"count", static_cast<double>(s.count)},
          {"min", s.min}, {"max", s.max},
          {"p2p", s.p2p}, {"mean", s.mean},
          {"rms", s.rms}, {"integral", s.integral}};
}

std::string axisTitleUnit(std::string_view title) {
  const std::size_t comma = title.rfind(',');
  if (comma == std::string_view::npos) {
    return {};
  }
  return std::string(trimBlanks(title.substr(comma + 1)));
}

std::vector<std::string> cursorFieldUnits(std::string_view xUnit, std::string_view yUnit) {
  const std::string x(xUnit);
  const std::string y(yUnit);
  const std::string inverse = x.empty() ? std::string() : "1/" + x;
  const std::string area = x.empty() || y.empty() ? std::string() : y + "·" + x;
  return {x, x, x, inverse, y, y, y, std::string(), y, y, y, y, y, area};
}

}  // namespace tarvik
