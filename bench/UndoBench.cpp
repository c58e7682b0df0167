// Undo in the graph store on the benchmark document (one 10M-point graph and four 1M-point
// graphs): the point-wise transform "multiply Y" of the 10M-point graph as one undo step,
// then undo and redo of that step. Undo and redo put shared point blocks back, so they
// cost no copy of points; the counters report the bytes the step retains beside the
// document (the changed graph's old Y array and nothing else).
//
//   UndoBench [Google Benchmark options]
#include <benchmark/benchmark.h>

#include <cmath>

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

BENCHMARK(BM_TransformAsUndoStep)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Undo)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_Redo)->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

BENCHMARK_MAIN();
