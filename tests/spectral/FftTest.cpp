#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <vector>

#include "spectral/Fft.h"
#include "spectral/ReferenceFft.h"
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

// Larger than any size the fast transforms treat differently: above their cache block
// (2^14 points) an odd or even number of whole-array stages runs before the blocks.
constexpr std::size_t kLargestSweptSize = std::size_t{1} << 18;

using Spectrum = std::vector<std::complex<double>>;

// √(Σ|a − b|²) / √(Σ|b|²) and the largest |a − b| over the first `count` entries.
struct Deviation {
  double relativeRms = 0;
  double largest = 0;
};
Deviation deviation(const Spectrum& a, const Spectrum& b, std::size_t count) {
  double err = 0, ref = 0, largest = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const double d = std::abs(a[k] - b[k]);
    err += d * d;
    ref += std::norm(b[k]);
    largest = std::max(largest, d);
  }
  return {ref > 0 ? std::sqrt(err / ref) : std::sqrt(err), largest};
}

TEST(ReferenceFft, AgreesWithTheDirectSum) {
  for (std::size_t n : {2u, 4u, 8u, 64u, 512u}) {
    const auto x = randomSignal(n, 5);
    const auto fast = testing::referenceFft(x, -1);
    const auto direct = testing::referenceFftBins(x);
    for (std::size_t k = 0; k < n / 2; ++k) {
      ASSERT_NEAR(fast[k].real(), direct.re[k], 1e-12 * static_cast<double>(n)) << n << " " << k;
      ASSERT_NEAR(fast[k].imag(), direct.im[k], 1e-12 * static_cast<double>(n)) << n << " " << k;
    }
  }
  // The largest size, at a few bins spread over the spectrum.
  const auto x = randomSignal(kLargestSweptSize, 6);
  const auto fast = testing::referenceFft(x, -1);
  for (std::size_t k : {std::size_t{0}, std::size_t{1}, std::size_t{4099}, std::size_t{70001},
                        kLargestSweptSize / 2 - 1}) {
    std::complex<double> sum = 0;
    for (std::size_t j = 0; j < x.size(); ++j) {
      const double angle =
          -2 * M_PI * static_cast<double>((j * k) % x.size()) / static_cast<double>(x.size());
      sum += static_cast<double>(x[j]) * std::polar(1.0, angle);
    }
    EXPECT_LT(std::abs(fast[k] - sum), 1e-9 * static_cast<double>(x.size())) << k;
  }
}

// The bins X[k] the fast transform reports as amplitude 2|X|/N and phase.
Spectrum binsOfFastTransform(const std::vector<float>& x) {
  const std::size_t n = x.size();
  std::vector<float> amp(n / 2, static_cast<float>(kNaN)), phase(n / 2, static_cast<float>(kNaN));
  fastTransform(x, 1.0f, amp, phase);
  Spectrum bins(n / 2);
  for (std::size_t k = 0; k < n / 2; ++k) {
    bins[k] = std::polar(static_cast<double>(amp[k]) * static_cast<double>(n) / 2,
                         static_cast<double>(phase[k]));
  }
  return bins;
}

// Every power of two up to 2^18 takes its own mix of whole-array and in-block stages; each
// is checked on noise and on a unit tone between bins. Single-precision butterflies leave an
// RMS error of a few 1e-8 per stage.
TEST(FastTransform, EverySizeMatchesTheReference) {
  for (std::size_t n = 2; n <= kLargestSweptSize; n *= 2) {
    const double stages = std::log2(static_cast<double>(n));
    const auto noise = randomSignal(n, static_cast<unsigned>(n) + 1);
    const Deviation d =
        deviation(binsOfFastTransform(noise), testing::referenceFft(noise, -1), n / 2);
    EXPECT_LT(d.relativeRms, 1.5e-7 * stages) << "n=" << n;

    std::vector<float> tone(n);
    const double cycles = static_cast<double>(n) / 5.3;
    for (std::size_t j = 0; j < n; ++j) {
      tone[j] = static_cast<float>(
          std::sin(2 * M_PI * cycles * static_cast<double>(j) / static_cast<double>(n) + 0.4));
    }
    const Spectrum fast = binsOfFastTransform(tone);
    const Spectrum ref = testing::referenceFft(tone, -1);
    const Deviation t = deviation(fast, ref, n / 2);
    EXPECT_LT(t.relativeRms, 1.5e-7 * stages) << "n=" << n;
    EXPECT_LT(t.largest, 2e-7 * stages * std::sqrt(static_cast<double>(n)) * std::abs(ref[0]) +
                             1e-6 * static_cast<double>(n))
        << "n=" << n;
  }
}

// fastInverse computes Re Σ_{k<N/2} A′[k]·e^(i(2πnk/N + φ[k])), the unscaled inverse of the
// one-sided coefficients A′·e^(iφ).
TEST(FastInverse, EverySizeMatchesTheReference) {
  for (std::size_t n = 2; n <= kLargestSweptSize; n *= 2) {
    std::mt19937 gen(static_cast<unsigned>(n));
    std::uniform_real_distribution<float> amplitudes(0.0f, 1.0f), phases(-3.0f, 3.0f);
    std::vector<float> amp(n), phase(n);
    Spectrum coefficients(n, 0.0);
    for (std::size_t k = 0; k < n; ++k) {
      amp[k] = amplitudes(gen);
      phase[k] = phases(gen);
      if (k < n / 2) {
        const double a = k == 0 ? amp[k] / 2.0 : static_cast<double>(amp[k]);
        coefficients[k] = std::polar(a, static_cast<double>(phase[k]));
      }
    }
    std::vector<float> out(n, static_cast<float>(kNaN));
    fastInverse(amp, phase, 1.0f, out);
    const Spectrum ref = testing::referenceFft(coefficients, +1);
    Spectrum got(n), want(n);
    for (std::size_t j = 0; j < n; ++j) {
      got[j] = out[j];
      want[j] = ref[j].real();
    }
    EXPECT_LT(deviation(got, want, n).relativeRms,
              1.5e-7 * std::log2(static_cast<double>(n)) + 1e-7)
        << "n=" << n;
  }
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
