#include "spectral/Convolution.h"

#include <algorithm>

#include "core/Palette.h"
#include "spectral/BlockLoop.h"

namespace tarvik::spectral {
namespace {

// Below this many outputs the term-by-term form is as quick as the transforms.
constexpr std::size_t kFftMinOutputs = 64;

// The plain sum, for what the fast forms do not take (a step response whose X is not
// ascending, a signal that is not, values that are not finite).
bool plainSums(const DuhamelInput& in, const DuhamelControl& control, std::vector<double>& out) {
  const std::span<const double> xs = in.xs, ys = in.ys, xh = in.xh, yh = in.yh;
  const bool ascending = std::is_sorted(xh.begin(), xh.end());
  const std::size_t n = xs.size() - 1;
  PercentProgress progress(static_cast<double>(n), [&control](int percent) {
    if (control.showPercent) {
      control.showPercent(percent);
    }
  });
  out.clear();
  out.reserve(n);
  for (std::size_t k = 1; k < xs.size(); ++k) {
    progress.reach(static_cast<std::int64_t>(k - 1));
    if (control.stopRequested && control.stopRequested()) {
      return false;
    }
    double s = 0;
    for (std::size_t i = 0; i < k; ++i) {
      const double tau = xs[k] - xs[i + 1];
      s += (ys[i + 1] - ys[i]) *
           (ascending ? ascendingStepResponseAt(xh, yh, tau) : scannedStepResponseAt(xh, yh, tau));
    }
    out.push_back(s);
  }
  progress.reach(static_cast<std::int64_t>(n));
  return true;
}

}  // namespace

bool duhamelConvolution(const DuhamelInput& in, const DuhamelControl& control,
                        std::vector<double>& out) {
  out.clear();
  if (in.xs.size() < 2) {
    return true;
  }
  if (in.xs.size() - 1 >= kFftMinOutputs) {
    // Quick enough (a second for a million points) to run without polling the stop.
    if (uniformDuhamelSums(in, out)) {
      if (control.showPercent) {
        control.showPercent(100);
      }
      return true;
    }
  }
  bool stopped = false;
  if (scanningDuhamelSums(in, control, out, stopped)) {
    return !stopped;
  }
  return plainSums(in, control, out);
}

std::vector<double> duhamelConvolution(std::span<const double> xs, std::span<const double> ys,
                                       std::span<const double> xh, std::span<const double> yh) {
  std::vector<double> out;
  duhamelConvolution(DuhamelInput{xs, ys, xh, yh}, DuhamelControl{}, out);
  return out;
}

std::size_t appendConvolution(GraphStore& store, std::size_t signal, std::size_t response,
                              const std::function<void(int)>& showPercent) {
  const Graph& s = store.graph(signal);
  const Graph& h = store.graph(response);
  store.stopRequest = false;
  DuhamelControl control{showPercent, [&store] { return store.stopRequest; }};
  std::vector<double> values;
  duhamelConvolution(DuhamelInput{s.xs(), s.ys(), h.xs(), h.ys()}, control, values);
  Graph result;
  result.colour = newGraphColour(store.count());
  result.reserve(values.size());
  for (std::size_t k = 0; k < values.size(); ++k) {
    result.addPoint(s.x(k + 1), values[k]);
  }
  result.title = s.title + " (Свертка)";
  const std::size_t index = store.attachGraph(std::move(result), store.takeUnnamedEntry());
  store.chart().legendRelayout();
  return index;
}

void convolutionCommand(CommandContext& ctx) {
  if (ctx.store.empty()) {
    return;
  }
  const auto signal = pickGraphs(ctx, "Выбрать график для преобразования через ПХ");
  if (!signal) {
    return;
  }
  const auto response = pickGraphs(ctx, "Выбрать график ПХ");
  if (!response) {
    return;
  }
  appendConvolution(ctx.store, signal->front(), response->front(), [&ctx](int percent) {
    ctx.ui.progress(kConvolutionProgress + std::to_string(percent) + " %");
  });
  ctx.store.chart().redraw();
}

}  // namespace tarvik::spectral
