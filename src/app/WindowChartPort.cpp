#include "app/WindowChartPort.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPalette>

#include "view/ChartView.h"

namespace tarvik::app {

QString indicatorText(const GraphStore& store) {
  const int active = store.activeIndex();
  if (active < 0 || static_cast<std::size_t>(active) >= store.count()) {
    return {};
  }
  return QString("Активен график № %1 (%2 точек)")
      .arg(active + 1)
      .arg(static_cast<qulonglong>(store.graph(static_cast<std::size_t>(active)).size()));
}

QColor toQColor(const Rgb& rgb) { return QColor(rgb.r, rgb.g, rgb.b); }

Rgb toRgb(const QColor& colour) {
  return Rgb{static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
             static_cast<std::uint8_t>(colour.blue())};
}

WindowChartPort::WindowChartPort(GraphStore& store, const Parts& parts)
    : m_store(store), m_parts(parts) {}

void WindowChartPort::refreshIndicator() {
  const QString text = indicatorText(m_store);
  m_parts.label1->setText(text);
  if (text.isEmpty()) {
    return;  // the swatch keeps its colour
  }
  const QColor colour = toQColor(m_store.activeGraph()->colour);
  QPalette labelPalette = m_parts.label1->palette();
  labelPalette.setColor(QPalette::WindowText, colour);
  m_parts.label1->setPalette(labelPalette);
  QPalette swatch = m_parts.paColor->palette();
  swatch.setColor(QPalette::Window, colour);
  m_parts.paColor->setPalette(swatch);
}

void WindowChartPort::refreshMenus() {
  const bool any = !m_store.empty();
  m_parts.edit1->menuAction()->setEnabled(any);
  m_parts.mnVid->menuAction()->setEnabled(any);
}

void WindowChartPort::legendRelayout() {
  // The store calls this as soon as a graph is attached: the chart takes the store's
  // graphs in again (so it never draws one it does not know) and re-lays its legend out.
  m_parts.chart->syncWithStore();
}

void WindowChartPort::redraw() { m_parts.chart->syncWithStore(); }

void WindowChartPort::showWholeExtent() { m_parts.chart->showWholeExtent(); }

bool WindowChartPort::legendMenuChecked() const { return m_parts.legend1->isChecked(); }

XRange WindowChartPort::visibleXRange() const { return m_parts.chart->visibleXRange(); }

void WindowChartPort::setChartVisible(bool visible) { m_parts.chart->setVisible(visible); }

}  // namespace tarvik::app
