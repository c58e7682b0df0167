#pragma once
// Shared checks of the fuzz targets: a broken invariant stops the fuzzer like a crash.
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <span>

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

// An extent a reader gives is that of its points, bit for bit, and comes only with points
// in ascending X.
inline void requireKnownExtent(const ReadExtent& known, std::span<const double> xs,
                               std::span<const double> ys) {
  if (!known) {
    return;
  }
  require(ascendingX(xs), "an extent given for points out of order");
  const std::optional<PointsExtent> want = finiteExtent(xs, ys);
  require(known->has_value() == want.has_value(), "the given extent's presence");
  if (want) {
    const auto same = [](double a, double b) {
      return std::bit_cast<unsigned long long>(a) == std::bit_cast<unsigned long long>(b);
    };
    require(same((*known)->minX, want->minX) && same((*known)->maxX, want->maxX) &&
                same((*known)->minY, want->minY) && same((*known)->maxY, want->maxY),
            "the given extent is the points' extent");
  }
}

}  // namespace tarvik::fuzz
