#include "view/GraphPlottable.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <span>
#include <system_error>
#include <thread>

#include "view/CoverageMask.h"

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

}  // namespace

void GraphPlottable::Extent::add(double v) {
  if (!std::isfinite(v)) {
    return;
  }
  if (!any) {
    min = max = v;
    any = true;
  } else {
    min = std::min(min, v);
    max = std::max(max, v);
  }
  if (v > 0) {
    minPositive = anyPositive ? std::min(minPositive, v) : v;
    anyPositive = true;
  } else if (v < 0) {
    maxNegative = anyNegative ? std::max(maxNegative, v) : v;
    anyNegative = true;
  }
}

QCPRange GraphPlottable::Extent::range(bool& found, QCP::SignDomain domain) const {
  switch (domain) {
    case QCP::sdPositive:
      found = anyPositive;
      return found ? QCPRange(minPositive, max) : QCPRange();
    case QCP::sdNegative:
      found = anyNegative;
      return found ? QCPRange(min, maxNegative) : QCPRange();
    case QCP::sdBoth:
    default:
      found = any;
      return found ? QCPRange(min, max) : QCPRange();
  }
}

bool GraphPlottable::Geometry::operator==(const Geometry& o) const {
  return keyRange == o.keyRange && valueRange == o.valueRange && plotRect == o.plotRect &&
         keyLog == o.keyLog && valueLog == o.valueLog && xData == o.xData && size == o.size &&
         penWidth == o.penWidth;
}

bool GraphPlottable::PictureKey::operator==(const PictureKey& o) const {
  return geometry == o.geometry && fingerprint == o.fingerprint && transform == o.transform &&
         pen == o.pen;
}

GraphPlottable::PictureKey GraphPlottable::pictureKey(const Graph& g, QCPPainter* painter) const {
  return PictureKey{currentGeometry(g), m_fingerprint, painter->transform(), mPen};
}

GraphPlottable::GraphPlottable(QCPAxis* keyAxis, QCPAxis* valueAxis)
    : QCPAbstractPlottable(keyAxis, valueAxis) {}

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
  m_xExtent = Extent{};
  m_yExtent = Extent{};
  m_sorted = true;
  m_allYFinite = true;
  m_cachedX = g ? g->xs().data() : nullptr;
  m_cachedY = g ? g->ys().data() : nullptr;
  m_cachedSize = g ? g->size() : 0;
  if (!g) {
    return;
  }
  const auto xs = g->xs();
  const auto ys = g->ys();
  double previous = -std::numeric_limits<double>::infinity();
  // A fingerprint of the values (two independent FNV-style lanes, so the pass stays as fast
  // as the scan): a transform that rewrites points in place changes it.
  std::uint64_t xLane = 0xcbf29ce484222325ull, yLane = 0x84222325cbf29ce4ull;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    xLane = (xLane ^ std::bit_cast<std::uint64_t>(xs[i])) * 0x100000001b3ull;
    yLane = (yLane ^ std::bit_cast<std::uint64_t>(ys[i])) * 0x100000001b3ull;
    // Sorted means finite and never decreasing: a NaN would defeat the binary search.
    const double x = xs[i];
    if (!(x >= previous) || !std::isfinite(x)) {
      m_sorted = false;
    }
    previous = x;
    m_allYFinite = m_allYFinite && std::isfinite(ys[i]);
    // Only a point that can be drawn counts for the autoscale.
    if (std::isfinite(x) && std::isfinite(ys[i])) {
      m_xExtent.add(x);
      m_yExtent.add(ys[i]);
    }
  }
  m_fingerprint = xLane ^ (yLane * 31);
}

void GraphPlottable::ensureCache() const {
  const Graph* g = graph();
  const double* x = g ? g->xs().data() : nullptr;
  const double* y = g ? g->ys().data() : nullptr;
  const std::size_t n = g ? g->size() : 0;
  if (x != m_cachedX || y != m_cachedY || n != m_cachedSize) {
    refreshCache();
  }
}

bool GraphPlottable::sortedByX() const {
  ensureCache();
  return m_sorted;
}

QCPRange GraphPlottable::getKeyRange(bool& foundRange, QCP::SignDomain inSignDomain) const {
  ensureCache();
  return m_xExtent.range(foundRange, inSignDomain);
}

QCPRange GraphPlottable::getValueRange(bool& foundRange, QCP::SignDomain inSignDomain,
                                       const QCPRange&) const {
  ensureCache();
  return m_yExtent.range(foundRange, inSignDomain);
}

GraphPlottable::Geometry GraphPlottable::currentGeometry(const Graph& g) const {
  Geometry geo;
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
  if (!sorted) {
    // Nothing to search: every point is mapped, which for millions of them is worth both
    // cores.
    const bool twoThreads =
        g.size() >= kTwoThreadPoints && std::thread::hardware_concurrency() >= 2;
    reduceAndClipPolyline(g.xs(), g.ys(), 0, g.size(), keyMap, valueMap, window, clip, twoThreads,
                          m_scratch, out);
    return;
  }
  const QCPRange keys = mKeyAxis->range();
  const IndexRange range = visibleIndexRange(g.xs(), keys.lower, keys.upper);
  // Binary search of the columns needs points that the axes can all show.
  const bool showable = m_allYFinite && (!keyMap.logarithmic || m_xExtent.min > 0) &&
                        (!valueMap.logarithmic || m_yExtent.min > 0);
  (showable ? reduceSortedPolyline : reducePolyline)(g.xs(), g.ys(), range.begin, range.end, keyMap,
                                                     valueMap, window, m_reduced);
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
  const PictureKey key = pictureKey(*g, painter);
  if (m_pictureValid && !vectorized && m_pictureKey == key) {
    // Same points, axes, size and pen as the picture, so m_line is this picture's line too.
    m_lineGeometry = m_pictureKey.geometry;
    m_lineValid = true;
    painter->save();
    painter->resetTransform();
    painter->drawImage(m_pictureOrigin, m_picture);
    painter->restore();
    return;
  }
  m_pictureValid = false;
  buildLine(*g, m_line);
  m_lineGeometry = key.geometry;
  m_lineValid = true;
  if (m_line.size() < 2 || mPen.style() == Qt::NoPen) {
    return;
  }
  applyDefaultAntialiasingHint(painter);
  // A line that the reduction could not thin (points in random X order) fills the plot
  // with long segments; smoothing their edges would cost seconds and change nothing seen.
  if (m_line.size() > kMaxSmoothedPoints) {
    painter->setAntialiasing(false);
  }
  QPen pen = mPen;
  // A 1-pixel pen drawn as cosmetic looks the same on screen and is much faster.
  if (!vectorized && pen.widthF() <= 1.0) {
    pen.setWidth(0);
  }
  if (m_line.size() > kMaxSmoothedPoints && pen.style() == Qt::SolidLine && !vectorized &&
      drawCoverage(painter, mPen)) {
    m_pictureKey = key;
    m_pictureValid = true;
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
    for (std::size_t i = 1; i < m_line.size(); ++i) {
      const PixelPoint a = m_line[i - 1], b = m_line[i];
      if (!a.isBreak() && !b.isBreak()) {
        m_segments.emplace_back(a.x, a.y, b.x, b.y);
      }
    }
    painter->drawLines(m_segments.data(), static_cast<int>(m_segments.size()));
    return;
  }
  QVector<QPointF> piece;
  piece.reserve(static_cast<qsizetype>(m_line.size()));
  auto flush = [&] {
    if (piece.size() > 1) {
      painter->drawPolyline(piece.constData(), static_cast<int>(piece.size()));
    }
    piece.clear();
  };
  for (const PixelPoint& p : m_line) {
    if (p.isBreak()) {
      flush();
    } else {
      piece.append(QPointF(p.x, p.y));
    }
  }
  flush();
}

bool GraphPlottable::drawCoverage(QCPPainter* painter, const QPen& pen) const {
  // Only a painter that scales and moves (screen, picture export) maps pixels to pixels.
  const QTransform t = painter->transform();
  if (t.type() > QTransform::TxScale || !(t.m11() > 0) || !(t.m22() > 0)) {
    return false;
  }
  const double margin = std::max(pen.widthF(), 1.0) + 2;
  const QRectF plot =
      t.mapRect(QRectF(mKeyAxis->axisRect()->rect())).adjusted(-margin, -margin, margin, margin);
  const QRect area = plot.toAlignedRect();
  // The line in device pixels relative to the mask's corner, mapped segment by segment (a
  // mapped copy of a 10M-point line would hold another 160 MB).
  CoverageMask mask(area.width(), area.height());
  const MaskPlacement placement{t.m11(), t.m22(), t.dx() - area.left(), t.dy() - area.top()};
  const std::span<const PixelPoint> line(m_line);
  // Two halves on two cores (they share the middle point), then joined; all on this thread
  // when there is one core or no thread can be started.
  const std::size_t middle = line.size() / 2;
  CoverageMask second(area.width(), area.height());
  std::thread helper;
  if (std::thread::hardware_concurrency() >= 2) {
    try {
      helper = std::thread([&] { second.addPolyline(line.subspan(middle), placement); });
    } catch (const std::system_error&) {
    }
  }
  mask.addPolyline(helper.joinable() ? line.first(middle + 1) : line, placement);
  if (helper.joinable()) {
    helper.join();
    mask.merge(second);
  }
  // A pen of one pixel or less is drawn one device pixel wide, as a cosmetic pen is.
  const int side = pen.widthF() <= 1.0 ? 1 : std::max(1, qRound(pen.widthF() * t.m11()));
  const std::vector<std::uint8_t> rows = mask.widenedRows(side);
  QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  const QRgb colour = qPremultiply(pen.color().rgba());
  for (int y = 0; y < area.height(); ++y) {
    auto* pixels = reinterpret_cast<QRgb*>(image.scanLine(y));
    const std::uint8_t* covered =
        rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(area.width());
    for (int x = 0; x < area.width(); ++x) {
      if (covered[x]) {
        pixels[x] = colour;
      }
    }
  }
  painter->save();
  painter->resetTransform();  // the clip set before stays where it was on the device
  painter->drawImage(area.topLeft(), image);
  painter->restore();
  m_picture = std::move(image);
  m_pictureOrigin = area.topLeft();
  return true;
}

void GraphPlottable::drawDashed(QCPPainter* painter, const QPen& pen) const {
  const std::vector<double> pattern = dashPattern(pen.style(), pen.widthF());
  std::vector<PixelPoint> dashes;
  dashSegments(m_line, pattern, dashes);
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
  const std::vector<PixelPoint>* line = &m_line;
  std::vector<PixelPoint> fresh;
  if (!m_lineValid || !(m_lineGeometry == currentGeometry(*g))) {
    buildLine(*g, fresh);
    line = &fresh;
  }
  const double distance = distanceToPolyline(*line, {pos.x(), pos.y()});
  return std::isfinite(distance) ? distance : -1;
}

}  // namespace tarvik::view
