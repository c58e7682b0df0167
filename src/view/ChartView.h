#pragma once
// The chart `Chart` of the main window: every graph of the store drawn as a line in
// stored point order, the axes with their label texts and step rule, the legend, the
// stored Y-axis title drawn above the plot, and the after-repaint hook.
//
// Contract used by the main window (the chart's own implementation may add more):
#include <qcustomplot.h>

#include <functional>
#include <optional>
#include <vector>

#include "core/ChartAppearance.h"
#include "core/ChartPort.h"
#include "core/GraphStore.h"
#include "core/UndoStep.h"
#include "view/ChartGestures.h"
#include "view/ViewRules.h"

namespace tarvik::view {

class GraphPlottable;
class ChartOverlay;

// Where the legend re-layout puts the legend.
enum class LegendAlignment {
  Left = 0,   // under the X axis, from the plot's left edge ("слева внизу")
  Right = 1,  // at the plot's upper right corner ("справа")
};

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

  // --- Beyond the first contract ---
  bool logX() const;
  bool logY() const;
  bool legendShown() const { return m_legendShown; }
  LegendAlignment legendAlignment() const { return m_alignment; }
  // Where the legend is drawn now: at the right also while aligned left when it would take
  // more than half the chart's height or leave the plot lower than kMinPlotHeightPx.
  bool legendPlacedRight() const { return m_placedRight; }
  // The least height at which the plot keeps kMinPlotHeightPx with the legend at the right.
  QSize minimumSizeHint() const override;
  void setLegendAlignment(LegendAlignment alignment);
  // Repaints the overlay layer alone (measurement marks, rubber bands): ~0.2 ms.
  void redrawOverlay();

  // The plot rectangle recorded at the last repaint (zero before the first).
  QRect lastPlotRect() const { return m_lastPlotRect; }
  // Top pixel row of each graph's legend row as last drawn (0 for rows never drawn).
  const std::vector<int>& legendRowTops() const;
  // The graph chosen by a legend click at `pixelRow` (−1 without graphs).
  int legendGraphAt(int pixelRow) const;

  // Automatic range (follows the data) or manual limits, per axis.
  void setAxisAutomatic(QCPAxis* axis, bool automatic);
  bool axisAutomatic(const QCPAxis* axis) const;
  void setAxisRange(QCPAxis* axis, double min, double max);
  // A desired label increment for the bottom axis (0: the chart chooses; the left axis
  // follows its own step rule while linear).
  void setBottomLabelIncrement(double increment);

  // --- Zoom, scroll and framing (ChartViewZoom.cpp) ---
  // The four axes' modes and limits, and setting them all at once (then a repaint).
  ViewState viewState() const;
  void applyView(const ViewState& view);
  // Zoom by percent of all four axes (115 zooms in to 70 %, 85 out to 130 %); the first
  // zoom or scroll after an undo remembers every axis's range and mode for the next undo.
  void zoomByPercent(double percent);
  void undoZoom();
  bool zoomed() const { return m_undo.zoomed(); }
  // Left axis manual and widened by a twentieth of its larger absolute limit each way.
  void stretchVertical();
  // The active graph's bounding box (after a zoom-out step); nothing without one.
  void frameActiveGraph();
  // The bottom axis shows lower … upper (manual, a zoom step as any zoom); the other axes
  // stay. Nothing for an empty or non-finite interval, or one a log axis cannot show.
  void showXInterval(double lower, double upper);

  // --- Mouse (ChartViewMouse.cpp) ---
  // `btnEdit`: while on, a press redraws the active graph freehand and the chart's own
  // zoom, scroll and clicks stay off.
  void setEditMode(bool on) { m_editMode = on; }
  bool editMode() const { return m_editMode; }
  const ChartGestures& gestures() const { return m_gestures; }
  // The box of a zoom drag in progress (drawn on the overlay).
  std::optional<QRect> zoomBox() const;

  // --- Two vertical cursors (ChartViewCursors.cpp) ---
  void setCursorsShown(bool on);
  bool cursorsShown() const { return m_cursorsShown; }
  // Cursor 0 or 1 as an X value on the bottom axis (it follows zoom and pan).
  double cursorX(int which) const { return m_cursorX[which == 0 ? 0 : 1]; }
  void setCursorX(int which, double x);
  // Pixels within which a press grabs a cursor line.
  static constexpr int kCursorGrabPixels = 4;

  // Decimal separator of the axis labels (the locale's by default).
  void setDecimalSeparator(char separator);
  char decimalSeparator() const { return m_separator; }

  // The font of the foot lines under the chart (the axis and legend fonts are QCustomPlot's).
  void setFootFont(const QFont& font);
  QFont footFont() const;
  // The font of any of the chart's texts; setting one re-lays the legend out and repaints.
  QFont elementFont(ChartTextElement element) const;
  void setElementFont(ChartTextElement element, const QFont& font);
  // The title lines above the plot, as drawn (empty when the store has no title).
  QString titleText() const;

  // The plottable drawing store graph `index`, or null.
  GraphPlottable* plottableForGraph(std::size_t index) const;

 signals:
  // Ctrl+click (or a plain click) on a graph's line: the graph's store index.
  void graphClicked(int storeIndex, Qt::KeyboardModifiers modifiers);
  // A click on the legend at this pixel row.
  void legendClicked(int pixelRow);
  // New text of the coordinate readout `lbCoopd`.
  void readoutChanged(const QString& text);
  // A gesture rewrote the active graph's points (pan, freehand edit); already repainted.
  void pointsEdited();
  // A pan or freehand stroke ended; when it changed the active graph it is now an undo step.
  void undoStepClosed();
  // A cursor moved or the cursors were switched on or off.
  void cursorsChanged();

 protected:
  void updateLayout() override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void setUpAxes();
  void setUpLegend();
  void syncPlottables(bool refreshCaches);
  void syncLegendRows();
  void syncTexts();
  void syncTextRows(bool titleShown, bool footShown);
  void syncColours();
  void applyAutoRanges();
  void applyMargins();
  void placeLegend();
  void recordLegendRowTops();
  void drawOverlay(QCPPainter& painter);
  void drawInteraction(QCPPainter& painter) const;
  void drawCursors(QCPPainter& painter) const;
  GestureContext gestureContext();
  void applyOutcome(const GestureOutcome& outcome);
  void startBuiltIn(QMouseEvent* event);
  void moveBuiltIn(QPoint point);
  void finishBuiltIn(QPoint point);
  void noteZoomOrScroll();
  void closeGestureStep();
  bool pressCursor(QMouseEvent* event);
  int cursorNear(int column) const;
  void useTicker(QCPAxis* axis, bool logarithmic);
  bool setLogarithmic(QCPAxis* axis, bool on);
  int labelFontPx() const;
  int footBoxHeight() const;
  // The chart's height that is neither plot, legend nor foot: above the plot and the X axis
  // with its tick labels and caption.
  int heightBesidePlot() const;

  GraphStore* m_store = nullptr;
  UndoStep m_gestureStep;  // opened by a press, closed by its release or a focus-out
  std::vector<GraphPlottable*> m_plottables;
  ChartOverlay* m_overlay = nullptr;
  QCPTextElement* m_title = nullptr;
  QCPTextElement* m_foot = nullptr;
  AfterRepaint m_afterRepaint;
  char m_separator = '.';

  bool m_legendShown = true;
  LegendAlignment m_alignment = LegendAlignment::Left;
  bool m_placedRight = false;
  int m_minimumHeightSeen = 0;
  int m_legendTopPercent = 10;
  int m_rightMarginPercent = 3;
  int m_bottomTitleAreaPx = 20;
  bool m_relayoutPending = false;
  QRect m_lastPlotRect;
  std::vector<int> m_rowTops;

  bool m_autoX = true;
  bool m_autoY = true;
  double m_bottomIncrement = 0;
  int m_stepHeightUsed = -1;  // plot height the left axis step was computed for

  UndoZoomMemory m_undo;

  // The chart's own drag: a zoom box with the left button, a scroll with the right one.
  enum class BuiltInDrag { None, Box, Scroll };
  BuiltInDrag m_builtIn = BuiltInDrag::None;
  bool m_pressReachedChart = false;  // the chart's own handling saw the last press
  QPoint m_dragPress;
  QPoint m_dragPoint;
  bool m_editMode = false;
  ChartGestures m_gestures;

  bool m_cursorsShown = false;
  double m_cursorX[2] = {0, 0};
  int m_draggedCursor = -1;
  bool m_cursorKeyHeld[2] = {false, false};
};

}  // namespace tarvik::view
