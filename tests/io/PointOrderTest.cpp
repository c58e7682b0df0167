#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/Graph.h"
#include "io/PointOrder.h"

namespace tarvik {
namespace {

// The batch ordering must give exactly what adding the points one by one gives, NaN X
// values and repeated X included.
TEST(PointOrder, EqualsAddingPointsOneByOne) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 300; ++trial) {
    const int n = trial % 40;
    std::uniform_int_distribution<int> value(0, 8);
    PointArrays batch;
    Graph reference;
    for (int i = 0; i < n; ++i) {
      const int v = value(random);
      const double x = (v == 8 && trial % 3 == 0) ? std::nan("") : v;
      batch.xs.push_back(x);
      batch.ys.push_back(i);
      reference.addPoint(x, i);
    }
    applyPointOrder(batch);
    ASSERT_EQ(batch.ys.size(), reference.size());
    for (std::size_t i = 0; i < reference.size(); ++i) {
      ASSERT_EQ(batch.ys[i], reference.y(i)) << "trial " << trial << " point " << i;
    }
  }
}

}  // namespace
}  // namespace tarvik
