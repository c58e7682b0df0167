// Zoom, scroll and framing of the chart: the view rules applied to the four axes, with the
// undo-zoom memory that "All" returns to.
#include <cmath>

#include "view/ChartView.h"

namespace tarvik::view {
namespace {

AxisView axisView(const QCPAxis* axis, bool automatic) {
  return {automatic, {axis->range().lower, axis->range().upper}};
}

}  // namespace

ViewState ChartView::viewState() const {
  // The hidden top and right axes have no automatic mode of their own.
  return {axisView(xAxis, m_autoX), axisView(yAxis, m_autoY), axisView(xAxis2, false),
          axisView(yAxis2, false)};
}

void ChartView::applyView(const ViewState& view) {
  m_autoX = view.bottom.automatic;
  m_autoY = view.left.automatic;
  xAxis->setRange(view.bottom.limits.min, view.bottom.limits.max);
  yAxis->setRange(view.left.limits.min, view.left.limits.max);
  xAxis2->setRange(view.top.limits.min, view.top.limits.max);
  yAxis2->setRange(view.right.limits.min, view.right.limits.max);
  replot();
}

void ChartView::noteZoomOrScroll() { m_undo.beforeZoomOrScroll(viewState()); }

void ChartView::zoomByPercent(double percent) {
  noteZoomOrScroll();
  applyView(zoomViewByPercent(viewState(), percent));
}

void ChartView::undoZoom() {
  if (std::optional<ViewState> saved = m_undo.undo()) {
    applyView(*saved);
  } else {
    replot();
  }
}

void ChartView::showWholeExtent() { applyView(showAll(viewState(), m_undo)); }

void ChartView::stretchVertical() {
  ViewState view = viewState();
  view.left = view::stretchVertical(view.left);
  applyView(view);
}

void ChartView::frameActiveGraph() {
  const int active = m_store ? m_store->activeIndex() : -1;
  const bool hasActive = active >= 0 && static_cast<std::size_t>(active) < m_store->count();
  if (!hasActive) {
    return;
  }
  const Graph& graph = m_store->graph(static_cast<std::size_t>(active));
  applyView(frameGraph(viewState(), true, graphExtent(graph), m_undo));
}

void ChartView::showXInterval(double lower, double upper) {
  if (!(lower < upper) || !std::isfinite(lower) || !std::isfinite(upper) ||
      (logX() && !(lower > 0))) {
    return;
  }
  noteZoomOrScroll();
  ViewState view = viewState();
  view.bottom.automatic = false;
  view.bottom.limits.min = lower;
  view.bottom.limits.max = upper;
  view.top = view.bottom;
  applyView(view);
}

}  // namespace tarvik::view
