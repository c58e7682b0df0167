// The derivative, the sum and product on a common grid and the RC transforms on long and
// awkward inputs, against straightforward forms of the same arithmetic kept here: the
// derivative and the combinations must give the same bits, RC the same values to 1e-15.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "core/Graph.h"
#include "transforms/Calculus.h"
#include "transforms/Resample.h"
#include "transforms/SumProduct.h"

namespace tarvik {
namespace {

// ---- Straightforward forms: one loop each, every exponential from the library. ----

std::optional<std::size_t> plainDerivative(std::vector<double>& xs, std::vector<double>& ys) {
  const std::size_t n = xs.size();
  if (n < 2) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const double dx = xs[i + 1] - xs[i];
    if (dx == 0 || !std::isfinite((ys[i + 1] - ys[i]) / dx)) {
      return i;
    }
  }
  for (std::size_t i = 0; i + 1 < n; ++i) {
    ys[i] = (ys[i + 1] - ys[i]) / (xs[i + 1] - xs[i]);
    xs[i] = (xs[i] + xs[i + 1]) / 2;
  }
  return std::nullopt;
}

long double plainDecay(double previousX, double x, double tau) {
  const long double dxNs = static_cast<long double>(x) - previousX;
  return std::exp(-dxNs * 1e-9L / static_cast<long double>(tau));
}

// The differentiated values, and for each point the size of the terms that met in it (the
// decayed previous output and the step), which is what its rounding is relative to.
struct PlainRc {
  std::vector<double> values, scale;
};

PlainRc plainRcDifferentiate(const std::vector<double>& xs, const std::vector<double>& ys,
                             double tau) {
  PlainRc r{ys, std::vector<double>(ys.size())};
  long double out = 0, previousIn = 0;
  for (std::size_t i = 0; i < ys.size(); ++i) {
    const long double in = ys[i];
    const long double step = in - previousIn;
    const long double carried = i == 0 ? 0 : out * plainDecay(xs[i - 1], xs[i], tau);
    out = carried + step;
    previousIn = in;
    r.values[i] = static_cast<double>(out);
    r.scale[i] = static_cast<double>(std::fabs(carried) + std::fabs(step));
  }
  return r;
}

PlainRc plainRcIntegrate(const std::vector<double>& xs, const std::vector<double>& ys, double tau) {
  PlainRc r{ys, std::vector<double>(ys.size())};
  long double in = 0, previousOut = 0;
  for (std::size_t i = 0; i < ys.size(); ++i) {
    const long double out = ys[i];
    const long double removed = i == 0 ? 0 : previousOut * plainDecay(xs[i - 1], xs[i], tau);
    const long double before = in;
    in += out - removed;
    previousOut = out;
    r.values[i] = static_cast<double>(in);
    r.scale[i] = static_cast<double>(std::fabs(before) + std::fabs(out) + std::fabs(removed));
  }
  return r;
}

// Each source resampled in its own pass over the grid, with the resampler's own visitor.
void plainCombine(std::span<const Graph* const> sources, const CommonGrid& grid, Combination how,
                  std::vector<double>& outX, std::vector<double>& outY) {
  const std::size_t n = std::max<std::size_t>(grid.count, 2);
  const double step = gridStep(grid.xmin, grid.xmax, n);
  outX.resize(n);
  for (std::size_t k = 0; k < n; ++k) {
    outX[k] = gridPoint(grid.xmin, step, k);
  }
  outY.assign(n, how == Combination::Sum ? 0.0 : 1.0);
  for (const Graph* g : sources) {
    const AscendingSource source(g->xs(), g->ys());
    forEachResampled(source.xs(), source.ys(), grid.xmin, grid.xmax, n,
                     [&outY, how](std::size_t k, double v) {
                       outY[k] = how == Combination::Sum ? outY[k] + v : v * outY[k];
                     });
  }
}

// ---- Helpers ----

// Same bits, position by position (NaN payloads and signed zeros included).
::testing::AssertionResult sameBits(const std::vector<double>& got,
                                    const std::vector<double>& want) {
  if (got.size() != want.size()) {
    return ::testing::AssertionFailure() << "sizes " << got.size() << " and " << want.size();
  }
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (std::bit_cast<std::uint64_t>(got[i]) != std::bit_cast<std::uint64_t>(want[i])) {
      return ::testing::AssertionFailure()
             << "at " << i << ": " << got[i] << " instead of " << want[i];
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult closeToPlain(const std::vector<double>& got, const PlainRc& want) {
  for (std::size_t i = 0; i < got.size(); ++i) {
    const double tolerance = 1e-15 * std::max(std::fabs(want.values[i]), want.scale[i]);
    if (!(std::fabs(got[i] - want.values[i]) <= tolerance) &&
        !(std::isnan(got[i]) && std::isnan(want.values[i])) && got[i] != want.values[i]) {
      return ::testing::AssertionFailure() << "at " << i << ": " << got[i] << " instead of "
                                           << want.values[i] << " (terms " << want.scale[i] << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

// Steps of every kind: ordinary, tiny, equal, very long (the decay underflows) and, when
// `backwards`, some going back.
std::vector<double> irregularGrid(std::size_t n, std::mt19937_64& random, bool backwards) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> xs(n);
  xs[0] = 1e3 * (unit(random) - 0.5);
  for (std::size_t i = 1; i < n; ++i) {
    const double kind = unit(random);
    double step = 0.05 + unit(random);  // ns; τ is a few ns to a few µs
    if (kind < 0.02) {
      step = 0;
    } else if (kind < 0.04) {
      step = 1e-12 * unit(random);
    } else if (kind < 0.05) {
      step = std::pow(10.0, 3 + 10 * unit(random));  // up to 1e13 ns: e^(−1e12) and beyond
    } else if (backwards && kind < 0.08) {
      step = -step;
    }
    xs[i] = xs[i - 1] + step;
  }
  return xs;
}

std::vector<double> noisySignal(std::size_t n, std::mt19937_64& random) {
  std::normal_distribution<double> noise(0.0, 1.0);
  std::vector<double> ys(n);
  for (std::size_t i = 0; i < n; ++i) {
    ys[i] = std::sin(0.01 * static_cast<double>(i)) + 0.1 * noise(random);
  }
  return ys;
}

// ---- Derivative ----

TEST(StreamingDerivative, SameBitsAsThePlainLoopAroundBlockEdges) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (const std::size_t n : {2u, 3u, 1023u, 1024u, 1025u, 1026u, 2049u, 50'000u}) {
    std::vector<double> xs(n), ys(n);
    double x = -5;
    for (std::size_t i = 0; i < n; ++i) {
      x += 1e-3 + std::fabs(unit(random));
      xs[i] = x;
      ys[i] = 1e3 * unit(random);
    }
    std::vector<double> wantX = xs, wantY = ys;
    ASSERT_EQ(plainDerivative(wantX, wantY), std::nullopt);
    EXPECT_EQ(forwardDerivative(xs, ys), std::nullopt);
    EXPECT_TRUE(sameBits(xs, wantX)) << n << " points";
    EXPECT_TRUE(sameBits(ys, wantY)) << n << " points";
  }
}

// A fault anywhere (first interval, last, at and across block edges; equal X, an infinite
// or NaN quotient) is reported at its first place and leaves both arrays untouched.
TEST(StreamingDerivative, FirstFaultReportedAndNothingChanged) {
  const std::size_t n = 5000;
  std::vector<double> xs(n), ys(n);
  for (std::size_t i = 0; i < n; ++i) {
    xs[i] = 0.5 * static_cast<double>(i);
    ys[i] = std::cos(0.1 * static_cast<double>(i));
  }
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const std::size_t at : {0u, 1u, 1022u, 1023u, 1024u, 2047u, 4998u}) {
    for (int kind = 0; kind < 3; ++kind) {
      std::vector<double> fx = xs, fy = ys;
      if (kind == 0) {
        fx[at + 1] = fx[at];
      } else if (kind == 1) {
        fy[at + 1] = inf;
      } else {
        fy[at + 1] = nan;
      }
      // A second fault later: the first one is the one reported.
      fx[n - 1] = fx[n - 2];
      const std::vector<double> keptX = fx, keptY = fy;
      EXPECT_EQ(forwardDerivative(fx, fy), std::optional<std::size_t>(at)) << at << "/" << kind;
      EXPECT_TRUE(sameBits(fx, keptX));
      EXPECT_TRUE(sameBits(fy, keptY));
    }
  }
}

// ---- Sum and product ----

Graph graphOf(std::vector<double> xs, std::vector<double> ys) {
  Graph g;
  g.setPoints(std::move(xs), std::move(ys));
  return g;
}

// Sources of every shape on grids long enough for both cores: overlapping and disjoint
// ranges, repeated X (zero-width intervals), unsorted X with NaN, one point, none; the
// combination must be the plain one bit for bit.
TEST(StreamingSumProduct, SameBitsAsOneSourceAtATime) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int round = 0; round < 6; ++round) {
    const std::size_t n = round < 3 ? 300'000 : 1 + static_cast<std::size_t>(2000 * unit(random));
    std::vector<Graph> graphs;
    // A uniform record and an uneven one shifted against it.
    std::vector<double> ax(n), ay(n), bx(n), by(n);
    double x = 0;
    for (std::size_t i = 0; i < n; ++i) {
      ax[i] = 0.1 * static_cast<double>(i);
      ay[i] = std::sin(0.003 * static_cast<double>(i)) + 0.01 * unit(random);
      x += unit(random) < 0.1 ? 0 : 0.2 * unit(random);  // some repeated X
      bx[i] = 1234.5 + x;
      by[i] = unit(random) - 0.5;
    }
    graphs.push_back(graphOf(ax, ay));
    graphs.push_back(graphOf(bx, by));
    // Unsorted with a NaN X, a single point and an empty graph.
    std::vector<double> cx = bx, cy = by;
    std::shuffle(cx.begin(), cx.end(), random);
    cx[n / 2] = std::numeric_limits<double>::quiet_NaN();
    graphs.push_back(graphOf(cx, cy));
    graphs.push_back(graphOf({5.0}, {2.0}));
    graphs.push_back(Graph{});
    std::vector<const Graph*> sources;
    for (const Graph& g : graphs) {
      sources.push_back(&g);
    }
    for (const Combination how : {Combination::Sum, Combination::Product}) {
      const CommonGrid grid = commonGrid(sources, -50.0, 100.0);
      std::vector<double> gotX, gotY, wantX, wantY;
      combineOnGrid(sources, grid, how, gotX, gotY);
      plainCombine(sources, grid, how, wantX, wantY);
      EXPECT_TRUE(sameBits(gotX, wantX)) << "round " << round;
      EXPECT_TRUE(sameBits(gotY, wantY)) << "round " << round;
      // Reused output vectors (longer than needed) give the same again.
      gotY.assign(gotY.size() + 10, -1.0);
      gotX.assign(gotX.size() + 10, -1.0);
      gotX.resize(3);
      combineOnGrid(sources, grid, how, gotX, gotY);
      EXPECT_TRUE(sameBits(gotY, wantY)) << "round " << round << ", reused";
    }
  }
}

// Grids cut into many pieces for the two cores against sources far denser than the grid
// (many source points between two grid points, some intervals of zero length) and far
// sparser (long runs of grid points in one interval), starting and ending inside the grid:
// the plain combination, bit for bit.
TEST(StreamingSumProduct, DenseAndSparseSourcesAcrossPieces) {
  std::mt19937_64 random(29);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const std::size_t dense = 1'500'000;
  std::vector<double> dx(dense), dy(dense);
  double x = 3.25;
  for (std::size_t i = 0; i < dense; ++i) {
    x += unit(random) < 0.05 ? 0 : 1e-4 * unit(random);
    dx[i] = x;
    dy[i] = std::cos(1e-3 * static_cast<double>(i)) * (1 + 1e-3 * unit(random));
  }
  std::vector<double> sx, sy;
  for (double at = -20; at < 90; at += 7.5 + unit(random)) {
    sx.push_back(at);
    sy.push_back(unit(random) - 0.5);
  }
  const Graph denseGraph = graphOf(dx, dy);
  const Graph sparseGraph = graphOf(sx, sy);
  const Graph* sources[] = {&denseGraph, &sparseGraph};
  for (const std::size_t count : {70'000u, 262'147u, 600'001u}) {
    for (const Combination how : {Combination::Sum, Combination::Product}) {
      const CommonGrid grid{-30.0, 100.0, count};
      std::vector<double> gotX, gotY, wantX, wantY;
      combineOnGrid(sources, grid, how, gotX, gotY);
      plainCombine(sources, grid, how, wantX, wantY);
      EXPECT_TRUE(sameBits(gotX, wantX)) << count << " points";
      EXPECT_TRUE(sameBits(gotY, wantY)) << count << " points";
    }
  }
}

// A source whose X ascends but for one point out of place or one NaN anywhere — at either end,
// inside the grid or beyond it, where no grid point reads it — is combined from its sorted copy, as
// the plain combination does: the check of the graph's own arrays on the way misses no pair.
TEST(StreamingSumProduct, OneStepBackAnywhereIsFound) {
  const std::size_t m = 200'000;
  std::vector<double> xs(m), ys(m);
  for (std::size_t i = 0; i < m; ++i) {
    xs[i] = 0.1 * static_cast<double>(i);
    ys[i] = std::sin(0.001 * static_cast<double>(i));
  }
  const Graph other = graphOf({-5.0, 30'000.0}, {1.0, 2.0});
  std::mt19937_64 random(31);
  std::vector<std::size_t> places = {1, 2, m / 2, m - 2, m - 1};
  for (int i = 0; i < 10; ++i) {
    places.push_back(1 + random() % (m - 1));
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const std::size_t at : places) {
    for (int kind = 0; kind < 2; ++kind) {
      std::vector<double> bad = xs;
      if (kind == 0) {
        // A point out of place that the sorted copy moves into the narrow grid below.
        bad[at] = 10'000.03;
        if (bad[at] >= bad[at - 1] && (at + 1 == m || bad[at + 1] >= bad[at])) {
          continue;
        }
      } else {
        bad[at] = nan;
      }
      const Graph g = graphOf(bad, ys);
      const Graph* sources[] = {&other, &g};
      // The whole range, and a narrow grid inside the source's range.
      for (const CommonGrid grid :
           {CommonGrid{-5.0, 30'000.0, 300'001}, CommonGrid{9'000.0, 11'000.0, 150'000}}) {
        std::vector<double> gotX, gotY, wantX, wantY;
        combineOnGrid(sources, grid, Combination::Sum, gotX, gotY);
        plainCombine(sources, grid, Combination::Sum, wantX, wantY);
        EXPECT_TRUE(sameBits(gotY, wantY)) << "at " << at << ", kind " << kind;
      }
    }
  }
  // Every place of a short source under a long grid (many grid points to an interval, and
  // the grid's pieces end at every kind of place in the source).
  const std::size_t shortM = 800;
  const std::vector<double> shortX(xs.begin(), xs.begin() + shortM);
  const std::vector<double> shortY(ys.begin(), ys.begin() + shortM);
  const CommonGrid grid{0.0, shortX.back(), 50'001};
  for (std::size_t at = 1; at < shortM; ++at) {
    std::vector<double> bad = shortX;
    bad[at] = bad[at - 1] - 0.05;
    const Graph g = graphOf(bad, shortY);
    const Graph* sources[] = {&g};
    std::vector<double> gotX, gotY, wantX, wantY;
    combineOnGrid(sources, grid, Combination::Sum, gotX, gotY);
    plainCombine(sources, grid, Combination::Sum, wantX, wantY);
    ASSERT_TRUE(sameBits(gotY, wantY)) << "at " << at;
  }
}

// The grid's range from ascending sources is their first X and the graph's own largest X,
// also where a source's ends are zeros of either sign (the graph's search keeps the first of
// equal values, so a run of zeros at the end gives the sign of its first).
TEST(StreamingSumProduct, GridRangeFromZeroEndsAsTheGraphFindsIt) {
  const std::vector<std::vector<double>> records = {{0.0, -0.0, 1.0, 2.0}, {-0.0, 0.0, 0.0},
                                                    {-3.0, -0.0, 0.0},     {-3.0, 0.0, -0.0, -0.0},
                                                    {-2.0, -1.0, 0.0},     {0.0, 5.0, 5.0}};
  for (const std::vector<double>& xs : records) {
    const Graph g = graphOf(xs, std::vector<double>(xs.size(), 1.0));
    const Graph* sources[] = {&g};
    const CommonGrid grid = commonGrid(sources, -10.0, 10.0);  // starts crosswise: no limit
    EXPECT_TRUE(sameBits({grid.xmin, grid.xmax}, {g.minX(), g.maxX()}))
        << xs.front() << " … " << xs.back();
  }
}

// A grid that does not ascend (a NaN or crosswise range) is combined the plain way.
TEST(StreamingSumProduct, NonAscendingGridsMatch) {
  std::vector<double> xs(100'000), ys(100'000);
  for (std::size_t i = 0; i < xs.size(); ++i) {
    xs[i] = static_cast<double>(i);
    ys[i] = 1.0 / (1.0 + static_cast<double>(i));
  }
  const Graph g = graphOf(xs, ys);
  const Graph* sources[] = {&g};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const CommonGrid grid : {CommonGrid{99'000.0, 10.0, 200'000}, CommonGrid{nan, 10.0, 70'000},
                                CommonGrid{5.0, 5.0, 100'000}}) {
    std::vector<double> gotX, gotY, wantX, wantY;
    combineOnGrid(sources, grid, Combination::Sum, gotX, gotY);
    plainCombine(sources, grid, Combination::Sum, wantX, wantY);
    EXPECT_TRUE(sameBits(gotX, wantX));
    EXPECT_TRUE(sameBits(gotY, wantY));
  }
}

// ---- RC ----

// Many irregular grids, long enough for the blocked exponentials, with extreme steps:
// within 1e-15 of the plain recursion, relative to the terms that met in each point.
TEST(StreamingRc, IrregularGridsMatchThePlainRecursion) {
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int round = 0; round < 12; ++round) {
    const bool backwards = round % 3 == 2;
    const std::size_t n = round < 4 ? 200'000 : 1 + static_cast<std::size_t>(40'000 * unit(random));
    const std::vector<double> xs = irregularGrid(n, random, backwards);
    const std::vector<double> ys = noisySignal(n, random);
    const double tau = std::pow(10.0, -9.5 + 4 * unit(random));  // 0.3 ns … 3 µs
    std::vector<double> diff = ys, integ = ys;
    rcDifferentiate(xs, diff, tau);
    rcIntegrate(xs, integ, tau);
    EXPECT_TRUE(closeToPlain(diff, plainRcDifferentiate(xs, ys, tau)))
        << "round " << round << ", τ " << tau;
    EXPECT_TRUE(closeToPlain(integ, plainRcIntegrate(xs, ys, tau)))
        << "round " << round << ", τ " << tau;
  }
}

// τ of 1 ms and 50 µs on a million steps of 0.1 ns that all differ (every factor comes
// from its own exponential, ahead on both cores): the carried state hardly decays across
// the record, so it carries the rounding of every factor and step. A large level with a
// slow ripple keeps the output far from zero, where a bound relative to the point's own
// terms measures the carried state's drift. Within 1e-15 of the plain recursion, relative
// to the terms.
TEST(StreamingRc, LongTauOnTinyDistinctStepsStaysWithinTheBound) {
  constexpr std::size_t kPoints = 1'000'003;
  std::vector<double> xs(kPoints);
  xs[0] = 2.5;
  for (std::size_t i = 1; i < kPoints; ++i) {
    xs[i] = xs[i - 1] + 0.1 + 1e-9 * static_cast<double>(i % 9973);
  }
  std::vector<double> ys(kPoints);
  for (std::size_t i = 0; i < kPoints; ++i) {
    ys[i] = 3.0 + 1e-3 * std::sin(1e-4 * static_cast<double>(i));
  }
  for (const double tau : {1e-3, 5e-5}) {
    std::vector<double> diff = ys;
    rcDifferentiate(xs, diff, tau);
    EXPECT_TRUE(closeToPlain(diff, plainRcDifferentiate(xs, ys, tau))) << "τ " << tau;
  }
}

// Samples at X = 1e6 + k·0.1 ns: the steps are 0.1 give or take a unit of 1e6, a handful of
// nearly equal values that the table of recent factors must keep apart. The same section is
// run once after a prefix of repeating steps (the table serves it) and once after a prefix of
// steps that never repeat (every factor then comes from its own exponential); a flat zero
// prefix leaves no trace in the recursion, so the sections must agree bit for bit.
TEST(StreamingRc, RepeatedStepsNearAMillionTakeTheirOwnFactorsFromTheTable) {
  constexpr std::size_t kPrefix = 4097;  // the first block's probe and one point more
  constexpr std::size_t kSection = 60'000;
  const double joint = 1e6 - 1;  // the prefixes end here
  std::vector<double> repeating(kPrefix), distinct(kPrefix);
  std::mt19937_64 random(21);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  double x = joint;
  for (std::size_t i = kPrefix; i-- > 0;) {
    repeating[i] = joint - static_cast<double>(kPrefix - 1 - i);  // steps of exactly 1
    distinct[i] = x;
    x -= 0.5 + unit(random);
  }
  std::vector<double> section(kSection);
  std::set<double> steps;
  for (std::size_t k = 0; k < kSection; ++k) {
    section[k] = 1e6 + static_cast<double>(k) * 0.1;
    if (k > 0) {
      steps.insert(section[k] - section[k - 1]);
    }
  }
  ASSERT_GE(steps.size(), 2u);  // the steps differ in their last bits
  std::vector<double> ys(kPrefix, 0.0);
  const std::vector<double> signal = noisySignal(kSection, random);
  ys.insert(ys.end(), signal.begin(), signal.end());
  for (const double tau : {1e-9, 3.3e-8}) {
    std::vector<double> results[2];
    for (int pass = 0; pass < 2; ++pass) {
      std::vector<double> xs = pass == 0 ? repeating : distinct;
      xs.insert(xs.end(), section.begin(), section.end());
      results[pass] = ys;
      rcDifferentiate(xs, results[pass], tau);
    }
    EXPECT_TRUE(sameBits(results[0], results[1])) << "τ " << tau;
    EXPECT_NE(results[0].back(), ys.back());  // the section did change
  }
}

// X = 1e6 + k·0.1: the steps are 0.1 give or take a unit of X's last place, a few distinct
// lengths that the table of recent steps serves. The result must be the recursion with every
// factor computed afresh, bit for bit; the tail has steps that never repeat (computed ahead
// on two cores), and a block boundary falls inside each part.
TEST(StreamingRc, DecayTableGivesTheBitsOfAFreshExponential) {
  constexpr std::size_t kRegular = 600'000, kIrregular = 300'000;
  std::vector<double> xs(kRegular + kIrregular);
  for (std::size_t k = 0; k < kRegular; ++k) {
    xs[k] = 1e6 + static_cast<double>(k) * 0.1;
  }
  std::mt19937_64 random(17);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (std::size_t k = kRegular; k < xs.size(); ++k) {
    xs[k] = xs[k - 1] + 0.05 + 0.1 * unit(random);
  }
  std::vector<long double> distinct;
  for (std::size_t k = 1; k < kRegular; ++k) {
    const long double dx = static_cast<long double>(xs[k]) - xs[k - 1];
    if (std::find(distinct.begin(), distinct.end(), dx) == distinct.end()) {
      distinct.push_back(dx);
    }
  }
  ASSERT_GT(distinct.size(), 1u);  // the steps do differ in their last bits …
  ASSERT_LE(distinct.size(), 8u);  // … among a few lengths
  const std::vector<double> ys = noisySignal(xs.size(), random);
  for (const double tau : {1e-9, 15e-9, 2e-6}) {
    std::vector<double> wantDiff = ys, wantInteg = ys;
    long double out = ys[0], previousIn = ys[0];
    long double in = 0.0L + ys[0], previousOut = in;
    wantInteg[0] = static_cast<double>(in);
    for (std::size_t i = 1; i < ys.size(); ++i) {
      const long double decay = rcDecayFactor(xs[i - 1], xs[i], tau);
      const long double y = ys[i];
      out = out * decay + (y - previousIn);
      previousIn = y;
      wantDiff[i] = static_cast<double>(out);
      in += y - previousOut * decay;
      previousOut = y;
      wantInteg[i] = static_cast<double>(in);
    }
    std::vector<double> diff = ys, integ = ys;
    rcDifferentiate(xs, diff, tau);
    rcIntegrate(xs, integ, tau);
    EXPECT_TRUE(sameBits(diff, wantDiff)) << "τ " << tau;
    EXPECT_TRUE(sameBits(integ, wantInteg)) << "τ " << tau;
  }
}

// A lone decay, e^(−Δx/τ) for Δx/τ over the whole range the exponential meets (and
// beyond, where it underflows to 0), rounded to double: within one unit of the library's.
TEST(StreamingRc, DecayFactorWithinOneUnitOfTheLibrary) {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double tau = 1e-9;  // Δx in ns is then Δx/τ
  for (int i = 0; i < 20'000; ++i) {
    const double ratio = i < 10'000 ? 720 * unit(random) : std::pow(10.0, 6 * unit(random) - 3);
    const std::vector<double> xs = {0.0, 1.0, 1.0 + ratio};
    std::vector<double> ys = {0.0, 1.0, 1.0};
    rcDifferentiate(xs, ys, tau);
    const double want = static_cast<double>(plainDecay(1.0, 1.0 + ratio, tau));
    const double got = ys[2];
    const double ulp = std::nextafter(want, 2.0) - want;  // the wider gap, above
    ASSERT_LE(std::fabs(got - want), ulp) << "Δx/τ = " << ratio;
  }
  // Steps beyond the fast range (the library's exponential of a slightly differently
  // rounded exponent): overflow to infinity, underflow to 0, and one unit at the edge.
  for (const double ratio : {700.0, 1e4, 1e6, -701.0, -1e4}) {
    std::vector<double> ys = {0.0, 1.0, 1.0};
    rcDifferentiate(std::vector<double>{0.0, 1.0, 1.0 + ratio}, ys, tau);
    const double want = static_cast<double>(plainDecay(1.0, 1.0 + ratio, tau));
    EXPECT_TRUE(ys[2] == want || std::fabs(ys[2] - want) <= std::nextafter(want, 2.0) - want)
        << ratio << ": " << ys[2] << " instead of " << want;
  }
}

}  // namespace
}  // namespace tarvik
