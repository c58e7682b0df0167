// The Kaiser window. Notes on the numerics:
//  - I0 up to 30 is its power series Σ (x²/4)^k/(k!)², summed by Horner's rule in x²/4 with
//    coefficients made in double-double arithmetic (each within half an ulp); all terms are
//    positive, so the sum is accurate to a few ulp. Beyond 30 the asymptotic series
//    e^x/√(2πx)·Σ ((2k−1)!!)²/(k!·(8x)^k) converges to double precision in under 20 terms.
//  - The window evaluates that series in pieces of q = x²/4 half a unit wide, each the same
//    terms regrouped about the piece's middle into nine (KaiserPieces).
//  - The argument x = β·√(1 − u²), u = (p − c)/c, is rounded step by step as the scientific
//    Python stack rounds it: one unit in its last place moves the sample by about β units.
#include "spectral/SpectrumKaiser.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "spectral/Simd.h"
#include "spectral/SpectrumWindows.h"

TARVIK_SIMD_BEGIN

namespace tarvik::spectral {
namespace {

using simd::V4d;
using detail::kWindowBlock;

constexpr double kPi = 3.141592653589793;
constexpr std::size_t kAngleBlock = kWindowBlock;
constexpr double kSeriesLimit = 30;       // I0 by its power series up to here
constexpr std::size_t kSeriesTerms = 64;  // enough for x = 30 (the terms fall below 1e-30)
// Beyond this I0 overflows a double; the Kaiser window then works with e^(−x)·I0(x).
constexpr double kLargestUnscaled = 700;

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
#if TARVIK_SIMD_DISPATCH
// Eight lanes in the AVX-512 variant. Processors that have it divide and take square roots of
// eight lanes at the cost of four or better; the values are the same correctly rounded ones.
// Products are kept apart from the additions that follow them (opaque), so that the compiler
// does not fuse them into FMA instructions, which round once instead of twice.
typedef double V8d __attribute__((vector_size(64)));

// (The helpers are compiled for AVX-512 too: they pass 64-byte vectors by value.)
template <class T>
[[gnu::always_inline, gnu::target("avx512f")]] inline T opaque(T v) {
  asm("" : "+v"(v));
  return v;
}

[[gnu::always_inline, gnu::target("avx512f")]] inline V8d splat8(double x) { return V8d{x, x, x, x, x, x, x, x}; }
[[gnu::always_inline, gnu::target("avx512f")]] inline V8d load8(const double* p) {
  V8d v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
[[gnu::always_inline, gnu::target("avx512f")]] inline void store8(double* p, V8d v) { std::memcpy(p, &v, sizeof v); }

[[gnu::target("avx512f")]] void kaiserArgumentsAvx512(std::size_t n0, std::size_t n,
                                                     double centre, double beta, double* q) {
  const V8d c = splat8(centre), b = splat8(beta), one = splat8(1), quarter = splat8(0.25);
  const V8d step = {0, 1, 2, 3, 4, 5, 6, 7};
  std::size_t j = 0;
  for (; j + 8 <= n; j += 8) {
    const V8d index = splat8(static_cast<double>(n0 + j)) + step;
    const V8d u = (index - c) / c;
    V8d r = one - opaque(u * u);
    asm("vsqrtpd %1, %0" : "=v"(r) : "v"(r));
    const V8d x = b * r;
    store8(q + j, opaque(x * x) * quarter);
  }
  for (; j < n; ++j) {
    const double u = (static_cast<double>(n0 + j) - centre) / centre;
    const double x = beta * std::sqrt(1 - opaque(u * u));
    q[j] = opaque(x * x) * 0.25;
  }
  std::fill(q + n, q + kAngleBlock, 0.0);
}

bool hasAvx512() {
  static const bool yes = __builtin_cpu_supports("avx512f");
  return yes;
}
#endif

void kaiserArguments(std::size_t n0, std::size_t n, double centre, double beta, double* q) {
#if TARVIK_SIMD_DISPATCH
  if (hasAvx512()) {
    kaiserArgumentsAvx512(n0, n, centre, beta, q);
    return;
  }
  if (simd::hasAvx2()) {
    kaiserArgumentsAvx2(n0, n, centre, beta, q);
    return;
  }
#endif
  kaiserArgumentsBody<SqrtPortable>(n0, n, centre, beta, q);
}

// Over q ∈ [i·r, (i+1)·r), r = kKaiserStep, the series of I0 is the polynomial Σ_j d_j·t^j in
// t = q − q0, d_j = Σ_k C(k, j)·q0^(k−j)/(k!)² its Taylor coefficients at the piece's middle
// q0 = (i + 1/2)·r (the same terms of the series, regrouped). With |t| ≤ 1/4 the terms beyond
// t^8 fall below 2e-17 of the sum for every q0 (beyond t^10 from the piece's start), so nine
// terms stand for the whole series (23 at β = 8.6). Their signs alternate below the middle,
// but the sum of their magnitudes is at most 1.6 times the sum.
constexpr double kKaiserStep = 0.5;
constexpr std::size_t kKaiserDegree = 8;
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


// w[j] = P(q[j] − q0) for j ∈ [a, b), P the piece with coefficients d; sixteen samples at a
// time (four chains in registers) so that the multiplications and additions of different
// samples overlap. The lanes and the scalar tail compute alike.
TARVIK_SIMD_KERNEL
void kaiserRunPortable(const double* q, std::size_t a, std::size_t b, const double* d, double q0,
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

#if TARVIK_SIMD_DISPATCH
// kaiserRunPortable with eight lanes: thirty-two samples at a time in four chains.
[[gnu::target("avx512f")]] void kaiserRunAvx512(const double* q, std::size_t a, std::size_t b,
                                               const double* d, double q0, double* w) {
  const V8d start = splat8(q0);
  std::size_t j = a;
  for (; j + 32 <= b; j += 32) {
    const V8d t0 = load8(q + j) - start, t1 = load8(q + j + 8) - start;
    const V8d t2 = load8(q + j + 16) - start, t3 = load8(q + j + 24) - start;
    V8d s0 = splat8(d[kKaiserDegree]), s1 = s0, s2 = s0, s3 = s0;
#pragma GCC unroll 16
    for (std::size_t k = kKaiserDegree; k-- > 0;) {
      const V8d dk = splat8(d[k]);
      s0 = opaque(s0 * t0) + dk;
      s1 = opaque(s1 * t1) + dk;
      s2 = opaque(s2 * t2) + dk;
      s3 = opaque(s3 * t3) + dk;
    }
    store8(w + j, s0);
    store8(w + j + 8, s1);
    store8(w + j + 16, s2);
    store8(w + j + 24, s3);
  }
  for (; j + 8 <= b; j += 8) {
    const V8d t = load8(q + j) - start;
    V8d s = splat8(d[kKaiserDegree]);
    for (std::size_t k = kKaiserDegree; k-- > 0;) {
      s = opaque(s * t) + splat8(d[k]);
    }
    store8(w + j, s);
  }
  for (; j < b; ++j) {
    const double t = q[j] - q0;
    double s = d[kKaiserDegree];
    for (std::size_t k = kKaiserDegree; k-- > 0;) {
      s = opaque(s * t) + d[k];
    }
    w[j] = s;
  }
}
#endif

void kaiserRun(const double* q, std::size_t a, std::size_t b, const double* d, double q0,
               double* w) {
#if TARVIK_SIMD_DISPATCH
  if (hasAvx512()) {
    kaiserRunAvx512(q, a, b, d, q0, w);
    return;
  }
#endif
  kaiserRunPortable(q, a, b, d, q0, w);
}

}  // namespace

namespace detail {

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
    const double t = qMax - middle(top);
    m_denominator = d[kKaiserDegree];
    for (std::size_t k = kKaiserDegree; k-- > 0;) {
      m_denominator = multiplyAdd(m_denominator, t, d[k]);
    }
  }
  std::size_t count() const { return m_count; }
  double start(std::size_t piece) const { return static_cast<double>(piece) * kKaiserStep; }
  // The point the piece's polynomial is expanded about.
  double middle(std::size_t piece) const { return start(piece) + kKaiserStep / 2; }
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
    const double q0 = middle(piece);
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

KaiserWindow::KaiserWindow(double beta, std::size_t m)
    : m_beta(beta), m_centre(static_cast<double>(m - 1) / 2.0) {
  if (beta <= kSeriesLimit) {
    // x²/4 grows from the edge to the centre (every step of its rounding is monotonic), so
    // the samples of one piece of the series are consecutive.
    const double qMax = beta * beta * 0.25;  // the centre's, as kaiserArguments makes it
    m_pieces = std::make_unique<KaiserPieces>(qMax, seriesLength(beta));
    return;
  }
  m_unscaled = beta <= kLargestUnscaled;
  m_denominator = m_unscaled ? besselI0(beta) : scaledI0(beta);
}

KaiserWindow::~KaiserWindow() = default;

void KaiserWindow::block(std::size_t n0, std::size_t n, double* w) {
  if (m_pieces) {
    KaiserPieces& pieces = *m_pieces;
    alignas(32) std::array<double, kAngleBlock> q{};
    kaiserArguments(n0, n, m_centre, m_beta, q.data());
    for (std::size_t a = 0; a < n;) {
      const std::size_t piece = pieces.pieceOf(q[a]);
      const std::size_t b =
          piece + 1 == pieces.count()
              ? n
              : static_cast<std::size_t>(
                    std::lower_bound(q.data() + a + 1, q.data() + n, pieces.start(piece + 1)) -
                    q.data());
      kaiserRun(q.data(), a, b, pieces.coefficients(piece), pieces.middle(piece), w);
      a = b;
    }
    return;
  }
  for (std::size_t j = 0; j < n; ++j) {
    const double u = (static_cast<double>(n0 + j) - m_centre) / m_centre;
    const double x = m_beta * std::sqrt(1 - u * u);
    w[j] = m_unscaled ? besselI0(x) / m_denominator
                      : std::exp(x - m_beta) * scaledI0(x) / m_denominator;
  }
}

}  // namespace detail

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
