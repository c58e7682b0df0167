#include "transforms/SumProductCommands.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "core/Palette.h"

namespace tarvik {
namespace {

// The X extent of everything the chart shows on its bottom axis once zoom is undone.
struct Extent {
  double minX = 0;
  double maxX = 0;
};

Extent shownExtent(const GraphStore& store) {
  Extent e;
  bool any = false;
  for (std::size_t i = 0; i < store.count(); ++i) {
    const Graph& g = store.graph(i);
    if (g.empty()) {
      continue;
    }
    e.minX = any ? std::min(e.minX, g.minX()) : g.minX();
    e.maxX = any ? std::max(e.maxX, g.maxX()) : g.maxX();
    any = true;
  }
  return e;
}

}  // namespace

void combineCommand(CommandContext& ctx, Combination how) {
  GraphStore& store = ctx.store;
  store.chart().showWholeExtent();
  const Extent extent = shownExtent(store);
  if (!store.hasCandidates()) {
    return;
  }
  const bool sum = how == Combination::Sum;
  const std::optional<std::vector<std::size_t>> chosen = pickGraphs(
      ctx, sum ? "Выбрать графики для суммирования" : "Выбрать графики для перемножения");
  if (!chosen) {
    return;
  }
  std::vector<const Graph*> sources;
  sources.reserve(chosen->size());
  for (std::size_t i : *chosen) {
    sources.push_back(&store.graph(i));
  }
  const CommonGrid grid = commonGrid(sources, extent.minX, extent.maxX);
  std::vector<double> xs, ys;
  combineOnGrid(sources, grid, how, xs, ys);

  Graph result;
  result.colour = newGraphColour(store.count());
  result.title = sum ? "Сумма" : "Произведение";
  result.setPoints(std::move(xs), std::move(ys));
  store.attachGraph(std::move(result), store.takeUnnamedEntry());
  store.chart().legendRelayout();
  store.chart().refreshMenus();
  store.chart().redraw();
}

}  // namespace tarvik
