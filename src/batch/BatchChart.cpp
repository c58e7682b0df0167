// The chart commands of the batch runner: the pulse measurement, the two cursors, the pan
// of the active graph and the view of an offscreen chart (zoom, show all, frame, stretch).
#include "batch/BatchChart.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <ostream>

#include "batch/BatchSession.h"
#include "core/Error.h"
#include "transforms/CursorStats.h"
#include "view/ChartGestures.h"

namespace tarvik::batch {

OffscreenChart::OffscreenChart(const GraphStore& store) : m_store(store) {
  const view::AxisView start{true, view::kInitialAxisLimits};
  // The hidden top and right axes never follow the data; they only zoom with the others.
  const view::AxisView hidden{false, view::kInitialAxisLimits};
  m_view = {start, start, hidden, hidden};
}

void OffscreenChart::followData() {
  // Each graph keeps the extent found of its points until they change (Graph::noteExtent),
  // so a command that leaves most graphs as they were reads no points of theirs.
  std::optional<view::GraphExtent> all;
  for (std::size_t i = 0; i < m_store.count(); ++i) {
    view::uniteExtent(all, view::graphExtent(m_store.graph(i)));
  }
  m_view = view::withAutomaticRanges(m_view, all);
}

const view::ViewState& OffscreenChart::view() {
  followData();
  return m_view;
}

void OffscreenChart::apply(const view::ViewState& wanted) {
  const auto axis = [](const view::AxisView& current, const view::AxisView& next) {
    return view::AxisView{next.automatic, view::acceptedRange(current.limits, next.limits)};
  };
  m_view = {axis(m_view.bottom, wanted.bottom), axis(m_view.left, wanted.left),
            axis(m_view.top, wanted.top), axis(m_view.right, wanted.right)};
  followData();
}

void OffscreenChart::zoomByPercent(double percent) {
  m_memory.beforeZoomOrScroll(view());
  apply(view::zoomViewByPercent(m_view, percent));
}

void OffscreenChart::showAll() { apply(view::showAll(view(), m_memory)); }

void OffscreenChart::frameActiveGraph() {
  const int active = m_store.activeIndex();
  const bool hasActive = active >= 0 && static_cast<std::size_t>(active) < m_store.count();
  std::optional<view::GraphExtent> extent;
  if (hasActive) {
    const Graph& g = m_store.graph(static_cast<std::size_t>(active));
    extent = view::graphExtent(g);
  }
  apply(view::frameGraph(view(), hasActive, extent, m_memory));
}

void OffscreenChart::stretchVertical() {
  view::ViewState wanted = view();
  wanted.left = view::stretchVertical(wanted.left);
  apply(wanted);
}

XRange OffscreenChart::visibleXRange() const {
  return {m_view.bottom.limits.min, m_view.bottom.limits.max};
}

namespace {

Graph* activeGraph(BatchSession& s) {
  const int active = s.store.activeIndex();
  if (active < 0 || static_cast<std::size_t>(active) >= s.store.count()) {
    return nullptr;
  }
  return &s.store.graph(static_cast<std::size_t>(active));
}

std::string number17(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string numberOrNone(const std::optional<double>& value) {
  return value ? number17(*value) : "none";
}

// Reads method= and sensor= into the persistent fields, then measures the active graph
// over [xmin, xmax]; each end left out is the graph's smallest or largest finite X.
// Sensor messages are shown before the caller prints the result.
std::optional<PulseMeasurement> measureActive(BatchSession& s, const BatchArgs& a) {
  OffscreenChart& chart = s.chart;
  if (const auto method = a.get("method")) {
    if (*method == "0.1-0.5") {
      chart.measureMethod = DurationMethod::From10Percent;
    } else if (*method == "0.5-0.5") {
      chart.measureMethod = DurationMethod::From50Percent;
    } else {
      throw UsageError(a.command + ": method= takes 0.1-0.5 or 0.5-0.5, not \"" + *method + "\"");
    }
  }
  if (const auto sensor = a.get("sensor")) {
    chart.sensorText = *sensor;
  }
  const std::optional<double> xmin =
      a.has("xmin") ? std::optional<double>(numberArg(s, a, "xmin")) : std::nullopt;
  const std::optional<double> xmax =
      a.has("xmax") ? std::optional<double>(numberArg(s, a, "xmax")) : std::nullopt;
  const Graph* g = activeGraph(s);
  if (g == nullptr) {
    return std::nullopt;
  }
  double lowest = std::numeric_limits<double>::infinity();
  double highest = -std::numeric_limits<double>::infinity();
  for (double x : g->xs()) {
    if (std::isfinite(x)) {
      lowest = std::min(lowest, x);
      highest = std::max(highest, x);
    }
  }
  if (lowest > highest) {  // no finite X: nothing is visible
    lowest = highest = 0;
  }
  PulseMeasurementInput input;
  input.xs = g->xs();
  input.ys = g->ys();
  input.visibleMin = xmin.value_or(lowest);
  input.visibleMax = xmax.value_or(highest);
  input.method = chart.measureMethod;
  input.sensorText = chart.sensorText;
  input.decimalSeparator = s.ui.decimalSeparator();
  input.xFiniteAscending = isFiniteAscending(g->xs());
  PulseMeasurement m = measurePulse(input);
  if (m.trimmedSensorText) {
    chart.sensorText = *m.trimmedSensorText;  // the field shows the trimmed text
  }
  for (const std::string& message : m.sensorMessages) {
    s.ui.message(MessageKind::Info, message);
  }
  return m;
}

void runMeasure(BatchSession& s, const BatchArgs& a) {
  if (const auto m = measureActive(s, a)) {
    s.out << m->text << '\n';
  }
}

void runMeasureValues(BatchSession& s, const BatchArgs& a) {
  const auto m = measureActive(s, a);
  if (!m) {
    return;
  }
  const char* polarity = m->polarity == PulsePolarity::Positive   ? "+"
                         : m->polarity == PulsePolarity::Negative ? "-"
                                                                  : "0";
  s.out << "amplitude\t" << number17(m->amplitude) << '\n'
        << "polarity\t" << polarity << '\n'
        << "t10\t" << numberOrNone(m->t10) << '\n'
        << "t50r\t" << numberOrNone(m->t50r) << '\n'
        << "t90\t" << numberOrNone(m->t90) << '\n'
        << "t50f\t" << numberOrNone(m->t50f) << '\n'
        << "rise\t" << numberOrNone(m->riseTime) << '\n'
        << "duration\t" << numberOrNone(m->duration) << '\n';
}

void runCursors(BatchSession& s, const BatchArgs& a) {
  const double x1 = numberArg(s, a, "x1");
  const double x2 = numberArg(s, a, "x2");
  const Graph* g = activeGraph(s);
  if (g == nullptr) {
    return;
  }
  const CursorStats stats = cursorStats(g->xs(), g->ys(), x1, x2);
  for (const CursorRow& row : cursorRows(stats)) {
    s.out << row.name << '\t' << numberOrNone(row.value) << '\n';
  }
}

// The release of a Shift-drag moves every point of the active graph by the distance
// dragged, in the values of the bottom and left axes.
void runPan(BatchSession& s, const BatchArgs& a) {
  const double dx = numberArg(s, a, "dx");
  const double dy = numberArg(s, a, "dy");
  Graph* g = activeGraph(s);
  if (g == nullptr) {
    return;
  }
  view::shiftPoints(g->xsMutable(), g->ysMutable(), dx, dy);
  s.store.chart().redraw();
}

void runZoom(BatchSession& s, const BatchArgs& a) {
  const double percent = numberArg(s, a, "percent");
  if (!view::isUsableZoomPercent(percent)) {
    throw Error("zoom: percent= must lie above 0 and below 150");
  }
  s.chart.zoomByPercent(percent);
}

void runView(BatchSession& s, const BatchArgs&) {
  const view::ViewState& v = s.chart.view();
  s.out << "bottom\t" << number17(v.bottom.limits.min) << '\t' << number17(v.bottom.limits.max)
        << '\n'
        << "left\t" << number17(v.left.limits.min) << '\t' << number17(v.left.limits.max) << '\n';
}

}  // namespace

void registerChartCommands(BatchRegistry& registry) {
  const std::vector<std::string> measureArgs{"xmin", "xmax", "method", "sensor"};
  registry.add({"measure", "measure [xmin=X] [xmax=X] [method=0.1-0.5|0.5-0.5] [sensor=TEXT]",
                measureArgs, runMeasure});
  registry.add({"measure-values",
                "measure-values [xmin=X] [xmax=X] [method=0.1-0.5|0.5-0.5] [sensor=TEXT]",
                measureArgs, runMeasureValues});
  registry.add({"cursors", "cursors x1=X x2=X", {"x1", "x2"}, runCursors});
  registry.add({"pan", "pan dx=D dy=D", {"dx", "dy"}, runPan});
  registry.add({"zoom", "zoom percent=P", {"percent"}, runZoom});
  registry.add(
      {"show-all", "show-all", {}, [](BatchSession& s, const BatchArgs&) { s.chart.showAll(); }});
  registry.add({"frame", "frame", {}, [](BatchSession& s, const BatchArgs&) {
                  s.chart.frameActiveGraph();
                }});
  registry.add({"stretch-y", "stretch-y", {}, [](BatchSession& s, const BatchArgs&) {
                  s.chart.stretchVertical();
                }});
  registry.add({"view", "view", {}, runView});
}

}  // namespace tarvik::batch
