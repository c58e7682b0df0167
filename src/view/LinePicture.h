#pragma once
// The picture of a line too long to reduce, drawn as the pixels it covers: it costs seconds
// for millions of segments, so it is kept and drawn again while nothing it depends on
// changes (window activation, a click on the legend, another graph's pen). On screen a line
// of very many segments is first shown from a regular sample of its segments and its exact
// picture is made on a background thread; a repaint then shows it.
#include <qcustomplot.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <thread>
#include <vector>

#include "view/CoverageMask.h"
#include "view/PolylineReduction.h"

namespace tarvik::view {

// Where the covered pixels of a line go on a painter's device: the mask's area in device
// pixels, the placement of the line's pixels in it, the pen's square and colour.
struct CoverageLayout {
  QRect area;
  MaskPlacement placement;
  int side = 1;
  QRgb colour = 0;
};

// What a drawn line depends on besides the point values; a hit test reuses the line of the
// last repaint when this is unchanged.
struct LineGeometry {
  QCPRange keyRange, valueRange;
  QRect plotRect;
  bool keyLog = false, valueLog = false;
  const double* xData = nullptr;
  std::size_t size = 0;
  double penWidth = 0;
  bool operator==(const LineGeometry& o) const;
};

// What a kept picture depends on: the line's geometry, the point values' fingerprint, the
// painter's transform and the pen.
struct LinePictureKey {
  LineGeometry geometry;
  std::uint64_t fingerprint = 0;
  QTransform transform;
  QPen pen;
  bool operator==(const LinePictureKey& o) const;
};

class LinePicture {
 public:
  // A line of more segments than this is shown on screen first from a sample of about this
  // many (a few tenths of a second), then exactly.
  static constexpr std::size_t kCoarseSegments = 250'000;

  // `owner` receives the queued calls (the start of the background work, its end) and must
  // outlive this picture; `repaint` asks the chart for a repaint when the exact picture is
  // ready.
  LinePicture(QObject* owner, std::function<void()> repaint);
  ~LinePicture();
  LinePicture(const LinePicture&) = delete;
  LinePicture& operator=(const LinePicture&) = delete;

  // Whether the exact picture is still being made in the background.
  bool refining() const { return m_refinement != nullptr; }
  // Starts the background work if it waits for its turn, and waits for it.
  void waitForRefinement();

  // Draws the picture of `key` when one is kept or being refined (the sampled one until the
  // exact one is ready); false when there is none, so the caller builds the line again.
  bool drawKept(QCPPainter* painter, const LinePictureKey& key);
  // Forgets the kept picture and stops the background work.
  void discard();

  // Draws `line` as the pixels it covers in the plot rectangle `plot` (device independent
  // pixels) and keeps the picture as the one of `key`; false when the painter does not map
  // pixels to pixels (rotated), so the caller draws it the usual way. With `progressive`, a
  // line of more than kCoarseSegments segments is first drawn from a sample of them.
  bool draw(QCPPainter* painter, const QPen& pen, const QRect& plot,
            const std::shared_ptr<const std::vector<PixelPoint>>& line, const LinePictureKey& key,
            bool progressive);

 private:
  // The exact picture of a very long line, made on a background thread (with a second
  // thread of its own) while the chart shows the sampled picture. When it is ready the
  // worker asks for a repaint through the event loop; drawKept() then takes it as the kept
  // picture.
  struct Refinement {
    std::shared_ptr<const std::vector<PixelPoint>> line;
    LinePictureKey key;
    CoverageLayout layout;
    QImage coarse;  // shown meanwhile
    QImage exact;   // written by the worker before `done`
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    bool started = false;
    std::thread worker;
  };

  void startRefinement();
  void cancelRefinement();
  // Keeps `picture` as the one of `key` and draws it at `origin` of the device.
  void keep(QCPPainter* painter, QImage picture, QPoint origin, const LinePictureKey& key);

  QObject* m_owner;
  std::function<void()> m_repaint;
  QImage m_picture;
  QPoint m_origin;
  LinePictureKey m_key;
  bool m_valid = false;
  std::unique_ptr<Refinement> m_refinement;
  std::uint64_t m_generation = 0;
};

// Draws `image` at `origin` of the device, whatever the painter's transform.
void drawDeviceImage(QCPPainter* painter, QPoint origin, const QImage& image);

}  // namespace tarvik::view
