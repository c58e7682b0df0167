#include "transforms/SumProduct.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include "core/HelperThread.h"
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
    // An ascending record's smallest X is its first (the graph's own search keeps the first
    // of equal values) and its largest the first of its trailing run equal to the last,
    // which differs from the last only in the sign of a zero.
    const std::span<const double> xs = g->xs();
    if (ascendsWithoutNaN(xs)) {
      std::size_t top = xs.size() - 1;
      while (xs[top] == 0 && top > 0 && xs[top - 1] == 0) {
        --top;
      }
      grid.xmin = std::min(grid.xmin, xs.front());
      grid.xmax = std::max(grid.xmax, xs[top]);
    } else {
      grid.xmin = std::min(grid.xmin, g->minX());
      grid.xmax = std::max(grid.xmax, g->maxX());
    }
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
  // The arrays are the graph's own, not yet known to ascend: the pieces of the grid check
  // them as they go (see combineAscendingRange).
  bool unchecked = false;

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
    if (m >= 2) {
      h = seated(x);
    }
  }
  std::size_t seated(double x) const {
    const double* firstRight = std::lower_bound(xs + 1, xs + m, x);
    return std::min(static_cast<std::size_t>(firstRight - (xs + 1)), m - 2);
  }
};

// Grid points and combined values for grid indices [from, to), for any grid (also one that
// does not ascend or holds NaN): every point searched by the cursors' forward search.
template <Combination How>
void combineRange(std::vector<SourceCursor> cursors, double xmin, double step, std::size_t from,
                  std::size_t to, double* outX, double* outY) {
  for (std::size_t k = from; k < to; ++k) {
    outX[k] = gridPoint(xmin, step, k);
    outY[k] = How == Combination::Sum ? 0.0 : 1.0;
  }
  for (SourceCursor& c : cursors) {
    for (std::size_t k = from; k < to; ++k) {
      const double v = c.at(outX[k]);
      outY[k] = How == Combination::Sum ? outY[k] + v : v * outY[k];
    }
  }
}

// One source's values at the ascending grid points gx[0 … count), combined into out. The
// points inside the source's X range are a contiguous run; for them the intervals are found
// first (a forward merge of the two sorted arrays, which only the search's own branches
// drive), and then interpolated in a loop without a search, so that the extended divisions
// of neighbouring points overlap instead of waiting behind the search's branches. The
// values are those of SourceCursor::at, bit for bit.
template <Combination How>
void combineSource(SourceCursor& c, const double* gx, std::size_t count, double* out,
                   std::size_t* intervals) {
  std::size_t first = 0;  // the run of points inside [xs[0], xs[m − 1]]
  std::size_t last = 0;
  if (c.m >= 2) {
    const double lo = c.xs[0];
    const double hi = c.xs[c.m - 1];
    while (first < count && !(gx[first] >= lo)) {
      ++first;
    }
    last = first;
    while (last < count && gx[last] <= hi) {
      ++last;
    }
  }
  const double* xs = c.xs;
  const double* ys = c.ys;
  std::size_t h = c.h;
  for (std::size_t k = first; k < last; ++k) {
    while (h + 2 < c.m && xs[h + 1] < gx[k]) {
      ++h;
    }
    intervals[k] = h;
  }
  c.h = h;
  const double outside = 0.0;
  for (std::size_t k = 0; k < first; ++k) {
    out[k] = How == Combination::Sum ? out[k] + outside : outside * out[k];
  }
  for (std::size_t k = first; k < last; ++k) {
    const std::size_t i = intervals[k];
    // Within the run, xs[i] ≤ x ≤ xs[i + 1] holds for an ascending source.
    const double v = interpolateAt(xs, ys, i, gx[k]);
    out[k] = How == Combination::Sum ? out[k] + v : v * out[k];
  }
  for (std::size_t k = last; k < count; ++k) {
    out[k] = How == Combination::Sum ? out[k] + outside : outside * out[k];
  }
}

// The ascending grid's indices [from, to): grid points, then every source in turn in short
// blocks, so that each value meets the sources in their order while the block stays in
// cache. Each cursor is first seated where the forward search from the grid's start would
// stand.
//
// A source taken unchecked is checked here, piece by piece, while its X are about to be
// read anyway: the piece checks X from where its first grid point seats the search (the
// first piece from X[0]) to one past where the next piece's first point will (the last
// piece to the end), so that the pieces together check every neighbouring pair. A step
// back, a NaN or seats out of order (which an ascending X cannot give) set `unsorted`, and
// the caller then starts again from sorted copies.
template <Combination How>
void combineAscendingRange(std::vector<SourceCursor>& cursors, double xmin, double step,
                           std::size_t from, std::size_t to, std::size_t n, double* outX,
                           double* outY, std::atomic<bool>& unsorted) {
  if (from >= to) {
    return;
  }
  for (SourceCursor& c : cursors) {
    c.seek(gridPoint(xmin, step, from));
    if (c.unchecked && c.m >= 2) {
      const std::size_t first = from == 0 ? 0 : c.h;
      const std::size_t last =
          to >= n ? c.m - 1 : std::min(c.m - 1, c.seated(gridPoint(xmin, step, to)) + 1);
      if (first > last ||
          !ascendsWithoutNaN(std::span<const double>(c.xs + first, c.xs + last + 1))) {
        unsorted.store(true, std::memory_order_relaxed);
        return;
      }
    }
  }
  constexpr std::size_t kBlock = 2048;
  std::size_t intervals[kBlock];
  for (std::size_t begin = from; begin < to; begin += kBlock) {
    const std::size_t count = std::min(to - begin, kBlock);
    double* gx = outX + begin;
    double* out = outY + begin;
    for (std::size_t k = 0; k < count; ++k) {
      gx[k] = gridPoint(xmin, step, begin + k);
      out[k] = How == Combination::Sum ? 0.0 : 1.0;
    }
    for (SourceCursor& c : cursors) {
      combineSource<How>(c, gx, count, out, intervals);
    }
  }
}

// Whether the grid from xmin in steps of `step` ascends.
bool gridAscends(double xmin, double step) {
  return std::isfinite(xmin) && std::isfinite(step) && step > 0;
}

// False when a cursor taken unchecked turned out not to ascend (the values are then
// incomplete).
template <Combination How>
bool combineAll(const std::vector<SourceCursor>& cursors, double xmin, double step, std::size_t n,
                double* outX, double* outY) {
  if (!gridAscends(xmin, step)) {
    combineRange<How>(cursors, xmin, step, 0, n, outX, outY);
    return true;
  }
  // The grid is cut into pieces that either core takes from a shared counter, so that when
  // the other core is busy this one does not wait for its share. A piece's cursors are
  // seated by a binary search, so the pieces are independent.
  // Pieces are short enough that a piece's X stay in cache from their check to their use.
  constexpr std::size_t kPiece = std::size_t{1} << 14;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> unsorted{false};
  const auto work = [&cursors, &next, &unsorted, xmin, step, n, outX, outY] {
    std::vector<SourceCursor> own = cursors;
    for (;;) {
      const std::size_t from = next.fetch_add(kPiece, std::memory_order_relaxed);
      if (from >= n || unsorted.load(std::memory_order_relaxed)) {
        return;
      }
      combineAscendingRange<How>(own, xmin, step, from, std::min(n, from + kPiece), n, outX, outY,
                                 unsorted);
    }
  };
  std::thread helper;
  if (n > kPiece) {
    helper = tryStartThread(work);  // without it this core takes every piece
  }
  work();
  if (helper.joinable()) {
    helper.join();
  }
  return !unsorted.load();
}

bool combineAll(Combination how, const std::vector<SourceCursor>& cursors, double xmin, double step,
                std::size_t n, double* outX, double* outY) {
  return how == Combination::Sum
             ? combineAll<Combination::Sum>(cursors, xmin, step, n, outX, outY)
             : combineAll<Combination::Product>(cursors, xmin, step, n, outX, outY);
}

}  // namespace

void combineOnGrid(std::span<const Graph* const> sources, const CommonGrid& grid, Combination how,
                   std::vector<double>& outX, std::vector<double>& outY) {
  const std::size_t n = std::max<std::size_t>(grid.count, 2);
  const double step = gridStep(grid.xmin, grid.xmax, n);
  outX.resize(n);
  outY.resize(n);
  // On an ascending grid the graphs' own arrays are used and checked on the way; only if
  // one of them does not ascend is every source taken from its sorted copy and the grid
  // combined again.
  if (gridAscends(grid.xmin, step)) {
    std::vector<SourceCursor> cursors;
    for (const Graph* g : sources) {
      cursors.push_back({g->xs().data(), g->ys().data(), g->xs().size(), 0, true});
    }
    if (combineAll(how, cursors, grid.xmin, step, n, outX.data(), outY.data())) {
      return;
    }
  }
  std::vector<AscendingSource> ascending;
  ascending.reserve(sources.size());  // no reallocation: the spans stay valid
  std::vector<SourceCursor> cursors;
  for (const Graph* g : sources) {
    const AscendingSource& source = ascending.emplace_back(g->xs(), g->ys());
    cursors.push_back({source.xs().data(), source.ys().data(), source.xs().size(), 0, false});
  }
  combineAll(how, cursors, grid.xmin, step, n, outX.data(), outY.data());
}

}  // namespace tarvik
