#include <gtest/gtest.h>

#include "core/GraphStore.h"
#include "core/Palette.h"

namespace tarvik {
namespace {

// Each graph added in turn takes the first standard colour still free; white, the chart's
// own colour, is never given; with every colour worn, red is given again.
TEST(Palette, AutomaticColourTakesTheFirstFreeStandardColourButWhite) {
  GraphStore store;
  std::vector<Rgb> given;
  for (int i = 0; i < 16; ++i) {
    Graph g;
    g.colour = automaticColour(store);
    given.push_back(g.colour);
    store.attachGraph(std::move(g), "f");
  }
  std::vector<Rgb> expected;
  for (const Rgb& c : kAutomaticColours) {
    if (!(c == kChartColour)) {
      expected.push_back(c);
    }
  }
  expected.push_back(Rgb{255, 0, 0});  // all fifteen taken
  EXPECT_EQ(given, expected);
}

TEST(Palette, AutomaticColourSkipsColoursOfNewGraphs) {
  GraphStore store;
  for (const char* title : {"a", "b", "c", "d"}) {
    store.appendGraph(title);  // black, red, blue, green (0, 128, 0)
  }
  EXPECT_EQ(automaticColour(store), (Rgb{255, 255, 0}));
  store.graph(1).colour = Rgb{1, 1, 1};  // red is free again
  EXPECT_EQ(automaticColour(store), (Rgb{255, 0, 0}));
}

// A graph of the background colour the user chose would be drawn invisibly: that colour
// is passed over like the chart's own white.
TEST(Palette, AutomaticColourSkipsTheChosenBackground) {
  GraphStore store;
  store.background = Rgb{255, 0, 0};
  EXPECT_EQ(automaticColour(store), (Rgb{0, 128, 0}));
  for (const char* title : {"a", "b", "c", "d"}) {
    store.appendGraph(title);  // black, red, blue, green
  }
  store.background = Rgb{255, 255, 0};
  EXPECT_EQ(automaticColour(store), (Rgb{128, 128, 128}));  // yellow and white passed over
  store.background = Rgb{12, 34, 56};  // no standard colour: nothing more is passed over
  EXPECT_EQ(automaticColour(store), (Rgb{255, 255, 0}));
}

}  // namespace
}  // namespace tarvik
