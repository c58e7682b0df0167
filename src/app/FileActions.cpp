#include "app/FileActions.h"

#include <QColorDialog>

#include "app/CommandMap.h"
#include "app/WindowChartPort.h"
#include "io/FileCommands.h"

namespace tarvik::app {

void closeGraphsCommand(CommandContext& ctx) {
  if (!ctx.store.hasCandidates()) {
    return;
  }
  if (const auto rows = pickRows(ctx, "Закрыть график")) {
    ctx.store.closeGraphs(*rows);
  }
}

void selectActiveCommand(CommandContext& ctx) {
  if (!ctx.store.hasCandidates()) {
    return;
  }
  const auto graphs = pickGraphs(ctx, "Сделать активным график");
  if (!graphs) {
    return;
  }
  ctx.store.setActiveIndex(static_cast<int>(graphs->back()));
  ctx.store.chart().refreshIndicator();
  ctx.store.chart().legendRelayout();
}

bool chooseActiveByLine(GraphStore& store, int storeIndex, bool ctrlHeld) {
  if (!ctrlHeld || storeIndex < 0 || static_cast<std::size_t>(storeIndex) >= store.count()) {
    return false;
  }
  store.setActiveIndex(storeIndex);
  store.chart().refreshIndicator();
  return true;
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

void moveActiveUp(GraphStore& store) {
  const int a = store.activeIndex();
  if (a <= 0 || static_cast<std::size_t>(a) >= store.count()) {
    return;
  }
  const auto i = static_cast<std::size_t>(a);
  store.exchangeNeighbours(i, i - 1);
  store.setActiveIndex(a - 1);
  store.chart().refreshIndicator();
  store.chart().legendRelayout();
}

void moveActiveDown(GraphStore& store) {
  const int a = store.activeIndex();
  if (a < 0 || static_cast<std::size_t>(a) + 2 > store.count()) {
    return;
  }
  const auto i = static_cast<std::size_t>(a);
  store.exchangeNeighbours(i, i + 1);
  store.setActiveIndex(a + 1);
  store.chart().refreshIndicator();
  store.chart().legendRelayout();
}

namespace {

// The window's colour dialog `ColorD`: kept for the whole run, so it opens on the colour
// chosen last (the background colour command shares it).
void changeActiveColour(CommandContext& ctx, QColorDialog* colorD) {
  Graph* active = ctx.store.activeGraph();
  if (ctx.store.empty() || active == nullptr) {
    return;
  }
  if (colorD->exec() != QDialog::Accepted) {
    return;
  }
  active->colour = toRgb(colorD->selectedColor());
  ctx.store.chart().refreshIndicator();
  ctx.store.chart().redraw();
}

}  // namespace

void installFileActions(CommandMap& map, DialogRegistry& /*dialogs*/, QWidget* parent) {
  auto* colorD = new QColorDialog(parent);
  colorD->setObjectName("ColorD");

  for (const char* name : {"Open1", "btnOpen"}) {
    map.add(name, [](CommandContext& ctx) { openCommand(ctx); });
  }
  for (const char* name : {"Save1", "SpeedButton3"}) {
    map.add(name, [](CommandContext& ctx) { saveCommand(ctx); });
  }
  map.add("N42", [](CommandContext& ctx) { saveProjectCommand(ctx); });
  for (const char* name : {"Close1", "SpeedButton2"}) {
    map.add(name, closeGraphsCommand);
  }
  map.add("CloseAll1", [](CommandContext& ctx) { ctx.store.closeAll(); });
  for (const char* name : {"mnSelectActive", "Label1"}) {
    map.add(name, selectActiveCommand);
  }
  map.add("paColor", [colorD](CommandContext& ctx) { changeActiveColour(ctx, colorD); });
  map.add("SpeedButton7", [](CommandContext& ctx) { moveActiveUp(ctx.store); });
  map.add("SpeedButton8", [](CommandContext& ctx) { moveActiveDown(ctx.store); });
}

}  // namespace tarvik::app
