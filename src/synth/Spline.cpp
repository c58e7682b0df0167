#include "synth/Spline.h"

#include <algorithm>
#include <array>

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

}  // namespace tarvik::synth
