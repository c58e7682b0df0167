#include "core/PointsExtent.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvik {
namespace {

// The extent point by point: the first point with X and Y finite starts it.
std::optional<PointsExtent> plainExtent(std::span<const double> xs, std::span<const double> ys) {
  const std::size_t n = std::min(xs.size(), ys.size());
  std::optional<PointsExtent> e;
  for (std::size_t i = 0; i < n; ++i) {
    const double x = xs[i];
    const double y = ys[i];
    if (!std::isfinite(x) || !std::isfinite(y)) {
      continue;
    }
    if (!e) {
      e = PointsExtent{x, x, y, y};
      continue;
    }
    e->minX = std::min(e->minX, x);
    e->maxX = std::max(e->maxX, x);
    e->minY = std::min(e->minY, y);
    e->maxY = std::max(e->maxY, y);
  }
  return e;
}

}  // namespace

std::optional<PointsExtent> finiteExtent(std::span<const double> xs, std::span<const double> ys) {
#if defined(__SSE2__)
  // Two points a step in each of two lanes: a point whose X or Y is not finite takes part
  // as +inf in the minima and -inf in the maxima, so it changes nothing. MINPD(a, m) gives
  // m unless a < m, as std::min(m, a) does; only where two zeros of different sign meet
  // could the lanes keep a different zero than the point-by-point order, so an extent with
  // a zero limit is found again point by point.
  const std::size_t n = std::min(xs.size(), ys.size());
  const double inf = std::numeric_limits<double>::infinity();
  const __m128d zero = _mm_setzero_pd(), up = _mm_set1_pd(inf), down = _mm_set1_pd(-inf);
  __m128d minX = up, maxX = down, minY = up, maxY = down;
  std::size_t i = 0;
  for (; i + 2 <= n; i += 2) {
    const __m128d x = _mm_loadu_pd(xs.data() + i);
    const __m128d y = _mm_loadu_pd(ys.data() + i);
    // v - v is 0 for a finite v and NaN for an infinity or a NaN.
    const __m128d finite =
        _mm_and_pd(_mm_cmpeq_pd(_mm_sub_pd(x, x), zero), _mm_cmpeq_pd(_mm_sub_pd(y, y), zero));
    const auto pick = [&](__m128d v, __m128d otherwise) {
      return _mm_or_pd(_mm_and_pd(finite, v), _mm_andnot_pd(finite, otherwise));
    };
    minX = _mm_min_pd(pick(x, up), minX);
    maxX = _mm_max_pd(pick(x, down), maxX);
    minY = _mm_min_pd(pick(y, up), minY);
    maxY = _mm_max_pd(pick(y, down), maxY);
  }
  double lanes[8];
  _mm_storeu_pd(lanes, minX);
  _mm_storeu_pd(lanes + 2, maxX);
  _mm_storeu_pd(lanes + 4, minY);
  _mm_storeu_pd(lanes + 6, maxY);
  PointsExtent e{std::min(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]),
                 std::min(lanes[4], lanes[5]), std::max(lanes[6], lanes[7])};
  for (; i < n; ++i) {
    if (std::isfinite(xs[i]) && std::isfinite(ys[i])) {
      e.minX = std::min(e.minX, xs[i]);
      e.maxX = std::max(e.maxX, xs[i]);
      e.minY = std::min(e.minY, ys[i]);
      e.maxY = std::max(e.maxY, ys[i]);
    }
  }
  if (e.minX == inf) {
    return std::nullopt;  // no point with both coordinates finite
  }
  if (e.minX == 0 || e.maxX == 0 || e.minY == 0 || e.maxY == 0) {
    return plainExtent(xs, ys);
  }
  return e;
#else
  return plainExtent(xs, ys);
#endif
}

void uniteExtent(std::optional<PointsExtent>& all, const std::optional<PointsExtent>& one) {
  if (!one) {
    return;
  }
  if (!all) {
    all = one;
    return;
  }
  all->minX = std::min(all->minX, one->minX);
  all->maxX = std::max(all->maxX, one->maxX);
  all->minY = std::min(all->minY, one->minY);
  all->maxY = std::max(all->maxY, one->maxY);
}

namespace {

// Whether X ascends; `finite` tells whether every X is finite (false as soon as X falls:
// then nothing more is looked at).
bool scanX(std::span<const double> xs, bool& finite) {
  const std::size_t n = xs.size();
  finite = n == 0 || std::isfinite(xs[0]);
  std::size_t i = 1;
#if defined(__SSE2__)
  // Each X against the one before it, two pairs a step; a NaN makes no comparison true.
  // v - v is 0 for a finite v and NaN for an infinity or a NaN.
  const __m128d zero = _mm_setzero_pd();
  __m128d falls = zero;
  __m128d allFinite = _mm_cmpeq_pd(zero, zero);
  for (; i + 2 <= n; i += 2) {
    const __m128d x = _mm_loadu_pd(xs.data() + i);
    falls = _mm_or_pd(falls, _mm_cmplt_pd(x, _mm_loadu_pd(xs.data() + i - 1)));
    allFinite = _mm_and_pd(allFinite, _mm_cmpeq_pd(_mm_sub_pd(x, x), zero));
    if ((i & 4094) == 0 && _mm_movemask_pd(falls) != 0) {
      return false;  // (looked at now and then, so unordered input stops early)
    }
  }
  if (_mm_movemask_pd(falls) != 0) {
    return false;
  }
  finite = finite && _mm_movemask_pd(allFinite) == 3;
#endif
  for (; i < n; ++i) {
    if (xs[i] < xs[i - 1]) {
      return false;
    }
    finite = finite && std::isfinite(xs[i]);
  }
  return true;
}

// The smallest and largest of `ys` when all are finite; nullopt otherwise.
std::optional<std::pair<double, double>> finiteRange(std::span<const double> ys) {
  const std::size_t n = ys.size();
  if (n == 0) {
    return std::nullopt;
  }
  double low = ys[0];
  double high = ys[0];
  bool finite = std::isfinite(ys[0]);
  std::size_t i = 1;
#if defined(__SSE2__)
  const __m128d zero = _mm_setzero_pd();
  __m128d lows = _mm_set1_pd(low), highs = lows, allFinite = _mm_cmpeq_pd(zero, zero);
  for (; i + 2 <= n; i += 2) {
    const __m128d y = _mm_loadu_pd(ys.data() + i);
    lows = _mm_min_pd(y, lows);
    highs = _mm_max_pd(y, highs);
    allFinite = _mm_and_pd(allFinite, _mm_cmpeq_pd(_mm_sub_pd(y, y), zero));
  }
  double lanes[4];
  _mm_storeu_pd(lanes, lows);
  _mm_storeu_pd(lanes + 2, highs);
  low = std::min(lanes[0], lanes[1]);
  high = std::max(lanes[2], lanes[3]);
  finite = finite && _mm_movemask_pd(allFinite) == 3;
#endif
  for (; i < n; ++i) {
    low = std::min(low, ys[i]);
    high = std::max(high, ys[i]);
    finite = finite && std::isfinite(ys[i]);
  }
  if (!finite) {
    return std::nullopt;
  }
  return std::pair{low, high};
}

}  // namespace

bool ascendingX(std::span<const double> xs) {
  bool finite = false;
  return scanX(xs, finite);
}

XOrder xOrder(std::span<const double> xs) {
  XOrder order;
  order.ascending = scanX(xs, order.finite);
  return order;
}

OrderedExtent orderedExtent(std::span<const double> xs, std::span<const double> ys) {
  return orderedExtent(xs, ys, xOrder(xs.first(std::min(xs.size(), ys.size()))));
}

OrderedExtent orderedExtent(std::span<const double> xs, std::span<const double> ys,
                            const XOrder& order) {
  const std::size_t n = std::min(xs.size(), ys.size());
  const std::span<const double> x = xs.first(n);
  const std::span<const double> y = ys.first(n);
  if (!order.ascending) {
    return {false, std::nullopt};
  }
  const bool finiteX = order.finite;
  // All finite and ascending: the first X is the smallest (nothing after it is less) and the
  // last the largest. Only a zero can be the same value with other bits, so where the last
  // X or a Y limit is a zero, the points are gone through in order.
  if (finiteX && n > 0 && x.back() != 0) {
    if (const auto range = finiteRange(y); range && range->first != 0 && range->second != 0) {
      return {true, PointsExtent{x.front(), x.back(), range->first, range->second}};
    }
  }
  return {true, finiteExtent(x, y)};
}

}  // namespace tarvik
