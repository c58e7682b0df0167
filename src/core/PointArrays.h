#pragma once
// The points of one graph as two parallel arrays: what readers hand back and what the
// computations that build a graph (splines, tables, sensor conversion) produce before the
// graph store takes them.
#include <vector>

namespace tarvik {

// The points of one graph, X and Y in parallel arrays.
struct PointArrays {
  std::vector<double> xs;
  std::vector<double> ys;
};

}  // namespace tarvik
