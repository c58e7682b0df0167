// What a window adds to a spectrum: the whole spectrum command on one graph (resampling,
// window, transform, the amplitude graph), without a window and with one, alternately:
//  - FFT path: a graph of 2^20 points (N = 2^20, every bin kept);
//  - DFT path: a graph of 10^6 points over 0.5 ms with the default grid (0 … 1 GHz, step
//    1 MHz: M = 10^6 samples, K = 1000 frequencies).
// Each iteration of BM_WindowAdded times one rectangular and one windowed spectrum (which
// goes first changes every iteration) and keeps their ratio, so a load that drifts during the
// run touches both alike; the counters are the medians: CPU and wall time of each and the
// added share, in per cent. CPU time is the process's, so work on other threads counts.
// Peer: bench/window_peers.py (numpy.fft.rfft with and without scipy's window);
// bench/run_window_bench.sh runs both, alternately, and prints the table.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <random>
#include <vector>

#include "../tests/support/ScriptedUi.h"
#include "spectral/SpectrumCommand.h"
#include "spectral/SpectrumWindows.h"

namespace {

using namespace tarvik;
using namespace tarvik::spectral;

Graph noisyPulse(std::size_t n, double lengthNs) {
  std::mt19937 gen(7);
  std::normal_distribution<double> noise(0.0, 0.01);
  Graph g;
  g.title = "Импульс";
  for (std::size_t i = 0; i < n; ++i) {
    const double x = lengthNs * static_cast<double>(i) / static_cast<double>(n - 1);
    g.appendPoint(x, std::exp(-std::pow((x - lengthNs / 3) / (lengthNs / 20), 2)) + noise(gen));
  }
  return g;
}

double processCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n == 0 ? 0 : n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One spectrum command on the store's first graph with the given window; its CPU and wall
// seconds (the removal of the graphs it appended is not counted).
struct Timing {
  double cpu = 0, wall = 0;
};
Timing timedSpectrum(GraphStore& store, testing::ScriptedUi& ui, SpectrumOptions& options,
                     WindowKind window) {
  options.window = window;
  ui.selections.push_back(std::vector<int>{0});
  CommandContext ctx{store, ui};
  const double cpu0 = processCpuSeconds();
  const auto wall0 = std::chrono::steady_clock::now();
  spectrumCommand(ctx);
  Timing t;
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  t.cpu = processCpuSeconds() - cpu0;
  while (store.count() > 1) {
    store.removeGraph(store.count() - 1);
  }
  ui.progressTexts.clear();
  return t;
}

// range(0): 0 = FFT path, 1 = DFT path; range(1): the window (WindowKind, not rectangular).
void BM_WindowAdded(benchmark::State& state) {
  const bool fftPath = state.range(0) == 0;
  const auto window = static_cast<WindowKind>(state.range(1));
  GraphStore store;
  store.attachGraph(
      fftPath ? noisyPulse(std::size_t{1} << 20, 1048575.0) : noisyPulse(1000000, 5e5), "f");
  SpectrumOptions options;
  options.kind = fftPath ? SpectrumOptions::Kind::Fft : SpectrumOptions::Kind::Dft;
  options.fMax = fftPath ? "1e12" : "1e9";
  testing::ScriptedUi ui;
  ui.options = [&options](DialogOptions& d) {
    static_cast<SpectrumOptions&>(d) = options;
    return true;
  };
  // One untimed pair first: the allocator and the caches settle before the timed pairs.
  timedSpectrum(store, ui, options, WindowKind::Rectangular);
  timedSpectrum(store, ui, options, window);
  std::vector<double> plainCpu, plainWall, windowCpu, windowWall, cpuRatio, wallRatio;
  bool windowFirst = false;
  for (auto _ : state) {
    Timing plain, weighted;
    if (windowFirst) {
      weighted = timedSpectrum(store, ui, options, window);
      plain = timedSpectrum(store, ui, options, WindowKind::Rectangular);
    } else {
      plain = timedSpectrum(store, ui, options, WindowKind::Rectangular);
      weighted = timedSpectrum(store, ui, options, window);
    }
    windowFirst = !windowFirst;
    plainCpu.push_back(plain.cpu);
    plainWall.push_back(plain.wall);
    windowCpu.push_back(weighted.cpu);
    windowWall.push_back(weighted.wall);
    cpuRatio.push_back(weighted.cpu / plain.cpu);
    wallRatio.push_back(weighted.wall / plain.wall);
  }
  state.counters["plain_cpu_ms"] = median(plainCpu) * 1e3;
  state.counters["plain_wall_ms"] = median(plainWall) * 1e3;
  state.counters["window_cpu_ms"] = median(windowCpu) * 1e3;
  state.counters["window_wall_ms"] = median(windowWall) * 1e3;
  state.counters["added_cpu_pct"] = (median(cpuRatio) - 1) * 100;
  state.counters["added_wall_pct"] = (median(wallRatio) - 1) * 100;
  state.SetLabel(std::string(fftPath ? "fft " : "dft ") + windowName(window));
}
BENCHMARK(BM_WindowAdded)
    ->ArgsProduct({{0, 1}, benchmark::CreateDenseRange(1, kWindowKinds - 1, 1)})
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The window alone: its first half for 2^20 samples.
void BM_HalfWindow(benchmark::State& state) {
  const WindowShape shape{static_cast<WindowKind>(state.range(0))};
  for (auto _ : state) {
    benchmark::DoNotOptimize(halfWindow(shape, std::size_t{1} << 20).data());
  }
  state.SetLabel(windowName(shape.kind));
}
BENCHMARK(BM_HalfWindow)
    ->DenseRange(1, kWindowKinds - 1, 1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The window made and multiplied into 2^20 single-precision samples, as the FFT path does.
void BM_WeightByWindow(benchmark::State& state) {
  const WindowShape shape{static_cast<WindowKind>(state.range(0))};
  std::vector<float> samples(std::size_t{1} << 20, 1.0f);
  for (auto _ : state) {
    benchmark::DoNotOptimize(weightByWindow(shape, samples));
  }
  state.SetLabel(windowName(shape.kind));
}
BENCHMARK(BM_WeightByWindow)
    ->DenseRange(1, kWindowKinds - 1, 1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
