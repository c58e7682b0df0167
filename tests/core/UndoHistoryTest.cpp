// Undo steps in the graph store: points shared between the document and its steps until
// a command writes them, one step per command that changes something, the depth and
// memory limits, and nested steps.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "core/GraphStore.h"

namespace tarvik {
namespace {

Graph ramp(std::size_t n, const std::string& title) {
  Graph g;
  g.title = title;
  std::vector<double> xs(n), ys(n);
  for (std::size_t i = 0; i < n; ++i) {
    xs[i] = static_cast<double>(i);
    ys[i] = static_cast<double>(i) * 0.5;
  }
  g.setPoints(std::move(xs), std::move(ys));
  return g;
}

// A store with graphs of the given sizes, made outside any step.
void fill(GraphStore& store, std::initializer_list<std::size_t> sizes) {
  for (std::size_t n : sizes) {
    store.attachGraph(ramp(n, "g" + std::to_string(store.count())), "entry");
  }
  store.setActiveIndex(0);
}

void multiplyY(GraphStore& store, std::size_t graph, double factor) {
  store.beginStep("Умножение по Y");
  for (double& y : store.graph(graph).ysMutable()) {
    y *= factor;
  }
  store.endStep();
}

TEST(GraphBlocks, CopiesShareUntilOneIsWrittenAndCompareBitForBit) {
  Graph a = ramp(4, "a");
  Graph b = a;
  EXPECT_EQ(a.yBlock(), b.yBlock());
  b.setY(1, -0.0);
  EXPECT_NE(a.yBlock(), b.yBlock());
  EXPECT_EQ(a.xBlock(), b.xBlock());  // X was never written
  EXPECT_EQ(a.y(1), 0.5);
  EXPECT_FALSE(a.samePoints(b));

  // Bit for bit: 0 and −0 differ, a NaN equals the same NaN.
  Graph c = a;
  c.setY(1, 0.5);
  EXPECT_TRUE(a.samePoints(c));
  b.setY(1, 0.0);
  b.setY(2, std::numeric_limits<double>::quiet_NaN());
  Graph d = b;
  d.setY(0, d.y(0));  // a private copy with the same bits
  EXPECT_TRUE(b.samePoints(d));
  d.setY(1, -0.0);
  EXPECT_FALSE(b.samePoints(d));

  Graph moved = std::move(c);
  EXPECT_TRUE(c.empty());  // NOLINT: a moved-from graph is empty and usable
  c.appendPoint(1, 2);
  EXPECT_EQ(c.size(), 1u);
  EXPECT_EQ(moved.size(), 4u);
}

TEST(UndoSteps, AStepKeepsOnlyTheArraysTheCommandReplaced) {
  GraphStore store;
  fill(store, {1000, 2000, 3000});
  multiplyY(store, 1, 3.0);
  ASSERT_EQ(store.history().undoCount(), 1u);
  EXPECT_EQ(store.history().undoCaption(), "Умножение по Y");
  // Only graph 1's old Y is kept: its X and the other graphs are shared with the document.
  EXPECT_EQ(store.history().retainedBytes(store.state()), 2000 * sizeof(double));
  const double changed = store.graph(1).y(10);
  ASSERT_TRUE(store.undo());
  EXPECT_EQ(store.graph(1).y(10), 5.0);
  ASSERT_TRUE(store.redo());
  EXPECT_EQ(store.graph(1).y(10), changed);
}

TEST(UndoSteps, ACommandThatChangesNothingLeavesNoStepAndNoCopy) {
  GraphStore store;
  fill(store, {100});
  const auto block = store.graph(0).yBlock();
  multiplyY(store, 0, 1.0);  // rewrites every value with itself
  EXPECT_EQ(store.history().undoCount(), 0u);
  EXPECT_EQ(store.graph(0).yBlock(), block);  // the copy was given up again
  store.beginStep("nothing");
  store.endStep();
  EXPECT_FALSE(store.history().canUndo());
}

TEST(UndoSteps, StepsNestAndOnlyTheOutermostCounts) {
  GraphStore store;
  fill(store, {10});
  store.beginStep("outer");
  multiplyY(store, 0, 2.0);
  store.appendGraph("new");
  EXPECT_FALSE(store.undo());  // no undo inside a command
  store.endStep();
  ASSERT_EQ(store.history().undoCount(), 1u);
  EXPECT_EQ(store.history().undoCaption(), "outer");
  ASSERT_TRUE(store.undo());
  EXPECT_EQ(store.count(), 1u);
  EXPECT_EQ(store.graph(0).y(3), 1.5);
  EXPECT_EQ(store.unnamedCounter(), 1);  // the counter comes back too
}

TEST(UndoSteps, TheOldestStepsGoBeyondOneHundredOrTheMemoryLimit) {
  GraphStore store;
  fill(store, {16});
  for (int k = 0; k < 105; ++k) {
    store.beginStep("shift " + std::to_string(k));
    store.graph(0).setY(0, k + 1.0);
    store.endStep();
  }
  EXPECT_EQ(store.history().undoCount(), UndoHistory::kMaxSteps);
  while (store.undo()) {
  }
  EXPECT_EQ(store.graph(0).y(0), 5.0);  // steps 0..4 were dropped

  // 1000-point Y arrays retained per step; a limit of 2.5 arrays keeps two steps.
  GraphStore small;
  fill(small, {1000});
  small.history().setLimits(100, 2500 * sizeof(double));
  for (int k = 0; k < 5; ++k) {
    multiplyY(small, 0, 2.0);
  }
  EXPECT_EQ(small.history().undoCount(), 2u);
  EXPECT_LE(small.history().retainedBytes(small.state()), 2500 * sizeof(double));

  // A single step larger than the limit is still kept, so the last command can be undone.
  GraphStore big;
  fill(big, {1000});
  big.history().setLimits(100, 100);
  multiplyY(big, 0, 2.0);
  EXPECT_EQ(big.history().undoCount(), 1u);
}

TEST(UndoSteps, RestoreBringsBackTextsEntriesAndTheActiveGraph) {
  GraphStore store;
  fill(store, {5, 6});
  const DocumentState opened = store.state();
  store.beginStep("texts");
  store.titleLines = {"Импульс"};
  store.legendRight = true;
  store.setSourceFile(1, "renamed.grf");
  store.setActiveIndex(1);
  store.graph(0).colour = Rgb{1, 2, 3};
  store.endStep();
  const DocumentState changed = store.state();
  ASSERT_TRUE(store.undo());
  EXPECT_TRUE(store.state().sameAs(opened));
  ASSERT_TRUE(store.redo());
  EXPECT_TRUE(store.state().sameAs(changed));
  EXPECT_EQ(store.sourceFile(1), "renamed.grf");
}

}  // namespace
}  // namespace tarvik
