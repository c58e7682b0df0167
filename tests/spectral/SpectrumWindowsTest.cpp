// The spectrum windows against scipy's samples (tests/data/windows, written by
// make_window_data.py), their symmetry and mean, and the Bessel function behind Kaiser's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "spectral/SpectrumKaiser.h"
#include "spectral/SpectrumWindows.h"

namespace tarvik::spectral {
namespace {

// The windows of one reference file by length.
std::map<std::size_t, std::vector<double>> readReference(const std::string& name) {
  std::ifstream in(std::string(TARVIK_TEST_DATA_DIR) + "/windows/" + name + ".txt");
  std::map<std::size_t, std::vector<double>> windows;
  std::vector<double>* current = nullptr;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    if (line.rfind("M ", 0) == 0) {
      current = &windows[std::stoul(line.substr(2))];
      continue;
    }
    if (current != nullptr) {
      current->push_back(std::stod(line));
    }
  }
  return windows;
}

struct Reference {
  const char* file;
  WindowShape shape;
  double absolute;  // largest |ours − scipy|
  double relative;  // largest |ours − scipy|/|scipy| where |scipy| > 1e-300 (0: not checked)
};

const Reference kReferences[] = {
    {"hann", {WindowKind::Hann}, 1.5e-15, 0},
    {"hamming", {WindowKind::Hamming}, 1.5e-15, 0},
    {"blackman", {WindowKind::Blackman}, 1.5e-15, 0},
    {"blackman-harris", {WindowKind::BlackmanHarris}, 1.5e-15, 0},
    {"flattop", {WindowKind::Flattop}, 1.5e-15, 0},
    {"kaiser-0", {WindowKind::Kaiser, 0.0}, 0, 1e-16},
    {"kaiser-2.5", {WindowKind::Kaiser, 2.5}, 1.5e-15, 2.5e-15},
    {"kaiser-8.6", {WindowKind::Kaiser, 8.6}, 1.5e-15, 2.5e-15},
    {"kaiser-14", {WindowKind::Kaiser, 14.0}, 1.5e-15, 2.5e-15},
    {"kaiser-29.5", {WindowKind::Kaiser, 29.5}, 1.5e-15, 2.5e-15},
    {"kaiser-40", {WindowKind::Kaiser, 40.0}, 1.5e-15, 2.5e-15},
    {"tukey-0", {WindowKind::Tukey, 8.6, 0.0}, 0, 0},
    // scipy makes the second taper from −2/α + 1 + 2n/(α(M−1)), which rounds at the scale of
    // 2/α: its last samples stray from the mirror image of its first by up to 2e-15 at α = 0.1.
    {"tukey-0.1", {WindowKind::Tukey, 8.6, 0.1}, 3e-15, 0},
    {"tukey-0.5", {WindowKind::Tukey, 8.6, 0.5}, 1.5e-15, 0},
    {"tukey-0.9", {WindowKind::Tukey, 8.6, 0.9}, 1.5e-15, 0},
    {"tukey-1", {WindowKind::Tukey, 8.6, 1.0}, 1.5e-15, 0},
};

TEST(SpectrumWindows, SamplesEqualTheReferenceWindows) {
  for (const Reference& r : kReferences) {
    const auto windows = readReference(r.file);
    ASSERT_GE(windows.size(), 11u) << r.file;
    for (const auto& [m, expected] : windows) {
      ASSERT_EQ(expected.size(), m) << r.file;
      const std::vector<double> w = spectrumWindow(r.shape, m);
      ASSERT_EQ(w.size(), m);
      double worstAbs = 0, worstRel = 0;
      for (std::size_t p = 0; p < m; ++p) {
        const double d = std::fabs(w[p] - expected[p]);
        worstAbs = std::max(worstAbs, d);
        if (std::fabs(expected[p]) > 1e-300) {
          worstRel = std::max(worstRel, d / std::fabs(expected[p]));
        }
      }
      EXPECT_LE(worstAbs, r.absolute) << r.file << " M=" << m;
      if (r.relative > 0) {
        EXPECT_LE(worstRel, r.relative) << r.file << " M=" << m;
      }
    }
  }
}

TEST(SpectrumWindows, RectangularIsOnesAndEveryWindowIsSymmetric) {
  EXPECT_EQ(spectrumWindow({WindowKind::Rectangular}, 5), std::vector<double>(5, 1.0));
  EXPECT_TRUE(spectrumWindow({WindowKind::Hann}, 0).empty());
  EXPECT_EQ(spectrumWindow({WindowKind::Hann}, 1), std::vector<double>{1.0});
  for (int k = 0; k < kWindowKinds; ++k) {
    for (std::size_t m : {2u, 7u, 600u, 1025u}) {
      const WindowShape shape{static_cast<WindowKind>(k)};
      const std::vector<double> w = spectrumWindow(shape, m);
      const std::vector<double> half = halfWindow(shape, m);
      ASSERT_EQ(half.size(), (m + 1) / 2);
      double sum = 0;
      for (std::size_t p = 0; p < m; ++p) {
        ASSERT_EQ(w[p], w[m - 1 - p]) << kWindowNames[k] << " M=" << m << " p=" << p;
        sum += w[p];
        if (p < half.size()) {
          ASSERT_EQ(w[p], half[p]);
        }
      }
      EXPECT_NEAR(windowMean(half, m), sum / static_cast<double>(m), 1e-15) << kWindowNames[k];
    }
  }
  // The peak of a window of odd length is 1 (flattop's: the sum of its coefficients).
  EXPECT_DOUBLE_EQ(spectrumWindow({WindowKind::Hann}, 9)[4], 1.0);
  EXPECT_DOUBLE_EQ(spectrumWindow({WindowKind::Kaiser, 8.6}, 9)[4], 1.0);
  EXPECT_DOUBLE_EQ(spectrumWindow({WindowKind::Tukey, 8.6, 0.5}, 9)[4], 1.0);
}

TEST(SpectrumWindows, UnitMeanHalfWindowAndTheWindowsWithoutAMean) {
  const auto half = unitMeanHalfWindow({WindowKind::Blackman}, 1001);
  ASSERT_EQ(half.size(), 501u);
  EXPECT_NEAR(windowMean(half, 1001), 1.0, 1e-15);
  // Two samples of hann, blackman or tukey are zeros (flattop's two are negative).
  for (WindowKind kind :
       {WindowKind::Hann, WindowKind::Blackman, WindowKind::Tukey, WindowKind::Flattop}) {
    EXPECT_TRUE(unitMeanHalfWindow({kind}, 2).empty()) << windowName(kind);
  }
  EXPECT_FALSE(unitMeanHalfWindow({WindowKind::Hamming}, 2).empty());
  EXPECT_FALSE(unitMeanHalfWindow({WindowKind::Kaiser}, 2).empty());

  std::vector<float> samples = {1, 1, 1, 1, 1};
  weightSamples(samples, std::vector<double>{0.25, 0.5, 2});
  EXPECT_EQ(samples, (std::vector<float>{0.25f, 0.5f, 2, 0.5f, 0.25f}));
  EXPECT_THROW(weightSamples(samples, std::vector<double>{1, 1}), std::invalid_argument);
}

// The windows are made in blocks of 256 samples: lengths either side of a block's edge, odd
// and even, and the shapes of every path of each window.
const std::size_t kBlockLengths[] = {1, 2, 3, 255, 256, 257, 511, 512, 513, 1001, 1024, 4097};
const WindowShape kShapes[] = {
    {WindowKind::Rectangular},      {WindowKind::Hann},          {WindowKind::Hamming},
    {WindowKind::Blackman},         {WindowKind::BlackmanHarris}, {WindowKind::Flattop},
    {WindowKind::Kaiser, 0.0},      {WindowKind::Kaiser, 8.6},   {WindowKind::Kaiser, 30.0},
    {WindowKind::Kaiser, 40.0},     {WindowKind::Tukey, 0, 0.0}, {WindowKind::Tukey, 0, 0.1},
    {WindowKind::Tukey, 0, 0.5},    {WindowKind::Tukey, 0, 1.0},
};

// Weighting as the window is made gives the products of the stored window, to the bit, and
// the mean of the stored window.
TEST(SpectrumWindows, WeightingWhileMakingEqualsWeightingByTheStoredWindow) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<float> dist(-2.0f, 2.0f);
  for (const WindowShape& shape : kShapes) {
    for (std::size_t m : kBlockLengths) {
      std::vector<float> samples(m);
      for (float& v : samples) {
        v = dist(gen);
      }
      std::vector<float> expected = samples;
      const HalfWindowAndMean stored = halfWindowAndMean(shape, m);
      ASSERT_EQ(stored.half, halfWindow(shape, m));
      EXPECT_EQ(stored.mean, windowMean(stored.half, m));
      weightSamples(expected, stored.half);
      EXPECT_EQ(weightByWindow(shape, samples), stored.mean) << windowName(shape.kind) << m;
      for (std::size_t p = 0; p < m; ++p) {
        ASSERT_EQ(samples[p], expected[p]) << windowName(shape.kind) << " M=" << m << " p=" << p;
      }
    }
  }
  std::vector<float> none;
  EXPECT_EQ(weightByWindow({WindowKind::Hann}, none), 0.0);
  std::vector<float> two = {1, 1};
  EXPECT_THROW(weightByWindow({WindowKind::Tukey, 0, 2}, two), std::invalid_argument);
  EXPECT_EQ(two, (std::vector<float>{1, 1}));
}

// Kaiser's series is evaluated in pieces of x²/4; long windows cross every piece, the edges
// of short ones jump over many. Each sample agrees with the whole series, I0(x)/I0(β), x made
// as the window makes it.
TEST(SpectrumWindows, KaiserPiecesAgreeWithTheWholeSeries) {
  for (double beta : {0.3, 1.0, 2.5, 8.6, 17.0, 30.0}) {
    for (std::size_t m : {2u, 3u, 64u, 257u, 1001u, 65537u}) {
      const std::vector<double> half = halfWindow({WindowKind::Kaiser, beta}, m);
      const double centre = static_cast<double>(m - 1) / 2.0;
      double worst = 0;
      for (std::size_t n = 0; n < half.size(); ++n) {
        const double u = (static_cast<double>(n) - centre) / centre;
        const double expected = besselI0(beta * std::sqrt(1 - u * u)) / besselI0(beta);
        worst = std::max(worst, std::fabs(half[n] - expected) / expected);
      }
      EXPECT_LE(worst, 3e-15) << "beta=" << beta << " M=" << m;
    }
  }
}

// A Kaiser sample depends only on its index: blocks asked for backwards, from any start and
// of any length up to a whole block (every tail of the four- and eight-lane loops) equal the
// half window made front to back, bit for bit, on every path of β.
TEST(SpectrumWindows, KaiserBlocksInAnyOrderEqualTheHalfWindow) {
  for (double beta : {0.3, 8.6, 30.0, 40.0, 800.0}) {
    for (std::size_t m : {5u, 1001u, 100001u}) {
      const std::vector<double> half = halfWindow({WindowKind::Kaiser, beta}, m);
      detail::KaiserWindow kaiser(beta, m);
      std::vector<double> w(detail::kWindowBlock);
      std::size_t n = 1;
      for (std::size_t end = half.size(); end > 0;) {
        const std::size_t count = std::min({n, end, detail::kWindowBlock});
        const std::size_t n0 = end - count;
        kaiser.block(n0, count, w.data());
        for (std::size_t j = 0; j < count; ++j) {
          ASSERT_EQ(w[j], half[n0 + j]) << "beta=" << beta << " M=" << m << " p=" << n0 + j;
        }
        end = n0;
        n = n % 97 + 1;  // 1 … 97: every remainder modulo 8 and 32, short and long
      }
    }
  }
}

TEST(SpectrumWindows, ParametersOutsideTheirRangeAreRefused) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double beta : {-0.5, nan, inf}) {
    EXPECT_FALSE(kaiserBetaUsable(beta)) << beta;
    EXPECT_THROW(halfWindow({WindowKind::Kaiser, beta}, 10), std::invalid_argument);
  }
  for (double alpha : {-0.01, 1.01, nan}) {
    EXPECT_FALSE(tukeyAlphaUsable(alpha)) << alpha;
    EXPECT_THROW(halfWindow({WindowKind::Tukey, 8.6, alpha}, 10), std::invalid_argument);
  }
  EXPECT_TRUE(kaiserBetaUsable(0));
  EXPECT_TRUE(tukeyAlphaUsable(0));
  EXPECT_TRUE(tukeyAlphaUsable(1));
  // A parameter that is not the window's own is not looked at.
  EXPECT_NO_THROW(halfWindow({WindowKind::Hann, nan, nan}, 10));
  // A very large β keeps only the centre of the window.
  const auto sharp = spectrumWindow({WindowKind::Kaiser, 5000}, 101);
  EXPECT_EQ(sharp[50], 1.0);
  EXPECT_LT(sharp[0], 1e-300);
  EXPECT_GT(sharp[49], 0);
}

TEST(SpectrumWindows, NamesAndCaptionsFollowTheKinds) {
  for (int k = 0; k < kWindowKinds; ++k) {
    const auto kind = static_cast<WindowKind>(k);
    EXPECT_EQ(windowKindByName(windowName(kind)), kind);
  }
  EXPECT_EQ(windowKindByName("blackman-harris"), WindowKind::BlackmanHarris);
  EXPECT_EQ(std::string(windowCaption(WindowKind::Flattop)), "С плоской вершиной");
  EXPECT_FALSE(windowKindByName("Hann"));
  EXPECT_FALSE(windowKindByName("blackmanharris"));
  EXPECT_FALSE(windowKindByName(""));
}

// Values of I0 from scipy.special.i0 (either side of the change of series at 30 too).
TEST(SpectrumWindows, BesselI0) {
  const struct {
    double x, i0;
  } table[] = {
      {0, 1},
      {1e-8, 1.0000000000000002},
      {0.5, 1.0634833707413234},
      {1, 1.2660658777520082},
      {8.6, 750.4611595631659},
      {29.999, 780904143688.3191},
      {30.001, 782441208014.2601},
      {100, 1.0737517071310738e+42},
      {700, 1.5295933476718735e+302},
  };
  for (const auto& r : table) {
    EXPECT_NEAR(besselI0(r.x) / r.i0, 1.0, 2e-15) << r.x;
    EXPECT_EQ(besselI0(-r.x), besselI0(r.x));
  }
  EXPECT_EQ(besselI0(std::numeric_limits<double>::infinity()),
            std::numeric_limits<double>::infinity());
  EXPECT_EQ(besselI0(800), std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(besselI0(std::numeric_limits<double>::quiet_NaN())));
}

}  // namespace
}  // namespace tarvik::spectral
