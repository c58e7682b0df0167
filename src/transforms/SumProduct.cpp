#include "transforms/SumProduct.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <thread>

#include "transforms/Resample.h"

namespace tarvik {

CommonGrid commonGrid(std::span<const Graph* const> sources, double chartMinX, double chartMaxX) {
  CommonGrid grid;
  grid.xmin = chartMaxX;  // crosswise, so that every source widens the range
  grid.xmax = chartMinX;
  for (const Graph* g : sources) {
    grid.count = std::max(grid.count, g->size());
    if (g->empty()) {
      continue;
    }
    // An ascending record's extremes are its ends (a zero end may hide an earlier zero of
    // the other sign, which the graph's own search would return).
    const std::span<const double> xs = g->xs();
    const bool ends = ascendsWithoutNaN(xs) && xs.front() != 0 && xs.back() != 0;
    grid.xmin = std::min(grid.xmin, ends ? xs.front() : g->minX());
    grid.xmax = std::max(grid.xmax, ends ? xs.back() : g->maxX());
  }
  grid.count = std::max(grid.count, kMinCombinationPoints);
  return grid;
}

namespace {

// The linear interpolation on [xs[h], xs[h+1]] in extended precision, the same arithmetic as
// the resampler's; a zero-length interval gives ys[h].
inline double interpolateAt(const double* xs, const double* ys, std::size_t h, double x) {
  const long double width = static_cast<long double>(xs[h + 1]) - xs[h];
  if (width == 0) {
    return ys[h];
  }
  const long double rise = static_cast<long double>(ys[h + 1]) - ys[h];
  return static_cast<double>(ys[h] + rise * (x - static_cast<long double>(xs[h])) / width);
}

// One source being read along the grid: its interval search moves forward only.
struct SourceCursor {
  const double* xs = nullptr;
  const double* ys = nullptr;
  std::size_t m = 0;
  std::size_t h = 0;

  // The resampled value at grid point x (0 outside [first X, last X] or for NaN).
  double at(double x) {
    if (m < 2 || !(x >= xs[0] && x <= xs[m - 1])) {
      return 0.0;
    }
    while (h + 2 < m && xs[h + 1] < x) {
      ++h;
    }
    return xs[h] <= x && x <= xs[h + 1] ? interpolateAt(xs, ys, h, x) : 0.0;
  }

  // Places the search where the forward search coming from the grid's start would stand on
  // reaching x (the first interval whose right end reaches x), for a grid that ascends.
  void seek(double x) {
    if (m < 2) {
      return;
    }
    const double* firstRight = std::lower_bound(xs + 1, xs + m, x);
    h = std::min(static_cast<std::size_t>(firstRight - (xs + 1)), m - 2);
  }
};

// Grid points and combined values for grid indices [from, to). The grid is walked in short
// chunks; within a chunk every source in turn adds (or multiplies) its values in, so each
// value meets the sources in their order while the chunk stays in cache.
template <Combination How>
void combineRange(std::vector<SourceCursor> cursors, double xmin, double step, std::size_t from,
                  std::size_t to, double* outX, double* outY, bool seek) {
  for (std::size_t k = from; k < to; ++k) {
    outX[k] = gridPoint(xmin, step, k);
  }
  if (seek && from < to) {
    for (SourceCursor& c : cursors) {
      c.seek(outX[from]);
    }
  }
  constexpr std::size_t kChunk = 2048;
  for (std::size_t begin = from; begin < to; begin += kChunk) {
    const std::size_t end = std::min(to, begin + kChunk);
    for (std::size_t k = begin; k < end; ++k) {
      outY[k] = How == Combination::Sum ? 0.0 : 1.0;
    }
    for (SourceCursor& c : cursors) {
      for (std::size_t k = begin; k < end; ++k) {
        const double v = c.at(outX[k]);
        outY[k] = How == Combination::Sum ? outY[k] + v : v * outY[k];
      }
    }
  }
}

template <Combination How>
void combineAll(const std::vector<SourceCursor>& cursors, double xmin, double step, std::size_t n,
                double* outX, double* outY) {
  // Both cores take half the grid each when the grid ascends (the second half's searches
  // can then start where the first half's would have arrived).
  constexpr std::size_t kSerialBelow = std::size_t{1} << 16;
  const bool ascending = std::isfinite(xmin) && std::isfinite(step) && step > 0;
  if (n < kSerialBelow || !ascending) {
    combineRange<How>(cursors, xmin, step, 0, n, outX, outY, false);
    return;
  }
  const std::size_t mid = n / 2;
  std::thread helper;
  try {
    helper = std::thread(combineRange<How>, cursors, xmin, step, mid, n, outX, outY, true);
  } catch (const std::exception&) {
    // No second thread: this core does both halves.
  }
  combineRange<How>(cursors, xmin, step, 0, mid, outX, outY, false);
  if (helper.joinable()) {
    helper.join();
  } else {
    combineRange<How>(cursors, xmin, step, mid, n, outX, outY, true);
  }
}

}  // namespace

void combineOnGrid(std::span<const Graph* const> sources, const CommonGrid& grid, Combination how,
                   std::vector<double>& outX, std::vector<double>& outY) {
  const std::size_t n = std::max<std::size_t>(grid.count, 2);
  const double step = gridStep(grid.xmin, grid.xmax, n);
  outX.resize(n);
  outY.resize(n);
  std::vector<AscendingSource> ascending;
  ascending.reserve(sources.size());  // no reallocation: the spans stay valid
  std::vector<SourceCursor> cursors;
  for (const Graph* g : sources) {
    const AscendingSource& source = ascending.emplace_back(g->xs(), g->ys());
    cursors.push_back({source.xs().data(), source.ys().data(), source.xs().size(), 0});
  }
  if (how == Combination::Sum) {
    combineAll<Combination::Sum>(cursors, grid.xmin, step, n, outX.data(), outY.data());
  } else {
    combineAll<Combination::Product>(cursors, grid.xmin, step, n, outX.data(), outY.data());
  }
}

}  // namespace tarvik
