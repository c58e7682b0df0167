#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "view/PolylineReduction.h"

namespace tarvik::view {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// X from 0..100 onto pixels 0..1000, Y from 0..1 onto pixels 500..0.
const AxisPixelMap kKey{0, 0, 10, false};
const AxisPixelMap kValue{0, 500, -500, false};
const ColumnWindow kWindow{-3, 1003};
const PixelRect kClip{-3, -3, 1003, 503};

std::vector<PixelPoint> wholeLine(const std::vector<double>& xs, const std::vector<double>& ys) {
  std::vector<PixelPoint> reduced, out;
  reducePolyline(xs, ys, 0, xs.size(), kKey, kValue, kWindow, reduced);
  clipPolyline(reduced, kClip, out);
  return out;
}

std::vector<PixelPoint> lineInParts(const std::vector<double>& xs, const std::vector<double>& ys,
                                    LineScratch& scratch) {
  std::vector<PixelPoint> out{{1, 2}};  // replaced
  reduceAndClipPolyline(xs, ys, 0, xs.size(), kKey, kValue, kWindow, kClip, true, scratch, out);
  return out;
}

// Point for point, a break matching a break.
::testing::AssertionResult sameLine(const std::vector<PixelPoint>& a,
                                    const std::vector<PixelPoint>& b) {
  if (a.size() != b.size()) {
    return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size();
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].isBreak() != b[i].isBreak() || (!a[i].isBreak() && !(a[i] == b[i]))) {
      return ::testing::AssertionFailure() << "first difference at " << i;
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(LineInParts, HalvesJoinedGiveTheWholeLinePointForPoint) {
  // Short lines of points scattered well beyond the plot on every side (so the segment at
  // the split starts and ends inside, outside, or crosses the plot), some in runs of one
  // column, some not drawable; the split falls in a different place in each.
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> xs(-40, 140), ys(-0.8, 1.8), unit(0, 1);
  LineScratch scratch;  // reused, as between repaints
  int joinedInside = 0, joinedOutside = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const auto n = static_cast<std::size_t>(4 + trial % 60);
    std::vector<double> x(n), y(n);
    for (std::size_t i = 0; i < n; ++i) {
      const double r = unit(rng);
      x[i] = r < 0.2 && i > 0 ? x[i - 1] + 0.01 : xs(rng);  // same column as the point before
      y[i] = r > 0.97 ? kNan : ys(rng);
    }
    const auto expected = wholeLine(x, y);
    const auto actual = lineInParts(x, y, scratch);
    ASSERT_TRUE(sameLine(actual, expected)) << "trial " << trial;
    const PixelPoint middle{kKey(x[n / 2]), kValue(y[n / 2])};
    const bool inside = middle.x > 0 && middle.x < 1000 && middle.y > 0 && middle.y < 500;
    (inside ? joinedInside : joinedOutside) += 1;
  }
  EXPECT_GT(joinedInside, 300);
  EXPECT_GT(joinedOutside, 300);
}

TEST(LineInPartsFallback, LinesWithoutASplitAreBuiltWhole) {
  LineScratch scratch;
  // Every point in one column: no place where a new column starts.
  std::vector<double> x(200, 50.05), y(200);
  for (std::size_t i = 0; i < y.size(); ++i) {
    y[i] = static_cast<double>(i % 7) / 7;
  }
  EXPECT_TRUE(sameLine(lineInParts(x, y, scratch), wholeLine(x, y)));
  EXPECT_EQ(lineInParts(x, y, scratch).size(), 3u);  // first (the lowest too), highest, last
  // Nothing drawable, and too few points to split.
  std::vector<double> nan(100, kNan);
  EXPECT_TRUE(lineInParts(nan, nan, scratch).empty());
  std::vector<double> three{10, 20, 30}, levels{0.1, 0.9, 0.1};
  EXPECT_TRUE(sameLine(lineInParts(three, levels, scratch), wholeLine(three, levels)));
  EXPECT_EQ(lineInParts(three, levels, scratch).size(), 3u);
}

}  // namespace
}  // namespace tarvik::view
