#include "view/ChartGestures.h"

#include <algorithm>
#include <cmath>

#include "core/NumberFormat.h"

namespace tarvik::view {

GestureOutcome ChartGestures::press(ScreenPoint p, GestureKeys keys, const GestureContext& ctx) {
  GestureOutcome out;
  const bool hadBand = rubberBand().has_value();
  m_press = p;
  m_bandEnd = p;
  m_gesture = Gesture::None;
  out.overlayChanged = hadBand;
  out.suppressBuiltIn = ctx.editDown;
  if (!ctx.hasActiveGraph || !ctx.plot.contains(p)) {
    return out;
  }
  if (!ctx.editDown || keys.ctrl) {
    // Shift wins over Alt; any mouse button starts these gestures.
    if (keys.shift) {
      m_gesture = Gesture::Pan;
    } else if (keys.alt || keys.meta) {
      m_gesture = Gesture::Measure;
    } else {
      return out;
    }
    out.suppressBuiltIn = true;
    out.overlayChanged = true;
    m_x0 = ctx.convert.xAtColumn(p.x);
    m_y0 = ctx.convert.yAtRow(p.y);
    return out;
  }
  m_gesture = Gesture::Freehand;
  const double y = ctx.convert.yAtRow(p.y);
  const WritablePoints points = ctx.points();
  out.pointsChanged =
      setColumnY(points.xs, points.ys, p.x, y, ctx.convert.columnOfX, ctx.xFiniteAscending) > 0;
  return out;
}

GestureOutcome ChartGestures::move(ScreenPoint p, const GestureContext& ctx) {
  GestureOutcome out;
  out.suppressBuiltIn = ctx.editDown;
  if (!ctx.hasActiveGraph) {
    return out;
  }
  const double x = ctx.convert.xAtColumn(p.x);
  const double y = ctx.convert.yAtRow(p.y);
  out.readout = coordinateReadout(x, y, ctx.decimalSeparator);
  switch (m_gesture) {
    case Gesture::Pan:
      m_bandEnd = p;
      out.overlayChanged = true;
      break;
    case Gesture::Freehand: {
      out.suppressBuiltIn = true;
      const WritablePoints points = ctx.points();
      out.pointsChanged =
          setColumnY(points.xs, points.ys, p.x, y, ctx.convert.columnOfX, ctx.xFiniteAscending) > 0;
      break;
    }
    case Gesture::Measure:
      m_bandEnd = p;
      out.overlayChanged = true;
      out.readout = distanceReadout(x - m_x0, y - m_y0, ctx.decimalSeparator);
      break;
    case Gesture::None:
      break;
  }
  return out;
}

GestureOutcome ChartGestures::release(ScreenPoint p, GestureKeys keys, const GestureContext& ctx) {
  GestureOutcome out;
  const Gesture ended = m_gesture;
  // Every gesture ends here, also when the active graph went away meanwhile, so no flag
  // outlives its button.
  m_gesture = Gesture::None;
  out.overlayChanged = ended == Gesture::Pan || ended == Gesture::Measure;
  out.suppressBuiltIn = ctx.editDown;
  if (!ctx.hasActiveGraph) {
    return out;
  }
  if (ended == Gesture::Pan && keys.shift) {
    out.suppressBuiltIn = true;
    const double x1 = ctx.convert.xAtColumn(p.x);
    const double y1 = ctx.convert.yAtRow(p.y);
    const WritablePoints points = ctx.points();
    shiftPoints(points.xs, points.ys, x1 - m_x0, y1 - m_y0);
    out.pointsChanged = true;
  }
  return out;
}

std::optional<RubberBand> ChartGestures::rubberBand() const {
  if (m_gesture == Gesture::Pan || m_gesture == Gesture::Measure) {
    return RubberBand{m_press, m_bandEnd};
  }
  return std::nullopt;
}

std::string coordinateReadout(double x, double y, char decimalSeparator) {
  return "X: " + formatShort(x, decimalSeparator) + "  /  Y:  " + formatShort(y, decimalSeparator);
}

std::string distanceReadout(double dx, double dy, char decimalSeparator) {
  return "dX: " + formatShort(dx, decimalSeparator) +
         "  /  dY:  " + formatShort(dy, decimalSeparator);
}

std::size_t setColumnY(std::span<const double> xs, std::span<double> ys, int column, double y,
                       const std::function<int(double)>& columnOfX, bool xFiniteAscending) {
  const std::size_t n = std::min(xs.size(), ys.size());
  const auto all = xs.first(n);
  auto begin = all.begin();
  auto end = all.end();
  if (xFiniteAscending && n > 0) {
    // Columns grow or shrink with X along the whole graph, so the points of one column are
    // one run of indices.
    const bool growing = columnOfX(all.front()) <= columnOfX(all.back());
    begin = std::partition_point(all.begin(), all.end(), [&](double x) {
      return growing ? columnOfX(x) < column : columnOfX(x) > column;
    });
    end = std::partition_point(begin, all.end(), [&](double x) {
      return growing ? columnOfX(x) <= column : columnOfX(x) >= column;
    });
  }
  std::size_t changed = 0;
  for (auto it = begin; it != end; ++it) {
    if (std::isfinite(*it) && columnOfX(*it) == column) {
      ys[static_cast<std::size_t>(it - all.begin())] = y;
      ++changed;
    }
  }
  return changed;
}

void shiftPoints(std::span<double> xs, std::span<double> ys, double dx, double dy) {
  for (double& x : xs) {
    x += dx;
  }
  for (double& y : ys) {
    y += dy;
  }
}

}  // namespace tarvik::view
