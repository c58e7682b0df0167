#include "spectral/Spectrum.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>

#include "spectral/CycleFraction.h"
#include "spectral/Simd.h"

TARVIK_SIMD_BEGIN

namespace tarvik::spectral {
namespace {

using simd::V4d;

// out[j] = x[p]·w_p in double precision for p = from + j, j < n, w the symmetric window of M
// samples whose first half is `half`: read forwards in the first half of the samples and
// backwards, four at a time, in the second.
template <class W>
[[gnu::always_inline]] inline void loadWeightedBody(const float* x, const double* half,
                                                    std::size_t m, std::size_t from,
                                                    std::size_t n, double* out) {
  const std::size_t h = (m + 1) / 2;
  const std::size_t forward = from < h ? std::min(n, h - from) : 0;
  std::size_t j = 0;
  for (; j + 4 <= forward; j += 4) {
    simd::store(out + j, W::wide(simd::loadRaw(x + from + j)) * simd::load(half + from + j));
  }
  for (; j < forward; ++j) {
    out[j] = x[from + j] * half[from + j];
  }
  for (; j + 4 <= n; j += 4) {
    const V4d v = simd::load(half + (m - 1 - (from + j)) - 3);
    simd::store(out + j, W::wide(simd::loadRaw(x + from + j)) *
                             __builtin_shufflevector(v, v, 3, 2, 1, 0));
  }
  for (; j < n; ++j) {
    out[j] = x[from + j] * half[m - 1 - (from + j)];
  }
}

TARVIK_DISPATCHED_KERNEL(loadWeighted, loadWeightedBody,
                         (const float* x, const double* half, std::size_t m, std::size_t from,
                          std::size_t n, double* out),
                         (x, half, m, from, n, out))

}  // namespace

double spectrumPhase(double re, double im) {
  const double phase = std::atan2(-im, re);
  return phase == -3.141592653589793 ? 3.141592653589793 : phase;
}

DftSums::DftSums(std::span<const float> samples, double sampleStep, double df, double t0,
                 SumMethod method)
    : m_samples(samples), m_sampleStep(sampleStep), m_df(df), m_t0(t0), m_method(method) {}

void DftSums::setWindow(std::span<const double> half) {
  if (half.size() != (m_samples.size() + 1) / 2) {
    throw std::invalid_argument("DftSums::setWindow: the half window does not fit the samples");
  }
  m_halfWindow = half;
}

bool DftSums::compute(std::int64_t first, std::size_t count, double* re, double* im,
                      const std::function<bool(double)>& keepGoing) const {
  ChirpInput input;
  input.length = m_samples.size();
  input.real = true;
  input.load = [this](std::size_t from, std::size_t n, double* ur, double*) {
    if (m_halfWindow.empty()) {
      for (std::size_t j = 0; j < n; ++j) {
        ur[j] = m_samples[from + j];
      }
      return;
    }
    loadWeighted(m_samples.data(), m_halfWindow.data(), m_samples.size(), from, n, ur);
  };
  // β = df·s cycles per frequency index per sample, kept exactly as hi + lo.
  const double betaHi = m_df * m_sampleStep;
  const double betaLo = std::fma(m_df, m_sampleStep, -betaHi);
  if (!chirpSums(input, betaHi, betaLo, first, count, re, im, keepGoing, m_method)) {
    return false;
  }
  // Y = Σ x·e^(−iωps); the start time turns it by e^(−iω·t0). Re = Re Y', Im = −Im Y'.
  const CycleFraction offset = CycleFraction::ofProduct(m_df, m_t0);
  for (std::size_t q = 0; q < count; ++q) {
    double yr = re[q], yi = im[q];
    if (m_t0 != 0) {
      const double angle = -offset.times(first + static_cast<std::int64_t>(q)).radians();
      const double c = std::cos(angle), s = std::sin(angle);
      const double r = yr * c - yi * s;
      yi = yr * s + yi * c;
      yr = r;
    }
    re[q] = yr;
    im[q] = -yi;
  }
  return true;
}

std::size_t fftSize(std::size_t n) { return n <= 1 ? 1 : std::bit_ceil(n); }

}  // namespace tarvik::spectral

TARVIK_SIMD_END
