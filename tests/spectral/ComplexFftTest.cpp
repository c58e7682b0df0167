#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "spectral/ComplexFft.h"
#include "spectral/ReferenceFft.h"

namespace tarvik::spectral {
namespace {

std::vector<std::complex<double>> randomComplex(std::size_t n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> dist(-1, 1);
  std::vector<std::complex<double>> x(n);
  for (auto& v : x) {
    v = {dist(gen), dist(gen)};
  }
  return x;
}

// Sizes 1 … 2^18: above the cache block (2^14) the large stages sweep the whole array and
// the rest run block by block, in both directions.
TEST(ComplexFft, EverySizeMatchesTheReferenceAndRoundTrips) {
  for (std::size_t n = 1; n <= (std::size_t{1} << 18); n *= 2) {
    const auto x = randomComplex(n, static_cast<unsigned>(n));
    std::vector<double> re(n), im(n);
    for (std::size_t j = 0; j < n; ++j) {
      re[j] = x[j].real();
      im[j] = x[j].imag();
    }
    const ComplexFft fft(n);
    std::vector<double> fre = re, fim = im;
    fft.forward(fre.data(), fim.data());
    const auto ref = testing::referenceFft(x, -1);
    const double bound = 1e-15 * std::sqrt(static_cast<double>(n)) * (std::log2(n) + 1) * 4;
    double worst = 0;
    for (std::size_t k = 0; k < n; ++k) {
      worst = std::max(worst, std::abs(std::complex<double>(fre[k], fim[k]) - ref[k]));
    }
    EXPECT_LT(worst, bound * std::sqrt(static_cast<double>(n))) << "n=" << n;

    // Bit-reversed forward, then the inverse that takes that order: N times the input.
    std::vector<double> rre = re, rim = im;
    fft.forwardToBitReversed(rre.data(), rim.data());
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t r = reverseBits(k, std::countr_zero(n));
      ASSERT_EQ(rre[r], fre[k]) << "n=" << n << " k=" << k;
      ASSERT_EQ(rim[r], fim[k]) << "n=" << n << " k=" << k;
    }
    fft.inverseFromBitReversed(rre.data(), rim.data());
    double back = 0;
    for (std::size_t j = 0; j < n; ++j) {
      back = std::max(
          back, std::abs(std::complex<double>(rre[j], rim[j]) / static_cast<double>(n) - x[j]));
    }
    EXPECT_LT(back, 1e-15 * (std::log2(n) + 1) * 8) << "n=" << n;
  }
}

TEST(ComplexFft, RefusesSizesThatAreNotPowersOfTwo) {
  EXPECT_THROW(ComplexFft(0), std::invalid_argument);
  EXPECT_THROW(ComplexFft(12), std::invalid_argument);
}

}  // namespace
}  // namespace tarvik::spectral
