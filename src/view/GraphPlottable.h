#pragma once
// One graph of the store drawn as a line in stored point order. It reads the graph's
// arrays in place (no copy), reduces them per pixel column before drawing, draws wide and
// dashed pens without Qt's slow paths, and answers hit tests on the reduced line.
#include <qcustomplot.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "core/GraphStore.h"
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

class GraphPlottable : public QCPAbstractPlottable {
  Q_OBJECT
 public:
  GraphPlottable(QCPAxis* keyAxis, QCPAxis* valueAxis);
  ~GraphPlottable() override;

  // Whether the exact picture of a line too long to reduce is still being made in the
  // background (the chart then shows a sparser picture of the same line; see draw()).
  bool refining() const { return m_refinement != nullptr; }
  // Waits for the picture being made in the background, if any. The chart repaints itself
  // when it is ready; this is for callers that must see it at once (tests).
  void waitForRefinement() const;

  // The graph at `index` of `store`. Looked up at every use, so a graph removed from the
  // store before the chart is synchronised is never read.
  void setSource(const GraphStore* store, std::size_t index);
  std::size_t storeIndex() const { return m_index; }
  // Reads the graph's sortedness and extents again (call when its points may have changed).
  void refreshCache() const;
  bool sortedByX() const;

  // QCPAbstractPlottable
  double selectTest(const QPointF& pos, bool onlySelectable,
                    QVariant* details = nullptr) const override;
  QCPRange getKeyRange(bool& foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth) const override;
  QCPRange getValueRange(bool& foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth,
                         const QCPRange& inKeyRange = QCPRange()) const override;

 protected:
  void draw(QCPPainter* painter) override;
  void drawLegendIcon(QCPPainter* painter, const QRectF& rect) const override;

 private:
  // Finite extents of one coordinate, by sign, for the autoscale of linear and log axes.
  struct Extent {
    double min = 0, max = 0;
    double minPositive = 0, maxNegative = 0;
    bool any = false, anyPositive = false, anyNegative = false;
    void add(double v);
    QCPRange range(bool& found, QCP::SignDomain domain) const;
  };
  // What a drawn line depends on besides the point values; a hit test reuses the line of
  // the last repaint when this is unchanged.
  struct Geometry {
    QCPRange keyRange, valueRange;
    QRect plotRect;
    bool keyLog = false, valueLog = false;
    const double* xData = nullptr;
    std::size_t size = 0;
    double penWidth = 0;
    bool operator==(const Geometry& o) const;
  };

  const Graph* graph() const;
  void ensureCache() const;
  Geometry currentGeometry(const Graph& g) const;
  // m_line, for the line of a new repaint.
  std::vector<PixelPoint>& writableLine() const;
  // Reduced and clipped pixel line of the graph for the current axes.
  void buildLine(const Graph& g, std::vector<PixelPoint>& out) const;
  void drawSolid(QCPPainter* painter, const QPen& pen) const;
  void drawDashed(QCPPainter* painter, const QPen& pen) const;
  // False when the painter does not map pixels to pixels (rotated).
  bool coverageLayout(QCPPainter* painter, const QPen& pen, CoverageLayout& layout) const;
  // A solid line too long to reduce, drawn as the pixels it covers and kept as m_picture;
  // false when the painter does not map pixels to pixels, so the caller draws it the usual
  // way. With `progressive`, a line of more than kCoarseSegments segments is first drawn
  // from a regular sample of its segments, and the exact picture is made in the background.
  struct PictureKey;
  bool drawCoverage(QCPPainter* painter, const QPen& pen, const PictureKey& key,
                    bool progressive) const;
  void startRefinement() const;
  void cancelRefinement() const;
  // Keeps `picture` as the one of `key` and draws it at `origin` of the device.
  void keepPicture(QCPPainter* painter, QImage picture, QPoint origin, const PictureKey& key) const;
  // Draws `image` at `origin` of the device, whatever the painter's transform.
  static void drawDeviceImage(QCPPainter* painter, QPoint origin, const QImage& image);

  const GraphStore* m_store = nullptr;
  std::size_t m_index = 0;

  // Cache of the point arrays' properties, keyed by the arrays' address and length.
  mutable const double* m_cachedX = nullptr;
  mutable const double* m_cachedY = nullptr;
  mutable std::size_t m_cachedSize = 0;
  mutable bool m_sorted = false;
  mutable bool m_allYFinite = false;
  mutable Extent m_xExtent, m_yExtent;
  mutable PointBlocks m_blocks;  // of a graph long enough to need it

  mutable std::vector<PixelPoint> m_reduced;  // scratch
  mutable LineScratch m_scratch;              // scratch of unsorted lines
  // Clipped line of the last repaint; shared with the background work on its picture.
  mutable std::shared_ptr<std::vector<PixelPoint>> m_line =
      std::make_shared<std::vector<PixelPoint>>();
  mutable Geometry m_lineGeometry;
  mutable bool m_lineValid = false;
  mutable std::vector<QLineF> m_segments;  // scratch for drawing

  // The picture of a line drawn as covered pixels costs seconds; a repaint that changes
  // nothing it depends on (window activation, a click on the legend, another graph's pen)
  // draws it again from here. Valid only while it is the last line this plottable drew.
  struct PictureKey {
    Geometry geometry;
    std::uint64_t fingerprint = 0;
    QTransform transform;
    QPen pen;
    bool operator==(const PictureKey& o) const;
  };
  PictureKey pictureKey(const Graph& g, QCPPainter* painter) const;
  mutable std::uint64_t m_fingerprint = 0;  // of the point values, taken by refreshCache
  mutable QImage m_picture;
  mutable QPoint m_pictureOrigin;
  mutable PictureKey m_pictureKey;
  mutable bool m_pictureValid = false;

  // The exact picture of a very long line, made on a background thread (with a second
  // thread of its own) while the chart shows the sampled picture. When it is ready the
  // worker asks for a repaint through the event loop; draw() then takes it as m_picture.
  struct Refinement {
    std::shared_ptr<const std::vector<PixelPoint>> line;
    PictureKey key;
    CoverageLayout layout;
    QImage coarse;  // shown meanwhile
    QImage exact;   // written by the worker before `done`
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    bool started = false;
    std::thread worker;
  };
  mutable std::unique_ptr<Refinement> m_refinement;
  mutable std::uint64_t m_refinementGeneration = 0;
};

}  // namespace tarvik::view
