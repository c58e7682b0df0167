// Two vertical cursor lines over the chart. They are X values on the bottom axis, so they
// follow zoom and pan; a press within a few pixels of one drags it (and starts no zoom),
// a click with the key 1 or 2 held puts that cursor at the pointer.
#include <QMouseEvent>
#include <cmath>
#include <cstdlib>

#include "view/ChartView.h"

namespace tarvik::view {

void ChartView::setCursorsShown(bool on) {
  m_cursorsShown = on;
  m_draggedCursor = -1;
  if (on) {
    // Cursors that the view does not show, or that lie on one another (as before their
    // first use), come back at a third and two thirds of it, where both can be grabbed.
    const QCPRange range = xAxis->range();
    const bool together = m_cursorX[0] == m_cursorX[1];
    for (int i = 0; i < 2; ++i) {
      if (together || !range.contains(m_cursorX[i])) {
        m_cursorX[i] = range.lower + range.size() * (i + 1) / 3.0;
      }
    }
  }
  redrawOverlay();
  emit cursorsChanged();
}

void ChartView::setCursorX(int which, double x) {
  if (!std::isfinite(x)) {
    return;
  }
  m_cursorX[which == 0 ? 0 : 1] = x;
  redrawOverlay();
  emit cursorsChanged();
}

int ChartView::cursorNear(int column) const {
  int nearest = -1;
  double best = kCursorGrabPixels + 0.5;
  for (int i = 0; i < 2; ++i) {
    const double distance = std::abs(xAxis->coordToPixel(m_cursorX[i]) - column);
    if (distance < best) {
      best = distance;
      nearest = i;
    }
  }
  return nearest;
}

bool ChartView::pressCursor(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  const Qt::KeyboardModifiers gestureKeys =
      Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier | Qt::ControlModifier;
  if (!m_cursorsShown || m_editMode || event->button() != Qt::LeftButton ||
      (event->modifiers() & gestureKeys) || !axisRect()->rect().contains(point)) {
    return false;
  }
  int which = m_cursorKeyHeld[0] ? 0 : (m_cursorKeyHeld[1] ? 1 : -1);
  if (which >= 0) {
    setCursorX(which, xAxis->pixelToCoord(point.x()));
  } else {
    which = cursorNear(point.x());
  }
  m_draggedCursor = which;
  return which >= 0;
}

void ChartView::drawCursors(QCPPainter& painter) const {
  if (!m_cursorsShown) {
    return;
  }
  const QRect plot = axisRect()->rect();
  const QColor colours[2] = {QColor(0, 128, 0), QColor(128, 0, 128)};
  painter.setFont(QFont(QStringLiteral("Arial"), 8));
  for (int i = 0; i < 2; ++i) {
    const double column = xAxis->coordToPixel(m_cursorX[i]);
    if (!std::isfinite(column) || column < plot.left() || column > plot.right()) {
      continue;
    }
    const int x = static_cast<int>(std::lround(column));
    painter.setPen(QPen(colours[i], 1, Qt::DashLine));
    painter.drawLine(QPoint(x, plot.top()), QPoint(x, plot.bottom()));
    painter.drawText(QPoint(x + 3, plot.top() + painter.fontMetrics().ascent() + 1),
                     QString::number(i + 1));
  }
}

}  // namespace tarvik::view
