// View switches of the chart: logarithmic axes, the legend switches and axis ranges.
#include "view/ChartArithmetic.h"
#include "view/ChartView.h"
#include "view/GraphPlottable.h"

namespace tarvik::view {

bool ChartView::logX() const { return xAxis->scaleType() == QCPAxis::stLogarithmic; }
bool ChartView::logY() const { return yAxis->scaleType() == QCPAxis::stLogarithmic; }

bool ChartView::setLogX(bool on) { return setLogarithmic(xAxis, on); }
bool ChartView::setLogY(bool on) { return setLogarithmic(yAxis, on); }

bool ChartView::setLogarithmic(QCPAxis* axis, bool on) {
  if (!on) {
    axis->setScaleType(QCPAxis::stLinear);
    useTicker(axis, false);
    replot();
    return true;
  }
  applyAutoRanges();
  // Refused when the axis shows values below 0, and when no graph has a positive value
  // on it (there would be nothing a logarithmic axis can show).
  const QCPRange range = axis->range();
  if (range.lower < 0 || range.upper < 0) {
    return false;
  }
  bool anyPositive = m_plottables.empty();
  for (const GraphPlottable* plottable : m_plottables) {
    bool found = false;
    if (axis == xAxis) {
      plottable->getKeyRange(found, QCP::sdPositive);
    } else {
      plottable->getValueRange(found, QCP::sdPositive);
    }
    anyPositive = anyPositive || found;
  }
  if (!anyPositive) {
    return false;
  }
  axis->setScaleType(QCPAxis::stLogarithmic);
  useTicker(axis, true);
  replot();
  return true;
}

void ChartView::setLegendShown(bool on) {
  m_legendShown = on;
  if (m_store) {
    for (std::size_t i = 0; i < m_store->count(); ++i) {
      m_store->graph(i).showInLegend = on;
    }
  }
  legendRelayout();
}

void ChartView::setLegendPosition(int position) {
  setLegendAlignment(position == static_cast<int>(LegendAlignment::Right) ? LegendAlignment::Right
                                                                          : LegendAlignment::Left);
}

void ChartView::setLegendAlignment(LegendAlignment alignment) {
  m_alignment = alignment;
  if (m_store) {
    m_store->legendRight = alignment == LegendAlignment::Right;
  }
  legendRelayout();
}

void ChartView::setAxisAutomatic(QCPAxis* axis, bool automatic) {
  if (axis == xAxis) {
    m_autoX = automatic;
  } else if (axis == yAxis) {
    m_autoY = automatic;
  }
}

bool ChartView::axisAutomatic(const QCPAxis* axis) const {
  if (axis == xAxis) {
    return m_autoX;
  }
  return axis == yAxis ? m_autoY : false;
}

void ChartView::setAxisRange(QCPAxis* axis, double min, double max) {
  setAxisAutomatic(axis, false);
  axis->setRange(min, max);
}

void ChartView::setBottomLabelIncrement(double increment) {
  m_bottomIncrement = increment;
  if (xAxis->scaleType() == QCPAxis::stLinear) {
    useTicker(xAxis, false);
  }
}

void ChartView::setDecimalSeparator(char separator) {
  m_separator = separator;
  useTicker(xAxis, logX());
  useTicker(yAxis, logY());
}

}  // namespace tarvik::view
