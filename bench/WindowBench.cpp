// What a window adds to a spectrum: the whole spectrum command on one graph (resampling,
// window, transform, the amplitude graph) with each window against the rectangular one.
//  - FFT path: a graph of 2^20 points (N = 2^20, every bin kept);
//  - DFT path: a graph of 10^6 points over 0.5 ms with the default grid (0 … 1 GHz, step
//    1 MHz: M = 10^6 samples, K = 1000 frequencies).
// Peer: bench/window_peers.py (numpy.fft.rfft with and without scipy's window);
// bench/run_window_bench.sh runs both, alternately, and prints the ratios.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

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

// range(0): 0 = FFT path, 1 = DFT path; range(1): the window (WindowKind).
void BM_Spectrum(benchmark::State& state) {
  const bool fftPath = state.range(0) == 0;
  GraphStore store;
  store.attachGraph(
      fftPath ? noisyPulse(std::size_t{1} << 20, 1048575.0) : noisyPulse(1000000, 5e5), "f");
  SpectrumOptions options;
  options.kind = fftPath ? SpectrumOptions::Kind::Fft : SpectrumOptions::Kind::Dft;
  options.fMax = fftPath ? "1e12" : "1e9";
  options.window = static_cast<WindowKind>(state.range(1));
  testing::ScriptedUi ui;
  ui.options = [&options](DialogOptions& d) {
    static_cast<SpectrumOptions&>(d) = options;
    return true;
  };
  for (auto _ : state) {
    ui.selections.push_back(std::vector<int>{0});
    CommandContext ctx{store, ui};
    spectrumCommand(ctx);
    state.PauseTiming();
    while (store.count() > 1) {
      store.removeGraph(store.count() - 1);
    }
    ui.progressTexts.clear();
    state.ResumeTiming();
  }
  state.SetLabel(std::string(fftPath ? "fft " : "dft ") +
                 windowName(static_cast<WindowKind>(state.range(1))));
}
BENCHMARK(BM_Spectrum)
    ->ArgsProduct({{0, 1}, benchmark::CreateDenseRange(0, kWindowKinds - 1, 1)})
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
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
