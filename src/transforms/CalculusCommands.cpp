#include "transforms/CalculusCommands.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "core/NumberFormat.h"
#include "transforms/Calculus.h"
#include "transforms/Pointwise.h"
#include "transforms/PointwiseCommands.h"

namespace tarvik {

std::optional<std::string> timeConstantRefusal(std::string_view text) {
  const std::optional<double> tau = parseTypedNumber(text, '.');
  if (!tau) {
    return std::string(kBadTimeConstant);
  }
  if (!(*tau > 0)) {
    return std::string(kNonPositiveTimeConstant);
  }
  return std::nullopt;
}

void derivativeCommand(CommandContext& ctx) {
  rewriteChosenGraphs(ctx, "Выбрать графики для вычисления производной", 1,
                      [&ctx](std::size_t i, Graph& g) {
                        if (forwardDerivative(g.xsMutable(), g.ysMutable())) {
                          // Two equal X: the graph stays as it was.
                          ctx.ui.message(MessageKind::Error, divisionFaultMessage(i));
                          return;
                        }
                        keepFirstPoints(g, g.size() - 1);
                        g.title += "(произв.)";
                      });
}

void integralCommand(CommandContext& ctx) {
  rewriteChosenGraphs(ctx, "Выбрать графики для вычисления интеграла", 1,
                      [](std::size_t, Graph& g) {
                        runningTrapezoidIntegral(g.xsMutable(), g.ysMutable());
                        keepFirstPoints(g, g.size() - 1);
                        g.title += " (интегр.)";
                      });
}

void rcDifferentiationCommand(CommandContext& ctx, const RcOptions& rc, std::mt19937_64* random) {
  const auto chosen = pickCandidateGraphs(ctx, "Выбрать графики для дифференцирования");
  if (!chosen) {
    return;
  }
  std::mt19937_64 clockSeeded(
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::mt19937_64& source = random ? *random : clockSeeded;
  editGraphsTogether(ctx.store, *chosen, [&](std::size_t, Graph& g) {
    if (g.empty()) {
      return;
    }
    rcDifferentiate(g.xs(), g.ysMutable(), rc.tauSeconds());
    g.title += "(дифф)";
    if (rc.randomError) {
      quantisationErrorModel(g.ysMutable(), rc.levels, source);
    }
  });
  refreshAfterInPlaceChange(ctx);
}

void rcIntegrationCommand(CommandContext& ctx, const RcOptions& rc) {
  rewriteChosenGraphs(ctx, "Выбрать графики для интегрирования", 1, [&rc](std::size_t, Graph& g) {
    rcIntegrate(g.xs(), g.ysMutable(), rc.tauSeconds());
    g.title += "(интегр.)";
  });
}

void timeConstantCommand(CommandContext& ctx, RcOptions& rc) {
  for (;;) {
    RcOptions edited = rc;
    if (!ctx.ui.editOptions(edited)) {
      return;
    }
    if (!(edited.tauNs > 0) || !std::isfinite(edited.tauNs)) {
      ctx.ui.message(MessageKind::Error, kNonPositiveTimeConstant);
      continue;
    }
    edited.levels = std::clamp(edited.levels, kMinQuantisationLevels, kMaxQuantisationLevels);
    rc = edited;
    return;
  }
}

}  // namespace tarvik
