#pragma once
// Shared checks of the fuzz targets: a broken invariant stops the fuzzer like a crash.
#include <cstdio>
#include <cstdlib>

#include "io/ReadResult.h"

namespace tarvik::fuzz {

inline void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

inline void requireParallel(const PointArrays& points) {
  require(points.xs.size() == points.ys.size(), "X and Y arrays differ in length");
}

}  // namespace tarvik::fuzz
