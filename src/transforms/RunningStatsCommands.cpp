#include "transforms/RunningStatsCommands.h"

#include <optional>
#include <vector>

#include "core/NumberFormat.h"
#include "transforms/Pointwise.h"
#include "transforms/RunningStats.h"

namespace tarvik {
namespace {

// Runs TfmSelectGrParam until both unit texts name entries; false on cancel.
bool askUnits(CommandContext& ctx, EnergyUnitsOptions& units) {
  for (;;) {
    EnergyUnitsOptions edited = units;
    if (!ctx.ui.editOptions(edited)) {
      return false;
    }
    if (timeUnitIndex(edited.timeUnit) < 0) {
      ctx.ui.message(MessageKind::Error, kUnknownTimeUnit + edited.timeUnit);
      continue;
    }
    if (currentUnitIndex(edited.currentUnit) < 0) {
      ctx.ui.message(MessageKind::Error, kUnknownCurrentUnit + edited.currentUnit);
      continue;
    }
    units = edited;
    return true;
  }
}

}  // namespace

void runningMeanCommand(CommandContext& ctx) {
  rewriteChosenGraphs(ctx, "Выбрать графики для вычисления среднего значения", 2,
                      [](std::size_t, Graph& g) {
                        runningMean(g.xsMutable(), g.ysMutable());
                        keepFirstPoints(g, g.size() - 1);
                        g.title += " (среднее)";
                      });
}

void runningRmsCommand(CommandContext& ctx) {
  rewriteChosenGraphs(ctx, "Выбрать графики для вычисления среднеквадратич. значения", 2,
                      [](std::size_t, Graph& g) {
                        runningRms(g.xsMutable(), g.ysMutable());
                        keepFirstPoints(g, g.size() - 1);
                        g.title += " (среднеквадратич.)";
                      });
}

void runningEnergyCommand(CommandContext& ctx, EnergyUnitsOptions& units) {
  const auto chosen = pickCandidateGraphs(ctx, "Выбрать графики тока для вычисления энергии");
  if (!chosen || !askUnits(ctx, units)) {
    return;
  }
  const double tf = kTimeFactors[timeUnitIndex(units.timeUnit)];
  const double cf = kCurrentFactors[currentUnitIndex(units.currentUnit)];
  editGraphsTogether(ctx.store, *chosen, [&](std::size_t, Graph& g) {
    if (g.size() < 2) {
      return;
    }
    const double total = runningEnergy(g.xsMutable(), g.ysMutable(), tf, cf);
    keepFirstPoints(g, g.size() - 1);
    g.title += " (энергия =" + formatExponent2(total, ctx.ui.decimalSeparator()) + " Дж)";
  });
  refreshAfterInPlaceChange(ctx);
}

}  // namespace tarvik
