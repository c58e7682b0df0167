// What an undo step costs and what it puts back: a step holds only the graphs a command
// changed (their titles counted against the memory limit like their points), undo and redo
// give back every earlier state bit for bit over a random walk of commands, and changes made
// outside any step are undone with the newest step, as a whole earlier state would be.
#include <gtest/gtest.h>

#include <random>

#include "core/GraphStore.h"

namespace tarvik {
namespace {

Graph titled(std::size_t points, std::string title, double scale = 1.0) {
  Graph g;
  g.title = std::move(title);
  std::vector<double> xs(points), ys(points);
  for (std::size_t i = 0; i < points; ++i) {
    xs[i] = static_cast<double>(i);
    ys[i] = static_cast<double>(i) * scale;
  }
  g.setPoints(std::move(xs), std::move(ys));
  return g;
}

void fillTitled(GraphStore& store, std::size_t graphs, std::size_t points,
                std::size_t titleLength) {
  for (std::size_t i = 0; i < graphs; ++i) {
    std::string title = "g" + std::to_string(i);
    title.resize(std::max(title.size(), titleLength), 'x');
    store.attachGraph(titled(points, std::move(title), 0.5), "entry" + std::to_string(i));
  }
  store.setActiveIndex(0);
}

TEST(UndoStepSize, TitlesCountAgainstTheMemoryLimit) {
  // 200 graphs with 2000-character titles: renaming them all keeps over 400 kB of old
  // titles per step and no points, so a 1 MB limit keeps two steps.
  GraphStore store;
  fillTitled(store, 200, 4, 2000);
  store.history().setLimits(100, 1'000'000);
  std::vector<DocumentState> states{store.state()};
  for (int k = 0; k < 5; ++k) {
    store.beginStep("Переименование");
    for (std::size_t i = 0; i < store.count(); ++i) {
      store.graph(i).title += static_cast<char>('a' + k);
    }
    store.endStep();
    states.push_back(store.state());
  }
  EXPECT_EQ(store.history().undoCount(), 2u);
  EXPECT_GT(store.history().heldBytes(), 2 * 200 * 2000u);
  EXPECT_LE(store.history().heldBytes(), 1'000'000u);
  EXPECT_EQ(store.history().retainedBytes(store.state()), 0u);  // no point block was replaced
  for (std::size_t back = 1; back <= 2; ++back) {
    ASSERT_TRUE(store.undo());
    EXPECT_TRUE(store.state().sameAs(states[5 - back]));
  }
  EXPECT_FALSE(store.undo());
}

TEST(UndoStepSize, AStepHoldsOnlyTheGraphsTheCommandChanged) {
  GraphStore store;
  fillTitled(store, 10'000, 2, 500);
  const std::size_t oneGraph = sizeof(Graph) + 500 + 64;  // a graph, its title and slack

  // One graph's points of 10,000: its old Y and one title, not 10,000 titles.
  store.beginStep("Умножение по Y");
  for (double& y : store.graph(5000).ysMutable()) {
    y *= 3;
  }
  store.endStep();
  const std::size_t afterMultiply = store.history().heldBytes();
  EXPECT_EQ(store.history().retainedBytes(store.state()), 2 * sizeof(double));
  EXPECT_GE(afterMultiply, 500u + 2 * sizeof(double));
  EXPECT_LT(afterMultiply, oneGraph + 512);

  // A removal in the middle, a swap of neighbours and an append hold one or two graphs
  // each; the swapped graphs' points stay in the document, so they are not counted.
  store.beginStep("Закрыть");
  store.removeGraph(1234);
  store.endStep();
  const std::size_t afterRemove = store.history().heldBytes();
  EXPECT_LT(afterRemove - afterMultiply, oneGraph + 512);
  store.beginStep("Вверх");
  store.exchangeNeighbours(42, 43);
  store.endStep();
  const std::size_t afterSwap = store.history().heldBytes();
  EXPECT_LT(afterSwap - afterRemove, 2 * oneGraph + 512);
  EXPECT_EQ(store.history().retainedBytes(store.state()), 2 * sizeof(double) + 4 * sizeof(double));
  store.beginStep("Добавить");
  store.appendGraph("новый");
  store.endStep();
  EXPECT_LT(store.history().heldBytes() - afterSwap, 2048u);

  // Undo gives back each state; graphs stay the same objects, assigned in place.
  const Graph* untouched = &store.graph(9000);
  ASSERT_TRUE(store.undo());
  ASSERT_TRUE(store.undo());
  EXPECT_EQ(store.graph(42).title.substr(0, 3), "g42");
  ASSERT_TRUE(store.undo());
  EXPECT_EQ(store.count(), 10'000u);
  EXPECT_EQ(store.graph(1234).title.substr(0, 5), "g1234");
  ASSERT_TRUE(store.undo());
  EXPECT_EQ(store.graph(5000).y(1), 0.5);
  EXPECT_EQ(&store.graph(9000), untouched);
  EXPECT_EQ(store.graph(9000).title.substr(0, 5), "g9000");
  // The redo side holds what the undone commands made, and no more than the undo side did.
  EXPECT_LT(store.history().heldBytes(), 6 * oneGraph + 2048);
  for (int k = 0; k < 4; ++k) {
    ASSERT_TRUE(store.redo());
  }
  EXPECT_EQ(store.count(), 10'000u);
  EXPECT_EQ(store.graph(5000 - 1).y(1), 1.5);  // graph 5000 moved down by the removal
  EXPECT_EQ(store.graph(9999).title, "новый");
}

// A command drawn at random from what the window's commands do to the store.
void randomCommand(GraphStore& store, std::mt19937& random) {
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  store.beginStep("команда");
  const std::size_t n = store.count();
  switch (pick(12)) {
    case 0:
      if (n > 0) {
        for (double& y : store.graph(pick(n)).ysMutable()) {
          y = y * 2 + 1;
        }
      }
      break;
    case 1:
      if (n > 0) {
        store.graph(pick(n)).title += "*";
      }
      break;
    case 2:
      if (n > 0) {
        store.graph(pick(n)).colour = Rgb{1, static_cast<std::uint8_t>(pick(256)), 3};
      }
      break;
    case 3:
      store.appendGraph("новый " + std::to_string(pick(100)));
      store.graph(store.count() - 1).appendPoint(1, 2);
      break;
    case 4:
      if (n > 0) {
        store.removeGraph(pick(n));
        store.setActiveIndex(static_cast<int>(store.count()) - 1);
      }
      break;
    case 5:
      if (n > 1) {
        const std::size_t i = pick(n - 1);
        store.exchangeNeighbours(i, i + 1);
      }
      break;
    case 6:
      store.closeGraphs({pick(n + 1), pick(n + 1)});
      break;
    case 7:
      if (n > 0) {
        store.setSourceFile(pick(n), "файл " + std::to_string(pick(100)) + ".grf");
      }
      break;
    case 8:
      store.footLines.push_back("подпись");
      store.setActiveIndex(n > 0 ? static_cast<int>(pick(n)) : -1);
      break;
    case 9:
      if (n > 0) {
        store.graph(pick(n)).setPoints({1, 2, 3}, {4, 5, static_cast<double>(pick(9))});
      }
      break;
    case 10:
      if (pick(4) == 0) {
        store.closeAll();
      }
      break;
    default:
      break;  // a command that changes nothing
  }
  store.endStep();
}

TEST(UndoStepSize, UndoAndRedoGiveBackEveryStateOfARandomWalk) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    GraphStore store;
    fillTitled(store, 30, 5, 20);
    std::vector<DocumentState> states{store.state()};
    for (int k = 0; k < 60; ++k) {
      const std::size_t steps = store.history().undoCount();
      randomCommand(store, random);
      if (store.history().undoCount() > steps) {
        states.push_back(store.state());
      } else {
        EXPECT_TRUE(store.state().sameAs(states.back()));
      }
    }
    ASSERT_EQ(store.history().undoCount(), states.size() - 1);
    for (std::size_t i = states.size() - 1; i-- > 0;) {
      const Graph* first = store.count() > 0 ? &store.graph(0) : nullptr;
      ASSERT_TRUE(store.undo());
      ASSERT_TRUE(store.state().sameAs(states[i])) << "undo to state " << i;
      if (first != nullptr && store.count() > 0) {
        EXPECT_EQ(&store.graph(0), first);  // graphs are assigned in place
      }
    }
    EXPECT_FALSE(store.undo());
    for (std::size_t i = 1; i < states.size(); ++i) {
      ASSERT_TRUE(store.redo());
      ASSERT_TRUE(store.state().sameAs(states[i])) << "redo to state " << i;
    }
    EXPECT_FALSE(store.redo());
    // Half way back, a new command drops the redo side and is undone in turn.
    const std::size_t half = states.size() / 2;
    for (std::size_t i = states.size() - 1; i > half; --i) {
      ASSERT_TRUE(store.undo());
    }
    store.beginStep("новая");
    store.titleLines = {"новая"};
    store.endStep();
    EXPECT_FALSE(store.history().canRedo());
    ASSERT_TRUE(store.undo());
    EXPECT_TRUE(store.state().sameAs(states[half]));
  }
}

TEST(UndoStepSize, ChangesOutsideAnyStepAreUndoneWithTheNewestStep) {
  GraphStore store;
  fillTitled(store, 4, 10, 0);
  const DocumentState opened = store.state();
  store.beginStep("Умножение по Y");
  store.graph(1).setY(2, 99);
  store.endStep();
  // Saving sets an entry, and other actions change the store without a step of their own.
  store.setSourceFile(0, "saved.grf");
  store.removeGraph(3);
  store.setActiveIndex(2);
  const DocumentState outside = store.state();
  ASSERT_TRUE(store.undo());
  EXPECT_TRUE(store.state().sameAs(opened));
  ASSERT_TRUE(store.redo());
  EXPECT_TRUE(store.state().sameAs(outside));

  // After an undo: the change outside, then a new command; undo goes back through both.
  ASSERT_TRUE(store.undo());
  store.graph(0).title = "вне шага";
  const DocumentState beforeCommand = store.state();
  store.beginStep("Вверх");
  store.exchangeNeighbours(0, 1);
  store.endStep();
  ASSERT_TRUE(store.undo());
  EXPECT_TRUE(store.state().sameAs(beforeCommand));
  // A graph appended outside any step after the undo: redo gives the state after the
  // undone command, and undo gives back the document with the appended graph.
  store.appendGraph("ещё");
  const DocumentState appended = store.state();
  ASSERT_TRUE(store.redo());
  EXPECT_EQ(store.count(), 4u);
  EXPECT_EQ(store.graph(0).title, "g1");
  EXPECT_EQ(store.graph(1).title, "вне шага");
  ASSERT_TRUE(store.undo());
  EXPECT_TRUE(store.state().sameAs(appended));
}

}  // namespace
}  // namespace tarvik
