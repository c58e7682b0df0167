#pragma once
// Small builders shared by the transform tests.
#include <cstddef>
#include <string>
#include <vector>

#include "core/Graph.h"
#include "core/GraphStore.h"

namespace tarvik::testing {

inline Graph makeGraph(std::vector<double> xs, std::vector<double> ys, std::string title = "g") {
  Graph g;
  g.setPoints(std::move(xs), std::move(ys));
  g.title = std::move(title);
  return g;
}

// Appends a graph with the given points to the store the way a reader does.
inline std::size_t addGraph(GraphStore& store, std::vector<double> xs, std::vector<double> ys,
                            const std::string& title = "g") {
  const std::size_t i = store.appendGraph(title);
  store.graph(i).setPoints(std::move(xs), std::move(ys));
  return i;
}

inline std::vector<double> toVector(std::span<const double> v) { return {v.begin(), v.end()}; }

}  // namespace tarvik::testing
