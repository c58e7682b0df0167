#include "synth/ReflectedDelay.h"

#include <cmath>

namespace tarvik::synth {

double reflectedDelayNs(double h1, double h, double l, ReflectionModel model) {
  const double direct = std::sqrt((h1 - h) * (h1 - h) + l * l);
  const double reflected = model == ReflectionModel::Specular
                               ? std::sqrt((h1 + h) * (h1 + h) + l * l)
                               : h1 + std::sqrt(h * h + l * l);
  return (reflected - direct) / kPropagationSpeed * 1e9;
}

std::optional<std::size_t> observationHeightCount(double h2, std::size_t limit) {
  if (h2 < 0) {
    return 0;
  }
  if (!(h2 < static_cast<double>(limit))) {
    return std::nullopt;  // also NaN
  }
  return static_cast<std::size_t>(std::floor(h2)) + 1;
}

PointColumns reflectedDelayTable(double h1, double l, std::size_t heights, ReflectionModel model) {
  PointColumns table;
  table.xs.reserve(heights);
  table.ys.reserve(heights);
  for (std::size_t i = 0; i < heights; ++i) {
    const double h = static_cast<double>(i);
    table.xs.push_back(h);
    table.ys.push_back(reflectedDelayNs(h1, h, l, model));
  }
  return table;
}

}  // namespace tarvik::synth
