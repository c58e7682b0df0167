// The quadratic B-spline of long graphs, which is written by two threads in turns and
// evaluated span by span with one basis per binade of the curve parameter, against the plain
// recursion; and the forms of its inner loop against each other.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "SplineReference.h"
#include "synth/Spline.h"
#include "synth/SplineSpans.h"

namespace tarvik::synth {
namespace {

using reference::plainBasis;
using reference::RandomGraph;
using reference::randomGraph;
using reference::supportSum;

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every output of spans [kBegin, kEnd) equals the plain recursion over its span, in both
// coordinates; at most a few failures are reported.
void expectSpansEqualPlain(const RandomGraph& g, const PointArrays& curve,
                           const std::vector<float>& t, std::size_t kBegin, std::size_t kEnd,
                           int& failures) {
  for (std::size_t s = 10 * kBegin; s < 10 * kEnd && failures < 10; ++s) {
    const double x = supportSum(t, g.xs, s), y = supportSum(t, g.ys, s);
    if (!sameBits(curve.xs[s], x) || !sameBits(curve.ys[s], y)) {
      ++failures;
      ADD_FAILURE() << "m=" << g.xs.size() << " s=" << s << ": (" << curve.xs[s] << ", "
                    << curve.ys[s] << ") vs (" << x << ", " << y << ")";
    }
  }
}

// Just below and above the size written by two threads, and a few turns of each thread.
TEST(BSplineLong, EveryPointEqualsThePlainRecursion) {
  for (std::size_t m : {26'214u, 26'300u, 70'001u}) {
    const RandomGraph g = randomGraph(m, static_cast<unsigned>(m));
    const PointArrays curve = quadraticBSpline(g.xs, g.ys);
    ASSERT_EQ(curve.xs.size(), bSplinePointCount(m));
    ASSERT_EQ(curve.ys.size(), bSplinePointCount(m));
    int failures = 0;
    expectSpansEqualPlain(g, curve, bSplineKnots(m - 1), 0, m - 2, failures);
  }
}

// A graph past 2^20 points reaches every binade the parameter has below 2^21: the spans
// around each power of two, both ends and every 97th span in between are checked.
TEST(BSplineLong, EveryBinadeOfTheParameterEqualsThePlainRecursion) {
  const std::size_t m = (std::size_t{1} << 20) + 64;
  const RandomGraph g = randomGraph(m, 2026);
  const PointArrays curve = quadraticBSpline(g.xs, g.ys);
  ASSERT_EQ(curve.xs.size(), bSplinePointCount(m));
  const std::vector<float> t = bSplineKnots(m - 1);
  const std::size_t spans = m - 2;
  int failures = 0;
  for (std::size_t power = 1; power < spans; power *= 2) {
    expectSpansEqualPlain(g, curve, t, power > 3 ? power - 3 : 0, std::min(power + 3, spans),
                          failures);
  }
  expectSpansEqualPlain(g, curve, t, spans - 6, spans, failures);
  for (std::size_t k = 0; k < spans; k += 97) {
    expectSpansEqualPlain(g, curve, t, k, k + 1, failures);
  }
}

// An infinite control value in one coordinate of a long graph: that coordinate is infinite
// where the value's basis function is non-zero and NaN (0·∞) everywhere else, as in the plain
// sum; the other coordinate is untouched.
TEST(BSplineLong, AnInfiniteValueSpreadsAsInThePlainSum) {
  const std::size_t m = 40'000, at = 20'000;
  RandomGraph g = randomGraph(m, 11);
  g.ys[at] = std::numeric_limits<double>::infinity();
  const PointArrays curve = quadraticBSpline(g.xs, g.ys);
  const std::vector<float> t = bSplineKnots(m - 1);
  int failures = 0;
  for (std::size_t s = 0; s < curve.ys.size() && failures < 10; ++s) {
    const auto u = static_cast<float>(static_cast<double>(s) / 10);
    const bool supported = plainBasis(t, at, 3, u) != 0;
    const bool ok =
        supported ? std::isinf(curve.ys[s]) && curve.ys[s] > 0 : std::isnan(curve.ys[s]);
    if (!ok) {
      ++failures;
      ADD_FAILURE() << "s=" << s << ": " << curve.ys[s];
    }
    if (!sameBits(curve.xs[s], supportSum(t, g.xs, s))) {
      ++failures;
      ADD_FAILURE() << "x changed at s=" << s;
    }
  }
}

// Control values that test the single-precision sum's edges: signed zeros, subnormals whose
// products round to zero, large values (sums of three stay below the float range's end), and
// doubles that round.
std::vector<double> edgeValues(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> plain(-1e3, 1e3);
  const double special[] = {0.0, -0.0, 1e-45, -1e-45, 3e-39, -1e38, 1e38, 0.1, 1.0 / 3};
  std::vector<double> values(count);
  for (std::size_t i = 0; i < count; ++i) {
    values[i] = random() % 3 == 0 ? special[random() % std::size(special)] : plain(random);
  }
  // Spans whose three products are all −0 or round to −0: the sum starts at +0.
  for (std::size_t i = 0; i < 6 && i < count; ++i) {
    values[i] = i < 3 ? -0.0 : -1e-45;
  }
  return values;
}

detail::StepBasis randomBasis(unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> weight(0.0f, 1.0f);
  detail::StepBasis basis;
  for (std::size_t i = 0; i < kSplineSteps; ++i) {
    basis.b0[i] = weight(random);
    basis.b1[i] = weight(random);
    basis.b2[i] = i == 0 ? 0.0f : weight(random);  // a zero weight, as at a knot
  }
  basis.b0[3] = 1.0f;
  basis.b1[7] = std::ldexp(1.0f, -20);
  return basis;
}

// The two- and four-lane loops give the scalar loop's sums bit for bit on every span count
// (odd, even, one) and start, and write nothing past the spans asked for.
TEST(BSplineSpans, EveryFormOfTheLoopGivesTheScalarSums) {
  const double guard = std::bit_cast<double>(std::uint64_t{0x7ff4'0000'dead'beefu});
  int formsRun = 0;
  for (const detail::SpanLoop form : {detail::SpanLoop::TwoLanes, detail::SpanLoop::FourLanes}) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
      const detail::StepBasis basis = randomBasis(seed);
      const std::vector<double> values = edgeValues(200, seed);
      for (const auto& [kBegin, kEnd] :
           {std::pair<std::size_t, std::size_t>{0, 1}, {3, 5}, {1, 8}, {17, 198}}) {
        const std::size_t points = kSplineSteps * (kEnd - kBegin);
        std::vector<double> want(points + 4, guard), got(points + 4, guard);
        ASSERT_TRUE(detail::uniformSpansBy(detail::SpanLoop::Scalar, basis, values.data(), kBegin,
                                           kEnd, want.data()));
        if (!detail::uniformSpansBy(form, basis, values.data(), kBegin, kEnd, got.data())) {
          break;  // not in this build or on this processor
        }
        ++formsRun;
        for (std::size_t i = 0; i < want.size(); ++i) {
          ASSERT_TRUE(sameBits(got[i], want[i]))
              << "form " << static_cast<int>(form) << " seed " << seed << " spans " << kBegin << "…"
              << kEnd << " i=" << i << ": " << got[i] << " vs " << want[i];
        }
      }
    }
  }
  EXPECT_GT(formsRun, 0) << "no vector form of the loop ran";
}

// The scalar loop is the B-spline sum: on a unit-spaced span it equals the plain recursion
// with the basis the recursion gives at the span's ten parameters.
TEST(BSplineSpans, TheScalarLoopIsThePlainSumOverTheSpan) {
  const RandomGraph g = randomGraph(40, 5);
  const std::vector<float> t = bSplineKnots(39);
  const std::size_t k = 20;  // knots 18 … 23 around it are consecutive integers
  detail::StepBasis basis;
  for (std::size_t i = 0; i < kSplineSteps; ++i) {
    const auto u = static_cast<float>(static_cast<double>(10 * k + i) / 10);
    basis.b0[i] = plainBasis(t, k, 3, u);
    basis.b1[i] = plainBasis(t, k + 1, 3, u);
    basis.b2[i] = plainBasis(t, k + 2, 3, u);
  }
  for (const detail::SpanLoop form :
       {detail::SpanLoop::Scalar, detail::SpanLoop::TwoLanes, detail::SpanLoop::FourLanes}) {
    std::vector<double> got(kSplineSteps);
    if (!detail::uniformSpansBy(form, basis, g.ys.data(), k, k + 1, got.data())) {
      continue;
    }
    for (std::size_t i = 0; i < kSplineSteps; ++i) {
      EXPECT_TRUE(sameBits(got[i], supportSum(t, g.ys, 10 * k + i)))
          << "form " << static_cast<int>(form) << " i=" << i;
    }
  }
}

}  // namespace
}  // namespace tarvik::synth
