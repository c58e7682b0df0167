// The extent of a graph's finite points, found in one pass or run by run, and the extent a
// reader notes on a graph, which holds only while the points are unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "core/Graph.h"
#include "core/PointsExtent.h"
#include "support/ExtentChecks.h"

namespace tarvik {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
const double kNotANumber = std::nan("");

using testing::expectSameExtent;
using testing::extentByDefinition;

// Values drawn from a small set where zeros of both signs, infinities and NaN are common.
std::vector<double> drawnValues(std::mt19937& random, std::size_t n, bool withZeros) {
  const std::vector<double> pool =
      withZeros ? std::vector<double>{0.0, -0.0, 1.5, -2.0, kInfinity, kNotANumber, 0.0}
                : std::vector<double>{3.0,       -7.5,       1e300,       -1e-300,
                                      kInfinity, -kInfinity, kNotANumber, 2.25};
  std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
  std::vector<double> values(n);
  for (double& v : values) {
    v = pool[pick(random)];
  }
  return values;
}

// One pass, and the united extents of the runs of every split of the points into two and of
// a split into many runs, give the definition's limits on points where the order matters.
TEST(PointsExtent, OnePassAndUnitedRunsGiveTheDefinition) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 300; ++trial) {
    const std::size_t n = trial % 40;
    const bool withZeros = trial % 2 == 0;
    const std::vector<double> xs = drawnValues(random, n, withZeros);
    std::vector<double> ys = drawnValues(random, n + trial % 3, withZeros);  // ys may be longer
    const std::optional<PointsExtent> want = extentByDefinition(xs, ys);
    SCOPED_TRACE(trial);
    expectSameExtent(finiteExtent(xs, ys), want);
    const std::span<const double> x(xs);
    const std::span<const double> y = std::span<const double>(ys).first(n);
    for (std::size_t cut = 0; cut <= n; ++cut) {
      std::optional<PointsExtent> united = finiteExtent(x.first(cut), y.first(cut));
      uniteExtent(united, finiteExtent(x.subspan(cut), y.subspan(cut)));
      expectSameExtent(united, want);
    }
    std::optional<PointsExtent> runs;
    for (std::size_t at = 0; at < n; at += 3) {
      const std::size_t len = std::min<std::size_t>(3, n - at);
      uniteExtent(runs, finiteExtent(x.subspan(at, len), y.subspan(at, len)));
    }
    expectSameExtent(runs, want);
  }
}

TEST(PointsExtent, NoFinitePointHasNoExtent) {
  EXPECT_FALSE(finiteExtent({}, {}));
  const std::vector<double> xs{1, kNotANumber, kInfinity, 4};
  const std::vector<double> ys{kNotANumber, 2, 3, -kInfinity};
  EXPECT_FALSE(finiteExtent(xs, ys));
  std::optional<PointsExtent> all;
  uniteExtent(all, std::nullopt);
  EXPECT_FALSE(all);
}

// A fall anywhere (either lane, the tail, past the places where the loop looks early) is
// found; equal X and NaN do not break the order.
TEST(PointsExtent, AscendingXFindsEveryFall) {
  for (const std::size_t n : {0u, 1u, 2u, 3u, 4u, 5u, 4096u, 4099u, 9000u}) {
    std::vector<double> xs(n);
    for (std::size_t i = 0; i < n; ++i) {
      xs[i] = static_cast<double>(i / 2);  // pairs of equal X
    }
    EXPECT_TRUE(ascendingX(xs)) << n;
    for (std::size_t at = 1; at < n; at += (at < 8 || at + 8 > n ? 1 : 997)) {
      std::vector<double> fallen = xs;
      fallen[at] = fallen[at - 1] - 0.5;
      EXPECT_FALSE(ascendingX(fallen)) << n << " at " << at;
      std::vector<double> withNaN = xs;
      withNaN[at] = kNotANumber;
      EXPECT_TRUE(ascendingX(withNaN)) << n << " NaN at " << at;
    }
  }
  EXPECT_TRUE(ascendingX(std::vector<double>{-0.0, 0.0, -0.0}));
}

// The reader's scan gives ascendingX's answer and, where X ascends, the definition's extent:
// on ascending X with repeated values and zeros of both signs at either end, with a value
// that is not finite here and there in X or Y, with shorter and longer Y.
TEST(PointsExtent, OrderedExtentIsTheOrderAndTheDefinition) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> step(0, 2);
  for (int trial = 0; trial < 2000; ++trial) {
    const std::size_t n = static_cast<std::size_t>(trial % 37);
    std::vector<double> xs(n);
    double x = trial % 3 == 0 ? -0.0 : -static_cast<double>(trial % 5);
    for (double& v : xs) {
      v = x;
      x += step(random);  // 0: a repeated X
    }
    if (trial % 4 == 1 && n > 0) {
      xs.back() = trial % 8 == 1 ? 0.0 : -0.0;  // a zero at the end, after lower X
      std::fill(xs.begin(), xs.end() - 1, -1.0);
    }
    if (trial % 5 == 2 && n > 2) {
      xs[n / 2] = trial % 10 == 2 ? kNotANumber : kInfinity;
    }
    if (trial % 7 == 3 && n > 2) {
      xs[n / 3] = xs[n / 3] - 10;  // a fall
    }
    std::vector<double> ys =
        drawnValues(random, n + trial % 3 - (n > 0 && trial % 3 == 2 ? 2 : 0), trial % 2 == 0);
    if (trial % 3 == 0) {  // every Y finite and not zero: the limits come from the ends
      for (std::size_t i = 0; i < ys.size(); ++i) {
        if (!std::isfinite(ys[i]) || ys[i] == 0) {
          ys[i] = 1.25 * static_cast<double>(i % 4) - 2;
        }
      }
    }
    SCOPED_TRACE(trial);
    const std::size_t m = std::min(xs.size(), ys.size());
    const std::vector<double> shownX(xs.begin(), xs.begin() + static_cast<std::ptrdiff_t>(m));
    const OrderedExtent scan = orderedExtent(xs, ys);
    EXPECT_EQ(scan.ascending, ascendingX(shownX));
    const OrderedExtent given = orderedExtent(xs, ys, xOrder(shownX));  // X looked at before
    EXPECT_EQ(given.ascending, scan.ascending);
    expectSameExtent(given.extent, scan.extent);
    if (scan.ascending) {
      expectSameExtent(scan.extent, extentByDefinition(xs, ys));
    } else {
      EXPECT_FALSE(scan.extent);
    }
  }
}

Graph graphWithPoints(std::vector<double> xs, std::vector<double> ys) {
  Graph g;
  g.setPoints(std::move(xs), std::move(ys));
  return g;
}

// A noted extent is known until the points change by any write; copies and moves carry it
// with the points, and a graph given the same points anew does not inherit it.
TEST(PointsExtent, NotedExtentHoldsWhileThePointsStay) {
  const PointsExtent noted{-1, 2, -3, 4};
  Graph g = graphWithPoints({-1, 2}, {-3, 4});
  EXPECT_EQ(g.knownExtent(), nullptr);
  g.noteExtent(noted);
  ASSERT_NE(g.knownExtent(), nullptr);
  EXPECT_EQ(**g.knownExtent(), noted);
  Graph none = graphWithPoints({kNotANumber}, {1});
  none.noteExtent(std::nullopt);
  ASSERT_NE(none.knownExtent(), nullptr);
  EXPECT_FALSE(*none.knownExtent());

  const Graph copy = g;
  ASSERT_NE(copy.knownExtent(), nullptr);
  EXPECT_EQ(**copy.knownExtent(), noted);
  Graph moved = std::move(g);
  ASSERT_NE(moved.knownExtent(), nullptr);
  EXPECT_EQ(g.knownExtent(), nullptr);  // NOLINT(bugprone-use-after-move): moved-from is empty
  Graph assigned;
  assigned = std::move(moved);
  ASSERT_NE(assigned.knownExtent(), nullptr);

  using Write = void (*)(Graph&);
  const std::vector<Write> writes = {
      [](Graph& w) { w.setY(0, 9); },
      [](Graph& w) { w.xsMutable()[1] = 5; },
      [](Graph& w) { w.appendPoint(3, 3); },
      [](Graph& w) { w.addPoint(0, 0); },
      [](Graph& w) { w.deletePoint(0); },
      [](Graph& w) { w.clearPoints(); },
      [](Graph& w) {
        w.setPoints({-1, 2}, {-3, 4});
      },
      [](Graph& w) {
        w.copyPointsFrom(graphWithPoints({-1, 2}, {-3, 4}));
      },
      [](Graph& w) {
        w.setPointsSharingX(graphWithPoints({-1, 2}, {0, 0}), {-3, 4});
      },
  };
  for (std::size_t i = 0; i < writes.size(); ++i) {
    Graph w = copy;
    writes[i](w);
    EXPECT_EQ(w.knownExtent(), nullptr) << "write " << i;
    ASSERT_NE(copy.knownExtent(), nullptr) << "write " << i;  // the copy it came from keeps it
  }
}

}  // namespace
}  // namespace tarvik
