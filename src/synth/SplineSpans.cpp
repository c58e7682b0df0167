#include "synth/SplineSpans.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// An AVX2 form of the loop, chosen at run time, where GCC or clang builds for x86-64.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TARVIK_SPLINE_AVX2 1
#include <immintrin.h>
#else
#define TARVIK_SPLINE_AVX2 0
#endif

namespace tarvik::synth::detail {
namespace {

constexpr std::size_t kSteps = kSplineSteps;

inline double controlValue(const double* values, std::size_t j) {
  return static_cast<float>(values[j]);
}

void uniformSpansScalar(const StepBasis& basis, const double* values, std::size_t kBegin,
                        std::size_t kEnd, double* dst) {
  for (std::size_t k = kBegin; k < kEnd; ++k, dst += kSteps) {
    const double c0 = controlValue(values, k), c1 = controlValue(values, k + 1),
                 c2 = controlValue(values, k + 2);
    for (std::size_t i = 0; i < kSteps; ++i) {
      float sum = static_cast<float>(0.0 + basis.b0[i] * c0);
      sum = static_cast<float>(sum + basis.b1[i] * c1);
      sum = static_cast<float>(sum + basis.b2[i] * c2);
      dst[i] = sum;
    }
  }
}

#if defined(__SSE2__)
// SSE2 is part of every x86-64 processor: two steps per register.
inline __m128d roundedToFloat(__m128d v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); }

// Steps i and i + 1 of a span whose control values are c0, c1, c2 in every lane.
inline __m128d twoSteps(const StepBasis& basis, std::size_t i, __m128d c0, __m128d c1, __m128d c2) {
  const __m128d first = _mm_mul_pd(_mm_load_pd(&basis.b0[i]), c0);
  __m128d sum = roundedToFloat(_mm_add_pd(_mm_setzero_pd(), first));
  sum = roundedToFloat(_mm_add_pd(sum, _mm_mul_pd(_mm_load_pd(&basis.b1[i]), c1)));
  return roundedToFloat(_mm_add_pd(sum, _mm_mul_pd(_mm_load_pd(&basis.b2[i]), c2)));
}

void uniformSpansTwoLanes(const StepBasis& basis, const double* values, std::size_t kBegin,
                          std::size_t kEnd, double* dst) {
  if (kBegin >= kEnd) {
    return;
  }
  __m128d c0 = _mm_set1_pd(controlValue(values, kBegin));
  __m128d c1 = _mm_set1_pd(controlValue(values, kBegin + 1));
  for (std::size_t k = kBegin; k < kEnd; ++k, dst += kSteps) {
    const __m128d c2 = _mm_set1_pd(controlValue(values, k + 2));
    for (std::size_t i = 0; i < kSteps; i += 2) {
      _mm_storeu_pd(dst + i, twoSteps(basis, i, c0, c1, c2));
    }
    c0 = c1;
    c1 = c2;
  }
}
#endif

#if TARVIK_SPLINE_AVX2
[[gnu::target("avx2")]] inline __m256d roundedToFloat(__m256d v) {
  return _mm256_cvtps_pd(_mm256_cvtpd_ps(v));
}

// Steps i … i + 3 of a span whose control values are c0, c1, c2 in every lane.
[[gnu::target("avx2")]] inline __m256d fourSteps(const StepBasis& basis, std::size_t i, __m256d c0,
                                                 __m256d c1, __m256d c2) {
  const __m256d first = _mm256_mul_pd(_mm256_loadu_pd(&basis.b0[i]), c0);
  __m256d sum = roundedToFloat(_mm256_add_pd(_mm256_setzero_pd(), first));
  sum = roundedToFloat(_mm256_add_pd(sum, _mm256_mul_pd(_mm256_loadu_pd(&basis.b1[i]), c1)));
  return roundedToFloat(_mm256_add_pd(sum, _mm256_mul_pd(_mm256_loadu_pd(&basis.b2[i]), c2)));
}

// Ten steps as four, four and two.
[[gnu::target("avx2")]] void uniformSpansAvx2(const StepBasis& basis, const double* values,
                                              std::size_t kBegin, std::size_t kEnd, double* dst) {
  if (kBegin >= kEnd) {
    return;
  }
  __m256d c0 = _mm256_set1_pd(controlValue(values, kBegin));
  __m256d c1 = _mm256_set1_pd(controlValue(values, kBegin + 1));
  for (std::size_t k = kBegin; k < kEnd; ++k, dst += kSteps) {
    const __m256d c2 = _mm256_set1_pd(controlValue(values, k + 2));
    _mm256_storeu_pd(dst, fourSteps(basis, 0, c0, c1, c2));
    _mm256_storeu_pd(dst + 4, fourSteps(basis, 4, c0, c1, c2));
    _mm_storeu_pd(dst + 8, twoSteps(basis, 8, _mm256_castpd256_pd128(c0),
                                    _mm256_castpd256_pd128(c1), _mm256_castpd256_pd128(c2)));
    c0 = c1;
    c1 = c2;
  }
}

bool hasAvx2() {
  static const bool yes = __builtin_cpu_supports("avx2");
  return yes;
}
#endif

}  // namespace

bool uniformSpansBy(SpanLoop form, const StepBasis& basis, const double* values, std::size_t kBegin,
                    std::size_t kEnd, double* dst) {
  switch (form) {
    case SpanLoop::Scalar:
      uniformSpansScalar(basis, values, kBegin, kEnd, dst);
      return true;
    case SpanLoop::TwoLanes:
#if defined(__SSE2__)
      uniformSpansTwoLanes(basis, values, kBegin, kEnd, dst);
      return true;
#else
      return false;
#endif
    case SpanLoop::FourLanes:
#if TARVIK_SPLINE_AVX2
      if (hasAvx2()) {
        uniformSpansAvx2(basis, values, kBegin, kEnd, dst);
        return true;
      }
#endif
      return false;
  }
  return false;
}

void uniformSpans(const StepBasis& basis, const double* values, std::size_t kBegin,
                  std::size_t kEnd, double* dst) {
#if TARVIK_SPLINE_AVX2
  if (hasAvx2()) {
    uniformSpansAvx2(basis, values, kBegin, kEnd, dst);
    return;
  }
#endif
#if defined(__SSE2__)
  uniformSpansTwoLanes(basis, values, kBegin, kEnd, dst);
#else
  uniformSpansScalar(basis, values, kBegin, kEnd, dst);
#endif
}

}  // namespace tarvik::synth::detail
