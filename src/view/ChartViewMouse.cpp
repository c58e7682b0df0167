// The chart under the mouse. Every press, move and release first goes to the gesture
// machine (pan with Shift, measure with Alt or Meta, freehand edit with `btnEdit`); when
// it leaves the event to the chart, the chart's own handling acts: a left drag from upper
// left to lower right zooms to the box, a drag of that size in any other direction undoes
// the zoom, a right drag scrolls, the wheel scrolls the vertical axes (with Ctrl it zooms
// the bottom axis around the pointer), and clicks reach lines and the legend.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "view/ChartView.h"
#include "view/GraphPlottable.h"

namespace tarvik::view {
namespace {

ScreenPoint screenPoint(QPoint p) { return {p.x(), p.y()}; }

GestureKeys keysOf(Qt::KeyboardModifiers modifiers) {
  return {modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier),
          modifiers.testFlag(Qt::AltModifier), modifiers.testFlag(Qt::MetaModifier)};
}

// A pixel coordinate far outside the widget still converts to an int without overflow.
int toPixel(double coordinate) {
  constexpr double kLimit = 1e9;
  if (!std::isfinite(coordinate)) {
    return std::numeric_limits<int>::min();
  }
  return static_cast<int>(std::lround(std::clamp(coordinate, -kLimit, kLimit)));
}

// One wheel notch is 120 eighths of a degree; Ctrl+wheel zooms by this factor per notch.
constexpr double kNotch = 120.0;
constexpr double kCtrlWheelZoomPerNotch = 0.8;

}  // namespace

GestureContext ChartView::gestureContext() {
  GestureContext ctx;
  ctx.editDown = m_editMode;
  const QRect plot = axisRect()->rect();
  ctx.plot = {plot.left(), plot.top(), plot.right(), plot.bottom()};
  ctx.decimalSeparator = m_separator;
  const int active = m_store ? m_store->activeIndex() : -1;
  ctx.hasActiveGraph = active >= 0 && static_cast<std::size_t>(active) < m_store->count();
  if (ctx.hasActiveGraph) {
    Graph* graph = &m_store->graph(static_cast<std::size_t>(active));
    ctx.points = [graph] { return WritablePoints{graph->xsMutable(), graph->ysMutable()}; };
    const GraphPlottable* plottable = plottableForGraph(static_cast<std::size_t>(active));
    ctx.xFiniteAscending = plottable != nullptr && plottable->sortedByX();
  }
  ctx.convert.xAtColumn = [this](int column) { return xAxis->pixelToCoord(column); };
  ctx.convert.yAtRow = [this](int row) { return yAxis->pixelToCoord(row); };
  ctx.convert.columnOfX = [this](double x) { return toPixel(xAxis->coordToPixel(x)); };
  return ctx;
}

void ChartView::applyOutcome(const GestureOutcome& outcome) {
  if (outcome.readout) {
    emit readoutChanged(QString::fromStdString(*outcome.readout));
  }
  if (outcome.pointsChanged) {
    const int active = m_store->activeIndex();
    if (GraphPlottable* plottable = plottableForGraph(static_cast<std::size_t>(active))) {
      plottable->refreshCache();
    }
    replot();
    emit pointsEdited();
  } else if (outcome.overlayChanged) {
    redrawOverlay();
  }
}

void ChartView::mousePressEvent(QMouseEvent* event) {
  m_builtIn = BuiltInDrag::None;
  m_pressReachedChart = false;
  if (pressCursor(event)) {
    return;
  }
  const QPoint point = event->position().toPoint();
  const GestureContext context = gestureContext();
  // A stroke of the freehand edit and a Shift-drag of the graph are one undo step each,
  // from the press to the release.
  if (m_store != nullptr && !m_gestureStep.isOpen() && context.hasActiveGraph &&
      (context.editDown || event->modifiers().testFlag(Qt::ShiftModifier))) {
    m_gestureStep =
        UndoStep(*m_store, context.editDown && !event->modifiers().testFlag(Qt::ControlModifier)
                               ? "Редактирование графика"
                               : "Сдвиг графика");
  }
  const GestureOutcome outcome =
      m_gestures.press(screenPoint(point), keysOf(event->modifiers()), context);
  applyOutcome(outcome);
  if (outcome.suppressBuiltIn) {
    return;
  }
  startBuiltIn(event);
  m_pressReachedChart = true;
  QCustomPlot::mousePressEvent(event);
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (m_draggedCursor >= 0) {
    setCursorX(m_draggedCursor, xAxis->pixelToCoord(point.x()));
    return;
  }
  const GestureOutcome outcome = m_gestures.move(screenPoint(point), gestureContext());
  applyOutcome(outcome);
  if (outcome.suppressBuiltIn) {
    return;
  }
  moveBuiltIn(point);
  QCustomPlot::mouseMoveEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (m_draggedCursor >= 0) {
    m_draggedCursor = -1;
    return;
  }
  const GestureOutcome outcome =
      m_gestures.release(screenPoint(point), keysOf(event->modifiers()), gestureContext());
  applyOutcome(outcome);
  closeGestureStep();
  if (outcome.suppressBuiltIn) {
    m_builtIn = BuiltInDrag::None;
    return;
  }
  finishBuiltIn(point);
  // A release whose press the chart never saw is no click on a line or the legend.
  if (m_pressReachedChart) {
    QCustomPlot::mouseReleaseEvent(event);
  }
}

void ChartView::startBuiltIn(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (!axisRect()->rect().contains(point)) {
    return;
  }
  m_dragPress = point;
  m_dragPoint = point;
  if (event->button() == Qt::LeftButton) {
    m_builtIn = BuiltInDrag::Box;
  } else if (event->button() == Qt::RightButton) {
    m_builtIn = BuiltInDrag::Scroll;
  }
}

void ChartView::moveBuiltIn(QPoint point) {
  if (m_builtIn == BuiltInDrag::Box) {
    m_dragPoint = point;
    redrawOverlay();
  } else if (m_builtIn == BuiltInDrag::Scroll && point != m_dragPoint) {
    // The data under the pointer follows it: both axes move by the pointer's travel.
    noteZoomOrScroll();
    ViewState view = viewState();
    const double dx = xAxis->pixelToCoord(m_dragPoint.x()) - xAxis->pixelToCoord(point.x());
    const double dy = yAxis->pixelToCoord(m_dragPoint.y()) - yAxis->pixelToCoord(point.y());
    view.bottom = {false, {view.bottom.limits.min + dx, view.bottom.limits.max + dx}};
    view.left = {false, {view.left.limits.min + dy, view.left.limits.max + dy}};
    m_dragPoint = point;
    applyView(view);
  }
}

void ChartView::finishBuiltIn(QPoint point) {
  const BuiltInDrag drag = m_builtIn;
  m_builtIn = BuiltInDrag::None;
  if (drag != BuiltInDrag::Box) {
    return;
  }
  switch (boxDragAction(screenPoint(m_dragPress), screenPoint(point))) {
    case BoxDrag::ZoomToBox: {
      const BoxZoom box = boxZoomLimits(
          screenPoint(m_dragPress), screenPoint(point),
          [this](int column) { return xAxis->pixelToCoord(column); },
          [this](int row) { return yAxis->pixelToCoord(row); });
      noteZoomOrScroll();
      ViewState view = viewState();
      view.bottom = {false, box.bottom};
      view.left = {false, box.left};
      applyView(view);
      break;
    }
    case BoxDrag::UndoZoom:
      undoZoom();
      break;
    case BoxDrag::None:
      redrawOverlay();  // the box goes away
      break;
  }
}

std::optional<QRect> ChartView::zoomBox() const {
  if (m_builtIn != BuiltInDrag::Box || m_dragPoint == m_dragPress) {
    return std::nullopt;
  }
  return QRect(m_dragPress, m_dragPoint).normalized();
}

void ChartView::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / kNotch;
  // The wheel is the chart's own and is not a press: the editing mode leaves it alone.
  if (notches == 0) {
    event->ignore();
    return;
  }
  event->accept();
  noteZoomOrScroll();
  ViewState view = viewState();
  if (event->modifiers().testFlag(Qt::ControlModifier)) {
    const double anchor = xAxis->pixelToCoord(event->position().x());
    view.bottom = {
        false, zoomAround(view.bottom.limits, anchor, std::pow(kCtrlWheelZoomPerNotch, notches))};
  } else {
    view.left = {false, scrollByWheel(view.left.limits, notches)};
    view.right.limits = scrollByWheel(view.right.limits, notches);
  }
  applyView(view);
}

void ChartView::drawInteraction(QCPPainter& painter) const {
  drawCursors(painter);
  // Drawn on the overlay layer, so the graphs' picture under them stays as it was.
  if (const std::optional<QRect> box = zoomBox()) {
    // Unlike the dotted grid: a navy dashed edge over a faint tint.
    painter.setPen(QPen(QColor(0, 0, 128), 1, Qt::DashLine));
    painter.setBrush(QColor(0, 0, 255, 24));
    painter.drawRect(*box);
  }
  if (const std::optional<RubberBand> band = m_gestures.rubberBand()) {
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    painter.drawLine(QPoint(band->from.x, band->from.y), QPoint(band->to.x, band->to.y));
  }
}

void ChartView::keyPressEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat() && (event->key() == Qt::Key_1 || event->key() == Qt::Key_2)) {
    m_cursorKeyHeld[event->key() == Qt::Key_1 ? 0 : 1] = true;
  }
  QCustomPlot::keyPressEvent(event);
}

void ChartView::keyReleaseEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat() && (event->key() == Qt::Key_1 || event->key() == Qt::Key_2)) {
    m_cursorKeyHeld[event->key() == Qt::Key_1 ? 0 : 1] = false;
  }
  QCustomPlot::keyReleaseEvent(event);
}

void ChartView::focusOutEvent(QFocusEvent* event) {
  // A key let go elsewhere never reaches the chart: forget the held cursor keys.
  m_cursorKeyHeld[0] = m_cursorKeyHeld[1] = false;
  // So does a mouse release (another window took the grab): the gesture's step ends here,
  // else undo would stay refused and recovery would not write.
  closeGestureStep();
  QCustomPlot::focusOutEvent(event);
}

void ChartView::closeGestureStep() {
  if (m_gestureStep.isOpen()) {
    m_gestureStep.close();
    emit undoStepClosed();
  }
}

}  // namespace tarvik::view
