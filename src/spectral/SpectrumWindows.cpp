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
//    The Kaiser window evaluates that series in pieces of q = x²/4 half a unit wide, each the
//    same terms regrouped about the piece's start into eleven positive ones (KaiserPieces).
//  - A window is made in blocks of 256 samples that are handed on while they are in cache:
//    copied out, summed for the mean, or multiplied into the samples at both ends.
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

// Square roots of four lanes: two SSE2 halves in the baseline variant, one AVX instruction
// in the AVX2 one (the same correctly rounded values).
struct SqrtPortable {
  [[gnu::always_inline]] static V4d root(V4d v) { return simd::vectorSqrt(v); }
};
#if TARVIK_SIMD_DISPATCH
struct SqrtAvx {
  // Only for code inlined into functions compiled with [[gnu::target("avx2")]].
  [[gnu::always_inline]] static V4d root(V4d v) {
    V4d r;
    asm("vsqrtpd %1, %0" : "=x"(r) : "x"(v));
    return r;
  }
};
#endif

// q[j] = x²/4 with x = β·√(1 − u²), u = (n0 + j − c)/c, for j < n (x made as the scientific
// Python stack makes it, so that the windows agree to the last bits); 0 for the rest of the
// block.
template <class S>
[[gnu::always_inline]] inline void kaiserArgumentsBody(std::size_t n0, std::size_t n,
                                                       double centre, double beta, double* q) {
  const V4d c = simd::splat(centre), b = simd::splat(beta), one = simd::splat(1);
  const V4d quarter = simd::splat(0.25);
  const V4d step = {0, 1, 2, 3};
  std::size_t j = 0;
  for (; j + 4 <= n; j += 4) {
    const V4d index = simd::splat(static_cast<double>(n0 + j)) + step;
    const V4d u = (index - c) / c;
    const V4d x = b * S::root(one - u * u);
    simd::store(q + j, x * x * quarter);
  }
  for (; j < n; ++j) {
    const double u = (static_cast<double>(n0 + j) - centre) / centre;
    const double x = beta * std::sqrt(1 - u * u);
    q[j] = x * x * 0.25;
  }
  std::fill(q + n, q + kAngleBlock, 0.0);
}

#if TARVIK_SIMD_DISPATCH
[[gnu::target("avx2")]] void kaiserArgumentsAvx2(std::size_t n0, std::size_t n, double centre,
                                                 double beta, double* q) {
  kaiserArgumentsBody<SqrtAvx>(n0, n, centre, beta, q);
}
#endif
void kaiserArguments(std::size_t n0, std::size_t n, double centre, double beta, double* q) {
#if TARVIK_SIMD_DISPATCH
  if (simd::hasAvx2()) {
    kaiserArgumentsAvx2(n0, n, centre, beta, q);
    return;
  }
#endif
  kaiserArgumentsBody<SqrtPortable>(n0, n, centre, beta, q);
}

// Over q ∈ [i·r, (i+1)·r), r = kKaiserStep, the series of I0 is the polynomial Σ_j d_j·t^j in
// t = q − i·r, d_j = Σ_k C(k, j)·q0^(k−j)/(k!)² its Taylor coefficients at q0 = i·r (the same
// terms of the series, regrouped). With t < 1/2 the terms beyond t^10 fall below 1e-17 of the
// sum for every q0, so eleven positive terms stand for the whole series (23 at β = 8.6).
constexpr double kKaiserStep = 0.5;
constexpr std::size_t kKaiserDegree = 10;
constexpr std::size_t kKaiserCoefficients = kKaiserDegree + 1;

// A double-double number hi + lo, |lo| ≤ ulp(hi)/2.
struct Wide {
  double hi = 0, lo = 0;
};

// a·b + c for a double b, to about 2^−100 relative when all three are positive.
Wide multiplyAdd(Wide a, double b, Wide c) {
  const double p = a.hi * b;
  const double pe = std::fma(a.hi, b, -p) + a.lo * b;
  const double s = p + c.hi;
  const double bb = s - p;
  const double se = (p - (s - bb)) + (c.hi - bb);
  const double lo = se + pe + c.lo;
  Wide r;
  r.hi = s + lo;
  r.lo = lo - (r.hi - s);
  return r;
}

// C(k, j)/(k!)² for k < kSeriesTerms, j ≤ kKaiserDegree, as double-double numbers.
const std::array<Wide, kSeriesTerms * kKaiserCoefficients>& regroupedCoefficients() {
  static const std::array<Wide, kSeriesTerms * kKaiserCoefficients> table = [] {
    std::array<Wide, kSeriesTerms * kKaiserCoefficients> t{};
    std::array<double, kKaiserCoefficients> binomial{};  // C(k, j) for the current k, exact
    binomial[0] = 1;
    Wide c{1, 0};  // 1/(k!)²
    for (std::size_t k = 0; k < kSeriesTerms; ++k) {
      if (k > 0) {
        for (std::size_t j = std::min(k, kKaiserDegree); j > 0; --j) {
          binomial[j] += binomial[j - 1];
        }
        const double d = static_cast<double>(k * k);  // exact
        const double q1 = c.hi / d;
        const double r = (std::fma(-q1, d, c.hi) + c.lo) / d;
        c.hi = q1 + r;
        c.lo = r - (c.hi - q1);
      }
      for (std::size_t j = 0; j < kKaiserCoefficients; ++j) {
        t[k * kKaiserCoefficients + j] = multiplyAdd(c, binomial[j], Wide{});
      }
    }
    return t;
  }();
  return table;
}

// The pieces of the Kaiser window w(q) = I0(2√q)/I0(2√qMax) over q ∈ [0, qMax], the series
// taken up to its term `last`. A piece's coefficients are made when it is first asked for (a
// short window meets few pieces), in double-double arithmetic and divided by the window's
// denominator there, so each is the rounding of its exact value and no sample is divided.
class KaiserPieces {
 public:
  KaiserPieces(double qMax, std::size_t last)
      : m_count(static_cast<std::size_t>(qMax / kKaiserStep) + 1),
        m_last(last),
        m_made(m_count, false),
        m_d(m_count * kKaiserCoefficients, 0.0) {
    const std::size_t top = pieceOf(qMax);
    const auto d = seriesPiece(top);
    const double t = qMax - start(top);  // exact: qMax/2 ≤ start(top) ≤ qMax, or 0
    m_denominator = d[kKaiserDegree];
    for (std::size_t k = kKaiserDegree; k-- > 0;) {
      m_denominator = multiplyAdd(m_denominator, t, d[k]);
    }
  }
  std::size_t count() const { return m_count; }
  double start(std::size_t piece) const { return static_cast<double>(piece) * kKaiserStep; }
  std::size_t pieceOf(double q) const {
    return std::min(m_count - 1, static_cast<std::size_t>(q / kKaiserStep));
  }
  const double* coefficients(std::size_t piece) {
    double* d = m_d.data() + piece * kKaiserCoefficients;
    if (!m_made[piece]) {
      const auto wide = seriesPiece(piece);
      for (std::size_t j = 0; j < kKaiserCoefficients; ++j) {
        d[j] = divide(wide[j], m_denominator);
      }
      m_made[piece] = true;
    }
    return d;
  }

 private:
  // d_j = Σ_{k≥j} C(k, j)·q0^(k−j)/(k!)² by Horner's rule in q0 (q0 is exact).
  std::array<Wide, kKaiserCoefficients> seriesPiece(std::size_t piece) const {
    const auto& e = regroupedCoefficients();
    const double q0 = start(piece);
    std::array<Wide, kKaiserCoefficients> sum{};
    for (std::size_t k = m_last + 1; k-- > 0;) {
      const Wide* ek = e.data() + k * kKaiserCoefficients;
      for (std::size_t j = 0; j <= std::min(k, kKaiserDegree); ++j) {
        sum[j] = multiplyAdd(sum[j], q0, ek[j]);
      }
    }
    return sum;
  }
  // a/b rounded to double.
  static double divide(Wide a, Wide b) {
    const double q = a.hi / b.hi;
    const double r = std::fma(-q, b.hi, a.hi) + a.lo - q * b.lo;
    return q + r / b.hi;
  }

  std::size_t m_count, m_last;
  std::vector<bool> m_made;
  std::vector<double> m_d;
  Wide m_denominator;
};

// w[j] = P(q[j] − q0) for j ∈ [a, b), P the piece with coefficients d; sixteen samples at a
// time (four chains in registers) so that the multiplications and additions of different
// samples overlap. The lanes and the scalar tail compute alike.
TARVIK_SIMD_KERNEL
void kaiserRun(const double* q, std::size_t a, std::size_t b, const double* d, double q0,
               double* w) {
  const V4d start = simd::splat(q0);
  std::size_t j = a;
  for (; j + 16 <= b; j += 16) {
    const V4d t0 = simd::load(q + j) - start, t1 = simd::load(q + j + 4) - start;
    const V4d t2 = simd::load(q + j + 8) - start, t3 = simd::load(q + j + 12) - start;
    V4d s0 = simd::splat(d[kKaiserDegree]), s1 = s0, s2 = s0, s3 = s0;
#pragma GCC unroll 16
    for (std::size_t k = kKaiserDegree; k-- > 0;) {
      const V4d dk = simd::splat(d[k]);
      s0 = s0 * t0 + dk;
      s1 = s1 * t1 + dk;
      s2 = s2 * t2 + dk;
      s3 = s3 * t3 + dk;
    }
    simd::store(w + j, s0);
    simd::store(w + j + 4, s1);
    simd::store(w + j + 8, s2);
    simd::store(w + j + 12, s3);
  }
  for (; j + 4 <= b; j += 4) {
    const V4d t = simd::load(q + j) - start;
    V4d s = simd::splat(d[kKaiserDegree]);
    for (std::size_t k = kKaiserDegree; k-- > 0;) {
      s = s * t + simd::splat(d[k]);
    }
    simd::store(w + j, s);
  }
  for (; j < b; ++j) {
    const double t = q[j] - q0;
    double s = d[kKaiserDegree];
    for (std::size_t k = kKaiserDegree; k-- > 0;) {
      s = s * t + d[k];
    }
    w[j] = s;
  }
}

template <class Sink>
void kaiser(double beta, std::size_t m, std::size_t h, Sink&& sink) {
  const double centre = static_cast<double>(m - 1) / 2.0;
  const auto argument = [&](std::size_t n) {
    const double u = (static_cast<double>(n) - centre) / centre;
    return beta * std::sqrt(1 - u * u);
  };
  alignas(32) std::array<double, kAngleBlock> q{}, w{};
  if (beta <= kSeriesLimit) {
    // x²/4 grows from the edge to the centre (every step of its rounding is monotonic), so
    // the samples of one piece of the series are consecutive.
    const double qMax = beta * beta * 0.25;  // the centre's, as kaiserArguments makes it
    KaiserPieces pieces(qMax, seriesLength(beta));
    for (std::size_t n0 = 0; n0 < h; n0 += kAngleBlock) {
      const std::size_t n = std::min(kAngleBlock, h - n0);
      kaiserArguments(n0, n, centre, beta, q.data());
      for (std::size_t a = 0; a < n;) {
        const std::size_t piece = pieces.pieceOf(q[a]);
        const std::size_t b =
            piece + 1 == pieces.count()
                ? n
                : static_cast<std::size_t>(
                      std::lower_bound(q.data() + a + 1, q.data() + n, pieces.start(piece + 1)) -
                      q.data());
        kaiserRun(q.data(), a, b, pieces.coefficients(piece), pieces.start(piece), w.data());
        a = b;
      }
      sink(n0, n, w.data());
    }
    return;
  }
  const bool unscaled = beta <= kLargestUnscaled;
  const double denominator = unscaled ? besselI0(beta) : scaledI0(beta);
  for (std::size_t n0 = 0; n0 < h; n0 += kAngleBlock) {
    const std::size_t n = std::min(kAngleBlock, h - n0);
    for (std::size_t j = 0; j < n; ++j) {
      const double x = argument(n0 + j);
      w[j] = unscaled ? besselI0(x) / denominator
                      : std::exp(x - beta) * scaledI0(x) / denominator;
    }
    sink(n0, n, w.data());
  }
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
    case WindowKind::Kaiser:
      kaiser(shape.beta, m, h, sink);
      break;
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
  result.half.resize((m + 1) / 2);
  HalfSum sum;
  forWindowBlocks(shape, m, [&](std::size_t q0, std::size_t n, const double* w) {
    std::copy_n(w, n, result.half.data() + q0);
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
