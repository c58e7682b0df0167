#include "python/CheckedAppend.h"

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

bool anyLane(Mask m) { return (m[0] | m[1] | m[2] | m[3]) != 0; }

// v − v is 0 for a finite v and NaN for an infinite one or a NaN, so "v − v ≠ 0" marks
// exactly the values that are not finite.
[[gnu::always_inline]] inline Mask notFinite(V4d v) { return (v - v) != V4d{}; }

// Whether values[0, n) are all finite. Eight values per step, their verdicts OR-ed.
TARVIK_SIMD_KERNEL
bool allFinite(const double* values, std::size_t n) {
  Mask bad{};
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    bad |= notFinite(spectral::simd::load(values + i)) |
           notFinite(spectral::simd::load(values + i + 4));
  }
  bool finite = !anyLane(bad);
  for (; i < n; ++i) {
    finite = finite && std::isfinite(values[i]);
  }
  return finite;
}

// The same, and whether some values[i] < values[i − 1], values[−1] being `previous`.
// Each step compares eight values with the eight that precede them by one (a load one
// value back, from the cache).
TARVIK_SIMD_KERNEL
BlockVerdict judgeXs(const double* values, std::size_t n, double previous) {
  BlockVerdict verdict;
  if (n == 0) {
    return verdict;
  }
  verdict.finite = std::isfinite(values[0]);
  verdict.descends = values[0] < previous;
  Mask bad{}, down{};
  std::size_t i = 1;
  for (; i + 8 <= n; i += 8) {
    const V4d a = spectral::simd::load(values + i), b = spectral::simd::load(values + i + 4);
    const V4d pa = spectral::simd::load(values + i - 1), pb = spectral::simd::load(values + i + 3);
    bad |= notFinite(a) | notFinite(b);
    down |= (a < pa) | (b < pb);
  }
  verdict.finite = verdict.finite && !anyLane(bad);
  verdict.descends = verdict.descends || anyLane(down);
  for (; i < n; ++i) {
    verdict.finite = verdict.finite && std::isfinite(values[i]);
    verdict.descends = verdict.descends || values[i] < values[i - 1];
  }
  return verdict;
}

}  // namespace

bool CheckedAppend::judgeAppended(std::size_t n) {
  const double* block = m_out.data() + (m_out.size() - n);
  if (!m_judgeOrder) {
    return allFinite(block, n);
  }
  const BlockVerdict verdict = judgeXs(block, n, m_last);
  m_ascending = m_ascending && !verdict.descends;
  m_last = block[n - 1];
  return verdict.finite;
}

}  // namespace tarvik::python
