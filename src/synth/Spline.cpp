#include "synth/Spline.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <thread>

#include "core/LargeArrays.h"

#include "synth/CatmullRom.h"

namespace tarvik::synth {
namespace {

// Room for `count` values, with huge pages offered (a curve fills tens of megabytes).
void reserveOutput(std::vector<double>& values, std::size_t count) { reserveLarge(values, count); }

// The parameter powers u, u², u³ at u = i/10, i = 0 … 10.
struct ParameterPowers {
  std::array<double, kSplineSteps + 1> u1{}, u2{}, u3{};
  ParameterPowers() {
    for (int i = 0; i <= kSplineSteps; ++i) {
      const double u = static_cast<double>(i) / kSplineSteps;
      u1[static_cast<std::size_t>(i)] = u;
      u2[static_cast<std::size_t>(i)] = u * u;
      u3[static_cast<std::size_t>(i)] = u * u * u;
    }
  }
};

// The points rounded to float with one phantom point repeating each end.
std::vector<float> paddedFloats(std::span<const double> values, std::size_t m) {
  std::vector<float> padded(m + 2);
  for (std::size_t i = 0; i < m; ++i) {
    padded[i + 1] = static_cast<float>(values[i]);
  }
  padded[0] = padded[1];
  padded[m + 1] = padded[m];
  return padded;
}

// One level of the Cox–de Boor recursion: N(j,k)(u) from N(j,k−1)(u) and N(j+1,k−1)(u).
// A term whose knot difference is zero is left out. The same operations, in the same order,
// as the plain recursion, so the float result is the same.
inline float basisLevel(const float* t, std::size_t j, std::size_t k, double u, float lowerJ,
                        float lowerJ1) {
  double sum = 0;
  const double d1 = static_cast<double>(t[j + k - 1]) - t[j];
  if (d1 != 0) {
    sum += (u - t[j]) / d1 * lowerJ;
  }
  const double d2 = static_cast<double>(t[j + k]) - t[j + 1];
  if (d2 != 0) {
    sum += (t[j + k] - u) / d2 * lowerJ1;
  }
  return static_cast<float>(sum);
}

// The three quadratic basis functions that can be non-zero at u, N(j0−2,3) … N(j0,3), for
// the knot span t[j0] ≤ u < t[j0+1]. Every other N(j,1), hence N(j0−2,2) and N(j0+1,2),
// is zero there.
std::array<float, 3> spanBasis(const float* t, std::size_t j0, float uf) {
  const double u = uf;
  std::array<float, 4> level2{};  // N(j0−2,2) … N(j0+1,2)
  level2[1] = basisLevel(t, j0 - 1, 2, u, 0.0f, 1.0f);
  level2[2] = basisLevel(t, j0, 2, u, 1.0f, 0.0f);
  std::array<float, 3> level3{};
  for (std::size_t i = 0; i < 3; ++i) {
    level3[i] = basisLevel(t, j0 - 2 + i, 3, u, level2[i], level2[i + 1]);
  }
  return level3;
}

// The B-spline sum in one coordinate at one parameter, given the local basis. `nonFinite`
// counts the coordinate's non-finite control values: where one of them meets a zero basis
// function, the plain sum holds 0·∞ or 0·NaN.
inline float localSum(const std::vector<double>& c, std::size_t first,
                      const std::array<float, 3>& basis, std::size_t nonFinite) {
  float sum = static_cast<float>(0.0 + static_cast<double>(basis[0]) * c[first]);
  sum = static_cast<float>(sum + static_cast<double>(basis[1]) * c[first + 1]);
  sum = static_cast<float>(sum + static_cast<double>(basis[2]) * c[first + 2]);
  if (nonFinite == 0) {
    return sum;
  }
  std::size_t metNonFinite = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    metNonFinite += basis[i] != 0 && !std::isfinite(c[first + i]);
  }
  return nonFinite > metNonFinite ? std::nanf("") : sum;
}

// True when the six knots from `first` on are consecutive integers.
bool isUnitSpaced(const float* first) {
  for (std::size_t i = 1; i < 6; ++i) {
    if (first[i] != first[0] + static_cast<float>(i)) {
      return false;
    }
  }
  return true;
}

std::size_t countNonFinite(const std::vector<double>& values) {
  return static_cast<std::size_t>(
      std::count_if(values.begin(), values.end(), [](double v) { return !std::isfinite(v); }));
}

// Above this many output points the two coordinates are computed at once.
constexpr std::size_t kTwoThreadSplinePoints = std::size_t{1} << 18;

// The `count` curve values of one coordinate, `c` its control values in single precision.
void bSplineCoordinate(const float* t, std::size_t lastKnot, const std::vector<double>& c,
                       std::size_t count, std::vector<double>& out) {
  const std::size_t nonFinite = countNonFinite(c);
  reserveOutput(out, count);
  // On a span whose six knots t[j0−2] … t[j0+3] are consecutive integers every knot
  // difference and every u − t[j] is exact, so the basis depends only on u − t[j0]: the
  // values found for one fractional part serve every such span (the same floats the
  // recursion gives). Keyed by the output's step within its span, checked by the bits of
  // the fraction, which change only when u's float exponent does.
  struct Cached {
    double fraction = -1;
    std::array<float, 3> basis{};
  };
  std::array<Cached, kSplineSteps> cache{};
  std::size_t j0 = 2;  // the last knot not above u; u only grows
  bool uniform = false;
  for (std::size_t s = 0; s < count; ++s) {
    const auto u = static_cast<float>(static_cast<double>(s) / kSplineSteps);
    if (j0 < lastKnot && t[j0 + 1] <= u) {
      do {
        ++j0;
      } while (j0 < lastKnot && t[j0 + 1] <= u);
      uniform = j0 + 3 <= lastKnot && isUnitSpaced(t + j0 - 2);
    }
    if (j0 == lastKnot) {
      // Past the last knot (float parameters of very long graphs): every basis function
      // is zero, so the plain sum is 0, or NaN where a control value is not finite.
      out.push_back(nonFinite > 0 ? std::nan("") : 0.0);
      continue;
    }
    std::array<float, 3> basis;
    if (uniform) {
      Cached& cached = cache[s % kSplineSteps];
      const double fraction = static_cast<double>(u) - t[j0];
      if (cached.fraction != fraction) {
        cached.fraction = fraction;
        cached.basis = spanBasis(t, j0, u);
      }
      basis = cached.basis;
    } else {
      basis = spanBasis(t, j0, u);
    }
    out.push_back(localSum(c, j0 - 2, basis, nonFinite));
  }
}

}  // namespace

PointArrays catmullRomCurve(std::span<const double> xs, std::span<const double> ys) {
  const std::size_t m = std::min(xs.size(), ys.size());
  PointArrays out;
  if (m < 2) {
    return out;
  }
  static const ParameterPowers powers;
  const std::vector<float> px = paddedFloats(xs, m);
  const std::vector<float> py = paddedFloats(ys, m);
  reserveOutput(out.xs, catmullRomPointCount(m));
  reserveOutput(out.ys, out.xs.capacity());
  for (std::size_t s = 1; s < m; ++s) {
    const CatmullRomSegment cx(px[s - 1], px[s], px[s + 1], px[s + 2]);
    const CatmullRomSegment cy(py[s - 1], py[s], py[s + 1], py[s + 2]);
    for (std::size_t i = s == 1 ? 0 : 1; i <= kSplineSteps; ++i) {
      out.xs.push_back(cx.atPowers(powers.u1[i], powers.u2[i], powers.u3[i]));
      out.ys.push_back(cy.atPowers(powers.u1[i], powers.u2[i], powers.u3[i]));
    }
  }
  return out;
}

std::vector<float> bSplineKnots(std::size_t n) {
  if (n < 2) {
    return {};
  }
  const std::size_t last = std::max(2 * n, n + 3);
  std::vector<float> t(last + 1);
  for (std::size_t j = 0; j <= last; ++j) {
    t[j] = j < 3 ? 0.0f : j <= n ? static_cast<float>(j - 2) : static_cast<float>(n - 1);
  }
  return t;
}

PointArrays quadraticBSpline(std::span<const double> xs, std::span<const double> ys) {
  const std::size_t m = std::min(xs.size(), ys.size());
  PointArrays out;
  if (m < 3) {
    return out;
  }
  const std::size_t n = m - 1;
  const std::vector<float> knots = bSplineKnots(n);
  const float* t = knots.data();
  const std::size_t lastKnot = knots.size() - 1;
  // The control points in single precision, held as doubles for the products.
  std::vector<double> cx(m), cy(m);
  for (std::size_t j = 0; j < m; ++j) {
    cx[j] = static_cast<float>(xs[j]);
    cy[j] = static_cast<float>(ys[j]);
  }
  const std::size_t count = bSplinePointCount(m);
  // The two coordinates are independent sums over the same basis: each is written by its own
  // thread for a long curve, every value as the one-thread loop gives it.
  if (count < kTwoThreadSplinePoints) {
    bSplineCoordinate(t, lastKnot, cx, count, out.xs);
    bSplineCoordinate(t, lastKnot, cy, count, out.ys);
    return out;
  }
  std::exception_ptr secondError;
  std::thread second([&] {
    try {
      bSplineCoordinate(t, lastKnot, cx, count, out.xs);
    } catch (...) {
      secondError = std::current_exception();
    }
  });
  try {
    bSplineCoordinate(t, lastKnot, cy, count, out.ys);
  } catch (...) {
    second.join();
    throw;
  }
  second.join();
  if (secondError) {
    std::rethrow_exception(secondError);
  }
  return out;
}

}  // namespace tarvik::synth
