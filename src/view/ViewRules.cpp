#include "view/ViewRules.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvik::view {
namespace {

AxisView zoomedAxis(const AxisView& axis, double percent) {
  return {false, zoomByPercent(axis.limits, percent)};
}

// The four guarded steps of framing. Each guard keeps the minimum below the maximum; a
// limit skipped in the first pass (graph wholly beside the view) is set in the second.
void frameOnce(ViewState& view, const GraphExtent& e) {
  if (e.minX != e.maxX) {
    if (e.minX < view.bottom.limits.max) {
      view.bottom.limits.min = e.minX;
    }
    if (e.maxX > view.bottom.limits.min) {
      view.bottom.limits.max = e.maxX;
    }
  }
  if (e.minY != e.maxY) {
    if (e.minY < view.left.limits.max) {
      view.left.limits.min = e.minY;
    }
    if (e.maxY > view.left.limits.min) {
      view.left.limits.max = e.maxY;
    }
  }
}

AxisLimits ordered(double a, double b) { return {std::min(a, b), std::max(a, b)}; }

}  // namespace

ViewState zoomViewByPercent(const ViewState& view, double percent) {
  return {zoomedAxis(view.bottom, percent), zoomedAxis(view.left, percent),
          zoomedAxis(view.top, percent), zoomedAxis(view.right, percent)};
}

bool isUsableZoomPercent(double percent) {
  return std::isfinite(percent) && percent > 0 && percent < 150;
}

void UndoZoomMemory::beforeZoomOrScroll(const ViewState& current) {
  if (!m_zoomed) {
    m_saved = current;
    m_zoomed = true;
  }
}

std::optional<ViewState> UndoZoomMemory::undo() {
  if (!m_zoomed) {
    return std::nullopt;
  }
  m_zoomed = false;
  return m_saved;
}

ViewState showAll(const ViewState& current, UndoZoomMemory& memory) {
  ViewState view = current;
  view.left.automatic = true;
  if (std::optional<ViewState> saved = memory.undo()) {
    view = *saved;
  }
  return view;
}

AxisView stretchVertical(AxisView left) {
  const double m = left.limits.min;
  const double big = left.limits.max;
  const double a = (std::abs(m) >= std::abs(big) ? std::abs(m) : std::abs(big)) / 20;
  return {false, {m - a, big + a}};
}

namespace {

// The extent point by point: the first point with X and Y finite starts it.
std::optional<GraphExtent> plainExtent(std::span<const double> xs, std::span<const double> ys) {
  const std::size_t n = std::min(xs.size(), ys.size());
  std::optional<GraphExtent> e;
  for (std::size_t i = 0; i < n; ++i) {
    const double x = xs[i];
    const double y = ys[i];
    if (!std::isfinite(x) || !std::isfinite(y)) {
      continue;
    }
    if (!e) {
      e = GraphExtent{x, x, y, y};
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

std::optional<GraphExtent> graphExtent(std::span<const double> xs, std::span<const double> ys) {
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
    const __m128d finite = _mm_and_pd(_mm_cmpeq_pd(_mm_sub_pd(x, x), zero),
                                      _mm_cmpeq_pd(_mm_sub_pd(y, y), zero));
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
  GraphExtent e{std::min(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]),
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

ViewState frameGraph(const ViewState& current, bool hasActiveGraph,
                     const std::optional<GraphExtent>& extent, UndoZoomMemory& memory) {
  if (!hasActiveGraph) {
    return current;
  }
  memory.beforeZoomOrScroll(current);
  ViewState view = zoomViewByPercent(current, 85);
  if (extent) {
    frameOnce(view, *extent);
    frameOnce(view, *extent);
  }
  return view;
}

BoxDrag boxDragAction(ScreenPoint press, ScreenPoint release) {
  const int dx = release.x - press.x;
  const int dy = release.y - press.y;
  if (dx > kBoxDragMinPixels && dy > kBoxDragMinPixels) {
    return BoxDrag::ZoomToBox;
  }
  if (std::abs(dx) > kBoxDragMinPixels && std::abs(dy) > kBoxDragMinPixels) {
    return BoxDrag::UndoZoom;
  }
  return BoxDrag::None;
}

BoxZoom boxZoomLimits(ScreenPoint press, ScreenPoint release,
                      const std::function<double(int)>& xAtColumn,
                      const std::function<double(int)>& yAtRow) {
  return {ordered(xAtColumn(press.x), xAtColumn(release.x)),
          ordered(yAtRow(press.y), yAtRow(release.y))};
}

AxisLimits scrollByWheel(AxisLimits limits, double notches) {
  const double shift = (limits.max - limits.min) * kWheelNotchFraction * notches;
  return {limits.min + shift, limits.max + shift};
}

AxisLimits zoomAround(AxisLimits limits, double anchor, double factor) {
  if (!std::isfinite(anchor) || !std::isfinite(factor) || !(factor > 0)) {
    return limits;
  }
  return {anchor - (anchor - limits.min) * factor, anchor + (limits.max - anchor) * factor};
}

namespace {
// The widths the chart's axes can show.
constexpr double kSmallestSpan = 1e-280;
constexpr double kLargestSpan = 1e250;
}  // namespace

bool isShowableRange(AxisLimits limits) {
  const double lower = std::min(limits.min, limits.max);
  const double upper = std::max(limits.min, limits.max);
  const double span = upper - lower;
  // NaN fails every comparison below.
  return lower > -kLargestSpan && upper < kLargestSpan && span > kSmallestSpan &&
         span < kLargestSpan && !(lower > 0 && std::isinf(upper / lower)) &&
         !(upper < 0 && std::isinf(lower / upper));
}

AxisLimits acceptedRange(AxisLimits current, AxisLimits wanted) {
  return isShowableRange(wanted) ? ordered(wanted.min, wanted.max) : current;
}

AxisLimits automaticRange(AxisLimits current, std::optional<AxisLimits> data) {
  if (!data) {
    return current;
  }
  AxisLimits wanted = *data;
  if (!isShowableRange(wanted)) {
    // Constant data: keep the width the axis has and put the data in the middle.
    const double centre = (wanted.min + wanted.max) * 0.5;
    const double half = (current.max - current.min) / 2.0;
    wanted = {centre - half, centre + half};
  }
  return acceptedRange(current, wanted);
}

void uniteExtent(std::optional<GraphExtent>& all, const std::optional<GraphExtent>& one) {
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

ViewState withAutomaticRanges(const ViewState& view, const std::optional<GraphExtent>& all) {
  ViewState result = view;
  if (view.bottom.automatic) {
    result.bottom.limits = automaticRange(
        view.bottom.limits, all ? std::optional<AxisLimits>({all->minX, all->maxX}) : std::nullopt);
  }
  if (view.left.automatic) {
    result.left.limits = automaticRange(
        view.left.limits, all ? std::optional<AxisLimits>({all->minY, all->maxY}) : std::nullopt);
  }
  return result;
}

}  // namespace tarvik::view
