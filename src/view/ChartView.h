#pragma once
// The chart `Chart` of the main window: every graph of the store drawn as a line in
// stored point order, the axes with their label texts and step rule, the legend, the
// stored Y-axis title drawn above the plot, and the after-repaint hook.
//
// Contract used by the main window (the chart's own implementation may add more):
#include <functional>

#include "core/ChartPort.h"
#include "core/GraphStore.h"

#include <qcustomplot.h>

namespace tarvik::view {

class ChartView : public QCustomPlot {
  Q_OBJECT
 public:
  explicit ChartView(QWidget* parent = nullptr);
  ~ChartView() override;

  // The store whose graphs are drawn; the chart reads its arrays without copying.
  void setStore(GraphStore* store);
  // Brings the plottables in line with the store (count, colour, width, style, legend
  // rows "N. title", texts) and repaints. Call after any change to the store.
  void syncWithStore();
  // Legend re-layout: rows, legend placement; skipped while width or height is 0.
  void legendRelayout();
  // Whole extent again: automatic ranges, zoom undone.
  void showWholeExtent();
  XRange visibleXRange() const;

  // View switches of the "Вид" menu. A log switch that the data cannot take (a value
  // ≤ 0 on that axis in every graph) is refused silently: returns false.
  bool setLogX(bool on);
  bool setLogY(bool on);
  void setLegendShown(bool on);
  // Legend position switch (the two placements the legend re-layout alternates).
  void setLegendPosition(int position);

  // Hook run after every repaint with the plot rectangle (the pulse measurement uses it).
  using AfterRepaint = std::function<void(QCPPainter& painter, const QRect& plotRect)>;
  void setAfterRepaint(AfterRepaint hook);

 signals:
  // Ctrl+click (or a plain click) on a graph's line: the graph's store index.
  void graphClicked(int storeIndex, Qt::KeyboardModifiers modifiers);
  // A click on the legend at this pixel row.
  void legendClicked(int pixelRow);
};

}  // namespace tarvik::view
