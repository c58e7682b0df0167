#include "core/GraphStore.h"

#include <gtest/gtest.h>

#include "core/Palette.h"

namespace tarvik {
namespace {

TEST(GraphStore, NewGraphsTakeThePaletteInTurn) {
  GraphStore store;
  for (int i = 0; i < 15; ++i) {
    store.appendGraph("g");
  }
  EXPECT_EQ(store.graph(0).colour, (Rgb{0, 0, 0}));
  EXPECT_EQ(store.graph(1).colour, (Rgb{255, 0, 0}));
  EXPECT_EQ(store.graph(14).colour, (Rgb{0, 0, 0}));
  EXPECT_EQ(store.activeIndex(), 14);
  EXPECT_EQ(store.unnamedCounter(), 16);
}

}  // namespace
}  // namespace tarvik
