#include "core/StoreCommands.h"

#include <algorithm>

namespace tarvik {
namespace {

// Swaps the active graph with its neighbour `step` rows away (−1 up, +1 down).
void moveActive(GraphStore& store, int step) {
  const int active = store.activeIndex();
  const int target = active + step;
  const int count = static_cast<int>(store.count());
  if (active < 0 || active >= count || target < 0 || target >= count) {
    return;
  }
  store.exchangeNeighbours(static_cast<std::size_t>(active), static_cast<std::size_t>(target));
  store.setActiveIndex(target);
  store.chart().refreshIndicator();
  store.chart().legendRelayout();
  // The drawing order changed: the line drawn under the others is another one now.
  store.chart().redraw();
}

}  // namespace

void closeGraphsCommand(CommandContext& ctx) {
  if (!ctx.store.hasCandidates()) {
    return;
  }
  if (const auto rows = pickRows(ctx, "Закрыть график")) {
    ctx.store.closeGraphs(*rows);
  }
}

void closeAllCommand(CommandContext& ctx) { ctx.store.closeAll(); }

void selectActiveCommand(CommandContext& ctx) {
  const auto graphs = pickCandidateGraphs(ctx, "Сделать активным график");
  if (!graphs) {
    return;
  }
  ctx.store.setActiveIndex(static_cast<int>(graphs->back()));
  ctx.store.chart().refreshIndicator();
  ctx.store.chart().legendRelayout();
}

bool activateGraph(GraphStore& store, std::size_t storeIndex) {
  if (storeIndex >= store.count()) {
    return false;
  }
  store.setActiveIndex(static_cast<int>(storeIndex));
  store.chart().refreshIndicator();
  return true;
}

bool chooseActiveByLine(GraphStore& store, int storeIndex, bool ctrlHeld) {
  return ctrlHeld && storeIndex >= 0 && activateGraph(store, static_cast<std::size_t>(storeIndex));
}

void chooseActiveByLegendRow(GraphStore& store, int row, bool fixLineWidths) {
  if (store.empty()) {
    return;
  }
  const int last = static_cast<int>(store.count()) - 1;
  store.setActiveIndex(std::clamp(row, 0, last));
  store.chart().refreshIndicator();
  if (!fixLineWidths) {
    for (std::size_t i = 0; i < store.count(); ++i) {
      store.graph(i).lineWidth = 1;
    }
    store.activeGraph()->lineWidth = 2;
  }
  store.chart().legendRelayout();
}

void moveActiveUp(GraphStore& store) { moveActive(store, -1); }

void moveActiveDown(GraphStore& store) { moveActive(store, +1); }

void changeActiveColourCommand(CommandContext& ctx) {
  if (ctx.store.activeGraph() == nullptr) {
    return;
  }
  const std::optional<Rgb> colour = ctx.ui.askColour();
  // The dialog is modal, but the active graph is looked up again after it all the same.
  Graph* active = ctx.store.activeGraph();
  if (!colour || active == nullptr) {
    return;
  }
  active->colour = *colour;
  ctx.store.chart().refreshIndicator();
  ctx.store.chart().redraw();
}

}  // namespace tarvik
