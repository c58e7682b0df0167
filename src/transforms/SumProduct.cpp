#include "transforms/SumProduct.h"

#include <algorithm>

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
    grid.xmin = std::min(grid.xmin, g->minX());
    grid.xmax = std::max(grid.xmax, g->maxX());
  }
  grid.count = std::max(grid.count, kMinCombinationPoints);
  return grid;
}

void combineOnGrid(std::span<const Graph* const> sources, const CommonGrid& grid, Combination how,
                   std::vector<double>& outX, std::vector<double>& outY) {
  const std::size_t n = std::max<std::size_t>(grid.count, 2);
  const double step = gridStep(grid.xmin, grid.xmax, n);
  outX.resize(n);
  for (std::size_t k = 0; k < n; ++k) {
    outX[k] = gridPoint(grid.xmin, step, k);
  }
  outY.assign(n, how == Combination::Sum ? 0.0 : 1.0);
  for (const Graph* g : sources) {
    const AscendingSource source(g->xs(), g->ys());
    if (how == Combination::Sum) {
      forEachResampled(source.xs(), source.ys(), grid.xmin, grid.xmax, n,
                       [&outY](std::size_t k, double v) { outY[k] = outY[k] + v; });
    } else {
      forEachResampled(source.xs(), source.ys(), grid.xmin, grid.xmax, n,
                       [&outY](std::size_t k, double v) { outY[k] = v * outY[k]; });
    }
  }
}

}  // namespace tarvik
