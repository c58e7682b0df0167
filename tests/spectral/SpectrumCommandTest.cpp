#include <gtest/gtest.h>

#include <cmath>

#include "core/Error.h"
#include "spectral/Fft.h"
#include "spectral/ReferenceSums.h"
#include "spectral/Spectrum.h"
#include "spectral/SpectrumCommand.h"
#include "spectral/UniformResample.h"
#include "support/ScriptedUi.h"

namespace tarvik::spectral {
namespace {

using testing::ScriptedUi;

struct RecordingChart : ChartPort {
  std::vector<bool> visibility;
  void setChartVisible(bool on) override { visibility.push_back(on); }
};

// Presses the stop button when a given progress text appears.
struct StoppingUi : ScriptedUi {
  GraphStore* store = nullptr;
  std::string stopAt;
  void progress(const std::string& text) override {
    ScriptedUi::progress(text);
    if (text == stopAt) {
      store->stopRequest = true;
    }
  }
};

// A pulse 0 … lengthNs nanoseconds, `points` points.
Graph pulse(double lengthNs, std::size_t points, const std::string& title = "Импульс") {
  Graph g;
  g.title = title;
  for (std::size_t i = 0; i < points; ++i) {
    const double x = lengthNs * static_cast<double>(i) / static_cast<double>(points - 1);
    g.appendPoint(x,
                  std::exp(-std::pow((x - lengthNs / 3) / (lengthNs / 10), 2)) + 0.1 * std::sin(x));
  }
  return g;
}

class SpectrumCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store.setChartPort(&chart);
    ui.store = &store;
  }
  void add(Graph g) {
    store.attachGraph(std::move(g), "f" + std::to_string(store.count()));
    store.setActiveIndex(static_cast<int>(store.count()) - 1);
  }
  void run(const SpectrumOptions& options, std::vector<int> rows = {0}) {
    ui.selections.push_back(rows);
    ui.options = [options](DialogOptions& d) {
      static_cast<SpectrumOptions&>(d) = options;
      return true;
    };
    CommandContext ctx{store, ui};
    spectrumCommand(ctx, hooks);
  }
  GraphStore store;
  RecordingChart chart;
  StoppingUi ui;
  SpectrumHooks hooks;
};

TEST_F(SpectrumCommandTest, DftPathAppendsAmplitudeMatchingTheDirectSum) {
  add(pulse(100, 301));
  std::string caption;
  hooks.setCaption = [&](const std::string& c) { caption = c; };
  SpectrumOptions o;  // 0 … 1e9 Hz step 1e6, absolute amplitudes, no phase
  run(o);
  ASSERT_EQ(store.count(), 2u);
  const Graph& a = store.graph(1);
  EXPECT_EQ(a.title, "Модуль спектра: Импульс");
  EXPECT_EQ(store.sourceFile(1), "Без имени-1");
  EXPECT_EQ(store.unnamedCounter(), 3);  // the removed phase graph took one number too
  EXPECT_EQ(store.activeIndex(), 0);
  ASSERT_EQ(a.size(), 1000u);
  // 100 ns at 1 GHz: M = 201 samples.
  const UniformSamples s = uniformResample(store.graph(0), 201, 1e-9);
  const auto ref = testing::referenceDft(s.values, s.sampleStep, 1e6, 0, 1000);
  double sumAbs = 0;
  for (float v : s.values) {
    sumAbs += std::fabs(v);
  }
  const double u = 100e-9 / 2;
  for (std::size_t k = 0; k < 1000; ++k) {
    ASSERT_EQ(a.x(k), static_cast<double>(k) * 1e6);
    ASSERT_NEAR(a.y(k) * u, std::hypot(ref.re[k], ref.im[k]), 1e-10 * sumAbs) << k;
  }
  EXPECT_FALSE(caption.empty());
  EXPECT_TRUE(store.stopRequest);  // left set after the forward DFT
  EXPECT_EQ(chart.visibility, (std::vector<bool>{false, true}));
  // Every percentage once, in order.
  ASSERT_EQ(ui.progressTexts.size(), 101u);
  EXPECT_EQ(ui.progressTexts.front(), "Преобразование Фурье - 0 %");
  EXPECT_EQ(ui.progressTexts.back(), "Преобразование Фурье - 100 %");
}

TEST_F(SpectrumCommandTest, PhaseGraphAndFrequencyUnits) {
  add(pulse(50, 101));
  SpectrumOptions o;
  o.noPhase = false;
  o.freqUnit = 2;  // МГц
  o.fMax = "2e8";
  o.dF = "1e7";
  run(o);
  ASSERT_EQ(store.count(), 3u);
  EXPECT_EQ(store.graph(2).title, "Фаза спектра:Импульс");
  EXPECT_EQ(store.sourceFile(2), "Без имени-2");
  ASSERT_EQ(store.graph(2).size(), 20u);
  EXPECT_DOUBLE_EQ(store.graph(2).x(19), 19 * 1e7 * 1e-6);
  EXPECT_EQ(store.graph(2).y(0), 0.0);  // Re > 0 at 0 Hz
}

// The automatic step is a little under the Nyquist-like 1/(2·duration): 0.5/duration/1.01.
TEST_F(SpectrumCommandTest, AutomaticStepIsHalfTheInverseDurationOver1_01) {
  const struct {
    double lengthNs;
    int timeUnit;
    const char* fMax;
  } cases[] = {{100, 0, "1e9"}, {40, 1, "5e6"}};  // 100 ns; 40 µs
  for (const auto& c : cases) {
    store.closeAll();
    add(pulse(c.lengthNs, 101));
    SpectrumOptions o;
    o.autoStep = true;
    o.dF = "не число";  // not read when the step is automatic
    o.timeUnit = c.timeUnit;
    o.fMax = c.fMax;
    run(o);
    ASSERT_EQ(store.count(), 2u);
    const Graph& a = store.graph(1);
    const double duration = c.lengthNs * timeUnitSeconds(c.timeUnit);
    const double df = 0.5 / duration / 1.01;
    ASSERT_EQ(a.size(), static_cast<std::size_t>(std::nearbyint(std::stod(c.fMax) / df)));
    for (std::size_t k = 0; k < a.size(); ++k) {
      ASSERT_DOUBLE_EQ(a.x(k), static_cast<double>(k) * df) << k;
    }
  }
}

TEST_F(SpectrumCommandTest, RefusalsAppendNothing) {
  const struct {
    Graph graph;
    std::string df;
    std::string message;
  } cases[] = {
      {pulse(100, 11), "0", kBadFrequencyStep},
      {pulse(100, 11), "-1e6", kBadFrequencyStep},
      {[] {
         Graph g;
         g.title = "Т";
         g.appendPoint(1, 1);
         return g;
       }(),
       "1e6", tooFewPointsMessage("Т")},
      {[] {
         Graph g;
         g.title = "Н";
         g.appendPoint(1, 1);
         g.appendPoint(1, 2);
         return g;
       }(),
       "1e6", zeroDurationMessage("Н")},
      // 20 ms in nanoseconds at 1 GHz: 4e7 samples.
      {pulse(2e7, 11), "1e6", kTooManyTimeSteps},
  };
  for (const auto& c : cases) {
    store.closeAll();
    ui.messages.clear();
    add(c.graph);
    SpectrumOptions o;
    o.dF = c.df;
    run(o);
    EXPECT_EQ(store.count(), 1u) << c.message;
    ASSERT_EQ(ui.errors().size(), 1u) << c.message;
    EXPECT_EQ(ui.errors()[0], c.message);
  }
}

TEST_F(SpectrumCommandTest, FieldThatIsNotANumberThrowsBeforeAnything) {
  add(pulse(100, 11));
  SpectrumOptions o;
  o.fMax = "1e9x";
  EXPECT_THROW(run(o), ConvertError);
  EXPECT_EQ(store.count(), 1u);
}

TEST_F(SpectrumCommandTest, StopKeepsFinishedBlocksAndSkipsTheRest) {
  // 0.5 ns graphs with 140000 frequencies: three blocks of frequencies.
  add(pulse(0.5, 50, "A"));
  add(pulse(0.5, 50, "B"));
  SpectrumOptions o;
  o.fMax = "1.4e11";
  o.noPhase = false;
  ui.stopAt = "Преобразование Фурье - 50 %";
  run(o, {0, 1});
  ASSERT_EQ(store.count(), 4u);  // B was never processed
  EXPECT_EQ(store.graph(2).size(), kSpectrumBlock);
  EXPECT_EQ(store.graph(3).size(), kSpectrumBlock);
  EXPECT_EQ(ui.messages.size(), 0u);
  EXPECT_EQ(chart.visibility.back(), true);
}

// After each DFT every graph titled exactly "Аппроксимация" goes with its entry; a chosen
// input among them is not transformed, the inputs after them still are, each once.
TEST_F(SpectrumCommandTest, DftDropsFittedModelsAndTransformsEveryOtherInputOnce) {
  add(pulse(100, 301, "A"));
  add(pulse(100, 301, "Аппроксимация"));
  add(pulse(100, 301, "B"));
  add(pulse(100, 301, "Аппроксимация"));
  add(pulse(100, 301, "Аппроксимация 2"));
  SpectrumOptions o;
  o.fMax = "1e8";
  run(o, {0, 1, 2, 3, 4});
  std::vector<std::string> titles, entries;
  for (std::size_t i = 0; i < store.count(); ++i) {
    titles.push_back(store.graph(i).title);
    entries.push_back(store.sourceFile(i));
  }
  EXPECT_EQ(titles, (std::vector<std::string>{"A", "B", "Аппроксимация 2", "Модуль спектра: A",
                                              "Модуль спектра: B",
                                              "Модуль спектра: Аппроксимация 2"}));
  EXPECT_EQ(entries, (std::vector<std::string>{"f0", "f2", "f4", "Без имени-1", "Без имени-3",
                                               "Без имени-5"}));
  EXPECT_LT(store.activeIndex(), static_cast<int>(store.count()));

  // The FFT path keeps them.
  store.removeGraph(5);
  store.removeGraph(4);
  store.removeGraph(3);
  add(pulse(100, 301, "Аппроксимация"));
  o.kind = SpectrumOptions::Kind::Fft;
  run(o, {0});
  EXPECT_EQ(store.graph(3).title, "Аппроксимация");
}

TEST_F(SpectrumCommandTest, FftPathUsesThePowerOfTwoAndAppendGraph) {
  add(pulse(1000, 1000));
  SpectrumOptions o;
  o.kind = SpectrumOptions::Kind::Fft;
  o.noPhase = false;
  o.absolute = false;
  o.fMax = "1e12";
  run(o);
  ASSERT_EQ(store.count(), 3u);
  EXPECT_EQ(store.graph(1).title, "Модуль FFT: ");
  EXPECT_EQ(store.sourceFile(1), "Модуль FFT ");
  EXPECT_EQ(store.graph(2).title, "Фаза FFT: ");
  EXPECT_EQ(store.activeIndex(), 2);
  EXPECT_EQ(store.bottomAxisTitle, "t, нс");
  ASSERT_EQ(store.graph(1).size(), 512u);  // N = 1024
  const UniformSamples s = uniformResample(store.graph(0), 1024, 1e-9);
  std::vector<float> amp(512), phase(512);
  fastTransform(s.values, 0, amp, phase);
  EXPECT_DOUBLE_EQ(store.graph(1).x(3), 3 / (1024 * s.sampleStep));
  EXPECT_DOUBLE_EQ(store.graph(1).y(3), 1024.0 * amp[3] / 2);
  EXPECT_DOUBLE_EQ(store.graph(2).y(3), phase[3]);
}

TEST_F(SpectrumCommandTest, InverseStepLeavesOnlyTheRebuiltSignal) {
  add(pulse(100, 301));
  InverseSpectrumOptions preset;
  hooks.presetInverse = [&](const InverseSpectrumOptions& p) { preset = p; };
  SpectrumOptions o;
  o.inverse = true;
  o.freqUnit = 3;  // ignored while the inverse is on
  o.timeUnit = 0;
  run(o);
  ASSERT_EQ(store.count(), 2u);
  const Graph& r = store.graph(1);
  EXPECT_EQ(r.title, "Импульс");
  EXPECT_EQ(store.sourceFile(1), "Импульс");
  EXPECT_EQ(preset.nPoint, "1000");
  EXPECT_EQ(preset.tMin, "0");
  EXPECT_EQ(preset.tMax, "1E-7");
  ASSERT_EQ(r.size(), 1001u);
  EXPECT_DOUBLE_EQ(r.x(1000), 100.0);
  // The rebuilt pulse follows the input (1 GHz band, so only roughly).
  EXPECT_NEAR(r.y(333), store.graph(0).y(100), 0.1);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SpectrumCommandTest, FftInverseShortensTheTimeAndNamesTheBand) {
  add(pulse(100, 64));
  SpectrumOptions o;
  o.kind = SpectrumOptions::Kind::Fft;
  o.inverse = true;
  o.fMax = "1e8";
  run(o);
  ASSERT_EQ(store.count(), 2u);
  EXPECT_EQ(store.graph(1).title.rfind("Импульс ( 0...", 0), 0u);
  EXPECT_EQ(store.graph(1).title.substr(store.graph(1).title.size() - 7), " ) Гц");
}

}  // namespace
}  // namespace tarvik::spectral
