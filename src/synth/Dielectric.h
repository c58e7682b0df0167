#pragma once
// Single-relaxation (Debye) models of a polar dielectric tabulated against frequency in
// GHz, ω = 2π·f·1e9:
//   ε′(f) = ε∞ + (εs − ε∞)/(1 + (ωτ)²),
//   ε″(f) = (εs − ε∞)·ωτ/(1 + (ωτ)²),
//   σ(f)  = ε0·ω·ε″(f) (+ σ0 for a conducting dielectric), ε0 taken as 8.85e-12 F/m.
// Water uses τ = 9.4e-12 s, ε∞ = 1.8 and 79.2 for εs − ε∞ in ε′ but 82.8 in ε″. The polar
// dielectric's conductivity multiplies by εs + ε∞, not the difference. Both are the stated
// models and are tabulated as they stand.
#include <cstddef>
#include <optional>

#include "synth/PulseGenerators.h"

namespace tarvik::synth {

inline constexpr double kVacuumPermittivity = 8.85e-12;  // F/m
inline constexpr double kWaterRelaxationSeconds = 9.4e-12;

// ω in rad/s for f in GHz.
double angularFrequency(double fGhz);

double waterRealPermittivity(double fGhz);
double waterImaginaryPermittivity(double fGhz);

// ε′ of water for f = i/10 GHz, i = 0 … 2000.
PointColumns waterRealTable();
// For f = i/20 GHz, i = 0 … 4000: ε″ of water, or with `conductivity` the equivalent
// conductivity ε0·ω·ε″ in S/m.
PointColumns waterImaginaryTable(bool conductivity);

struct PolarDielectric {
  double staticPermittivity = 120;        // εs
  double highFrequencyPermittivity = 15;  // ε∞
  double relaxationSeconds = 6.67e-9;     // τ
  double staticConductivity = 0.64;       // σ0, S/m
};

// The number of rows of the polar grid f = i/100 GHz, i = 0 … round(fmax·100) (ties to
// even): that count + 1, 0 when the rounded count is negative, nullopt when more than
// `limit` rows (NaN and infinities included).
std::optional<std::size_t> polarRowCount(double fMaxGhz, std::size_t limit);

double polarPermittivity(const PolarDielectric& d, double fGhz);
double polarConductivity(const PolarDielectric& d, double fGhz);

// The tables over `rows` grid rows f = i/100 GHz.
PointColumns polarPermittivityTable(const PolarDielectric& d, std::size_t rows);
PointColumns polarConductivityTable(const PolarDielectric& d, std::size_t rows);

}  // namespace tarvik::synth
