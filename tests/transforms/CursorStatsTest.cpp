#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "transforms/CursorStats.h"

namespace tarvik {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

using Xs = std::vector<double>;

TEST(CursorStats, ValuesAtTheCursors) {
  const Xs xs{0, 1, 2, 2, 4};
  const Xs ys{0, 10, 20, 30, 10};
  struct Case {
    double at;
    std::optional<double> y;
  };
  const Case cases[] = {
      {0.5, 5},              // between neighbours
      {2, 20},               // exact hit on a repeated X: the first of them
      {3, 20},               // from the last of the repeated points to the next
      {4, 10},               // the last point itself
      {-0.1, std::nullopt},  // outside the X range
      {4.1, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cursorStats(xs, ys, c.at, 0).y1, c.y) << c.at;
  }
  // Unordered X: the nearest point, the first of two at the same distance.
  const Xs ux{3, 0, 1, 2};
  const Xs uy{30, 0, 10, 20};
  EXPECT_EQ(cursorStats(ux, uy, 1.4, 0).y1, 10);
  EXPECT_EQ(cursorStats(ux, uy, 2.5, 0).y1, 30);
  EXPECT_EQ(cursorStats(ux, uy, 3.5, 0).y1, std::nullopt);
  // Non-finite points are absent: the neighbours of 0.5 are then X = 0 and X = 2.
  EXPECT_EQ(cursorStats(Xs{0, 1, 2}, Xs{0, kNan, 20}, 0.5, 0).y1, 5);
  EXPECT_EQ(cursorStats(Xs{0, kNan, 2}, Xs{0, 100, 20}, 1.5, 0).y1, 15);
  EXPECT_EQ(cursorStats(Xs{}, Xs{}, 0, 0).y1, std::nullopt);
}

// Repeated X with non-finite points among them: the finite points still ascend, so a cursor
// takes the line between neighbours as on a clean graph (an exact hit the first of the equal
// points, past them the line from the last one), the gaps skipped.
TEST(CursorStats, EqualXWithNaNGapsAtACursor) {
  const Xs xs{0, 1, 2, kNan, 2, 3, 4};
  const Xs ys{0, 10, 20, 99, 30, kNan, 10};  // finite: (0,0) (1,10) (2,20) (2,30) (4,10)
  struct Case {
    double at;
    std::optional<double> y;
  };
  const Case cases[] = {
      {0.5, 5},   {2, 20},  // the first of the two points at X = 2
      {2.5, 25},            // from (2, 30) to (4, 10), not the nearest point's 20
      {3, 20},              // the point at X = 3 has no Y: the line through it
      {4, 10},    {-1, std::nullopt}, {4.5, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cursorStats(xs, ys, c.at, 0).y1, c.y) << c.at;
    EXPECT_EQ(cursorStats(xs, ys, 0, c.at).y2, c.y) << c.at;
  }
}

TEST(CursorStats, DifferencesAndEmptySelections) {
  const Xs xs{0, 1, 2};
  const Xs ys{1, 3, 2};
  const CursorStats s = cursorStats(xs, ys, 2, 0.5);
  EXPECT_EQ(s.dx, -1.5);
  EXPECT_EQ(s.invDx, 1 / -1.5);
  EXPECT_EQ(s.dy, 2 - 2);
  EXPECT_EQ(s.count, 2u);  // X = 1 and X = 2, whichever cursor is the left one
  EXPECT_EQ(s.integral, 2.5);

  const CursorStats same = cursorStats(xs, ys, 1, 1);
  EXPECT_EQ(same.invDx, std::nullopt);
  EXPECT_EQ(same.count, 1u);
  EXPECT_EQ(same.integral, 0);
  EXPECT_EQ(same.p2p, 0);

  const CursorStats gap = cursorStats(xs, ys, 0.2, 0.8);
  EXPECT_EQ(gap.count, 0u);
  EXPECT_EQ(gap.min, std::nullopt);
  EXPECT_EQ(gap.mean, std::nullopt);
  EXPECT_EQ(gap.integral, std::nullopt);
  ASSERT_TRUE(gap.dy);  // both cursors inside the graph: dy is a number all the same
  EXPECT_NEAR(*gap.dy, 2.6 - 1.4, 1e-15);

  const CursorStats outside = cursorStats(xs, ys, -1, 1);
  EXPECT_EQ(outside.dy, std::nullopt);
  EXPECT_EQ(outside.count, 2u);

  const CursorStats nan = cursorStats(xs, ys, kNan, 1);
  EXPECT_EQ(nan.count, 0u);
  EXPECT_EQ(nan.y1, std::nullopt);
}

// Straightforward reference: filter, then plain sums in index order.
CursorStats referenceStats(const Xs& xs, const Xs& ys, double x1, double x2) {
  CursorStats s;
  const double lo = std::min(x1, x2);
  const double hi = std::max(x1, x2);
  double sum = 0, squares = 0, integral = 0, lastX = 0, lastY = 0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (!std::isfinite(xs[i]) || !std::isfinite(ys[i]) || xs[i] < lo || xs[i] > hi) {
      continue;
    }
    if (s.count > 0) {
      integral += (xs[i] - lastX) * (ys[i] + lastY) / 2;
    }
    s.min = s.count ? std::min(*s.min, ys[i]) : ys[i];
    s.max = s.count ? std::max(*s.max, ys[i]) : ys[i];
    sum += ys[i];
    squares += ys[i] * ys[i];
    lastX = xs[i];
    lastY = ys[i];
    ++s.count;
  }
  if (s.count) {
    s.mean = sum / static_cast<double>(s.count);
    s.rms = std::sqrt(squares / static_cast<double>(s.count));
    s.integral = integral;
  }
  return s;
}

void expectNear(std::optional<double> got, std::optional<double> want, const char* what) {
  ASSERT_EQ(got.has_value(), want.has_value()) << what;
  if (want) {
    EXPECT_NEAR(*got, *want, 1e-12 * (1 + std::abs(*want))) << what;
  }
}

TEST(CursorStats, StatisticsMatchPlainSums) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> value(-5, 5);
  std::uniform_real_distribution<double> cursor(-1, 11);
  for (int layout = 0; layout < 3; ++layout) {
    for (std::size_t n : {1u, 2u, 3u, 17u, 1000u}) {
      Xs xs(n), ys(n);
      for (std::size_t i = 0; i < n; ++i) {
        // 0: ascending with repeats, 1: ascending with NaN holes, 2: random order.
        xs[i] =
            layout == 2 ? cursor(rng) : 10.0 * static_cast<double>(i / 2) / static_cast<double>(n);
        ys[i] = value(rng);
        if (layout == 1 && i % 5 == 3) {
          (i % 2 ? xs[i] : ys[i]) = kNan;
        }
      }
      for (int k = 0; k < 20; ++k) {
        const double x1 = cursor(rng);
        const double x2 = k % 4 == 0 ? xs[(n - 1) / 2] : cursor(rng);  // some exact hits
        const CursorStats got = cursorStats(xs, ys, x1, x2);
        const CursorStats want = referenceStats(xs, ys, x1, x2);
        ASSERT_EQ(got.count, want.count) << layout << " " << n << " " << x1 << " " << x2;
        EXPECT_EQ(got.min, want.min);
        EXPECT_EQ(got.max, want.max);
        expectNear(got.mean, want.mean, "mean");
        expectNear(got.rms, want.rms, "rms");
        expectNear(got.integral, want.integral, "integral");
      }
    }
  }
}

TEST(CursorRows, NamesInTheBatchOrder) {
  const CursorStats s = cursorStats(Xs{0, 1}, Xs{2, 4}, 0, 1);
  const std::vector<CursorRow> rows = cursorRows(s);
  const char* names[] = {"x1",    "x2",  "dx",  "inv-dx", "y1",   "y2",  "dy",
                         "count", "min", "max", "p2p",    "mean", "rms", "integral"};
  ASSERT_EQ(rows.size(), std::size(names));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].name, names[i]);
  }
  EXPECT_EQ(rows[3].value, 1);
  EXPECT_EQ(rows[7].value, 2);
  EXPECT_EQ(rows[10].value, 2);
  EXPECT_EQ(rows[13].value, 3);
}

// Long graphs are summed in one pass, in halves on two threads: the figures are those of
// the plain sums (to the rounding of the partial sums), the cursors' range cut exactly, and
// one point out of order or not finite anywhere, even in the half without the cursors,
// switches to the general path.
TEST(CursorStats, LongGraphsInOnePassMatchPlainSums) {
  const std::size_t n = (std::size_t{1} << 22) + 123;
  Xs xs(n), ys(n);
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> value(-5, 5);
  for (std::size_t i = 0; i < n; ++i) {
    xs[i] = static_cast<double>(i) * 0.25;
    ys[i] = value(rng);
  }
  const double end = xs.back();
  const auto compare = [&](double x1, double x2) {
    SCOPED_TRACE(std::to_string(x1) + " " + std::to_string(x2));
    const CursorStats got = cursorStats(xs, ys, x1, x2);
    const CursorStats want = referenceStats(xs, ys, x1, x2);
    ASSERT_EQ(got.count, want.count);
    EXPECT_EQ(got.min, want.min);
    EXPECT_EQ(got.max, want.max);
    expectNear(got.mean, want.mean, "mean");
    expectNear(got.rms, want.rms, "rms");
    expectNear(got.integral, want.integral, "integral");
  };
  compare(-1, end + 1);                // everything
  compare(end * 0.5 - 0.1, end * 0.5);  // across the halves' border
  compare(0.25, 0.75);                 // in the first half only
  compare(end - 3, end * 0.75);        // in the second half only, cursors swapped
  compare(end + 1, end + 2);           // nothing
  EXPECT_EQ(cursorStats(xs, ys, 1.0, 2.0).y1, ys[4]);

  // A step back in the second half, far from the cursors: the general path takes over and
  // still finds the same points.
  Xs unordered = xs;
  std::swap(unordered[n - 10], unordered[n - 9]);
  const CursorStats general = cursorStats(unordered, ys, 0.25, 0.75);
  EXPECT_EQ(general.count, 3u);
  Xs withNan = ys;
  withNan[n - 5] = kNan;
  const CursorStats skipping = cursorStats(xs, withNan, -1, end + 1);
  EXPECT_EQ(skipping.count, n - 1);
  EXPECT_EQ(skipping.min, referenceStats(xs, withNan, -1, end + 1).min);
}

TEST(CursorUnits, FromTheAxisTitles) {
  const struct {
    const char* title;
    const char* unit;
  } titles[] = {{"t, нс", "нс"},
                {"U, кВ", "кВ"},
                {"f, МГц", "МГц"},
                {"Е, В/м", "В/м"},
                {"I,А", "А"},
                {"a, b, c ", "c"},
                {"Спектральная плотность", ""},
                {"t,", ""},
                {"", ""}};
  for (const auto& t : titles) {
    EXPECT_EQ(axisTitleUnit(t.title), t.unit) << t.title;
  }
  const std::vector<std::string> units = cursorFieldUnits("нс", "В");
  const std::vector<std::string> want = {"нс", "нс", "нс", "1/нс", "В", "В", "В",
                                         "",   "В",  "В",  "В",    "В", "В", "В·нс"};
  EXPECT_EQ(units, want);
  // One unit unknown: the fields of the other keep theirs, the integral has none.
  const std::vector<std::string> onlyX = cursorFieldUnits("мкс", "");
  EXPECT_EQ(onlyX[3], "1/мкс");
  EXPECT_EQ(onlyX[4], "");
  EXPECT_EQ(onlyX[13], "");
  EXPECT_EQ(cursorFieldUnits("", "В")[0], "");
  EXPECT_EQ(cursorFieldUnits("", "В")[3], "");
}

}  // namespace
}  // namespace tarvik
