#pragma once
// Derivative, running integral and the RC circuit transforms, in place on point arrays.
//
// RC differentiation is the response of a first-order high-pass (time constant τ, X in
// nanoseconds) to the graph taken as its input: every step of the input decays as
// e^(−Δt/τ). It is computed in its recursive form
//   out[i] = out[i−1]·e^(−(X[i]−X[i−1])·1e-9/τ) + (Y[i] − Y[i−1]),  out[0] = Y[0],
// which equals the explicit sum Σ_{j≤i} D[j]·e^(−(X[i]−X[j])·1e-9/τ) without its overflow
// for long records. RC integration inverts it:
//   in[i] = in[i−1] + Y[i] − Y[i−1]·e^(−(X[i]−X[i−1])·1e-9/τ),  in[0] = Y[0].
// The exponentials and the recursions run in extended precision; results are doubles.
#include <cstddef>
#include <optional>
#include <random>
#include <span>

namespace tarvik {

// Forward-difference derivative at interval centres: entry i (i < n − 1) becomes
// ((X[i] + X[i+1]) / 2, (Y[i+1] − Y[i]) / (X[i+1] − X[i])); the last entry is left for the
// caller to drop. When an interval has zero width or its quotient is not finite, returns
// its index and changes nothing. Fewer than two points: nothing to compute.
std::optional<std::size_t> forwardDerivative(std::span<double> xs, std::span<double> ys);

// Running trapezoid integral: entry i (i < n − 1) becomes (old X[i] + dx, the integral from
// X[0] to there), each term rounded to double before it is added; the last entry is left
// for the caller to drop.
void runningTrapezoidIntegral(std::span<double> xs, std::span<double> ys);

// RC differentiation and integration with τ in seconds (τ > 0, finite); X unchanged. An
// empty span does nothing; one point stays as it is (its only step is itself).
void rcDifferentiate(std::span<const double> xs, std::span<double> ys, double tauSeconds);
void rcIntegrate(std::span<const double> xs, std::span<double> ys, double tauSeconds);

// The decay over one step from previousX to x (in ns) with τ in seconds, in extended
// precision, computed afresh: the factor the RC transforms use for that step, whether they
// take it from their table of recent steps or compute it.
long double rcDecayFactor(double previousX, double x, double tauSeconds);

// Quantisation-error model after RC differentiation: q = (max Y − min Y) / levels; every Y
// goes to the nearest multiple of q (a half to the even one), then one step down with
// probability 0.2 and, independently, one step up with probability 0.2. Skipped when q is
// 0 or not finite. NaN values are skipped when finding the extremes.
void quantisationErrorModel(std::span<double> ys, int levels, std::mt19937_64& random);

}  // namespace tarvik
