#include "io/PointOrder.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "core/PointsExtent.h"

namespace tarvik {
namespace {

// Stable sort of the run [begin, end) by X through an index permutation.
void orderRun(PointArrays& points, std::size_t begin, std::size_t end,
              std::vector<std::size_t>& index, std::vector<double>& scratch) {
  index.resize(end - begin);
  std::iota(index.begin(), index.end(), begin);
  const auto& xs = points.xs;
  std::stable_sort(index.begin(), index.end(),
                   [&xs](std::size_t a, std::size_t b) { return xs[a] < xs[b]; });
  for (std::vector<double>* values : {&points.xs, &points.ys}) {
    scratch.resize(index.size());
    for (std::size_t i = 0; i < index.size(); ++i) {
      scratch[i] = (*values)[index[i]];
    }
    std::copy(scratch.begin(), scratch.end(), values->begin() + static_cast<std::ptrdiff_t>(begin));
  }
}

}  // namespace

void applyPointOrder(PointArrays& points) {
  if (ascendingX(points.xs)) {
    return;  // adding one by one would append every point
  }
  // A point is only ever inserted behind the last NaN X (the backward search stops there),
  // so each run between NaN X values is a stable sort of its own.
  std::vector<std::size_t> index;
  std::vector<double> scratch;
  std::size_t runStart = 0;
  const std::size_t n = points.xs.size();
  for (std::size_t i = 0; i <= n; ++i) {
    if (i == n || std::isnan(points.xs[i])) {
      if (i > runStart + 1) {
        orderRun(points, runStart, i, index, scratch);
      }
      runStart = i + 1;
    }
  }
}

}  // namespace tarvik
