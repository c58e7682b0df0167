#pragma once
// One Catmull–Rom segment in one coordinate: the cubic Hermite curve from P1 (u = 0) to P2
// (u = 1) whose tangents are (P2 − P0)/2 and (P3 − P1)/2, with the four points in single
// precision. 2·C(u) = a0 + a1·u + a2·u² + a3·u³. The spline through a graph and the
// calibration table's interpolation both use it.
namespace tarvik::synth {

struct CatmullRomSegment {
  double a0, a1, a2, a3;

  CatmullRomSegment(float p0, float p1, float p2, float p3)
      : a0(2.0 * p1),
        a1(static_cast<double>(p2) - p0),
        a2(2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3),
        a3(3.0 * p1 - p0 - 3.0 * p2 + p3) {}

  // C(u) from tabulated powers of u, summed from the cubic term down (the spline's curve).
  float atPowers(double u, double u2, double u3) const {
    return static_cast<float>((a3 * u3 + a2 * u2 + a1 * u + a0) / 2);
  }
  // C(u) summed from the constant term up (the calibration table's bisection).
  float at(float uf) const {
    const double u = uf;
    return static_cast<float>((a0 + a1 * u + a2 * (u * u) + a3 * (u * u * u)) / 2);
  }
};

}  // namespace tarvik::synth
