#include "synth/SplineCommands.h"

#include <chrono>
#include <utility>

#include "core/OutputLimits.h"
#include "io/PointOrder.h"
#include "synth/Spline.h"

namespace tarvik::synth {
namespace {

using Curve = PointArrays (*)(std::span<const double>, std::span<const double>);
using CurveCount = std::size_t (*)(std::size_t);

// Appends the curve of each chosen graph; `afterGraph` runs after each with the time spent.
// The curves' sizes are known from the graphs' sizes: when one would hold more points than
// a graph may, the command makes none. Running out of memory leaves none either.
void appendCurves(CommandContext& ctx, const std::string& caption, const std::string& prefix,
                  Curve curve, CurveCount curveCount,
                  const std::function<void(std::chrono::steady_clock::duration)>& afterGraph) {
  const auto chosen = pickCandidateGraphs(ctx, caption);
  if (!chosen) {
    return;
  }
  for (std::size_t i : *chosen) {
    if (!fitsInOneGraph(static_cast<double>(curveCount(ctx.store.graph(i).size())))) {
      ctx.ui.message(MessageKind::Error, kTooManyPoints);
      return;
    }
  }
  keepStoreOnMemoryShortage(ctx.store, [&] {
    for (std::size_t i : *chosen) {
      // Graphs live apart from the store's list, so appending leaves `source` in place.
      const Graph& source = ctx.store.graph(i);
      Graph& result = ctx.store.graph(ctx.store.appendGraph(prefix + source.title));
      const auto start = std::chrono::steady_clock::now();
      PointArrays points = curve(source.xs(), source.ys());
      applyPointOrder(points);
      result.setPoints(std::move(points.xs), std::move(points.ys));
      if (afterGraph) {
        afterGraph(std::chrono::steady_clock::now() - start);
      }
    }
  });
  ctx.store.chart().refreshIndicator();
  ctx.store.chart().refreshMenus();
  ctx.store.chart().redraw();
}

}  // namespace

void catmullRomCommand(CommandContext& ctx) {
  appendCurves(ctx, "Сплайн  - выбор графиков", "Сплайн для ", catmullRomCurve,
               catmullRomPointCount, {});
}

void bSplineCommand(CommandContext& ctx,
                    const std::function<void(const std::string&)>& showMilliseconds) {
  appendCurves(ctx, "Сплайн Безье - выбор графиков", "Сплайн Безье для ", quadraticBSpline,
               bSplinePointCount,
               [&showMilliseconds](std::chrono::steady_clock::duration spent) {
                 if (showMilliseconds) {
                   const auto ms =
                       std::chrono::duration_cast<std::chrono::milliseconds>(spent).count();
                   showMilliseconds(std::to_string(ms));
                 }
               });
}

}  // namespace tarvik::synth
