#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/GraphStore.h"
#include "core/Palette.h"

namespace tarvik {
namespace {

TEST(GraphStore, NewGraphsTakeThePaletteInTurn) {
  // black, red, blue, green, orange, aqua, fuchsia, teal, brown, lime, maroon, navy, olive,
  // purple; then from the start again.
  const Rgb expected[14] = {{0, 0, 0},     {255, 0, 0},   {0, 0, 255},   {0, 128, 0},
                            {255, 128, 0}, {0, 255, 255}, {255, 0, 255}, {0, 128, 128},
                            {128, 64, 64}, {0, 255, 0},   {128, 0, 0},   {0, 0, 128},
                            {128, 128, 0}, {128, 0, 128}};
  GraphStore store;
  for (int i = 0; i < 30; ++i) {
    store.appendGraph("g");
  }
  for (std::size_t i = 0; i < 30; ++i) {
    EXPECT_EQ(store.graph(i).colour, expected[i % 14]) << i;
  }
  EXPECT_EQ(store.activeIndex(), 29);
  EXPECT_EQ(store.unnamedCounter(), 31);
}

}  // namespace
}  // namespace tarvik

namespace tarvik {
namespace {

// Counts the refresh requests the store sends to the view.
class RecordingChart : public ChartPort {
 public:
  void refreshIndicator() override { ++indicatorRefreshes; }
  void showWholeExtent() override { ++wholeExtents; }
  int indicatorRefreshes = 0;
  int wholeExtents = 0;
};

std::vector<double> xsOf(const Graph& g) { return {g.xs().begin(), g.xs().end()}; }

// Three graphs titled a, b, c whose single point's X is their index.
void fillThree(GraphStore& store) {
  for (const char* title : {"a", "b", "c"}) {
    const std::size_t i = store.appendGraph(title);
    store.graph(i).addPoint(static_cast<double>(i), 0.0);
  }
}

TEST(Graph, AddPointKeepsAscendingXAndArrivalOrderOfEqualX) {
  Graph g;
  g.addPoint(3, 30);
  g.addPoint(1, 10);
  g.addPoint(2, 20);
  g.addPoint(1, 11);
  g.addPoint(-5, -50);
  EXPECT_EQ(xsOf(g), (std::vector<double>{-5, 1, 1, 2, 3}));
  EXPECT_EQ(g.y(2), 11);  // the second X = 1 stands after the first
  g.setX(0, 10);          // replacing X never reorders
  EXPECT_EQ(xsOf(g), (std::vector<double>{10, 1, 1, 2, 3}));
}

// The stamp names the present points: copies that share them keep it, and every way of
// changing points (in place on an unshared block, through a copy, replacing, clearing,
// moving) gives a different one.
TEST(Graph, PointsStampChangesWithThePointsAndNotWithCopies) {
  Graph g;
  g.setPoints({1, 2, 3}, {4, 5, 6});
  const std::uint64_t first = g.pointsStamp();
  EXPECT_NE(first, 0u);
  EXPECT_EQ(g.pointsStamp(), first);
  Graph copy = g;
  EXPECT_EQ(copy.pointsStamp(), first);
  copy.setY(0, 9);  // the shared block is copied first: the original keeps its points
  EXPECT_NE(copy.pointsStamp(), first);
  EXPECT_EQ(g.pointsStamp(), first);
  EXPECT_EQ(g.y(0), 4);

  std::set<std::uint64_t> seen{first, copy.pointsStamp()};
  g.ysMutable()[1] = 7;  // in place: the block is g's alone
  EXPECT_TRUE(seen.insert(g.pointsStamp()).second);
  g.addPoint(0.5, 1);
  EXPECT_TRUE(seen.insert(g.pointsStamp()).second);
  g.deletePoint(0);
  EXPECT_TRUE(seen.insert(g.pointsStamp()).second);
  g.copyPointsFrom(copy);
  EXPECT_TRUE(seen.insert(g.pointsStamp()).second);
  g.setPointsSharingX(copy, {1, 2, 3});
  EXPECT_TRUE(seen.insert(g.pointsStamp()).second);
  EXPECT_EQ(g.xBlock(), copy.xBlock());
  EXPECT_THROW(g.setPointsSharingX(copy, {1, 2}), std::invalid_argument);
  g.clearPoints();
  EXPECT_TRUE(seen.insert(g.pointsStamp()).second);

  const std::uint64_t copyStamp = copy.pointsStamp();
  Graph moved = std::move(copy);
  EXPECT_EQ(moved.pointsStamp(), copyStamp);
  EXPECT_TRUE(seen.insert(copy.pointsStamp()).second);  // the moved-from graph is empty
  EXPECT_TRUE(copy.empty());
}

TEST(GraphStore, AppendGraphEntryDropsPathCharacters) {
  GraphStore store;
  store.appendGraph("Модуль FFT: ");
  store.appendGraph("a/b\\c:d");
  EXPECT_EQ(store.sourceFile(0), "Модуль FFT ");
  EXPECT_EQ(store.graph(0).title, "Модуль FFT: ");
  EXPECT_EQ(store.sourceFile(1), "abcd");
  EXPECT_EQ(store.bottomAxisTitle, "t, нс");
}

TEST(GraphStore, ClosingTheFirstMovesTheOthersIntoItsPlaceAndColour) {
  GraphStore store;
  fillThree(store);
  store.setActiveIndex(2);
  store.closeGraphs({0});
  ASSERT_EQ(store.count(), 2u);
  EXPECT_EQ(store.graph(0).colour, (Rgb{0, 0, 0}));
  EXPECT_EQ(store.graph(1).colour, (Rgb{255, 0, 0}));
  EXPECT_EQ(store.graph(0).title, "b");
  EXPECT_EQ(store.graph(1).title, "c");
  EXPECT_EQ(store.sourceFiles(), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(xsOf(store.graph(0)), std::vector<double>{1});
  EXPECT_EQ(xsOf(store.graph(1)), std::vector<double>{2});
  EXPECT_EQ(store.activeIndex(), 1);  // the active curve c moved down with its points
}

TEST(GraphStore, ActiveIndexAfterClose) {
  const struct {
    int activeBefore;
    std::vector<std::size_t> rows;
    int activeAfter;
  } cases[] = {
      {2, {2}, 1},         // the active last graph closed: the new last one is active
      {1, {1}, 1},         // the active middle graph closed: its place holds c now
      {-1, {0}, 1},        // no active graph: the last one becomes active
      {0, {0, 1, 2}, -1},  // nothing left
      {0, {1, 2}, 0},
  };
  for (const auto& c : cases) {
    GraphStore store;
    RecordingChart chart;
    store.setChartPort(&chart);
    fillThree(store);
    store.setActiveIndex(c.activeBefore);
    store.closeGraphs(c.rows);
    EXPECT_EQ(store.activeIndex(), c.activeAfter) << c.activeBefore;
    EXPECT_EQ(store.sourceFiles().size(), store.count());
    EXPECT_EQ(chart.indicatorRefreshes, 1);
  }
}

TEST(GraphStore, CloseAllKeepsCounterAndTexts) {
  GraphStore store;
  RecordingChart chart;
  store.setChartPort(&chart);
  fillThree(store);
  store.yAxisTitle = "U, В";
  store.closeAll();
  EXPECT_TRUE(store.empty());
  EXPECT_TRUE(store.sourceFiles().empty());
  EXPECT_EQ(store.activeIndex(), -1);
  EXPECT_EQ(chart.wholeExtents, 1);
  EXPECT_EQ(store.yAxisTitle, "U, В");
  EXPECT_EQ(store.takeUnnamedEntry(), "Без имени-4");
  EXPECT_EQ(store.unnamedCounter(), 5);
}

TEST(GraphStore, ExchangeNeighboursMovesWholeGraphsAndTheActiveIndex) {
  GraphStore store;
  fillThree(store);
  store.setActiveIndex(1);
  store.exchangeNeighbours(1, 2);
  EXPECT_EQ(store.graph(2).title, "b");
  EXPECT_EQ(store.graph(2).colour, (Rgb{255, 0, 0}));
  EXPECT_EQ(store.sourceFile(2), "b");
  EXPECT_EQ(store.graph(1).title, "c");
  EXPECT_EQ(store.activeIndex(), 2);
}

// The active graph is the same graph after the exchange, wherever it stood.
TEST(GraphStore, ExchangeNeighboursKeepsTheActiveGraph) {
  const struct {
    std::size_t i, j;
    int activeBefore, activeAfter;
  } cases[] = {
      {0, 1, 0, 1},    // active on the first side
      {0, 1, 1, 0},    // active on the second side
      {1, 2, 2, 1},    // second side, lower pair
      {2, 1, 1, 2},    // the pair given downwards
      {0, 1, 2, 2},    // not involved
      {1, 2, -1, -1},  // none active
  };
  for (const auto& c : cases) {
    GraphStore store;
    fillThree(store);
    store.setActiveIndex(c.activeBefore);
    const std::string activeTitle =
        c.activeBefore >= 0 ? store.graph(static_cast<std::size_t>(c.activeBefore)).title : "";
    store.exchangeNeighbours(c.i, c.j);
    EXPECT_EQ(store.activeIndex(), c.activeAfter) << c.i << c.j << c.activeBefore;
    if (c.activeAfter >= 0) {
      EXPECT_EQ(store.activeGraph()->title, activeTitle);
    }
    EXPECT_EQ(store.graph(c.i).title, store.sourceFile(c.i));
    EXPECT_EQ(store.graph(c.j).title, store.sourceFile(c.j));
  }
}

// Closing graphs before the active one moves it down; it stays active under its new index.
TEST(GraphStore, ActiveGraphFollowsWhenEarlierGraphsClose) {
  const struct {
    int activeBefore;
    std::vector<std::size_t> rows;
    const char* activeTitle;
  } cases[] = {
      {2, {0}, "c"},     // one earlier graph closed
      {3, {0, 2}, "d"},  // two earlier, with a survivor between them
      {2, {1, 3}, "c"},  // one earlier and one later
      {1, {0}, "b"},     // moves into the first place
      {2, {3}, "c"},     // only a later graph closed: stays where it is
  };
  for (const auto& c : cases) {
    GraphStore store;
    for (const char* title : {"a", "b", "c", "d", "e"}) {
      store.appendGraph(title);
    }
    store.setActiveIndex(c.activeBefore);
    store.closeGraphs(c.rows);
    ASSERT_NE(store.activeGraph(), nullptr);
    EXPECT_EQ(store.activeGraph()->title, c.activeTitle) << c.activeBefore;
    EXPECT_EQ(store.sourceFile(static_cast<std::size_t>(store.activeIndex())), c.activeTitle);
  }
}

}  // namespace
}  // namespace tarvik
