// Spectrum windows. Notes on the numerics:
//  - The cosines of the angles q·Δ come from two short tables, cos/sin of j·Δ (j < 256) and
//    of the block starts, joined by the angle-addition formulas: each value is within a few
//    1e-16 of the exact one at one trigonometric call per 256 samples, so a window costs
//    about as much as one pass over its samples. cos kθ for k ≤ 4 follows from cos θ and
//    sin θ by the same formulas.
//  - The Kaiser window and its Bessel function live in SpectrumKaiser.cpp.
//  - A window is made in blocks of 256 samples that are handed on while they are in cache:
//    copied out, summed for the mean, or multiplied into the samples at both ends.
#include "spectral/SpectrumWindows.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include "core/LargeArrays.h"
#include "spectral/Simd.h"
#include "spectral/SpectrumKaiser.h"

TARVIK_SIMD_BEGIN

namespace tarvik::spectral {
namespace {

using simd::V4d;

constexpr double kPi = 3.141592653589793;
constexpr std::size_t kAngleBlock = detail::kWindowBlock;

// c[j] = cos(b + jΔ), s[j] = sin(b + jΔ) from bc, bs = cos b, sin b and the table of jΔ,
// for a whole block.
TARVIK_SIMD_KERNEL
void rotateBlock(const double* tc, const double* ts, double bc, double bs, double* c, double* s) {
  const V4d vc = simd::splat(bc), vs = simd::splat(bs);
  for (std::size_t j = 0; j < kAngleBlock; j += 4) {
    const V4d a = simd::load(tc + j), b = simd::load(ts + j);
    simd::store(c + j, vc * a - vs * b);
    simd::store(s + j, vs * a + vc * b);
  }
}

// cos and sin of q·Δ for q ∈ [0, count), handed to f(q0, n, cos, sin) in consecutive blocks
// (the arrays hold a whole block; the first n entries count).
template <class F>
void forAngleBlocks(double delta, std::size_t count, F&& f) {
  alignas(32) std::array<double, kAngleBlock> tc{}, ts{}, c{}, s{};
  const std::size_t first = std::min(kAngleBlock, count);
  for (std::size_t j = 0; j < first; ++j) {
    const double angle = static_cast<double>(j) * delta;
    tc[j] = std::cos(angle);
    ts[j] = std::sin(angle);
  }
  f(std::size_t{0}, first, tc.data(), ts.data());
  for (std::size_t q0 = kAngleBlock; q0 < count; q0 += kAngleBlock) {
    const double angle = static_cast<double>(q0) * delta;
    rotateBlock(tc.data(), ts.data(), std::cos(angle), std::sin(angle), c.data(), s.data());
    f(q0, std::min(kAngleBlock, count - q0), c.data(), s.data());
  }
}

// w_q = Σ a_k·cos(k·(θ_q − π)) = a0 − a1·cos θ + a2·cos 2θ − a3·cos 3θ + a4·cos 4θ,
// θ_q = 2πq/(M−1), added in the order of k; one whole block of angles. Only the first
// `Terms` coefficients are taken (the others are zeros, whose products would add ±0).
template <int Terms>
[[gnu::always_inline]] inline void cosineBody(const double* c, const double* s, const double* a,
                                              double* out) {
  const V4d a0 = simd::splat(a[0]), a1 = simd::splat(a[1]), a2 = simd::splat(a[2]);
  const V4d a3 = simd::splat(a[3]), a4 = simd::splat(a[4]), two = simd::splat(2);
  for (std::size_t j = 0; j < kAngleBlock; j += 4) {
    const V4d c1 = simd::load(c + j), s1 = simd::load(s + j);
    V4d w = a0 - a1 * c1;
    if constexpr (Terms > 2) {
      const V4d c2 = c1 * c1 - s1 * s1;
      w = w + a2 * c2;
      if constexpr (Terms > 3) {
        const V4d s2 = two * s1 * c1;
        const V4d c3 = c2 * c1 - s2 * s1;
        w = w - a3 * c3;
        if constexpr (Terms > 4) {
          const V4d s3 = s2 * c1 + c2 * s1;
          w = w + a4 * (c3 * c1 - s3 * s1);
        }
      }
    }
    simd::store(out + j, w);
  }
}

TARVIK_SIMD_KERNEL
void cosineBlock2(const double* c, const double* s, const double* a, double* out) {
  cosineBody<2>(c, s, a, out);
}
TARVIK_SIMD_KERNEL
void cosineBlock3(const double* c, const double* s, const double* a, double* out) {
  cosineBody<3>(c, s, a, out);
}
TARVIK_SIMD_KERNEL
void cosineBlock4(const double* c, const double* s, const double* a, double* out) {
  cosineBody<4>(c, s, a, out);
}
TARVIK_SIMD_KERNEL
void cosineBlock5(const double* c, const double* s, const double* a, double* out) {
  cosineBody<5>(c, s, a, out);
}

// Hands the cosine-sum window's blocks to sink(q0, n, w).
template <class Sink>
void cosineSum(const std::array<double, 5>& a, std::size_t m, std::size_t h, Sink&& sink) {
  const double delta = 2 * kPi / static_cast<double>(m - 1);
  const std::size_t terms = a[4] != 0 ? 5 : a[3] != 0 ? 4 : a[2] != 0 ? 3 : 2;
  const auto block = terms == 5   ? cosineBlock5
                     : terms == 4 ? cosineBlock4
                     : terms == 3 ? cosineBlock3
                                  : cosineBlock2;
  alignas(32) std::array<double, kAngleBlock> w{};
  forAngleBlocks(delta, h, [&](std::size_t q0, std::size_t n, const double* c, const double* s) {
    block(c, s, a.data(), w.data());
    sink(q0, n, w.data());
  });
}





template <class Sink>
void tukey(double alpha, std::size_t m, std::size_t h, Sink&& sink) {
  if (alpha >= 1) {
    cosineSum({0.5, 0.5, 0, 0, 0}, m, h, sink);
    return;
  }
  alignas(32) std::array<double, kAngleBlock> w{};
  std::size_t next = 0;  // the first block after the taper
  if (alpha > 0) {
    // The taper 0.5·(1 + cos(π(−1 + 2n/(α(M−1))))) = 0.5·(1 − cos(2πn/(α(M−1)))) for
    // n ≤ ⌊α(M−1)/2⌋, ones after it.
    const double width = std::floor(alpha * static_cast<double>(m - 1) / 2.0);
    const std::size_t count = std::min(h, static_cast<std::size_t>(width) + 1);
    const double delta = 2 * kPi / (alpha * static_cast<double>(m - 1));
    forAngleBlocks(delta, count,
                   [&](std::size_t q0, std::size_t n, const double* c, const double*) {
                     for (std::size_t j = 0; j < n; ++j) {
                       w[j] = 0.5 * (1 - c[j]);
                     }
                     const std::size_t filled = std::min(kAngleBlock, h - q0);
                     std::fill(w.begin() + static_cast<std::ptrdiff_t>(n),
                               w.begin() + static_cast<std::ptrdiff_t>(filled), 1.0);
                     sink(q0, filled, w.data());
                     next = q0 + kAngleBlock;
                   });
  }
  std::fill(w.begin(), w.end(), 1.0);
  for (std::size_t q0 = next; q0 < h; q0 += kAngleBlock) {
    sink(q0, std::min(kAngleBlock, h - q0), w.data());
  }
}

void checkParameters(const WindowShape& shape) {
  if (shape.kind == WindowKind::Kaiser && !kaiserBetaUsable(shape.beta)) {
    throw std::invalid_argument("Kaiser window: beta must be finite and not negative");
  }
  if (shape.kind == WindowKind::Tukey && !tukeyAlphaUsable(shape.alpha)) {
    throw std::invalid_argument("Tukey window: alpha must lie within [0, 1]");
  }
}

// Hands the first half of the window of M samples, w_0 … w_{h−1}, to sink(q0, n, w) in
// consecutive blocks: q0 a multiple of kAngleBlock, n ≤ kAngleBlock values.
template <class Sink>
void forWindowBlocks(const WindowShape& shape, std::size_t m, Sink&& sink) {
  checkParameters(shape);
  const std::size_t h = (m + 1) / 2;
  if (m <= 1 || shape.kind == WindowKind::Rectangular) {
    alignas(32) std::array<double, kAngleBlock> ones;
    ones.fill(1.0);
    for (std::size_t q0 = 0; q0 < h; q0 += kAngleBlock) {
      sink(q0, std::min(kAngleBlock, h - q0), ones.data());
    }
    return;
  }
  switch (shape.kind) {
    case WindowKind::Rectangular:
      break;
    case WindowKind::Hann:
      cosineSum({0.5, 0.5, 0, 0, 0}, m, h, sink);
      break;
    case WindowKind::Hamming:
      cosineSum({0.54, 1.0 - 0.54, 0, 0, 0}, m, h, sink);
      break;
    case WindowKind::Blackman:
      cosineSum({0.42, 0.50, 0.08, 0, 0}, m, h, sink);
      break;
    case WindowKind::BlackmanHarris:
      cosineSum({0.35875, 0.48829, 0.14128, 0.01168, 0}, m, h, sink);
      break;
    case WindowKind::Flattop:
      cosineSum({0.21557895, 0.41663158, 0.277263158, 0.083578947, 0.006947368}, m, h, sink);
      break;
    case WindowKind::Kaiser: {
      detail::KaiserWindow kaiser(shape.beta, m);
      alignas(32) std::array<double, kAngleBlock> w{};
      for (std::size_t q0 = 0; q0 < h; q0 += kAngleBlock) {
        const std::size_t n = std::min(kAngleBlock, h - q0);
        kaiser.block(q0, n, w.data());
        sink(q0, n, w.data());
      }
      break;
    }
    case WindowKind::Tukey:
      tukey(shape.alpha, m, h, sink);
      break;
  }
}

// Σ w[0 … n) of one block: four lanes, two accumulators, then across.
TARVIK_SIMD_KERNEL
double blockSum(const double* w, std::size_t n) {
  V4d a = simd::splat(0), b = simd::splat(0);
  std::size_t j = 0;
  for (; j + 8 <= n; j += 8) {
    a += simd::load(w + j);
    b += simd::load(w + j + 4);
  }
  for (; j + 4 <= n; j += 4) {
    a += simd::load(w + j);
  }
  a += b;
  double sum = (a[0] + a[1]) + (a[2] + a[3]);
  for (; j < n; ++j) {
    sum += w[j];
  }
  return sum;
}

// The sum of a half window from its blocks' sums, by Neumaier's compensated sum (the mean
// scales every amplitude).
class HalfSum {
 public:
  void add(const double* w, std::size_t n) {
    const double v = blockSum(w, n);
    const double t = m_sum + v;
    m_carry += std::fabs(m_sum) >= std::fabs(v) ? (m_sum - t) + v : (v - t) + m_sum;
    m_sum = t;
    m_last = w[n - 1];
  }
  // The mean of the whole window of M samples (the middle sample of an odd M counted once).
  double mean(std::size_t m) const {
    double total = 2 * (m_sum + m_carry);
    if (m % 2 == 1) {
      total -= m_last;
    }
    return total / static_cast<double>(m);
  }

 private:
  double m_sum = 0, m_carry = 0, m_last = 0;
};

// x[q0 + j] and x[M − 1 − q0 − j] := x·w[j] in single precision for j < n, the mirrored
// sample taken once where it is the middle one.
template <class W>
[[gnu::always_inline]] inline void weightBlockBody(float* x, std::size_t m, std::size_t q0,
                                                   std::size_t n, const double* w) {
  float* f = x + q0;
  std::size_t j = 0;
  for (; j + 4 <= n; j += 4) {
    simd::storeFloats(f + j, W::wide(simd::loadRaw(f + j)) * simd::load(w + j));
  }
  for (; j < n; ++j) {
    f[j] = static_cast<float>(f[j] * w[j]);
  }
  // Sample i = hi − j carries w[j]; those below the second half belong to the first.
  const std::size_t h = (m + 1) / 2;
  const std::size_t hi = m - 1 - q0;
  std::size_t i = std::max(m - q0 - n, h);
  for (; i + 4 <= hi + 1; i += 4) {
    const V4d v = simd::load(w + (hi - i) - 3);
    simd::storeFloats(x + i, W::wide(simd::loadRaw(x + i)) * __builtin_shufflevector(v, v, 3, 2, 1, 0));
  }
  for (; i <= hi; ++i) {
    x[i] = static_cast<float>(x[i] * w[hi - i]);
  }
}

TARVIK_DISPATCHED_KERNEL(weightBlock, weightBlockBody,
                         (float* x, std::size_t m, std::size_t q0, std::size_t n, const double* w),
                         (x, m, q0, n, w))

}  // namespace

std::optional<WindowKind> windowKindByName(std::string_view name) {
  for (int i = 0; i < kWindowKinds; ++i) {
    if (name == kWindowNames[i]) {
      return static_cast<WindowKind>(i);
    }
  }
  return std::nullopt;
}

const char* windowName(WindowKind kind) { return kWindowNames[static_cast<int>(kind)]; }
const char* windowCaption(WindowKind kind) { return kWindowCaptions[static_cast<int>(kind)]; }

bool kaiserBetaUsable(double beta) { return std::isfinite(beta) && beta >= 0; }
bool tukeyAlphaUsable(double alpha) { return alpha >= 0 && alpha <= 1; }

std::vector<double> halfWindow(const WindowShape& shape, std::size_t m) {
  return halfWindowAndMean(shape, m).half;
}

HalfWindowAndMean halfWindowAndMean(const WindowShape& shape, std::size_t m) {
  checkParameters(shape);
  HalfWindowAndMean result;
  // The half window is written once, block by block, into room that is new to the process:
  // it is not cleared first, and huge pages are offered for it (a first long window otherwise
  // takes a page fault per 4 KiB, as much again as making it).
  const std::size_t h = (m + 1) / 2;
  result.half.reserve(h);
  adviseHugePages(result.half.data(), result.half.capacity() * sizeof(double));
  HalfSum sum;
  forWindowBlocks(shape, m, [&](std::size_t, std::size_t n, const double* w) {
    result.half.insert(result.half.end(), w, w + n);
    sum.add(w, n);
  });
  result.mean = m == 0 ? 0 : sum.mean(m);
  return result;
}

std::vector<double> spectrumWindow(const WindowShape& shape, std::size_t m) {
  std::vector<double> w = halfWindow(shape, m);
  w.resize(m);
  for (std::size_t p = (m + 1) / 2; p < m; ++p) {
    w[p] = w[m - 1 - p];
  }
  return w;
}

double windowMean(const std::vector<double>& half, std::size_t m) {
  if (m == 0 || half.size() != (m + 1) / 2) {
    return 0;
  }
  HalfSum sum;
  for (std::size_t q0 = 0; q0 < half.size(); q0 += kAngleBlock) {
    sum.add(half.data() + q0, std::min(kAngleBlock, half.size() - q0));
  }
  return sum.mean(m);
}

std::vector<double> unitMeanHalfWindow(const WindowShape& shape, std::size_t m) {
  HalfWindowAndMean w = halfWindowAndMean(shape, m);
  if (!(w.mean > 0)) {
    return {};
  }
  const double scale = 1 / w.mean;
  for (double& v : w.half) {
    v *= scale;
  }
  return std::move(w.half);
}

void weightSamples(std::span<float> samples, std::span<const double> half) {
  const std::size_t m = samples.size(), h = half.size();
  if (h != (m + 1) / 2) {
    throw std::invalid_argument("weightSamples: the half window does not fit the samples");
  }
  for (std::size_t q0 = 0; q0 < h; q0 += kAngleBlock) {
    weightBlock(samples.data(), m, q0, std::min(kAngleBlock, h - q0), half.data() + q0);
  }
}

double weightByWindow(const WindowShape& shape, std::span<float> samples) {
  checkParameters(shape);
  const std::size_t m = samples.size();
  if (m == 0) {
    return 0;
  }
  HalfSum sum;
  forWindowBlocks(shape, m, [&](std::size_t q0, std::size_t n, const double* w) {
    weightBlock(samples.data(), m, q0, n, w);
    sum.add(w, n);
  });
  return sum.mean(m);
}

}  // namespace tarvik::spectral

TARVIK_SIMD_END
