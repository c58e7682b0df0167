#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <random>
#include <set>

#include "TransformTestUtil.h"
#include "transforms/Calculus.h"

namespace tarvik {
namespace {

// An uneven grid: steps between 0.1 and 2.1, fixed seed.
std::vector<double> unevenGrid(std::size_t n, double start) {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> step(0.1, 2.1);
  std::vector<double> xs(n);
  xs[0] = start;
  for (std::size_t i = 1; i < n; ++i) {
    xs[i] = xs[i - 1] + step(random);
  }
  return xs;
}

// The difference quotient of a quadratic equals its derivative at the interval centre.
TEST(Derivative, ExactForQuadraticsOnUnevenGrid) {
  const std::vector<double> xs = unevenGrid(200, -30);
  const auto f = [](double x) { return 0.5 * x * x - 3 * x + 7; };
  const auto df = [](double x) { return x - 3; };
  std::vector<double> gx = xs, gy(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i) {
    gy[i] = f(xs[i]);
  }
  ASSERT_FALSE(forwardDerivative(gx, gy));
  for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
    EXPECT_DOUBLE_EQ(gx[i], (xs[i] + xs[i + 1]) / 2);
    EXPECT_NEAR(gy[i], df(gx[i]), 1e-9 * (1 + std::fabs(df(gx[i]))));
  }
}

TEST(Derivative, WorkedCaseAndEqualXFault) {
  std::vector<double> xs = {0, 1, 3}, ys = {0, 1, 5};
  ASSERT_FALSE(forwardDerivative(xs, ys));
  EXPECT_EQ(xs[0], 0.5);
  EXPECT_EQ(ys[0], 1);
  EXPECT_EQ(xs[1], 2);
  EXPECT_EQ(ys[1], 2);

  std::vector<double> ex = {0, 1, 1, 2}, ey = {0, 1, 2, 3};
  const auto fault = forwardDerivative(ex, ey);
  ASSERT_TRUE(fault);
  EXPECT_EQ(*fault, 1u);
  EXPECT_EQ(ex, (std::vector<double>{0, 1, 1, 2}));  // nothing written
  EXPECT_EQ(ey, (std::vector<double>{0, 1, 2, 3}));
}

// A quotient that overflows or meets a non-finite Y is a fault even when the interval has
// width; the first such interval is reported and nothing is written.
TEST(Derivative, NonFiniteQuotientWithNonZeroWidthIsAFault) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    std::vector<double> xs, ys;
    std::size_t fault;
  } cases[] = {
      {{0, 1, 1 + 1e-300, 2}, {0, 1, 1e300, 3}, 1},  // overflowing quotient over a tiny dx
      {{0, 1, 2}, {0, inf, 1}, 0},                   // infinite Y
      {{0, 1, 2, 3}, {0, 1, 2, nan}, 2},             // NaN Y in the last interval
  };
  for (const auto& c : cases) {
    std::vector<double> xs = c.xs, ys = c.ys;
    const auto fault = forwardDerivative(xs, ys);
    ASSERT_TRUE(fault) << c.fault;
    EXPECT_EQ(*fault, c.fault);
    EXPECT_EQ(xs, c.xs);
    for (std::size_t i = 0; i < ys.size(); ++i) {
      EXPECT_TRUE(ys[i] == c.ys[i] || (std::isnan(ys[i]) && std::isnan(c.ys[i]))) << i;
    }
  }
}

// The trapezoid rule integrates straight lines exactly.
TEST(Integral, ExactForLinesOnUnevenGrid) {
  const std::vector<double> xs = unevenGrid(300, 2);
  std::vector<double> gx = xs, gy(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i) {
    gy[i] = 4 * xs[i] - 1;
  }
  runningTrapezoidIntegral(gx, gy);
  const auto primitive = [](double x) { return 2 * x * x - x; };
  for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
    EXPECT_DOUBLE_EQ(gx[i], xs[i + 1]);
    const double expected = primitive(xs[i + 1]) - primitive(xs[0]);
    EXPECT_NEAR(gy[i], expected, 1e-11 * std::fabs(expected) + 1e-12);
  }
}

TEST(Integral, WorkedCase) {
  std::vector<double> xs = {0, 1, 2}, ys = {0, 2, 4};
  runningTrapezoidIntegral(xs, ys);
  EXPECT_EQ(xs[0], 1);
  EXPECT_EQ(ys[0], 1);
  EXPECT_EQ(xs[1], 2);
  EXPECT_EQ(ys[1], 4);
}

constexpr double kTau = 15e-9;

// The explicit sum Σ D[j]·e^(−(X[i]−X[j])/τ), the oracle of the recursive form.
std::vector<double> rcDifferentiateBySum(const std::vector<double>& xs,
                                         const std::vector<double>& ys) {
  std::vector<double> out(ys.size());
  for (std::size_t i = 0; i < ys.size(); ++i) {
    long double s = 0;
    for (std::size_t j = 0; j <= i; ++j) {
      const long double d = j == 0 ? ys[0] : static_cast<long double>(ys[j]) - ys[j - 1];
      s += d * std::exp(-(static_cast<long double>(xs[i]) - xs[j]) * 1e-9L / kTau);
    }
    out[i] = static_cast<double>(s);
  }
  return out;
}

TEST(RcDifferentiation, StepAndConstantDecayWithTau) {
  std::vector<double> xs = {0, 1, 2, 5, 16, 31}, step = {0, 1, 1, 1, 1, 1};
  rcDifferentiate(xs, step, kTau);
  EXPECT_EQ(step[0], 0);
  for (std::size_t i = 1; i < xs.size(); ++i) {
    EXPECT_NEAR(step[i], std::exp(-(xs[i] - 1) / 15), 1e-15) << xs[i];
  }
  std::vector<double> constant(xs.size(), 1.0);
  rcDifferentiate(xs, constant, kTau);
  for (std::size_t i = 0; i < xs.size(); ++i) {
    EXPECT_NEAR(constant[i], std::exp(-xs[i] / 15), 1e-15) << xs[i];
  }
}

TEST(RcDifferentiation, RecursionEqualsExplicitSum) {
  const std::vector<double> xs = unevenGrid(150, -20);
  std::vector<double> ys(xs.size());
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> value(-2, 2);
  for (double& y : ys) {
    y = value(random);
  }
  const std::vector<double> expected = rcDifferentiateBySum(xs, ys);
  rcDifferentiate(xs, ys, kTau);
  for (std::size_t i = 0; i < ys.size(); ++i) {
    EXPECT_NEAR(ys[i], expected[i], 1e-13) << i;
  }
}

// Integration undoes differentiation, also on records far longer than 1,170 τ.
TEST(RcIntegration, UndoesDifferentiation) {
  for (const double start : {0.0, -500.0, 1e5}) {
    const std::vector<double> xs = unevenGrid(20000, start);
    std::vector<double> ys(xs.size());
    for (std::size_t i = 0; i < xs.size(); ++i) {
      ys[i] = std::sin(xs[i] / 40) + (i > 5000 ? 1.5 : 0);
    }
    std::vector<double> round = ys;
    rcDifferentiate(xs, round, kTau);
    rcIntegrate(xs, round, kTau);
    for (std::size_t i = 0; i < ys.size(); ++i) {
      ASSERT_TRUE(std::isfinite(round[i]));
      EXPECT_NEAR(round[i], ys[i], 1e-11) << i;
    }
  }
}

TEST(RcIntegration, WorkedCasesReturnStepAndConstant) {
  std::vector<double> xs = {0, 1, 2, 5, 16, 31};
  std::vector<double> ys(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i) {
    ys[i] = std::exp(-xs[i] / 15);
  }
  rcIntegrate(xs, ys, kTau);
  for (double y : ys) {
    EXPECT_NEAR(y, 1, 1e-15);
  }
}

TEST(QuantisationModel, ValuesOnTheGridGiveOrTakeOneStep) {
  std::vector<double> ys(1000);
  for (std::size_t i = 0; i < ys.size(); ++i) {
    ys[i] = std::sin(static_cast<double>(i) / 37) * 3 + 1;
  }
  const std::vector<double> before = ys;
  const double q =
      (*std::max_element(ys.begin(), ys.end()) - *std::min_element(ys.begin(), ys.end())) / 100;
  std::mt19937_64 random(11);
  quantisationErrorModel(ys, 100, random);
  std::size_t moved = 0;
  for (std::size_t i = 0; i < ys.size(); ++i) {
    const double k = ys[i] / q;
    EXPECT_NEAR(k, std::round(k), 1e-9) << i;
    EXPECT_LE(std::fabs(ys[i] - before[i]), 1.51 * q) << i;
    moved += std::fabs(ys[i] - before[i]) > 0.51 * q ? 1 : 0;
  }
  EXPECT_GT(moved, 200u);  // about a third of the points move one step
  EXPECT_LT(moved, 450u);

  std::vector<double> again = before;
  std::mt19937_64 same(11);
  quantisationErrorModel(again, 100, same);
  EXPECT_EQ(again, ys);  // a seeded source repeats
}

// Values exactly halfway between two levels go to the even level before the random step of
// at most one level either way. Many copies of each tie show every outcome, so a rounding
// that goes up, down or away from zero lands one level off and shows an impossible value.
TEST(QuantisationModel, HalfwayValuesRoundToTheEvenLevel) {
  const struct {
    double value, evenLevel;
  } ties[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {3.5, 4}};
  std::vector<double> ys = {-5, 5};  // range 10 over 10 levels: q = 1
  for (const auto& t : ties) {
    ys.insert(ys.end(), 200, t.value);
  }
  std::mt19937_64 random(5);
  quantisationErrorModel(ys, 10, random);
  for (std::size_t c = 0; c < std::size(ties); ++c) {
    std::set<double> seen;
    for (std::size_t i = 0; i < 200; ++i) {
      seen.insert(ys[2 + c * 200 + i]);
    }
    const double e = ties[c].evenLevel;
    EXPECT_EQ(seen, (std::set<double>{e - 1, e, e + 1})) << ties[c].value;
  }
}

TEST(QuantisationModel, FlatGraphIsSkipped) {
  std::vector<double> ys(10, 2.5);
  std::mt19937_64 random(1);
  quantisationErrorModel(ys, 100, random);
  EXPECT_EQ(ys, std::vector<double>(10, 2.5));
}

}  // namespace
}  // namespace tarvik
