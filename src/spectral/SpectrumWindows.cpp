// Spectrum windows. Notes on the numerics:
//  - The cosines of the angles q·Δ come from two short tables, cos/sin of j·Δ (j < 256) and
//    of the block starts, joined by the angle-addition formulas: each value is within a few
//    1e-16 of the exact one at one trigonometric call per 256 samples, so a window costs
//    about as much as one pass over its samples. cos kθ for k ≤ 4 follows from cos θ and
//    sin θ by the same formulas.
//  - I0 up to 30 is its power series Σ (x²/4)^k/(k!)², summed by Horner's rule in x²/4 with
//    coefficients made in double-double arithmetic (each within half an ulp); all terms are
//    positive, so the sum is accurate to a few ulp. Beyond 30 the asymptotic series
//    e^x/√(2πx)·Σ ((2k−1)!!)²/(k!·(8x)^k) converges to double precision in under 20 terms.
#include "spectral/SpectrumWindows.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include "spectral/Simd.h"

TARVIK_SIMD_BEGIN

namespace tarvik::spectral {
namespace {

using simd::V4d;

constexpr double kPi = 3.141592653589793;
constexpr std::size_t kAngleBlock = 256;
constexpr double kSeriesLimit = 30;       // I0 by its power series up to here
constexpr std::size_t kSeriesTerms = 64;  // enough for x = 30 (the terms fall below 1e-30)
// Beyond this I0 overflows a double; the Kaiser window then works with e^(−x)·I0(x).
constexpr double kLargestUnscaled = 700;

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
// θ_q = 2πq/(M−1), added in the order of k; one whole block of angles.
TARVIK_SIMD_KERNEL
void cosineBlock(const double* c, const double* s, const double* a, double* out) {
  const V4d a0 = simd::splat(a[0]), a1 = simd::splat(a[1]), a2 = simd::splat(a[2]);
  const V4d a3 = simd::splat(a[3]), a4 = simd::splat(a[4]), two = simd::splat(2);
  for (std::size_t j = 0; j < kAngleBlock; j += 4) {
    const V4d c1 = simd::load(c + j), s1 = simd::load(s + j);
    const V4d c2 = c1 * c1 - s1 * s1, s2 = two * s1 * c1;
    const V4d c3 = c2 * c1 - s2 * s1, s3 = s2 * c1 + c2 * s1;
    const V4d c4 = c3 * c1 - s3 * s1;
    simd::store(out + j, a0 - a1 * c1 + a2 * c2 - a3 * c3 + a4 * c4);
  }
}

void cosineSum(const std::array<double, 5>& a, std::size_t m, double* out, std::size_t h) {
  const double delta = 2 * kPi / static_cast<double>(m - 1);
  alignas(32) std::array<double, kAngleBlock> w{};
  forAngleBlocks(delta, h, [&](std::size_t q0, std::size_t n, const double* c, const double* s) {
    cosineBlock(c, s, a.data(), w.data());
    std::copy_n(w.begin(), n, out + q0);
  });
}

// 1/(k!)² for k < kSeriesTerms, each the rounding of a double-double value.
const std::array<double, kSeriesTerms>& seriesCoefficients() {
  static const std::array<double, kSeriesTerms> table = [] {
    std::array<double, kSeriesTerms> t{};
    double hi = 1, lo = 0;
    for (std::size_t k = 0; k < kSeriesTerms; ++k) {
      if (k > 0) {
        const double d = static_cast<double>(k * k);  // exact
        const double q1 = hi / d;
        const double r = (std::fma(-q1, d, hi) + lo) / d;
        hi = q1 + r;
        lo = r - (hi - q1);
      }
      t[k] = hi;
    }
    return t;
  }();
  return table;
}

// Σ_{k≤last} q^k/(k!)² by Horner's rule.
double seriesI0(double q, std::size_t last) {
  const auto& c = seriesCoefficients();
  double sum = c[last];
  for (std::size_t k = last; k-- > 0;) {
    sum = sum * q + c[k];
  }
  return sum;
}

// The last term of the series that still counts for arguments up to x.
std::size_t seriesLength(double x) {
  const auto& c = seriesCoefficients();
  const double q = x * x / 4;
  double power = 1, sum = 0;
  for (std::size_t k = 0; k < kSeriesTerms; ++k) {
    const double term = power * c[k];
    sum += term;
    if (k > 0 && term < 1e-17 * sum) {
      return k;
    }
    power *= q;
  }
  return kSeriesTerms - 1;
}

// e^(−x)·I0(x) for x > 30 by the asymptotic series.
double scaledAsymptoticI0(double x) {
  double term = 1, sum = 1;
  for (int k = 1; k < 40; ++k) {
    const double odd = 2.0 * k - 1;
    term *= odd * odd / (8.0 * k * x);
    sum += term;
    if (term < 1e-18 * sum) {
      break;
    }
  }
  return sum / std::sqrt(2 * kPi * x);
}

double scaledI0(double x) {
  return x <= kSeriesLimit ? seriesI0(x * x / 4, kSeriesTerms - 1) * std::exp(-x)
                           : scaledAsymptoticI0(x);
}

// q[j] = x²/4 with x = β·√(1 − u²), u = (n0 + j − c)/c, for j < n; 0 for the rest of the
// block.
TARVIK_SIMD_KERNEL
void kaiserArguments(std::size_t n0, std::size_t n, double centre, double beta, double* q) {
  const V4d c = simd::splat(centre), b = simd::splat(beta), one = simd::splat(1);
  const V4d quarter = simd::splat(0.25);
  const V4d step = {0, 1, 2, 3};
  std::size_t j = 0;
  for (; j + 4 <= n; j += 4) {
    const V4d index = simd::splat(static_cast<double>(n0 + j)) + step;
    const V4d u = (index - c) / c;
    const V4d x = b * simd::vectorSqrt(one - u * u);
    simd::store(q + j, x * x * quarter);
  }
  for (; j < n; ++j) {
    const double u = (static_cast<double>(n0 + j) - centre) / centre;
    const double x = beta * std::sqrt(1 - u * u);
    q[j] = x * x * 0.25;
  }
  std::fill(q + n, q + kAngleBlock, 0.0);
}

// sum[j] = Σ_{k≤last} q[j]^k·c[k] by Horner's rule for a whole block, 32 lanes at once so
// that the multiplications and additions of different samples overlap.
TARVIK_SIMD_KERNEL
void kaiserSeries(const double* q, const double* c, std::size_t last, double* sum) {
  constexpr int kChains = 8;
  for (std::size_t j = 0; j < kAngleBlock; j += 4 * kChains) {
    V4d s[kChains];
    for (int i = 0; i < kChains; ++i) {
      s[i] = simd::splat(c[last]);
    }
    for (std::size_t k = last; k-- > 0;) {
      const V4d ck = simd::splat(c[k]);
      for (int i = 0; i < kChains; ++i) {
        s[i] = s[i] * simd::load(q + j + 4 * static_cast<std::size_t>(i)) + ck;
      }
    }
    for (int i = 0; i < kChains; ++i) {
      simd::store(sum + j + 4 * static_cast<std::size_t>(i), s[i]);
    }
  }
}

void kaiser(double beta, std::size_t m, double* out, std::size_t h) {
  const double centre = static_cast<double>(m - 1) / 2.0;
  const auto argument = [&](std::size_t n) {
    const double u = (static_cast<double>(n) - centre) / centre;
    return beta * std::sqrt(1 - u * u);
  };
  if (beta <= kSeriesLimit) {
    // One polynomial in x²/4 for every sample, sixteen samples at a time.
    const std::size_t last = seriesLength(beta);
    const double denominator = seriesI0(beta * beta / 4, last);
    alignas(32) std::array<double, kAngleBlock> q{}, sum{};
    for (std::size_t n0 = 0; n0 < h; n0 += kAngleBlock) {
      const std::size_t n = std::min(kAngleBlock, h - n0);
      kaiserArguments(n0, n, centre, beta, q.data());
      kaiserSeries(q.data(), seriesCoefficients().data(), last, sum.data());
      for (std::size_t j = 0; j < n; ++j) {
        out[n0 + j] = sum[j] / denominator;
      }
    }
    return;
  }
  if (beta <= kLargestUnscaled) {
    const double denominator = besselI0(beta);
    for (std::size_t n = 0; n < h; ++n) {
      out[n] = besselI0(argument(n)) / denominator;
    }
    return;
  }
  const double denominator = scaledI0(beta);
  for (std::size_t n = 0; n < h; ++n) {
    const double x = argument(n);
    out[n] = std::exp(x - beta) * scaledI0(x) / denominator;
  }
}

void tukey(double alpha, std::size_t m, double* out, std::size_t h) {
  if (alpha >= 1) {
    cosineSum({0.5, 0.5, 0, 0, 0}, m, out, h);
    return;
  }
  std::fill(out, out + h, 1.0);
  if (alpha <= 0) {
    return;
  }
  // The taper 0.5·(1 + cos(π(−1 + 2n/(α(M−1))))) = 0.5·(1 − cos(2πn/(α(M−1)))) for
  // n ≤ ⌊α(M−1)/2⌋.
  const double width = std::floor(alpha * static_cast<double>(m - 1) / 2.0);
  const std::size_t count = std::min(h, static_cast<std::size_t>(width) + 1);
  const double delta = 2 * kPi / (alpha * static_cast<double>(m - 1));
  forAngleBlocks(delta, count, [&](std::size_t q0, std::size_t n, const double* c, const double*) {
    for (std::size_t j = 0; j < n; ++j) {
      out[q0 + j] = 0.5 * (1 - c[j]);
    }
  });
}

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
  if (shape.kind == WindowKind::Kaiser && !kaiserBetaUsable(shape.beta)) {
    throw std::invalid_argument("Kaiser window: beta must be finite and not negative");
  }
  if (shape.kind == WindowKind::Tukey && !tukeyAlphaUsable(shape.alpha)) {
    throw std::invalid_argument("Tukey window: alpha must lie within [0, 1]");
  }
  const std::size_t h = (m + 1) / 2;
  std::vector<double> w(h, 1.0);
  if (m <= 1) {
    return w;
  }
  switch (shape.kind) {
    case WindowKind::Rectangular:
      break;
    case WindowKind::Hann:
      cosineSum({0.5, 0.5, 0, 0, 0}, m, w.data(), h);
      break;
    case WindowKind::Hamming:
      cosineSum({0.54, 1.0 - 0.54, 0, 0, 0}, m, w.data(), h);
      break;
    case WindowKind::Blackman:
      cosineSum({0.42, 0.50, 0.08, 0, 0}, m, w.data(), h);
      break;
    case WindowKind::BlackmanHarris:
      cosineSum({0.35875, 0.48829, 0.14128, 0.01168, 0}, m, w.data(), h);
      break;
    case WindowKind::Flattop:
      cosineSum({0.21557895, 0.41663158, 0.277263158, 0.083578947, 0.006947368}, m, w.data(), h);
      break;
    case WindowKind::Kaiser:
      kaiser(shape.beta, m, w.data(), h);
      break;
    case WindowKind::Tukey:
      tukey(shape.alpha, m, w.data(), h);
      break;
  }
  return w;
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
  // Neumaier's compensated sum: the mean scales every amplitude.
  double sum = 0, carry = 0;
  for (double v : half) {
    const double t = sum + v;
    carry += std::fabs(sum) >= std::fabs(v) ? (sum - t) + v : (v - t) + sum;
    sum = t;
  }
  double total = 2 * (sum + carry);
  if (m % 2 == 1) {
    total -= half.back();
  }
  return total / static_cast<double>(m);
}

std::vector<double> unitMeanHalfWindow(const WindowShape& shape, std::size_t m) {
  std::vector<double> half = halfWindow(shape, m);
  const double mean = windowMean(half, m);
  if (!(mean > 0)) {
    return {};
  }
  const double scale = 1 / mean;
  for (double& v : half) {
    v *= scale;
  }
  return half;
}

void weightSamples(std::span<float> samples, std::span<const double> half) {
  const std::size_t m = samples.size(), h = half.size();
  if (h != (m + 1) / 2) {
    throw std::invalid_argument("weightSamples: the half window does not fit the samples");
  }
  for (std::size_t p = 0; p < h; ++p) {
    samples[p] = static_cast<float>(samples[p] * half[p]);
  }
  for (std::size_t p = h; p < m; ++p) {
    samples[p] = static_cast<float>(samples[p] * half[m - 1 - p]);
  }
}

double besselI0(double x) {
  x = std::fabs(x);
  if (std::isinf(x)) {
    return x;
  }
  if (!(x > kSeriesLimit)) {
    return std::isnan(x) ? x : seriesI0(x * x / 4, kSeriesTerms - 1);
  }
  return std::exp(x) * scaledAsymptoticI0(x);
}

}  // namespace tarvik::spectral

TARVIK_SIMD_END
