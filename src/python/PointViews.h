#pragma once
// Points between the graph store and numpy: read-only views of a graph's own arrays, and
// the one copy that brings an array-like of numbers into a graph.
#include <pybind11/numpy.h>

#include <memory>
#include <string>
#include <vector>

#include "core/Graph.h"

namespace tarvik::python {

// A one-dimensional float64 array over `block` without copying it. The array owns a share
// of the block, so it stays valid after the graph is rewritten, closed or its document is
// gone; a block shared by anyone is never written by the store (copy on write), so the
// values never change under the array. Writing to it is refused (read-only flag).
pybind11::array blockView(std::shared_ptr<const PointBlock> block);

// The numbers of an array-like as a graph's array, and whether they never descend.
struct CheckedPoints {
  std::vector<double> values;
  bool ascending = true;  // no value smaller than the one before it (judged when asked)
};

// The numbers of an array-like (a numpy array, a list, a pandas Series, ...) as doubles,
// in one copy: a C-ordered array of float64, float32 or integers is read once (converted
// on the way, as numpy casts); another dtype, byte order or a strided array is cast by
// numpy block by block on the way (no converted copy of the whole array). With
// `judgeOrder` the result says whether the values ascend. `name` names the argument in
// messages. TypeError for what is not a one-dimensional sequence of real numbers or
// booleans; ValueError for more than one dimension and for a value that is not finite (its
// index named).
CheckedPoints finitePoints(const pybind11::handle& values, const std::string& name,
                           bool judgeOrder);

}  // namespace tarvik::python
