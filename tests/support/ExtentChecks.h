#pragma once
// The extent of a graph's finite points by its definition (point by point in order: the
// first finite point starts it, a later value replaces a limit only when strictly beyond
// it) and the comparison of two extents bit for bit, the sign of a zero limit included.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>

#include "core/PointsExtent.h"

namespace tarvik::testing {

inline std::optional<PointsExtent> extentByDefinition(std::span<const double> xs,
                                                      std::span<const double> ys) {
  std::optional<PointsExtent> e;
  for (std::size_t i = 0; i < std::min(xs.size(), ys.size()); ++i) {
    if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) {
      continue;
    }
    if (!e) {
      e = PointsExtent{xs[i], xs[i], ys[i], ys[i]};
    } else {
      e->minX = std::min(e->minX, xs[i]);
      e->maxX = std::max(e->maxX, xs[i]);
      e->minY = std::min(e->minY, ys[i]);
      e->maxY = std::max(e->maxY, ys[i]);
    }
  }
  return e;
}

inline void expectSameExtent(const std::optional<PointsExtent>& got,
                             const std::optional<PointsExtent>& want) {
  ASSERT_EQ(got.has_value(), want.has_value());
  if (got) {
    const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    EXPECT_EQ(bits(got->minX), bits(want->minX));
    EXPECT_EQ(bits(got->maxX), bits(want->maxX));
    EXPECT_EQ(bits(got->minY), bits(want->minY));
    EXPECT_EQ(bits(got->maxY), bits(want->maxY));
  }
}

}  // namespace tarvik::testing
