#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string_view>
#include <vector>

#include "support/ScriptedUi.h"
#include "transforms/PointTable.h"
#include "transforms/TransformTestUtil.h"

namespace tarvik::transforms {
namespace {

using testing::addGraph;
using testing::ScriptedUi;
using testing::toVector;

std::vector<PointTableRow> cellsOf(const Graph& g, char separator) {
  std::vector<PointTableRow> rows;
  for (std::size_t i = 0; i < g.size(); ++i) {
    rows.push_back({pointTableCell(g.x(i), separator), pointTableCell(g.y(i), separator)});
  }
  return rows;
}

TEST(PointTable, OpensUpToTenThousandPointsAndNamesTheFault) {
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  EXPECT_FALSE(pointTableGraph(ctx));  // nothing active
  addGraph(store, std::vector<double>(10000, 1.0), std::vector<double>(10000, 2.0));
  addGraph(store, std::vector<double>(10001, 1.0), std::vector<double>(10001, 2.0));
  store.setActiveIndex(0);
  EXPECT_EQ(pointTableGraph(ctx), std::optional<std::size_t>(0));
  store.setActiveIndex(1);
  EXPECT_FALSE(pointTableGraph(ctx));
  EXPECT_FALSE(pointTableGraph(ctx, 7));
  EXPECT_EQ(ui.errors(), (std::vector<std::string>{"Не выбран активный график", kPointTableTooLong,
                                                   "Не выбран активный график"}));
}

TEST(PointTable, OkWithoutEditingRoundsEveryValueToTenDigits) {
  for (const char separator : {'.', ','}) {
    GraphStore store;
    ScriptedUi ui;
    ui.separator = separator;
    CommandContext ctx{store, ui};
    addGraph(store, {1.0 / 3, 2.0 / 3, 12345678901234.0}, {-1.0 / 7, 1.5e-20, 0.0});
    const std::vector<PointTableRow> rows = cellsOf(store.graph(0), separator);
    EXPECT_EQ(rows[0].x, separator == '.' ? "0.3333333333" : "0,3333333333");
    EXPECT_FALSE(applyPointTable(ctx, 0, rows));
    const Graph& g = store.graph(0);
    EXPECT_EQ(toVector(g.xs()), (std::vector<double>{0.3333333333, 0.6666666667, 1.23456789E13}));
    EXPECT_EQ(toVector(g.ys()), (std::vector<double>{-0.1428571429, 1.5E-20, 0}));
    EXPECT_TRUE(ui.messages.empty());
  }
}

TEST(PointTable, BadCellLeavesTheGraphAndNamesRowAndColumn) {
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  addGraph(store, {1, 2, 3}, {10, 20, 30});
  const std::vector<PointTableRow> rows{{"5", "1"}, {"6", "2"}, {"7", "x1"}, {"", "3"}};
  const std::optional<CellError> error = applyPointTable(ctx, 0, rows);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->row, 2u);
  EXPECT_EQ(error->column, 1);
  EXPECT_EQ(ui.errors(), std::vector<std::string>{"'x1' — не число"});
  EXPECT_EQ(toVector(store.graph(0).xs()), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(toVector(store.graph(0).ys()), (std::vector<double>{10, 20, 30}));
  // An empty cell is no number either.
  const ConvertedRows empty =
      convertPointRows(std::vector<PointTableRow>{{"1", "2"}, {"", "3"}}, '.');
  ASSERT_TRUE(empty.error);
  EXPECT_EQ(empty.error->row, 1u);
  EXPECT_EQ(empty.error->column, 0);
  EXPECT_TRUE(empty.points.xs.empty());
  EXPECT_THROW(applyPointTable(ctx, 1, rows), std::invalid_argument);
}

TEST(PointTable, CellsReadEitherPointAndWhatTheTableWrites) {
  struct Case {
    const char* text;
    char separator;
    std::optional<double> value;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {"1,5", ',', 1.5}, {"1.5", ',', 1.5},  {" -2.5E3 ", '.', -2500},
      {"1,5", '.', 1.5}, {"INF", '.', inf},  {"-INF", ',', -inf},
      {"", '.', {}},     {"1 2", '.', {}},   {"inf", '.', {}},
      {"0x10", '.', {}}, {"1e400", '.', {}}, {"-0", '.', -0.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parsePointTableCell(c.text, c.separator), c.value) << c.text;
  }
  EXPECT_TRUE(std::isnan(*parsePointTableCell("NAN", '.')));
  EXPECT_EQ(pointTableCell(-inf, ','), "-INF");
  EXPECT_EQ(pointTableCell(1e-5, ','), "1E-5");
}

TEST(PointTable, RowsEndOrderedByXAsAddPointPlacesThem) {
  // Adding a row with the smallest X puts it first; a deleted row is gone; equal X keep
  // their row order.
  Graph g;
  g.title = "keep";
  rebuildGraph(g, {{3, -1, 2, 2, 5}, {30, -10, 20, 21, 50}});
  EXPECT_EQ(toVector(g.xs()), (std::vector<double>{-1, 2, 2, 3, 5}));
  EXPECT_EQ(toVector(g.ys()), (std::vector<double>{-10, 20, 21, 30, 50}));
  EXPECT_EQ(g.title, "keep");

  // Against adding the points one by one, on rows with many equal X and with NaN.
  std::mt19937 random(7);
  std::uniform_int_distribution<int> small(0, 9);
  for (int trial = 0; trial < 50; ++trial) {
    PointArrays rows;
    for (int i = 0; i < 40; ++i) {
      const bool nan = trial % 5 == 4 && i % 13 == 6;
      rows.xs.push_back(nan ? std::nan("") : small(random));
      rows.ys.push_back(i);
    }
    Graph reference;
    for (std::size_t i = 0; i < rows.xs.size(); ++i) {
      reference.addPoint(rows.xs[i], rows.ys[i]);
    }
    Graph rebuilt;
    rebuilt.appendPoint(99, 99);  // old points go
    rebuildGraph(rebuilt, rows);
    EXPECT_EQ(toVector(rebuilt.ys()), toVector(reference.ys())) << "trial " << trial;
  }
}

// 320,000 rows that arrive backwards in pairs of equal X, with one NaN X in the middle:
// each half is ordered on its own, equal X in row order. Added one by one, each row would
// shift every row before it.
TEST(PointTable, ANaNXAmongManyBackwardRowsOrdersEachSideOnItsOwn) {
  constexpr std::size_t kHalf = 160'000;
  PointArrays rows;
  for (std::size_t side = 0; side < 2; ++side) {
    for (std::size_t i = 0; i < kHalf; ++i) {
      rows.xs.push_back(static_cast<double>((kHalf - 1 - i) / 2));
      rows.ys.push_back(static_cast<double>(rows.ys.size()));
    }
    if (side == 0) {
      rows.xs.push_back(std::nan(""));
      rows.ys.push_back(-1);
    }
  }
  // Expected: X value v of a side comes from its rows kHalf − 2 − 2v and kHalf − 1 − 2v.
  std::vector<double> xs, ys;
  for (std::size_t side = 0; side < 2; ++side) {
    const std::size_t offset = side * (kHalf + 1);
    for (std::size_t v = 0; v < kHalf / 2; ++v) {
      for (const std::size_t row : {kHalf - 2 - 2 * v, kHalf - 1 - 2 * v}) {
        xs.push_back(static_cast<double>(v));
        ys.push_back(static_cast<double>(offset + row));
      }
    }
    if (side == 0) {
      xs.push_back(std::nan(""));
      ys.push_back(-1);
    }
  }
  Graph g;
  rebuildGraph(g, rows);
  ASSERT_EQ(g.size(), 2 * kHalf + 1);
  EXPECT_TRUE(std::isnan(g.x(kHalf)));
  EXPECT_EQ(toVector(g.ys()), ys);
  std::vector<double> got = toVector(g.xs());
  got[kHalf] = xs[kHalf] = 0;  // NaN equals nothing, itself included
  EXPECT_EQ(got, xs);
}

TEST(PointTable, TableTextIsCountedThenConvertedWithoutKeepingTheCells) {
  const std::string_view text = "1 2\r\n\n  \t\r\n3\t-4.5\n 5,5   6 \n";
  const TextPoints points = readTableText(text, ',');
  ASSERT_FALSE(points.lineError);
  ASSERT_FALSE(points.tooManyRows);
  ASSERT_FALSE(points.cellError);
  EXPECT_EQ(points.points.xs, (std::vector<double>{1, 3, 5.5}));
  EXPECT_EQ(points.points.ys, (std::vector<double>{2, -4.5, 6}));
  // The same numbers as the cells the table dialog takes.
  const ConvertedRows cells = convertPointRows(splitTableText(text).rows, ',');
  EXPECT_EQ(cells.points.xs, points.points.xs);
  EXPECT_EQ(cells.points.ys, points.points.ys);

  // Three rows where two may be: refused before a cell is read, even a bad one.
  const TextPoints many = readTableText("1 2\n3 x\n5 6\n", '.', 2);
  EXPECT_TRUE(many.tooManyRows);
  EXPECT_FALSE(many.cellError);
  EXPECT_TRUE(many.points.xs.empty());
  EXPECT_FALSE(readTableText("1 2\n3 4\n", '.', 2).tooManyRows);
  // A line of other than two fields is found first, wherever it is.
  const TextPoints split = readTableText("1 2\n3 x\n5 6\n7\n", '.', 2);
  ASSERT_TRUE(split.lineError);
  EXPECT_EQ(split.lineError->message, "Строка 4: нужны два числа, X и Y");
  EXPECT_FALSE(split.tooManyRows);

  // The first cell that does not convert, X before Y, by its line and text.
  struct Case {
    const char* text;
    std::size_t line;
    int column;
    const char* cell;
  };
  for (const Case& c : {Case{"1 2\n\n3 x\ny 4\n", 3, 1, "x"}, Case{"1 2\nz w\n", 2, 0, "z"},
                        Case{"1e400 1\n", 1, 0, "1e400"}}) {
    const TextPoints bad = readTableText(c.text, '.');
    ASSERT_TRUE(bad.cellError) << c.text;
    EXPECT_EQ(bad.cellError->line, c.line) << c.text;
    EXPECT_EQ(bad.cellError->column, c.column) << c.text;
    EXPECT_EQ(bad.cellError->cell, c.cell) << c.text;
    EXPECT_TRUE(bad.points.xs.empty());
  }
}

TEST(PointTable, TextRowsSplitOnBlanksAndTabs) {
  const TextRows rows = splitTableText("1 2\r\n\n  \t\r\n3\t-4.5\n 5,5   6 \n");
  ASSERT_FALSE(rows.error);
  ASSERT_EQ(rows.rows.size(), 3u);
  EXPECT_EQ(rows.rows[1].x, "3");
  EXPECT_EQ(rows.rows[1].y, "-4.5");
  EXPECT_EQ(rows.rows[2].x, "5,5");
  EXPECT_EQ(rows.lines, (std::vector<std::size_t>{1, 4, 5}));

  for (const char* bad : {"1 2\n3\n", "1 2\n3 4 5\n"}) {
    const TextRows split = splitTableText(bad);
    ASSERT_TRUE(split.error) << bad;
    EXPECT_EQ(split.error->line, 2u);
    EXPECT_EQ(split.error->message, "Строка 2: нужны два числа, X и Y");
  }
  EXPECT_TRUE(splitTableText("").rows.empty());
}

TEST(PointTable, ClipboardTextHasHeaderAndTabSeparatedPoints) {
  Graph g;
  g.appendPoint(0.5, -1e-9);
  g.appendPoint(1234567890123.0, 2);
  EXPECT_EQ(pointsAsTabText(g, ','), "X\tY\n0,5\t-1E-9\n1234567890123\t2\n");
  EXPECT_EQ(pointsAsTabText(Graph{}, '.'), "X\tY\n");
}

}  // namespace
}  // namespace tarvik::transforms
