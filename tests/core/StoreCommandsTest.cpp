// The commands on the graph list (close, activate, move, colour) run directly and through
// tarvik-batch: both front-ends must leave the same store and ask the chart for the same
// refreshes.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "batch/BatchRunner.h"
#include "core/Palette.h"
#include "core/StoreCommands.h"
#include "support/ScriptedUi.h"

namespace tarvik {
namespace {

using testing::ScriptedUi;

// Every request a command makes of the chart, in order.
class RecordingChart : public ChartPort {
 public:
  void refreshIndicator() override { log.push_back("indicator"); }
  void refreshMenus() override { log.push_back("menus"); }
  void legendRelayout() override { log.push_back("legend"); }
  void redraw() override { log.push_back("redraw"); }
  void showWholeExtent() override { log.push_back("extent"); }
  std::vector<std::string> log;
};

// Graphs "A", "B", ... with entries "fA", "fB", ...; the last one active.
void fill(GraphStore& store, int count) {
  for (int i = 0; i < count; ++i) {
    const std::string title(1, static_cast<char>('A' + i));
    store.appendGraph(title);
    store.setSourceFile(store.count() - 1, "f" + title);
    store.graph(store.count() - 1).addPoint(i, i);
  }
}

// What a person sees of the store: order, entries, colours, widths and the active graph.
std::string describe(const GraphStore& store) {
  std::string text = "active " + std::to_string(store.activeIndex()) + ":";
  for (std::size_t i = 0; i < store.count(); ++i) {
    const Graph& g = store.graph(i);
    text += " " + g.title + "/" + store.sourceFile(i) + "/" + std::to_string(g.colour.r) + "," +
            std::to_string(g.colour.g) + "," + std::to_string(g.colour.b) + "/w" +
            std::to_string(g.lineWidth);
  }
  return text;
}

struct Direct {
  GraphStore store;
  RecordingChart chart;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  Direct() { store.setChartPort(&chart); }
};

struct Batch {
  std::ostringstream out, err;
  batch::BatchSession session{out, err, '.'};
  batch::BatchRegistry registry = batch::standardRegistry();
  RecordingChart chart;
  Batch() { session.store.setChartPort(&chart); }
  int run(const std::string& script) {
    batch::BatchRunner runner(session, registry, err);
    return runner.run(batch::inlineLines(script));
  }
};

TEST(StoreCommands, MoveSwapsWithTheNeighbourAndTheActiveGraphFollows) {
  const struct {
    int active;
    bool up;
    const char* order;
    int activeAfter;
  } cases[] = {
      {2, true, "ACB", 1},   {1, true, "BAC", 0},    {0, true, "ABC", 0},   // top: nothing
      {0, false, "BAC", 1},  {1, false, "ACB", 2},   {2, false, "ABC", 2},  // bottom: nothing
      {-1, true, "ABC", -1}, {-1, false, "ABC", -1}, {7, false, "ABC", 7},
  };
  for (const auto& c : cases) {
    Direct d;
    fill(d.store, 3);
    d.store.setActiveIndex(c.active);
    d.chart.log.clear();
    c.up ? moveActiveUp(d.store) : moveActiveDown(d.store);
    std::string order;
    for (std::size_t i = 0; i < d.store.count(); ++i) {
      order += d.store.graph(i).title;
      EXPECT_EQ(d.store.sourceFile(i), "f" + d.store.graph(i).title);
    }
    EXPECT_EQ(order, c.order) << c.active << (c.up ? " up" : " down");
    EXPECT_EQ(d.store.activeIndex(), c.activeAfter) << c.active;
    const std::vector<std::string> refreshes = {"indicator", "legend", "redraw"};
    EXPECT_EQ(d.chart.log, order != "ABC" ? refreshes : std::vector<std::string>()) << c.active;
  }
}

TEST(StoreCommands, ActivateAndClicksChooseTheActiveGraph) {
  Direct d;
  fill(d.store, 3);
  d.chart.log.clear();
  EXPECT_FALSE(activateGraph(d.store, 3));
  EXPECT_FALSE(chooseActiveByLine(d.store, 0, false));
  EXPECT_FALSE(chooseActiveByLine(d.store, -1, true));
  EXPECT_EQ(d.store.activeIndex(), 2);
  EXPECT_TRUE(d.chart.log.empty());
  EXPECT_TRUE(chooseActiveByLine(d.store, 0, true));
  EXPECT_EQ(d.store.activeIndex(), 0);
  EXPECT_EQ(d.chart.log, std::vector<std::string>{"indicator"});

  // A legend click below the last row takes the last graph and thickens only its line.
  chooseActiveByLegendRow(d.store, 9, false);
  EXPECT_EQ(d.store.activeIndex(), 2);
  EXPECT_EQ(d.store.graph(0).lineWidth, 1);
  EXPECT_EQ(d.store.graph(2).lineWidth, 2);
  chooseActiveByLegendRow(d.store, -4, true);  // fixed widths stay as they are
  EXPECT_EQ(d.store.activeIndex(), 0);
  EXPECT_EQ(d.store.graph(0).lineWidth, 1);
  EXPECT_EQ(d.store.graph(2).lineWidth, 2);
  GraphStore empty;
  chooseActiveByLegendRow(empty, 0, false);
  EXPECT_EQ(empty.activeIndex(), -1);
}

TEST(StoreCommands, SelectActiveTakesTheLastSelectedEntry) {
  Direct d;
  fill(d.store, 3);
  d.ui.selections = {std::vector<int>{0, 1}, std::nullopt};
  selectActiveCommand(d.ctx);
  EXPECT_EQ(d.ui.choiceRequests.at(0).caption, "Сделать активным график");
  EXPECT_EQ(d.store.activeIndex(), 1);
  selectActiveCommand(d.ctx);  // cancelled
  EXPECT_EQ(d.store.activeIndex(), 1);
}

TEST(StoreCommands, CloseAsksOnlyWhenACandidateExists) {
  Direct d;
  closeGraphsCommand(d.ctx);
  EXPECT_TRUE(d.ui.choiceRequests.empty());
  fill(d.store, 3);
  d.ui.selections = {std::nullopt, std::vector<int>{0}};
  closeGraphsCommand(d.ctx);  // cancelled
  EXPECT_EQ(d.store.count(), 3u);
  closeGraphsCommand(d.ctx);
  EXPECT_EQ(d.ui.choiceRequests.at(1).caption, "Закрыть график");
  EXPECT_EQ(describe(d.store), "active 1: B/fB/0,0,0/w1 C/fC/255,0,0/w1");
  closeAllCommand(d.ctx);
  EXPECT_EQ(describe(d.store), "active -1:");
}

TEST(StoreCommands, ColourIsAskedThroughTheUiAndTakenOnOk) {
  Direct d;
  changeActiveColourCommand(d.ctx);  // no graph: the dialog does not open
  EXPECT_EQ(d.ui.colourRequests, 0);
  fill(d.store, 2);
  d.store.setActiveIndex(-1);
  changeActiveColourCommand(d.ctx);  // no active graph
  EXPECT_EQ(d.ui.colourRequests, 0);
  d.store.setActiveIndex(0);
  d.ui.colours = {std::nullopt, Rgb{1, 2, 3}};
  d.chart.log.clear();
  changeActiveColourCommand(d.ctx);  // cancelled
  EXPECT_EQ(d.store.graph(0).colour, newGraphColour(0));
  EXPECT_TRUE(d.chart.log.empty());
  changeActiveColourCommand(d.ctx);
  EXPECT_EQ(d.ui.colourRequests, 2);
  EXPECT_EQ(d.store.graph(0).colour, (Rgb{1, 2, 3}));
  EXPECT_EQ(d.store.graph(1).colour, newGraphColour(1));
  EXPECT_EQ(d.chart.log, (std::vector<std::string>{"indicator", "redraw"}));
}

// The batch runner's list commands are the window's: the same store afterwards and the
// same refreshes asked of the chart, step by step.
TEST(StoreCommands, BatchCommandsDoWhatTheWindowCommandsDo) {
  struct Step {
    const char* script;
    std::function<void(Direct&)> direct;
  };
  const Step steps[] = {
      {"move-up", [](Direct& d) { moveActiveUp(d.store); }},
      {"move-up", [](Direct& d) { moveActiveUp(d.store); }},
      {"move-up", [](Direct& d) { moveActiveUp(d.store); }},  // at the top: nothing
      {"move-down", [](Direct& d) { moveActiveDown(d.store); }},
      {"activate graph=4", [](Direct& d) { activateGraph(d.store, 3); }},
      {"move-down", [](Direct& d) { moveActiveDown(d.store); }},  // at the bottom: nothing
      {"close graphs=1,3",
       [](Direct& d) {
         d.ui.selections = {std::vector<int>{0, 2}};
         closeGraphsCommand(d.ctx);
       }},
      {"close",  // the preselected active graph
       [](Direct& d) {
         d.ui.selections = {std::vector<int>{d.store.activeIndex()}};
         closeGraphsCommand(d.ctx);
       }},
      {"close-all", [](Direct& d) { closeAllCommand(d.ctx); }},
      {"close", [](Direct& d) { closeGraphsCommand(d.ctx); }},  // nothing left
  };
  Direct d;
  Batch b;
  fill(d.store, 4);
  fill(b.session.store, 4);
  for (const Step& step : steps) {
    d.chart.log.clear();
    b.chart.log.clear();
    step.direct(d);
    ASSERT_EQ(b.run(step.script), batch::kExitOk) << step.script << b.err.str();
    EXPECT_EQ(describe(b.session.store), describe(d.store)) << step.script;
    EXPECT_EQ(b.chart.log, d.chart.log) << step.script;
  }
  EXPECT_EQ(b.err.str(), "");
}

}  // namespace
}  // namespace tarvik
