// The filter command over the Ui port: graph choice first, one new graph per chosen graph
// in one undo step, the input untouched, refusals before anything is appended.
#include <gtest/gtest.h>

#include <cmath>

#include "core/Palette.h"
#include "spectral/FilterCommand.h"
#include "spectral/MedianFilter.h"
#include "support/ScriptedUi.h"

namespace tarvik::spectral {
namespace {

Graph sine(const std::string& title, std::size_t n, double step) {
  Graph g;
  g.title = title;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) * step;
    g.appendPoint(t, std::sin(t / 7) + (i % 5 == 0 ? 3.0 : 0.0));
  }
  return g;
}

struct Fixture {
  GraphStore store;
  testing::ScriptedUi ui;
  CommandContext ctx{store, ui};
  FilterOptions typed;
  Fixture() {
    ui.options = [this](DialogOptions& o) {
      static_cast<FilterOptions&>(o) = typed;
      return true;
    };
  }
};

TEST(FilterCommand, AppendsOneFilteredGraphPerChosenGraphInOneStep) {
  Fixture f;
  for (const char* title : {"a", "b", "c"}) {
    Graph g = sine(title, 400, 1.0);
    f.store.attachGraph(std::move(g), title);
  }
  f.ui.selections.push_back(std::vector<int>{0, 2});
  f.typed.kind = 5;  // median
  f.typed.width = "5";
  f.store.beginStep("Фильтр");
  EXPECT_EQ(filterCommand(f.ctx), FilterOutcome::Applied);
  f.store.endStep();
  ASSERT_EQ(f.store.count(), 5u);
  EXPECT_EQ(f.ui.choiceRequests.at(0).caption, kFilterCaption);
  EXPECT_EQ(f.ui.optionDialogs.at(0), "TfmFilter");
  EXPECT_EQ(f.store.graph(3).title, "Фильтр: a");
  EXPECT_EQ(f.store.graph(4).title, "Фильтр: c");
  EXPECT_EQ(f.store.graph(3).colour, newGraphColour(3));
  EXPECT_EQ(f.store.graph(4).colour, newGraphColour(4));
  const std::vector<double> want = medianFilter(f.store.graph(2).ys(), 5);
  EXPECT_TRUE(std::equal(want.begin(), want.end(), f.store.graph(4).ys().begin()));
  EXPECT_TRUE(std::equal(f.store.graph(2).xs().begin(), f.store.graph(2).xs().end(),
                         f.store.graph(4).xs().begin()));
  EXPECT_TRUE(f.ui.messages.empty());
  ASSERT_TRUE(f.store.undo());
  EXPECT_EQ(f.store.count(), 3u);
}

TEST(FilterCommand, ARefusalForOneGraphAppendsNothing) {
  Fixture f;
  f.store.attachGraph(sine("long", 400, 1.0), "long");
  f.store.attachGraph(sine("short", 12, 1.0), "short");  // order 4 pads 15 points
  f.ui.selections.push_back(std::vector<int>{0, 1});
  f.typed.cutoff = "1e7";  // X in ns: fs = 1 GHz
  EXPECT_EQ(filterCommand(f.ctx), FilterOutcome::Refused);
  EXPECT_EQ(f.store.count(), 2u);
  ASSERT_EQ(f.ui.messages.size(), 1u);
  EXPECT_EQ(f.ui.messages[0].kind, MessageKind::Error);
  EXPECT_NE(f.ui.messages[0].text.find("phase=zero"), std::string::npos);
  EXPECT_NE(f.ui.messages[0].text.find("\"short\""), std::string::npos);
}

TEST(FilterCommand, UniformRuleAndItsRefusals) {
  UniformRecord r;
  std::string error;
  Graph g;
  g.title = "g";
  for (double x : {0.0, 1.0, 2.009, 3.0, 4.0}) g.appendPoint(x, x);
  ASSERT_TRUE(uniformRecord(g, r, error));
  EXPECT_FALSE(r.resampled);  // every step within 1 % of dt
  g.setX(2, 2.011);
  g.setY(2, 2.011);  // still on y = x, which the linear resampling keeps
  ASSERT_TRUE(uniformRecord(g, r, error));
  EXPECT_TRUE(r.resampled);
  EXPECT_EQ(r.xs, (std::vector<double>{0, 1, 2, 3, 4}));
  EXPECT_NEAR(r.ys[2], 2.0, 1e-12);
  g.setY(1, NAN);
  EXPECT_FALSE(uniformRecord(g, r, error));
  g.setY(1, 1);
  g.setX(4, 0.0);
  EXPECT_FALSE(uniformRecord(g, r, error));  // zero duration
  Graph single;
  single.appendPoint(1, 1);
  EXPECT_FALSE(uniformRecord(single, r, error));
  Graph backAndForth;
  for (double x : {0.0, 3.0, 1.0, 4.0}) backAndForth.appendPoint(x, x);
  EXPECT_FALSE(uniformRecord(backAndForth, r, error));
}

TEST(FilterCommand, SettingsNameTheFieldTheyRefuse) {
  FilterOptions o;
  FilterSettings s;
  std::string error;
  const auto refused = [&](const char* field) {
    const bool ok = readFilterSettings(o, ',', s, error);
    return !ok && error.find(field) != std::string::npos;
  };
  EXPECT_TRUE(refused("cutoff="));  // no default
  o.cutoff = "2,5";                 // the locale's separator
  o.freqUnit = 2;
  ASSERT_TRUE(readFilterSettings(o, ',', s, error)) << error;
  EXPECT_DOUBLE_EQ(s.cutoffHz, 2.5e6);
  o.order = "0";
  EXPECT_TRUE(refused("order="));
  o.order = "4";
  o.type = 2;
  o.cutoff2 = "2";
  EXPECT_TRUE(refused("cutoff2="));
  o.kind = 4;
  o.cutoff2 = "3";
  o.taps = "4";
  EXPECT_TRUE(refused("taps="));
  o.taps = "5";
  o.window = 3;
  o.beta = "701";
  EXPECT_TRUE(refused("beta="));
  o.kind = 6;
  o.width = "7";
  o.polyorder = "7";
  EXPECT_TRUE(refused("polyorder="));
  o.polyorder = "6";
  EXPECT_TRUE(readFilterSettings(o, ',', s, error)) << error;
}

}  // namespace
}  // namespace tarvik::spectral
