#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "spectral/Convolution.h"
#include "spectral/DuhamelSums.h"
#include "spectral/ReferenceSums.h"

namespace tarvik::spectral {
namespace {

struct Case {
  std::vector<double> xs, ys, xh, yh;
  DuhamelInput input() const { return {xs, ys, xh, yh}; }
};

// The largest Σ_i |Δ_i·H(xs[k] − xs[i+1])| over the outputs: the scale of the sums.
double termScale(const Case& c) {
  double worst = 0;
  for (std::size_t k = 1; k < c.xs.size(); ++k) {
    double s = 0;
    for (std::size_t i = 0; i < k; ++i) {
      s += std::fabs((c.ys[i + 1] - c.ys[i]) * stepResponseAt(c.xh, c.yh, c.xs[k] - c.xs[i + 1]));
    }
    worst = std::max(worst, s);
  }
  return worst;
}

// The FFT form must apply and agree with the scanning reference within 1e-12 of the scale.
void expectFftMatchesReference(const Case& c, const std::string& what) {
  std::vector<double> fast(c.xs.size() + 7, std::nan(""));
  ASSERT_TRUE(uniformDuhamelSums(c.input(), fast)) << what;
  const std::vector<double> ref = testing::referenceConvolution(c.xs, c.ys, c.xh, c.yh);
  ASSERT_EQ(fast.size(), ref.size()) << what;
  const double bound = 1e-12 * termScale(c);
  for (std::size_t k = 0; k < ref.size(); ++k) {
    ASSERT_NEAR(fast[k], ref[k], bound) << what << " output " << k;
  }
}

// A signal on x0 + j·step with random levels, steps and plateaus.
Case uniformSignal(std::mt19937& gen, std::size_t m, double x0, double step) {
  std::uniform_real_distribution<double> val(-1, 1);
  Case c;
  for (std::size_t j = 0; j < m; ++j) {
    c.xs.push_back(x0 + static_cast<double>(j) * step);
    c.ys.push_back(j % 5 == 2 && j > 0 ? c.ys.back() : val(gen));
  }
  return c;
}

// A step response rising from `start` on its own grid, settling at `level`.
void addResponse(Case& c, std::size_t r, double start, double step, double level) {
  for (std::size_t j = 0; j < r; ++j) {
    const double t = static_cast<double>(j) * step;
    c.xh.push_back(start + t);
    c.yh.push_back(level * (1 - std::exp(-t / (3 * step))));
  }
}

TEST(DuhamelSums, FftFormMatchesThePlainSumOnEverySizeClass) {
  std::mt19937 gen(5);
  std::vector<std::size_t> sizes;
  for (std::size_t m = 2; m <= 70; ++m) {
    sizes.push_back(m);
  }
  for (std::size_t m : {127u, 128u, 129u, 257u, 331u, 512u, 1000u, 1031u}) {
    sizes.push_back(m);
  }
  for (std::size_t m : sizes) {
    // The response on the signal's step from 0, shorter and longer than the signal; on a
    // finer grid shifted off the lags; with a repeated knot (a jump inside its range).
    Case same = uniformSignal(gen, m, 3.7, 0.1);
    addResponse(same, m / 3 + 2, 0, 0.1, 2.5);
    expectFftMatchesReference(same, "same step, m = " + std::to_string(m));
    Case longer = uniformSignal(gen, m, -2, 0.25);
    addResponse(longer, 2 * m + 1, 0, 0.25, -1);
    expectFftMatchesReference(longer, "longer response, m = " + std::to_string(m));
    Case shifted = uniformSignal(gen, m, 0, 1.0 / 3);
    addResponse(shifted, m + 5, 0.05, 0.07, 1);
    expectFftMatchesReference(shifted, "shifted finer response, m = " + std::to_string(m));
    Case jump = uniformSignal(gen, m, 1, 0.5);
    addResponse(jump, 12, -0.5, 0.5, 3);
    jump.xh.insert(jump.xh.begin() + 6, jump.xh[5]);
    jump.yh.insert(jump.yh.begin() + 6, jump.yh[5] + 4);
    expectFftMatchesReference(jump, "repeated knot, m = " + std::to_string(m));
  }
}

// A response that holds its last value up to its end and is 0 past it: on a decimal grid the
// plain sum's arguments fall on either side of the end by rounding, and the result must
// follow them (a whole term apart otherwise).
TEST(DuhamelSums, FftFormFollowsThePlainSumAtTheEndsOfTheResponse) {
  std::mt19937 gen(7);
  for (std::size_t m : {300u, 1001u}) {
    Case c = uniformSignal(gen, m, 12.3, 0.1);
    for (std::size_t j = 0; j < 50; ++j) {
      c.xh.push_back(static_cast<double>(j) * 0.1);
      c.yh.push_back(1 + 0.01 * static_cast<double>(j));
    }
    expectFftMatchesReference(c, "decimal grid, m = " + std::to_string(m));
  }
}

// A jump inside the response (a repeated knot at 1.3) on a decimal grid: the plain sum's
// arguments of lag 13 fall on either side of the knot by rounding, so the terms of that lag
// take the value before the jump for some outputs and after it for others. The FFT form
// must follow each of them (a whole jump apart otherwise).
TEST(DuhamelSums, FftFormFollowsThePlainSumAcrossAJumpInsideTheResponse) {
  std::mt19937 gen(11);
  const std::size_t m = 300;
  Case c = uniformSignal(gen, m, 12.3, 0.1);
  for (std::size_t j = 0; j < 30; ++j) {
    const double t = static_cast<double>(j) * 0.1;
    c.xh.push_back(t);
    c.yh.push_back((j <= 12 ? 1 : 3) + 0.01 * static_cast<double>(j));
    if (j == 13) {  // the knot again, now after the jump
      c.yh[c.yh.size() - 1] = 1 + 0.01 * 12;
      c.xh.push_back(t);
      c.yh.push_back(3 + 0.01 * 13);
    }
  }
  const double knot = c.xh[13];
  ASSERT_EQ(c.xh[14], knot);
  std::size_t below = 0, atOrAbove = 0;
  for (std::size_t k = 14; k < m; ++k) {
    (c.xs[k] - c.xs[k - 13] < knot ? below : atOrAbove) += 1;
  }
  ASSERT_GT(below, 10u);  // the input does straddle the jump
  ASSERT_GT(atOrAbove, 10u);
  expectFftMatchesReference(c, "jump at 1.3 on a decimal grid");
}

TEST(DuhamelSums, StepAndUnitResponseExamplesThroughTheFftForm) {
  const std::size_t m = 200;
  Case step;
  for (std::size_t j = 0; j < m; ++j) {
    step.xs.push_back(static_cast<double>(j) * 0.5);
    step.ys.push_back(j >= 1 ? 1 : 0);
  }
  addResponse(step, 90, 0, 0.5, 2);
  std::vector<double> out;
  ASSERT_TRUE(uniformDuhamelSums(step.input(), out));
  ASSERT_EQ(out.size(), m - 1);
  // The response shifted to Xs[1], sampled at the signal's X; 0 beyond its range.
  for (std::size_t k = 1; k < m; ++k) {
    const double want = stepResponseAt(step.xh, step.yh, step.xs[k] - step.xs[1]);
    EXPECT_NEAR(out[k - 1], want, 1e-13) << k;
  }
  EXPECT_NEAR(out.back(), 0.0, 1e-13);
  // A unit step response reaching past the signal returns Ys[k] − Ys[0].
  std::mt19937 gen(3);
  Case unit = uniformSignal(gen, m, 0, 0.5);
  unit.xh = {0, 1000};
  unit.yh = {1, 1};
  const std::vector<double> sums = duhamelConvolution(unit.xs, unit.ys, unit.xh, unit.yh);
  ASSERT_EQ(sums.size(), m - 1);
  for (std::size_t k = 1; k < m; ++k) {
    EXPECT_NEAR(sums[k - 1], unit.ys[k] - unit.ys[0], 1e-13) << k;
  }
}

// Grids the FFT form must refuse; the result then still equals the plain sum exactly.
TEST(DuhamelSums, UnevenGridsAndOddValuesLeaveTheFftForm) {
  std::mt19937 gen(9);
  Case uneven = uniformSignal(gen, 100, 0, 0.1);
  uneven.xs[40] += 1e-9;
  addResponse(uneven, 30, 0, 0.1, 1);
  Case notFinite = uniformSignal(gen, 100, 0, 0.1);
  notFinite.ys[10] = INFINITY;
  addResponse(notFinite, 30, 0, 0.1, 1);
  Case manyJumps = uniformSignal(gen, 100, 0, 1);
  for (int j = 0; j < 40; ++j) {  // a staircase: a jump on every lag
    manyJumps.xh.insert(manyJumps.xh.end(), 2, j);
    manyJumps.yh.push_back(j);
    manyJumps.yh.push_back(j + 1);
  }
  for (const Case* c : {&uneven, &notFinite, &manyJumps}) {
    std::vector<double> out;
    EXPECT_FALSE(uniformDuhamelSums(c->input(), out));
    const std::vector<double> ref = testing::referenceConvolution(c->xs, c->ys, c->xh, c->yh);
    const std::vector<double> got = duhamelConvolution(c->xs, c->ys, c->xh, c->yh);
    ASSERT_EQ(got.size(), ref.size());
    for (std::size_t k = 0; k < ref.size(); ++k) {
      // NaN where the reference has NaN (an infinite step times a zero response).
      ASSERT_TRUE(got[k] == ref[k] || (std::isnan(got[k]) && std::isnan(ref[k]))) << k;
    }
  }
}

// Random steps: the term-by-term form on both cores and over several blocks equals the
// plain sum bit for bit; a stop keeps the finished first sums; percentages rise to 100.
TEST(DuhamelSums, ScanningFormOnTwoCoresStopsBetweenBlocks) {
  std::mt19937 gen(13);
  std::uniform_real_distribution<double> step(0.05, 0.15), val(-1, 1);
  for (double span : {8.0, 1e9}) {  // a short response and one reaching past the signal
    Case c;
    double x = 0;
    for (std::size_t j = 0; j < 6000; ++j) {
      c.xs.push_back(x += step(gen));
      c.ys.push_back(val(gen));
    }
    c.xh = {0, span / 3, span};
    c.yh = {0.5, 1, -2};
    std::vector<int> shown;
    const DuhamelControl control{[&shown](int p) { shown.push_back(p); }, {}};
    std::vector<double> out;
    ASSERT_TRUE(duhamelConvolution(c.input(), control, out));
    ASSERT_EQ(out.size(), c.xs.size() - 1);
    for (std::size_t k = 1; k < c.xs.size(); ++k) {
      double s = 0;
      for (std::size_t i = 0; i < k; ++i) {
        s += (c.ys[i + 1] - c.ys[i]) * stepResponseAt(c.xh, c.yh, c.xs[k] - c.xs[i + 1]);
      }
      ASSERT_EQ(out[k - 1], s) << span << " " << k;
    }
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_EQ(shown.back(), 100);

    int polls = 0;
    const DuhamelControl stopping{{}, [&polls] { return ++polls == 2; }};
    std::vector<double> part;
    EXPECT_FALSE(duhamelConvolution(c.input(), stopping, part));
    ASSERT_GT(part.size(), 0u);
    ASSERT_LT(part.size(), out.size());
    EXPECT_TRUE(std::equal(part.begin(), part.end(), out.begin()));
  }
}

}  // namespace
}  // namespace tarvik::spectral
