// The command protocol of the transforms with a scripted Ui: captions, messages, cancel,
// the re-ask loop and the mapping of selection rows to tag-0 graphs.
#include <gtest/gtest.h>

#include "TransformTestUtil.h"
#include "core/Palette.h"
#include "support/ScriptedUi.h"
#include "transforms/CalculusCommands.h"
#include "transforms/PointwiseCommands.h"
#include "transforms/RunningStatsCommands.h"
#include "transforms/SumProductCommands.h"

namespace tarvik {
namespace {

using testing::addGraph;
using testing::ScriptedUi;
using testing::toVector;

class RecordingChart : public ChartPort {
 public:
  int wholeExtent = 0;
  void showWholeExtent() override { ++wholeExtent; }
};

struct Fixture {
  GraphStore store;
  ScriptedUi ui;
  RecordingChart chart;
  CommandContext ctx{store, ui};
  Fixture() { store.setChartPort(&chart); }
};

TEST(PointwiseCommand, EmptyStoreShowsNothing) {
  Fixture f;
  pointwiseCommand(f.ctx, PointwiseKind::ShiftX);
  combineCommand(f.ctx, Combination::Sum);
  derivativeCommand(f.ctx);
  EXPECT_TRUE(f.ui.choiceRequests.empty());
  EXPECT_TRUE(f.ui.valueCaptions.empty());
}

TEST(PointwiseCommand, CancelInEitherDialogChangesNothing) {
  Fixture f;
  addGraph(f.store, {1, 2}, {3, 4});
  f.ui.selections = {std::nullopt, std::vector<int>{0}};
  f.ui.values = {std::nullopt};
  pointwiseCommand(f.ctx, PointwiseKind::MultiplyY);
  pointwiseCommand(f.ctx, PointwiseKind::MultiplyY);
  EXPECT_EQ(toVector(f.store.graph(0).ys()), (std::vector<double>{3, 4}));
  ASSERT_EQ(f.ui.choiceRequests.size(), 2u);
  EXPECT_EQ(f.ui.choiceRequests[0].caption, "Выбрать графики для умножения по Y");
  EXPECT_EQ(f.ui.valueCaptions, (std::vector<std::string>{"Задать величину умножения по Y"}));
}

TEST(PointwiseCommand, ReasksAfterBadNumberAndZeroDivisor) {
  Fixture f;
  addGraph(f.store, {1, 2}, {3, 4});
  f.ui.selections = {std::vector<int>{0}};
  f.ui.values = {"abc", "0", "2"};
  pointwiseCommand(f.ctx, PointwiseKind::DivideX);
  EXPECT_EQ(f.ui.errors(),
            (std::vector<std::string>{"Неверно задано значение деления", kZeroDivisor}));
  EXPECT_EQ(f.ui.valueCaptions.size(), 3u);
  EXPECT_EQ(toVector(f.store.graph(0).xs()), (std::vector<double>{0.5, 1}));
}

TEST(PointwiseCommand, DecibelBaseMustBePositive) {
  Fixture f;
  addGraph(f.store, {1}, {10});
  f.ui.selections = {std::vector<int>{0}};
  f.ui.values = {"x", "-1", "1"};
  pointwiseCommand(f.ctx, PointwiseKind::Decibels);
  EXPECT_EQ(f.ui.errors(), (std::vector<std::string>{kBadDecibelBase, kNonPositiveDecibelBase}));
  EXPECT_EQ(f.ui.valueCaptions[0], "Задать относительную базу");
  EXPECT_DOUBLE_EQ(f.store.graph(0).y(0), 20);
}

TEST(PointwiseCommand, RowsCountOnlyTagZeroGraphs) {
  Fixture f;
  addGraph(f.store, {0}, {1}, "a");
  addGraph(f.store, {0}, {1}, "b");
  addGraph(f.store, {0}, {1}, "c");
  f.store.graph(1).tag = 1;
  f.ui.selections = {std::vector<int>{1}};
  pointwiseCommand(f.ctx, PointwiseKind::Negate);
  ASSERT_EQ(f.ui.choiceRequests[0].entries.size(), 2u);
  EXPECT_EQ(f.ui.choiceRequests[0].entries[1], "3. c: c");
  EXPECT_EQ(f.store.graph(0).y(0), 1);
  EXPECT_EQ(f.store.graph(1).y(0), 1);
  EXPECT_EQ(f.store.graph(2).y(0), -1);
}

TEST(PointwiseCommand, NormalisationIsJoint) {
  Fixture f;
  addGraph(f.store, {0, 1}, {2, 1});
  addGraph(f.store, {0, 1}, {-5, 0});
  f.ui.selections = {std::vector<int>{0, 1}, std::vector<int>{0}};
  pointwiseCommand(f.ctx, PointwiseKind::Normalize);
  EXPECT_DOUBLE_EQ(f.store.graph(0).y(0), 0.4);
  EXPECT_DOUBLE_EQ(f.store.graph(1).y(0), -1);
  f.store.graph(0).setPoints({0}, {0});
  pointwiseCommand(f.ctx, PointwiseKind::Normalize);  // all zero: nothing changes
  EXPECT_EQ(f.store.graph(0).y(0), 0);
}

TEST(PointwiseCommand, QuotientFaultNamesTheGraphAndGoesOn) {
  Fixture f;
  addGraph(f.store, {1, 2}, {1, 2}, "a");
  addGraph(f.store, {1e300, 2}, {1e-300, 2}, "b");
  addGraph(f.store, {4}, {2}, "c");
  f.ui.selections = {std::vector<int>{1, 2}};
  pointwiseCommand(f.ctx, PointwiseKind::XOverY);
  EXPECT_EQ(f.ui.errors(), (std::vector<std::string>{"Ошибка в строке 1 деление на ноль"}));
  EXPECT_EQ(f.store.graph(1).title, "b");
  EXPECT_EQ(f.store.graph(1).x(0), 1e300);
  EXPECT_EQ(f.store.graph(2).title, "c (X/Y)");
  EXPECT_EQ(f.store.graph(2).x(0), 2);
}

TEST(SumCommand, AppendsUnnamedResultAndUndoesZoomEvenOnCancel) {
  Fixture f;
  addGraph(f.store, {0, 1}, {1, 1});
  addGraph(f.store, {2, 3}, {1, 1});
  const int counter = f.store.unnamedCounter();
  f.ui.selections = {std::nullopt, std::vector<int>{0, 1}, std::vector<int>{1}};
  combineCommand(f.ctx, Combination::Sum);
  EXPECT_EQ(f.store.count(), 2u);
  EXPECT_EQ(f.store.unnamedCounter(), counter);
  EXPECT_EQ(f.chart.wholeExtent, 1);
  combineCommand(f.ctx, Combination::Sum);
  combineCommand(f.ctx, Combination::Product);
  EXPECT_EQ(f.ui.choiceRequests[1].caption, "Выбрать графики для суммирования");
  EXPECT_EQ(f.ui.choiceRequests[2].caption, "Выбрать графики для перемножения");
  ASSERT_EQ(f.store.count(), 4u);
  const Graph& sum = f.store.graph(2);
  EXPECT_EQ(sum.title, "Сумма");
  EXPECT_EQ(sum.size(), 256u);
  EXPECT_EQ(sum.x(0), 0);
  EXPECT_DOUBLE_EQ(sum.x(255), 3);
  EXPECT_EQ(f.store.sourceFile(2), "Без имени-" + std::to_string(counter));
  EXPECT_EQ(f.store.graph(3).title, "Произведение");
  EXPECT_EQ(f.store.sourceFile(3), "Без имени-" + std::to_string(counter + 1));
  EXPECT_EQ(f.store.graph(3).colour, newGraphColour(3));
}

TEST(CalculusCommand, DerivativeFaultLeavesGraphAndSingleLosesItsPoint) {
  Fixture f;
  addGraph(f.store, {0, 1, 1}, {0, 1, 2}, "a");
  addGraph(f.store, {5}, {1}, "b");
  addGraph(f.store, {}, {}, "e");
  f.ui.selections = {std::vector<int>{0, 1, 2}};
  derivativeCommand(f.ctx);
  EXPECT_EQ(f.ui.choiceRequests[0].caption, "Выбрать графики для вычисления производной");
  EXPECT_EQ(f.ui.errors(), (std::vector<std::string>{"Ошибка в строке 0 деление на ноль"}));
  EXPECT_EQ(f.store.graph(0).size(), 3u);
  EXPECT_EQ(f.store.graph(0).title, "a");
  EXPECT_TRUE(f.store.graph(1).empty());
  EXPECT_EQ(f.store.graph(1).title, "b(произв.)");
  EXPECT_EQ(f.store.graph(2).title, "e");
}

TEST(CalculusCommand, SuffixesOfIntegralAndRc) {
  Fixture f;
  addGraph(f.store, {0, 1, 2}, {0, 2, 4}, "a");
  f.ui.selections = {std::vector<int>{0}, std::vector<int>{0}, std::vector<int>{0}};
  integralCommand(f.ctx);
  RcOptions rc;
  rcDifferentiationCommand(f.ctx, rc);
  rcIntegrationCommand(f.ctx, rc);
  EXPECT_EQ(f.store.graph(0).title, "a (интегр.)(дифф)(интегр.)");
  EXPECT_EQ(toVector(f.store.graph(0).ys()), (std::vector<double>{1, 4}));
  EXPECT_EQ(f.ui.choiceRequests[1].caption, "Выбрать графики для дифференцирования");
  EXPECT_EQ(f.ui.choiceRequests[2].caption, "Выбрать графики для интегрирования");
}

TEST(CalculusCommand, TimeConstantDialogRefusesNonPositive) {
  Fixture f;
  RcOptions rc;
  int shown = 0;
  f.ui.options = [&shown](DialogOptions& o) {
    auto& r = dynamic_cast<RcOptions&>(o);
    r.tauNs = ++shown == 1 ? 0 : 30;
    r.randomError = true;
    r.levels = 1000;
    return true;
  };
  timeConstantCommand(f.ctx, rc);
  EXPECT_EQ(f.ui.optionDialogs, (std::vector<std::string>{"TfmChartRC", "TfmChartRC"}));
  EXPECT_EQ(f.ui.errors(), (std::vector<std::string>{kNonPositiveTimeConstant}));
  EXPECT_EQ(rc.tauNs, 30);
  EXPECT_TRUE(rc.randomError);
  EXPECT_EQ(rc.levels, 256);
  f.ui.options = {};  // cancel keeps the fields
  timeConstantCommand(f.ctx, rc);
  EXPECT_EQ(rc.tauNs, 30);
}

TEST(CalculusCommand, EdTauCloseCheck) {
  EXPECT_FALSE(timeConstantRefusal("15"));
  EXPECT_FALSE(timeConstantRefusal("1.5e1"));
  EXPECT_EQ(timeConstantRefusal("abc"), std::string(kBadTimeConstant));
  EXPECT_EQ(timeConstantRefusal(""), std::string(kBadTimeConstant));
  EXPECT_EQ(timeConstantRefusal("-2"), std::string(kNonPositiveTimeConstant));
  RcOptions rc;
  EXPECT_DOUBLE_EQ(rc.tauSeconds(), 1.5e-8);
}

TEST(RunningStatsCommand, EnergyTitleAndUnitRefusal) {
  Fixture f;
  addGraph(f.store, {0, 1, 2, 3}, {2, 2, 2, 2}, "I");
  addGraph(f.store, {0}, {2}, "one");
  f.ui.selections = {std::vector<int>{0, 1}};
  f.ui.separator = ',';
  EnergyUnitsOptions units;
  int shown = 0;
  f.ui.options = [&shown](DialogOptions& o) {
    auto& u = dynamic_cast<EnergyUnitsOptions&>(o);
    u.timeUnit = ++shown == 1 ? "Годы" : "Наносекунды";
    return true;
  };
  runningEnergyCommand(f.ctx, units);
  EXPECT_EQ(f.ui.choiceRequests[0].caption, "Выбрать графики тока для вычисления энергии");
  EXPECT_EQ(f.ui.errors(), (std::vector<std::string>{std::string(kUnknownTimeUnit) + "Годы"}));
  EXPECT_EQ(f.store.graph(0).title, "I (энергия =1,2E-08 Дж)");
  EXPECT_EQ(f.store.graph(0).size(), 3u);
  EXPECT_EQ(f.store.graph(1).title, "one");  // one point: unchanged
  EXPECT_EQ(f.store.graph(1).size(), 1u);
}

TEST(RunningStatsCommand, CancelOfUnitDialogChangesNothing) {
  Fixture f;
  addGraph(f.store, {0, 1}, {2, 2}, "I");
  f.ui.selections = {std::vector<int>{0}, std::vector<int>{0}};
  EnergyUnitsOptions units;
  runningEnergyCommand(f.ctx, units);
  EXPECT_EQ(f.ui.optionDialogs, (std::vector<std::string>{"TfmSelectGrParam"}));
  EXPECT_EQ(f.store.graph(0).size(), 2u);
  runningMeanCommand(f.ctx);
  EXPECT_EQ(f.store.graph(0).title, "I (среднее)");
}

}  // namespace
}  // namespace tarvik
