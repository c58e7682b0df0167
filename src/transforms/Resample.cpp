#include "transforms/Resample.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tarvik {
namespace {

bool ascendingWithoutNaN(std::span<const double> xs) {
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (std::isnan(xs[i]) || (i > 0 && xs[i] < xs[i - 1])) {
      return false;
    }
  }
  return true;
}

}  // namespace

double gridStep(double a, double b, std::size_t n) {
  return static_cast<double>((static_cast<long double>(b) - a) / static_cast<long double>(n - 1));
}

double gridPoint(double a, double step, std::size_t k) {
  return static_cast<double>(a + static_cast<long double>(k) * step);
}

void zeroPaddedResample(std::span<const double> xs, std::span<const double> ys, double a, double b,
                        std::span<double> values) {
  const std::size_t m = xs.size();
  const std::size_t n = values.size();
  if (m < 2 || n < 2) {
    std::fill(values.begin(), values.end(), 0.0);
    return;
  }
  const double step = gridStep(a, b, n);
  const double lo = xs.front();
  const double hi = xs.back();
  std::size_t h = 0;  // search start; never goes back
  for (std::size_t e = 0; e < n; ++e) {
    const double x = gridPoint(a, step, e);
    if (!(x >= lo && x <= hi)) {
      values[e] = 0.0;
      continue;
    }
    // First interval from h on whose right end reaches x.
    while (h + 2 < m && xs[h + 1] < x) {
      ++h;
    }
    if (!(xs[h] <= x && x <= xs[h + 1])) {
      values[e] = 0.0;
      continue;
    }
    const long double width = static_cast<long double>(xs[h + 1]) - xs[h];
    if (width == 0) {
      values[e] = ys[h];
      continue;
    }
    const long double rise = static_cast<long double>(ys[h + 1]) - ys[h];
    values[e] = static_cast<double>(ys[h] + rise * (x - static_cast<long double>(xs[h])) / width);
  }
}

AscendingSource::AscendingSource(std::span<const double> xs, std::span<const double> ys)
    : m_xs(xs), m_ys(ys) {
  if (ascendingWithoutNaN(xs)) {
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
