// The spectrum command: the protocol around the DFT and FFT paths and the inverse step.
#include "spectral/SpectrumCommand.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/NumberFormat.h"
#include "core/OutputLimits.h"
#include "core/Palette.h"
#include "spectral/BlockLoop.h"
#include "spectral/Fft.h"
#include "spectral/Spectrum.h"
#include "spectral/SpectrumInternal.h"
#include "spectral/SpectrumWindows.h"
#include "spectral/UniformResample.h"

namespace tarvik::spectral {
namespace {

constexpr double kPi = 3.141592653589793;
// Frequency indices beyond this no longer convert to integers exactly.
constexpr double kLargestIndex = 9007199254740992.0;  // 2^53

enum class Outcome { Next, EndCommand };
enum class Variant { Dft, Fft };

struct Run {
  CommandContext& ctx;
  const SpectrumOptions& options;
  const SpectrumHooks& hooks;
  double fMin = 0, fMax = 0, df = 0;  // df: the typed step (DFT with "автоматически" off)
  WindowShape window;
  // The DFT path's last window (for cachedSamples samples; 0: none yet).
  HalfWindowAndMean cachedWindow{};
  std::size_t cachedSamples = 0;
};

// The window's weighting of one spectrum: nothing for the rectangular window, whose path
// stays the unweighted one (mean 1, so dividing by it changes no bit).
struct Weighting {
  const std::vector<double>* half = nullptr;  // the DFT path's first half, or none
  double mean = 1;
};

// The DFT path's half window over m samples with its mean; graphs of one command that share
// m share it. False after an error message when the window has no usable mean.
bool dftWindowFor(Run& run, std::size_t m, const std::string& title, Weighting& weighting) {
  if (run.window.kind == WindowKind::Rectangular) {
    return true;
  }
  if (run.cachedSamples != m) {
    run.cachedWindow = halfWindowAndMean(run.window, m);
    run.cachedSamples = m;
  }
  if (!(run.cachedWindow.mean > 0)) {
    run.ctx.ui.message(MessageKind::Error,
                       degenerateWindowMessage(windowCaption(run.window.kind), m, title));
    return false;
  }
  weighting.half = &run.cachedWindow.half;
  weighting.mean = run.cachedWindow.mean;
  return true;
}

// The FFT path weights its samples in place as it makes the window; false after an error
// message when the window has no usable mean.
bool weightFftSamples(Run& run, std::vector<float>& samples, const std::string& title,
                      Weighting& weighting) {
  if (run.window.kind == WindowKind::Rectangular) {
    return true;
  }
  weighting.mean = weightByWindow(run.window, samples);
  if (!(weighting.mean > 0)) {
    run.ctx.ui.message(MessageKind::Error, degenerateWindowMessage(windowCaption(run.window.kind),
                                                                   samples.size(), title));
    return false;
  }
  return true;
}

// What the inverse step needs of the input graph, taken before graphs are appended.
struct Source {
  std::string title;
  double xMin = 0, xMax = 0;
};

// Keeps the chart hidden while the command works and shows it again however it ends.
class HiddenChart {
 public:
  explicit HiddenChart(GraphStore& store) : m_store(store) {
    m_store.chart().setChartVisible(false);
  }
  ~HiddenChart() {
    m_store.chart().setChartVisible(true);
    m_store.chart().legendRelayout();
  }
  HiddenChart(const HiddenChart&) = delete;
  HiddenChart& operator=(const HiddenChart&) = delete;

 private:
  GraphStore& m_store;
};

void inverseStep(Run& run, Variant variant, const Source& source) {
  GraphStore& store = run.ctx.store;
  const char sep = run.ctx.ui.decimalSeparator();
  const double l = timeUnitSeconds(run.options.timeUnit);
  const double x0 = static_cast<float>(source.xMin);
  InverseSpectrumOptions preset;
  preset.timeUnit = run.options.timeUnit;
  preset.nPoint = "1000";
  preset.tMax = formatGeneral((source.xMax - x0) * l, 15, sep);
  preset.tMin = formatGeneral((source.xMin - x0) * l, 15, sep);
  if (run.hooks.presetInverse) {
    run.hooks.presetInverse(preset);
  }
  double tmax = fieldNumber(preset.tMax, sep);
  const double tmin = fieldNumber(preset.tMin, sep);
  const int n = fieldInteger(preset.nPoint);
  double dt = (tmax - tmin) / n;
  const std::size_t phase = store.count() - 1;
  const std::size_t amplitude = phase - 1;
  if (store.graph(phase).size() < 2) {
    run.ctx.ui.message(MessageKind::Error, kPhaseGraphTooShort);
    return;
  }
  const double df = store.graph(phase).x(1) - store.graph(phase).x(0);
  const double span = variant == Variant::Dft ? 0.5 : 1.0;
  if (df > span / tmax) {
    tmax = span / df;
    dt = tmax / n;
    run.ctx.ui.message(MessageKind::Info, frequencyStepTooCoarseMessage(df, tmax, sep));
  }
  Graph result;
  result.colour = newGraphColour(store.count());
  result.title = source.title;
  if (variant == Variant::Fft) {
    const Graph& a = store.graph(amplitude);
    result.title += " ( " + formatGeneral(a.x(0), 5, sep) + "..." +
                    formatGeneral(a.x(a.size() - 1), 5, sep) + " ) Гц";
  }
  const std::size_t index = store.attachGraph(std::move(result), source.title);
  store.setUnnamedCounter(store.unnamedCounter() + 1);
  detail::fillInverseSignal(run.ctx, amplitude, phase, index, tmin, dt, n, 2 * kPi * df,
                            outputTimeUnitsPerSecond(run.options.timeUnit));
  store.removeGraph(store.count() - 2);  // the phase graph
  store.removeGraph(store.count() - 2);  // the amplitude graph
  detail::settleActiveIndex(store);
  store.chart().legendRelayout();
}

// The spectrum graphs' last step: drop the phase or rebuild the signal.
void finishSpectrum(Run& run, Variant variant, const Source& source) {
  if (run.options.noPhase && !run.options.inverse) {
    run.ctx.store.removeGraph(run.ctx.store.count() - 1);
    detail::settleActiveIndex(run.ctx.store);
  }
  if (run.options.inverse) {
    inverseStep(run, variant, source);
  }
}

// A fitted model ("Аппроксимация", the title the fitting commands give their result) is
// dropped once a spectrum has been computed beside it, each with its source-file entry.
// Inputs still to come move down with the graphs before them; one that is dropped is not
// transformed.
void removeApproximations(GraphStore& store, std::vector<std::size_t>& inputsToCome) {
  for (std::size_t i = 0; i < store.count();) {
    if (store.graph(i).title != "Аппроксимация") {
      ++i;
      continue;
    }
    store.removeGraph(i);
    std::erase(inputsToCome, i);
    for (std::size_t& input : inputsToCome) {
      if (input > i) {
        --input;
      }
    }
    i = 0;  // the scan starts again from the first graph
  }
  detail::settleActiveIndex(store);
}

double amplitudeDivisor(const SpectrumOptions& o, double duration) {
  return o.absolute && !o.inverse ? duration / 2 : 1.0;
}

// The output frequency factor: hertz while the inverse step will read the spectrum back.
double frequencyFactor(const SpectrumOptions& o) {
  return o.inverse ? 1.0 : frequencyUnitPerHz(o.freqUnit);
}

Outcome dftPath(Run& run, std::size_t index, std::vector<std::size_t>& inputsToCome) {
  GraphStore& store = run.ctx.store;
  const Graph& graph = store.graph(index);
  const Source source{graph.title, graph.minX(), graph.maxX()};
  const double l = timeUnitSeconds(run.options.timeUnit);
  const double h = frequencyFactor(run.options);
  const double duration = (source.xMax - source.xMin) * l;
  const double u = amplitudeDivisor(run.options, duration);
  const double df = run.options.autoStep ? 0.5 / duration / 1.01 : run.df;
  // The guard looks at the real count before it becomes an integer.
  const double realCount = duration * run.fMax * 2;
  if (!(realCount < 9999999.5)) {
    run.ctx.ui.message(MessageKind::Error, kTooManyTimeSteps);
    return Outcome::EndCommand;
  }
  const double lowIndex = run.fMin / df, highIndex = run.fMax / df;
  if (!(std::fabs(lowIndex) < kLargestIndex && std::fabs(highIndex) < kLargestIndex) ||
      !fitsInOneGraph(std::nearbyint(highIndex) - std::nearbyint(lowIndex))) {
    run.ctx.ui.message(MessageKind::Error, kTooManyFrequencies);
    return Outcome::EndCommand;
  }
  const auto m =
      std::max<std::int64_t>(200, static_cast<std::int64_t>(std::nearbyint(realCount)) + 1);
  const UniformSamples samples = uniformResample(graph, static_cast<std::size_t>(m), l);
  Weighting weighting;
  if (!dftWindowFor(run, samples.values.size(), source.title, weighting)) {
    return Outcome::EndCommand;
  }

  Graph amplitudeGraph;
  amplitudeGraph.colour = newGraphColour(store.count());
  amplitudeGraph.title = "Модуль спектра: " + source.title;
  const std::size_t ai = store.attachGraph(std::move(amplitudeGraph), store.takeUnnamedEntry());
  Graph phaseGraph;
  phaseGraph.colour = automaticColour(store);  // no colour of its own: the chart's automatic one
  phaseGraph.title = "Фаза спектра:" + source.title;
  const std::size_t pi = store.attachGraph(std::move(phaseGraph), store.takeUnnamedEntry());

  const auto started = std::chrono::steady_clock::now();
  const auto kmin = static_cast<std::int64_t>(std::nearbyint(lowIndex));
  const auto kmax = static_cast<std::int64_t>(std::nearbyint(highIndex));
  store.stopRequest = false;
  PercentProgress progress(static_cast<double>(kmax - kmin), [&run](int percent) {
    run.ctx.ui.progress(kSpectrumProgress + std::to_string(percent) + " %");
  });
  DftSums sums(samples.values, samples.sampleStep, df);
  if (weighting.half != nullptr) {
    sums.setWindow(*weighting.half);
  }
  std::vector<double> re, im;
  const auto block = [&](std::int64_t first, std::size_t count,
                         const std::function<bool(double)>& keepGoing) {
    re.resize(count);
    im.resize(count);
    if (!sums.compute(kmin + first, count, re.data(), im.data(), keepGoing)) {
      return false;
    }
    Graph& a = store.graph(ai);
    Graph& p = store.graph(pi);
    for (std::size_t q = 0; q < count; ++q) {
      const double x = static_cast<double>(kmin + first + static_cast<std::int64_t>(q)) * df * h;
      a.addPoint(x, std::sqrt(re[q] * re[q] + im[q] * im[q]) / u / weighting.mean);
      p.addPoint(x, spectrumPhase(re[q], im[q]));
    }
    return true;
  };
  if (kmax > kmin &&
      !runInBlocks(
          kmax - kmin, kSpectrumBlock, progress, [&store] { return store.stopRequest; }, block)) {
    return Outcome::EndCommand;  // stopped: silently, with the points made so far
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  if (run.hooks.setCaption) {
    run.hooks.setCaption(std::to_string(elapsed.count()));
  }
  removeApproximations(store, inputsToCome);
  store.chart().legendRelayout();
  store.stopRequest = true;
  finishSpectrum(run, Variant::Dft, source);
  return Outcome::Next;
}

Outcome fftPath(Run& run, std::size_t index) {
  GraphStore& store = run.ctx.store;
  const Graph& graph = store.graph(index);
  const Source source{graph.title, graph.minX(), graph.maxX()};
  const double l = timeUnitSeconds(run.options.timeUnit);
  const double h = frequencyFactor(run.options);
  const double u = amplitudeDivisor(run.options, (source.xMax - source.xMin) * l);
  const std::size_t n = fftSize(graph.size());
  UniformSamples samples = uniformResample(graph, n, l);
  Weighting weighting;
  if (!weightFftSamples(run, samples.values, source.title, weighting)) {
    return Outcome::EndCommand;
  }
  std::vector<float> amplitude(n / 2), phase(n / 2);
  fastTransform(samples.values, static_cast<float>(samples.sampleStep), amplitude, phase);
  const double df = 1.0 / (static_cast<double>(n) * samples.sampleStep);
  const auto fill = [&](const char* title, const std::vector<float>& values, bool scaled) {
    Graph& g = store.graph(store.appendGraph(title));
    for (std::size_t k = 0; k < n / 2; ++k) {
      const double f = static_cast<double>(k) * df;
      if (run.fMin <= f && f <= run.fMax) {
        const double y =
            scaled ? static_cast<double>(n) * values[k] / 2 / u / weighting.mean : values[k];
        g.addPoint(f * h, y);
      }
    }
  };
  fill("Модуль FFT: ", amplitude, true);
  fill("Фаза FFT: ", phase, false);
  finishSpectrum(run, Variant::Fft, source);
  return Outcome::Next;
}

// Inputs that have no spectrum are refused before anything is appended.
bool inputsUsable(Run& run, const std::vector<std::size_t>& chosen) {
  if (run.options.kind == SpectrumOptions::Kind::Dft && !run.options.autoStep && !(run.df > 0)) {
    run.ctx.ui.message(MessageKind::Error, kBadFrequencyStep);
    return false;
  }
  const double l = timeUnitSeconds(run.options.timeUnit);
  for (std::size_t i : chosen) {
    const Graph& g = run.ctx.store.graph(i);
    if (g.size() < 2) {
      run.ctx.ui.message(MessageKind::Error, tooFewPointsMessage(g.title));
      return false;
    }
    const double duration = (g.maxX() - g.minX()) * l;
    if (!(duration > 0) || !std::isfinite(duration)) {
      run.ctx.ui.message(MessageKind::Error, zeroDurationMessage(g.title));
      return false;
    }
  }
  return true;
}

}  // namespace

std::string tooFewPointsMessage(const std::string& title) {
  return "В графике \"" + title + "\" меньше двух точек: спектр не вычисляется";
}

std::string zeroDurationMessage(const std::string& title) {
  return "График \"" + title + "\" имеет нулевую длительность: спектр не вычисляется";
}

std::string degenerateWindowMessage(const std::string& caption, std::size_t samples,
                                    const std::string& title) {
  return "Среднее окна \"" + caption + "\" из " + std::to_string(samples) +
         " отсчётов не больше нуля: спектр графика \"" + title + "\" не вычисляется";
}

void spectrumCommand(CommandContext& ctx, const SpectrumHooks& hooks) {
  if (!ctx.store.hasCandidates()) {
    return;
  }
  const auto chosen = pickGraphs(ctx, "Выбрать графики для вычисления спектра");
  if (!chosen) {
    return;
  }
  SpectrumOptions options;
  if (!ctx.ui.editOptions(options)) {
    return;
  }
  const char sep = ctx.ui.decimalSeparator();
  Run run{ctx, options, hooks, 0, 0, 0, WindowShape{}, {}, 0};
  run.fMax = fieldNumber(options.fMax, sep);
  run.fMin = fieldNumber(options.fMin, sep);
  const bool dft = options.kind == SpectrumOptions::Kind::Dft;
  if (dft && !options.autoStep) {
    run.df = fieldNumber(options.dF, sep);
  }
  if (const auto refusal = windowParameterRefusal(options, sep)) {
    ctx.ui.message(MessageKind::Error, *refusal);
    return;
  }
  run.window = windowShape(options, sep);
  if (!inputsUsable(run, *chosen)) {
    return;
  }
  keepStoreOnMemoryShortage(ctx.store, [&] {
    const HiddenChart hidden(ctx.store);
    // The picked graphs all lie below the count at the start; graphs appended meanwhile
    // come after them and are never inputs.
    std::vector<std::size_t> inputsToCome(chosen->begin(), chosen->end());
    while (!inputsToCome.empty()) {
      const std::size_t index = inputsToCome.front();
      inputsToCome.erase(inputsToCome.begin());
      const Outcome outcome = dft ? dftPath(run, index, inputsToCome) : fftPath(run, index);
      if (outcome == Outcome::EndCommand) {
        break;
      }
    }
  });
  ctx.store.chart().redraw();
  ctx.store.chart().refreshIndicator();
  ctx.store.chart().refreshMenus();
}

}  // namespace tarvik::spectral
