#include "transforms/GraphEditing.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

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

Graph spliceAt(const Graph& left, const Graph& right, double x0) {
  std::vector<double> xs, ys;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (left.x(i) <= x0) {
      xs.push_back(left.x(i));
      ys.push_back(left.y(i));
    }
  }
  for (std::size_t i = 0; i < right.size(); ++i) {
    if (right.x(i) > x0) {
      xs.push_back(right.x(i));
      ys.push_back(right.y(i));
    }
  }
  Graph result;
  if (std::none_of(xs.begin(), xs.end(), [](double x) { return std::isnan(x); })) {
    // Add point inserts after the last point with X not greater: a stable sort by X.
    std::vector<std::size_t> order(xs.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&xs](std::size_t p, std::size_t q) { return xs[p] < xs[q]; });
    result.reserve(xs.size());
    for (std::size_t i : order) {
      result.appendPoint(xs[i], ys[i]);
    }
  } else {
    for (std::size_t i = 0; i < xs.size(); ++i) {
      result.addPoint(xs[i], ys[i]);
    }
  }
  return result;
}

}  // namespace tarvik
