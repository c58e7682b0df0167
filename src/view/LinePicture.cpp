#include "view/LinePicture.h"

#include <system_error>
#include <utility>

#include "core/HelperThread.h"

namespace tarvik::view {
namespace {

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
    helper = tryStartThread([&] { drawPart(second, middle, picked); });
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

// The layout of the covered pixels of a line in `plot` on the painter's device; false when
// the painter does not map pixels to pixels (rotated).
bool coverageLayout(QCPPainter* painter, const QPen& pen, const QRect& plot,
                    CoverageLayout& layout) {
  // Only a painter that scales and moves (screen, picture export) maps pixels to pixels.
  const QTransform t = painter->transform();
  if (t.type() > QTransform::TxScale || !(t.m11() > 0) || !(t.m22() > 0)) {
    return false;
  }
  const double margin = std::max(pen.widthF(), 1.0) + 2;
  const QRectF area = t.mapRect(QRectF(plot)).adjusted(-margin, -margin, margin, margin);
  layout.area = area.toAlignedRect();
  // The line in device pixels relative to the mask's corner, mapped segment by segment (a
  // mapped copy of a 10M-point line would hold another 160 MB).
  layout.placement = {t.m11(), t.m22(), t.dx() - layout.area.left(), t.dy() - layout.area.top()};
  // A pen of one pixel or less is drawn one device pixel wide, as a cosmetic pen is.
  layout.side = pen.widthF() <= 1.0 ? 1 : std::max(1, qRound(pen.widthF() * t.m11()));
  layout.colour = qPremultiply(pen.color().rgba());
  return true;
}

}  // namespace

bool LineGeometry::operator==(const LineGeometry& o) const {
  return keyRange == o.keyRange && valueRange == o.valueRange && plotRect == o.plotRect &&
         keyLog == o.keyLog && valueLog == o.valueLog && xData == o.xData && size == o.size &&
         penWidth == o.penWidth;
}

bool LinePictureKey::operator==(const LinePictureKey& o) const {
  return geometry == o.geometry && fingerprint == o.fingerprint && transform == o.transform &&
         pen == o.pen;
}

LinePicture::LinePicture(QObject* owner, std::function<void()> repaint)
    : m_owner(owner), m_repaint(std::move(repaint)) {}

LinePicture::~LinePicture() { cancelRefinement(); }

bool LinePicture::drawKept(QCPPainter* painter, const LinePictureKey& key) {
  if (m_valid && m_key == key) {
    drawDeviceImage(painter, m_origin, m_picture);
    return true;
  }
  if (m_refinement && m_refinement->key == key) {
    // The line has not changed since the sampled picture: the exact one when it is ready,
    // the sampled one again until then.
    const CoverageLayout& layout = m_refinement->layout;
    if (!m_refinement->done.load(std::memory_order_acquire)) {
      drawDeviceImage(painter, layout.area.topLeft(), m_refinement->coarse);
      return true;
    }
    if (m_refinement->worker.joinable()) {
      m_refinement->worker.join();
    }
    QImage exact = std::move(m_refinement->exact);
    const QPoint origin = layout.area.topLeft();
    m_refinement.reset();  // `layout` is gone from here on
    keep(painter, std::move(exact), origin, key);
    return true;
  }
  return false;
}

void LinePicture::discard() {
  cancelRefinement();
  m_valid = false;
}

bool LinePicture::draw(QCPPainter* painter, const QPen& pen, const QRect& plot,
                       const std::shared_ptr<const std::vector<PixelPoint>>& line,
                       const LinePictureKey& key, bool progressive) {
  CoverageLayout layout;
  if (!coverageLayout(painter, pen, plot, layout)) {
    return false;
  }
  const std::size_t segments = line->size() - 1;
  if (!progressive || segments <= kCoarseSegments) {
    keep(painter, coverageImage(*line, layout, 1, nullptr), layout.area.topLeft(), key);
    return true;
  }
  // A regular sample of the segments, about kCoarseSegments of them, shows at once where
  // the line runs (every pixel it sets is one the exact picture sets too); the exact
  // picture follows from a background thread, and a repaint shows it.
  auto job = std::make_unique<Refinement>();
  job->line = line;
  job->key = key;
  job->layout = layout;
  job->coarse =
      coverageImage(*line, layout, (segments + kCoarseSegments - 1) / kCoarseSegments, nullptr);
  drawDeviceImage(painter, layout.area.topLeft(), job->coarse);
  // The work starts once this repaint is over, so that it does not slow the sampled
  // pictures of the other graphs down.
  const std::uint64_t generation = ++m_generation;
  m_refinement = std::move(job);
  QMetaObject::invokeMethod(
      m_owner,
      [this, generation] {
        if (m_refinement && m_generation == generation) {
          startRefinement();
        }
      },
      Qt::QueuedConnection);
  return true;
}

void LinePicture::startRefinement() {
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
      // Posted to the owner, which destroys this picture (joining this thread) before it
      // goes, so the request never reaches a deleted object.
      QMetaObject::invokeMethod(m_owner, [this] { m_repaint(); }, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    // No thread to spare: made here and now.
    r->exact = coverageImage(*r->line, r->layout, 1, nullptr);
    r->done.store(true, std::memory_order_release);
    m_repaint();
  }
}

void LinePicture::cancelRefinement() {
  if (m_refinement) {
    m_refinement->cancel.store(true);
    if (m_refinement->worker.joinable()) {
      m_refinement->worker.join();
    }
    m_refinement.reset();
  }
}

void LinePicture::waitForRefinement() {
  startRefinement();
  if (m_refinement && m_refinement->worker.joinable()) {
    m_refinement->worker.join();
  }
}

void LinePicture::keep(QCPPainter* painter, QImage picture, QPoint origin,
                       const LinePictureKey& key) {
  m_picture = std::move(picture);
  m_origin = origin;
  m_key = key;
  m_valid = true;
  drawDeviceImage(painter, m_origin, m_picture);
}

void drawDeviceImage(QCPPainter* painter, QPoint origin, const QImage& image) {
  painter->save();
  painter->resetTransform();  // the clip set before stays where it was on the device
  painter->drawImage(origin, image);
  painter->restore();
}

}  // namespace tarvik::view
