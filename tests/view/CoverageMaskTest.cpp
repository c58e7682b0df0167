#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "view/CoverageMask.h"

namespace tarvik::view {
namespace {

// The pixel rule written out plainly, one pixel line at a time, without any skipping.
std::vector<std::uint8_t> plainRule(int width, int height,
                                    const std::vector<std::array<double, 4>>& segments) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width * height), 0);
  for (auto [x0, y0, x1, y1] : segments) {
    const bool steep = std::abs(y1 - y0) > std::abs(x1 - x0);
    double a0 = steep ? y0 : x0, b0 = steep ? x0 : y0;
    double a1 = steep ? y1 : x1, b1 = steep ? x1 : y1;
    if (a1 < a0) {
      std::swap(a0, a1);
      std::swap(b0, b1);
    }
    const double slope = a1 > a0 ? (b1 - b0) / (a1 - a0) : 0.0;
    for (int c = static_cast<int>(std::floor(a0)); c <= static_cast<int>(std::floor(a1)); ++c) {
      const double a = std::clamp(c + 0.5, a0, a1);
      const int m = static_cast<int>(std::floor(b0 + (a - a0) * slope));
      const int x = steep ? m : c, y = steep ? c : m;
      if (x >= 0 && y >= 0 && x < width && y < height) {
        out[static_cast<std::size_t>(y * width + x)] = 1;
      }
    }
  }
  return out;
}

std::vector<std::uint8_t> maskOf(int width, int height,
                                 const std::vector<std::array<double, 4>>& segments) {
  CoverageMask mask(width, height);
  for (auto [x0, y0, x1, y1] : segments) {
    mask.addSegment(x0, y0, x1, y1);
  }
  return mask.widenedRows(1);
}

// The segments drawn in two masks, the first half and the rest, then merged as the two
// cores' halves of a line are.
CoverageMask mergedHalves(int width, int height,
                          const std::vector<std::array<double, 4>>& segments) {
  CoverageMask first(width, height), second(width, height);
  const std::size_t half = segments.size() / 2;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    auto [x0, y0, x1, y1] = segments[i];
    (i < half ? first : second).addSegment(x0, y0, x1, y1);
  }
  first.merge(second);
  return first;
}

TEST(CoverageMask, SimpleLinesCoverTheirPixelsAndBothEnds) {
  CoverageMask mask(20, 10);
  mask.addSegment(2.5, 3.5, 12.5, 3.5);  // horizontal: row 3, columns 2..12
  for (int x = 0; x < 20; ++x) {
    EXPECT_EQ(mask.covered(x, 3), x >= 2 && x <= 12) << x;
  }
  mask.addSegment(15.2, 0.1, 15.2, 9.9);  // vertical: column 15, every row
  for (int y = 0; y < 10; ++y) {
    EXPECT_TRUE(mask.covered(15, y));
  }
  mask.addSegment(0.5, 9.5, 9.5, 0.5);  // diagonal: one pixel per column, touching
  for (int x = 0; x < 10; ++x) {
    EXPECT_TRUE(mask.covered(x, 9 - x)) << x;
  }
  EXPECT_EQ(mask.coveredCount(), 11u + 10u + 10u - 1u);  // the diagonal meets row 3 once
  mask.addSegment(18.7, 7.2, 18.7, 7.2);                 // a point is one pixel
  EXPECT_TRUE(mask.covered(18, 7));
}

TEST(CoverageMask, SkippingFullCellsSetsExactlyThePixelsOfThePlainRule) {
  // Sizes that are and are not multiples of the tile and block sizes (a last tile row or
  // column one pixel thick inside a wide mask, too), with segments in every direction, many
  // of them reaching outside, and enough of them to fill blocks.
  std::mt19937_64 rng(7);
  for (auto [width, height, count] :
       {std::array{64, 64, 3000}, std::array{200, 131, 20000}, std::array{37, 250, 5000},
        std::array{300, 9, 400}, std::array{300, 9, 3000}, std::array{10, 301, 3000}}) {
    std::uniform_real_distribution<double> xs(-20, width + 20), ys(-20, height + 20);
    std::vector<std::array<double, 4>> segments;
    for (int i = 0; i < count; ++i) {
      segments.push_back({xs(rng), ys(rng), xs(rng), ys(rng)});
    }
    const auto expected = plainRule(width, height, segments);
    EXPECT_EQ(maskOf(width, height, segments), expected) << width << "x" << height;
    // Drawn in two parts and merged: the same pixels, and the merged counts of full cells
    // still let later segments skip exactly what they may.
    CoverageMask first = mergedHalves(width, height, segments);
    EXPECT_EQ(first.widenedRows(1), expected) << width << "x" << height;
    std::vector<std::array<double, 4>> more;
    for (int i = 0; i < count / 4; ++i) {
      more.push_back({xs(rng), ys(rng), xs(rng), ys(rng)});
    }
    for (auto [x0, y0, x1, y1] : more) {
      first.addSegment(x0, y0, x1, y1);
    }
    std::vector<std::array<double, 4>> all = segments;
    all.insert(all.end(), more.begin(), more.end());
    EXPECT_EQ(first.widenedRows(1), plainRule(width, height, all)) << width << "x" << height;
    // The same segments in reverse order paint the same pixels.
    std::reverse(segments.begin(), segments.end());
    EXPECT_EQ(maskOf(width, height, segments), expected) << width << "x" << height;
  }
}

// Segments between random points of two bands whose height shrinks from left to right (a
// phase plot of a decaying noisy signal, with a gap between the bands), so that most of each
// band fills up while its edges stay ragged and many columns hold two separate covered runs.
std::vector<std::array<double, 4>> bandSegments(int width, int height, int count, bool steep,
                                                std::mt19937_64& rng) {
  std::uniform_real_distribution<double> along(-5, (steep ? height : width) + 5), unit(0, 1);
  const double across = steep ? width : height;
  auto point = [&] {
    const double a = along(rng);
    const double reach = steep ? height : width;
    const double half = across * (0.2 - 0.15 * std::clamp(a / reach, 0.0, 1.0));
    const double centre = across * (unit(rng) < 0.5 ? 0.25 : 0.72);
    const double b = centre + half * (2 * unit(rng) - 1);
    return steep ? std::array{b, a} : std::array{a, b};
  };
  std::vector<std::array<double, 4>> segments;
  for (int i = 0; i < count; ++i) {
    const auto p = point(), q = point();
    segments.push_back({p[0], p[1], q[0], q[1]});
  }
  return segments;
}

TEST(CoverageMask, LinesFillingBandsSetExactlyThePixelsOfThePlainRule) {
  // Enough segments that the covered runs of every column and row are taken several times
  // while the bands fill, on sizes that are not multiples of tiles or blocks; lying flat
  // (columns' runs) and standing (rows' runs); drawn whole, and in two merged halves that
  // both go on afterwards.
  std::mt19937_64 rng(11);
  for (auto [width, height, steep] : {std::array{301, 203, 0}, std::array{203, 301, 1},
                                      std::array{130, 70, 0}, std::array{70, 130, 1}}) {
    auto segments = bandSegments(width, height, 40000, steep != 0, rng);
    const auto expected = plainRule(width, height, segments);
    EXPECT_EQ(maskOf(width, height, segments), expected) << width << "x" << height;
    std::size_t coveredPixels = 0;
    for (auto v : expected) {
      coveredPixels += v;
    }
    // The bands neither stay empty nor fill the whole mask: there are edges to get wrong.
    EXPECT_GT(coveredPixels, expected.size() / 4);
    EXPECT_LT(coveredPixels, expected.size() * 9 / 10);

    CoverageMask first = mergedHalves(width, height, segments);
    EXPECT_EQ(first.widenedRows(1), expected) << width << "x" << height;
    // Segments reaching across the gap and out of the bands, after the merge.
    std::uniform_real_distribution<double> xs(-10, width + 10), ys(-10, height + 10);
    std::vector<std::array<double, 4>> more = bandSegments(width, height, 8000, steep != 0, rng);
    for (int i = 0; i < 300; ++i) {
      more.push_back({xs(rng), ys(rng), xs(rng), ys(rng)});
    }
    for (auto [x0, y0, x1, y1] : more) {
      first.addSegment(x0, y0, x1, y1);
    }
    segments.insert(segments.end(), more.begin(), more.end());
    EXPECT_EQ(first.widenedRows(1), plainRule(width, height, segments)) << width << "x" << height;
  }
}

TEST(CoverageMask, BreaksAndUnusableCoordinatesDrawNothing) {
  const double inf = std::numeric_limits<double>::infinity();
  CoverageMask mask(50, 50);
  mask.addSegment(std::nan(""), 1, 10, 10);
  mask.addSegment(0, 0, inf, 10);
  mask.addSegment(-1e300, 20, -1e299, 30);  // far to the left: nothing, and no overflow
  mask.addSegment(60, 70, 80, 90);          // wholly outside
  EXPECT_EQ(mask.coveredCount(), 0u);
  mask.addSegment(-1e300, 25.5, 1e300, 25.5);  // a huge horizontal line crosses the mask
  EXPECT_EQ(mask.coveredCount(), 50u);

  CoverageMask line(30, 30);
  const std::vector<PixelPoint> points{
      {1.5, 1.5}, {10.5, 1.5}, kLineBreak, {20.5, 1.5}, {28.5, 1.5}};
  line.addPolyline(points);
  EXPECT_TRUE(line.covered(10, 1));
  EXPECT_FALSE(line.covered(15, 1));  // the segments either side of the break are not drawn
  EXPECT_TRUE(line.covered(20, 1));
  EXPECT_EQ(line.coveredCount(), 10u + 9u);
  // Placed twice as large and moved down by 10 pixels.
  CoverageMask placed(60, 30);
  placed.addPolyline(points, {2, 2, 0, 10});
  EXPECT_TRUE(placed.covered(20, 13));
  EXPECT_FALSE(placed.covered(30, 13));
  EXPECT_TRUE(placed.covered(57, 13));
  EXPECT_EQ(placed.coveredCount(), 19u + 17u);
  CoverageMask empty(0, 10);
  empty.addSegment(0, 0, 5, 5);
  EXPECT_EQ(empty.coveredCount(), 0u);
}

TEST(CoverageMask, WideningMakesSquaresOfThePenWidth) {
  CoverageMask mask(10, 10);
  mask.addSegment(5.5, 5.5, 5.5, 5.5);
  mask.addSegment(0.5, 0.5, 0.5, 0.5);
  const auto at = [](const std::vector<std::uint8_t>& rows, int x, int y) {
    return rows[static_cast<std::size_t>(y * 10 + x)];
  };
  const auto three = mask.widenedRows(3);
  int count = 0;
  for (auto v : three) {
    count += v;
  }
  EXPECT_EQ(count, 9 + 4);  // a full 3 × 3 square, and one cut by the corner
  EXPECT_EQ(at(three, 4, 4), 1);
  EXPECT_EQ(at(three, 6, 6), 1);
  EXPECT_EQ(at(three, 7, 5), 0);
  const auto two = mask.widenedRows(2);  // even widths reach one further after the pixel
  EXPECT_EQ(at(two, 6, 6), 1);
  EXPECT_EQ(at(two, 4, 5), 0);
  EXPECT_EQ(at(two, 5, 5), 1);
}

}  // namespace
}  // namespace tarvik::view
