// Convolution with a step response: a noisy pulse recorded on a 0.1 ns grid convolved with
// a settling step response on the same grid (the FFT form), and the same on a jittered grid
// (the term-by-term form on two cores).
//
//   ConvolutionBench [google-benchmark flags]       times the cases below
//   ConvolutionBench --write-data DIR POINTS         writes DIR/signal.grf and
//                                                    DIR/response.grf, POINTS points each,
//                                                    as plain graph files for the batch run
//                                                    and the peer script
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/GraphStore.h"
#include "io/GraphWriter.h"
#include "spectral/Convolution.h"

namespace {

constexpr double kStep = 0.1;  // ns between samples

struct Pair {
  std::vector<double> xs, ys, xh, yh;
};

// A pulse rising at 30 % of the record and decaying, with noise; the response settles with
// a time constant of 40 samples.
Pair makePair(std::size_t points, bool jitter) {
  Pair p;
  std::mt19937_64 engine(20261208);
  std::normal_distribution<double> noise(0.0, 0.01);
  std::uniform_real_distribution<double> shake(-0.3, 0.3);
  const double start = 0.3 * static_cast<double>(points) * kStep;
  for (std::size_t i = 0; i < points; ++i) {
    const double t = static_cast<double>(i) * kStep;
    const double x = jitter && i > 0 ? t + shake(engine) * kStep : t;
    double y = noise(engine);
    if (x > start) {
      y += (1 - std::exp(-(x - start) / 50)) * std::exp(-(x - start) / 20000);
    }
    p.xs.push_back(x);
    p.ys.push_back(y);
    p.xh.push_back(t);
    p.yh.push_back(1 - std::exp(-t / (40 * kStep)));
  }
  return p;
}

void writeGraph(const std::vector<double>& xs, const std::vector<double>& ys,
                const std::string& path) {
  tarvik::Graph g;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    g.appendPoint(xs[i], ys[i]);
  }
  tarvik::writeGraphFile(g, tarvik::GraphStore{}, path, '.');
}

void convolve(benchmark::State& state, bool jitter) {
  const Pair p = makePair(static_cast<std::size_t>(state.range(0)), jitter);
  for (auto _ : state) {
    std::vector<double> out = tarvik::spectral::duhamelConvolution(p.xs, p.ys, p.xh, p.yh);
    benchmark::DoNotOptimize(out.data());
  }
}

void BM_ConvolveUniform(benchmark::State& state) { convolve(state, false); }
void BM_ConvolveJittered(benchmark::State& state) { convolve(state, true); }

BENCHMARK(BM_ConvolveUniform)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ConvolveJittered)
    ->Arg(10'000)
    ->Arg(30'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--write-data") == 0) {
    const Pair p = makePair(static_cast<std::size_t>(std::atol(argv[3])), false);
    const std::string dir = argv[2];
    writeGraph(p.xs, p.ys, dir + "/signal.grf");
    writeGraph(p.xh, p.yh, dir + "/response.grf");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
