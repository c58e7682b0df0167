// The appearance rules on the store: memo lines, the legend titles rule, the line
// dialog's width and style rule, colours, and the three commands with a scripted Ui.
#include <gtest/gtest.h>

#include "../support/ScriptedUi.h"
#include "core/ChartAppearance.h"

namespace tarvik {
namespace {

using Lines = std::vector<std::string>;

TEST(ChartAppearance, TextLinesReadAsAMemoHoldsThem) {
  const struct {
    std::string_view text;
    char separator;
    Lines lines;
  } cases[] = {
      {"", '|', {}},
      {"a", '|', {"a"}},
      {"a|b", '|', {"a", "b"}},
      {"a|", '|', {"a"}},
      {"a||", '|', {"a", ""}},
      {"|b", '|', {"", "b"}},
      {"|", '|', {""}},
      {"x\r\ny\r\n", '\n', {"x", "y"}},
      {"x\n\ny", '\n', {"x", "", "y"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(textLines(c.text, c.separator), c.lines) << c.text;
  }
  // What a memo is given it gives back, empty lines at the end included.
  for (const Lines& lines : {Lines{}, Lines{""}, Lines{"a", ""}, Lines{"", "", "b"}}) {
    EXPECT_EQ(textLines(joinLines(lines), '\n'), lines);
  }
}

GraphStore storeWithTitles(const Lines& titles) {
  GraphStore store;
  for (const std::string& title : titles) {
    store.appendGraph(title);
  }
  return store;
}

TEST(ChartAppearance, LegendTitlesGoToCandidatesInOrderAndMissingLinesEmptyTheRest) {
  GraphStore store = storeWithTitles({"a", "b", "c"});
  applyLegendTitles(store, {"x", "y"});
  EXPECT_EQ(store.graph(0).title, "x");
  EXPECT_EQ(store.graph(1).title, "y");
  EXPECT_EQ(store.graph(2).title, "");

  // Lines beyond the graphs are ignored; a graph that is no candidate is skipped and kept.
  store.graph(1).tag = 1;
  applyLegendTitles(store, {"p", "q", "r", "s"});
  EXPECT_EQ(store.graph(0).title, "p");
  EXPECT_EQ(store.graph(1).title, "y");
  EXPECT_EQ(store.graph(2).title, "q");
  EXPECT_EQ(legendTitleLines(store), (Lines{"p", "q"}));
}

TEST(ChartAppearance, LegendTitlesCommandNeedsAnActiveGraphAndKeepsTitlesOnCancel) {
  GraphStore store = storeWithTitles({"a", "b"});
  testing::ScriptedUi ui;
  CommandContext ctx{store, ui};
  Lines shown;
  ui.options = [&shown](DialogOptions& o) {
    auto& memo = dynamic_cast<LegendTitlesOptions&>(o);
    shown = memo.lines;
    memo.lines = {"new"};
    return false;  // cancel
  };
  legendTitlesCommand(ctx);
  EXPECT_EQ(shown, (Lines{"a", "b"}));
  EXPECT_EQ(store.graph(0).title, "a");

  store.setActiveIndex(-1);
  ui.options = [](DialogOptions&) { return true; };
  legendTitlesCommand(ctx);
  EXPECT_EQ(ui.optionDialogs.size(), 1u);  // not opened again without an active graph
}

TEST(ChartAppearance, WidthAboveOneLocksTheStyleAndTheGraphKeepsIt) {
  Graph g;
  ASSERT_EQ(applyLineChange(g, {LineStyle::DashDot, {}, {}}), LineChangeResult::Applied);
  ASSERT_EQ(applyLineChange(g, {{}, 3, {}}), LineChangeResult::Applied);
  EXPECT_FALSE(lineStyleSelectable(g.lineWidth));
  EXPECT_EQ(applyLineChange(g, {LineStyle::Dot, {}, {}}), LineChangeResult::StyleNotSelectable);
  EXPECT_EQ(g.lineStyle, LineStyle::DashDot);

  // Back to 1: the style is selectable again and is the one the graph had.
  ASSERT_EQ(applyLineChange(g, {{}, 1, {}}), LineChangeResult::Applied);
  EXPECT_TRUE(lineStyleSelectable(g.lineWidth));
  EXPECT_EQ(g.lineStyle, LineStyle::DashDot);
  // Width 1 and a style in one change: the width goes first.
  g.lineWidth = 5;
  EXPECT_EQ(applyLineChange(g, {LineStyle::Dash, 1, {}}), LineChangeResult::Applied);
  EXPECT_EQ(g.lineStyle, LineStyle::Dash);
}

TEST(ChartAppearance, ARefusedLineChangeChangesNothing) {
  Graph g;
  g.colour = {1, 2, 3};
  for (int width : {0, 101, -1}) {
    EXPECT_EQ(applyLineChange(g, {LineStyle::Dot, width, Rgb{9, 9, 9}}),
              LineChangeResult::WidthOutOfRange);
  }
  EXPECT_EQ(applyLineChange(g, {LineStyle::Dot, 2, Rgb{9, 9, 9}}),
            LineChangeResult::StyleNotSelectable);
  EXPECT_EQ(g.lineWidth, 1);
  EXPECT_EQ(g.lineStyle, LineStyle::Solid);
  EXPECT_EQ(g.colour, (Rgb{1, 2, 3}));
  EXPECT_EQ(applyLineChange(g, {{}, 100, Rgb{9, 9, 9}}), LineChangeResult::Applied);
  EXPECT_EQ(g.colour, (Rgb{9, 9, 9}));
}

TEST(ChartAppearance, LineStylesByPositionAndName) {
  const char* names[] = {"solid", "dash", "dot", "dash-dot", "dash-dot-dot"};
  for (int i = 0; i < 5; ++i) {
    const std::optional<LineStyle> style = lineStyleAt(i);
    ASSERT_TRUE(style);
    EXPECT_EQ(lineStyleIndex(*style), i);
    EXPECT_EQ(lineStyleFromName(names[i]), style);
  }
  EXPECT_FALSE(lineStyleAt(5));
  EXPECT_FALSE(lineStyleAt(-1));
  EXPECT_FALSE(lineStyleFromName("Dash"));
  EXPECT_FALSE(lineStyleFromName(""));
}

TEST(ChartAppearance, ColoursParseOnlyAsHashAndSixHexDigits) {
  EXPECT_EQ(parseRgb("#FF8000"), (Rgb{255, 128, 0}));
  EXPECT_EQ(parseRgb("#0a0B0c"), (Rgb{10, 11, 12}));
  for (std::string_view bad :
       {"", "#", "FF8000", "#FF800", "#FF80000", "#GG0000", "#FF 000", "red", "#-F0000"}) {
    EXPECT_FALSE(parseRgb(bad)) << bad;
  }
  EXPECT_EQ(formatRgb({0, 171, 255}), "#00ABFF");
  EXPECT_EQ(parseRgb(formatRgb({7, 200, 33})), (Rgb{7, 200, 33}));
}

TEST(ChartAppearance, LegendColourFollowsTheBackgroundAlsoAfterCancel) {
  GraphStore store;
  testing::ScriptedUi ui;
  CommandContext ctx{store, ui};
  ui.colours.push_back(Rgb{200, 220, 240});
  backgroundCommand(ctx);
  EXPECT_EQ(store.background, (Rgb{200, 220, 240}));
  EXPECT_EQ(store.legendColour, (Rgb{200, 220, 240}));

  store.legendColour = Rgb{255, 255, 255};  // as printing leaves it for a moment
  backgroundCommand(ctx);                   // cancelled
  EXPECT_EQ(store.background, (Rgb{200, 220, 240}));
  EXPECT_EQ(store.legendColour, (Rgb{200, 220, 240}));
  EXPECT_EQ(ui.colourRequests, 2);
}

TEST(ChartAppearance, TitlesCommandStoresEveryFieldOnOkAndNothingOnCancel) {
  GraphStore store;
  store.yAxisTitle = "U, В";
  store.footLines = {"f"};
  testing::ScriptedUi ui;
  CommandContext ctx{store, ui};
  ChartTextFields seen;
  ui.options = [&seen](DialogOptions& o) {
    auto& fields = dynamic_cast<ChartTextsOptions&>(o).texts;
    seen = fields;
    fields = {{"T1", "T2"}, {}, "I, кА", "f, МГц", "top", "right", 80, 260, 10, 5};
    return false;
  };
  chartTextsCommand(ctx);
  EXPECT_EQ(seen.leftAxis, "U, В");
  EXPECT_EQ(seen.footLines, Lines{"f"});
  EXPECT_EQ(seen.leftAngle, 90);
  EXPECT_EQ(store.yAxisTitle, "U, В");
  EXPECT_TRUE(store.titleLines.empty());

  const auto fill = ui.options;
  ui.options = [fill](DialogOptions& o) { return !fill(o); };
  chartTextsCommand(ctx);
  const ChartTextFields now = readChartTexts(store);
  EXPECT_EQ(now.titleLines, (Lines{"T1", "T2"}));
  EXPECT_TRUE(now.footLines.empty());
  EXPECT_EQ(store.yAxisTitle, "I, кА");
  EXPECT_EQ(store.bottomAxisTitle, "f, МГц");
  EXPECT_EQ(store.topAxisTitle, "top");
  EXPECT_EQ(store.rightAxisTitle, "right");
  EXPECT_EQ(store.leftTitleAngle, 80);
  EXPECT_EQ(store.rightTitleAngle, 260);
  EXPECT_EQ(store.topTitleAngle, 10);
  EXPECT_EQ(store.bottomTitleAngle, 5);
}

}  // namespace
}  // namespace tarvik
