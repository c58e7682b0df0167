#include "view/ChartOverlay.h"

namespace tarvik::view {

ChartOverlay::ChartOverlay(QCustomPlot* plot, Drawer drawer)
    : QCPLayerable(plot, QStringLiteral("overlay")), m_drawer(std::move(drawer)) {}

void ChartOverlay::applyDefaultAntialiasingHint(QCPPainter* painter) const {
  applyAntialiasingHint(painter, mAntialiased, QCP::aeOther);
}

void ChartOverlay::draw(QCPPainter* painter) {
  if (m_drawer) {
    painter->save();
    m_drawer(*painter);
    painter->restore();
  }
}

}  // namespace tarvik::view
