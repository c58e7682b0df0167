#pragma once
// The way new points enter a graph's array: in one pass over the caller's values, which are
// judged while they are copied — every value finite and, for X, none smaller than the one
// before it (what decides whether the points need ordering). The values are judged a block
// at a time while the block is in the processor's cache, so the caller's array is read
// from memory once and the graph's array written once, as a plain copy does.
#include <cstddef>
#include <limits>
#include <vector>

namespace tarvik::python {

class CheckedAppend {
 public:
  // Values are appended to `out` (the caller reserves its room). With `judgeOrder` (X
  // values) the order is judged too; otherwise ascending() stays true.
  CheckedAppend(std::vector<double>& out, bool judgeOrder) : m_out(out), m_judgeOrder(judgeOrder) {}

  // Appends values[0, count) and returns true when every one is finite. At a value that
  // is not finite it returns false; what it appended by then is unspecified (the caller
  // throws the array away). Successive calls continue one sequence.
  bool append(const double* values, std::size_t count);

  // True when no value appended so far is smaller than the one before it.
  bool ascending() const { return m_ascending; }

 private:
  std::vector<double>& m_out;
  bool m_judgeOrder;
  bool m_ascending = true;
  double m_last = -std::numeric_limits<double>::infinity();
};

// The index of the first value of values[0, count) that is not finite; count when all are.
std::size_t firstNotFinite(const double* values, std::size_t count);

}  // namespace tarvik::python
