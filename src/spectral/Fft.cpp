#include "spectral/Fft.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

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

// Stages c = 2h and h on j ∈ [j0, j0 + count) of every block of 4h points; w1 = W_c(j),
// w2 = W_c(j + h), w3 = W_h(j), each indexed from j0. count is a multiple of 4.
TARVIK_SIMD_KERNEL
void radix4Float(float* re, float* im, std::size_t length, std::size_t h, std::size_t j0,
                 std::size_t count, Twiddles w1, Twiddles w2, Twiddles w3) {
  for (std::size_t p0 = 0; p0 < length; p0 += 4 * h) {
    float* r0 = re + p0 + j0;
    float* i0 = im + p0 + j0;
    for (std::size_t j = 0; j < count; j += 4) {
      float* r = r0 + j;
      float* i = i0 + j;
      const V4d x0r = simd::loadFloats(r), x0i = simd::loadFloats(i);
      const V4d x1r = simd::loadFloats(r + h), x1i = simd::loadFloats(i + h);
      const V4d x2r = simd::loadFloats(r + 2 * h), x2i = simd::loadFloats(i + 2 * h);
      const V4d x3r = simd::loadFloats(r + 3 * h), x3i = simd::loadFloats(i + 3 * h);
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

// One radix-2 stage, any half-size (used for the odd stage and for tiny transforms).
void radix2Float(float* re, float* im, std::size_t length, std::size_t half, std::size_t j0,
                 std::size_t count, Twiddles w) {
  for (std::size_t p0 = 0; p0 < length; p0 += 2 * half) {
    float* ar = re + p0 + j0;
    float* ai = im + p0 + j0;
    float* br = ar + half;
    float* bi = ai + half;
    for (std::size_t j = 0; j < count; ++j) {
      const double ur = ar[j], ui = ai[j], vr = br[j], vi = bi[j];
      ar[j] = static_cast<float>(ur + vr);
      ai[j] = static_cast<float>(ui + vi);
      const double dr = ur - vr, di = ui - vi;
      br[j] = static_cast<float>(dr * w.c[j] + di * w.s[j]);
      bi[j] = static_cast<float>(di * w.c[j] - dr * w.s[j]);
    }
  }
}

// The last three stages (c = 4, 2, 1) on each group of eight points, in one pass.
TARVIK_SIMD_KERNEL
void lastThreeStages(float* re, float* im, std::size_t length, Twiddles w4) {
  for (std::size_t p0 = 0; p0 < length; p0 += 8) {
    double r[8], i[8];
    for (int k = 0; k < 8; ++k) {
      r[k] = re[p0 + static_cast<std::size_t>(k)];
      i[k] = im[p0 + static_cast<std::size_t>(k)];
    }
    for (int half = 4; half >= 1; half /= 2) {
      const int step = 4 / half;  // W_half(j) = W_4(j·step)
      for (int b = 0; b < 8; b += 2 * half) {
        for (int j = 0; j < half; ++j) {
          const int a = b + j, c = a + half;
          const double wc = w4.c[j * step], ws = w4.s[j * step];
          const double dr = r[a] - r[c], di = i[a] - i[c];
          r[a] = static_cast<float>(r[a] + r[c]);
          i[a] = static_cast<float>(i[a] + i[c]);
          r[c] = static_cast<float>(dr * wc + di * ws);
          i[c] = static_cast<float>(di * wc - dr * ws);
        }
      }
    }
    for (int k = 0; k < 8; ++k) {
      re[p0 + static_cast<std::size_t>(k)] = static_cast<float>(r[k]);
      im[p0 + static_cast<std::size_t>(k)] = static_cast<float>(i[k]);
    }
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
      : m_step(kPi / static_cast<double>(half)), m_sign(sineSign), m_fineC(kChunk),
        m_fineS(kChunk), m_c(kChunk), m_s(kChunk) {
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
void sweepingPair(float* re, float* im, std::size_t n, std::size_t h, double sineSign) {
  ChunkTwiddles outer(2 * h, sineSign), outerHigh(2 * h, sineSign), inner(h, sineSign);
  for (std::size_t j0 = 0; j0 < h; j0 += kChunk) {
    const std::size_t count = std::min(kChunk, h - j0);
    radix4Float(re, im, n, h, j0, count, outer.at(j0, count), outerHigh.at(j0 + h, count),
                inner.at(j0, count));
  }
}

void sweepingSingle(float* re, float* im, std::size_t n, std::size_t half, double sineSign) {
  ChunkTwiddles w(half, sineSign);
  for (std::size_t j0 = 0; j0 < half; j0 += kChunk) {
    const std::size_t count = std::min(kChunk, half - j0);
    radix2Float(re, im, n, half, j0, count, w.at(j0, count));
  }
}

// Stages top, top/2, …, 8 (radix-2 once when their number is odd, then in pairs) and the
// last three, inside one block of 2·top points.
void blockStages(float* re, float* im, std::size_t top, const StageTables& t) {
  const std::size_t block = 2 * top;
  std::size_t c = top;
  if (std::countr_zero(top) % 2 == 1 && c >= 8) {  // stages top … 8 are odd in number
    radix2Float(re, im, block, c, 0, c, t.stage(c));
    c /= 2;
  }
  for (; c >= 8; c /= 4) {
    const std::size_t h = c / 2;
    radix4Float(re, im, block, h, 0, h, t.stage(c), t.stage(c, h), t.stage(h));
  }
  lastThreeStages(re, im, block, t.stage(4));
}

// All stages of the transform of length n; sign −1 for e^(−iθ) (forward), +1 for the inverse.
void runStages(float* re, float* im, std::size_t n, double sign) {
  // The kernels multiply by (wc − i·ws): the forward twiddle cos − i·sin has ws = sin.
  const double sineSign = -sign;
  if (n < 8) {
    const StageTables t(std::max<std::size_t>(n / 2, 1), sineSign);
    for (std::size_t c = n / 2; c >= 1; c /= 2) {
      radix2Float(re, im, n, c, 0, c, t.stage(c));
    }
    return;
  }
  std::size_t half = n / 2;
  const bool sweepingOdd = half >= kCacheBlock && std::countr_zero(half / (kCacheBlock / 2)) % 2;
  if (sweepingOdd) {
    sweepingSingle(re, im, n, half, sineSign);
    half /= 2;
  }
  for (; half >= kCacheBlock; half /= 4) {
    sweepingPair(re, im, n, half / 2, sineSign);
  }
  const StageTables tables(half, sineSign);
  for (std::size_t b0 = 0; b0 < n; b0 += 2 * half) {
    blockStages(re + b0, im + b0, half, tables);
  }
}

std::uint64_t reverse64(std::uint64_t v) {
  v = ((v >> 1) & 0x5555555555555555ULL) | ((v & 0x5555555555555555ULL) << 1);
  v = ((v >> 2) & 0x3333333333333333ULL) | ((v & 0x3333333333333333ULL) << 2);
  v = ((v >> 4) & 0x0F0F0F0F0F0F0F0FULL) | ((v & 0x0F0F0F0F0F0F0F0FULL) << 4);
  v = ((v >> 8) & 0x00FF00FF00FF00FFULL) | ((v & 0x00FF00FF00FF00FFULL) << 8);
  v = ((v >> 16) & 0x0000FFFF0000FFFFULL) | ((v & 0x0000FFFF0000FFFFULL) << 16);
  return (v >> 32) | (v << 32);
}

// Position of output k in the bit-reversed order of a transform of 2^bits points.
std::size_t reversedIndex(std::size_t k, int bits) {
  return bits == 0 ? 0 : static_cast<std::size_t>(reverse64(k) >> (64 - bits));
}

// out[k] = z[reverse(k)] for k < count (count = n or n/2), n = 2^bits. Large arrays go tile
// by tile: with k = (a, b, c), a and c of kTileBits bits, reverse(k) = (rc, rb, ra), so a
// 16 × 16 tile reads and writes whole cache lines instead of one element per line.
void gatherBitReversed(const float* z, std::size_t n, float* out, std::size_t count) {
  constexpr int kTileBits = 4;
  constexpr std::size_t kTile = std::size_t{1} << kTileBits;
  const int bits = std::countr_zero(n);
  if (bits < 2 * kTileBits + 1) {
    for (std::size_t k = 0; k < count; ++k) {
      out[k] = z[reversedIndex(k, bits)];
    }
    return;
  }
  const int middle = bits - 2 * kTileBits;
  std::size_t reversedTile[kTile];
  for (std::size_t i = 0; i < kTile; ++i) {
    reversedTile[i] = reversedIndex(i, kTileBits);
  }
  const std::size_t middleCount = std::size_t{1} << middle;
  const int highShift = middle + kTileBits;
  for (std::size_t b = 0; b < middleCount; ++b) {
    const std::size_t rb = reversedIndex(b, middle) << kTileBits;
    for (std::size_t a = 0; a < kTile; ++a) {
      const float* row = z + ((a << highShift) | (b << kTileBits));
      const std::size_t ra = reversedTile[a];
      for (std::size_t c = 0; c < kTile; ++c) {
        const std::size_t k = (reversedTile[c] << highShift) | rb | ra;
        if (k < count) {
          out[k] = row[c];
        }
      }
    }
  }
}

typedef long long V4i __attribute__((vector_size(32)));

[[gnu::always_inline]] inline V4d select(V4i mask, V4d yes, V4d no) {
  return reinterpret_cast<V4d>((reinterpret_cast<V4i>(yes) & mask) |
                               (reinterpret_cast<V4i>(no) & ~mask));
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

void fastTransform(std::span<const float> signal, float /*sampleStep*/,
                   std::span<float> amplitude, std::span<float> phase) {
  const std::size_t n = signal.size();
  requirePowerOfTwo(n, "fastTransform");
  const std::size_t bins = n / 2;
  if (amplitude.size() < bins || phase.size() < bins) {
    throw std::invalid_argument("fastTransform: the output arrays are too short");
  }
  // z = x + 0i; multiplying the whole sequence by i (the classic z = i·x) changes no
  // rounding, so X is read directly from z.
  std::vector<float> re(signal.begin(), signal.end());
  std::vector<float> im(n, 0.0f);
  runStages(re.data(), im.data(), n, -1.0);
  gatherBitReversed(re.data(), n, amplitude.data(), bins);
  gatherBitReversed(im.data(), n, phase.data(), bins);
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
  runStages(re.data(), im.data(), n, +1.0);
  gatherBitReversed(re.data(), n, output.data(), n);
}

}  // namespace tarvik::spectral
