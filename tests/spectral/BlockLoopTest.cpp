#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "spectral/BlockLoop.h"

namespace tarvik::spectral {
namespace {

std::vector<int> upTo(int last) {
  std::vector<int> v;
  for (int p = 0; p <= last; ++p) {
    v.push_back(p);
  }
  return v;
}

// Work that never reports how far it got inside a block: the percentages come only from
// the block starts and ends.
bool silentWork(std::int64_t, std::size_t, const std::function<bool(double)>&) { return true; }

// Each percentage appears once, in order, and the last point shows 100 % when its block
// ends, whether or not the work reported progress inside the block.
TEST(RunInBlocks, EveryPercentageOnceUpTo100AtTheLastBlockEnd) {
  const struct {
    std::int64_t total;
    std::size_t block;
    double denominator;
  } cases[] = {
      {1001, 100, 1000},  // points 0 … 1000 of an inverse sum over n = 1000
      {1000, 1000, 999},  // one block
      {300, 64, 299},     // a short last block
      {5, 2, 4},          // fewer points than percentages
      {7, 3, 7},          // the spectrum's count: the last point stays below 100 %
  };
  for (const auto& c : cases) {
    std::vector<int> shown;
    PercentProgress progress(c.denominator, [&](int p) { shown.push_back(p); });
    const bool done = runInBlocks(
        c.total, c.block, progress, [] { return false; }, silentWork);
    EXPECT_TRUE(done);
    const double lastPoint = static_cast<double>(c.total - 1);
    const int last = static_cast<int>(std::nearbyint(lastPoint * 100 / c.denominator));
    if (c.denominator >= 100) {
      EXPECT_EQ(shown, upTo(last)) << c.total << " " << c.block;
    } else {
      ASSERT_FALSE(shown.empty());
      EXPECT_EQ(shown.front(), 0);
      EXPECT_EQ(shown.back(), last) << c.total << " " << c.block;
      for (std::size_t i = 1; i < shown.size(); ++i) {
        EXPECT_LT(shown[i - 1], shown[i]);
      }
    }
  }
}

// Before a block starts, every percentage of the blocks already done has been shown, and
// the stop request is polled: a stop seen there drops the remaining blocks.
TEST(RunInBlocks, BlockEndsShowTheirPercentageAndAStopEndsTheLoop) {
  std::vector<int> shown;
  PercentProgress progress(999, [&](int p) { shown.push_back(p); });
  std::vector<std::int64_t> firsts;
  bool stop = false;
  const bool done = runInBlocks(
      1000, 250, progress, [&] { return stop; },
      [&](std::int64_t first, std::size_t count, const std::function<bool(double)>&) {
        firsts.push_back(first);
        // round(first·100/999): the percentage of this block's first point is already out.
        EXPECT_EQ(shown.back(),
                  static_cast<int>(std::nearbyint(static_cast<double>(first) * 100.0 / 999)));
        stop = first + static_cast<std::int64_t>(count) == 500;
        return true;
      });
  EXPECT_FALSE(done);
  EXPECT_EQ(firsts, (std::vector<std::int64_t>{0, 250}));
  EXPECT_EQ(shown, upTo(50));  // point 499 of 0 … 999 is 50 %
}

// Progress reported from inside a block moves the percentage within that block only.
TEST(RunInBlocks, FractionsInsideABlockStayInsideIt) {
  std::vector<int> shown;
  PercentProgress progress(1000, [&](int p) { shown.push_back(p); });
  const bool done = runInBlocks(
      1001, 500, progress, [] { return false; },
      [&](std::int64_t first, std::size_t, const std::function<bool(double)>& keepGoing) {
        const std::size_t before = shown.size();
        EXPECT_TRUE(keepGoing(0.5));
        EXPECT_EQ(shown.back(), static_cast<int>(first / 10) + (first < 1000 ? 25 : 0));
        EXPECT_TRUE(keepGoing(2.0));  // clamped to the block's last point
        EXPECT_GE(shown.size(), before);
        return true;
      });
  EXPECT_TRUE(done);
  EXPECT_EQ(shown, upTo(100));
}

}  // namespace
}  // namespace tarvik::spectral
