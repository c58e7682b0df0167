#pragma once
// The quadratic B-spline as it is described, for the spline tests to compare with: the
// Cox–de Boor recursion for every basis function, summed in control-point order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/PointArrays.h"
#include "synth/Spline.h"

namespace tarvik::synth::reference {

// The basis function by the plain Cox–de Boor recursion: every level formed in double from
// its float inputs, a term with a zero knot difference left out, the level rounded to float.
inline float plainBasis(const std::vector<float>& t, std::size_t j, int k, float u) {
  if (k == 1) {
    return t[j] <= u && u < t[j + 1] ? 1.0f : 0.0f;
  }
  const auto kk = static_cast<std::size_t>(k);
  double sum = 0;
  const double d1 = static_cast<double>(t[j + kk - 1]) - t[j];
  if (d1 != 0) {
    sum += (static_cast<double>(u) - t[j]) / d1 * plainBasis(t, j, k - 1, u);
  }
  const double d2 = static_cast<double>(t[j + kk]) - t[j + 1];
  if (d2 != 0) {
    sum += (t[j + kk] - static_cast<double>(u)) / d2 * plainBasis(t, j + 1, k - 1, u);
  }
  return static_cast<float>(sum);
}

// The B-spline as described: every basis function of every control point at every
// parameter, summed into a float in control-point order. O(m²).
inline PointArrays plainBSpline(const std::vector<double>& xs, const std::vector<double>& ys) {
  PointArrays out;
  const std::size_t m = xs.size();
  if (m < 3) {
    return out;
  }
  const std::size_t n = m - 1;
  const std::vector<float> t = bSplineKnots(n);
  for (std::size_t s = 0; s < 10 * (n - 1); ++s) {
    const auto u = static_cast<float>(static_cast<double>(s) / 10);
    float x = 0;
    float y = 0;
    for (std::size_t j = 0; j <= n; ++j) {
      const float b = plainBasis(t, j, 3, u);
      x = static_cast<float>(x + static_cast<double>(b) * static_cast<float>(xs[j]));
      y = static_cast<float>(y + static_cast<double>(b) * static_cast<float>(ys[j]));
    }
    out.xs.push_back(x);
    out.ys.push_back(y);
  }
  return out;
}

// Output s of the curve by the plain recursion over the knot span of its parameter: the three
// basis functions that can be non-zero there, summed in control-point order into a float. The
// plain sum's other terms are zeros that change nothing (for finite control values), and the
// whole sum is too slow for long graphs.
inline double supportSum(const std::vector<float>& t, const std::vector<double>& c, std::size_t s) {
  const auto u = static_cast<float>(static_cast<double>(s) / 10);
  const auto j0 =
      static_cast<std::size_t>(std::upper_bound(t.begin() + 3, t.end(), u) - t.begin()) - 1;
  if (j0 + 1 == t.size()) {
    return 0;
  }
  float sum = 0;
  for (std::size_t j = j0 - 2; j <= j0; ++j) {
    sum = static_cast<float>(sum + static_cast<double>(plainBasis(t, j, 3, u)) *
                                       static_cast<float>(c[j]));
  }
  return sum;
}

// Equal bit for bit; NaN matches any NaN.
inline void expectSameBits(const std::vector<double>& got, const std::vector<double>& want,
                           const char* what, std::size_t size) {
  ASSERT_EQ(got.size(), want.size()) << what << " m=" << size;
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (std::isnan(want[i])) {
      EXPECT_TRUE(std::isnan(got[i])) << what << " m=" << size << " i=" << i;
      continue;
    }
    EXPECT_EQ(std::memcmp(&got[i], &want[i], sizeof(double)), 0)
        << what << " m=" << size << " i=" << i << ": " << got[i] << " vs " << want[i];
  }
}

struct RandomGraph {
  std::vector<double> xs, ys;
};

inline RandomGraph randomGraph(std::size_t m, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> step(0.001, 3.0), value(-1e3, 1e3);
  RandomGraph g;
  double x = value(random);
  for (std::size_t i = 0; i < m; ++i) {
    x += step(random);
    g.xs.push_back(x);
    g.ys.push_back(value(random) * std::pow(10.0, static_cast<int>(i % 7) - 3));
  }
  return g;
}

}  // namespace tarvik::synth::reference
