// Undo in the graph store on the benchmark document (one 10M-point graph and four 1M-point
// graphs): the point-wise transform "multiply Y" of the 10M-point graph as one undo step,
// then undo and redo of that step. Undo and redo put shared point blocks back, so they
// cost no copy of points; the counters report the bytes the step retains beside the
// document (the changed graph's old Y array and nothing else).
//
// ManyGraphs: a document of 200,000 two-point graphs and 100 commands that each change one
// of them, the cost a step has when it should depend on the graphs changed, not on the
// document's size; the counters give the bytes the history holds and the process's peak.
//
//   UndoBench [Google Benchmark options]    (--benchmark_filter=ManyGraphs for that one)
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <memory>
#include <string>

#include "core/GraphStore.h"
#include "transforms/Pointwise.h"

namespace {

using tarvik::Graph;
using tarvik::GraphStore;

void fill(GraphStore& store) {
  for (std::size_t n : {10'000'000, 1'000'000, 1'000'000, 1'000'000, 1'000'000}) {
    std::vector<double> xs(n), ys(n);
    for (std::size_t i = 0; i < n; ++i) {
      xs[i] = static_cast<double>(i) * 0.1;
      ys[i] = std::sin(static_cast<double>(i) * 1e-3);
    }
    Graph g;
    g.setPoints(std::move(xs), std::move(ys));
    store.attachGraph(std::move(g), "g");
  }
  store.setActiveIndex(0);
}

// The transform as a command runs it: one step around the point-wise rule.
void multiplyY(GraphStore& store) {
  store.beginStep("Умножение по Y");
  tarvik::applyPointwise(store.graph(0), tarvik::PointwiseKind::MultiplyY, 1.5);
  store.endStep();
}

void BM_TransformAsUndoStep(benchmark::State& state) {
  GraphStore store;
  fill(store);
  for (auto _ : state) {
    multiplyY(store);
  }
  state.counters["retained_MB"] =
      static_cast<double>(store.history().retainedBytes(store.state())) / 1e6;
}

void BM_Undo(benchmark::State& state) {
  GraphStore store;
  fill(store);
  multiplyY(store);
  for (auto _ : state) {
    store.undo();
    state.PauseTiming();
    store.redo();
    state.ResumeTiming();
  }
  state.counters["retained_MB"] =
      static_cast<double>(store.history().retainedBytes(store.state())) / 1e6;
}

void BM_Redo(benchmark::State& state) {
  GraphStore store;
  fill(store);
  multiplyY(store);
  for (auto _ : state) {
    state.PauseTiming();
    store.undo();
    state.ResumeTiming();
    store.redo();
  }
}

void BM_ManyGraphs(benchmark::State& state) {
  constexpr std::size_t kGraphs = 200'000;
  constexpr std::size_t kCommands = 100;
  for (auto _ : state) {
    state.PauseTiming();
    auto store = std::make_unique<GraphStore>();
    for (std::size_t i = 0; i < kGraphs; ++i) {
      Graph g;
      g.title = "Канал " + std::to_string(i);
      g.setPoints({0.0, 1.0}, {static_cast<double>(i), 1.0});
      store->attachGraph(std::move(g), "g" + std::to_string(i) + ".grf");
    }
    store->setActiveIndex(0);
    state.ResumeTiming();
    for (std::size_t k = 0; k < kCommands; ++k) {
      store->beginStep("Умножение по Y");
      tarvik::applyPointwise(store->graph(k * 1999 % kGraphs), tarvik::PointwiseKind::MultiplyY,
                             1.5);
      store->endStep();
    }
    state.PauseTiming();
    state.counters["steps"] = static_cast<double>(store->history().undoCount());
    state.counters["retained_MB"] =
        static_cast<double>(store->history().retainedBytes(store->state())) / 1e6;
    store.reset();
    state.ResumeTiming();
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

BENCHMARK(BM_TransformAsUndoStep)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Undo)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_Redo)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_ManyGraphs)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
