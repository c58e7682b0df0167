// Graph editing commands with a scripted Ui, and the transform commands of tarvik-batch.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "TransformTestUtil.h"
#include "batch/BatchRunner.h"
#include "core/Error.h"
#include "support/ScriptedUi.h"
#include "transforms/GraphEditingCommands.h"

namespace tarvik {
namespace {

using testing::addGraph;
using testing::ScriptedUi;
using testing::toVector;

struct Fixture {
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
};

TEST(EditingCommand, CloneAsksAgainAndAppendsClonesInOrder) {
  Fixture f;
  addGraph(f.store, {0, 10}, {0, 100}, "a");
  addGraph(f.store, {0, 1}, {5, 5}, "b");
  f.store.setActiveIndex(0);
  f.ui.selections = {std::vector<int>{0, 1}};
  f.ui.values = {"2.5", "1", "11"};
  cloneCommand(f.ctx);
  EXPECT_EQ(f.ui.choiceRequests[0].caption, "Выбрать графики для клонирования");
  EXPECT_EQ(f.ui.valueCaptions[0], "Задать количество точек на выходе");
  EXPECT_EQ(f.ui.errors(), (std::vector<std::string>{kBadPointCount, kTooFewPoints}));
  ASSERT_EQ(f.store.count(), 4u);
  EXPECT_EQ(f.store.graph(2).title, "a (Клон)");
  EXPECT_EQ(f.store.sourceFile(2), "a (Клон)");
  EXPECT_EQ(f.store.graph(3).title, "b (Клон)");
  EXPECT_EQ(f.store.graph(2).size(), 11u);
  EXPECT_DOUBLE_EQ(f.store.graph(2).y(3), 30);
  EXPECT_EQ(f.store.activeIndex(), 0);
  EXPECT_NE(f.store.graph(2).colour, f.store.graph(3).colour);
}

TEST(EditingCommand, CropAndHalveChangeOnlyChosenGraphs) {
  Fixture f;
  addGraph(f.store, {0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}, "a");
  addGraph(f.store, {0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}, "b");
  f.ui.selections = {std::vector<int>{1}, std::vector<int>{0}, std::nullopt};
  cropCommand(f.ctx, XRange{1, 3});
  halveCommand(f.ctx);
  halveCommand(f.ctx);  // cancelled
  EXPECT_EQ(f.ui.choiceRequests[0].caption, "Выбрать графики для кадрирования");
  EXPECT_EQ(f.ui.choiceRequests[1].caption, "Выбрать графики для уменьш. точек");
  EXPECT_EQ(toVector(f.store.graph(1).xs()), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(toVector(f.store.graph(0).xs()), (std::vector<double>{0, 2, 4}));
}

TEST(EditingCommand, SpliceNeedsTwoGraphsAndANumber) {
  Fixture f;
  addGraph(f.store, {0, 5, 10}, {1, 1, 1}, "left");
  SpliceOptions splice;
  f.ui.options = [](DialogOptions&) { return true; };
  spliceCommand(f.ctx, splice);
  EXPECT_TRUE(f.ui.optionDialogs.empty());
  addGraph(f.store, {5, 7, 15}, {2, 2, 2}, "right");
  f.ui.options = [](DialogOptions& o) {
    auto& s = dynamic_cast<SpliceOptions&>(o);
    EXPECT_EQ(s.graphCount, 2);
    s.first = 1;
    s.second = 2;
    s.xText = "abc";
    return true;
  };
  EXPECT_THROW(spliceCommand(f.ctx, splice), ConvertError);
  EXPECT_EQ(f.store.count(), 2u);
  EXPECT_EQ(splice.xText, "abc");  // the dialog keeps its text

  const int counter = f.store.unnamedCounter();
  f.ui.options = [](DialogOptions& o) {
    dynamic_cast<SpliceOptions&>(o).xText = "6";
    return true;
  };
  spliceCommand(f.ctx, splice);
  ASSERT_EQ(f.store.count(), 3u);
  EXPECT_EQ(f.store.graph(2).title, "left");
  EXPECT_EQ(f.store.sourceFile(2), "Без имени-" + std::to_string(counter));
  EXPECT_EQ(toVector(f.store.graph(2).xs()), (std::vector<double>{0, 5, 7, 15}));
  EXPECT_EQ(toVector(f.store.graph(2).ys()), (std::vector<double>{1, 1, 2, 2}));
  EXPECT_EQ(f.store.activeIndex(), 1);
}

// ---- tarvik-batch ----

struct BatchRun {
  std::ostringstream out, err;
  batch::BatchSession session{out, err, '.'};
  batch::BatchRegistry registry = batch::standardRegistry();

  int run(const std::string& script) {
    batch::BatchRunner runner(session, registry, err);
    return runner.run(batch::inlineLines(script));
  }
};

TEST(BatchTransforms, CommandsRunFromArguments) {
  BatchRun b;
  addGraph(b.session.store, {0, 1, 2, 3}, {2, 2, 2, 2}, "I");
  addGraph(b.session.store, {0, 1, 2}, {0, 2, 4}, "m");
  EXPECT_EQ(b.run("shift-y graphs=1 value=1; mul-x graphs=1 value=2; div-x graphs=1 value=2;"
                  "energy graphs=1 time=ns current=uA; mean graphs=2"),
            batch::kExitOk)
      << b.err.str();
  const Graph& g = b.session.store.graph(0);
  EXPECT_EQ(toVector(g.xs()), (std::vector<double>{1, 2, 3}));
  EXPECT_DOUBLE_EQ(g.y(2), 9 * 3e-9 * 1e-12);
  EXPECT_EQ(b.session.store.graph(1).title, "m (среднее)");
}

TEST(BatchTransforms, RefusalsFailTheRun) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"div-y graphs=1 value=0", batch::kExitCommandFailed},
      {"db graphs=1 value=-3", batch::kExitCommandFailed},
      {"clone graphs=1 points=1", batch::kExitCommandFailed},
      {"rc-tau value=0", batch::kExitCommandFailed},
      {"rc-tau value=abc", batch::kExitCommandFailed},
      {"rc-tau value=10 levels=4", batch::kExitUsage},
      {"energy graphs=1 time=years", batch::kExitUsage},
      {"shift-x graphs=1", batch::kExitOk},  // value= left out: the "0" the dialog starts with
      {"splice first=1 second=2 x=abc", batch::kExitCommandFailed},
  };
  for (const auto& [script, status] : cases) {
    BatchRun b;
    addGraph(b.session.store, {0, 1}, {1, 2}, "a");
    addGraph(b.session.store, {0, 1}, {1, 2}, "b");
    EXPECT_EQ(b.run(script), status) << script << "\n" << b.err.str();
    EXPECT_EQ(toVector(b.session.store.graph(0).ys()), (std::vector<double>{1, 2})) << script;
    EXPECT_EQ(b.session.store.count(), 2u) << script;
  }
}

// The clone asks for the graphs first and for the count only then, in the window and in
// the batch runner alike: nothing to clone, or a cancelled choice, never asks the count.
TEST(BatchTransforms, CloneAsksTheGraphsBeforeTheCount) {
  Fixture f;
  cloneCommand(f.ctx);
  addGraph(f.store, {0, 1}, {1, 2}, "a");
  f.ui.selections = {std::nullopt};
  cloneCommand(f.ctx);
  EXPECT_EQ(f.ui.choiceRequests.size(), 1u);
  EXPECT_TRUE(f.ui.valueCaptions.empty());

  BatchRun empty;
  EXPECT_EQ(empty.run("clone points=1"), batch::kExitOk) << empty.err.str();
  EXPECT_EQ(empty.err.str(), "");
  BatchRun one;
  addGraph(one.session.store, {0, 1}, {1, 2}, "a");
  EXPECT_EQ(one.run("clone points=1"), batch::kExitCommandFailed);
  EXPECT_EQ(one.err.str(), std::string("error: ") + kTooFewPoints + "\n");
  EXPECT_EQ(one.run("clone points=3"), batch::kExitOk) << one.err.str();
  ASSERT_EQ(one.session.store.count(), 2u);
  EXPECT_EQ(one.session.store.graph(1).size(), 3u);
}

TEST(BatchTransforms, RcTauPersistsForRcCommands) {
  BatchRun b;
  addGraph(b.session.store, {0, 30}, {1, 1}, "a");
  EXPECT_EQ(b.run("rc-tau value=30; rc-diff graphs=1; crop graphs=1 xmin=10 xmax=40;"
                  "clone graphs=1 points=3; splice first=1 second=2 x=0"),
            batch::kExitOk)
      << b.err.str();
  EXPECT_NEAR(b.session.store.graph(0).y(0), std::exp(-1.0), 1e-15);
  EXPECT_EQ(b.session.store.count(), 3u);
}

}  // namespace
}  // namespace tarvik
