#include "view/PulseMeasurementLayer.h"

#include <algorithm>
#include <cmath>

#include "view/ChartView.h"
#include "view/GraphPlottable.h"

namespace tarvik::view {
namespace {

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

// A value's pixel on an axis, bounded so that a far-off marker still converts to int.
int pixelOf(const QCPAxis* axis, double value) {
  constexpr double kLimit = 1e7;
  const double pixel = axis->coordToPixel(value);
  return static_cast<int>(
      std::lround(std::isfinite(pixel) ? std::clamp(pixel, -kLimit, kLimit) : -kLimit));
}

void drawRow(QCPPainter& painter, const QRect& plot, int row) {
  painter.drawLine(QPoint(plot.left(), row), QPoint(plot.right(), row));
}

void drawColumn(QCPPainter& painter, const QRect& plot, int column) {
  painter.drawLine(QPoint(column, plot.top()), QPoint(column, plot.bottom()));
}

void drawMarks(QCPPainter& painter, const QRect& plot, const ChartView& chart,
               const PulseMeasurement& m) {
  const QCPAxis* x = chart.xAxis;
  const QCPAxis* y = chart.yAxis;
  if (m.polarity == PulsePolarity::None) {
    return;
  }
  painter.setPen(QPen(kBlue, 1));
  drawRow(painter, plot, pixelOf(y, m.peak));
  if (m.t90) {
    drawRow(painter, plot, pixelOf(y, m.level10));
    drawColumn(painter, plot, pixelOf(x, m.t10.value_or(0)));
    drawRow(painter, plot, pixelOf(y, m.level90));
    drawColumn(painter, plot, pixelOf(x, *m.t90));
  }
  if (m.t50f && m.start) {
    painter.setPen(QPen(kRed, 1));
    const int row = pixelOf(y, m.level50);
    painter.drawLine(QPoint(pixelOf(x, *m.start), row), QPoint(pixelOf(x, *m.t50f), row));
  }
}

void drawText(QCPPainter& painter, const QRect& plot, const ChartView& chart,
              const std::string& text) {
  QFont font(QStringLiteral("Arial"));
  const QFont legendFont = chart.legend->font();
  if (legendFont.pointSizeF() > 0) {
    font.setPointSizeF(legendFont.pointSizeF());
  } else {
    font.setPixelSize(legendFont.pixelSize());
  }
  painter.setFont(font);
  painter.setPen(kRed);
  const QFontMetrics metrics(font);
  // Left edge 10 px right of the plot's left edge, top edge one font height above the plot.
  const int top = plot.top() - metrics.height();
  painter.drawText(QPoint(plot.left() + 10, top + metrics.ascent()), QString::fromStdString(text));
}

}  // namespace

void PulseMeasurementLayer::setOn(bool on) {
  if (on && !m_on) {
    m_messagedText.reset();
  }
  m_on = on;
}

std::optional<PulseMeasurement> PulseMeasurementLayer::draw(QCPPainter& painter, const QRect& plot,
                                                            const ChartView& chart,
                                                            const GraphStore& store) {
  m_last.reset();
  const int active = store.activeIndex();
  if (!m_on || active < 0 || static_cast<std::size_t>(active) >= store.count()) {
    return std::nullopt;
  }
  const Graph& graph = store.graph(static_cast<std::size_t>(active));
  const GraphPlottable* plottable = chart.plottableForGraph(static_cast<std::size_t>(active));
  PulseMeasurementInput input;
  input.xs = graph.xs();
  input.ys = graph.ys();
  input.visibleMin = chart.xAxis->range().lower;
  input.visibleMax = chart.xAxis->range().upper;
  input.method = m_method;
  input.sensorText = m_sensorText;
  input.decimalSeparator = chart.decimalSeparator();
  input.xFiniteAscending = plottable != nullptr && plottable->sortedByX();
  PulseMeasurement m = measurePulse(input);
  painter.save();
  painter.setAntialiasing(false);
  // A level or a crossing outside the visible range would run over the axis labels, the
  // legend and the result text: the marks stay inside the plot, the text above it.
  painter.save();
  painter.setClipRect(plot, Qt::IntersectClip);
  drawMarks(painter, plot, chart, m);
  painter.restore();
  drawText(painter, plot, chart, m.text);
  painter.restore();
  queue(m);
  m_last = std::move(m);
  return m_last;
}

void PulseMeasurementLayer::queue(const PulseMeasurement& m) {
  const bool alreadyShown = m_messagedText == m_sensorText;
  if (m.trimmedSensorText && *m.trimmedSensorText != m_sensorText) {
    // The field shows the trimmed text from now on; it is the same value, not a new one.
    m_sensorText = *m.trimmedSensorText;
    m_pending.trimmedSensorText = m_sensorText;
    if (alreadyShown) {
      m_messagedText = m_sensorText;
    }
  }
  if (m.sensorMessages.empty() || alreadyShown) {
    return;
  }
  m_messagedText = m_sensorText;
  m_pending.messages.insert(m_pending.messages.end(), m.sensorMessages.begin(),
                            m.sensorMessages.end());
}

PulseMeasurementLayer::AfterPaint PulseMeasurementLayer::takeAfterPaint() {
  AfterPaint pending = std::move(m_pending);
  m_pending = {};
  return pending;
}

}  // namespace tarvik::view
