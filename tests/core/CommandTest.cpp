#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "core/Command.h"
#include "support/ScriptedUi.h"

namespace tarvik {
namespace {

using testing::ScriptedUi;

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* title : {"A", "B", "C"}) {
      store.appendGraph(title);
      store.setSourceFile(store.count() - 1, std::string("f") + title + ".grf");
    }
  }
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
};

TEST_F(CommandTest, ListsOnlyCandidateGraphsWithTheirStoreNumbers) {
  store.graph(1).tag = 1;
  ui.selections.push_back(std::vector<int>{1});
  const auto chosen = pickGraphs(ctx, "Закрыть график");
  ASSERT_EQ(ui.choiceRequests.size(), 1u);
  const GraphChoiceRequest& request = ui.choiceRequests[0];
  EXPECT_EQ(request.caption, "Закрыть график");
  EXPECT_EQ(request.entries, (std::vector<std::string>{"1. fA.grf: A", "3. fC.grf: C"}));
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, std::vector<std::size_t>{2});  // entry 1 stands for graph 2
}

TEST_F(CommandTest, SettlesTheActiveIndexAndPreselectsIt) {
  const struct {
    int active;
    int settled;
    int preselected;
  } cases[] = {{5, 2, 2}, {3, 2, 2}, {1, 1, 1}, {-1, -1, -1}};
  for (const auto& c : cases) {
    store.setActiveIndex(c.active);
    ui.choiceRequests.clear();
    pickRows(ctx, "x");
    EXPECT_EQ(store.activeIndex(), c.settled) << c.active;
    ASSERT_EQ(ui.choiceRequests.size(), 1u);
    EXPECT_EQ(ui.choiceRequests[0].preselected, c.preselected) << c.active;
  }
}

TEST_F(CommandTest, ChosenRowsMapToStoreIndicesInOrder) {
  ui.selections.push_back(std::vector<int>{0, 2});
  const auto rows = pickRows(ctx, "x");
  ASSERT_TRUE(rows.has_value());
  EXPECT_EQ(*rows, (std::vector<std::size_t>{0, 2}));
  ui.selections.push_back(std::vector<int>{0, 2});
  const auto graphs = pickGraphs(ctx, "x");
  ASSERT_TRUE(graphs.has_value());
  EXPECT_EQ(*graphs, (std::vector<std::size_t>{0, 2}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CommandTest, CandidateRowsMapToTheGraphsWithTagZero) {
  store.graph(0).tag = 1;
  const struct {
    int row;
    std::optional<std::size_t> graph;
  } cases[] = {{0, 1}, {1, 2}, {2, std::nullopt}, {-1, std::nullopt}};
  for (const auto& c : cases) {
    EXPECT_EQ(candidateGraph(store, c.row), c.graph) << c.row;
  }
  store.setActiveIndex(7);
  EXPECT_EQ(candidateEntries(ctx), (std::vector<std::string>{"2. fB.grf: B", "3. fC.grf: C"}));
  EXPECT_EQ(store.activeIndex(), 2);  // settled as the selection dialog does
}

TEST_F(CommandTest, OkWithoutSelectionIsNotOk) {
  ui.selections.push_back(std::vector<int>{});
  EXPECT_FALSE(pickGraphs(ctx, "x").has_value());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::Info);
  EXPECT_EQ(ui.messages[0].text, "Нет выбранных графиков");
}

TEST_F(CommandTest, CancelIsNotOkAndSilent) {
  ui.selections.push_back(std::nullopt);
  EXPECT_FALSE(pickGraphs(ctx, "x").has_value());
  EXPECT_TRUE(ui.messages.empty());
}

std::string badNumber(const std::string& text) { return "'" + text + "' не число"; }

TEST_F(CommandTest, AskNumberAsksAgainAfterATextThatIsNoNumber) {
  // "," is a decimal point whatever the locale, as in the value dialog.
  ui.values = {std::string("abc"), std::string("1.2.5"), std::string(" 2,5e1 ")};
  const std::optional<double> value = askNumber(ctx, "Умножить на", badNumber);
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(*value, 25.0);
  EXPECT_EQ(ui.valueCaptions, (std::vector<std::string>(3, "Умножить на")));
  EXPECT_EQ(ui.errors(), (std::vector<std::string>{"'abc' не число", "'1.2.5' не число"}));
}

TEST_F(CommandTest, AskNumberReadsTheLocaleSeparator) {
  ui.separator = ',';
  ui.values = {std::string("1,5")};
  EXPECT_EQ(askNumber(ctx, "x", badNumber), 1.5);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CommandTest, AskNumberShowsTheRefusalAndAsksAgain) {
  ui.values = {std::string("0"), std::string("4")};
  const auto nonZero = [](double v) -> std::optional<std::string> {
    return v == 0 ? std::optional<std::string>("Деление на ноль") : std::nullopt;
  };
  EXPECT_EQ(askNumber(ctx, "x", badNumber, nonZero), 4.0);
  EXPECT_EQ(ui.errors(), std::vector<std::string>{"Деление на ноль"});
}

TEST_F(CommandTest, AskNumberCancelEndsTheLoop) {
  ui.values = {std::string("abc"), std::nullopt};
  EXPECT_FALSE(askNumber(ctx, "x", badNumber).has_value());
  EXPECT_EQ(ui.valueCaptions.size(), 2u);
}

// Graphs edited together change only when every edit is done: an edit that runs out of
// memory part-way leaves the graphs before it as they were, and the points they shared
// with the document's earlier state stay shared.
TEST_F(CommandTest, GraphsEditedTogetherChangeAllOrNone) {
  for (std::size_t i = 0; i < store.count(); ++i) {
    store.graph(i).setPoints({1, 2}, {10, 20});
  }
  const auto before = store.graph(0).yBlock();
  const std::vector<std::size_t> all{0, 1, 2};
  const auto edit = [](std::size_t i, Graph& g) {
    if (i == 2) {
      throw std::bad_alloc();
    }
    g.ysMutable()[0] = -1;
    g.title += "!";
  };
  EXPECT_THROW(editGraphsTogether(store, all, edit), std::bad_alloc);
  for (std::size_t i = 0; i < store.count(); ++i) {
    EXPECT_EQ(store.graph(i).y(0), 10) << i;
    EXPECT_EQ(store.graph(i).title.size(), 1u) << i;
  }
  EXPECT_EQ(store.graph(0).yBlock(), before);

  editGraphsTogether(store, {0, 2}, [](std::size_t i, Graph& g) {
    g.ysMutable()[1] = static_cast<double>(i);
  });
  EXPECT_EQ(store.graph(0).y(1), 0);
  EXPECT_EQ(store.graph(1).y(1), 20);
  EXPECT_EQ(store.graph(2).y(1), 2);
}

}  // namespace
}  // namespace tarvik
