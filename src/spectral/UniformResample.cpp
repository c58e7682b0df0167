#include "spectral/UniformResample.h"

#include <stdexcept>

namespace tarvik::spectral {

UniformSamples uniformResample(const Graph& graph, std::size_t count, double timeUnitSeconds) {
  if (count < 2) {
    throw std::invalid_argument("uniformResample: at least two samples are needed");
  }
  UniformSamples out;
  const double xMin = graph.minX();
  const double xMax = graph.maxX();
  out.x0 = static_cast<float>(xMin);
  const double x1 = static_cast<float>(xMax);
  out.step = (x1 - out.x0) / static_cast<double>(count - 1);
  out.sampleStep = out.step * timeUnitSeconds;
  out.values.assign(count, 0.0f);
  const std::size_t n = graph.size();
  if (n < 2) {
    return out;
  }
  const auto xs = graph.xs();
  const auto ys = graph.ys();
  std::size_t cursor = 0;
  for (std::size_t p = 0; p < count; ++p) {
    const double t = static_cast<double>(p) * out.step + out.x0;
    if (t < xMin || t > xMax) {
      continue;
    }
    std::size_t j = cursor;
    while (j + 1 < n && !(xs[j] <= t && t <= xs[j + 1])) {
      ++j;
    }
    if (j + 1 >= n) {
      continue;  // no interval holds t: the sample stays 0 and the search start stays
    }
    const double width = xs[j + 1] - xs[j];
    const double y = width == 0 ? ys[j] : ys[j] + (t - xs[j]) * (ys[j + 1] - ys[j]) / width;
    out.values[p] = static_cast<float>(y * out.sampleStep);
    cursor = j;
  }
  return out;
}

}  // namespace tarvik::spectral
