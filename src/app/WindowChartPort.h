#pragma once
// The chart port of the main window: the chart `Chart`, the active-graph indicator on the
// bottom panel (`Label1`, `paColor`) and the menus that follow the graph count.
#include <QColor>
#include <QString>

#include "core/ChartPort.h"
#include "core/GraphStore.h"

class QAction;
class QLabel;
class QMenu;
class QWidget;

namespace tarvik::view {
class ChartView;
}

namespace tarvik::app {

// "Активен график № N (P точек)" for the active graph; empty when none is active.
QString indicatorText(const GraphStore& store);
QColor toQColor(const Rgb& rgb);
Rgb toRgb(const QColor& colour);

class WindowChartPort final : public ChartPort {
 public:
  struct Parts {
    view::ChartView* chart = nullptr;
    QLabel* label1 = nullptr;
    QWidget* paColor = nullptr;
    QMenu* edit1 = nullptr;
    QMenu* mnVid = nullptr;
    QAction* legend1 = nullptr;
  };
  WindowChartPort(GraphStore& store, const Parts& parts);

  void refreshIndicator() override;
  void refreshMenus() override;
  void legendRelayout() override;
  void redraw() override;
  void showWholeExtent() override;
  bool legendMenuChecked() const override;
  XRange visibleXRange() const override;
  void setChartVisible(bool visible) override;

 private:
  GraphStore& m_store;
  Parts m_parts;
};

}  // namespace tarvik::app
