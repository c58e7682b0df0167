#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "spectral/ChirpSums.h"
#include "spectral/ReferenceSums.h"
#include "spectral/Spectrum.h"

namespace tarvik::spectral {
namespace {

std::vector<float> randomSamples(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<float> dist(0.0f, 1.0f);
  std::vector<float> x(n);
  for (float& v : x) {
    v = dist(gen) * 1e-9f;  // samples already carry the step in seconds
  }
  return x;
}

double sumAbs(const std::vector<float>& x) {
  double s = 0;
  for (float v : x) {
    s += std::fabs(v);
  }
  return s;
}

const bool kAlways = true;
auto keepGoing() {
  return [](double) { return kAlways; };
}

// Checks the fast sums against the direct double sums: Re and Im within 1e-10·Σ|x| (so the
// amplitude too), the phase wherever the amplitude is above 1e-6 of the largest.
void expectMatches(const std::vector<float>& x, double s, double df, std::int64_t first,
                   std::size_t count, SumMethod method, double t0 = 0) {
  const DftSums sums(x, s, df, t0, method);
  std::vector<double> re(count, std::numeric_limits<double>::quiet_NaN()), im = re;
  ASSERT_TRUE(sums.compute(first, count, re.data(), im.data(), keepGoing()));
  const auto ref = testing::referenceDft(x, s, df, first, count, t0);
  const double tol = 1e-10 * sumAbs(x);
  double largest = 0;
  for (std::size_t q = 0; q < count; ++q) {
    largest = std::max(largest, std::hypot(ref.re[q], ref.im[q]));
  }
  for (std::size_t q = 0; q < count; ++q) {
    ASSERT_NEAR(re[q], ref.re[q], tol) << "M=" << x.size() << " K=" << count << " q=" << q;
    ASSERT_NEAR(im[q], ref.im[q], tol) << "M=" << x.size() << " K=" << count << " q=" << q;
    const double amp = std::hypot(ref.re[q], ref.im[q]);
    if (amp > 1e-6 * largest) {
      const double diff = std::remainder(
          spectrumPhase(re[q], im[q]) - spectrumPhase(ref.re[q], ref.im[q]), 2 * M_PI);
      ASSERT_LE(std::fabs(diff), 1e-9 + 4 * tol / amp) << "M=" << x.size() << " q=" << q;
    }
  }
}

struct SizeCase {
  std::size_t samples;
  std::size_t frequencies;
  std::int64_t first;
};

class DftSumsSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(DftSumsSizes, BothFastMethodsMatchTheDirectSums) {
  const SizeCase c = GetParam();
  const auto x = randomSamples(c.samples, static_cast<unsigned>(c.samples * 31 + c.frequencies));
  // A 1 GHz grid on a signal sampled at 2 GHz, as the default dialog gives.
  const double s = 0.5e-9, df = 1e6 * 1.37;
  expectMatches(x, s, df, c.first, c.frequencies, SumMethod::Direct);
  expectMatches(x, s, df, c.first, c.frequencies, SumMethod::ChirpZ);
  expectMatches(x, s, df, c.first, c.frequencies, SumMethod::Automatic, 3.3e-7);
}

INSTANTIATE_TEST_SUITE_P(PrimesAndOddSizes, DftSumsSizes,
                         ::testing::Values(SizeCase{1, 1, 0}, SizeCase{2, 3, 0}, SizeCase{3, 8, 0},
                                           SizeCase{7, 9, 2}, SizeCase{200, 17, 0},
                                           SizeCase{201, 1000, 0}, SizeCase{257, 100, 13},
                                           SizeCase{1009, 997, 0}, SizeCase{1024, 64, -32},
                                           SizeCase{4099, 31, 400}, SizeCase{4099, 257, 0},
                                           SizeCase{12289, 5, 7}, SizeCase{20011, 503, 150}));

// The weighting reads the first half of the window forwards and mirrors it over the second
// half, in chunks whose edges fall anywhere: a half of distinct values shows any sample that
// meets the wrong weight, or none, or two.
TEST(DftSums, WindowWeightsEverySampleByItsMirroredHalf) {
  for (std::size_t m : {1u, 2u, 3u, 5u, 8u, 9u, 1000u, 1001u, 4099u, 5000u}) {
    const auto x = randomSamples(m, static_cast<unsigned>(m));
    std::vector<double> half((m + 1) / 2);
    for (std::size_t p = 0; p < half.size(); ++p) {
      half[p] = 1 + 0.37 * static_cast<double>(p);
    }
    const double s = 0.5e-9, df = 1e6 * 1.37;
    const std::size_t count = 37;
    // The weighted sums directly, each product in double precision.
    std::vector<double> refRe(count, 0.0), refIm(count, 0.0);
    for (std::size_t q = 0; q < count; ++q) {
      const double omega = static_cast<double>(q) * 2 * testing::kRefPi * df;
      for (std::size_t p = 0; p < m; ++p) {
        const double wx = x[p] * half[std::min(p, m - 1 - p)];
        refRe[q] += wx * std::cos(omega * static_cast<double>(p) * s);
        refIm[q] += wx * std::sin(omega * static_cast<double>(p) * s);
      }
    }
    double scale = 0;
    for (std::size_t p = 0; p < m; ++p) {
      scale += std::fabs(x[p]) * half[std::min(p, m - 1 - p)];
    }
    for (SumMethod method : {SumMethod::Direct, SumMethod::ChirpZ}) {
      DftSums sums(x, s, df, 0, method);
      sums.setWindow(half);
      std::vector<double> re(count, std::numeric_limits<double>::quiet_NaN()), im = re;
      ASSERT_TRUE(sums.compute(0, count, re.data(), im.data(), keepGoing()));
      for (std::size_t q = 0; q < count; ++q) {
        ASSERT_NEAR(re[q], refRe[q], 1e-10 * scale) << "M=" << m << " q=" << q;
        ASSERT_NEAR(im[q], refIm[q], 1e-10 * scale) << "M=" << m << " q=" << q;
      }
    }
  }
  DftSums sums(randomSamples(10, 1), 1, 1);
  EXPECT_THROW(sums.setWindow(std::vector<double>(4, 1.0)), std::invalid_argument);
}

TEST(DftSums, StayExactFarAlongLongSignals) {
  // Phases of k·p up to 10^10 cycles·β: the rotation must not drift along the samples.
  const auto x = randomSamples(200003, 5);
  expectMatches(x, 0.5e-9, 1e6, 990, 10, SumMethod::Direct);
  expectMatches(x, 0.5e-9, 1e6, 990, 10, SumMethod::ChirpZ);
}

TEST(DftSums, PureToneLandsOnItsFrequency) {
  // 50 MHz cosine over 1 µs sampled at 1 ns (samples times s): amplitude T/2 at 50 MHz.
  const std::size_t m = 1001;
  const double s = 1e-9;
  std::vector<float> x(m);
  for (std::size_t p = 0; p < m; ++p) {
    x[p] = static_cast<float>(std::cos(2 * M_PI * 50e6 * static_cast<double>(p) * s) * s);
  }
  std::vector<double> re(1), im(1);
  ASSERT_TRUE(DftSums(x, s, 1e6).compute(50, 1, re.data(), im.data(), keepGoing()));
  EXPECT_NEAR(std::hypot(re[0], im[0]), 0.5e-6, 2e-9);
  EXPECT_NEAR(spectrumPhase(re[0], im[0]), 0.0, 1e-2);
}

TEST(DftSums, StopRequestAbandonsTheSums) {
  const auto x = randomSamples(5000, 9);
  for (SumMethod method : {SumMethod::Direct, SumMethod::ChirpZ}) {
    std::vector<double> re(40), im(40);
    int calls = 0;
    const bool done =
        DftSums(x, 1e-9, 1e6, 0, method).compute(0, 40, re.data(), im.data(), [&](double fraction) {
          EXPECT_GE(fraction, 0.0);
          EXPECT_LE(fraction, 1.0);
          return ++calls < 2;
        });
    EXPECT_FALSE(done);
    EXPECT_EQ(calls, 2);
  }
}

TEST(SpectrumPhase, FollowsTheClassicRuleWhereRealPartIsNotZero) {
  const struct {
    double re, im, phase;
  } cases[] = {{1, 0, 0}, {1, -1, M_PI / 4}, {-1, 0, M_PI},          {-1, 1, -3 * M_PI / 4},
               {0, 0, 0}, {-2, -0.0, M_PI},  {2, 1, -std::atan(0.5)}};
  for (const auto& c : cases) {
    EXPECT_NEAR(spectrumPhase(c.re, c.im), c.phase, 1e-15) << c.re << " " << c.im;
    if (c.re != 0) {
      double classic = std::atan(-c.im / c.re);
      if (!(c.re > 0)) {
        classic += M_PI;
        if (classic > M_PI) {
          classic -= 2 * M_PI;
        }
      }
      EXPECT_NEAR(spectrumPhase(c.re, c.im), classic, 1e-15);
    }
  }
}

TEST(PreferredMethod, SumsFewFrequenciesDirectlyAndManyByChirpZ) {
  EXPECT_EQ(preferredMethod(1000000, 4), SumMethod::Direct);
  EXPECT_EQ(preferredMethod(1000000, 1000), SumMethod::ChirpZ);
  EXPECT_EQ(preferredMethod(10, 10), SumMethod::Direct);
}

}  // namespace
}  // namespace tarvik::spectral
