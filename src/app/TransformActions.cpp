// The window's transform commands: each menu item and toolbar button of the point-wise,
// sum/product, calculus/RC, running-statistics and graph-editing commands, and their
// dialogs TfmChartRC, TfmSelectGrParam and TfmSelectTwoGr.
#include <memory>
#include <utility>

#include "app/CommandMap.h"
#include "transforms/CalculusCommands.h"
#include "transforms/GraphEditingCommands.h"
#include "transforms/PointwiseCommands.h"
#include "transforms/RunningStatsCommands.h"
#include "transforms/SumProductCommands.h"

namespace tarvik::app {
namespace {

struct PointwiseComponents {
  PointwiseKind kind;
  const char* menuItem;    // nullptr when only a button starts it
  const char* toolButton;  // nullptr when only a menu item starts it
};

constexpr PointwiseComponents kPointwise[] = {
    {PointwiseKind::ShiftX, "CdvigX", "ToolButton18"},
    {PointwiseKind::MultiplyX, "MulX", "ToolButton20"},
    {PointwiseKind::DivideX, "N22", "ToolButton19"},
    {PointwiseKind::InvertX, "N36", nullptr},
    {PointwiseKind::ShiftY, "SdvigY", "ToolButton1"},
    {PointwiseKind::MultiplyY, "MulY", "ToolButton2"},
    {PointwiseKind::DivideY, "N15", "ToolButton3"},
    {PointwiseKind::SqrtAbs, "KorY", "ToolButton4"},
    {PointwiseKind::Square, "KvadratY", "ToolButton5"},
    {PointwiseKind::Magnitude, "Modul", "ToolButton6"},
    {PointwiseKind::Negate, "N11", "ToolButton7"},
    {PointwiseKind::InvertY, "Y1Y1", "ToolButton8"},
    {PointwiseKind::Normalize, "N23", "ToolButton9"},
    {PointwiseKind::ZeroX, nullptr, "ToolButton26"},
    {PointwiseKind::Decibels, nullptr, "ToolButton30"},
    {PointwiseKind::XOverY, nullptr, "ToolButton22"},
    {PointwiseKind::YOverX, nullptr, "ToolButton23"},
    {PointwiseKind::SwapXY, nullptr, "ToolButton24"},
};

// Adds the same handler under each of the given component names.
void addAll(CommandMap& map, std::initializer_list<const char*> names,
            const CommandMap::Handler& handler) {
  for (const char* name : names) {
    if (name != nullptr) {
      map.add(QString::fromLatin1(name), handler);
    }
  }
}

void installPointwise(CommandMap& map) {
  for (const PointwiseComponents& c : kPointwise) {
    const PointwiseKind kind = c.kind;
    addAll(map, {c.menuItem, c.toolButton},
           [kind](CommandContext& ctx) { pointwiseCommand(ctx, kind); });
  }
}

void installCalculus(CommandMap& map) {
  addAll(map, {"Summa", "ToolButton11"},
         [](CommandContext& ctx) { combineCommand(ctx, Combination::Sum); });
  addAll(map, {"N17", "ToolButton12"},
         [](CommandContext& ctx) { combineCommand(ctx, Combination::Product); });
  addAll(map, {"mnDiffer", "ToolButton13"}, derivativeCommand);
  addAll(map, {"N5", "ToolButton14"}, integralCommand);
  // τ and the model settings are the window's state for the whole run.
  auto rc = std::make_shared<RcOptions>();
  map.add("RC2", [rc](CommandContext& ctx) { timeConstantCommand(ctx, *rc); });
  map.add("RC1", [rc](CommandContext& ctx) { rcDifferentiationCommand(ctx, *rc); });
  map.add("RC3", [rc](CommandContext& ctx) { rcIntegrationCommand(ctx, *rc); });
}

void installStatisticsAndEditing(CommandMap& map) {
  map.add("ToolButton27", runningMeanCommand);
  map.add("ToolButton28", runningRmsCommand);
  auto units = std::make_shared<EnergyUnitsOptions>();
  map.add("ToolButton32", [units](CommandContext& ctx) { runningEnergyCommand(ctx, *units); });
  map.add("N33", cloneCommand);
  // Crop takes the X range the user sees on the bottom axis.
  map.add("Y2", [](CommandContext& ctx) { cropCommand(ctx, ctx.store.chart().visibleXRange()); });
  map.add("N25", halveCommand);
  auto splice = std::make_shared<SpliceOptions>();
  map.add("N21", [splice](CommandContext& ctx) { spliceCommand(ctx, *splice); });
}

}  // namespace

// Their dialogs (TfmChartRC, TfmSelectGrParam, TfmSelectTwoGr) are the window's, created
// at start-up in its order and found by the Ui port through the registry.
void installTransformActions(CommandMap& map) {
  installPointwise(map);
  installCalculus(map);
  installStatisticsAndEditing(map);
}

}  // namespace tarvik::app
