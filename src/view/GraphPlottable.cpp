#include "view/GraphPlottable.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <thread>


namespace tarvik::view {
namespace {

// Above this many points a drawn line is not antialiased.
constexpr std::size_t kMaxSmoothedPoints = 200'000;
// From this many points an unsorted line is reduced and clipped on two threads.
constexpr std::size_t kTwoThreadPoints = 1'000'000;
// Map of a QCustomPlot axis onto pixels as AxisPixelMap; pxPerUnit is NaN when the axis
// cannot map (a log axis with a range not above 0).
AxisPixelMap axisMap(const QCPAxis* axis) {
  const QCPRange range = axis->range();
  AxisPixelMap map;
  map.logarithmic = axis->scaleType() == QCPAxis::stLogarithmic;
  const double lowerPx = axis->coordToPixel(range.lower);
  const double upperPx = axis->coordToPixel(range.upper);
  if (map.logarithmic) {
    map.origin = std::log10(range.lower);
    map.pxPerUnit = (upperPx - lowerPx) / (std::log10(range.upper) - map.origin);
  } else {
    map.origin = range.lower;
    map.pxPerUnit = (upperPx - lowerPx) / (range.upper - range.lower);
  }
  map.originPx = lowerPx;
  return map;
}

// The dash patterns Qt uses for its pen styles, in units of the pen width.
std::vector<double> dashPattern(Qt::PenStyle style, double width) {
  std::vector<double> units;
  switch (style) {
    case Qt::DashLine:
      units = {4, 2};
      break;
    case Qt::DotLine:
      units = {1, 2};
      break;
    case Qt::DashDotLine:
      units = {4, 2, 1, 2};
      break;
    case Qt::DashDotDotLine:
      units = {4, 2, 1, 2, 1, 2};
      break;
    default:
      units = {1, 0};
      break;
  }
  for (double& u : units) {
    u *= std::max(width, 1.0);
  }
  return units;
}

// The autoscale range of one coordinate within `domain`.
QCPRange extentRange(const ValueExtent& e, bool& found, QCP::SignDomain domain) {
  switch (domain) {
    case QCP::sdPositive:
      found = e.anyPositive;
      return found ? QCPRange(e.minPositive, e.max) : QCPRange();
    case QCP::sdNegative:
      found = e.anyNegative;
      return found ? QCPRange(e.min, e.maxNegative) : QCPRange();
    case QCP::sdBoth:
    default:
      found = e.any;
      return found ? QCPRange(e.min, e.max) : QCPRange();
  }
}

}  // namespace

LinePictureKey GraphPlottable::pictureKey(const Graph& g, QCPPainter* painter) const {
  return LinePictureKey{currentGeometry(g), m_points.fingerprint(), painter->transform(), mPen};
}

GraphPlottable::GraphPlottable(QCPAxis* keyAxis, QCPAxis* valueAxis)
    : QCPAbstractPlottable(keyAxis, valueAxis), m_picture(this, [this] {
        if (mParentPlot) {
          mParentPlot->replot(QCustomPlot::rpQueuedReplot);
        }
      }) {}

GraphPlottable::~GraphPlottable() = default;

void GraphPlottable::waitForRefinement() const { m_picture.waitForRefinement(); }

std::vector<PixelPoint>& GraphPlottable::writableLine() const {
  // The background work on a picture may still hold the last line: start a new one then.
  if (m_line.use_count() > 1) {
    m_line = std::make_shared<std::vector<PixelPoint>>();
  }
  return *m_line;
}

void GraphPlottable::setSource(const GraphStore* store, std::size_t index) {
  m_store = store;
  m_index = index;
  m_lineValid = false;
}

const Graph* GraphPlottable::graph() const {
  if (!m_store || m_index >= m_store->count()) {
    return nullptr;
  }
  return &m_store->graph(m_index);
}

void GraphPlottable::refreshCache() const {
  const Graph* g = graph();
  if (g) {
    m_points.refresh(g->xs(), g->ys());
  } else {
    m_points.refresh({}, {});
  }
}

void GraphPlottable::ensureCache() const {
  const Graph* g = graph();
  if (g) {
    m_points.ensure(g->xs(), g->ys());
  } else {
    m_points.ensure({}, {});
  }
}

bool GraphPlottable::sortedByX() const {
  ensureCache();
  return m_points.sorted();
}

QCPRange GraphPlottable::getKeyRange(bool& foundRange, QCP::SignDomain inSignDomain) const {
  ensureCache();
  return extentRange(m_points.xExtent(), foundRange, inSignDomain);
}

QCPRange GraphPlottable::getValueRange(bool& foundRange, QCP::SignDomain inSignDomain,
                                       const QCPRange&) const {
  ensureCache();
  return extentRange(m_points.yExtent(), foundRange, inSignDomain);
}

LineGeometry GraphPlottable::currentGeometry(const Graph& g) const {
  LineGeometry geo;
  geo.keyRange = mKeyAxis->range();
  geo.valueRange = mValueAxis->range();
  geo.plotRect = mKeyAxis->axisRect()->rect();
  geo.keyLog = mKeyAxis->scaleType() == QCPAxis::stLogarithmic;
  geo.valueLog = mValueAxis->scaleType() == QCPAxis::stLogarithmic;
  geo.xData = g.xs().data();
  geo.size = g.size();
  geo.penWidth = mPen.widthF();
  return geo;
}

void GraphPlottable::buildLine(const Graph& g, std::vector<PixelPoint>& out) const {
  out.clear();
  if (g.size() < 2 || !mKeyAxis || !mValueAxis) {
    return;
  }
  const AxisPixelMap keyMap = axisMap(mKeyAxis.data());
  const AxisPixelMap valueMap = axisMap(mValueAxis.data());
  if (!std::isfinite(keyMap.pxPerUnit) || !std::isfinite(valueMap.pxPerUnit)) {
    return;
  }
  // Wide pens reach beyond their points: widen the screen by the pen on every side.
  const QRect plot = mKeyAxis->axisRect()->rect();
  const double margin = std::max(mPen.widthF(), 1.0) + 2;
  const ColumnWindow window{plot.left() - margin, plot.right() + 1 + margin};
  m_reduced.clear();
  const PixelRect clip{plot.left() - margin, plot.top() - margin, plot.right() + 1 + margin,
                       plot.bottom() + 1 + margin};
  const bool sorted = sortedByX() && keyMap.pxPerUnit > 0;
  const PointBlocks* blocks = m_points.blocks();
  if (!sorted) {
    // Nothing to search: every point is mapped, which for millions of them is worth both
    // cores.
    const bool twoThreads =
        g.size() >= kTwoThreadPoints && std::thread::hardware_concurrency() >= 2;
    reduceAndClipPolyline(g.xs(), g.ys(), 0, g.size(), keyMap, valueMap, window, clip, twoThreads,
                          m_scratch, out, blocks);
    return;
  }
  const QCPRange keys = mKeyAxis->range();
  const IndexRange range = visibleIndexRange(g.xs(), keys.lower, keys.upper);
  if (blocks != nullptr) {
    // A column of many points costs a few block summaries instead of a search and a scan.
    reducePolyline(g.xs(), g.ys(), range.begin, range.end, keyMap, valueMap, window, m_reduced,
                   blocks);
    clipPolyline(m_reduced, clip, out);
    return;
  }
  // Binary search of the columns needs points that the axes can all show.
  const bool showable = m_points.allYFinite() &&
                        (!keyMap.logarithmic || m_points.xExtent().min > 0) &&
                        (!valueMap.logarithmic || m_points.yExtent().min > 0);
  if (showable) {
    reduceSortedPolyline(g.xs(), g.ys(), range.begin, range.end, keyMap, valueMap, window,
                         m_reduced);
  } else {
    reducePolyline(g.xs(), g.ys(), range.begin, range.end, keyMap, valueMap, window, m_reduced);
  }
  clipPolyline(m_reduced, clip, out);
}

void GraphPlottable::draw(QCPPainter* painter) {
  const Graph* g = graph();
  m_lineValid = false;
  if (!g || !mKeyAxis || !mValueAxis) {
    return;
  }
  const bool vectorized = painter->modes().testFlag(QCPPainter::pmVectorized);
  // Taken before the antialiasing switch below, which moves the painter by half a pixel.
  const LinePictureKey key = pictureKey(*g, painter);
  if (!vectorized && m_picture.drawKept(painter, key)) {
    // Same points, axes, size and pen as the picture, so m_line is this picture's line too.
    m_lineGeometry = key.geometry;
    m_lineValid = true;
    return;
  }
  m_picture.discard();
  buildLine(*g, writableLine());
  m_lineGeometry = key.geometry;
  m_lineValid = true;
  if (m_line->size() < 2 || mPen.style() == Qt::NoPen) {
    return;
  }
  applyDefaultAntialiasingHint(painter);
  // A line that the reduction could not thin (points in random X order) fills the plot
  // with long segments; smoothing their edges would cost seconds and change nothing seen.
  if (m_line->size() > kMaxSmoothedPoints) {
    painter->setAntialiasing(false);
  }
  QPen pen = mPen;
  // A 1-pixel pen drawn as cosmetic looks the same on screen and is much faster.
  if (!vectorized && pen.widthF() <= 1.0) {
    pen.setWidth(0);
  }
  // Exports (pictures, printing) always get the exact picture at once; the screen gets a
  // sampled one first when the exact one takes long.
  const bool progressive = !painter->modes().testFlag(QCPPainter::pmNoCaching);
  if (m_line->size() > kMaxSmoothedPoints && pen.style() == Qt::SolidLine && !vectorized &&
      m_picture.draw(painter, mPen, mKeyAxis->axisRect()->rect(), m_line, key, progressive)) {
    return;
  }
  if (pen.style() == Qt::SolidLine || vectorized) {
    drawSolid(painter, pen);
  } else {
    drawDashed(painter, pen);
  }
}

void GraphPlottable::drawSolid(QCPPainter* painter, const QPen& pen) const {
  painter->setPen(pen);
  painter->setBrush(Qt::NoBrush);
  const bool fast = mParentPlot->plottingHints().testFlag(QCP::phFastPolylines) &&
                    pen.style() == Qt::SolidLine &&
                    !painter->modes().testFlag(QCPPainter::pmVectorized) &&
                    !painter->modes().testFlag(QCPPainter::pmNoCaching);
  if (fast) {
    // Separate segments: Qt strokes them without computing joins over the whole line,
    // which is what makes wide polylines slow in the raster engine.
    m_segments.clear();
    for (std::size_t i = 1; i < m_line->size(); ++i) {
      const PixelPoint a = (*m_line)[i - 1], b = (*m_line)[i];
      if (!a.isBreak() && !b.isBreak()) {
        m_segments.emplace_back(a.x, a.y, b.x, b.y);
      }
    }
    painter->drawLines(m_segments.data(), static_cast<int>(m_segments.size()));
    return;
  }
  QVector<QPointF> piece;
  piece.reserve(static_cast<qsizetype>(m_line->size()));
  auto flush = [&] {
    if (piece.size() > 1) {
      painter->drawPolyline(piece.constData(), static_cast<int>(piece.size()));
    }
    piece.clear();
  };
  for (const PixelPoint& p : *m_line) {
    if (p.isBreak()) {
      flush();
    } else {
      piece.append(QPointF(p.x, p.y));
    }
  }
  flush();
}

void GraphPlottable::drawDashed(QCPPainter* painter, const QPen& pen) const {
  const std::vector<double> pattern = dashPattern(pen.style(), pen.widthF());
  std::vector<PixelPoint> dashes;
  dashSegments(*m_line, pattern, dashes);
  m_segments.clear();
  m_segments.reserve(dashes.size() / 2);
  for (std::size_t i = 0; i + 1 < dashes.size(); i += 2) {
    m_segments.emplace_back(dashes[i].x, dashes[i].y, dashes[i + 1].x, dashes[i + 1].y);
  }
  QPen solid = pen;
  solid.setStyle(Qt::SolidLine);
  solid.setCapStyle(Qt::FlatCap);
  painter->setPen(solid);
  painter->setBrush(Qt::NoBrush);
  painter->drawLines(m_segments.data(), static_cast<int>(m_segments.size()));
}

void GraphPlottable::drawLegendIcon(QCPPainter* painter, const QRectF& rect) const {
  painter->setPen(Qt::NoPen);
  painter->fillRect(rect, mPen.color());
}

double GraphPlottable::selectTest(const QPointF& pos, bool onlySelectable, QVariant*) const {
  if ((onlySelectable && mSelectable == QCP::stNone) || !mKeyAxis || !mValueAxis) {
    return -1;
  }
  const Graph* g = graph();
  if (!g || !mKeyAxis->axisRect()->rect().contains(pos.toPoint())) {
    return -1;
  }
  // The line of the last repaint serves while nothing it depends on has moved; otherwise
  // (an export at another size happened in between) the line is built again.
  const std::vector<PixelPoint>* line = m_line.get();
  std::vector<PixelPoint> fresh;
  if (!m_lineValid || !(m_lineGeometry == currentGeometry(*g))) {
    buildLine(*g, fresh);
    line = &fresh;
  }
  const double distance = distanceToPolyline(*line, {pos.x(), pos.y()});
  return std::isfinite(distance) ? distance : -1;
}

}  // namespace tarvik::view
