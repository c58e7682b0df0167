#include "transforms/GraphEditing.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "io/PointOrder.h"
#include "transforms/Pointwise.h"
#include "transforms/Resample.h"

namespace tarvik {
namespace {

template <class Keep>
void keepWhere(Graph& graph, Keep keep) {
  const std::span<double> xs = graph.xsMutable();
  const std::span<double> ys = graph.ysMutable();
  std::size_t kept = 0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (keep(i, xs[i])) {
      xs[kept] = xs[i];
      ys[kept] = ys[i];
      ++kept;
    }
  }
  keepFirstPoints(graph, kept);
}

}  // namespace

Graph cloneOnGrid(const Graph& source, std::size_t count) {
  Graph clone;
  const AscendingSource ascending(source.xs(), source.ys());
  if (ascending.xs().size() < 2 || count < 2) {
    return clone;
  }
  const double a = ascending.xs().front();
  const double b = ascending.xs().back();
  std::vector<double> ys(count);
  zeroPaddedResample(ascending.xs(), ascending.ys(), a, b, ys);
  std::vector<double> xs(count);
  const double step = gridStep(a, b, count);
  for (std::size_t k = 0; k < count; ++k) {
    xs[k] = gridPoint(a, step, k);
  }
  clone.setPoints(std::move(xs), std::move(ys));
  return clone;
}

void cropByX(Graph& graph, double lo, double hi) {
  keepWhere(graph, [lo, hi](std::size_t, double x) { return !(x < lo || x > hi); });
}

void halvePoints(Graph& graph) {
  if (graph.empty()) {
    return;
  }
  const std::size_t last = graph.size() - 1;
  keepWhere(graph, [last](std::size_t i, double) { return i % 2 == 0 || i == last; });
}

std::size_t splicedPointCount(const Graph& left, const Graph& right, double x0) {
  const auto leftCount = std::count_if(left.xs().begin(), left.xs().end(),
                                       [x0](double x) { return x <= x0; });
  const auto rightCount = std::count_if(right.xs().begin(), right.xs().end(),
                                        [x0](double x) { return x > x0; });
  return static_cast<std::size_t>(leftCount) + static_cast<std::size_t>(rightCount);
}

Graph spliceAt(const Graph& left, const Graph& right, double x0) {
  PointArrays points;
  const std::size_t count = splicedPointCount(left, right, x0);
  points.xs.reserve(count);
  points.ys.reserve(count);
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (left.x(i) <= x0) {
      points.xs.push_back(left.x(i));
      points.ys.push_back(left.y(i));
    }
  }
  for (std::size_t i = 0; i < right.size(); ++i) {
    if (right.x(i) > x0) {
      points.xs.push_back(right.x(i));
      points.ys.push_back(right.y(i));
    }
  }
  // A NaN X passes neither comparison, so the points are one run of the ordering rule.
  applyPointOrder(points);
  Graph result;
  result.setPoints(std::move(points.xs), std::move(points.ys));
  return result;
}

}  // namespace tarvik
