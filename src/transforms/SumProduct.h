#pragma once
// Sum and product of graphs on a common even grid: each graph is resampled with zero
// padding onto the grid, then the values are added or multiplied point by point.
#include <cstddef>
#include <span>
#include <vector>

#include "core/Graph.h"

namespace tarvik {

enum class Combination { Sum, Product };

// The common grid of a sum or product.
struct CommonGrid {
  double xmin = 0;
  double xmax = 0;
  std::size_t count = 0;  // N, at least 256
};

inline constexpr std::size_t kMinCombinationPoints = 256;

// The grid for `sources`: starting from the crosswise range [chartMaxX, chartMinX] (the
// largest and smallest X the chart shows), every source with points widens it to its own
// X range; N is the largest point count, at least 256. Sources without points leave the
// range alone.
CommonGrid commonGrid(std::span<const Graph* const> sources, double chartMinX, double chartMaxX);

// The combined graph's points: grid.count points at the grid X, each the sum (starting from
// 0) or the product (starting from 1) of the sources' resampled values, in source order. A
// source with fewer than two points contributes 0; a source whose X does not ascend is
// resampled from a stably X-sorted copy. O(N · sources), no buffer per source.
void combineOnGrid(std::span<const Graph* const> sources, const CommonGrid& grid, Combination how,
                   std::vector<double>& outX, std::vector<double>& outY);

}  // namespace tarvik
