#include "spectral/Convolution.h"

#include <algorithm>

#include "core/Palette.h"

namespace tarvik::spectral {
namespace {

double interpolate(std::span<const double> xh, std::span<const double> yh, std::size_t b,
                   double tau) {
  return ((tau - xh[b - 1]) * yh[b] + (xh[b] - tau) * yh[b - 1]) / (xh[b] - xh[b - 1]);
}

double scanFromStart(std::span<const double> xh, std::span<const double> yh, double tau) {
  for (std::size_t b = 1; b < xh.size(); ++b) {
    if (xh[b - 1] <= tau && tau < xh[b]) {
      return interpolate(xh, yh, b, tau);
    }
  }
  return yh[xh.size() - 1];
}

double valueAt(std::span<const double> xh, std::span<const double> yh, double tau, bool ascending) {
  const std::size_t r = xh.size();
  if (r == 0 || tau > xh[r - 1] || tau < xh[0]) {
    return 0;
  }
  if (!ascending) {
    return scanFromStart(xh, yh, tau);
  }
  // The first b with xh[b] > τ also has xh[b−1] ≤ τ: the interval the scan would find.
  const auto b = static_cast<std::size_t>(std::upper_bound(xh.begin(), xh.end(), tau) - xh.begin());
  return b == 0 || b == r ? yh[r - 1] : interpolate(xh, yh, b, tau);
}

}  // namespace

double stepResponseAt(std::span<const double> xh, std::span<const double> yh, double tau) {
  return valueAt(xh, yh, tau, std::is_sorted(xh.begin(), xh.end()));
}

std::vector<double> duhamelConvolution(std::span<const double> xs, std::span<const double> ys,
                                       std::span<const double> xh, std::span<const double> yh) {
  std::vector<double> out;
  if (xs.size() < 2) {
    return out;
  }
  const bool ascending = std::is_sorted(xh.begin(), xh.end());
  out.reserve(xs.size() - 1);
  for (std::size_t k = 1; k < xs.size(); ++k) {
    double s = 0;
    for (std::size_t i = 0; i < k; ++i) {
      s += (ys[i + 1] - ys[i]) * valueAt(xh, yh, xs[k] - xs[i + 1], ascending);
    }
    out.push_back(s);
  }
  return out;
}

std::size_t appendConvolution(GraphStore& store, std::size_t signal, std::size_t response) {
  const Graph& s = store.graph(signal);
  const Graph& h = store.graph(response);
  const std::vector<double> values = duhamelConvolution(s.xs(), s.ys(), h.xs(), h.ys());
  Graph result;
  result.colour = newGraphColour(store.count());
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
  appendConvolution(ctx.store, signal->front(), response->front());
  ctx.store.chart().redraw();
}

}  // namespace tarvik::spectral
