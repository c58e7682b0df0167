// The statistics of every pulse (pulse-stats) on a 10,000,000-point record holding 10,000
// noisy trapezoid pulses: 1,000 samples per period, edges of 40 samples, white noise of
// 2 % of the amplitude, as a pulse generator's output recorded by a fast digitiser.
//
//   PulseStatsBench [google-benchmark flags]   times the cases below
//   PulseStatsBench --write-data FILE          writes the record (all X, then all Y, as raw
//                                              native doubles) for the peer script
//   PulseStatsBench --values                   prints our statistics as JSON for a
//                                              cross-check
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "PulseTrain.h"
#include "transforms/PulseStatistics.h"

namespace {

constexpr std::size_t kPoints = 10'000'000;

using Record = tarvik::bench::PulseTrain;

const Record& record() {
  static const Record r = tarvik::bench::pulseTrain(kPoints);
  return r;
}

tarvik::PulseStatistics pulseStats(const tarvik::PulseOptions& options) {
  const Record& r = record();
  const tarvik::PulseSetup setup =
      tarvik::preparePulseMeasurement(r.xs, r.ys, std::nullopt, std::nullopt, options);
  tarvik::PulseStatistics stats;
  if (!setup.error) {
    tarvik::walkTransitions(setup.points, setup.levels, setup.reference, options, stats);
  }
  return stats;
}

// The whole command: the points, the histogram levels, every transition and pulse, the
// statistics.
void BM_PulseStats(benchmark::State& state) {
  const tarvik::PulseOptions options;
  record();
  for (auto _ : state) {
    tarvik::PulseStatistics stats = pulseStats(options);
    benchmark::DoNotOptimize(stats);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

// The parts: choosing the points and the histogram levels, then the walk alone.
void BM_HistogramLevels(benchmark::State& state) {
  const Record& r = record();
  const tarvik::PulseOptions options;
  for (auto _ : state) {
    tarvik::PulseSetup setup =
        tarvik::preparePulseMeasurement(r.xs, r.ys, std::nullopt, std::nullopt, options);
    benchmark::DoNotOptimize(setup);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

void BM_TransitionWalk(benchmark::State& state) {
  const Record& r = record();
  const tarvik::PulseOptions options;
  const tarvik::PulseSetup setup =
      tarvik::preparePulseMeasurement(r.xs, r.ys, std::nullopt, std::nullopt, options);
  for (auto _ : state) {
    tarvik::PulseStatistics stats;
    tarvik::walkTransitions(setup.points, setup.levels, setup.reference, options, stats);
    benchmark::DoNotOptimize(stats);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

BENCHMARK(BM_PulseStats)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistogramLevels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TransitionWalk)->Unit(benchmark::kMillisecond);

int writeData(const char* path) {
  const Record& r = record();
  std::FILE* f = std::fopen(path, "wb");
  if (f == nullptr) {
    std::perror(path);
    return 1;
  }
  const bool ok = std::fwrite(r.xs.data(), sizeof(double), kPoints, f) == kPoints &&
                  std::fwrite(r.ys.data(), sizeof(double), kPoints, f) == kPoints;
  if (std::fclose(f) != 0 || !ok) {
    std::fprintf(stderr, "%s: write failed\n", path);
    return 1;
  }
  return 0;
}

void printOptional(const std::optional<double>& v) {
  if (v) {
    std::printf("%.17g", *v);
  } else {
    std::printf("null");
  }
}

int printValues() {
  const tarvik::PulseOptions options;
  const Record& r = record();
  const tarvik::PulseSetup setup =
      tarvik::preparePulseMeasurement(r.xs, r.ys, std::nullopt, std::nullopt, options);
  const tarvik::PulseStatistics stats = pulseStats(options);
  std::printf("{\"low\": %.17g, \"high\": %.17g", setup.levels.low, setup.levels.high);
  for (std::size_t k = 0; k < tarvik::kPulseMetricCount; ++k) {
    const tarvik::MetricSummary s = stats.summary(static_cast<tarvik::PulseMetric>(k));
    std::printf(", \"%s\": {\"count\": %zu, \"mean\": ",
                std::string(tarvik::kPulseMetricNames[k]).c_str(), s.count);
    printOptional(s.mean);
    std::printf(", \"std\": ");
    printOptional(s.stdDev);
    std::printf(", \"min\": ");
    printOptional(s.min);
    std::printf(", \"max\": ");
    printOptional(s.max);
    std::printf("}");
  }
  std::printf("}\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-data") == 0) {
    return writeData(argv[2]);
  }
  if (argc == 2 && std::strcmp(argv[1], "--values") == 0) {
    return printValues();
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
