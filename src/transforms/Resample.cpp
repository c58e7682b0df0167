#include "transforms/Resample.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tarvik {
namespace detail {

double interpolate(std::span<const double> xs, std::span<const double> ys, std::size_t h,
                   double x) {
  const long double width = static_cast<long double>(xs[h + 1]) - xs[h];
  if (width == 0) {
    return ys[h];
  }
  const long double rise = static_cast<long double>(ys[h + 1]) - ys[h];
  return static_cast<double>(ys[h] + rise * (x - static_cast<long double>(xs[h])) / width);
}

}  // namespace detail

bool ascendsWithoutNaN(std::span<const double> xs) {
  // Block by block without an early exit inside a block, so that the test vectorises.
  if (xs.empty() || std::isnan(xs[0])) {
    return xs.empty();
  }
  constexpr std::size_t kBlock = 1024;
  for (std::size_t begin = 1; begin < xs.size(); begin += kBlock) {
    const std::size_t end = std::min(xs.size(), begin + kBlock);
    bool bad = false;
    for (std::size_t i = begin; i < end; ++i) {
      bad |= !(xs[i] >= xs[i - 1]);  // a NaN or a step back
    }
    if (bad) {
      return false;
    }
  }
  return true;
}

void zeroPaddedResample(std::span<const double> xs, std::span<const double> ys, double a, double b,
                        std::span<double> values) {
  forEachResampled(xs, ys, a, b, values.size(),
                   [values](std::size_t k, double v) { values[k] = v; });
}

AscendingSource::AscendingSource(std::span<const double> xs, std::span<const double> ys)
    : m_xs(xs), m_ys(ys) {
  if (ascendsWithoutNaN(xs)) {
    return;
  }
  std::vector<std::size_t> order;
  order.reserve(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (!std::isnan(xs[i])) {
      order.push_back(i);
    }
  }
  std::stable_sort(order.begin(), order.end(),
                   [&xs](std::size_t p, std::size_t q) { return xs[p] < xs[q]; });
  m_ownX.reserve(order.size());
  m_ownY.reserve(order.size());
  for (std::size_t i : order) {
    m_ownX.push_back(xs[i]);
    m_ownY.push_back(ys[i]);
  }
  m_xs = m_ownX;
  m_ys = m_ownY;
}

}  // namespace tarvik
