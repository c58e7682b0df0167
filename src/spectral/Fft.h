#pragma once
// The fast transform routines: a radix-2 decimation-in-frequency FFT of a real
// single-precision signal returning its one-sided amplitude and phase, and the inverse that
// rebuilds a real signal from one-sided amplitude and phase arrays.
//
// Arrays are single precision; each butterfly computes in double precision and stores its
// result in single precision. The twiddles are exact values of e^(∓iπj/c) (the classic
// recurrence w ← w·e^(−iθ) gives the same numbers to well within single-precision
// rounding), so the results agree with that recurrence to single-precision rounding.
#include <cstddef>
#include <span>

namespace tarvik::spectral {

// Forward routine. `signal` has N entries, N a power of two (else std::invalid_argument);
// `sampleStep` is accepted and not used. For k = 0 … N/2−1, with X[k] = Σ x[n]·e^(−2πi·nk/N):
//   amplitude[k] = 2·|X[k]|/N  (a sine of amplitude a at bin k gives a; a constant c gives
//                               2c at k = 0),
//   phase[k]     = atan2(Im X[k], Re X[k]) in (−π, π] (−π is written as π; 0 for a zero bin).
// Both outputs need at least N/2 entries (std::invalid_argument otherwise). N = 1 writes
// nothing. NaN in the signal spreads to every bin.
void fastTransform(std::span<const float> signal, float sampleStep, std::span<float> amplitude,
                   std::span<float> phase);

// Inverse routine. `amplitude` and `phase` have the same length N, a power of two;
// `frequencyStep` is accepted and not used. Writes N entries of `output`:
//   output[n] = Σ_{k<N/2} A′[k]·cos(2π·nk/N + phase[k]),  A′ = amplitude with A′[0] halved;
// the upper half of the arrays is ignored and there is no 1/N scaling. The inputs are not
// changed.
void fastInverse(std::span<const float> amplitude, std::span<const float> phase,
                 float frequencyStep, std::span<float> output);

// atan2(y, x) to within 1e-10 rad, with −π written as π and atan2(0, 0) = 0; the phase
// rule of the FFT bins.
double binPhase(double y, double x);

}  // namespace tarvik::spectral
