#pragma once
// A textbook complex FFT in double precision, kept only as the oracle for the fast transforms
// at sizes where a direct sum would take too long: iterative radix-2 decimation in time,
// the input permuted into bit-reversed order first, every twiddle taken from its own cos and
// sin (no recurrence, no blocking, no tables shared with the code under test).
#include <complex>
#include <cstddef>
#include <span>
#include <utility>
#include <vector>

namespace tarvik::testing {

// X[k] = Σ x[n]·e^(sign·2πi·nk/N), N a power of two; sign −1 forward, +1 inverse (unscaled).
inline std::vector<std::complex<double>> referenceFft(std::vector<std::complex<double>> x,
                                                      int sign) {
  const std::size_t n = x.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) {
      j ^= bit;
    }
    j ^= bit;
    if (i < j) {
      std::swap(x[i], x[j]);
    }
  }
  std::vector<std::complex<double>> w(n / 2);
  for (std::size_t k = 0; k < n / 2; ++k) {
    const double angle =
        sign * 2 * 3.141592653589793 * static_cast<double>(k) / static_cast<double>(n);
    w[k] = {std::cos(angle), std::sin(angle)};
  }
  for (std::size_t len = 2; len <= n; len *= 2) {
    const std::size_t stride = n / len;
    for (std::size_t start = 0; start < n; start += len) {
      for (std::size_t j = 0; j < len / 2; ++j) {
        const std::complex<double> u = x[start + j];
        const std::complex<double> v = x[start + j + len / 2] * w[j * stride];
        x[start + j] = u + v;
        x[start + j + len / 2] = u - v;
      }
    }
  }
  return x;
}

inline std::vector<std::complex<double>> referenceFft(std::span<const float> x, int sign) {
  return referenceFft(std::vector<std::complex<double>>(x.begin(), x.end()), sign);
}

}  // namespace tarvik::testing
