#include "spectral/Fft.h"

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

// One decimation-in-frequency stage over j ∈ [j0, j0 + count) of every block of 2·half
// points: u = z[p], v = z[p+half]; z[p] = u + v; z[p+half] = (u − v)·(wc − i·ws), in
// double precision, stored in single precision.
TARVIK_SIMD_KERNEL
void difFloat(float* re, float* im, std::size_t length, std::size_t half, std::size_t j0,
              std::size_t count, const double* wc, const double* ws) {
  for (std::size_t p0 = 0; p0 < length; p0 += 2 * half) {
    float* ar = re + p0 + j0;
    float* ai = im + p0 + j0;
    float* br = ar + half;
    float* bi = ai + half;
    std::size_t j = 0;
    for (; j + 4 <= count; j += 4) {
      const V4d ur = simd::loadFloats(ar + j), ui = simd::loadFloats(ai + j);
      const V4d vr = simd::loadFloats(br + j), vi = simd::loadFloats(bi + j);
      const V4d c = simd::load(wc + j), s = simd::load(ws + j);
      simd::storeFloats(ar + j, ur + vr);
      simd::storeFloats(ai + j, ui + vi);
      const V4d dr = ur - vr, di = ui - vi;
      simd::storeFloats(br + j, dr * c + di * s);
      simd::storeFloats(bi + j, di * c - dr * s);
    }
    for (; j < count; ++j) {
      const double ur = ar[j], ui = ai[j], vr = br[j], vi = bi[j];
      ar[j] = static_cast<float>(ur + vr);
      ai[j] = static_cast<float>(ui + vi);
      const double dr = ur - vr, di = ui - vi;
      br[j] = static_cast<float>(dr * wc[j] + di * ws[j]);
      bi[j] = static_cast<float>(di * wc[j] - dr * ws[j]);
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
};

// A stage whose blocks do not fit the cache: twiddles made chunk by chunk as
// e^(iπ·j0/c)·e^(iπ·b/c), so no table of the transform's length is needed.
void sweepingStage(float* re, float* im, std::size_t n, std::size_t half, double sineSign) {
  std::vector<double> fineC(kChunk), fineS(kChunk), wc(kChunk), ws(kChunk);
  const double step = kPi / static_cast<double>(half);
  for (std::size_t b = 0; b < kChunk; ++b) {
    fineC[b] = std::cos(step * static_cast<double>(b));
    fineS[b] = std::sin(step * static_cast<double>(b));
  }
  for (std::size_t j0 = 0; j0 < half; j0 += kChunk) {
    const double cc = std::cos(step * static_cast<double>(j0));
    const double cs = std::sin(step * static_cast<double>(j0));
    for (std::size_t b = 0; b < kChunk; ++b) {
      wc[b] = cc * fineC[b] - cs * fineS[b];
      ws[b] = sineSign * (cc * fineS[b] + cs * fineC[b]);
    }
    difFloat(re, im, n, half, j0, kChunk, wc.data(), ws.data());
  }
}

// All stages of the transform of length n; sign −1 for e^(−iθ) (forward), +1 for the inverse.
void runStages(float* re, float* im, std::size_t n, double sign) {
  // The kernel multiplies by (wc − i·ws): the forward twiddle cos − i·sin has ws = sin.
  const double sineSign = -sign;
  std::size_t half = n / 2;
  for (; half >= 1 && 2 * half > kCacheBlock; half /= 2) {
    sweepingStage(re, im, n, half, sineSign);
  }
  if (half == 0) {
    return;
  }
  const StageTables tables(half, sineSign);
  const std::size_t block = 2 * half;
  for (std::size_t b0 = 0; b0 < n; b0 += block) {
    for (std::size_t c = half; c >= 1; c /= 2) {
      difFloat(re + b0, im + b0, block, c, 0, c, tables.cosines.data() + c - 1,
               tables.sines.data() + c - 1);
    }
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

typedef long long V4i __attribute__((vector_size(32)));

V4d select(V4i mask, V4d yes, V4d no) {
  return reinterpret_cast<V4d>((reinterpret_cast<V4i>(yes) & mask) |
                               (reinterpret_cast<V4i>(no) & ~mask));
}

// atan(u) for |u| ≤ tan(π/8) by its Taylor series (truncation below 3e-11 relative).
template <class T>
T atanSmall(T u) {
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
    simd::storeFloats(amplitude + k, __builtin_sqrt(x * x + y * y) * scale);
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
  const int bits = std::countr_zero(n);
  for (std::size_t k = 0; k < bins; ++k) {
    const std::size_t r = reversedIndex(k, bits);
    amplitude[k] = re[r];
    phase[k] = im[r];
  }
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
  const int bits = std::countr_zero(n);
  for (std::size_t i = 0; i < n; ++i) {
    output[i] = re[reversedIndex(i, bits)];
  }
}

}  // namespace tarvik::spectral
