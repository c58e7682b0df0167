#include "view/GraphPlottable.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <span>
#include <system_error>
#include <thread>

#include "core/FiniteAscending.h"
#include "view/CoverageMask.h"

namespace tarvik::view {
namespace {

// Above this many points a drawn line is not antialiased.
constexpr std::size_t kMaxSmoothedPoints = 200'000;
// From this many points a graph keeps the extremes of its blocks of points for the reduction.
constexpr std::size_t kBlockSummaryPoints = 1 << 16;
// From this many points an unsorted line is reduced and clipped on two threads.
constexpr std::size_t kTwoThreadPoints = 1'000'000;
// A line drawn as covered pixels with more segments than this is shown on screen first from
// a sample of about this many (a few tenths of a second), then exactly.
constexpr std::size_t kCoarseSegments = 250'000;

// The pixels covered by every `stride`-th segment of `line` (every segment at stride 1) as
// an image of the layout's area in the pen's colour, each pixel widened to the pen's square.
// The segments are drawn in two halves on two cores, then joined. A null image when
// `cancel` is set meanwhile.
QImage coverageImage(std::span<const PixelPoint> line, const CoverageLayout& layout,
                     std::size_t stride, const std::atomic<bool>* cancel) {
  const QRect area = layout.area;
  const MaskPlacement p = layout.placement;
  const std::size_t segments = line.size() < 2 ? 0 : line.size() - 1;
  const std::size_t picked = (segments + stride - 1) / stride;  // segments 0, stride, ...
  auto drawPart = [&](CoverageMask& mask, std::size_t from, std::size_t to) {
    constexpr std::size_t kCheckEvery = 1 << 16;
    for (std::size_t k = from; k < to; ++k) {
      if (cancel != nullptr && k % kCheckEvery == 0 && cancel->load(std::memory_order_relaxed)) {
        return;
      }
      const PixelPoint a = line[k * stride], b = line[k * stride + 1];
      if (!a.isBreak() && !b.isBreak()) {
        mask.addSegment(p.scaleX * a.x + p.offsetX, p.scaleY * a.y + p.offsetY,
                        p.scaleX * b.x + p.offsetX, p.scaleY * b.y + p.offsetY);
      }
    }
  };
  CoverageMask mask(area.width(), area.height());
  CoverageMask second(area.width(), area.height());
  const std::size_t middle = picked / 2;
  std::thread helper;
  if (std::thread::hardware_concurrency() >= 2) {
    try {
      helper = std::thread([&] { drawPart(second, middle, picked); });
    } catch (const std::system_error&) {
    }
  }
  drawPart(mask, 0, helper.joinable() ? middle : picked);
  if (helper.joinable()) {
    helper.join();
    mask.merge(second);
  }
  if (cancel != nullptr && cancel->load()) {
    return {};
  }
  const std::vector<std::uint8_t> rows = mask.widenedRows(layout.side);
  QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  for (int y = 0; y < area.height(); ++y) {
    auto* pixels = reinterpret_cast<QRgb*>(image.scanLine(y));
    const std::uint8_t* covered =
        rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(area.width());
    for (int x = 0; x < area.width(); ++x) {
      if (covered[x]) {
        pixels[x] = layout.colour;
      }
    }
  }
  return image;
}

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

GraphPlottable::~GraphPlottable() { cancelRefinement(); }

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
  m_xExtent = Extent{};
  m_yExtent = Extent{};
  m_sorted = true;
  m_allYFinite = true;
  m_cachedX = g ? g->xs().data() : nullptr;
  m_cachedY = g ? g->ys().data() : nullptr;
  m_cachedSize = g ? g->size() : 0;
  m_blocks = PointBlocks{};
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
    if (!continuesFiniteAscending(previous, x)) {
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
  m_blocks = xs.size() >= kBlockSummaryPoints ? summarizePointBlocks(xs, ys) : PointBlocks{};
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
  const PointBlocks* blocks = m_blocks.blocks.empty() ? nullptr : &m_blocks;
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
  const bool showable = m_allYFinite && (!keyMap.logarithmic || m_xExtent.min > 0) &&
                        (!valueMap.logarithmic || m_yExtent.min > 0);
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
  const PictureKey key = pictureKey(*g, painter);
  if (m_pictureValid && !vectorized && m_pictureKey == key) {
    // Same points, axes, size and pen as the picture, so m_line is this picture's line too.
    m_lineGeometry = m_pictureKey.geometry;
    m_lineValid = true;
    drawDeviceImage(painter, m_pictureOrigin, m_picture);
    return;
  }
  if (m_refinement && !vectorized && m_refinement->key == key) {
    // The line has not changed since the sampled picture: the exact one when it is ready,
    // the sampled one again until then.
    m_lineGeometry = key.geometry;
    m_lineValid = true;
    const CoverageLayout& layout = m_refinement->layout;
    if (!m_refinement->done.load(std::memory_order_acquire)) {
      drawDeviceImage(painter, layout.area.topLeft(), m_refinement->coarse);
      return;
    }
    if (m_refinement->worker.joinable()) {
      m_refinement->worker.join();
    }
    QImage exact = std::move(m_refinement->exact);
    const QPoint origin = layout.area.topLeft();
    m_refinement.reset();  // `layout` is gone from here on
    keepPicture(painter, std::move(exact), origin, key);
    return;
  }
  cancelRefinement();
  m_pictureValid = false;
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
      drawCoverage(painter, mPen, key, progressive)) {
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

bool GraphPlottable::coverageLayout(QCPPainter* painter, const QPen& pen,
                                    CoverageLayout& layout) const {
  // Only a painter that scales and moves (screen, picture export) maps pixels to pixels.
  const QTransform t = painter->transform();
  if (t.type() > QTransform::TxScale || !(t.m11() > 0) || !(t.m22() > 0)) {
    return false;
  }
  const double margin = std::max(pen.widthF(), 1.0) + 2;
  const QRectF plot =
      t.mapRect(QRectF(mKeyAxis->axisRect()->rect())).adjusted(-margin, -margin, margin, margin);
  layout.area = plot.toAlignedRect();
  // The line in device pixels relative to the mask's corner, mapped segment by segment (a
  // mapped copy of a 10M-point line would hold another 160 MB).
  layout.placement = {t.m11(), t.m22(), t.dx() - layout.area.left(), t.dy() - layout.area.top()};
  // A pen of one pixel or less is drawn one device pixel wide, as a cosmetic pen is.
  layout.side = pen.widthF() <= 1.0 ? 1 : std::max(1, qRound(pen.widthF() * t.m11()));
  layout.colour = qPremultiply(pen.color().rgba());
  return true;
}

bool GraphPlottable::drawCoverage(QCPPainter* painter, const QPen& pen, const PictureKey& key,
                                  bool progressive) const {
  CoverageLayout layout;
  if (!coverageLayout(painter, pen, layout)) {
    return false;
  }
  const std::size_t segments = m_line->size() - 1;
  if (!progressive || segments <= kCoarseSegments) {
    keepPicture(painter, coverageImage(*m_line, layout, 1, nullptr), layout.area.topLeft(), key);
    return true;
  }
  // A regular sample of the segments, about kCoarseSegments of them, shows at once where
  // the line runs (every pixel it sets is one the exact picture sets too); the exact
  // picture follows from a background thread, and a repaint shows it.
  auto job = std::make_unique<Refinement>();
  job->line = m_line;
  job->key = key;
  job->layout = layout;
  job->coarse =
      coverageImage(*m_line, layout, (segments + kCoarseSegments - 1) / kCoarseSegments, nullptr);
  drawDeviceImage(painter, layout.area.topLeft(), job->coarse);
  // The work starts once this repaint is over, so that it does not slow the sampled
  // pictures of the other graphs down.
  const std::uint64_t generation = ++m_refinementGeneration;
  m_refinement = std::move(job);
  QMetaObject::invokeMethod(
      const_cast<GraphPlottable*>(this),
      [this, generation] {
        if (m_refinement && m_refinementGeneration == generation) {
          startRefinement();
        }
      },
      Qt::QueuedConnection);
  return true;
}

void GraphPlottable::startRefinement() const {
  Refinement* r = m_refinement.get();
  if (r == nullptr || r->started) {
    return;
  }
  r->started = true;
  try {
    r->worker = std::thread([this, r] {
      r->exact = coverageImage(*r->line, r->layout, 1, &r->cancel);
      if (r->cancel.load()) {
        return;
      }
      r->done.store(true, std::memory_order_release);
      // Posted to this plottable, which joins this thread before it is destroyed, so the
      // request never reaches a deleted object.
      QMetaObject::invokeMethod(
          const_cast<GraphPlottable*>(this),
          [this] {
            if (mParentPlot) {
              mParentPlot->replot(QCustomPlot::rpQueuedReplot);
            }
          },
          Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    // No thread to spare: made here and now.
    r->exact = coverageImage(*r->line, r->layout, 1, nullptr);
    r->done.store(true, std::memory_order_release);
    if (mParentPlot) {
      mParentPlot->replot(QCustomPlot::rpQueuedReplot);
    }
  }
}

void GraphPlottable::cancelRefinement() const {
  if (m_refinement) {
    m_refinement->cancel.store(true);
    if (m_refinement->worker.joinable()) {
      m_refinement->worker.join();
    }
    m_refinement.reset();
  }
}

void GraphPlottable::waitForRefinement() const {
  startRefinement();
  if (m_refinement && m_refinement->worker.joinable()) {
    m_refinement->worker.join();
  }
}

void GraphPlottable::keepPicture(QCPPainter* painter, QImage picture, QPoint origin,
                                 const PictureKey& key) const {
  m_picture = std::move(picture);
  m_pictureOrigin = origin;
  m_pictureKey = key;
  m_pictureValid = true;
  drawDeviceImage(painter, m_pictureOrigin, m_picture);
}

void GraphPlottable::drawDeviceImage(QCPPainter* painter, QPoint origin, const QImage& image) {
  painter->save();
  painter->resetTransform();  // the clip set before stays where it was on the device
  painter->drawImage(origin, image);
  painter->restore();
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
