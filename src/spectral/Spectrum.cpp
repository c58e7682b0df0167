#include "spectral/Spectrum.h"

#include <bit>
#include <cmath>
#include <stdexcept>

#include "spectral/CycleFraction.h"

namespace tarvik::spectral {

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
    // The first half of the samples meets the window in order, the second mirrored.
    const std::size_t m = m_samples.size(), h = m_halfWindow.size();
    std::size_t j = 0;
    for (; j < n && from + j < h; ++j) {
      ur[j] = m_samples[from + j] * m_halfWindow[from + j];
    }
    for (; j < n; ++j) {
      ur[j] = m_samples[from + j] * m_halfWindow[m - 1 - (from + j)];
    }
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
