#pragma once
// Uniform resampling of a graph for its spectrum: M samples by linear interpolation over
// the graph's X range, each multiplied by the sample step in seconds (so the sums come out
// as integrals, X(f) = Σ y(t)·s·e^(−i2πft)) and stored in single precision.
#include <cstddef>
#include <vector>

#include "core/Graph.h"

namespace tarvik::spectral {

struct UniformSamples {
  std::vector<float> values;  // y(t_p)·s, single precision
  double x0 = 0;              // the first sample time, graph X units (Xmin in single precision)
  double step = 0;            // h, graph X units between samples
  double sampleStep = 0;      // s = h·timeUnitSeconds, seconds
};

// `count` samples at t_p = p·h + x0, h = (x1 − x0)/(count − 1), where x0 and x1 are the
// graph's smallest and largest X rounded to single precision. A sample outside
// [Xmin, Xmax], or where no interval X[j] ≤ t ≤ X[j+1] is found searching forward from the
// previous one, is 0; an interval of zero length gives Y[j]. A graph of fewer than two
// points gives zeros. count < 2: std::invalid_argument.
UniformSamples uniformResample(const Graph& graph, std::size_t count, double timeUnitSeconds);

}  // namespace tarvik::spectral
