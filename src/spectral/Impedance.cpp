#include "spectral/Impedance.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "core/OutputLimits.h"
#include "core/Palette.h"
#include "spectral/BlockLoop.h"
#include "spectral/SpectralOptions.h"
#include "spectral/Spectrum.h"
#include "spectral/SpectrumCommand.h"
#include "spectral/SpectrumInternal.h"
#include "spectral/UniformResample.h"

namespace tarvik::spectral {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kLargestIndex = 9007199254740992.0;  // 2^53

struct Grid {
  double fMin = 0, fMax = 0, df = 0;
  double tf = 1, ff = 1;  // seconds per X unit; output X units per hertz
};

struct SpectrumGraphs {
  std::size_t modulus = 0, phase = 0;
};

// Appends the modulus and phase spectra of graph `index`. nullopt when the command must
// end: too many time steps (with the message) or the stop request (silently).
std::optional<SpectrumGraphs> appendSpectrum(CommandContext& ctx, std::size_t index,
                                             const Grid& grid) {
  GraphStore& store = ctx.store;
  const Graph& graph = store.graph(index);
  const std::string title = graph.title;
  const double realCount = (graph.maxX() - graph.minX()) * grid.fMax * grid.tf * 2;
  if (!(realCount < 9999999.5)) {
    ctx.ui.message(MessageKind::Error, kTooManyTimeSteps);
    return std::nullopt;
  }
  const auto n =
      std::max<std::int64_t>(200, static_cast<std::int64_t>(std::nearbyint(realCount)) + 1);
  const UniformSamples samples = uniformResample(graph, static_cast<std::size_t>(n), grid.tf);
  SpectrumGraphs out;
  Graph modulus;
  modulus.colour = newGraphColour(store.count());
  modulus.title = "Модуль спектра: " + title;
  out.modulus =
      store.attachGraph(std::move(modulus), store.takeUnnamedEntry("Без имени-Модуль спектра"));
  Graph phase;
  phase.colour = automaticColour(store);
  phase.title = "Фаза спектра:" + title;
  out.phase = store.attachGraph(std::move(phase), store.takeUnnamedEntry("Без имени-Фаза спектра"));

  const auto kmin = static_cast<std::int64_t>(std::nearbyint(grid.fMin / grid.df));
  const auto kmax = static_cast<std::int64_t>(std::nearbyint(grid.fMax / grid.df));
  store.stopRequest = false;
  PercentProgress progress(static_cast<double>(kmax - kmin), [&ctx](int percent) {
    ctx.ui.progress(kSpectrumProgress + std::to_string(percent) + " %");
  });
  // Sample s lies at s·dt + a·tf seconds: the phases are relative to the graphs' zero time.
  const DftSums sums(samples.values, samples.sampleStep, grid.df, samples.x0 * grid.tf);
  std::vector<double> c, s;
  const auto block = [&](std::int64_t first, std::size_t count,
                         const std::function<bool(double)>& keepGoing) {
    c.resize(count);
    s.resize(count);
    if (!sums.compute(kmin + first, count, c.data(), s.data(), keepGoing)) {
      return false;
    }
    Graph& m = store.graph(out.modulus);
    Graph& p = store.graph(out.phase);
    for (std::size_t q = 0; q < count; ++q) {
      const double k = static_cast<double>(kmin + first + static_cast<std::int64_t>(q));
      const double omega = 2 * kPi * k * grid.df;
      const double x = omega / (2 * kPi) * grid.ff;
      m.addPoint(x, std::sqrt(s[q] * s[q] + c[q] * c[q]));
      p.addPoint(x, spectrumPhase(c[q], s[q]));
    }
    return true;
  };
  if (kmax > kmin &&
      !runInBlocks(
          kmax - kmin, kSpectrumBlock, progress, [&store] { return store.stopRequest; }, block)) {
    return std::nullopt;
  }
  return out;
}

void appendImpedance(GraphStore& store, const SpectrumGraphs& voltage,
                     const SpectrumGraphs& current) {
  Graph real, imaginary, modulus;
  real.title = "Действительная часть Z";
  real.colour = newGraphColour(store.count());
  const std::size_t ri =
      store.attachGraph(std::move(real), store.takeUnnamedEntry("Без имени Real-"));
  imaginary.title = "Мнимая часть Z";
  imaginary.colour = newGraphColour(store.count());
  const std::size_t ii =
      store.attachGraph(std::move(imaginary), store.takeUnnamedEntry("Без имени-Im-"));
  modulus.title = "Модуль Z";
  modulus.colour = automaticColour(store);
  const std::size_t mi =
      store.attachGraph(std::move(modulus), store.takeUnnamedEntry("Без имени-Mod-"));
  const Graph& uMod = store.graph(voltage.modulus);
  const Graph& uPh = store.graph(voltage.phase);
  const Graph& iMod = store.graph(current.modulus);
  const Graph& iPh = store.graph(current.phase);
  const std::size_t points = std::min({uMod.size(), uPh.size(), iMod.size(), iPh.size()});
  for (std::size_t i = 0; i < points; ++i) {
    const double ratio = uMod.y(i) / iMod.y(i);
    if (iMod.y(i) == 0) {
      continue;
    }
    const double dPhi = uPh.y(i) - iPh.y(i);
    const double f = iPh.x(i);
    store.graph(ri).addPoint(f, std::cos(dPhi) * ratio);
    store.graph(ii).addPoint(f, std::sin(dPhi) * ratio);
    store.graph(mi).addPoint(f, ratio);
  }
}

// The graph of a list's chosen row; with no row chosen, the first graph of the store.
std::size_t graphOfRow(const GraphStore& store, int row) {
  return candidateGraph(store, row).value_or(0);
}

// A frequency step ≤ 0 or a graph without duration has no spectrum: refused up front.
bool usable(CommandContext& ctx, const Grid& grid, std::size_t voltage, std::size_t current) {
  if (!(grid.df > 0) || !(std::fabs(grid.fMax / grid.df) < kLargestIndex) ||
      !(std::fabs(grid.fMin / grid.df) < kLargestIndex) ||
      !fitsInOneGraph(std::nearbyint(grid.fMax / grid.df) - std::nearbyint(grid.fMin / grid.df))) {
    ctx.ui.message(MessageKind::Error, grid.df > 0 ? kTooManyFrequencies : kBadFrequencyStep);
    return false;
  }
  for (std::size_t i : {voltage, current}) {
    const Graph& g = ctx.store.graph(i);
    if (g.size() < 2) {
      ctx.ui.message(MessageKind::Error, tooFewPointsMessage(g.title));
      return false;
    }
    const double duration = (g.maxX() - g.minX()) * grid.tf;
    if (!(duration > 0) || !std::isfinite(duration)) {
      ctx.ui.message(MessageKind::Error, zeroDurationMessage(g.title));
      return false;
    }
  }
  return true;
}

// Both lists show the candidate graphs, each with the active graph chosen.
ImpedanceOptions fillOptions(CommandContext& ctx) {
  ImpedanceOptions options;
  options.entries = candidateEntries(ctx);
  const int active = ctx.store.activeIndex();
  if (active >= 0 && static_cast<std::size_t>(active) < options.entries.size()) {
    options.voltageRow = options.currentRow = active;
  }
  return options;
}

}  // namespace

void impedanceCommand(CommandContext& ctx) {
  GraphStore& store = ctx.store;
  if (store.empty()) {
    return;  // no graph to choose: nothing to compute
  }
  ImpedanceOptions options = fillOptions(ctx);
  if (!ctx.ui.editOptions(options)) {
    return;
  }
  const char sep = ctx.ui.decimalSeparator();
  Grid grid;
  grid.fMax = fieldNumber(options.fMax, sep);
  grid.fMin = fieldNumber(options.fMin, sep);
  grid.df = fieldNumber(options.dF, sep);
  grid.tf = timeUnitSeconds(options.timeUnit);
  grid.ff = frequencyUnitPerHz(options.freqUnit);
  const std::size_t voltage = graphOfRow(store, options.voltageRow);
  const std::size_t current = graphOfRow(store, options.currentRow);
  if (!usable(ctx, grid, voltage, current)) {
    return;
  }
  std::optional<SpectrumGraphs> u, i;
  keepStoreOnMemoryShortage(store, [&] {
    store.chart().setChartVisible(false);
    u = appendSpectrum(ctx, voltage, grid);
    if (u) {
      i = appendSpectrum(ctx, current, grid);
    }
    store.chart().setChartVisible(true);
    if (u && i) {
      appendImpedance(store, *u, *i);
    }
  });
  if (u && i) {
    if (options.deleteSpectra) {
      for (std::size_t index : {i->phase, i->modulus, u->phase, u->modulus}) {
        store.removeGraph(index);
      }
    }
    store.stopRequest = true;
  }
  detail::settleActiveIndex(store);
  store.chart().legendRelayout();
  store.chart().redraw();
}

}  // namespace tarvik::spectral
