// How soon the panel "Импульсы..." shows its table again after a zoom or a cursor move, on
// a 10,000,000-point record holding 10,000 noisy pulses (the record of PulseStatsBench):
// the time from the change (the chart's own repaint included) to the result on show,
// wall and the process's CPU over all threads, the median of the repetitions, beside the
// goal of 150 ms. Offscreen (QT_QPA_PLATFORM=offscreen).
//
//   PulsePanelBench [REPETITIONS]      times the cases (default 9 each)
//   PulsePanelBench --screenshot FILE  the window and the panel at their default sizes,
//                                      with a small pulse train, as FILE and FILE-panel.png
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app/ChartMy.h"
#include "../PulseTrain.h"
#include "app/PulsePanel.h"
#include "view/ChartView.h"

namespace {

using tarvik::Graph;
using tarvik::app::PulsePanel;
using tarvik::app::TfmChart;

void fillRecord(Graph& g, std::size_t points) {
  tarvik::bench::PulseTrain train = tarvik::bench::pulseTrain(points);
  g.setPoints(std::move(train.xs), std::move(train.ys));
}

void addRecord(TfmChart& w, std::size_t points) {
  w.runGuarded([points](tarvik::CommandContext& ctx) {
    const std::size_t i = ctx.store.appendGraph("pulses");
    fillRecord(ctx.store.graph(i), points);
    ctx.store.setActiveIndex(static_cast<int>(i));
  });
}

double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Timing {
  double wall = 0, cpu = 0;
};

// Makes `change` and waits for the panel's next result; false when none came in a minute.
bool shownAfter(PulsePanel& panel, const std::function<void()>& change) {
  bool shown = false;
  QEventLoop loop;
  const QMetaObject::Connection c = QObject::connect(&panel, &PulsePanel::resultShown, &loop, [&] {
    shown = true;
    loop.quit();
  });
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  change();
  if (!shown) {
    loop.exec();
  }
  QObject::disconnect(c);
  return shown;
}

bool timed(PulsePanel& panel, const std::function<void()>& change, Timing& t) {
  QElapsedTimer wall;
  const double cpu0 = processCpuSeconds();
  wall.start();
  if (!shownAfter(panel, change)) {
    return false;
  }
  t.wall = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
  t.cpu = processCpuSeconds() - cpu0;
  return true;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void report(const char* name, const std::vector<Timing>& runs, std::size_t rows) {
  std::vector<double> wall, cpu;
  for (const Timing& t : runs) {
    wall.push_back(t.wall * 1e3);
    cpu.push_back(t.cpu * 1e3);
  }
  std::printf("%-44s %9.1f %9.1f %9.1f %7zu   %s\n", name, median(wall), median(cpu),
              *std::max_element(wall.begin(), wall.end()), rows,
              median(wall) < 150 ? "under the goal" : "OVER THE GOAL");
}

int screenshot(const char* path) {
  QTemporaryDir dir;
  TfmChart w({}, dir.filePath("tarvik.INI"));
  w.show();
  addRecord(w, 20'000);
  w.runCommand("btnPulses");
  PulsePanel* panel = w.pulsePanel();
  shownAfter(*panel, [] {});  // the first result arrives through the event loop
  QApplication::processEvents();
  w.chart()->replot();
  QApplication::processEvents();
  // The panel floats at first: the window and the panel are two pictures.
  const QString panelPath = QString(path).replace(".png", "-panel.png");
  const bool ok = w.grab().save(path) && panel->grab().save(panelPath);
  std::printf("window %dx%d, panel %dx%d -> %s\n", w.width(), w.height(), panel->width(),
              panel->height(), path);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0) {
    return screenshot(argv[2]);
  }
  const int repetitions = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 9;
  QTemporaryDir dir;
  TfmChart w({}, dir.filePath("tarvik.INI"));
  w.resize(1000, 800);
  w.show();
  addRecord(w, 10'000'000);
  w.runCommand("btnPulses");
  PulsePanel& panel = *w.pulsePanel();
  Timing first;
  if (!timed(
          panel, [] {}, first) ||
      panel.report() == nullptr) {
    std::fprintf(stderr, "no first result: %s\n", panel.statusText().toUtf8().constData());
    return 1;
  }
  std::printf("10M points, whole graph: %zu transitions, %zu pulses\n",
              panel.report()->transitionCount, panel.report()->pulseCount);
  std::printf("%-44s %9s %9s %9s %7s\n", "case (ms; median of repetitions)", "wall", "cpu",
              "max wall", "rows");

  tarvik::view::ChartView* chart = w.chart();
  auto* range = panel.findChild<QComboBox*>("cbPulseRange");
  std::vector<Timing> runs;
  Timing t;
  // The visible range: zoom in and out by the buttons' 15 %, in turn.
  timed(
      panel, [range] { range->setCurrentIndex(1); }, t);
  for (int k = 0; k < repetitions; ++k) {
    if (!timed(
            panel, [chart, k] { chart->zoomByPercent(k % 2 == 0 ? 115 : 85); }, t)) {
      return 1;
    }
    runs.push_back(t);
  }
  report("zoom, visible range (~70 % of 10M points)", runs, panel.report()->transitionCount);

  // A pan of a tenth of the view.
  runs.clear();
  for (int k = 0; k < repetitions; ++k) {
    const tarvik::XRange v = chart->visibleXRange();
    const double step = (v.upper - v.lower) / 10 * (k % 2 == 0 ? 1 : -1);
    if (!timed(
            panel, [&] { chart->showXInterval(v.lower + step, v.upper + step); }, t)) {
      return 1;
    }
    runs.push_back(t);
  }
  report("pan, visible range", runs, panel.report()->transitionCount);

  // Between the cursors, over the whole record: one cursor moves by 1 %.
  chart->showWholeExtent();
  chart->setCursorsShown(true);
  timed(
      panel, [range] { range->setCurrentIndex(2); }, t);
  runs.clear();
  for (int k = 0; k < repetitions; ++k) {
    const double x = chart->cursorX(1);
    const double step = 0.01 * (chart->visibleXRange().upper - chart->visibleXRange().lower);
    if (!timed(
            panel, [&] { chart->setCursorX(1, x + (k % 2 == 0 ? step : -step)); }, t)) {
      return 1;
    }
    runs.push_back(t);
  }
  report("cursor move, between the cursors (~1/3)", runs, panel.report()->transitionCount);

  // The cursors at the record's ends: the whole record measured for one move.
  chart->setCursorX(0, -1);
  runs.clear();
  for (int k = 0; k < repetitions; ++k) {
    if (!timed(
            panel, [&] { chart->setCursorX(1, k % 2 == 0 ? 2e6 : 2e6 - 1); }, t)) {
      return 1;
    }
    runs.push_back(t);
  }
  report("cursor move, cursors at both ends (10M)", runs, panel.report()->transitionCount);
  return 0;
}
