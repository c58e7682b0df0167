#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

#include "../io/TempDir.h"
#include "../support/ScriptedUi.h"
#include "synth/Calibration.h"
#include "synth/SensorCommands.h"
#include "synth/SensorConversion.h"

namespace tarvik::synth {
namespace {

using testing::ScriptedUi;
using testing::TempDir;

CalibrationTable tableOf(std::vector<CalibrationRecord> records) {
  return CalibrationTable(std::move(records));
}

// The value of one point written out as described: a linear search for the first U[i] ≥ a,
// the segment's polynomial in float evaluated for both coordinates, bisection in float.
double describedValue(const std::vector<CalibrationRecord>& records, double y) {
  const std::size_t n = records.size();
  std::vector<CalibrationRecord> t{records.front()};
  t.insert(t.end(), records.begin(), records.end());
  t.push_back(records.back());
  const double a = std::fabs(y);
  const double s = y >= 0 ? 1 : -1;
  if (a == 0) {
    return 0;
  }
  std::size_t i = 1;
  while (i <= n && !(a <= t[i].voltage)) {
    ++i;
  }
  if (i == 1) {
    return s * a * t[1].current / t[1].voltage;
  }
  if (i > n) {
    if (n == 1 || t[n].voltage == t[n - 1].voltage) {
      return s * a * t[n].current / t[n].voltage;
    }
    return s * (t[n - 1].current + (a - t[n - 1].voltage) *
                                       (static_cast<double>(t[n].current) - t[n - 1].current) /
                                       (static_cast<double>(t[n].voltage) - t[n - 1].voltage));
  }
  const auto curve = [&](float CalibrationRecord::*field, float tf) {
    const double p0 = t[i - 2].*field, p1 = t[i - 1].*field, p2 = t[i].*field, p3 = t[i + 1].*field,
                 u = tf;
    return static_cast<float>((2 * p1 + (p2 - p0) * u + (2 * p0 - 5 * p1 + 4 * p2 - p3) * (u * u) +
                               (3 * p1 - p0 - 3 * p2 + p3) * (u * u * u)) /
                              2);
  };
  float lo = 0, hi = 1, tt = 0.5f, u = 0, c = 0;
  for (int count = 1;; ++count) {
    u = curve(&CalibrationRecord::voltage, tt);
    c = curve(&CalibrationRecord::current, tt);
    if (a > u) {
      lo = tt;
      tt = (tt + hi) / 2;
    } else if (a < u) {
      hi = tt;
      tt = (tt + lo) / 2;
    }
    if (count > 100 || (0.999 < a / u && a / u < 1.001)) {
      return s * c;
    }
  }
}

const std::vector<CalibrationRecord> kLine{{1, 1}, {2, 2}, {3, 3}};

TEST(CalibrationValue, EdgesOfTheTable) {
  const CalibrationTable table = tableOf(kLine);
  EXPECT_EQ(calibratedValue(table, 0.5), 0.5);  // line through the origin
  EXPECT_EQ(calibratedValue(table, 0.0), 0.0);
  EXPECT_EQ(calibratedValue(table, -0.0), 0.0);
  EXPECT_NEAR(calibratedValue(table, -2.5), -2.5, 2.5e-3);  // spline, within 0.1 %
  EXPECT_EQ(calibratedValue(table, 4), 4.0);                // the last two records
  EXPECT_TRUE(std::isnan(calibratedValue(table, std::nan(""))));
  // The first record serves every a ≤ U[1], however far below.
  const CalibrationTable steep = tableOf({{10, 2}, {30, 4}, {40, 5}});
  EXPECT_DOUBLE_EQ(calibratedValue(steep, 1e-9), 5e-9);
  EXPECT_DOUBLE_EQ(calibratedValue(steep, -2), -10);
}

TEST(CalibrationValue, ExtrapolationWithoutASlopeUsesTheOrigin) {
  // The last two records share U, or there is one record: no division by zero.
  EXPECT_DOUBLE_EQ(calibratedValue(tableOf({{1, 1}, {2, 2}, {3, 2}}), 4), 6);
  EXPECT_DOUBLE_EQ(calibratedValue(tableOf({{1, 1}, {2, 2}, {3, 2}}), -3), -4.5);
  EXPECT_DOUBLE_EQ(calibratedValue(tableOf({{5, 2}}), 3), 7.5);
  EXPECT_DOUBLE_EQ(calibratedValue(tableOf({{5, 2}}), 1), 2.5);
}

TEST(CalibrationValue, EqualsTheDescribedSearchAndBisection) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> step(0.0f, 0.5f), current(-1.0f, 5.0f);
  for (int trial = 0; trial < 40; ++trial) {
    // Rising tables with repeated U values (binary search), and some that fall somewhere.
    std::vector<CalibrationRecord> records;
    float u = step(random) + 0.01f;
    const int n = 1 + trial % 9;
    for (int i = 0; i < n; ++i) {
      records.push_back({current(random), u});
      u += i % 3 == 1 ? 0.0f : step(random);
    }
    if (trial % 5 == 4 && n > 2) {
      std::swap(records[0].voltage, records[static_cast<std::size_t>(n) - 1].voltage);
    }
    const CalibrationTable table = tableOf(records);
    bool rising = true;
    for (std::size_t i = 1; i < records.size(); ++i) {
      rising = rising && records[i - 1].voltage <= records[i].voltage;
    }
    EXPECT_EQ(table.rising(), rising);
    std::uniform_real_distribution<double> voltage(-1.2 * u, 1.2 * u);
    std::vector<double> ys(300);
    for (std::size_t k = 0; k < ys.size(); ++k) {
      // Some exactly on a record.
      ys[k] = k < records.size() ? records[k].voltage : voltage(random);
    }
    std::vector<double> converted(ys.size());
    calibrateValues(table, ys, converted);
    for (std::size_t k = 0; k < ys.size(); ++k) {
      const double y = ys[k];
      const double got = calibratedValue(table, y);
      EXPECT_EQ(std::memcmp(&got, &converted[k], sizeof got), 0) << "whole-graph path, y=" << y;
      const double want = describedValue(records, y);
      if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(got));
      } else {
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0)
            << "trial " << trial << " y=" << y << ": " << got << " vs " << want;
      }
    }
  }
}

TEST(CalibrationFile, ReadsRecordsCommentAndEndRecords) {
  // I then U, any separators, rest of line ignored, the first line's rest is the comment.
  const std::string bytes = "0.1\t0.2 \xC4\xE0\xF2\xF7\xE8\xEA 1\r\n\r\n 2 4 ignored\n3\n6";
  const CalibrationFile file = readCalibrationFile(bytes);
  ASSERT_FALSE(file.error);
  EXPECT_EQ(file.comment, "Датчик 1");
  EXPECT_EQ(calibrationComment(bytes), "Датчик 1");
  const CalibrationTable& t = file.table;
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[1].current, 0.1f);
  EXPECT_EQ(t[1].voltage, 0.2f);
  EXPECT_EQ(t[3].current, 3.0f);
  EXPECT_EQ(t[3].voltage, 6.0f);
  EXPECT_EQ(t[0].voltage, t[1].voltage);  // end records
  EXPECT_EQ(t[4].voltage, t[3].voltage);
  EXPECT_TRUE(t.rising());
}

TEST(CalibrationFile, EmptyAndBadFiles) {
  for (const char* empty : {"", " \r\n\t\n"}) {
    const CalibrationFile file = readCalibrationFile(empty);
    EXPECT_FALSE(file.error);
    EXPECT_TRUE(file.table.empty());
  }
  const CalibrationFile bad = readCalibrationFile("1 1\n2 x2\n");
  ASSERT_TRUE(bad.error);
  EXPECT_EQ(bad.error->message, "Invalid numeric input");
  EXPECT_EQ(bad.error->line, 2u);
  EXPECT_TRUE(bad.table.empty());
  const CalibrationFile odd = readCalibrationFile("1 1\n2\n");  // I without its U
  ASSERT_TRUE(odd.error);
  EXPECT_TRUE(readCalibrationFile("1 1\n2 2\n").table.rising());
  EXPECT_FALSE(readCalibrationFile("1 2\n2 1\n").table.rising());
  EXPECT_EQ(calibrationComment("x 1 comment"), "");
}

TEST(CalibrationFile, ListsCalFilesOfEachFolderOnce) {
  TempDir a, b;
  a.write("first.CAL", "1 1 \xCF\xE5\xF0\xE2\xFB\xE9\n");  // "Первый" in 1251
  a.write("lower.cal", "1 1\n");
  a.write("notes.txt", "1 1\n");
  std::filesystem::create_directory(a.folder() / "dir.CAL");
  b.write("second.CAL", "1 2 second\n");
  const std::vector<CalibrationFileInfo> files = listCalibrationFiles(
      {a.folder().string(), a.folder().string() + "/.", b.folder().string(), a.path("none")});
  ASSERT_EQ(files.size(), 3u);
  std::vector<std::string> names;
  for (const auto& f : files) {
    names.push_back(f.name);
    EXPECT_GT(f.modified, 0) << f.name;
  }
  EXPECT_TRUE(names[0] == "first.CAL" || names[0] == "lower.cal");
  EXPECT_EQ(names[2], "second.CAL");
  EXPECT_EQ(files[2].comment, "second");
  EXPECT_EQ(files[2].path, b.path("second.CAL"));
  for (const auto& f : files) {
    if (f.name == "first.CAL") {
      EXPECT_EQ(f.comment, "Первый");
    }
  }
}

TEST(Laren, TransferLaw) {
  // 1 mV: divisor 0.6 + 7·(1 − e^(−0.055)) ≈ 0.9746.
  EXPECT_NEAR(larenCurrent(0.001), 0.001 / (0.6 + 7 * (1 - std::exp(-0.055))), 1e-15);
  EXPECT_NEAR(larenCurrent(0.001), 0.001026, 1e-6);
  EXPECT_EQ(larenCurrent(0), 0);
  EXPECT_EQ(larenCurrent(-0.25), -larenCurrent(0.25));
  EXPECT_GT(larenCurrent(0.25), 0);
  // 1 V: a = 1000, a^0.7 ≈ 125.9, the divisor is close to 7.6.
  EXPECT_NEAR(larenCurrent(1), 1 / (0.6 + 7 * (1 - std::exp(-0.055 * std::pow(1000, 0.7)))), 1e-12);
}

TEST(DivisorList, ReadsOneFactorPerGraph) {
  const DivisorList ok = readDivisorList("2\r\n4\n", 2, '.');
  EXPECT_FALSE(ok.error);
  EXPECT_EQ(ok.factors, (std::vector<double>{2, 4}));
  // "." always, the locale's separator too; blanks around the number; extra lines unused.
  EXPECT_EQ(readDivisorList(" 0.5 \r1,5\rjunk", 2, ',').factors, (std::vector<double>{0.5, 1.5}));
  EXPECT_EQ(readDivisorList("", 0, '.').factors, std::vector<double>{});

  struct Case {
    const char* bytes;
    std::size_t graphs;
    const char* message;
  };
  for (const Case& c : {Case{"2\n4\n", 3, "List index out of bounds (2)"},
                        Case{"", 1, "List index out of bounds (0)"},
                        Case{"2\nabc\n", 2, "'abc' is not a valid floating point value"},
                        Case{"2\n\n3", 3, "'' is not a valid floating point value"},
                        Case{"1,5\n", 1, "'1,5' is not a valid floating point value"},
                        Case{"2\n0\n", 2, "Floating point division by zero"},
                        Case{"\xF2\xF0\xE8\n", 1, "'три' is not a valid floating point value"}}) {
    const DivisorList list = readDivisorList(c.bytes, c.graphs, '.');
    ASSERT_TRUE(list.error) << c.bytes;
    EXPECT_EQ(*list.error, c.message);
    EXPECT_TRUE(list.factors.empty());
  }
}

Graph graphOf(const std::string& title, std::vector<double> xs, std::vector<double> ys) {
  Graph g;
  g.title = title;
  g.setPoints(std::move(xs), std::move(ys));
  return g;
}

struct SensorCommandTest : ::testing::Test {
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  TempDir dir;
  void SetUp() override {
    store.attachGraph(graphOf("I1", {0, 1, 2, 3}, {0.5, -2.5, 4, 0}), "a.grf");
    store.attachGraph(graphOf("I2", {0, 1}, {8, -4}), "b.grf");
    store.setActiveIndex(0);
  }
  void choose(const std::string& path) {
    ui.options = [path](DialogOptions& o) {
      if (auto* c = dynamic_cast<CalibrationFileChoice*>(&o)) {
        c->path = path;
      } else {
        dynamic_cast<ValuesFileChoice&>(o).path = path;
      }
      return true;
    };
  }
};

TEST_F(SensorCommandTest, CalibrationAppendsConvertedGraphs) {
  choose(dir.write("lin.CAL", "1 1\n2 2\n3 3\n"));
  ui.selections.push_back(std::vector<int>{0, 1});
  CalibrationFileChoice choice;
  calibrationCommand(ctx, choice);
  EXPECT_EQ(ui.choiceRequests.at(0).caption, "Выбрать графики тока для преобразования");
  EXPECT_EQ(ui.optionDialogs, std::vector<std::string>{"TfmChartSelectUI"});
  EXPECT_EQ(choice.path, dir.path("lin.CAL"));
  ASSERT_EQ(store.count(), 4u);
  const Graph& out = store.graph(2);
  EXPECT_EQ(out.title, "U-I I1");
  EXPECT_EQ(store.graph(3).title, "U-I I2");
  EXPECT_EQ(store.activeIndex(), 3);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out.xs()[1], 1.0);
  EXPECT_EQ(out.y(0), 0.5);
  EXPECT_NEAR(out.y(1), -2.5, 2.5e-3);
  EXPECT_EQ(out.y(2), 4.0);
  EXPECT_EQ(out.y(3), 0.0);
  EXPECT_EQ(store.graph(0).y(1), -2.5);  // the source is unchanged
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SensorCommandTest, CalibrationFailuresAppendNothing) {
  struct Case {
    std::string file;
    const char* message;
  };
  const std::string empty = dir.write("empty.CAL", "\r\n");
  const std::string bad = dir.write("bad.CAL", "1 1\n2 2,5x\n");
  for (const Case& c : {Case{empty, "Файл калибровки пуст"}, Case{bad, "Invalid numeric input"},
                        Case{dir.path("none.CAL"), "File not found"}}) {
    ui.messages.clear();
    choose(c.file);
    ui.selections.push_back(std::vector<int>{0});
    CalibrationFileChoice choice;
    calibrationCommand(ctx, choice);
    EXPECT_EQ(ui.errors(), std::vector<std::string>{c.message}) << c.file;
    EXPECT_EQ(store.count(), 2u);
  }
  // The dialog cancelled, or closed with no file: nothing happens.
  ui.messages.clear();
  ui.options = {};
  ui.selections.push_back(std::vector<int>{0});
  CalibrationFileChoice choice;
  calibrationCommand(ctx, choice);
  choose("");
  ui.selections.push_back(std::vector<int>{0});
  calibrationCommand(ctx, choice);
  EXPECT_EQ(store.count(), 2u);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SensorCommandTest, LarenConvertsInPlace) {
  ui.selections.push_back(std::vector<int>{1});
  larenCommand(ctx);
  EXPECT_EQ(ui.choiceRequests.at(0).caption, "Выбрать графики для U(В)-->I(А) ЛАРЕН-5");
  ASSERT_EQ(store.count(), 2u);
  EXPECT_EQ(store.graph(1).title, "I2 (U-->I ЛАРЕН-5)");
  EXPECT_EQ(store.graph(1).y(0), larenCurrent(8));
  EXPECT_EQ(store.graph(1).y(1), larenCurrent(-4));
  EXPECT_EQ(store.graph(1).x(1), 1.0);
  EXPECT_EQ(store.graph(0).title, "I1");
}

TEST_F(SensorCommandTest, DivideByListDividesEveryGraphOrNone) {
  choose(dir.write("values.txt", "2\n4\n"));
  ValuesFileChoice choice;
  divideByListCommand(ctx, choice);
  EXPECT_EQ(ui.optionDialogs, std::vector<std::string>{"OpenValuesDialog"});
  EXPECT_EQ(store.graph(0).y(1), -1.25);
  EXPECT_EQ(store.graph(1).y(0), 2.0);
  EXPECT_EQ(store.graph(1).y(1), -1.0);
  // A bad second factor leaves the first graph undivided as well.
  for (const char* text : {"2\n", "2\n0\n", "2\nfour\n"}) {
    choose(dir.write("values.txt", text));
    ui.messages.clear();
    divideByListCommand(ctx, choice);
    EXPECT_EQ(ui.errors().size(), 1u) << text;
    EXPECT_EQ(store.graph(0).y(1), -1.25) << text;
    EXPECT_EQ(store.graph(1).y(0), 2.0) << text;
  }
}

}  // namespace
}  // namespace tarvik::synth
