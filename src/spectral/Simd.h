#pragma once
// Four-lane vectors for the numeric kernels of the spectral code (GCC/Clang vector
// extensions). Kernels marked TARVIK_SIMD_KERNEL are compiled twice, for AVX2 and for the
// baseline instruction set, and the processor picks one when the program loads.
#include <cstring>

// The helpers below pass 32-byte vectors by value; they are always inlined into the
// kernels, so the ABI note GCC gives for them does not apply.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace tarvik::spectral::simd {

typedef double V4d __attribute__((vector_size(32)));
typedef float V4f __attribute__((vector_size(16)));

#if defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__) && !defined(TARVIK_NO_CLONES)
#define TARVIK_SIMD_KERNEL __attribute__((target_clones("avx2", "default")))
#else
#define TARVIK_SIMD_KERNEL
#endif

[[gnu::always_inline]] inline V4d load(const double* p) {
  V4d v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
[[gnu::always_inline]] inline void store(double* p, V4d v) { std::memcpy(p, &v, sizeof v); }
[[gnu::always_inline]] inline V4d loadFloats(const float* p) {
  V4f v;
  std::memcpy(&v, p, sizeof v);
  return __builtin_convertvector(v, V4d);
}
[[gnu::always_inline]] inline void storeFloats(float* p, V4d v) {
  const V4f f = __builtin_convertvector(v, V4f);
  std::memcpy(p, &f, sizeof f);
}
[[gnu::always_inline]] inline V4d splat(double x) { return V4d{x, x, x, x}; }

}  // namespace tarvik::spectral::simd
