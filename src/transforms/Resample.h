#pragma once
// Zero-padded resampling: a graph read at the points of an even grid by linear
// interpolation, 0 outside the graph's own X range. Sum, product and clone use it.
#include <cstddef>
#include <span>
#include <vector>

namespace tarvik {

// Grid step (b − a) / (n − 1) and grid point a + k·step, each computed in extended
// precision and rounded to double. n must be at least 2.
inline double gridStep(double a, double b, std::size_t n) {
  return static_cast<double>((static_cast<long double>(b) - a) / static_cast<long double>(n - 1));
}
inline double gridPoint(double a, double step, std::size_t k) {
  return static_cast<double>(a + static_cast<long double>(k) * step);
}

// Resamples the source (xs ascending, no NaN) onto values.size() grid points from a to b
// (values.size() ≥ 2): values[k] is the source's linear interpolation at grid point k,
// computed in extended precision, or 0 where the grid point lies outside [first X, last X]
// or is NaN. The interval search moves forward only. An interval of zero length gives the
// Y of its left end. A source with fewer than two points gives 0 everywhere.
void zeroPaddedResample(std::span<const double> xs, std::span<const double> ys, double a, double b,
                        std::span<double> values);

// The same values handed one by one to visit(k, value), k = 0 … n − 1 in order, without a
// buffer (the sum and product accumulate them directly).
template <class Visit>
void forEachResampled(std::span<const double> xs, std::span<const double> ys, double a, double b,
                      std::size_t n, Visit visit);

// Whether X never descends and holds no NaN.
bool ascendsWithoutNaN(std::span<const double> xs);

// A source ready for resampling: the graph's own arrays when X ascends without NaN,
// otherwise a copy without NaN-X points, stably sorted by X (the graph is not changed).
class AscendingSource {
 public:
  AscendingSource(std::span<const double> xs, std::span<const double> ys);
  std::span<const double> xs() const { return m_xs; }
  std::span<const double> ys() const { return m_ys; }

 private:
  std::vector<double> m_ownX, m_ownY;
  std::span<const double> m_xs, m_ys;
};

namespace detail {
// Linear interpolation on [xs[h], xs[h+1]] in extended precision; a zero-length interval
// gives ys[h].
double interpolate(std::span<const double> xs, std::span<const double> ys, std::size_t h, double x);
}  // namespace detail

template <class Visit>
void forEachResampled(std::span<const double> xs, std::span<const double> ys, double a, double b,
                      std::size_t n, Visit visit) {
  const std::size_t m = xs.size();
  if (m < 2 || n < 2) {
    for (std::size_t e = 0; e < n; ++e) {
      visit(e, 0.0);
    }
    return;
  }
  const double step = gridStep(a, b, n);
  const double lo = xs.front();
  const double hi = xs.back();
  std::size_t h = 0;  // search start; never goes back
  for (std::size_t e = 0; e < n; ++e) {
    const double x = gridPoint(a, step, e);
    if (!(x >= lo && x <= hi)) {
      visit(e, 0.0);
      continue;
    }
    // First interval from h on whose right end reaches x.
    while (h + 2 < m && xs[h + 1] < x) {
      ++h;
    }
    visit(e, xs[h] <= x && x <= xs[h + 1] ? detail::interpolate(xs, ys, h, x) : 0.0);
  }
}

}  // namespace tarvik
