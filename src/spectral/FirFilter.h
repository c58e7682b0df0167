#pragma once
// The centred convolution of a record with an odd-length kernel, zero outside the record:
// numpy.convolve(y, h, mode='same'). Short kernels are summed directly, long ones by FFT
// (overlap-save in double precision, two record stretches per complex transform).
#include <cstddef>
#include <span>
#include <vector>

namespace tarvik::spectral {

// Kernels up to this length are summed directly.
inline constexpr std::size_t kDirectKernel = 64;

// out[k] = Σ_i h[i]·y[k + (m−1)/2 − i] over the i with 0 ≤ k + (m−1)/2 − i < n; n values.
// h.size() odd; y.size() ≥ h.size() (else std::invalid_argument).
std::vector<double> convolveCentred(std::span<const double> y, std::span<const double> h);

// The same by direct sums and by FFT, whatever the length (for tests and benchmarks).
std::vector<double> convolveCentredDirect(std::span<const double> y, std::span<const double> h);
std::vector<double> convolveCentredFft(std::span<const double> y, std::span<const double> h);

}  // namespace tarvik::spectral
