// The standalone inverse transform, the inverse summation loop it shares with the spectrum
// command, and the FFT self-test.
#include <cmath>
#include <vector>

#include "core/NumberFormat.h"
#include "core/OutputLimits.h"
#include "core/Palette.h"
#include "spectral/BlockLoop.h"
#include "spectral/Fft.h"
#include "spectral/InverseSums.h"
#include "spectral/SpectrumCommand.h"
#include "spectral/SpectrumInternal.h"

namespace tarvik::spectral {

namespace detail {

bool fillInverseSignal(CommandContext& ctx, std::size_t amplitude, std::size_t phase,
                       std::size_t result, double tmin, double dt, int n, double dOmega,
                       double outputFactor) {
  GraphStore& store = ctx.store;
  const Graph& a = store.graph(amplitude);
  const Graph& f = store.graph(phase);
  Graph& out = store.graph(result);
  store.stopRequest = false;
  PercentProgress progress(n, [&ctx](int percent) {
    ctx.ui.progress(kInverseProgress + std::to_string(percent) + " %");
  });
  const InverseSpectrumInput input{a.ys(), f.xs(), f.ys()};
  out.reserve(static_cast<std::size_t>(n) + 1);
  return inverseSpectrumSums(
      input, tmin, dt, n, dOmega, progress, [&store] { return store.stopRequest; },
      [&](std::int64_t p, double value) {
        const double t = static_cast<double>(p) * dt + tmin;
        out.addPoint(t * outputFactor, value);
      });
}

void settleActiveIndex(GraphStore& store) {
  if (store.activeIndex() >= static_cast<int>(store.count())) {
    store.setActiveIndex(static_cast<int>(store.count()) - 1);
  }
}

}  // namespace detail

std::string frequencyStepTooCoarseMessage(double df, double tmax, char decimalSeparator) {
  return "Шаг по частоте " + formatGeneral(df, 15, decimalSeparator) +
         " Гц велик, поэтому время сигнала уменьшается до " +
         formatGeneral(tmax, 15, decimalSeparator) + " c";
}

void inverseSpectrumCommand(CommandContext& ctx) {
  GraphStore& store = ctx.store;
  if (store.activeIndex() < 0) {
    ctx.ui.message(MessageKind::Error, kNoActiveGraph);
    return;
  }
  InverseSpectrumOptions options;
  if (!ctx.ui.editOptions(options)) {
    return;
  }
  const char sep = ctx.ui.decimalSeparator();
  double tmax = fieldNumber(options.tMax, sep);
  const double tmin = fieldNumber(options.tMin, sep);
  const int n = fieldInteger(options.nPoint);
  if (store.count() < 2) {
    ctx.ui.message(MessageKind::Error, kNeedTwoSpectrumGraphs);
    return;
  }
  const std::size_t phase = store.count() - 1;
  const std::size_t amplitude = phase - 1;
  if (store.graph(phase).size() < 2) {
    ctx.ui.message(MessageKind::Error, kPhaseGraphTooShort);
    return;
  }
  if (n <= 0) {
    ctx.ui.message(MessageKind::Error, kBadPointCount);
    return;
  }
  if (!fitsInOneGraph(static_cast<double>(n) + 1)) {  // the signal has n + 1 points
    ctx.ui.message(MessageKind::Error, kTooManyPoints);
    return;
  }
  double dt = (tmax - tmin) / n;
  const double df = store.graph(phase).x(1) - store.graph(phase).x(0);
  if (df > 1 / tmax) {
    tmax = 1 / df;
    dt = tmax / n;
    ctx.ui.message(MessageKind::Info, frequencyStepTooCoarseMessage(df, tmax, sep));
  }
  Graph result;
  result.colour = newGraphColour(store.count());
  result.title = " Восстановленный из спектра сигнал";
  keepStoreOnMemoryShortage(store, [&] {
    const std::size_t index = store.attachGraph(std::move(result), store.takeUnnamedEntry());
    detail::fillInverseSignal(ctx, amplitude, phase, index, tmin, dt, n, 2 * 3.141592653589793 * df,
                              outputTimeUnitsPerSecond(options.timeUnit));
  });
  if (options.deleteSpectra) {
    store.removeGraph(store.count() - 2);
    store.removeGraph(store.count() - 2);
    detail::settleActiveIndex(store);
  }
  store.chart().legendRelayout();
  store.chart().redraw();
  store.chart().refreshIndicator();
}

void fftSelfTestCommand(CommandContext& ctx) {
  GraphStore& store = ctx.store;
  constexpr std::size_t kPoints = 2048;
  const float dt = 0.01f;
  std::vector<float> signal(kPoints);
  Graph& source = store.graph(store.appendGraph("Исходный график"));
  for (std::size_t i = 0; i < kPoints; ++i) {
    const double t = static_cast<double>(i) * dt;
    signal[i] = static_cast<float>(std::sin(2 * 3.141592653589793 * 0.025 * t));
    source.addPoint(static_cast<float>(t), signal[i]);
  }
  std::vector<float> amplitude(kPoints / 2), phase(kPoints / 2);
  fastTransform(signal, dt, amplitude, phase);
  const float df = 1.0f / (dt * static_cast<float>(kPoints));
  Graph& modulus = store.graph(store.appendGraph("БПФ - Модуль2"));
  for (std::size_t i = 0; i < kPoints / 2; ++i) {
    modulus.addPoint(static_cast<double>(i) * df, amplitude[i]);
  }
  Graph& phaseGraph = store.graph(store.appendGraph("БПФ - Фаза2"));
  for (std::size_t i = 0; i < kPoints / 2; ++i) {
    phaseGraph.addPoint(static_cast<double>(i) * df, phase[i]);
  }
  std::vector<float> back(kPoints / 2);
  fastInverse(amplitude, phase, df, back);
  const float dtBack = 1.0f / (df * static_cast<float>(kPoints / 2));
  Graph& inverse = store.graph(store.appendGraph("Обратно FFT"));
  for (std::size_t i = 0; i < kPoints / 2; ++i) {
    inverse.addPoint(static_cast<double>(i) * dtBack, back[i]);
  }
  store.chart().redraw();
  store.chart().refreshIndicator();
  store.chart().refreshMenus();
}

}  // namespace tarvik::spectral
