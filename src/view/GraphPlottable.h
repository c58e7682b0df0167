#pragma once
// One graph of the store drawn as a line in stored point order. It reads the graph's
// arrays in place (no copy), reduces them per pixel column before drawing, draws wide and
// dashed pens without Qt's slow paths, and answers hit tests on the reduced line.
#include <qcustomplot.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "core/GraphStore.h"
#include "view/LinePicture.h"
#include "view/PointArrayCache.h"
#include "view/PolylineReduction.h"

namespace tarvik::view {

class GraphPlottable : public QCPAbstractPlottable {
  Q_OBJECT
 public:
  GraphPlottable(QCPAxis* keyAxis, QCPAxis* valueAxis);
  ~GraphPlottable() override;

  // Whether the exact picture of a line too long to reduce is still being made in the
  // background (the chart then shows a sparser picture of the same line; see draw()).
  bool refining() const { return m_picture.refining(); }
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
  const Graph* graph() const;
  void ensureCache() const;
  LineGeometry currentGeometry(const Graph& g) const;
  // m_line, for the line of a new repaint.
  std::vector<PixelPoint>& writableLine() const;
  // Reduced and clipped pixel line of the graph for the current axes.
  void buildLine(const Graph& g, std::vector<PixelPoint>& out) const;
  void drawSolid(QCPPainter* painter, const QPen& pen) const;
  void drawDashed(QCPPainter* painter, const QPen& pen) const;
  LinePictureKey pictureKey(const Graph& g, QCPPainter* painter) const;

  const GraphStore* m_store = nullptr;
  std::size_t m_index = 0;

  // The point arrays' properties, kept while the arrays keep their address and length.
  mutable PointArrayCache m_points;

  mutable std::vector<PixelPoint> m_reduced;  // scratch
  mutable LineScratch m_scratch;              // scratch of unsorted lines
  // Clipped line of the last repaint; shared with the background work on its picture.
  mutable std::shared_ptr<std::vector<PixelPoint>> m_line =
      std::make_shared<std::vector<PixelPoint>>();
  mutable LineGeometry m_lineGeometry;
  mutable bool m_lineValid = false;
  mutable std::vector<QLineF> m_segments;  // scratch for drawing

  // The picture of a line too long to reduce, kept while it is the last line drawn.
  mutable LinePicture m_picture;
};

}  // namespace tarvik::view
