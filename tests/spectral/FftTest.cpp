#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "spectral/Fft.h"
#include "spectral/ReferenceSums.h"

namespace tarvik::spectral {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<float> randomSignal(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> x(n);
  for (float& v : x) {
    v = dist(gen);
  }
  return x;
}

TEST(FastTransform, MatchesDirectBinsOnEveryPowerOfTwoUpTo4096) {
  for (std::size_t n = 2; n <= 4096; n *= 2) {
    const auto x = randomSignal(n, static_cast<unsigned>(n));
    std::vector<float> amp(n / 2, static_cast<float>(kNaN)), phase(n / 2, static_cast<float>(kNaN));
    fastTransform(x, 0.01f, amp, phase);
    const auto ref = testing::referenceFftBins(x);
    double sumAbs = 0, maxAmp = 0;
    for (float v : x) {
      sumAbs += std::fabs(v);
    }
    for (std::size_t k = 0; k < n / 2; ++k) {
      maxAmp = std::max(maxAmp, std::hypot(ref.re[k], ref.im[k]) * 2 / static_cast<double>(n));
    }
    // Single-precision butterflies: about log2(N) roundings of 6e-8 each.
    const double tol =
        1e-6 * std::log2(static_cast<double>(n) + 1) * sumAbs * 2 / static_cast<double>(n);
    for (std::size_t k = 0; k < n / 2; ++k) {
      const double want = std::hypot(ref.re[k], ref.im[k]) * 2 / static_cast<double>(n);
      ASSERT_NEAR(amp[k], want, tol) << "n=" << n << " k=" << k;
      if (want > 1e-3 * maxAmp) {
        const double diff = std::remainder(phase[k] - std::atan2(ref.im[k], ref.re[k]), 2 * M_PI);
        ASSERT_LE(std::fabs(diff), tol / want + 1e-6) << "n=" << n << " k=" << k;
      }
    }
  }
}

TEST(FastTransform, ConstantAndCosineFollowTheOutputConventions) {
  const std::size_t n = 64;
  std::vector<float> constant(n, 1.5f), amp(n / 2), phase(n / 2);
  fastTransform(constant, 1.0f, amp, phase);
  EXPECT_FLOAT_EQ(amp[0], 3.0f);  // a constant c gives 2c at k = 0
  EXPECT_EQ(phase[0], 0.0f);
  for (std::size_t k = 1; k < n / 2; ++k) {
    EXPECT_NEAR(amp[k], 0.0f, 1e-6f);
  }
  std::vector<float> cosine(n);
  for (std::size_t j = 0; j < n; ++j) {
    cosine[j] = static_cast<float>(std::cos(2 * M_PI * 5.0 * static_cast<double>(j) / n));
  }
  fastTransform(cosine, 1.0f, amp, phase);
  EXPECT_NEAR(amp[5], 1.0f, 1e-6f);
  EXPECT_NEAR(phase[5], 0.0f, 1e-6f);
}

TEST(FastTransform, PhaseOfNegativeRealBinIsPlusPi) {
  std::vector<float> x(8, -1.0f), amp(4), phase(4);
  fastTransform(x, 1.0f, amp, phase);
  EXPECT_FLOAT_EQ(phase[0], static_cast<float>(M_PI));
  std::vector<float> zero(8, 0.0f);
  fastTransform(zero, 1.0f, amp, phase);
  EXPECT_EQ(phase[0], 0.0f);
}

TEST(FastTransform, RefusesLengthsThatAreNotPowersOfTwo) {
  std::vector<float> x(6), out(3);
  EXPECT_THROW(fastTransform(x, 1.0f, out, out), std::invalid_argument);
  std::vector<float> y(8), shortOut(3);
  EXPECT_THROW(fastTransform(y, 1.0f, shortOut, shortOut), std::invalid_argument);
}

TEST(FastTransform, LargeTransformsUseTheSweepingStagesCorrectly) {
  // 2^16 points: the stages above the cache block take their twiddles in chunks.
  const std::size_t n = 1 << 16;
  std::vector<float> x(n);
  for (std::size_t j = 0; j < n; ++j) {
    x[j] = static_cast<float>(
        0.25 + 0.75 * std::sin(2 * M_PI * 1234.0 * static_cast<double>(j) / n + 0.3));
  }
  std::vector<float> amp(n / 2), phase(n / 2);
  fastTransform(x, 1.0f, amp, phase);
  EXPECT_NEAR(amp[0], 0.5, 1e-5);
  EXPECT_NEAR(amp[1234], 0.75, 1e-5);
  EXPECT_NEAR(phase[1234], 0.3 - M_PI / 2, 1e-4);
  EXPECT_NEAR(amp[1233], 0.0, 1e-5);
}

TEST(FastInverse, ForwardThenInverseGivesTheSignalBack) {
  for (std::size_t n : {2u, 8u, 64u, 1024u, 65536u}) {
    auto x = randomSignal(n, 7);
    // Remove the Nyquist component: the one-sided arrays cannot carry it.
    double nyquist = 0;
    for (std::size_t j = 0; j < n; ++j) {
      nyquist += (j % 2 ? -1.0 : 1.0) * x[j];
    }
    nyquist /= static_cast<double>(n);
    for (std::size_t j = 0; j < n; ++j) {
      x[j] = static_cast<float>(x[j] - (j % 2 ? -nyquist : nyquist));
    }
    std::vector<float> amp(n, 0.0f), phase(n, 0.0f), back(n);
    fastTransform(x, 1.0f, amp, phase);
    fastInverse(amp, phase, 1.0f, back);
    for (std::size_t j = 0; j < n; ++j) {
      ASSERT_NEAR(back[j], x[j], 2e-5 * std::log2(static_cast<double>(n) + 1)) << n << " " << j;
    }
  }
}

TEST(FastInverse, IgnoresTheUpperHalfAndLeavesInputsAlone) {
  std::vector<float> amp = {2, 1, 7, 7}, phase = {0, 0, 1, 1}, out(4);
  const auto ampCopy = amp;
  fastInverse(amp, phase, 1.0f, out);
  EXPECT_EQ(amp, ampCopy);
  // output[n] = A0/2 + A1·cos(2πn/4)
  EXPECT_NEAR(out[0], 2.0f, 1e-6f);
  EXPECT_NEAR(out[1], 1.0f, 1e-6f);
  EXPECT_NEAR(out[2], 0.0f, 1e-6f);
  EXPECT_NEAR(out[3], 1.0f, 1e-6f);
}

TEST(BinPhase, AgreesWithAtan2EverywhereButTheSignOfPi) {
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> dist(-10, 10);
  for (int i = 0; i < 100000; ++i) {
    const double y = dist(gen) * std::pow(10.0, dist(gen)),
                 x = dist(gen) * std::pow(10.0, dist(gen));
    ASSERT_NEAR(binPhase(y, x), std::atan2(y, x), 1e-10) << y << " " << x;
  }
  EXPECT_EQ(binPhase(0.0, -2.0), M_PI);
  EXPECT_EQ(binPhase(-0.0, -2.0), M_PI);
  EXPECT_EQ(binPhase(0.0, 0.0), 0.0);
  EXPECT_NEAR(binPhase(1.0, 0.0), M_PI / 2, 1e-15);
}

}  // namespace
}  // namespace tarvik::spectral
