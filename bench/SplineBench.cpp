// Spline curves through a 1,000,000-point graph and the calibration conversion of a
// 10,000,000-point sensor record.
//
//   SplineBench [google-benchmark flags]   times the cases below
//   SplineBench --write-data FILE          writes the 1,000,000-point graph (all X, then
//                                          all Y, as raw native doubles) for the peer script
//   SplineBench --values                   prints sample points of our B-spline as JSON for
//                                          a cross-check with the peer
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "synth/Calibration.h"
#include "synth/Spline.h"

namespace {

constexpr std::size_t kGraphPoints = 1'000'000;
constexpr std::size_t kRecordPoints = 10'000'000;

struct Points {
  std::vector<double> xs, ys;
};

// A noisy damped oscillation on a 0.1 ns grid: the kind of graph a spline is drawn through.
const Points& graph() {
  static const Points g = [] {
    Points out;
    out.xs.resize(kGraphPoints);
    out.ys.resize(kGraphPoints);
    std::mt19937_64 engine(20261208);
    std::normal_distribution<double> noise(0.0, 0.01);
    for (std::size_t i = 0; i < kGraphPoints; ++i) {
      const double t = static_cast<double>(i) * 0.1;
      out.xs[i] = t;
      out.ys[i] = std::exp(-t / 40'000) * std::sin(t / 500) + noise(engine);
    }
    return out;
  }();
  return g;
}

// A sensor record in volts: a bipolar pulse train spanning the calibration table, with a
// little of it above the table's end.
const std::vector<double>& sensorRecord() {
  static const std::vector<double> ys = [] {
    std::vector<double> out(kRecordPoints);
    std::mt19937_64 engine(7);
    std::normal_distribution<double> noise(0.0, 0.02);
    for (std::size_t i = 0; i < kRecordPoints; ++i) {
      out[i] = 5.5 * std::sin(static_cast<double>(i) * 1e-4) + noise(engine);
    }
    return out;
  }();
  return ys;
}

// A measured, slightly non-linear characteristic: 25 records from 0.2 V to 5 V.
tarvik::synth::CalibrationTable calibrationTable() {
  std::vector<tarvik::synth::CalibrationRecord> records;
  for (int i = 1; i <= 25; ++i) {
    const double u = 0.2 * i;
    records.push_back({static_cast<float>(10 * u + 0.3 * u * u), static_cast<float>(u)});
  }
  return tarvik::synth::CalibrationTable(std::move(records));
}

// Page faults of the whole process so far (the curve's new pages are most of them).
double processPageFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_minflt + usage.ru_majflt);
}

void BM_BSpline1M(benchmark::State& state) {
  const Points& g = graph();
  std::size_t made = 0;
  const double faultsBefore = processPageFaults();
  for (auto _ : state) {
    tarvik::PointArrays curve = tarvik::synth::quadraticBSpline(g.xs, g.ys);
    made = curve.xs.size();
    benchmark::DoNotOptimize(curve.xs.data());
  }
  state.counters["output_points"] = static_cast<double>(made);
  state.counters["page_faults"] =
      benchmark::Counter(processPageFaults() - faultsBefore, benchmark::Counter::kAvgIterations);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * made));
}

void BM_CatmullRom1M(benchmark::State& state) {
  const Points& g = graph();
  std::size_t made = 0;
  for (auto _ : state) {
    tarvik::PointArrays curve = tarvik::synth::catmullRomCurve(g.xs, g.ys);
    made = curve.xs.size();
    benchmark::DoNotOptimize(curve.xs.data());
  }
  state.counters["output_points"] = static_cast<double>(made);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * made));
}

void BM_Calibration10M(benchmark::State& state) {
  const std::vector<double>& ys = sensorRecord();
  const tarvik::synth::CalibrationTable table = calibrationTable();
  std::vector<double> out(ys.size());
  for (auto _ : state) {
    tarvik::synth::calibrateValues(table, ys, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * ys.size()));
}

// The two coordinates run on two threads: the CPU time is the whole process's.
BENCHMARK(BM_BSpline1M)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_CatmullRom1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Calibration10M)->Unit(benchmark::kMillisecond);

int writeData(const char* path) {
  const Points& g = graph();
  std::FILE* f = std::fopen(path, "wb");
  if (f == nullptr) {
    std::perror(path);
    return 1;
  }
  const bool ok = std::fwrite(g.xs.data(), sizeof(double), kGraphPoints, f) == kGraphPoints &&
                  std::fwrite(g.ys.data(), sizeof(double), kGraphPoints, f) == kGraphPoints;
  if (std::fclose(f) != 0 || !ok) {
    std::fprintf(stderr, "%s: write failed\n", path);
    return 1;
  }
  return 0;
}

// Sample points of the B-spline: index, x, y.
int printValues() {
  const Points& g = graph();
  const tarvik::PointArrays curve = tarvik::synth::quadraticBSpline(g.xs, g.ys);
  const std::size_t last = curve.xs.size() - 1;
  const std::size_t samples[] = {0, 1, 9, 10, 11, 12'345, 4'999'995, last - 1, last};
  std::printf("{\"count\": %zu, \"points\": [", curve.xs.size());
  for (std::size_t k = 0; k < std::size(samples); ++k) {
    const std::size_t i = samples[k];
    std::printf("%s[%zu, %.9g, %.9g]", k ? ", " : "", i, curve.xs[i], curve.ys[i]);
  }
  std::printf("]}\n");
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
