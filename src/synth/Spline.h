#pragma once
// Smooth parametric curves through the points of a graph. X and Y are interpolated alike
// as functions of a curve parameter, so the output's X follows the curve and is not evenly
// spaced. Both curves work in single precision: the points are rounded to float first and
// every output coordinate is rounded to float before it is stored.
//
// Catmull–Rom: the cubic Hermite segment between points P1 and P2 whose tangents are
// (P2 − P0)/2 and (P3 − P1)/2; the end segments use a phantom point that repeats the end
// point. Quadratic B-spline: the clamped uniform knot vector 0,0,0,1,2,…,n−1,n−1,n−1 with
// the Cox–de Boor recursion of order 3 (de Boor, "A Practical Guide to Splines", ch. IX).
#include <cstddef>
#include <span>
#include <vector>

#include "core/PointArrays.h"

namespace tarvik::synth {

// Output points per Catmull–Rom segment and per B-spline knot span.
inline constexpr int kSplineSteps = 10;

// The Catmull–Rom curve through (xs[i], ys[i]): for each segment the points at u = i/10,
// i = 0…10 in the first segment and 1…10 in later ones, so joints are not repeated. A graph
// of m ≥ 2 points gives 10·m − 9 points in curve order (it passes through every input
// point); fewer than 2 points give none. Non-finite inputs propagate into their segments.
PointArrays catmullRomCurve(std::span<const double> xs, std::span<const double> ys);

// The number of points each curve gives for a graph of m points, known before it is made.
constexpr std::size_t catmullRomPointCount(std::size_t m) {
  return m < 2 ? 0 : kSplineSteps * m - (kSplineSteps - 1);
}
constexpr std::size_t bSplinePointCount(std::size_t m) {
  return m < 3 ? 0 : kSplineSteps * (m - 2);
}

// The knots of the quadratic B-spline over n + 1 control points: t[j] = 0 for j < 3,
// j − 2 for 3 ≤ j ≤ n, n − 1 for j > n, for j = 0 … max(2n, n + 3) (the recursion reads
// up to t[n + 3]). Empty for n < 2.
std::vector<float> bSplineKnots(std::size_t n);

// The clamped quadratic B-spline with the points as control points C[0…n], n = m − 1: for
// s = 0 … 10·(n − 1) − 1, u = s/10 rounded to float, the point Σ_j N(j,3)(u)·C[j] summed in
// j order with a single-precision running sum. m ≥ 3 points give 10·m − 20 points
// starting exactly at the first point; fewer give none.
//
// Only the three basis functions that are non-zero at u are evaluated (O(m)); each is
// computed by the same operations as the full recursion and the zero terms the full sum
// would add change nothing, so the result equals the plain evaluation of every basis
// function bit for bit. A non-finite control-point coordinate makes that coordinate NaN
// wherever its basis function is zero, as 0·∞ and 0·NaN do in the plain sum. A long curve
// is written by two threads, which changes no value.
PointArrays quadraticBSpline(std::span<const double> xs, std::span<const double> ys);

}  // namespace tarvik::synth
