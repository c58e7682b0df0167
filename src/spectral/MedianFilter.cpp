#include "spectral/MedianFilter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace tarvik::spectral {
namespace {

constexpr std::size_t kThreadedLength = 1u << 16;

// Outputs first … last−1, each the median of y[k − h … k + h] with zeros outside.
void medianRange(std::span<const double> y, std::size_t width, std::size_t first,
                 std::size_t last, double* out) {
  const std::size_t n = y.size();
  const std::size_t half = width / 2;
  const auto at = [&](std::ptrdiff_t i) {
    return i >= 0 && i < static_cast<std::ptrdiff_t>(n) ? y[static_cast<std::size_t>(i)] : 0.0;
  };
  std::vector<double> window(width);
  const auto centre = static_cast<std::ptrdiff_t>(first);
  const auto h = static_cast<std::ptrdiff_t>(half);
  for (std::ptrdiff_t j = -h; j <= h; ++j) {
    window[static_cast<std::size_t>(j + h)] = at(centre + j);
  }
  std::sort(window.begin(), window.end());
  double* w = window.data();
  for (std::size_t k = first;;) {
    out[k] = w[half];
    if (++k == last) {
      break;
    }
    const double leaving = at(static_cast<std::ptrdiff_t>(k) - h - 1);
    const double entering = at(static_cast<std::ptrdiff_t>(k) + h);
    if (leaving == entering) {
      continue;
    }
    // The leaving value's slot moves to where the entering value belongs; the values in
    // between shift by one.
    const std::size_t from = static_cast<std::size_t>(std::lower_bound(w, w + width, leaving) - w);
    if (entering > leaving) {
      const std::size_t to =
          static_cast<std::size_t>(std::lower_bound(w + from + 1, w + width, entering) - w) - 1;
      std::memmove(w + from, w + from + 1, (to - from) * sizeof(double));
      w[to] = entering;
    } else {
      const std::size_t to = static_cast<std::size_t>(std::upper_bound(w, w + from, entering) - w);
      std::memmove(w + to + 1, w + to, (from - to) * sizeof(double));
      w[to] = entering;
    }
  }
}

}  // namespace

std::vector<double> medianFilter(std::span<const double> y, std::size_t width) {
  if (width == 0 || width % 2 == 0) {
    throw std::invalid_argument("the median window must be odd");
  }
  std::vector<double> out(y.size());
  if (y.empty()) {
    return out;
  }
  const std::size_t n = y.size();
  if (n < kThreadedLength || std::thread::hardware_concurrency() < 2) {
    medianRange(y, width, 0, n, out.data());
    return out;
  }
  const std::size_t split = n / 2;
  std::thread other([&] { medianRange(y, width, split, n, out.data()); });
  medianRange(y, width, 0, split, out.data());
  other.join();
  return out;
}

}  // namespace tarvik::spectral
