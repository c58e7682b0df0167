#include "python/CheckedAppend.h"

#include <bit>
#include <cmath>

#include "spectral/Simd.h"

TARVIK_SIMD_BEGIN

namespace tarvik::python {
namespace {

using spectral::simd::V4d;
using Mask = decltype(V4d{} < V4d{});

struct BlockVerdict {
  bool finite = true;
  bool descends = false;  // a value is smaller than the one before it
};

[[gnu::always_inline]] inline bool anyLane(Mask m) { return (m[0] | m[1] | m[2] | m[3]) != 0; }

// For a finite v, v − v is +0, all bits clear; for an infinity or a NaN it is a NaN. So
// when the bits of every v − v OR to zero, every value is finite. (Rounding towards −∞
// makes x − x a −0; the exact test behind this one then decides.) Eight values per step.
TARVIK_SIMD_KERNEL
bool differencesClear(const double* values, std::size_t n) {
  Mask bits{};
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const V4d a = spectral::simd::load(values + i), b = spectral::simd::load(values + i + 4);
    bits |= std::bit_cast<Mask>(a - a) | std::bit_cast<Mask>(b - b);
  }
  bool clear = !anyLane(bits);
  for (; i < n; ++i) {
    clear = clear && std::isfinite(values[i]);
  }
  return clear;
}

// Whether values[0, n) are all finite.
bool allFinite(const double* values, std::size_t n) {
  return differencesClear(values, n) || firstNotFinite(values, n) == n;
}

// Whether every values[i] ≥ values[i − 1], values[−1] being `previous`: false at a descent
// and at a NaN, for which "≥" is false as well. Each step compares eight values with the
// eight that precede them by one (a load one value back, from the cache).
TARVIK_SIMD_KERNEL
bool neverBelowPrevious(const double* values, std::size_t n, double previous) {
  Mask fails{};
  std::size_t i = 1;
  for (; i + 8 <= n; i += 8) {
    const V4d a = spectral::simd::load(values + i), b = spectral::simd::load(values + i + 4);
    const V4d pa = spectral::simd::load(values + i - 1), pb = spectral::simd::load(values + i + 3);
    fails |= ~(a >= pa) | ~(b >= pb);
  }
  bool holds = values[0] >= previous && !anyLane(fails);
  for (; i < n; ++i) {
    holds = holds && values[i] >= values[i - 1];
  }
  return holds;
}

// Whether values[0, n) are all finite and whether some values[i] < values[i − 1], value by
// value.
BlockVerdict judgeXsOneByOne(const double* values, std::size_t n, double previous) {
  BlockVerdict verdict;
  for (std::size_t i = 0; i < n; ++i) {
    verdict.finite = verdict.finite && std::isfinite(values[i]);
    verdict.descends = verdict.descends || values[i] < previous;
    previous = values[i];
  }
  return verdict;
}

// Whether values[0, n) (n > 0) are all finite and whether some values[i] < values[i − 1].
// Ascending X, the usual case, takes one comparison per value: then no value is NaN and
// every value lies between the first and the last, so those two decide finiteness. Blocks
// that fail it (points to be ordered, or a value to be refused) are judged value by value.
BlockVerdict judgeXs(const double* values, std::size_t n, double previous) {
  if (neverBelowPrevious(values, n, previous)) {
    return {std::isfinite(values[0]) && std::isfinite(values[n - 1]), false};
  }
  return judgeXsOneByOne(values, n, previous);
}

}  // namespace

bool CheckedAppend::judgeAppended(std::size_t n) {
  const double* block = m_out.data() + (m_out.size() - n);
  if (!m_judgeOrder || !m_ascending) {  // once X descends, the points are ordered anyway
    return allFinite(block, n);
  }
  const BlockVerdict verdict = judgeXs(block, n, m_last);
  m_ascending = m_ascending && !verdict.descends;
  m_last = block[n - 1];
  return verdict.finite;
}

}  // namespace tarvik::python
