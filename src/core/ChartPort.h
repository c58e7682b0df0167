#pragma once
// What the store and the commands ask of whatever shows the graphs. The window implements
// it with the chart and the bottom panel; the batch runner and tests use NullChartPort or
// a recording one. Nothing here draws; these are requests.

namespace tarvik {

struct XRange {
  double lower = 0;
  double upper = 0;
};

class ChartPort {
 public:
  virtual ~ChartPort() = default;
  // "Refresh active-graph indicator": Label1 and paColor follow the active graph.
  virtual void refreshIndicator() {}
  // "Refresh menus": Edit1 and mnVid enabled exactly when a graph exists.
  virtual void refreshMenus() {}
  // Legend re-layout: rows, widths and legend placement are computed again.
  virtual void legendRelayout() {}
  // The graphs' points or appearance changed; repaint.
  virtual void redraw() {}
  // Left axis back to its automatic range and every zoom undone (the "All" button).
  virtual void showWholeExtent() {}
  // The state of the menu check Legend1 "Показать подписи графиков".
  virtual bool legendMenuChecked() const { return true; }
  // The bottom axis's visible range (crop takes it as its X interval).
  virtual XRange visibleXRange() const { return {}; }
  // Long computations hide the chart while they run and show it again at the end.
  virtual void setChartVisible(bool) {}
};

// The port of a store that nobody watches.
class NullChartPort final : public ChartPort {};

}  // namespace tarvik
