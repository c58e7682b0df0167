// Spectral commands that run out of memory part-way: the command ends with "Недостаточно
// памяти" and the store holds exactly the graphs it held before, whichever step failed.
#include <gtest/gtest.h>

#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "core/OutputLimits.h"
#include "spectral/Impedance.h"
#include "spectral/SpectrumCommand.h"
#include "support/ScriptedUi.h"

namespace tarvik::spectral {
namespace {

// Memory runs out at the n-th progress report (0: never); reports are counted.
struct ShortOfMemoryUi : testing::ScriptedUi {
  int failAt = 0;
  int reports = 0;
  void progress(const std::string& text) override {
    ScriptedUi::progress(text);
    if (++reports == failAt) {
      throw std::bad_alloc();
    }
  }
};

struct VisibilityChart : ChartPort {
  bool visible = true;
  void setChartVisible(bool on) override { visible = on; }
};

Graph wave(double phase, const std::string& title) {
  Graph g;
  g.title = title;
  for (int i = 0; i <= 200; ++i) {
    const double x = i * 0.5;  // ns
    g.appendPoint(x, std::sin(0.3 * x + phase) * std::exp(-x / 60));
  }
  return g;
}

// Titles and entries of a store, to compare before and after.
std::vector<std::string> contents(const GraphStore& store) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < store.count(); ++i) {
    out.push_back(store.sourceFile(i) + ": " + store.graph(i).title + " " +
                  std::to_string(store.graph(i).size()));
  }
  out.push_back("active " + std::to_string(store.activeIndex()));
  out.push_back("counter " + std::to_string(store.unnamedCounter()));
  return out;
}

class MemoryShortage : public ::testing::Test {
 protected:
  // A fresh store of two signals and, with `withSpectrum`, an amplitude and a phase graph.
  void reset(bool withSpectrum = false) {
    store = std::make_unique<GraphStore>();
    store->setChartPort(&chart);
    store->attachGraph(wave(0, "U"), "u.grf");
    store->attachGraph(wave(0.7, "I"), "i.grf");
    store->setActiveIndex(1);
    if (withSpectrum) {
      ShortOfMemoryUi quiet;
      SpectrumOptions o;
      o.fMax = "5e8";
      o.dF = "5e6";
      o.noPhase = false;
      quiet.selections.push_back(std::vector<int>{0});
      quiet.options = [o](DialogOptions& d) {
        static_cast<SpectrumOptions&>(d) = o;
        return true;
      };
      CommandContext ctx{*store, quiet};
      spectrumCommand(ctx);
      ASSERT_EQ(store->count(), 4u);
    }
    ui = ShortOfMemoryUi();
  }

  // Runs `command` once to count its progress reports, then again failing at the first,
  // a middle and the last of them: each time the store must come back as it was.
  template <class Command>
  void expectUndoneAtEveryStep(bool withSpectrum, const Command& command) {
    reset(withSpectrum);
    command();
    const int reports = ui.reports;
    ASSERT_GT(reports, 2);
    for (int failAt : {1, reports / 2, reports}) {
      SCOPED_TRACE("memory runs out at report " + std::to_string(failAt));
      reset(withSpectrum);
      const std::vector<std::string> before = contents(*store);
      ui.failAt = failAt;
      try {
        command();
        ADD_FAILURE() << "the shortage was not reported";
      } catch (const OutOfMemoryError& e) {
        EXPECT_STREQ(e.what(), kOutOfMemory);
      }
      EXPECT_EQ(contents(*store), before);
      EXPECT_TRUE(chart.visible);
    }
  }

  void spectrum(bool inverse) {
    SpectrumOptions o;
    o.fMax = "5e8";
    o.dF = "2e6";
    o.inverse = inverse;
    ui.selections.push_back(std::vector<int>{0, 1});
    ui.options = [o](DialogOptions& d) {
      static_cast<SpectrumOptions&>(d) = o;
      return true;
    };
    CommandContext ctx{*store, ui};
    spectrumCommand(ctx);
  }

  std::unique_ptr<GraphStore> store;
  VisibilityChart chart;
  ShortOfMemoryUi ui;
};

TEST_F(MemoryShortage, SpectrumOfTwoGraphsLeavesNoneOfItsGraphs) {
  expectUndoneAtEveryStep(false, [this] { spectrum(false); });
  expectUndoneAtEveryStep(false, [this] { spectrum(true); });  // with the inverse step
}

TEST_F(MemoryShortage, ImpedanceLeavesNoneOfItsSevenGraphs) {
  expectUndoneAtEveryStep(false, [this] {
    ui.options = [](DialogOptions& d) {
      auto& z = static_cast<ImpedanceOptions&>(d);
      z.voltageRow = 0;
      z.currentRow = 1;
      z.fMax = "5e8";
      z.dF = "2e6";
      z.deleteSpectra = false;
      return true;
    };
    CommandContext ctx{*store, ui};
    impedanceCommand(ctx);
  });
}

TEST_F(MemoryShortage, InverseTransformKeepsTheSpectraItWouldDelete) {
  expectUndoneAtEveryStep(true, [this] {
    ui.options = [](DialogOptions& d) {
      auto& o = static_cast<InverseSpectrumOptions&>(d);
      o.tMax = "1e-7";
      o.nPoint = "300";
      o.deleteSpectra = true;
      return true;
    };
    CommandContext ctx{*store, ui};
    inverseSpectrumCommand(ctx);
  });
}

}  // namespace
}  // namespace tarvik::spectral
