// Transforms on 10M-point graphs: a point-wise rule, the derivative, RC differentiation,
// the sum of two graphs on a common grid and the running RMS.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "core/Graph.h"
#include "transforms/Calculus.h"
#include "transforms/Pointwise.h"
#include "transforms/RunningStats.h"
#include "transforms/SumProduct.h"

namespace {

constexpr std::size_t kPoints = 10'000'000;

struct Signal {
  std::vector<double> xs, ys;
};

// A damped oscillation on a slightly uneven nanosecond grid.
const Signal& signal() {
  static const Signal s = [] {
    Signal out;
    out.xs.resize(kPoints);
    out.ys.resize(kPoints);
    for (std::size_t i = 0; i < kPoints; ++i) {
      const double t = static_cast<double>(i) * 0.1 + 0.01 * static_cast<double>(i % 3);
      out.xs[i] = t;
      out.ys[i] = std::exp(-t * 1e-6) * std::sin(t * 0.05);
    }
    return out;
  }();
  return s;
}

// Runs `transform` on a fresh copy of the signal each iteration; the copy is not timed.
template <class F>
void timeOnCopy(benchmark::State& state, F transform) {
  const Signal& s = signal();
  Signal work;
  for (auto _ : state) {
    state.PauseTiming();
    work = s;
    state.ResumeTiming();
    transform(work);
    benchmark::DoNotOptimize(work.ys.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

void BM_PointwiseMultiplyY(benchmark::State& state) {
  const Signal& s = signal();
  tarvik::Graph g;
  for (auto _ : state) {
    state.PauseTiming();
    g.setPoints(s.xs, s.ys);
    state.ResumeTiming();
    tarvik::applyPointwise(g, tarvik::PointwiseKind::MultiplyY, 2.5);
    benchmark::DoNotOptimize(g.ys().data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

void BM_PointwiseDecibels(benchmark::State& state) {
  timeOnCopy(state, [](Signal& w) {
    const std::size_t kept = tarvik::dropNonPositiveToDecibels(w.xs, w.ys, 1.0);
    benchmark::DoNotOptimize(kept);
  });
}

void BM_Derivative(benchmark::State& state) {
  timeOnCopy(state,
             [](Signal& w) { benchmark::DoNotOptimize(tarvik::forwardDerivative(w.xs, w.ys)); });
}

void BM_RcDifferentiation(benchmark::State& state) {
  timeOnCopy(state, [](Signal& w) { tarvik::rcDifferentiate(w.xs, w.ys, 15e-9); });
}

// Every step a different length: the table of decay factors never hits.
void BM_RcDifferentiationIrregular(benchmark::State& state) {
  timeOnCopy(state, [](Signal& w) {
    for (std::size_t i = 1; i < w.xs.size(); ++i) {
      w.xs[i] = w.xs[i - 1] + 0.1 + 1e-9 * static_cast<double>(i % 9973);
    }
    tarvik::rcDifferentiate(w.xs, w.ys, 15e-9);
  });
}

void BM_RunningRms(benchmark::State& state) {
  timeOnCopy(state, [](Signal& w) { tarvik::runningRms(w.xs, w.ys); });
}

void BM_SumOfTwoGraphs(benchmark::State& state) {
  const Signal& s = signal();
  tarvik::Graph a, b;
  a.setPoints(s.xs, s.ys);
  std::vector<double> shifted = s.xs;
  for (double& x : shifted) {
    x += 12345.6;
  }
  b.setPoints(std::move(shifted), s.ys);
  const tarvik::Graph* sources[] = {&a, &b};
  std::vector<double> xs, ys;
  for (auto _ : state) {
    const tarvik::CommonGrid grid = tarvik::commonGrid(sources, a.minX(), b.maxX());
    tarvik::combineOnGrid(sources, grid, tarvik::Combination::Sum, xs, ys);
    benchmark::DoNotOptimize(ys.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

}  // namespace

BENCHMARK(BM_PointwiseMultiplyY)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PointwiseDecibels)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Derivative)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RcDifferentiation)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RcDifferentiationIrregular)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RunningRms)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SumOfTwoGraphs)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
