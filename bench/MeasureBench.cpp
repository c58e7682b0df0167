// The live pulse measurement and the cursor statistics on a 10,000,000-point record: a
// noisy pulse on a 0.1 ns grid (1 ms of signal), as a fast digitiser records it.
//
//   MeasureBench [google-benchmark flags]   times the cases below
//   MeasureBench --write-data FILE          writes the record (all X, then all Y, as raw
//                                           native doubles) for the peer script
//   MeasureBench --values                   prints our results as JSON for a cross-check
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "transforms/CursorStats.h"
#include "transforms/PulseMeasurement.h"

namespace {

constexpr std::size_t kPoints = 10'000'000;
constexpr double kStep = 0.1;                  // ns between samples
constexpr double kStart = 300'000;             // the pulse starts 30 % into the record
constexpr double kRise = 2'000;                // rise constant, ns (about 44 µs 10–90 %)
constexpr double kFall = 300'000;              // decay constant, ns
constexpr double kAmplitude = 5;               // V
constexpr double kBaseline = 0.02;             // V, a small pedestal
constexpr double kNoise = 0.05;                // V, standard deviation of the noise
constexpr double kNarrowMin = kStart - 1'000;  // a zoomed view over the leading edge:
constexpr double kNarrowMax = kStart + 9'000;  // 100,000 points

struct Record {
  std::vector<double> xs, ys;
};

// A double-exponential pulse with white noise; X ascends strictly.
const Record& record() {
  static const Record r = [] {
    Record out;
    out.xs.resize(kPoints);
    out.ys.resize(kPoints);
    std::mt19937_64 engine(20261208);
    std::normal_distribution<double> noise(0.0, kNoise);
    for (std::size_t i = 0; i < kPoints; ++i) {
      const double t = static_cast<double>(i) * kStep;
      double y = kBaseline + noise(engine);
      if (t > kStart) {
        const double u = t - kStart;
        y += kAmplitude * (1 - std::exp(-u / kRise)) * std::exp(-u / kFall);
      }
      out.xs[i] = t;
      out.ys[i] = y;
    }
    return out;
  }();
  return r;
}

tarvik::PulseMeasurementInput measureInput(double lo, double hi, bool ascending) {
  const Record& r = record();
  tarvik::PulseMeasurementInput in;
  in.xs = r.xs;
  in.ys = r.ys;
  in.visibleMin = lo;
  in.visibleMax = hi;
  in.method = tarvik::DurationMethod::From50Percent;
  in.sensorText = "0.0";
  in.xFiniteAscending = ascending;
  return in;
}

void runMeasure(benchmark::State& state, const tarvik::PulseMeasurementInput& in) {
  for (auto _ : state) {
    tarvik::PulseMeasurement m = tarvik::measurePulse(in);
    benchmark::DoNotOptimize(m);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

// The chart's case: the graph is known to ascend and the whole of it is on the screen.
void BM_MeasureFullyVisible(benchmark::State& state) {
  const Record& r = record();
  runMeasure(state, measureInput(r.xs.front(), r.xs.back(), true));
}

// Zoomed in on the leading edge: the visible points are found by binary search.
void BM_MeasureNarrowRange(benchmark::State& state) {
  runMeasure(state, measureInput(kNarrowMin, kNarrowMax, true));
}

// The same record when the order is not known: every point is tested against the range.
void BM_MeasureUnknownOrder(benchmark::State& state) {
  const Record& r = record();
  runMeasure(state, measureInput(r.xs.front(), r.xs.back(), false));
}

// Cursors at both ends of the record: every point is between them.
void BM_CursorStatsAll(benchmark::State& state) {
  const Record& r = record();
  for (auto _ : state) {
    tarvik::CursorStats s = tarvik::cursorStats(r.xs, r.ys, r.xs.front(), r.xs.back());
    benchmark::DoNotOptimize(s);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

BENCHMARK(BM_MeasureFullyVisible)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureNarrowRange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureUnknownOrder)->Unit(benchmark::kMillisecond);
// Both cores may work on it: the CPU time is the whole process's.
BENCHMARK(BM_CursorStatsAll)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

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

void printOptional(const char* name, const std::optional<double>& v, bool last = false) {
  if (v) {
    std::printf("\"%s\": %.17g%s", name, *v, last ? "" : ", ");
  } else {
    std::printf("\"%s\": null%s", name, last ? "" : ", ");
  }
}

void printMeasurement(const char* name, const tarvik::PulseMeasurement& m) {
  std::printf("\"%s\": {\"amplitude\": %.17g, ", name, m.amplitude);
  printOptional("t10", m.t10);
  printOptional("t50r", m.t50r);
  printOptional("t90", m.t90);
  printOptional("t50f", m.t50f, true);
  std::printf("}");
}

int printValues() {
  const Record& r = record();
  std::printf("{");
  printMeasurement("full", tarvik::measurePulse(measureInput(r.xs.front(), r.xs.back(), true)));
  std::printf(", ");
  printMeasurement("narrow", tarvik::measurePulse(measureInput(kNarrowMin, kNarrowMax, true)));
  const tarvik::CursorStats s = tarvik::cursorStats(r.xs, r.ys, r.xs.front(), r.xs.back());
  std::printf(", \"cursors\": {\"count\": %zu, ", s.count);
  printOptional("y1", s.y1);
  printOptional("y2", s.y2);
  printOptional("min", s.min);
  printOptional("max", s.max);
  printOptional("mean", s.mean);
  printOptional("rms", s.rms);
  printOptional("integral", s.integral, true);
  std::printf("}, \"narrow_range\": [%.17g, %.17g]}\n", kNarrowMin, kNarrowMax);
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
