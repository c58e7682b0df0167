#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "core/Error.h"
#include "spectral/Convolution.h"
#include "spectral/InverseSums.h"
#include "spectral/ReferenceSums.h"
#include "spectral/SpectrumCommand.h"
#include "support/ScriptedUi.h"

namespace tarvik::spectral {
namespace {

using testing::ScriptedUi;

struct Spectrum {
  std::vector<double> amplitude, frequencies, phases;
};

Spectrum randomSpectrum(std::size_t k, double f0, double df, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> amp(0, 1e-7), ph(-3.14, 3.14);
  Spectrum s;
  for (std::size_t i = 0; i < k; ++i) {
    s.amplitude.push_back(amp(gen));
    s.frequencies.push_back(f0 + static_cast<double>(i) * df);
    s.phases.push_back(ph(gen));
  }
  return s;
}

std::vector<double> fastInverseSums(const Spectrum& s, double tmin, double dt, int n,
                                    double dOmega) {
  std::vector<double> out;
  PercentProgress progress(n, [](int) {});
  const bool done = inverseSpectrumSums(
      {s.amplitude, s.frequencies, s.phases}, tmin, dt, n, dOmega, progress, [] { return false; },
      [&](std::int64_t p, double v) {
        EXPECT_EQ(p, static_cast<std::int64_t>(out.size()));
        out.push_back(v);
      });
  EXPECT_TRUE(done);
  return out;
}

TEST(InverseSpectrumSums, MatchTheTermByTermSumOnManySizes) {
  const struct {
    std::size_t k;
    int n;
    double f0, tmin;
  } cases[] = {{2, 0, 0, 0},       {3, 1, 0, 1e-8},      {17, 10, 1e6, 0}, {101, 257, 0, -2e-7},
               {1009, 1000, 0, 0}, {997, 31, 3e7, 5e-8}, {4099, 3, 0, 0}};
  for (const auto& c : cases) {
    const double df = 1e6;
    Spectrum s = randomSpectrum(c.k, c.f0, df, static_cast<unsigned>(c.k));
    const double dt = 1e-6 / std::max(c.n, 1), dOmega = 2 * M_PI * df;
    const auto fast = fastInverseSums(s, c.tmin, dt, c.n, dOmega);
    const auto ref =
        testing::referenceInverse(s.amplitude, s.frequencies, s.phases, c.tmin, dt, c.n, dOmega);
    ASSERT_EQ(fast.size(), ref.size());
    double bound = 0;
    for (double a : s.amplitude) {
      bound += a * dOmega / M_PI;
    }
    for (std::size_t p = 0; p < ref.size(); ++p) {
      ASSERT_NEAR(fast[p], ref[p], 1e-10 * bound) << "k=" << c.k << " p=" << p;
    }
  }
}

TEST(InverseSpectrumSums, UnevenGridIsSummedTermByTerm) {
  Spectrum s = randomSpectrum(50, 0, 1e6, 4);
  s.frequencies[20] += 3e5;
  const auto fast = fastInverseSums(s, 0, 1e-8, 100, 1.0);
  const auto ref =
      testing::referenceInverse(s.amplitude, s.frequencies, s.phases, 0, 1e-8, 100, 1.0);
  for (std::size_t p = 0; p < ref.size(); ++p) {
    ASSERT_NEAR(fast[p], ref[p], 1e-12);
  }
}

// A grid that is off the straight line by more than the fast form tolerates (a phase slip
// of 2π·δ·|t| above 1e-11 rad at the latest time) is summed term by term, exactly.
TEST(InverseSpectrumSums, NearlyEvenGridBeyondTheToleranceIsSummedTermByTerm) {
  const struct {
    double shiftHz, tmin;
  } cases[] = {{2e-4, 0}, {2e-4, -1e-6}, {2e-6, 5e-5}};  // slips of 1.3e-9 … 6e-10 rad
  for (const auto& c : cases) {
    Spectrum s = randomSpectrum(64, 0, 1e6, 9);
    s.amplitude[20] = 1;
    s.frequencies[20] += c.shiftHz;
    const auto fast = fastInverseSums(s, c.tmin, 1e-8, 100, 1.0);
    const auto ref =
        testing::referenceInverse(s.amplitude, s.frequencies, s.phases, c.tmin, 1e-8, 100, 1.0);
    ASSERT_EQ(fast.size(), ref.size());
    for (std::size_t p = 0; p < ref.size(); ++p) {
      ASSERT_NEAR(fast[p], ref[p], 1e-13) << c.shiftHz << " " << c.tmin << " p=" << p;
    }
  }
}

TEST(InverseSpectrumSums, ZeroFrequencyCountsHalf) {
  Spectrum s{{2.0}, {0.0}, {0.0}};
  const auto out = fastInverseSums(s, 0, 1, 2, M_PI);
  for (double v : out) {
    EXPECT_DOUBLE_EQ(v, 1.0);  // (2/2)·cos(0)·π/π
  }
}

class InverseCommandTest : public ::testing::Test {
 protected:
  void addSpectrum(std::size_t k, double df) {
    Graph a, p;
    for (std::size_t i = 0; i < k; ++i) {
      a.appendPoint(static_cast<double>(i) * df, 1e-8);
      p.appendPoint(static_cast<double>(i) * df, 0.1);
    }
    store.attachGraph(std::move(a), "a");
    store.attachGraph(std::move(p), "p");
    store.setActiveIndex(0);
  }
  void run(InverseSpectrumOptions o) {
    ui.options = [o](DialogOptions& d) {
      EXPECT_EQ(d.dialogName(), "TfmBackSpectr");
      static_cast<InverseSpectrumOptions&>(d) = o;
      return true;
    };
    CommandContext ctx{store, ui};
    inverseSpectrumCommand(ctx);
  }
  GraphStore store;
  ScriptedUi ui;
};

TEST_F(InverseCommandTest, DefaultsWithMegahertzStepShortenTheTime) {
  addSpectrum(100, 1e6);
  run({});
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::Info);
  EXPECT_EQ(ui.messages[0].text,
            "Шаг по частоте 1000000 Гц велик, поэтому время сигнала уменьшается до 1E-6 c");
  ASSERT_EQ(store.count(), 3u);
  const Graph& r = store.graph(2);
  EXPECT_EQ(r.title, " Восстановленный из спектра сигнал");
  EXPECT_EQ(store.sourceFile(2), "Без имени-1");
  ASSERT_EQ(r.size(), 257u);
  EXPECT_DOUBLE_EQ(r.x(256), 256 * (1e-6 / 256) * 1e9);
  EXPECT_EQ(store.activeIndex(), 0);
  EXPECT_EQ(ui.progressTexts.back(), "Обратное преобразование Фурье - 100 %");
}

TEST_F(InverseCommandTest, DeleteRemovesBothSpectra) {
  addSpectrum(10, 1e3);
  InverseSpectrumOptions o;
  o.deleteSpectra = true;
  o.nPoint = "4";
  run(o);
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.graph(0).size(), 5u);
  EXPECT_EQ(store.activeIndex(), 0);
}

TEST_F(InverseCommandTest, RefusesWhatCannotBeSummed) {
  // No active graph.
  run({});
  EXPECT_EQ(ui.errors(), std::vector<std::string>{kNoActiveGraph});
  // One graph only.
  ui.messages.clear();
  store.attachGraph(Graph(), "x");
  store.setActiveIndex(0);
  run({});
  EXPECT_EQ(ui.errors(), std::vector<std::string>{kNeedTwoSpectrumGraphs});
  // A phase graph of one point, then a point count of 0.
  ui.messages.clear();
  Graph p;
  p.appendPoint(0, 0);
  store.attachGraph(std::move(p), "p");
  run({});
  EXPECT_EQ(ui.errors(), std::vector<std::string>{kPhaseGraphTooShort});
  store.graph(1).appendPoint(1, 0);
  ui.messages.clear();
  InverseSpectrumOptions zero;
  zero.nPoint = "0";
  run(zero);
  EXPECT_EQ(ui.errors(), std::vector<std::string>{kBadPointCount});
  EXPECT_EQ(store.count(), 2u);
  InverseSpectrumOptions bad;
  bad.tMax = "один";
  EXPECT_THROW(run(bad), ConvertError);
  EXPECT_EQ(store.count(), 2u);
}

TEST(Convolution, UnitStepResponseReturnsTheSignalChanges) {
  const std::vector<double> xs = {0, 1, 2.5, 3, 7}, ys = {2, 3, -1, 4, 4.5};
  const std::vector<double> xh = {0, 100}, yh = {1, 1};
  const auto out = duhamelConvolution(xs, ys, xh, yh);
  ASSERT_EQ(out.size(), 4u);
  for (std::size_t k = 1; k < xs.size(); ++k) {
    EXPECT_DOUBLE_EQ(out[k - 1], ys[k] - ys[0]);
  }
}

// Interval ends: each knot starts the interval to its right, a repeated X is a jump taken
// at its later value, the last knot gives its own value and anything outside gives 0.
TEST(Convolution, StepResponseAtKnotsAndEnds) {
  const std::vector<double> xh = {0, 1, 1, 2, 4}, yh = {1, 2, 5, 6, 8};
  const double below = -std::numeric_limits<double>::denorm_min();
  const double beyond = std::nextafter(4.0, 5.0);
  const struct {
    double tau, value;
  } cases[] = {{below, 0}, {0, 1}, {0.5, 1.5}, {1, 5}, {2, 6}, {3, 7}, {4, 8}, {beyond, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(stepResponseAt(xh, yh, c.tau), c.value) << c.tau;
  }
  // X not ascending: the first interval from the start that holds τ, else the last value.
  const std::vector<double> xu = {0, 2, 1, 3}, yu = {0, 2, 10, 30};
  const struct {
    double tau, value;
  } unordered[] = {{1.5, 1.5}, {2, 20}, {2.5, 25}, {3, 30}, {-1, 0}, {3.5, 0}};
  for (const auto& c : unordered) {
    EXPECT_EQ(stepResponseAt(xu, yu, c.tau), c.value) << c.tau;
  }
  // A unit step at the signal's second point reads the response at whole knots.
  const std::vector<double> xs = {0, 1, 2, 3, 4, 5}, ys = {0, 1, 1, 1, 1, 1};
  EXPECT_EQ(duhamelConvolution(xs, ys, xh, yh), (std::vector<double>{1, 5, 6, 7, 8}));
}

TEST(Convolution, MatchesTheScanningSumOnRandomGrids) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> step(0.1, 2), val(-1, 1);
  for (std::size_t m : {1u, 2u, 3u, 17u, 200u}) {
    for (std::size_t r : {0u, 1u, 2u, 5u, 64u}) {
      std::vector<double> xs, ys, xh, yh;
      double x = 0;
      for (std::size_t i = 0; i < m; ++i) {
        xs.push_back(x += step(gen));
        ys.push_back(val(gen));
      }
      x = -1;
      for (std::size_t i = 0; i < r; ++i) {
        xh.push_back(x += step(gen) * (i % 7 == 3 ? 0 : 1));  // some equal X
        yh.push_back(val(gen));
      }
      const auto fast = duhamelConvolution(xs, ys, xh, yh);
      const auto ref = testing::referenceConvolution(xs, ys, xh, yh);
      ASSERT_EQ(fast, ref) << m << " " << r;
      std::reverse(xh.begin(), xh.end());  // not ascending: the scan defines the interval
      ASSERT_EQ(duhamelConvolution(xs, ys, xh, yh), testing::referenceConvolution(xs, ys, xh, yh));
    }
  }
}

TEST(Convolution, CommandAppendsTitledResultWithoutChangingTheActiveGraph) {
  GraphStore store;
  Graph s, h;
  s.title = "Сигнал";
  for (double x : {0.0, 1.0, 2.0, 3.0}) {
    s.appendPoint(x, x >= 1 ? 1 : 0);  // a step at Xs[1]
    h.appendPoint(x, x * x);
  }
  store.attachGraph(std::move(s), "s");
  store.attachGraph(std::move(h), "h");
  store.setActiveIndex(1);
  ScriptedUi ui;
  ui.selections = {std::vector<int>{0}, std::vector<int>{1}};
  CommandContext ctx{store, ui};
  convolutionCommand(ctx);
  ASSERT_EQ(ui.choiceRequests.size(), 2u);
  EXPECT_EQ(ui.choiceRequests[0].caption, "Выбрать график для преобразования через ПХ");
  EXPECT_EQ(ui.choiceRequests[1].caption, "Выбрать график ПХ");
  ASSERT_EQ(store.count(), 3u);
  const Graph& r = store.graph(2);
  EXPECT_EQ(r.title, "Сигнал (Свертка)");
  EXPECT_EQ(store.activeIndex(), 1);
  // The step response shifted to Xs[1]: H(x − 1) at x = 1, 2, 3.
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r.x(0), 1.0);
  EXPECT_EQ(r.y(0), 0.0);
  EXPECT_EQ(r.y(1), 1.0);
  EXPECT_EQ(r.y(2), 4.0);
  // Cancelling the second selection makes nothing.
  ui.selections = {std::vector<int>{0}, std::nullopt};
  convolutionCommand(ctx);
  EXPECT_EQ(store.count(), 3u);
}

}  // namespace
}  // namespace tarvik::spectral
