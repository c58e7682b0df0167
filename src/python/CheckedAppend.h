#pragma once
// The way new points enter a graph's array: in one pass over the caller's values, which are
// judged while they are copied — every value finite and, for X, none smaller than the one
// before it (what decides whether the points need ordering). The values are judged a block
// at a time while the block is in the processor's cache, so the caller's array is read
// from memory once and the graph's array written once, as a plain copy does.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

namespace tarvik::python {

class CheckedAppend {
 public:
  // Values are appended to `out` (the caller reserves its room). With `judgeOrder` (X
  // values) the order is judged too; otherwise ascending() stays true.
  CheckedAppend(std::vector<double>& out, bool judgeOrder) : m_out(out), m_judgeOrder(judgeOrder) {}

  // Appends values[0, count) (converted to double as a C++ conversion does: exactly, or
  // to the nearest double for 64-bit integers) and returns true when every one is finite.
  // At a value that is not finite it returns false; what it appended by then is
  // unspecified (the caller throws the array away). Successive calls continue one
  // sequence.
  template <class T>
  bool append(const T* values, std::size_t count) {
    for (std::size_t begin = 0; begin < count; begin += kBlock) {
      const std::size_t n = std::min(kBlock, count - begin);
      m_out.insert(m_out.end(), values + begin, values + begin + n);
      if (!judgeAppended(n)) {
        return false;
      }
    }
    return true;
  }

  // True when no value appended so far is smaller than the one before it.
  bool ascending() const { return m_ascending; }

 private:
  // Values copied and then judged per pass: the block is still in the first-level cache
  // when the judging reads it back.
  static constexpr std::size_t kBlock = 4096;

  // Judges the last n values appended; false when one is not finite.
  bool judgeAppended(std::size_t n);

  std::vector<double>& m_out;
  bool m_judgeOrder;
  bool m_ascending = true;
  double m_last = -std::numeric_limits<double>::infinity();
};

// The index of the first value of values[0, count) that is not finite; count when all are.
template <class T>
std::size_t firstNotFinite(const T* values, std::size_t count) {
  std::size_t i = 0;
  while (i < count && std::isfinite(static_cast<double>(values[i]))) {
    ++i;
  }
  return i;
}

}  // namespace tarvik::python
