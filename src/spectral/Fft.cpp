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

TARVIK_SIMD_BEGIN

namespace tarvik::spectral {
namespace {

using simd::loadRaw;
using simd::narrow;
using simd::select;
using simd::storeRaw;
using simd::V4d;
using simd::V4f;
using simd::V4i;
using simd::vectorSqrt;

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

template <class W>
[[gnu::always_inline]] inline V4d viaFloat(V4d v) {
  return W::wide(narrow(v));
}
template <class W>
[[gnu::always_inline]] inline V4d loadWide(const float* p) {
  return W::wide(loadRaw(p));
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
template <class W>
[[gnu::always_inline]] inline void radix4Body(Source src, float* re, float* im, std::size_t length,
                                              std::size_t h, std::size_t j0, std::size_t count,
                                              Twiddles w1, Twiddles w2, Twiddles w3) {
  const V4f zeroF = {0, 0, 0, 0};
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
      // A sum of two floats rounded once to double and then to float equals their float
      // sum (double carries more than twice float's digits), so the sums run in single
      // precision; the differences and twiddle products stay in double.
      const V4f f0r = loadRaw(sr), f1r = loadRaw(sr + h);
      const V4f f2r = loadRaw(sr + 2 * h), f3r = loadRaw(sr + 3 * h);
      const V4f f0i = si ? loadRaw(si) : zeroF, f1i = si ? loadRaw(si + h) : zeroF;
      const V4f f2i = si ? loadRaw(si + 2 * h) : zeroF;
      const V4f f3i = si ? loadRaw(si + 3 * h) : zeroF;
      const V4d c1 = simd::load(w1.c + j), s1 = simd::load(w1.s + j);
      const V4d c2 = simd::load(w2.c + j), s2 = simd::load(w2.s + j);
      const V4d c3 = simd::load(w3.c + j), s3 = simd::load(w3.s + j);
      // Stage c: (x0, x2) and (x1, x3).
      const V4f y0r = f0r + f2r, y0i = f0i + f2i, y1r = f1r + f3r, y1i = f1i + f3i;
      const V4d d2r = W::wide(f0r) - W::wide(f2r), d2i = W::wide(f0i) - W::wide(f2i);
      const V4d d3r = W::wide(f1r) - W::wide(f3r), d3i = W::wide(f1i) - W::wide(f3i);
      const V4f y2r = narrow(d2r * c1 + d2i * s1), y2i = narrow(d2i * c1 - d2r * s1);
      const V4f y3r = narrow(d3r * c2 + d3i * s2), y3i = narrow(d3i * c2 - d3r * s2);
      // Stage h: (y0, y1) and (y2, y3), both with W_h(j).
      storeRaw(r, y0r + y1r);
      storeRaw(i, y0i + y1i);
      const V4d e1r = W::wide(y0r) - W::wide(y1r), e1i = W::wide(y0i) - W::wide(y1i);
      simd::storeFloats(r + h, e1r * c3 + e1i * s3);
      simd::storeFloats(i + h, e1i * c3 - e1r * s3);
      storeRaw(r + 2 * h, y2r + y3r);
      storeRaw(i + 2 * h, y2i + y3i);
      const V4d e3r = W::wide(y2r) - W::wide(y3r), e3i = W::wide(y2i) - W::wide(y3i);
      simd::storeFloats(r + 3 * h, e3r * c3 + e3i * s3);
      simd::storeFloats(i + 3 * h, e3i * c3 - e3r * s3);
    }
  }
}

TARVIK_DISPATCHED_KERNEL(radix4Float, radix4Body,
                         (Source src, float* re, float* im, std::size_t length, std::size_t h,
                          std::size_t j0, std::size_t count, Twiddles w1, Twiddles w2, Twiddles w3),
                         (src, re, im, length, h, j0, count, w1, w2, w3))

// One radix-2 stage, any half-size (the odd stage, the stage c = 4 and tiny transforms).
template <class W>
[[gnu::always_inline]] inline void radix2Body(Source src, float* re, float* im, std::size_t length,
                                              std::size_t half, std::size_t j0, std::size_t count,
                                              Twiddles w) {
  const V4f zeroF = {0, 0, 0, 0};
  for (std::size_t p0 = 0; p0 < length; p0 += 2 * half) {
    float* ar = re + p0 + j0;
    float* ai = im + p0 + j0;
    float* br = ar + half;
    float* bi = ai + half;
    const float* sar = src.re + p0 + j0;
    const float* sai = src.im == nullptr ? nullptr : src.im + p0 + j0;
    std::size_t j = 0;
    for (; j + 4 <= count; j += 4) {
      const V4f ur = loadRaw(sar + j), vr = loadRaw(sar + half + j);
      const V4f ui = sai ? loadRaw(sai + j) : zeroF;
      const V4f vi = sai ? loadRaw(sai + half + j) : zeroF;
      const V4d c = simd::load(w.c + j), s = simd::load(w.s + j);
      storeRaw(ar + j, ur + vr);
      storeRaw(ai + j, ui + vi);
      const V4d dr = W::wide(ur) - W::wide(vr), di = W::wide(ui) - W::wide(vi);
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

TARVIK_DISPATCHED_KERNEL(radix2Float, radix2Body,
                         (Source src, float* re, float* im, std::size_t length, std::size_t half,
                          std::size_t j0, std::size_t count, Twiddles w),
                         (src, re, im, length, half, j0, count, w))

// The stages c = 2 and c = 1 on one group of four points held in a vector, by rearranging
// its lanes; (c, s) are 1, 1, W_2(0), W_2(1) and 0, 0, and their sines.
[[gnu::always_inline]] inline void lastTwoStages(V4d xr, V4d xi, V4d c, V4d s, float* outR,
                                                 float* outI) {
  // Stage c = 2: [a + c, b + d, (a − c)·W(0), (b − d)·W(1)].
  const V4d lor = __builtin_shufflevector(xr, xr, 0, 1, 0, 1);
  const V4d hir = __builtin_shufflevector(xr, xr, 2, 3, 2, 3);
  const V4d loi = __builtin_shufflevector(xi, xi, 0, 1, 0, 1);
  const V4d hii = __builtin_shufflevector(xi, xi, 2, 3, 2, 3);
  const V4d ur = __builtin_shufflevector(lor + hir, lor - hir, 0, 1, 6, 7);
  const V4d ui = __builtin_shufflevector(loi + hii, loi - hii, 0, 1, 6, 7);
  const V4f yr = narrow(ur * c + ui * s), yi = narrow(ui * c - ur * s);
  // Stage c = 1: [y0 + y1, y0 − y1, y2 + y3, y2 − y3], sums of floats done in single
  // precision (the same numbers as in double, rounded).
  const V4f er = __builtin_shufflevector(yr, yr, 0, 0, 2, 2);
  const V4f orr = __builtin_shufflevector(yr, yr, 1, 1, 3, 3);
  const V4f ei = __builtin_shufflevector(yi, yi, 0, 0, 2, 2);
  const V4f oi = __builtin_shufflevector(yi, yi, 1, 1, 3, 3);
  storeRaw(outR, __builtin_shufflevector(er + orr, er - orr, 0, 5, 2, 7));
  storeRaw(outI, __builtin_shufflevector(ei + oi, ei - oi, 0, 5, 2, 7));
}

// The last three stages (c = 4, 2, 1) on each group of eight points, in one pass.
template <class W>
[[gnu::always_inline]] inline void lastThreeBody(float* re, float* im, std::size_t length,
                                                 Twiddles w4, Twiddles w2) {
  const V4d c4 = simd::load(w4.c), s4 = simd::load(w4.s);
  const V4d c2 = {1, 1, w2.c[0], w2.c[1]}, s2 = {0, 0, w2.s[0], w2.s[1]};
  for (std::size_t p0 = 0; p0 < length; p0 += 8) {
    const V4f far = loadRaw(re + p0), fai = loadRaw(im + p0);
    const V4f fbr = loadRaw(re + p0 + 4), fbi = loadRaw(im + p0 + 4);
    const V4d ur = W::wide(far + fbr), ui = W::wide(fai + fbi);
    const V4d dr = W::wide(far) - W::wide(fbr), di = W::wide(fai) - W::wide(fbi);
    const V4d vr = viaFloat<W>(dr * c4 + di * s4), vi = viaFloat<W>(di * c4 - dr * s4);
    lastTwoStages(ur, ui, c2, s2, re + p0, im + p0);
    lastTwoStages(vr, vi, c2, s2, re + p0 + 4, im + p0 + 4);
  }
}

TARVIK_DISPATCHED_KERNEL(lastThreeStages, lastThreeBody,
                         (float* re, float* im, std::size_t length, Twiddles w4, Twiddles w2),
                         (re, im, length, w4, w2))

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
    std::size_t b = 0;
    for (; b + 4 <= count; b += 4) {
      const V4d fc = simd::load(&m_fineC[b]), fs = simd::load(&m_fineS[b]);
      simd::store(&m_c[b], cc * fc - cs * fs);
      simd::store(&m_s[b], m_sign * (cc * fs + cs * fc));
    }
    for (; b < count; ++b) {
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

// The same series evaluated by Estrin's scheme: a shorter chain of dependent operations
// for the vector loop.
[[gnu::always_inline]] inline V4d atanSmallEstrin(V4d u) {
  const V4d z = u * u, z2 = z * z, z4 = z2 * z2, z8 = z4 * z4;
  const V4d b0 = 1.0 - z * (1.0 / 3), b1 = 1.0 / 5 - z * (1.0 / 7);
  const V4d b2 = 1.0 / 9 - z * (1.0 / 11), b3 = 1.0 / 13 - z * (1.0 / 15);
  const V4d b4 = 1.0 / 17 - z * (1.0 / 19), b5 = 1.0 / 21 - z * (1.0 / 23);
  const V4d c0 = b0 + b1 * z2, c1 = b2 + b3 * z2, c2 = b4 + b5 * z2;
  const V4d d0 = c0 + c1 * z4, d1 = c2 + z4 * (1.0 / 25);
  return u * (d0 + d1 * z8);
}

constexpr double kTanPi8 = 0.41421356237309504880;

// Amplitude 2|X|/N and phase of four bins at once, in place: on entry amplitude holds
// Re X and phase holds Im X.
template <class W>
[[gnu::always_inline]] inline void polarBody(float* amplitude, float* phase, std::size_t count,
                                             double scale) {
  const V4d zero = simd::splat(0), one = simd::splat(1);
  std::size_t k = 0;
  for (; k + 4 <= count; k += 4) {
    const V4d x = loadWide<W>(amplitude + k), y = loadWide<W>(phase + k);
    const V4d modulus = vectorSqrt(x * x + y * y);
    simd::storeFloats(amplitude + k, modulus * scale);
    const V4d ax = select(x < zero, -x, x), ay = select(y < zero, -y, y);
    const V4i yBigger = ay > ax;
    const V4d mx = select(yBigger, ay, ax), mn = select(yBigger, ax, ay);
    // One division: for t = mn/mx above tan(π/8) the reduced argument (t − 1)/(t + 1)
    // is (mn − mx)/(mn + mx), both exact in double. A zero or NaN bin gives u = 0.
    const V4i positive = mx > zero;
    const V4i reduced = mn > mx * kTanPi8;
    const V4d num = select(reduced, mn - mx, mn);
    const V4d den = select(reduced, mn + mx, select(positive, mx, one));
    const V4d u = select(positive, num / den, zero);
    V4d r = atanSmallEstrin(u);
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

TARVIK_DISPATCHED_KERNEL(polarInPlace, polarBody,
                         (float* amplitude, float* phase, std::size_t count, double scale),
                         (amplitude, phase, count, scale))

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

TARVIK_SIMD_END
