#pragma once
// The one-sided inverse summation: a time signal rebuilt from an amplitude and a phase
// spectrum over frequencies in hertz,
//   y(t) = (1/π)·Σ_i A′ᵢ·cos(ωᵢ·t + φᵢ)·dω,  ωᵢ = 2π·fᵢ,  A′ᵢ = Aᵢ/2 at ωᵢ = 0, else Aᵢ,
// at t = p·dt + tmin for p = 0 … n. On an equally spaced frequency grid this is a chirp-z
// transform and is computed as one (blocks of output points); otherwise term by term.
#include <cstdint>
#include <functional>
#include <span>

#include "spectral/BlockLoop.h"

namespace tarvik::spectral {

struct InverseSpectrumInput {
  std::span<const double> amplitude;    // Y of the amplitude graph
  std::span<const double> frequencies;  // X of the phase graph, Hz
  std::span<const double> phases;       // Y of the phase graph, radians
};

// Output points y(t_p)·1 (already divided by π), delivered in order through
// `emit(p, value)`. Sums over the points both graphs have (the shorter count). Progress and
// the stop request as runInBlocks; returns false when stopped (points emitted so far stay).
bool inverseSpectrumSums(const InverseSpectrumInput& input, double tmin, double dt, std::int64_t n,
                         double dOmega, PercentProgress& progress,
                         const std::function<bool()>& stopRequested,
                         const std::function<void(std::int64_t p, double value)>& emit);

}  // namespace tarvik::spectral
