#include <gtest/gtest.h>

#include <cmath>

#include "TransformTestUtil.h"
#include "transforms/GraphEditing.h"
#include "transforms/RunningStats.h"

namespace tarvik {
namespace {

TEST(RunningStats, MeanWorkedCase) {
  std::vector<double> xs = {0, 1, 2}, ys = {0, 2, 4};
  runningMean(xs, ys);
  EXPECT_EQ(xs[0], 1);
  EXPECT_EQ(ys[0], 1);
  EXPECT_EQ(xs[1], 2);
  EXPECT_EQ(ys[1], 2);
}

TEST(RunningStats, MeanOfEqualFirstXIsZeroNotNaN) {
  std::vector<double> xs = {3, 3, 5}, ys = {1, 1, 1};
  runningMean(xs, ys);
  EXPECT_EQ(ys[0], 0);
  EXPECT_EQ(ys[1], 1);
}

TEST(RunningStats, RmsDividesByXItself) {
  std::vector<double> xs = {0, 1, 2, 3}, ys = {3, 3, 3, 3};
  runningRms(xs, ys);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_DOUBLE_EQ(ys[i], 3);
  }
  std::vector<double> late = {10, 11, 12}, lateY = {3, 3, 3};
  runningRms(late, lateY);
  EXPECT_DOUBLE_EQ(lateY[0], std::sqrt(9.0 / 11));
  EXPECT_DOUBLE_EQ(lateY[1], std::sqrt(18.0 / 12));
}

TEST(RunningStats, RmsAtNonPositiveXIsZero) {
  std::vector<double> xs = {-3, -1, 0, 2}, ys = {1, 1, 1, 1};
  runningRms(xs, ys);
  EXPECT_EQ(ys[0], 0);  // X = −1
  EXPECT_EQ(ys[1], 0);  // X = 0
  EXPECT_DOUBLE_EQ(ys[2], std::sqrt(5.0 / 2));
}

TEST(RunningStats, EnergyWithUnitFactors) {
  struct Case {
    double currentFactor;
    double scale;
  };
  for (const Case c : {Case{1, 1}, Case{1e-6, 1e-12}, Case{1000, 1e6}}) {
    std::vector<double> xs = {0, 1, 2, 3}, ys = {2, 2, 2, 2};
    const double total = runningEnergy(xs, ys, 1e-9, c.currentFactor);
    EXPECT_EQ(xs[0], 1);
    EXPECT_EQ(xs[2], 3);
    EXPECT_DOUBLE_EQ(ys[0], 4e-9 * c.scale);
    EXPECT_DOUBLE_EQ(ys[1], 8e-9 * c.scale);
    EXPECT_DOUBLE_EQ(total, 1.2e-8 * c.scale);
  }
}

TEST(RunningStats, UnitEntriesMapToFactors) {
  EXPECT_EQ(timeUnitIndex("Наносекунды"), 3);
  EXPECT_EQ(kTimeFactors[timeUnitIndex("Пикосекунды")], 1e-12);
  EXPECT_EQ(kCurrentFactors[currentUnitIndex("Килоамперы")], 1000);
  EXPECT_EQ(timeUnitIndex("наносекунды"), -1);
  EXPECT_EQ(currentUnitIndex(""), -1);
}

}  // namespace
}  // namespace tarvik
