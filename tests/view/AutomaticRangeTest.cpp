// The ranges an axis accepts and the automatic range it takes from the graphs.
#include <gtest/gtest.h>

#include <limits>

#include "view/ViewRules.h"

namespace tarvik::view {
namespace {

TEST(AutomaticRange, ShowableRanges) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(isShowableRange({-1, 1}));
  EXPECT_TRUE(isShowableRange({1, -1}));  // inverted but of a usable width
  EXPECT_TRUE(isShowableRange({0, 1e-270}));
  for (AxisLimits bad : {AxisLimits{2, 2}, AxisLimits{0, 1e-290}, AxisLimits{-1e250, 0},
                         AxisLimits{0, 1e250}, AxisLimits{-6e249, 6e249}, AxisLimits{0, inf},
                         AxisLimits{nan, 1}, AxisLimits{1e-300, 1e249}}) {
    EXPECT_FALSE(isShowableRange(bad)) << bad.min << " .. " << bad.max;
  }
  const AxisLimits current{0, 5};
  const AxisLimits swapped = acceptedRange(current, {4, -2});
  EXPECT_EQ(swapped.min, -2);
  EXPECT_EQ(swapped.max, 4);
  const AxisLimits kept = acceptedRange(current, {3, 3});
  EXPECT_EQ(kept.min, 0);
  EXPECT_EQ(kept.max, 5);
}

TEST(AutomaticRange, FollowsTheDataOrCentresConstantData) {
  const AxisLimits current{-1, 3};
  const AxisLimits data = automaticRange(current, AxisLimits{2, 9});
  EXPECT_EQ(data.min, 2);
  EXPECT_EQ(data.max, 9);
  const AxisLimits constant = automaticRange(current, AxisLimits{7, 7});
  EXPECT_EQ(constant.min, 5);  // the width 4 stays, centred on 7
  EXPECT_EQ(constant.max, 9);
  const AxisLimits nothing = automaticRange(current, std::nullopt);
  EXPECT_EQ(nothing.min, -1);
  EXPECT_EQ(nothing.max, 3);
}

}  // namespace
}  // namespace tarvik::view
