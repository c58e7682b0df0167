// The undo step as its owners hold it (the window's commands, the batch runner's, the
// chart's drag gestures): one step however the owner ends, and no undo or redo while a
// step is open.
#include <gtest/gtest.h>

#include <stdexcept>

#include "core/UndoStep.h"

namespace tarvik {
namespace {

// A store with one graph y = 0, 1, 2 and one undo step behind it (y doubled).
void fillWithOneStep(GraphStore& store) {
  store.attachGraph(Graph{}, "entry");
  store.graph(0).setPoints({0, 1, 2}, {0, 1, 2});
  const UndoStep step(store, "Умножение по Y");
  for (double& y : store.graph(0).ysMutable()) {
    y *= 2;
  }
}

TEST(UndoStepOwner, UndoRefusedInsideAnOpenStep) {
  GraphStore store;
  fillWithOneStep(store);
  ASSERT_EQ(store.history().undoCount(), 1u);
  {
    const UndoStep step(store, "Сдвиг графика");
    store.graph(0).ysMutable()[0] = 7;
    EXPECT_TRUE(store.stepOpen());
    EXPECT_FALSE(store.undo());  // the stroke under way is not taken apart
    EXPECT_EQ(store.graph(0).y(0), 7);
    EXPECT_EQ(store.graph(0).y(2), 4);
    EXPECT_EQ(store.history().undoCount(), 1u);
    EXPECT_EQ(store.history().redoCount(), 0u);
  }
  EXPECT_FALSE(store.stepOpen());
  EXPECT_EQ(store.history().undoCaption(), "Сдвиг графика");
  ASSERT_TRUE(store.undo());
  ASSERT_TRUE(store.redo());
  ASSERT_TRUE(store.undo());  // the stroke
  {
    const UndoStep step(store, "Сдвиг графика");
    EXPECT_FALSE(store.redo());
    EXPECT_EQ(store.history().redoCount(), 1u);
  }
  ASSERT_TRUE(store.undo());  // the multiplication
  EXPECT_EQ(store.graph(0).y(2), 2);
}

TEST(UndoStepOwner, ClosesOnceHoweverItsOwnerEnds) {
  struct Case {
    const char* what;
    void (*run)(GraphStore&);
  };
  const Case cases[] = {
      {"an exception", [](GraphStore& store) {
         try {
           const UndoStep step(store, "a");
           store.appendGraph("new");
           throw std::runtime_error("stopped");
         } catch (const std::runtime_error&) {
         }
       }},
      {"closed early, then destroyed", [](GraphStore& store) {
         UndoStep step(store, "a");
         store.appendGraph("new");
         step.close();
         EXPECT_FALSE(step.isOpen());
         EXPECT_FALSE(store.stepOpen());
         step.close();
       }},
      {"moved to another owner", [](GraphStore& store) {
         UndoStep outer;
         {
           UndoStep step(store, "a");
           store.appendGraph("new");
           outer = std::move(step);
         }
         EXPECT_TRUE(store.stepOpen());  // the moved-from one did not close it
         EXPECT_TRUE(outer.isOpen());
       }},
      {"closed, then a second one in its place", [](GraphStore& store) {
         UndoStep step(store, "first");
         store.appendGraph("new");
         step.close();
         step = UndoStep(store, "a");
         store.appendGraph("newer");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GraphStore store;
    fillWithOneStep(store);
    const std::size_t before = store.history().undoCount();
    c.run(store);
    EXPECT_FALSE(store.stepOpen());
    EXPECT_EQ(store.history().undoCaption(), "a");
    EXPECT_GE(store.history().undoCount(), before + 1);
    ASSERT_TRUE(store.undo());
  }
}

}  // namespace
}  // namespace tarvik
