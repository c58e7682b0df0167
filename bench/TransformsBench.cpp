// Transforms on 10M-point graphs: a point-wise rule, the derivative, RC differentiation,
// the sum of two graphs on a common grid and the running RMS; and copies of the same bytes
// the derivative, the sum and RC move, the memory floor they are held against.
//
//   TransformsBench [Google Benchmark options]
//   TransformsBench --write-data DIR   the inputs, as raw native doubles, for the numpy peer
//   TransformsBench --values DIR       our derivative, sum and irregular RC of those inputs
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
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

constexpr double kTau = 15e-9;

// The signal on a grid where every step has a different length: the table of decay factors
// never hits.
const Signal& irregularSignal() {
  static const Signal s = [] {
    Signal out = signal();
    for (std::size_t i = 1; i < out.xs.size(); ++i) {
      out.xs[i] = out.xs[i - 1] + 0.1 + 1e-9 * static_cast<double>(i % 9973);
    }
    return out;
  }();
  return s;
}

void BM_RcDifferentiationIrregular(benchmark::State& state) {
  const Signal& s = irregularSignal();
  std::vector<double> ys;
  for (auto _ : state) {
    state.PauseTiming();
    ys = s.ys;
    state.ResumeTiming();
    tarvik::rcDifferentiate(s.xs, ys, kTau);
    benchmark::DoNotOptimize(ys.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

// The memory floor: copying `arrays` arrays of kPoints doubles into as many others moves
// the bytes given as read + written (a copy reads and writes equally). The derivative reads
// and writes X and Y (2 arrays); irregular RC reads X and Y and writes Y (1.5); the sum
// reads four source arrays and writes the grid's X and Y (3).
void BM_CopyBytes(benchmark::State& state) {
  const std::size_t arrays = static_cast<std::size_t>(state.range(0));
  const std::vector<double> from(arrays * kPoints, 1.5);
  std::vector<double> to(arrays * kPoints, 0.5);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * sizeof(double));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * 2 * from.size() * sizeof(double)));
}

void BM_RunningRms(benchmark::State& state) {
  timeOnCopy(state, [](Signal& w) { tarvik::runningRms(w.xs, w.ys); });
}

// Two graphs on different grids: the signal, and the same values on its grid shifted by a
// length that is no multiple of the step.
struct TwoGraphs {
  tarvik::Graph a, b;
  double chartMinX = 0, chartMaxX = 0;  // the chart's range, known before the command
};

const TwoGraphs& twoGraphs() {
  static const TwoGraphs t = [] {
    TwoGraphs out;
    const Signal& s = signal();
    out.a.setPoints(s.xs, s.ys);
    std::vector<double> shifted = s.xs;
    for (double& x : shifted) {
      x += 12345.6;
    }
    out.b.setPoints(std::move(shifted), s.ys);
    out.chartMinX = out.a.minX();
    out.chartMaxX = out.b.maxX();
    return out;
  }();
  return t;
}

void sumOfTwo(std::vector<double>& xs, std::vector<double>& ys) {
  const TwoGraphs& t = twoGraphs();
  const tarvik::Graph* sources[] = {&t.a, &t.b};
  const tarvik::CommonGrid grid = tarvik::commonGrid(sources, t.chartMinX, t.chartMaxX);
  tarvik::combineOnGrid(sources, grid, tarvik::Combination::Sum, xs, ys);
}

// The result written over the previous one's memory (the steady state of the loop).
void BM_SumOfTwoGraphs(benchmark::State& state) {
  twoGraphs();
  static std::vector<double> xs, ys;
  for (auto _ : state) {
    sumOfTwo(xs, ys);
    benchmark::DoNotOptimize(ys.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

// A new result every time, as the chart gets it: the 160 MB are mapped and zeroed first.
void BM_SumOfTwoGraphsNewResult(benchmark::State& state) {
  twoGraphs();
  for (auto _ : state) {
    std::vector<double> xs, ys;
    sumOfTwo(xs, ys);
    benchmark::DoNotOptimize(ys.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

bool writeDoubles(const std::string& path,
                  std::initializer_list<const std::vector<double>*> arrays) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    std::perror(path.c_str());
    return false;
  }
  bool ok = true;
  for (const std::vector<double>* a : arrays) {
    ok = ok && std::fwrite(a->data(), sizeof(double), a->size(), f) == a->size();
  }
  return std::fclose(f) == 0 && ok;
}

// The inputs: signal.f64 (X then Y; the derivative's input and the first graph of the sum),
// shifted.f64 (the second graph's X), irregular.f64 (X then Y of irregular RC).
int writeData(const std::string& dir) {
  const Signal& s = signal();
  const Signal& r = irregularSignal();
  const std::vector<double> shifted(twoGraphs().b.xs().begin(), twoGraphs().b.xs().end());
  const bool ok = writeDoubles(dir + "/signal.f64", {&s.xs, &s.ys}) &&
                  writeDoubles(dir + "/shifted.f64", {&shifted}) &&
                  writeDoubles(dir + "/irregular.f64", {&r.xs, &r.ys});
  return ok ? 0 : 1;
}

// Our results on those inputs: derivative.f64 (the n − 1 X then Y), sum.f64 (X then Y),
// rc.f64 (Y).
int writeValues(const std::string& dir) {
  Signal d = signal();
  if (tarvik::forwardDerivative(d.xs, d.ys)) {
    std::fputs("derivative fault\n", stderr);
    return 1;
  }
  d.xs.pop_back();
  d.ys.pop_back();
  std::vector<double> sx, sy;
  sumOfTwo(sx, sy);
  std::vector<double> rc = irregularSignal().ys;
  tarvik::rcDifferentiate(irregularSignal().xs, rc, kTau);
  const bool ok = writeDoubles(dir + "/derivative.f64", {&d.xs, &d.ys}) &&
                  writeDoubles(dir + "/sum.f64", {&sx, &sy}) &&
                  writeDoubles(dir + "/rc.f64", {&rc});
  return ok ? 0 : 1;
}

}  // namespace

BENCHMARK(BM_PointwiseMultiplyY)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PointwiseDecibels)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Derivative)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RcDifferentiation)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
// Both cores may work in these two: their CPU time is the whole process's.
BENCHMARK(BM_RcDifferentiationIrregular)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_RunningRms)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SumOfTwoGraphs)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_SumOfTwoGraphsNewResult)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_CopyBytes)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-data") == 0) {
    return writeData(argv[2]);
  }
  if (argc == 3 && std::strcmp(argv[1], "--values") == 0) {
    return writeValues(argv[2]);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
