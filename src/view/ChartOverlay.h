#pragma once
// The layerable of the "overlay" layer: whatever the system draws over the finished chart
// after each repaint (the after-repaint hook, the stored Y-axis title). Being a layer of
// the chart, it appears in every export and can be redrawn alone.
#include <qcustomplot.h>

#include <functional>

namespace tarvik::view {

class ChartOverlay : public QCPLayerable {
  Q_OBJECT
 public:
  using Drawer = std::function<void(QCPPainter& painter)>;
  ChartOverlay(QCustomPlot* plot, Drawer drawer);

 protected:
  void applyDefaultAntialiasingHint(QCPPainter* painter) const override;
  void draw(QCPPainter* painter) override;

 private:
  Drawer m_drawer;
};

}  // namespace tarvik::view
