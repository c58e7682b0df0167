#pragma once
// Plain direct sums, the oracles the fast spectral paths are checked against: every
// quantity computed term by term exactly as it is defined, O(M·K).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarvik::testing {

inline constexpr double kRefPi = 3.141592653589793;

struct ReferenceSpectrum {
  std::vector<double> re, im;  // Σ x·cos(ωt), Σ x·sin(ωt)
};

// Re and Im of the DFT path for k = first … first + count − 1: ω = k·2π·df,
// t = p·s + t0.
inline ReferenceSpectrum referenceDft(std::span<const float> samples, double s, double df,
                                      std::int64_t first, std::size_t count, double t0 = 0) {
  ReferenceSpectrum out;
  for (std::size_t q = 0; q < count; ++q) {
    const double omega =
        static_cast<double>(first + static_cast<std::int64_t>(q)) * 2 * kRefPi * df;
    double re = 0, im = 0;
    for (std::size_t p = 0; p < samples.size(); ++p) {
      const double t = static_cast<double>(p) * s + t0;
      re += samples[p] * std::cos(omega * t);
      im += samples[p] * std::sin(omega * t);
    }
    out.re.push_back(re);
    out.im.push_back(im);
  }
  return out;
}

// X[k] = Σ x[n]·e^(−2πi·nk/N) for k < N/2, in double precision.
inline ReferenceSpectrum referenceFftBins(std::span<const float> x) {
  const std::size_t n = x.size();
  ReferenceSpectrum out;
  for (std::size_t k = 0; k < n / 2; ++k) {
    double re = 0, im = 0;
    for (std::size_t j = 0; j < n; ++j) {
      const double angle = -2 * kRefPi * static_cast<double>((j * k) % n) / static_cast<double>(n);
      re += x[j] * std::cos(angle);
      im += x[j] * std::sin(angle);
    }
    out.re.push_back(re);
    out.im.push_back(im);
  }
  return out;
}

// S(t)/π for t = p·dt + tmin, p = 0 … n: S = Σ_i A′ᵢ·cos(ωᵢ·t + φᵢ)·dω, ωᵢ = 2π·freq[i],
// A′ᵢ = Aᵢ/2 at ωᵢ = 0.
inline std::vector<double> referenceInverse(std::span<const double> amplitude,
                                            std::span<const double> freq,
                                            std::span<const double> phase, double tmin, double dt,
                                            int n, double dOmega) {
  std::vector<double> out;
  const std::size_t k = std::min(amplitude.size(), phase.size());
  for (int p = 0; p <= n; ++p) {
    const double t = p * dt + tmin;
    double s = 0;
    for (std::size_t i = 0; i < k; ++i) {
      const double omega = 2 * kRefPi * freq[i];
      const double a = omega == 0 ? amplitude[i] / 2 : amplitude[i];
      s += a * std::cos(omega * t + phase[i]) * dOmega;
    }
    out.push_back(s / kRefPi);
  }
  return out;
}

// Duhamel's sum with the step response scanned from its start for every term.
inline double referenceStepValue(std::span<const double> xh, std::span<const double> yh,
                                 double tau) {
  const std::size_t r = xh.size();
  if (r == 0 || tau > xh[r - 1] || tau < xh[0]) {
    return 0;
  }
  for (std::size_t b = 1; b < r; ++b) {
    if (xh[b - 1] <= tau && tau < xh[b]) {
      return ((tau - xh[b - 1]) * yh[b] + (xh[b] - tau) * yh[b - 1]) / (xh[b] - xh[b - 1]);
    }
  }
  return yh[r - 1];
}

inline std::vector<double> referenceConvolution(std::span<const double> xs,
                                                std::span<const double> ys,
                                                std::span<const double> xh,
                                                std::span<const double> yh) {
  std::vector<double> out;
  for (std::size_t k = 1; k < xs.size(); ++k) {
    double s = 0;
    for (std::size_t i = 0; i + 1 <= k; ++i) {
      s += (ys[i + 1] - ys[i]) * referenceStepValue(xh, yh, xs[k] - xs[i + 1]);
    }
    out.push_back(s);
  }
  return out;
}

}  // namespace tarvik::testing
