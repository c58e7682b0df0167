#include "spectral/ComplexFft.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "spectral/Simd.h"

TARVIK_SIMD_BEGIN

namespace tarvik::spectral {
namespace {

using simd::V4d;

// Stages whose blocks are at most this long run block by block while the block stays in
// the processor's cache (16384 complex doubles = 256 KiB).
constexpr std::size_t kCacheBlock = 16384;

// Decimation in frequency, one stage: u = z[p], v = z[p+c]; z[p] = u + v,
// z[p+c] = (u − v)·e^(−iπj/c).
TARVIK_SIMD_KERNEL
void difButterflies(double* re, double* im, std::size_t length, std::size_t half, const double* wc,
                    const double* ws) {
  if (half < 4) {
    for (std::size_t p0 = 0; p0 < length; p0 += 2 * half) {
      for (std::size_t j = 0; j < half; ++j) {
        const std::size_t a = p0 + j;
        const std::size_t b = a + half;
        const double dr = re[a] - re[b];
        const double di = im[a] - im[b];
        re[a] += re[b];
        im[a] += im[b];
        re[b] = dr * wc[j] + di * ws[j];
        im[b] = di * wc[j] - dr * ws[j];
      }
    }
    return;
  }
  for (std::size_t p0 = 0; p0 < length; p0 += 2 * half) {
    double* ar = re + p0;
    double* ai = im + p0;
    double* br = ar + half;
    double* bi = ai + half;
    for (std::size_t j = 0; j < half; j += 4) {
      const V4d ur = simd::load(ar + j), ui = simd::load(ai + j);
      const V4d vr = simd::load(br + j), vi = simd::load(bi + j);
      const V4d c = simd::load(wc + j), s = simd::load(ws + j);
      simd::store(ar + j, ur + vr);
      simd::store(ai + j, ui + vi);
      const V4d dr = ur - vr, di = ui - vi;
      simd::store(br + j, dr * c + di * s);
      simd::store(bi + j, di * c - dr * s);
    }
  }
}

// Decimation in time with the conjugate twiddle: v = z[p+c]·e^(+iπj/c);
// z[p] = u + v, z[p+c] = u − v.
TARVIK_SIMD_KERNEL
void ditButterflies(double* re, double* im, std::size_t length, std::size_t half, const double* wc,
                    const double* ws) {
  if (half < 4) {
    for (std::size_t p0 = 0; p0 < length; p0 += 2 * half) {
      for (std::size_t j = 0; j < half; ++j) {
        const std::size_t a = p0 + j;
        const std::size_t b = a + half;
        const double vr = re[b] * wc[j] - im[b] * ws[j];
        const double vi = re[b] * ws[j] + im[b] * wc[j];
        re[b] = re[a] - vr;
        im[b] = im[a] - vi;
        re[a] += vr;
        im[a] += vi;
      }
    }
    return;
  }
  for (std::size_t p0 = 0; p0 < length; p0 += 2 * half) {
    double* ar = re + p0;
    double* ai = im + p0;
    double* br = ar + half;
    double* bi = ai + half;
    for (std::size_t j = 0; j < half; j += 4) {
      const V4d ur = simd::load(ar + j), ui = simd::load(ai + j);
      const V4d xr = simd::load(br + j), xi = simd::load(bi + j);
      const V4d c = simd::load(wc + j), s = simd::load(ws + j);
      const V4d vr = xr * c - xi * s, vi = xr * s + xi * c;
      simd::store(ar + j, ur + vr);
      simd::store(ai + j, ui + vi);
      simd::store(br + j, ur - vr);
      simd::store(bi + j, ui - vi);
    }
  }
}

}  // namespace

std::size_t reverseBits(std::size_t index, int bits) {
  std::size_t r = 0;
  for (int b = 0; b < bits; ++b) {
    r = (r << 1) | (index & 1);
    index >>= 1;
  }
  return r;
}

ComplexFft::ComplexFft(std::size_t size) : m_size(size) {
  if (size == 0 || !std::has_single_bit(size)) {
    throw std::invalid_argument("ComplexFft: the size must be a power of two");
  }
  m_log2 = std::countr_zero(size);
  m_cos.assign(size > 1 ? size - 1 : 0, 0.0);
  m_sin.assign(m_cos.size(), 0.0);
  // The largest stage first, exactly; the smaller stages take every second entry of the
  // next larger one (cos(πj/c) = cos(π·2j/2c)).
  if (size >= 2) {
    const std::size_t top = size / 2;
    const double step = 3.141592653589793 / static_cast<double>(top);
    for (std::size_t j = 0; j < top; ++j) {
      const double angle = step * static_cast<double>(j);
      m_cos[top - 1 + j] = std::cos(angle);
      m_sin[top - 1 + j] = std::sin(angle);
    }
    for (std::size_t c = top / 2; c >= 1; c /= 2) {
      for (std::size_t j = 0; j < c; ++j) {
        m_cos[c - 1 + j] = m_cos[2 * c - 1 + 2 * j];
        m_sin[c - 1 + j] = m_sin[2 * c - 1 + 2 * j];
      }
    }
  }
}

void ComplexFft::difStage(double* re, double* im, std::size_t length, std::size_t half) const {
  difButterflies(re, im, length, half, m_cos.data() + half - 1, m_sin.data() + half - 1);
}

void ComplexFft::ditStage(double* re, double* im, std::size_t length, std::size_t half) const {
  ditButterflies(re, im, length, half, m_cos.data() + half - 1, m_sin.data() + half - 1);
}

void ComplexFft::forwardToBitReversed(double* re, double* im) const {
  std::size_t half = m_size / 2;
  for (; half >= 1 && 2 * half > kCacheBlock; half /= 2) {
    difStage(re, im, m_size, half);
  }
  const std::size_t block = 2 * half;
  if (half == 0) {
    return;
  }
  for (std::size_t b0 = 0; b0 < m_size; b0 += block) {
    for (std::size_t c = half; c >= 1; c /= 2) {
      difStage(re + b0, im + b0, block, c);
    }
  }
}

void ComplexFft::inverseFromBitReversed(double* re, double* im) const {
  if (m_size < 2) {
    return;
  }
  const std::size_t block = std::min(m_size, kCacheBlock);
  for (std::size_t b0 = 0; b0 < m_size; b0 += block) {
    for (std::size_t c = 1; c < block; c *= 2) {
      ditStage(re + b0, im + b0, block, c);
    }
  }
  for (std::size_t c = block; c < m_size; c *= 2) {
    ditStage(re, im, m_size, c);
  }
}

void ComplexFft::forward(double* re, double* im) const {
  forwardToBitReversed(re, im);
  for (std::size_t i = 0; i < m_size; ++i) {
    const std::size_t r = reverseBits(i, m_log2);
    if (i < r) {
      std::swap(re[i], re[r]);
      std::swap(im[i], im[r]);
    }
  }
}

}  // namespace tarvik::spectral

TARVIK_SIMD_END
