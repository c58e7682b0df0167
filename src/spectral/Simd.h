#pragma once
// Four-lane vectors for the numeric kernels of the spectral code (GCC/Clang vector
// extensions). Kernels marked TARVIK_SIMD_KERNEL are compiled twice, for AVX2 and for the
// baseline instruction set, and the processor picks one when the program loads.
#include <cmath>
#include <cstring>

// The helpers below pass 32-byte vectors by value. They are always inlined into the
// kernels, so the compilers' notes about the calling convention of such vectors without
// AVX do not apply; code that uses them sits between TARVIK_SIMD_BEGIN and TARVIK_SIMD_END,
// which silence exactly that diagnostic. Clang reports it at each call, so the scope ends
// with the kernels; GCC reports it when it emits the helpers at the end of the translation
// unit, so under GCC the scope runs to the end of the kernel's file (only the kernel files
// include this header).
#if defined(__clang__)
#define TARVIK_SIMD_BEGIN \
  _Pragma("clang diagnostic push") _Pragma("clang diagnostic ignored \"-Wpsabi\"")
#define TARVIK_SIMD_END _Pragma("clang diagnostic pop")
#elif defined(__GNUC__)
#define TARVIK_SIMD_BEGIN \
  _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wpsabi\"")
#define TARVIK_SIMD_END
#else
#define TARVIK_SIMD_BEGIN
#define TARVIK_SIMD_END
#endif

// Sanitized builds run one plain variant of every kernel: a variant chosen while the
// program loads (an ifunc resolver) runs before the sanitizer's run-time is ready.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARVIK_SIMD_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define TARVIK_SIMD_SANITIZED 1
#endif
#endif

// Two variants per kernel (AVX2 and the baseline) under GCC only: clang refuses to inline
// the 32-byte vector helpers into the AVX2 variant, so clang builds the portable kernels.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(TARVIK_SIMD_SANITIZED) && !defined(TARVIK_NO_CLONES)
#define TARVIK_SIMD_VARIANTS 1
#else
#define TARVIK_SIMD_VARIANTS 0
#endif

TARVIK_SIMD_BEGIN

namespace tarvik::spectral::simd {

typedef double V4d __attribute__((vector_size(32)));
typedef float V4f __attribute__((vector_size(16)));

#if TARVIK_SIMD_VARIANTS
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

[[gnu::always_inline]] inline V4f loadRaw(const float* p) {
  V4f v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
[[gnu::always_inline]] inline void storeRaw(float* p, V4f v) { std::memcpy(p, &v, sizeof v); }
[[gnu::always_inline]] inline V4f narrow(V4d v) { return __builtin_convertvector(v, V4f); }

typedef long long V4i __attribute__((vector_size(32)));

// Lanes of `yes` where the mask is set, else of `no`.
[[gnu::always_inline]] inline V4d select(V4i mask, V4d yes, V4d no) {
  return reinterpret_cast<V4d>((reinterpret_cast<V4i>(yes) & mask) |
                               (reinterpret_cast<V4i>(no) & ~mask));
}

// Square roots of four non-negative lanes (SSE2 is part of every x86-64 processor).
[[gnu::always_inline]] inline V4d vectorSqrt(V4d v) {
#if defined(__x86_64__)
  typedef double V2d __attribute__((vector_size(16)));
  const V2d lo = __builtin_ia32_sqrtpd(__builtin_shufflevector(v, v, 0, 1));
  const V2d hi = __builtin_ia32_sqrtpd(__builtin_shufflevector(v, v, 2, 3));
  return __builtin_shufflevector(lo, hi, 0, 1, 2, 3);
#else
  for (int lane = 0; lane < 4; ++lane) {
    v[lane] = std::sqrt(v[lane]);
  }
  return v;
#endif
}

// Widening four floats to doubles. The compiler splits __builtin_convertvector of this
// shape into two halves through memory even for AVX2, so kernels that widen a lot are
// written as templates over one of these and picked at run time (TARVIK_SIMD_DISPATCH)
// instead of being cloned.
struct WidenPortable {
  [[gnu::always_inline]] static V4d wide(V4f v) { return __builtin_convertvector(v, V4d); }
};

// GCC only: clang widens __builtin_convertvector in one instruction by itself, and it
// checks the 32-byte asm operand below outside the AVX2 functions that would use it.
#if TARVIK_SIMD_VARIANTS
#define TARVIK_SIMD_DISPATCH 1
// Only for code inlined into functions compiled with [[gnu::target("avx2")]].
struct WidenAvx2 {
  [[gnu::always_inline]] static V4d wide(V4f v) {
    V4d r;
    asm("vcvtps2pd %1, %0" : "=x"(r) : "x"(v));
    return r;
  }
};
inline bool hasAvx2() {
  static const bool yes = __builtin_cpu_supports("avx2");
  return yes;
}
#else
#define TARVIK_SIMD_DISPATCH 0
#endif

// A kernel written once as an inlined body template over the widening, compiled for AVX2
// and for the baseline instruction set; the processor picks one at run time.
#if TARVIK_SIMD_DISPATCH
#define TARVIK_DISPATCHED_KERNEL(name, body, params, args)                       \
  [[gnu::target("avx2")]] void name##Avx2 params { body<simd::WidenAvx2> args; } \
  void name##Base params { body<simd::WidenPortable> args; }                     \
  void name params {                                                             \
    if (simd::hasAvx2()) {                                                       \
      name##Avx2 args;                                                           \
    } else {                                                                     \
      name##Base args;                                                           \
    }                                                                            \
  }
#else
#define TARVIK_DISPATCHED_KERNEL(name, body, params, args) \
  void name params { body<simd::WidenPortable> args; }
#endif

}  // namespace tarvik::spectral::simd

TARVIK_SIMD_END
