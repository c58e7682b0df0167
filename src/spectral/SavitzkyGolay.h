#pragma once
// Savitzky–Golay smoothing: the least-squares polynomial of degree p through each window of
// w points, evaluated at the window's centre; at both ends the polynomial fitted to the
// first (last) w points gives the first (last) w/2 values (scipy.signal.savgol_filter with
// mode='interp'). The weights come from the orthonormal polynomials of the w equally spaced
// points (Gram polynomials, by their three-term recurrence), which keeps them accurate to
// rounding for any width and degree.
#include <cstddef>
#include <span>
#include <vector>

namespace tarvik::spectral {

// The w weights of the centre value: smoothed y[k] = Σ_j c[j]·y[k − w/2 + j].
// w odd, 0 ≤ p < w (else std::invalid_argument).
std::vector<double> savitzkyGolayWeights(std::size_t width, std::size_t polyorder);

// The smoothed record; y.size() ≥ width (else std::invalid_argument).
std::vector<double> savitzkyGolayFilter(std::span<const double> y, std::size_t width,
                                        std::size_t polyorder);

}  // namespace tarvik::spectral
