#pragma once
// The chart of a batch run, without a window: the view (the ranges of the bottom and left
// axes, their automatic or manual mode and the undo-zoom memory) kept by the same rules as
// the window's chart, and the fields of the pulse measurement that persist like a dialog's.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/ChartPort.h"
#include "core/GraphStore.h"
#include "transforms/PulseMeasurement.h"
#include "view/ViewRules.h"

namespace tarvik::batch {

// The offscreen chart watches the store as the window's chart does: every redraw brings
// the automatic axes to the data, and "show whole extent" (close all) works as "All".
class OffscreenChart final : public ChartPort {
 public:
  explicit OffscreenChart(const GraphStore& store);

  // The view as a repaint would leave it: automatic axes follow the graphs.
  const view::ViewState& view();

  void zoomByPercent(double percent);  // the caller checks the percentage
  void showAll();
  void frameActiveGraph();
  void stretchVertical();
  // Gives the axes the modes and ranges of `wanted` (as a session kept them); a range the
  // chart cannot show leaves that axis as it is, and automatic axes follow the data.
  void setView(const view::ViewState& wanted) { apply(wanted); }

  void redraw() override { followData(); }
  void showWholeExtent() override { showAll(); }
  XRange visibleXRange() const override;

  // The measurement's fields: the duration method (`rb01`/`rb05`) and the sensor text
  // (`Edit2`), at their start values until a command changes them.
  DurationMethod measureMethod = DurationMethod::From50Percent;
  std::string sensorText = "0.0";

 private:
  void followData();
  void apply(const view::ViewState& wanted);

  const GraphStore& m_store;
  view::ViewState m_view;
  view::UndoZoomMemory m_memory;
};

}  // namespace tarvik::batch
