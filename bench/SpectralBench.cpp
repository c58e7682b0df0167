// Spectral benchmarks: the FFT routine (amplitude and phase of a real single-precision
// signal), the DFT-path spectrum (K = 1000 frequencies, one call including every set-up)
// and the plain direct double sum it replaces, for scale. Peers: bench/spectral_peers.py;
// bench/run_spectral_bench.sh runs both and prints the ratios.
//
// `SpectralBench --accuracy` instead prints the largest error of the fast spectrum against
// the direct double sum, relative to Σ|x|, on a subset of frequencies.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "../tests/spectral/ReferenceSums.h"
#include "spectral/Fft.h"
#include "spectral/Spectrum.h"

namespace {

using namespace tarvik::spectral;

constexpr std::size_t kFrequencies = 1000;
// Sampled at 1 GHz·2 with the default 1 MHz grid up to 1 GHz.
constexpr double kSampleStep = 0.5e-9;
constexpr double kFrequencyStep = 1e6;

std::vector<float> signal(std::size_t n) {
  std::mt19937 gen(42);
  std::normal_distribution<float> dist(0.0f, 1.0f);
  std::vector<float> x(n);
  for (float& v : x) {
    v = dist(gen);
  }
  return x;
}

void BM_FastTransform(benchmark::State& state) {
  const std::size_t n = std::size_t{1} << state.range(0);
  const std::vector<float> x = signal(n);
  std::vector<float> amplitude(n / 2), phase(n / 2);
  for (auto _ : state) {
    fastTransform(x, 1.0f, amplitude, phase);
    benchmark::DoNotOptimize(amplitude.data());
  }
}
BENCHMARK(BM_FastTransform)->Arg(20)->Arg(24)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DftSpectrum(benchmark::State& state) {
  const auto m = static_cast<std::size_t>(state.range(0));
  const std::vector<float> x = signal(m);
  std::vector<double> re(kFrequencies), im(kFrequencies);
  for (auto _ : state) {
    const DftSums sums(x, kSampleStep, kFrequencyStep);
    sums.compute(0, kFrequencies, re.data(), im.data(), [](double) { return true; });
    benchmark::DoNotOptimize(re.data());
  }
}
BENCHMARK(BM_DftSpectrum)
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The plain direct double sum on 20000 samples × 1000 frequencies; scale by pairs.
void BM_DirectSum(benchmark::State& state) {
  const std::vector<float> x = signal(20000);
  for (auto _ : state) {
    const auto ref = tarvik::testing::referenceDft(x, kSampleStep, kFrequencyStep, 0, kFrequencies);
    benchmark::DoNotOptimize(ref.re.data());
  }
  state.counters["ns_per_pair"] =
      benchmark::Counter(20000.0 * kFrequencies, benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}
BENCHMARK(BM_DirectSum)->Unit(benchmark::kMillisecond)->UseRealTime();

// Small K: the rotation recurrence, eight frequencies at a time.
void BM_RotationSum(benchmark::State& state) {
  const std::vector<float> x = signal(1000000);
  std::vector<double> re(16), im(16);
  for (auto _ : state) {
    DftSums(x, kSampleStep, kFrequencyStep, 0, SumMethod::Direct)
        .compute(0, 16, re.data(), im.data(), [](double) { return true; });
    benchmark::DoNotOptimize(re.data());
  }
  state.counters["ns_per_pair"] = benchmark::Counter(
      16e6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RotationSum)->Unit(benchmark::kMillisecond)->UseRealTime();

int accuracy() {
  for (std::size_t m : {std::size_t{1000000}, std::size_t{10000000}}) {
    const std::vector<float> x = signal(m);
    double sumAbs = 0;
    for (float v : x) {
      sumAbs += std::fabs(v);
    }
    std::vector<double> re(kFrequencies), im(kFrequencies);
    DftSums(x, kSampleStep, kFrequencyStep)
        .compute(0, kFrequencies, re.data(), im.data(), [](double) { return true; });
    double worst = 0;
    for (std::size_t k = 0; k < kFrequencies; k += 97) {  // 11 frequencies across the grid
      const auto ref = tarvik::testing::referenceDft(x, kSampleStep, kFrequencyStep,
                                                     static_cast<std::int64_t>(k), 1);
      worst = std::max(worst, std::hypot(re[k] - ref.re[0], im[k] - ref.im[0]));
    }
    std::printf("{\"M\": %zu, \"error_over_sum_abs\": %.3e}\n", m, worst / sumAbs);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--accuracy") == 0) {
    return accuracy();
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
