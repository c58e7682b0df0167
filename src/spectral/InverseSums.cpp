#include "spectral/InverseSums.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "spectral/ChirpSums.h"
#include "spectral/CycleFraction.h"

namespace tarvik::spectral {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr std::size_t kOutputBlock = 65536;

double weightedAmplitude(const InverseSpectrumInput& in, std::size_t i) {
  const double omega = 2 * kPi * in.frequencies[i];
  return omega == 0 ? in.amplitude[i] / 2 : in.amplitude[i];
}

// Largest distance of the frequencies from the straight line through the first and last.
double gridDeviation(std::span<const double> f, std::size_t k, double& step) {
  step = (f[k - 1] - f[0]) / static_cast<double>(k - 1);
  double worst = 0;
  for (std::size_t i = 0; i < k; ++i) {
    worst = std::max(worst, std::fabs(f[i] - (f[0] + static_cast<double>(i) * step)));
  }
  return worst;
}

bool termByTerm(const InverseSpectrumInput& in, std::size_t k, double tmin, double dt,
                std::int64_t n, double dOmega, PercentProgress& progress,
                const std::function<bool()>& stopRequested,
                const std::function<void(std::int64_t, double)>& emit) {
  for (std::int64_t p = 0; p <= n; ++p) {
    progress.reach(p);
    if (stopRequested()) {
      return false;
    }
    const double t = static_cast<double>(p) * dt + tmin;
    double s = 0;
    for (std::size_t i = 0; i < k; ++i) {
      s += weightedAmplitude(in, i) * std::cos(2 * kPi * in.frequencies[i] * t + in.phases[i]) *
           dOmega;
    }
    emit(p, s / kPi);
  }
  return true;
}

}  // namespace

bool inverseSpectrumSums(const InverseSpectrumInput& in, double tmin, double dt, std::int64_t n,
                         double dOmega, PercentProgress& progress,
                         const std::function<bool()>& stopRequested,
                         const std::function<void(std::int64_t, double)>& emit) {
  const std::size_t k = std::min({in.amplitude.size(), in.frequencies.size(), in.phases.size()});
  if (n < 0) {
    return true;
  }
  double df = 0;
  const double tAbs = std::max(std::fabs(tmin), std::fabs(tmin + static_cast<double>(n) * dt));
  // The chirp-z form needs fᵢ = f0 + i·Δ; a grid off that line by δ changes the phases by
  // up to 2π·δ·|t|, which must stay negligible.
  if (k < 2 || !(2 * kPi * gridDeviation(in.frequencies, k, df) * tAbs <= 1e-11) ||
      !std::isfinite(dt) || !std::isfinite(tmin)) {
    return termByTerm(in, k, tmin, dt, n, dOmega, progress, stopRequested, emit);
  }
  const double f0 = in.frequencies[0];
  // ωᵢ·t_p = 2π·(f0·t_p + i·Δ·tmin + i·p·Δ·dt): u_i = conj(cᵢ·e^(2πi·i·Δ·tmin)) with
  // cᵢ = A′ᵢ·e^(iφᵢ)·dω, then Σ_i u_i·e^(−2πi·(Δ·dt)·i·p) and conjugate back.
  const CycleFraction shift = CycleFraction::ofProduct(df, tmin);
  std::vector<double> uRe(k), uIm(k);
  for (std::size_t i = 0; i < k; ++i) {
    const double angle = in.phases[i] + shift.times(static_cast<std::int64_t>(i)).radians();
    const double a = weightedAmplitude(in, i) * dOmega;
    uRe[i] = a * std::cos(angle);
    uIm[i] = -a * std::sin(angle);
  }
  ChirpInput input;
  input.length = k;
  input.load = [&](std::size_t from, std::size_t count, double* re, double* im) {
    std::copy_n(uRe.begin() + static_cast<std::ptrdiff_t>(from), count, re);
    std::copy_n(uIm.begin() + static_cast<std::ptrdiff_t>(from), count, im);
  };
  const double betaHi = df * dt;
  const double betaLo = std::fma(df, dt, -betaHi);
  std::vector<double> yRe, yIm;
  const auto block = [&](std::int64_t first, std::size_t count,
                         const std::function<bool(double)>& keepGoing) {
    yRe.resize(count);
    yIm.resize(count);
    if (!chirpSums(input, betaHi, betaLo, first, count, yRe.data(), yIm.data(), keepGoing)) {
      return false;
    }
    for (std::size_t q = 0; q < count; ++q) {
      const std::int64_t p = first + static_cast<std::int64_t>(q);
      const double t = static_cast<double>(p) * dt + tmin;
      const double angle = CycleFraction::ofProduct(f0, t).radians();
      // Re[e^(i·angle)·conj(Y)]
      emit(p, (std::cos(angle) * yRe[q] + std::sin(angle) * yIm[q]) / kPi);
    }
    return true;
  };
  return runInBlocks(n + 1, kOutputBlock, progress, stopRequested, block);
}

}  // namespace tarvik::spectral
