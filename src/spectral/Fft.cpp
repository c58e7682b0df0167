#include "spectral/Fft.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "spectral/BitReversal.h"
#include "spectral/Simd.h"

namespace tarvik::spectral {
namespace {

using simd::V4d;

// Blocks of this many points (128 KiB of single-precision pairs) run all their remaining
// stages while they stay in the processor's cache; larger stages sweep the whole array.
constexpr std::size_t kCacheBlock = 16384;
// Twiddles of the sweeping stages are made in chunks of this many.
constexpr std::size_t kChunk = 1024;
constexpr double kPi = 3.141592653589793238462643383279502884;

// Decimation in frequency, one stage (half-size c): u = z[p], v = z[p+c]; z[p] = u + v;
// z[p+c] = (u − v)·(wc − i·ws). Arithmetic in double precision, results stored in single.
// Two stages are done per pass (c = 2h, then h) to halve the sweeps over memory; the values
// between them are rounded to single precision exactly as if they had been stored.

[[gnu::always_inline]] inline V4d viaFloat(V4d v) {
  return __builtin_convertvector(__builtin_convertvector(v, simd::V4f), V4d);
}

struct Twiddles {
  const double* c;
  const double* s;
};

// Where a stage reads: the work arrays themselves, or for the first stage the real signal
// (im == nullptr: imaginary parts 0), which saves a copy and a pass over memory.
struct Source {
  const float* re;
  const float* im;
};

// Stages c = 2h and h on j ∈ [j0, j0 + count) of every block of 4h points; w1 = W_c(j),
// w2 = W_c(j + h), w3 = W_h(j), each indexed from j0. count is a multiple of 4.
TARVIK_SIMD_KERNEL
void radix4Float(Source src, float* re, float* im, std::size_t length, std::size_t h,
                 std::size_t j0, std::size_t count, Twiddles w1, Twiddles w2, Twiddles w3) {
  const V4d zero = simd::splat(0);
  for (std::size_t p0 = 0; p0 < length; p0 += 4 * h) {
    float* r0 = re + p0 + j0;
    float* i0 = im + p0 + j0;
    const float* sr0 = src.re + p0 + j0;
    const float* si0 = src.im == nullptr ? nullptr : src.im + p0 + j0;
    for (std::size_t j = 0; j < count; j += 4) {
      float* r = r0 + j;
      float* i = i0 + j;
      const float* sr = sr0 + j;
      const float* si = si0 == nullptr ? nullptr : si0 + j;
      const V4d x0r = simd::loadFloats(sr), x1r = simd::loadFloats(sr + h);
      const V4d x2r = simd::loadFloats(sr + 2 * h), x3r = simd::loadFloats(sr + 3 * h);
      const V4d x0i = si ? simd::loadFloats(si) : zero, x1i = si ? simd::loadFloats(si + h) : zero;
      const V4d x2i = si ? simd::loadFloats(si + 2 * h) : zero;
      const V4d x3i = si ? simd::loadFloats(si + 3 * h) : zero;
      const V4d c1 = simd::load(w1.c + j), s1 = simd::load(w1.s + j);
      const V4d c2 = simd::load(w2.c + j), s2 = simd::load(w2.s + j);
      const V4d c3 = simd::load(w3.c + j), s3 = simd::load(w3.s + j);
      // Stage c: (x0, x2) and (x1, x3).
      const V4d y0r = viaFloat(x0r + x2r), y0i = viaFloat(x0i + x2i);
      const V4d y1r = viaFloat(x1r + x3r), y1i = viaFloat(x1i + x3i);
      const V4d d2r = x0r - x2r, d2i = x0i - x2i, d3r = x1r - x3r, d3i = x1i - x3i;
      const V4d y2r = viaFloat(d2r * c1 + d2i * s1), y2i = viaFloat(d2i * c1 - d2r * s1);
      const V4d y3r = viaFloat(d3r * c2 + d3i * s2), y3i = viaFloat(d3i * c2 - d3r * s2);
      // Stage h: (y0, y1) and (y2, y3), both with W_h(j).
      simd::storeFloats(r, y0r + y1r);
      simd::storeFloats(i, y0i + y1i);
      const V4d e1r = y0r - y1r, e1i = y0i - y1i;
      simd::storeFloats(r + h, e1r * c3 + e1i * s3);
      simd::storeFloats(i + h, e1i * c3 - e1r * s3);
      simd::storeFloats(r + 2 * h, y2r + y3r);
      simd::storeFloats(i + 2 * h, y2i + y3i);
      const V4d e3r = y2r - y3r, e3i = y2i - y3i;
      simd::storeFloats(r + 3 * h, e3r * c3 + e3i * s3);
      simd::storeFloats(i + 3 * h, e3i * c3 - e3r * s3);
    }
  }
}

// One radix-2 stage, any half-size (the odd stage, the stage c = 4 and tiny transforms).
TARVIK_SIMD_KERNEL
void radix2Float(Source src, float* re, float* im, std::size_t length, std::size_t half,
                 std::size_t j0, std::size_t count, Twiddles w) {
  const V4d zero = simd::splat(0);
  for (std::size_t p0 = 0; p0 < length; p0 += 2 * half) {
    float* ar = re + p0 + j0;
    float* ai = im + p0 + j0;
    float* br = ar + half;
    float* bi = ai + half;
    const float* sar = src.re + p0 + j0;
    const float* sai = src.im == nullptr ? nullptr : src.im + p0 + j0;
    std::size_t j = 0;
    for (; j + 4 <= count; j += 4) {
      const V4d ur = simd::loadFloats(sar + j), vr = simd::loadFloats(sar + half + j);
      const V4d ui = sai ? simd::loadFloats(sai + j) : zero;
      const V4d vi = sai ? simd::loadFloats(sai + half + j) : zero;
      const V4d c = simd::load(w.c + j), s = simd::load(w.s + j);
      simd::storeFloats(ar + j, ur + vr);
      simd::storeFloats(ai + j, ui + vi);
      const V4d dr = ur - vr, di = ui - vi;
      simd::storeFloats(br + j, dr * c + di * s);
      simd::storeFloats(bi + j, di * c - dr * s);
    }
    for (; j < count; ++j) {
      const double ur = sar[j], vr = sar[half + j];
      const double ui = sai ? sai[j] : 0.0, vi = sai ? sai[half + j] : 0.0;
      ar[j] = static_cast<float>(ur + vr);
      ai[j] = static_cast<float>(ui + vi);
      const double dr = ur - vr, di = ui - vi;
      br[j] = static_cast<float>(dr * w.c[j] + di * w.s[j]);
      bi[j] = static_cast<float>(di * w.c[j] - dr * w.s[j]);
    }
  }
}

typedef long long V4i __attribute__((vector_size(32)));

[[gnu::always_inline]] inline V4d select(V4i mask, V4d yes, V4d no) {
  return reinterpret_cast<V4d>((reinterpret_cast<V4i>(yes) & mask) |
                               (reinterpret_cast<V4i>(no) & ~mask));
}

// The stages c = 2 and c = 1 on one group of four points held in a vector, by rearranging
// its lanes; (c, s) are 1, 1, W_2(0), W_2(1) and 0, 0, and their sines.
[[gnu::always_inline]] inline void lastTwoStages(V4d& xr, V4d& xi, V4d c, V4d s) {
  const V4i upper = {0, 0, -1, -1}, odd = {0, -1, 0, -1};
  // Stage c = 2: [a + c, b + d, (a − c)·W(0), (b − d)·W(1)].
  const V4d lor = __builtin_shufflevector(xr, xr, 0, 1, 0, 1);
  const V4d hir = __builtin_shufflevector(xr, xr, 2, 3, 2, 3);
  const V4d loi = __builtin_shufflevector(xi, xi, 0, 1, 0, 1);
  const V4d hii = __builtin_shufflevector(xi, xi, 2, 3, 2, 3);
  const V4d ur = select(upper, lor - hir, lor + hir), ui = select(upper, loi - hii, loi + hii);
  const V4d yr = viaFloat(ur * c + ui * s), yi = viaFloat(ui * c - ur * s);
  // Stage c = 1: [y0 + y1, y0 − y1, y2 + y3, y2 − y3].
  const V4d er = __builtin_shufflevector(yr, yr, 0, 0, 2, 2);
  const V4d orr = __builtin_shufflevector(yr, yr, 1, 1, 3, 3);
  const V4d ei = __builtin_shufflevector(yi, yi, 0, 0, 2, 2);
  const V4d oi = __builtin_shufflevector(yi, yi, 1, 1, 3, 3);
  xr = select(odd, er - orr, er + orr);
  xi = select(odd, ei - oi, ei + oi);
}

// The last three stages (c = 4, 2, 1) on each group of eight points, in one pass.
TARVIK_SIMD_KERNEL
void lastThreeStages(float* re, float* im, std::size_t length, Twiddles w4, Twiddles w2) {
  const V4d c4 = simd::load(w4.c), s4 = simd::load(w4.s);
  const V4d c2 = {1, 1, w2.c[0], w2.c[1]}, s2 = {0, 0, w2.s[0], w2.s[1]};
  for (std::size_t p0 = 0; p0 < length; p0 += 8) {
    const V4d ar = simd::loadFloats(re + p0), ai = simd::loadFloats(im + p0);
    const V4d br = simd::loadFloats(re + p0 + 4), bi = simd::loadFloats(im + p0 + 4);
    V4d ur = viaFloat(ar + br), ui = viaFloat(ai + bi);
    const V4d dr = ar - br, di = ai - bi;
    V4d vr = viaFloat(dr * c4 + di * s4), vi = viaFloat(di * c4 - dr * s4);
    lastTwoStages(ur, ui, c2, s2);
    lastTwoStages(vr, vi, c2, s2);
    simd::storeFloats(re + p0, ur);
    simd::storeFloats(im + p0, ui);
    simd::storeFloats(re + p0 + 4, vr);
    simd::storeFloats(im + p0 + 4, vi);
  }
}

// Twiddles cos(πj/c) and sign·sin(πj/c) of every stage with c ≤ top, stage c at [c − 1, 2c − 1).
struct StageTables {
  std::vector<double> cosines, sines;
  StageTables(std::size_t top, double sign) : cosines(top * 2 - 1), sines(top * 2 - 1) {
    for (std::size_t j = 0; j < top; ++j) {
      const double angle = kPi * static_cast<double>(j) / static_cast<double>(top);
      cosines[top - 1 + j] = std::cos(angle);
      sines[top - 1 + j] = sign * std::sin(angle);
    }
    for (std::size_t c = top / 2; c >= 1; c /= 2) {
      for (std::size_t j = 0; j < c; ++j) {
        cosines[c - 1 + j] = cosines[2 * c - 1 + 2 * j];
        sines[c - 1 + j] = sines[2 * c - 1 + 2 * j];
      }
    }
  }
  Twiddles stage(std::size_t c, std::size_t from = 0) const {
    return {cosines.data() + c - 1 + from, sines.data() + c - 1 + from};
  }
};

// Twiddles e^(−iπj/c) of one sweeping stage, made chunk by chunk as
// e^(−iπj0/c)·e^(−iπb/c) so that no table of the transform's length is needed.
class ChunkTwiddles {
 public:
  ChunkTwiddles(std::size_t half, double sineSign)
      : m_step(kPi / static_cast<double>(half)),
        m_sign(sineSign),
        m_fineC(kChunk),
        m_fineS(kChunk),
        m_c(kChunk),
        m_s(kChunk) {
    for (std::size_t b = 0; b < kChunk; ++b) {
      m_fineC[b] = std::cos(m_step * static_cast<double>(b));
      m_fineS[b] = std::sin(m_step * static_cast<double>(b));
    }
  }
  // The twiddles of j ∈ [j0, j0 + count), count ≤ kChunk.
  Twiddles at(std::size_t j0, std::size_t count) {
    const double cc = std::cos(m_step * static_cast<double>(j0));
    const double cs = std::sin(m_step * static_cast<double>(j0));
    for (std::size_t b = 0; b < count; ++b) {
      m_c[b] = cc * m_fineC[b] - cs * m_fineS[b];
      m_s[b] = m_sign * (cc * m_fineS[b] + cs * m_fineC[b]);
    }
    return {m_c.data(), m_s.data()};
  }

 private:
  double m_step, m_sign;
  std::vector<double> m_fineC, m_fineS, m_c, m_s;
};

// Stages 2h and h over the whole array.
void sweepingPair(Source src, float* re, float* im, std::size_t n, std::size_t h, double sineSign) {
  ChunkTwiddles outer(2 * h, sineSign), outerHigh(2 * h, sineSign), inner(h, sineSign);
  for (std::size_t j0 = 0; j0 < h; j0 += kChunk) {
    const std::size_t count = std::min(kChunk, h - j0);
    radix4Float(src, re, im, n, h, j0, count, outer.at(j0, count), outerHigh.at(j0 + h, count),
                inner.at(j0, count));
  }
}

void sweepingSingle(Source src, float* re, float* im, std::size_t n, std::size_t half,
                    double sineSign) {
  ChunkTwiddles w(half, sineSign);
  for (std::size_t j0 = 0; j0 < half; j0 += kChunk) {
    const std::size_t count = std::min(kChunk, half - j0);
    radix2Float(src, re, im, n, half, j0, count, w.at(j0, count));
  }
}

// Stages top, top/2, …, 8 (radix-2 once when their number is odd, then in pairs) and the
// last three, inside one block of 2·top points.
void blockStages(float* re, float* im, std::size_t top, const StageTables& t) {
  const std::size_t block = 2 * top;
  std::size_t c = top;
  if (std::countr_zero(top) % 2 == 1 && c >= 8) {  // stages top … 8 are odd in number
    radix2Float({re, im}, re, im, block, c, 0, c, t.stage(c));
    c /= 2;
  }
  for (; c >= 8; c /= 4) {
    const std::size_t h = c / 2;
    radix4Float({re, im}, re, im, block, h, 0, h, t.stage(c), t.stage(c, h), t.stage(h));
  }
  lastThreeStages(re, im, block, t.stage(4), t.stage(2));
}

// All stages of the transform of length n; sign −1 for e^(−iθ) (forward), +1 for the inverse.
// With `realSignal` the input is that signal (imaginary parts 0) and re/im are written by
// the first stage; otherwise re/im hold the input.
void runStages(const float* realSignal, float* re, float* im, std::size_t n, double sign) {
  // The kernels multiply by (wc − i·ws): the forward twiddle cos − i·sin has ws = sin.
  const double sineSign = -sign;
  std::size_t half = n / 2;
  Source src{re, im};
  if (realSignal != nullptr) {
    if (half >= kCacheBlock) {
      src = {realSignal, nullptr};
    } else {
      std::copy(realSignal, realSignal + n, re);
      std::fill(im, im + n, 0.0f);
    }
  }
  if (n < 8) {
    const StageTables t(std::max<std::size_t>(n / 2, 1), sineSign);
    for (std::size_t c = n / 2; c >= 1; c /= 2) {
      radix2Float({re, im}, re, im, n, c, 0, c, t.stage(c));
    }
    return;
  }
  const bool sweepingOdd = half >= kCacheBlock && std::countr_zero(half / (kCacheBlock / 2)) % 2;
  if (sweepingOdd) {
    sweepingSingle(src, re, im, n, half, sineSign);
    src = {re, im};
    half /= 2;
  }
  for (; half >= kCacheBlock; half /= 4) {
    sweepingPair(src, re, im, n, half / 2, sineSign);
    src = {re, im};
  }
  const StageTables tables(half, sineSign);
  for (std::size_t b0 = 0; b0 < n; b0 += 2 * half) {
    blockStages(re + b0, im + b0, half, tables);
  }
}

// atan(u) for |u| ≤ tan(π/8) by its Taylor series (truncation below 3e-11 relative).
template <class T>
[[gnu::always_inline]] inline T atanSmall(T u) {
  const T u2 = u * u;
  T p = u2 * (1.0 / 25) - 1.0 / 23;
  p = p * u2 + 1.0 / 21;
  p = p * u2 - 1.0 / 19;
  p = p * u2 + 1.0 / 17;
  p = p * u2 - 1.0 / 15;
  p = p * u2 + 1.0 / 13;
  p = p * u2 - 1.0 / 11;
  p = p * u2 + 1.0 / 9;
  p = p * u2 - 1.0 / 7;
  p = p * u2 + 1.0 / 5;
  p = p * u2 - 1.0 / 3;
  p = p * u2 + 1.0;
  return u * p;
}

constexpr double kTanPi8 = 0.41421356237309504880;

// Amplitude 2|X|/N and phase of four bins at once, in place: on entry amplitude holds
// Re X and phase holds Im X.
TARVIK_SIMD_KERNEL
void polarInPlace(float* amplitude, float* phase, std::size_t count, double scale) {
  const V4d zero = simd::splat(0), one = simd::splat(1);
  std::size_t k = 0;
  for (; k + 4 <= count; k += 4) {
    const V4d x = simd::loadFloats(amplitude + k), y = simd::loadFloats(phase + k);
    V4d modulus = x * x + y * y;
    for (int lane = 0; lane < 4; ++lane) {
      modulus[lane] = std::sqrt(modulus[lane]);
    }
    simd::storeFloats(amplitude + k, modulus * scale);
    const V4d ax = select(x < zero, -x, x), ay = select(y < zero, -y, y);
    const V4i yBigger = ay > ax;
    const V4d mx = select(yBigger, ay, ax), mn = select(yBigger, ax, ay);
    const V4d t = select(mx > zero, mn / select(mx > zero, mx, one), zero);
    const V4i reduced = t > simd::splat(kTanPi8);
    const V4d u = select(reduced, (t - one) / (t + one), t);
    V4d r = atanSmall(u);
    r = select(reduced, r + kPi / 4, r);
    r = select(yBigger, kPi / 2 - r, r);
    r = select(x < zero, kPi - r, r);
    r = select(y < zero, -r, r);
    simd::storeFloats(phase + k, r);
  }
  for (; k < count; ++k) {
    const double x = amplitude[k], y = phase[k];
    amplitude[k] = static_cast<float>(std::sqrt(x * x + y * y) * scale);
    phase[k] = static_cast<float>(binPhase(y, x));
  }
}

void requirePowerOfTwo(std::size_t n, const char* what) {
  if (n == 0 || !std::has_single_bit(n)) {
    throw std::invalid_argument(std::string(what) + ": the length must be a power of two");
  }
}

}  // namespace

double binPhase(double y, double x) {
  const double ax = std::fabs(x), ay = std::fabs(y);
  const bool yBigger = ay > ax;
  const double mx = yBigger ? ay : ax, mn = yBigger ? ax : ay;
  const double t = mx > 0 ? mn / mx : 0;
  const bool reduced = t > kTanPi8;
  double r = atanSmall(reduced ? (t - 1) / (t + 1) : t);
  r = reduced ? r + kPi / 4 : r;
  r = yBigger ? kPi / 2 - r : r;
  r = x < 0 ? kPi - r : r;
  return y < 0 ? -r : r;
}

void fastTransform(std::span<const float> signal, float /*sampleStep*/, std::span<float> amplitude,
                   std::span<float> phase) {
  const std::size_t n = signal.size();
  requirePowerOfTwo(n, "fastTransform");
  const std::size_t bins = n / 2;
  if (amplitude.size() < bins || phase.size() < bins) {
    throw std::invalid_argument("fastTransform: the output arrays are too short");
  }
  // z = x + 0i; multiplying the whole sequence by i (the classic z = i·x) changes no
  // rounding, so X is read directly from z.
  const std::unique_ptr<float[]> re(new float[n]), im(new float[n]);
  runStages(signal.data(), re.get(), im.get(), n, -1.0);
  gatherBitReversed(re.get(), n, amplitude.data(), bins);
  gatherBitReversed(im.get(), n, phase.data(), bins);
  polarInPlace(amplitude.data(), phase.data(), bins, 2.0 / static_cast<double>(n));
}

void fastInverse(std::span<const float> amplitude, std::span<const float> phase,
                 float /*frequencyStep*/, std::span<float> output) {
  const std::size_t n = amplitude.size();
  requirePowerOfTwo(n, "fastInverse");
  if (phase.size() != n || output.size() < n) {
    throw std::invalid_argument("fastInverse: the arrays do not match");
  }
  std::vector<float> re(n, 0.0f), im(n, 0.0f);
  for (std::size_t k = 0; k < n / 2; ++k) {
    const double a = k == 0 ? amplitude[0] / 2.0 : static_cast<double>(amplitude[k]);
    const double phi = phase[k];
    re[k] = static_cast<float>(a * std::cos(phi));
    im[k] = static_cast<float>(a * std::sin(phi));
  }
  runStages(nullptr, re.data(), im.data(), n, +1.0);
  gatherBitReversed(re.data(), n, output.data(), n);
}

}  // namespace tarvik::spectral
