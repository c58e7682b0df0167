#include "view/ViewRules.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

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

std::optional<GraphExtent> graphExtent(const Graph& graph) {
  if (const std::optional<PointsExtent>* known = graph.knownExtent()) {
    return *known;
  }
  const std::optional<PointsExtent> extent = finiteExtent(graph.xs(), graph.ys());
  graph.noteExtent(extent);
  return extent;
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
