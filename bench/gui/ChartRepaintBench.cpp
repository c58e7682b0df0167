// Repaint cost of the chart with large graphs, offscreen (QT_QPA_PLATFORM=offscreen):
// a 1,000 × 600 chart holding one 10M-point graph and four 1M-point graphs, with data
// sorted by X and with unsorted noisy data (time stamps that jitter by a few samples), wide
// and dashed pens, the overlay alone, a hit test, and the time from opening a 10M-line
// plain graph file to the first picture on top of the reading time.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "core/Command.h"
#include "core/GraphStore.h"
#include "core/Ui.h"
#include "io/FileCommands.h"
#include "io/GraphWriter.h"
#include "view/ChartView.h"
#include "view/GraphPlottable.h"

namespace {

using tarvik::Graph;
using tarvik::GraphStore;
using tarvik::view::ChartView;

enum class Order { Sorted, Jittered, Random };

// A pulse-like record: a decaying oscillation plus noise, sampled at 1 ns.
void fillGraph(Graph& g, std::size_t n, Order order, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> noise(0, 0.05);
  std::uniform_real_distribution<double> jitter(-2, 2), anywhere(0, static_cast<double>(n));
  std::vector<double> xs(n), ys(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i);
    xs[i] = order == Order::Sorted ? t : order == Order::Jittered ? t + jitter(rng) : anywhere(rng);
    const double u = xs[i] / static_cast<double>(n);
    ys[i] = std::exp(-3 * u) * std::sin(2 * M_PI * 20 * u) + noise(rng) + seed;
  }
  g.setPoints(std::move(xs), std::move(ys));
}

std::unique_ptr<GraphStore> makeStore(Order order, std::size_t big = 10'000'000,
                                      std::size_t small = 1'000'000) {
  auto store = std::make_unique<GraphStore>();
  fillGraph(store->graph(store->appendGraph("10M")), big, order, 0);
  for (unsigned k = 1; k <= 4; ++k) {
    fillGraph(store->graph(store->appendGraph("1M #" + std::to_string(k))), small, order, k);
  }
  return store;
}

std::unique_ptr<ChartView> makeChart(GraphStore& store) {
  auto chart = std::make_unique<ChartView>();
  chart->resize(1000, 600);
  chart->show();
  QApplication::processEvents();
  chart->setStore(&store);
  return chart;
}

void repaint(benchmark::State& state, ChartView& chart) {
  for (auto _ : state) {
    chart.replot(QCustomPlot::rpImmediateRefresh);
  }
}

// What a repaint costs without graphs: axes, grid, labels, legend, buffers.
void BM_RepaintNoGraphs(benchmark::State& state) {
  GraphStore store;
  auto chart = makeChart(store);
  repaint(state, *chart);
}

void BM_RepaintSorted(benchmark::State& state) {
  auto store = makeStore(Order::Sorted);
  auto chart = makeChart(*store);
  state.SetLabel(chart->plottableForGraph(0)->sortedByX() ? "sorted" : "NOT sorted");
  repaint(state, *chart);
}

void BM_RepaintUnsortedJittered(benchmark::State& state) {
  auto store = makeStore(Order::Jittered);
  auto chart = makeChart(*store);
  state.SetLabel(chart->plottableForGraph(0)->sortedByX() ? "sorted" : "unsorted");
  repaint(state, *chart);
}

// Waits until every graph's exact picture is made (the chart shows a sampled one of a line
// with millions of segments first).
void waitForPictures(ChartView& chart, const GraphStore& store) {
  for (std::size_t i = 0; i < store.count(); ++i) {
    if (auto* p = chart.plottableForGraph(i)) {
      p->waitForRefinement();
    }
  }
}

// The worst case: X in random order, so no two neighbours share a column. Every repaint
// moves the bottom axis by a hair, so the kept pictures cannot serve and every line is
// drawn again, as after a zoom or a transform. The CPU column counts both cores' work (the
// line is drawn in two halves on two threads). Argument 2: 0 times the first picture the
// screen shows (sampled for lines of over a million segments; the exact picture is then
// finished outside the timing), 1 times until the exact picture is on the screen.
void BM_RepaintRandomOrder(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const bool exact = state.range(1) != 0;
  auto store = makeStore(Order::Random, n, n / 10);
  auto chart = makeChart(*store);
  const QCPRange x = chart->xAxis->range();
  bool nudge = false;
  state.SetLabel(exact ? "until the exact picture" : "first picture");
  for (auto _ : state) {
    nudge = !nudge;
    chart->setAxisRange(chart->xAxis, x.lower, nudge ? x.upper * (1 + 1e-9) : x.upper);
    chart->replot(QCustomPlot::rpImmediateRefresh);
    if (exact) {
      waitForPictures(*chart, *store);
      chart->replot(QCustomPlot::rpImmediateRefresh);
    } else {
      state.PauseTiming();
      waitForPictures(*chart, *store);
      state.ResumeTiming();
    }
  }
}

// Four channels of an oscilloscope record: 2,000,000 samples each at 0.4 ns, the pulse and
// its noise quantised to the 8-bit converter's 256 levels, as the scope CSV reader gives them.
std::unique_ptr<GraphStore> makeScopeStore(std::size_t n = 2'000'000) {
  auto store = std::make_unique<GraphStore>();
  std::mt19937_64 rng(7);
  std::normal_distribution<double> noise(0, 0.02);
  for (unsigned channel = 0; channel < 4; ++channel) {
    std::vector<double> xs(n), ys(n);
    const double width = 0.05 * (channel + 1);
    for (std::size_t i = 0; i < n; ++i) {
      const double u = static_cast<double>(i) / static_cast<double>(n);
      xs[i] = 0.4 * static_cast<double>(i);
      const double pulse = std::exp(-std::pow((u - 0.4) / width, 2)) * (1 - 0.2 * channel);
      ys[i] = std::round((pulse + noise(rng)) * 200) / 200;
    }
    store->graph(store->appendGraph("CH" + std::to_string(channel + 1)))
        .setPoints(std::move(xs), std::move(ys));
  }
  return store;
}

// Dragging the window's corner over the scope channels: every frame the chart gets a new
// size, lays itself out, reallocates its buffers, redraws every line and is painted.
void BM_ResizeScopeChannels(benchmark::State& state) {
  auto store = makeScopeStore();
  auto chart = makeChart(*store);
  int frame = 0;
  int lastWidth = 0;
  for (auto _ : state) {
    ++frame;
    const int w = 1000 + 8 * (frame % 25), h = 600 + 4 * (frame % 25);
    chart->resize(w, h);
    QApplication::processEvents();
    QApplication::processEvents();
    lastWidth = chart->axisRect()->width();
  }
  state.SetLabel("plot width " + std::to_string(lastWidth) + " px at the end");
}

// A box zoom on sorted graphs: the view alternates between two boxes inside the data, as a
// user zooming in and out again does; every repaint draws every line anew.
void BM_BoxZoomSorted(benchmark::State& state) {
  auto store = makeStore(Order::Sorted);
  auto chart = makeChart(*store);
  const QCPRange x = chart->xAxis->range(), y = chart->yAxis->range();
  bool inner = false;
  for (auto _ : state) {
    inner = !inner;
    const double shrink = inner ? 0.25 : 0.1;
    chart->setAxisRange(chart->xAxis, x.lower + shrink * x.size(), x.upper - shrink * x.size());
    chart->setAxisRange(chart->yAxis, y.lower + shrink * y.size(), y.upper - shrink * y.size());
    chart->replot(QCustomPlot::rpImmediateRefresh);
  }
}

// The same chart repainted with nothing it shows changed (window activation, legend
// re-layout): the pictures of the random-order lines are drawn from where they were kept.
void BM_RepaintRandomOrderUnchanged(benchmark::State& state) {
  auto store = makeStore(Order::Random);
  auto chart = makeChart(*store);
  repaint(state, *chart);
}

// Wide pens on every graph: width 3 solid, and width 3 dashed.
void BM_RepaintWidePens(benchmark::State& state) {
  auto store = makeStore(Order::Sorted);
  for (std::size_t i = 0; i < store->count(); ++i) {
    store->graph(i).lineWidth = 3;
    store->graph(i).lineStyle = state.range(0) ? tarvik::LineStyle::Dash : tarvik::LineStyle::Solid;
  }
  auto chart = makeChart(*store);
  state.SetLabel(state.range(0) ? "width 3 dashed" : "width 3 solid");
  repaint(state, *chart);
}

void BM_RedrawOverlay(benchmark::State& state) {
  auto store = makeStore(Order::Sorted);
  store->yAxisTitle = "U, В";
  auto chart = makeChart(*store);
  for (auto _ : state) {
    chart->redrawOverlay();
  }
}

// A mouse press asks every plottable for its distance: the reduced line answers it.
void BM_HitTest(benchmark::State& state) {
  auto store = makeStore(Order::Sorted);
  auto chart = makeChart(*store);
  chart->replot();
  const QPointF at = chart->axisRect()->rect().center();
  for (auto _ : state) {
    benchmark::DoNotOptimize(chart->plottableForGraph(0)->selectTest(at, false));
  }
}

class QuietUi final : public tarvik::Ui {
 public:
  std::optional<std::vector<int>> chooseEntries(const tarvik::GraphChoiceRequest&) override {
    return std::nullopt;
  }
  std::optional<std::string> askValueText(const std::string&) override { return std::nullopt; }
  bool editOptions(tarvik::DialogOptions&) override { return false; }
  void message(tarvik::MessageKind, const std::string& text) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
  }
  bool question(const std::string&) override { return false; }
  std::optional<std::vector<std::string>> askOpenFiles(const tarvik::FileDialogRequest&) override {
    return std::nullopt;
  }
  std::optional<std::string> askSaveFile(const tarvik::FileDialogRequest&) override {
    return std::nullopt;
  }
  void rememberFolder(const std::string&) override {}
  void progress(const std::string&) override {}
  char decimalSeparator() const override { return '.'; }
};

// Opening a 10M-line plain graph file: "read" is the reader alone, "picture" is the time
// from the end of reading to the first finished picture (sync, autoscale, repaint).
void BM_OpenToFirstPicture(benchmark::State& state) {
  const std::string path = "/tmp/tarvik-bench-10M.grf";
  {
    GraphStore source;
    fillGraph(source.graph(source.appendGraph("10M")), 10'000'000, Order::Sorted, 0);
    tarvik::writeGraphFile(source.graph(0), source, path, '.');
  }
  double readMs = 0, pictureMs = 0;
  for (auto _ : state) {
    GraphStore store;
    QuietUi ui;
    tarvik::CommandContext ctx{store, ui};
    auto chart = makeChart(store);
    QElapsedTimer timer;
    timer.start();
    const bool ok = tarvik::readGraphFile(ctx, path);
    readMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    chart->syncWithStore();
    chart->replot(QCustomPlot::rpImmediateRefresh);
    pictureMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (!ok || store.count() != 1 || store.graph(0).size() != 10'000'000) {
      state.SkipWithError("the file did not read back as 10M points");
      break;
    }
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["read_ms"] = readMs / n;
  state.counters["picture_ms"] = pictureMs / n;
  std::remove(path.c_str());
}

BENCHMARK(BM_RepaintNoGraphs)->Unit(benchmark::kMillisecond);
// The CPU column is the process's time over all its threads (the reduction of a long
// unsorted line runs on two).
BENCHMARK(BM_RepaintSorted)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(2);
BENCHMARK(BM_RepaintUnsortedJittered)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(2);
BENCHMARK(BM_BoxZoomSorted)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(2);
BENCHMARK(BM_ResizeScopeChannels)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(2);
BENCHMARK(BM_RepaintRandomOrder)
    ->Args({1'000'000, 0})
    ->Args({10'000'000, 0})
    ->Args({10'000'000, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(3);
BENCHMARK(BM_RepaintRandomOrderUnchanged)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintWidePens)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_RedrawOverlay)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HitTest)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenToFirstPicture)->Unit(benchmark::kMillisecond)->Iterations(2);

// Writes the graphs of `store` to `path` for the peer script: per graph its point count
// (a 64-bit integer), then all X, then all Y, native doubles.
bool writeStore(const GraphStore& store, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    return false;
  }
  bool ok = true;
  for (std::size_t i = 0; i < store.count(); ++i) {
    const Graph& g = store.graph(i);
    const std::uint64_t n = g.size();
    ok = ok && std::fwrite(&n, sizeof n, 1, f) == 1 &&
         std::fwrite(g.xs().data(), sizeof(double), n, f) == n &&
         std::fwrite(g.ys().data(), sizeof(double), n, f) == n;
  }
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  // --write-data DIR: the benchmark's graphs for bench/chart_peers.py, then nothing else.
  if (argc == 3 && std::string(argv[1]) == "--write-data") {
    const std::string dir = argv[2];
    const bool ok = writeStore(*makeStore(Order::Sorted), dir + "/sorted.f64") &&
                    writeStore(*makeStore(Order::Jittered), dir + "/jittered.f64") &&
                    writeStore(*makeScopeStore(), dir + "/scope.f64");
    if (!ok) {
      std::fprintf(stderr, "cannot write the data to %s\n", dir.c_str());
    }
    return ok ? 0 : 1;
  }
  QApplication app(argc, argv);
  // --pictures DIR: the screen and an export of each benchmark chart as PNG files, to
  // compare the pictures of two builds.
  if (argc == 3 && std::string(argv[1]) == "--pictures") {
    const std::string dir = argv[2];
    const std::pair<const char*, std::unique_ptr<GraphStore>> charts[] = {
        {"sorted", makeStore(Order::Sorted)},
        {"jittered", makeStore(Order::Jittered)},
        {"scope", makeScopeStore()}};
    bool ok = true;
    for (const auto& [name, store] : charts) {
      auto chart = makeChart(*store);
      chart->replot(QCustomPlot::rpImmediateRefresh);
      ok = chart->grab().save(QString::fromStdString(dir + "/" + name + "-screen.png")) && ok;
      ok = chart->toPixmap(1000, 600).save(
               QString::fromStdString(dir + "/" + name + "-export.png")) &&
           ok;
    }
    return ok ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
