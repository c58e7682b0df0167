#include "transforms/CursorStats.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/FiniteAscending.h"

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

// True when every point is finite and X never decreases.
bool allFiniteAscending(std::span<const double> xs, std::span<const double> ys) {
  return isFiniteAscending(xs) &&
         std::all_of(ys.begin(), ys.end(), [](double y) { return std::isfinite(y); });
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

// The usual graph is finite with X ascending, and its statistics are read in one pass over
// both arrays: the check of that order over every point and the sums over the points
// between the cursors (found by binary search as if the order held; they are used only if
// it does). The sums go to four interleaved partial sums, so the additions do not wait for
// each other; long graphs are done in two halves on two threads.
struct Pass {
  bool finiteAscending = true;
  std::size_t count = 0;
  double min = INFINITY, max = -INFINITY;
  std::array<double, 4> sum{}, sumSquares{}, integral{};
};

// Checks points [begin, end) against the point before each, and sums those of them within
// [first, last) (the trapezoids from the point before, once that one is selected too).
Pass passOver(const double* xs, const double* ys, std::size_t begin, std::size_t end,
              std::size_t first, std::size_t last) {
  constexpr double kMax = std::numeric_limits<double>::max();
  Pass p;
  // Out of order or not finite, without a branch per point (NaN fails both comparisons).
  const auto outOfOrder = [&](std::size_t i) {
    return static_cast<unsigned>(!(xs[i - 1] <= xs[i])) |
           static_cast<unsigned>(!(std::abs(ys[i]) <= kMax));
  };
  const auto check = [&](std::size_t from, std::size_t to) {
    unsigned bad = 0;
    for (std::size_t i = std::max<std::size_t>(from, 1); i < to; ++i) {
      bad |= outOfOrder(i);
    }
    p.finiteAscending = p.finiteAscending && bad == 0;
  };
  const std::size_t sumBegin = std::clamp(first, begin, end);
  const std::size_t sumEnd = std::clamp(last, sumBegin, end);
  check(begin, sumBegin);
  check(sumEnd, end);
  if (!p.finiteAscending) {
    return p;
  }
  // The sums live in local variables (not in `p`, which the compiler must assume the
  // arrays may overlap), so they stay in registers.
  unsigned bad = 0;
  double lo = INFINITY, hi = -INFINITY;
  double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  double q0 = 0, q1 = 0, q2 = 0, q3 = 0;
  double g0 = 0, g1 = 0, g2 = 0, g3 = 0;
  std::size_t i = sumBegin;
  if (i < sumEnd && i == first) {  // the first selected point: no trapezoid before it
    const double y = ys[i];
    lo = y;
    hi = y;
    s0 = y;
    q0 = y * y;
    if (i > 0) {
      bad |= outOfOrder(i);
    }
    ++i;
  }
  // From here i > first ≥ 0: every point has a selected one before it.
  const auto add = [&](std::size_t k, double& sum, double& squares, double& area) {
    const double y = ys[k];
    lo = std::min(lo, y);
    hi = std::max(hi, y);
    sum += y;
    squares += y * y;
    area += (xs[k] - xs[k - 1]) * (y + ys[k - 1]) / 2;
    bad |= outOfOrder(k);
  };
#if defined(__SSE2__)
  // Two points to a register, two registers: lanes 0 and 1 hold points 4j and 4j + 1,
  // lanes 2 and 3 points 4j + 2 and 4j + 3. minpd(y, lo) is y < lo ? y : lo, as above.
  if (i + 4 <= sumEnd) {
    const __m128d limit = _mm_set1_pd(kMax);
    const __m128d signless = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m128d half = _mm_set1_pd(0.5);
    __m128d vlo = _mm_set1_pd(lo), vhi = _mm_set1_pd(hi);
    __m128d sumA = _mm_setzero_pd(), sumB = _mm_setzero_pd();
    __m128d sqA = _mm_setzero_pd(), sqB = _mm_setzero_pd();
    __m128d areaA = _mm_setzero_pd(), areaB = _mm_setzero_pd();
    __m128d badMask = _mm_setzero_pd();
    const auto lanePair = [&](std::size_t k, __m128d& sum, __m128d& squares, __m128d& area) {
      const __m128d y = _mm_loadu_pd(ys + k);
      const __m128d yBefore = _mm_loadu_pd(ys + k - 1);
      const __m128d x = _mm_loadu_pd(xs + k);
      const __m128d xBefore = _mm_loadu_pd(xs + k - 1);
      vlo = _mm_min_pd(y, vlo);
      vhi = _mm_max_pd(y, vhi);
      sum = _mm_add_pd(sum, y);
      squares = _mm_add_pd(squares, _mm_mul_pd(y, y));
      // (x − x before)·(y + y before)/2; halving is exact, so ·0.5 gives the same bits.
      area = _mm_add_pd(
          area, _mm_mul_pd(_mm_mul_pd(_mm_sub_pd(x, xBefore), _mm_add_pd(y, yBefore)), half));
      badMask = _mm_or_pd(badMask, _mm_or_pd(_mm_cmpnle_pd(xBefore, x),
                                             _mm_cmpnle_pd(_mm_and_pd(y, signless), limit)));
    };
    for (; i + 4 <= sumEnd; i += 4) {
      lanePair(i, sumA, sqA, areaA);
      lanePair(i + 2, sumB, sqB, areaB);
    }
    alignas(16) double lanes[2];
    const auto unpack = [&](__m128d v, double& a, double& b) {
      _mm_store_pd(lanes, v);
      a += lanes[0];
      b += lanes[1];
    };
    unpack(sumA, s0, s1);
    unpack(sumB, s2, s3);
    unpack(sqA, q0, q1);
    unpack(sqB, q2, q3);
    unpack(areaA, g0, g1);
    unpack(areaB, g2, g3);
    _mm_store_pd(lanes, vlo);
    lo = std::min(std::min(lo, lanes[0]), lanes[1]);
    _mm_store_pd(lanes, vhi);
    hi = std::max(std::max(hi, lanes[0]), lanes[1]);
    bad |= static_cast<unsigned>(_mm_movemask_pd(badMask));
  }
#else
  for (; i + 4 <= sumEnd; i += 4) {
    add(i, s0, q0, g0);
    add(i + 1, s1, q1, g1);
    add(i + 2, s2, q2, g2);
    add(i + 3, s3, q3, g3);
  }
#endif
  for (; i < sumEnd; ++i) {
    add(i, s0, q0, g0);
  }
  p.finiteAscending = bad == 0;
  p.count = sumEnd - sumBegin;
  p.min = lo;
  p.max = hi;
  p.sum = {s0, s1, s2, s3};
  p.sumSquares = {q0, q1, q2, q3};
  p.integral = {g0, g1, g2, g3};
  return p;
}

double laneTotal(const std::array<double, 4>& lanes) {
  return (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
}

// Above this many points the pass runs in two halves at once.
constexpr std::size_t kTwoThreadPoints = std::size_t{1} << 22;

// The sums between lo and hi when the points are finite with X ascending; nothing when
// they are not (the caller then sorts out the order).
std::optional<Sums> finiteAscendingSums(std::span<const double> xs, std::span<const double> ys,
                                        double lo, double hi) {
  constexpr double kMax = std::numeric_limits<double>::max();
  const std::size_t n = xs.size();
  if (n == 0) {
    return Sums{};
  }
  if (!(std::abs(xs.front()) <= kMax && std::abs(xs.back()) <= kMax && std::abs(ys[0]) <= kMax)) {
    return std::nullopt;
  }
  std::size_t first = n;
  std::size_t last = n;
  if (!std::isnan(lo) && !std::isnan(hi)) {  // a NaN cursor selects nothing
    first = static_cast<std::size_t>(std::lower_bound(xs.begin(), xs.end(), lo) - xs.begin());
    last = static_cast<std::size_t>(std::upper_bound(xs.begin() + static_cast<std::ptrdiff_t>(first),
                                                     xs.end(), hi) -
                                    xs.begin());
  }
  std::array<Pass, 2> halves;
  if (n >= kTwoThreadPoints) {
    const std::size_t mid = n / 2;
    std::thread second([&] { halves[1] = passOver(xs.data(), ys.data(), mid, n, first, last); });
    halves[0] = passOver(xs.data(), ys.data(), 0, mid, first, last);
    second.join();
  } else {
    halves[0] = passOver(xs.data(), ys.data(), 0, n, first, last);
  }
  if (!halves[0].finiteAscending || !halves[1].finiteAscending) {
    return std::nullopt;
  }
  Sums s;
  s.count = halves[0].count + halves[1].count;
  if (s.count == 0) {
    return s;
  }
  s.min = std::min(halves[0].min, halves[1].min);
  s.max = std::max(halves[0].max, halves[1].max);
  s.sum = laneTotal(halves[0].sum) + laneTotal(halves[1].sum);
  s.sumSquares = laneTotal(halves[0].sumSquares) + laneTotal(halves[1].sumSquares);
  s.integral = laneTotal(halves[0].integral) + laneTotal(halves[1].integral);
  return s;
}

}  // namespace

CursorStats cursorStats(std::span<const double> xs, std::span<const double> ys, double x1,
                        double x2) {
  const std::size_t n = std::min(xs.size(), ys.size());
  xs = xs.first(n);
  ys = ys.first(n);
  const double lo = std::min(x1, x2);
  const double hi = std::max(x1, x2);
  std::optional<Sums> sums = finiteAscendingSums(xs, ys, lo, hi);
  const PointOrder order = sums ? PointOrder::FiniteAscending : classify(xs, ys);

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
  if (!sums) {
    sums = std::isnan(x1) || std::isnan(x2) ? Sums{} : sumsBetween(xs, ys, order, lo, hi);
  }
  s.count = sums->count;
  if (sums->count > 0) {
    const auto count = static_cast<double>(sums->count);
    s.min = sums->min;
    s.max = sums->max;
    s.p2p = sums->max - sums->min;
    s.mean = sums->sum / count;
    s.rms = std::sqrt(sums->sumSquares / count);
    s.integral = sums->integral;
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
