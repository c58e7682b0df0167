#include <gtest/gtest.h>

#include <cmath>

#include "spectral/Impedance.h"
#include "spectral/ReferenceSums.h"
#include "spectral/SpectrumCommand.h"
#include "spectral/UniformResample.h"
#include "support/ScriptedUi.h"

namespace tarvik::spectral {
namespace {

using testing::ScriptedUi;

Graph wave(double from, double to, std::size_t points, double scale, const std::string& title) {
  Graph g;
  g.title = title;
  for (std::size_t i = 0; i < points; ++i) {
    const double x = from + (to - from) * static_cast<double>(i) / static_cast<double>(points - 1);
    g.appendPoint(x, scale * (std::sin(x / 7) + 0.3 * std::cos(x / 3)));
  }
  return g;
}

class ImpedanceTest : public ::testing::Test {
 protected:
  void add(Graph g) { store.attachGraph(std::move(g), "f" + std::to_string(store.count())); }
  void run(ImpedanceOptions o) {
    ui.options = [this, o](DialogOptions& d) {
      auto& z = static_cast<ImpedanceOptions&>(d);
      shownEntries = z.entries;
      shownRow = z.voltageRow;
      std::vector<std::string> entries = z.entries;
      z = o;
      z.entries = entries;
      return true;
    };
    CommandContext ctx{store, ui};
    impedanceCommand(ctx);
  }
  GraphStore store;
  ScriptedUi ui;
  std::vector<std::string> shownEntries;
  int shownRow = -2;
};

TEST_F(ImpedanceTest, SameGraphGivesUnitImpedanceAndSevenGraphsWithoutDeleting) {
  add(wave(0, 100, 101, 1, "U"));
  store.setActiveIndex(0);
  ImpedanceOptions o;
  o.voltageRow = o.currentRow = 0;
  o.deleteSpectra = false;
  o.freqUnit = 2;
  run(o);
  EXPECT_EQ(shownEntries, std::vector<std::string>{"1. f0: U"});
  EXPECT_EQ(shownRow, 0);
  ASSERT_EQ(store.count(), 8u);
  const std::vector<std::string> titles = {
      "Модуль спектра: U",      "Фаза спектра:U", "Модуль спектра: U", "Фаза спектра:U",
      "Действительная часть Z", "Мнимая часть Z", "Модуль Z"};
  const std::vector<std::string> entries = {"Без имени-Модуль спектра1",
                                            "Без имени-Фаза спектра2",
                                            "Без имени-Модуль спектра3",
                                            "Без имени-Фаза спектра4",
                                            "Без имени Real-5",
                                            "Без имени-Im-6",
                                            "Без имени-Mod-7"};
  for (std::size_t i = 0; i < titles.size(); ++i) {
    EXPECT_EQ(store.graph(i + 1).title, titles[i]);
    EXPECT_EQ(store.sourceFile(i + 1), entries[i]);
  }
  // 100 ns: N = 201 samples, 1000 frequencies written 0 … 999 MHz.
  ASSERT_EQ(store.graph(1).size(), 1000u);
  EXPECT_DOUBLE_EQ(store.graph(1).x(999), 999.0);
  ASSERT_EQ(store.graph(7).size(), 1000u);
  for (std::size_t i = 0; i < 1000; ++i) {
    ASSERT_NEAR(store.graph(5).y(i), 1.0, 1e-12);
    ASSERT_NEAR(store.graph(6).y(i), 0.0, 1e-12);
    ASSERT_NEAR(store.graph(7).y(i), 1.0, 1e-12);
  }
  EXPECT_TRUE(store.stopRequest);
}

TEST_F(ImpedanceTest, ScaledVoltageGivesItsFactorAndSpectraAreRelativeToZeroTime) {
  add(wave(30, 130, 251, 50, "U"));
  add(wave(30, 130, 251, 1, "I"));
  ImpedanceOptions o;
  o.voltageRow = 0;
  o.currentRow = 1;
  o.deleteSpectra = true;
  o.fMax = "5e8";
  o.dF = "1e7";
  run(o);
  ASSERT_EQ(store.count(), 5u);
  EXPECT_EQ(store.graph(4).title, "Модуль Z");
  for (std::size_t i = 0; i < store.graph(4).size(); ++i) {
    // Equal up to the single-precision rounding of the samples.
    ASSERT_NEAR(store.graph(4).y(i), 50.0, 50 * 1e-6);
    ASSERT_NEAR(store.graph(3).y(i), 0.0, 50 * 1e-6);
  }
  // The current spectrum against the direct sum with t = s·dt + a·tf.
  o.deleteSpectra = false;
  run(o);
  const spectral::UniformSamples s =
      spectral::uniformResample(store.graph(1), 200, 1e-9);  // the floor of 200
  const auto ref = testing::referenceDft(s.values, s.sampleStep, 1e7, 0, 50, s.x0 * 1e-9);
  const Graph& mod = store.graph(7);
  const Graph& phase = store.graph(8);
  ASSERT_EQ(mod.title, "Модуль спектра: I");
  double sumAbs = 0;
  for (float v : s.values) {
    sumAbs += std::fabs(v);
  }
  for (std::size_t k = 0; k < 50; ++k) {
    ASSERT_NEAR(mod.y(k), std::hypot(ref.re[k], ref.im[k]), 1e-10 * sumAbs);
    if (mod.y(k) > 1e-6 * sumAbs) {
      ASSERT_NEAR(std::remainder(phase.y(k) - std::atan2(-ref.im[k], ref.re[k]), 2 * M_PI), 0,
                  1e-8);
    }
  }
}

// The lists show only graphs with tag 0 and a chosen row stands for that candidate, not for
// the store position; with no row chosen the first graph of the store is taken.
TEST_F(ImpedanceTest, ListRowsStandForCandidateGraphs) {
  add(wave(0, 100, 101, 1, "I"));
  add(wave(0, 100, 101, 1, "hidden"));
  add(wave(0, 100, 101, 50, "U"));
  store.graph(1).tag = 1;
  store.setActiveIndex(2);
  ImpedanceOptions o;
  o.voltageRow = 1;  // "3. f2: U"
  o.currentRow = -1;
  o.fMax = "1e8";
  o.freqUnit = 2;
  run(o);
  EXPECT_EQ(shownEntries, (std::vector<std::string>{"1. f0: I", "3. f2: U"}));
  EXPECT_EQ(shownRow, -1);  // the active index 2 is beyond the two rows
  ASSERT_EQ(store.graph(store.count() - 1).title, "Модуль Z");
  const Graph& modulus = store.graph(store.count() - 1);
  ASSERT_GT(modulus.size(), 10u);
  for (std::size_t i = 0; i < modulus.size(); ++i) {
    ASSERT_NEAR(modulus.y(i), 50.0, 50 * 1e-6) << i;  // single-precision samples
  }
}

TEST_F(ImpedanceTest, EmptyGridAndRefusals) {
  add(wave(0, 100, 101, 1, "U"));
  ImpedanceOptions o;
  o.fMax = "1.4e6";  // below fMin + df/2: empty spectra
  o.fMin = "1e6";
  o.deleteSpectra = false;
  run(o);
  ASSERT_EQ(store.count(), 8u);
  EXPECT_EQ(store.graph(7).size(), 0u);
  ImpedanceOptions zero;
  zero.dF = "0";
  run(zero);
  EXPECT_EQ(ui.errors().back(), spectral::kBadFrequencyStep);
  ImpedanceOptions many;
  many.timeUnit = 3;  // 100 s at 1 GHz
  run(many);
  EXPECT_EQ(ui.errors().back(), spectral::kTooManyTimeSteps);
  EXPECT_EQ(store.count(), 8u);
  GraphStore empty;
  CommandContext ctx{empty, ui};
  const std::size_t dialogs = ui.optionDialogs.size();
  impedanceCommand(ctx);
  EXPECT_EQ(ui.optionDialogs.size(), dialogs);
}

}  // namespace
}  // namespace tarvik::spectral
