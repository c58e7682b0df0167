#pragma once
// The inner loop of the quadratic B-spline (SplineBSpline.cpp): the points of knot spans that
// share one basis, three products per point.
#include <array>
#include <cstddef>

#include "synth/Spline.h"

namespace tarvik::synth::detail {

// The three non-zero basis functions N(j0−2,3), N(j0−1,3), N(j0,3) at each of the ten steps
// of a span, floats held as doubles.
struct StepBasis {
  alignas(32) std::array<double, kSplineSteps> b0{}, b1{}, b2{};
};

// For k in [kBegin, kEnd), i in [0, 10): dst[10·(k − kBegin) + i] =
// fl(fl(fl(+0 + b0[i]·C[k]) + b1[i]·C[k+1]) + b2[i]·C[k+2]), where C[j] is values[j] rounded
// to float, every sum is formed in double and fl rounds it to float. Each basis times control
// value is exact in double, so this is the single-precision running sum of the plain
// B-spline term by term, bit for bit. Reads values[kBegin … kEnd + 1]; control values must be
// finite (the plain sum's 0·∞ is not reproduced).
void uniformSpans(const StepBasis& basis, const double* values, std::size_t kBegin,
                  std::size_t kEnd, double* dst);

// The forms of the loop: plain scalar arithmetic, two lanes (SSE2), four lanes (AVX2).
// uniformSpans takes the widest the processor has; the others are there for the tests.
enum class SpanLoop { Scalar, TwoLanes, FourLanes };

// uniformSpans by one form; false, with nothing written, where the build or the processor
// lacks it.
bool uniformSpansBy(SpanLoop form, const StepBasis& basis, const double* values, std::size_t kBegin,
                    std::size_t kEnd, double* dst);

}  // namespace tarvik::synth::detail
