#include <string>

#include "core/OutputLimits.h"
#include "core/Palette.h"
#include "synth/Dielectric.h"
#include "synth/GeneratedTable.h"
#include "synth/ReflectedDelay.h"
#include "synth/SynthCommands.h"
#include "synth/TableFile.h"

namespace tarvik::synth {
namespace {

constexpr const char* kFrequencyTitle = "f, ГГц";
constexpr const char* kConductivityAxisTitle = "eps0*w*Im{eps},См/м";

// Writes the table into the private folder, loads it and deletes the file.
void loadTemporaryTable(CommandContext& ctx, const PointColumns& table, const TableLabels& labels) {
  loadTableThroughFile(ctx, generatedTableText(table.xs, table.ys, labels), privateTableFolder(),
                       TableFileFate::Delete);
}

}  // namespace

void waterTableCommand(CommandContext& ctx, WaterTable table) {
  switch (table) {
    case WaterTable::RealPermittivity:
      loadTemporaryTable(ctx, waterRealTable(), {"Вода Re", kFrequencyTitle, "Re{eps}"});
      break;
    case WaterTable::ImaginaryPermittivity:
      loadTemporaryTable(ctx, waterImaginaryTable(false),
                         {"Вода Im{eps}", kFrequencyTitle, kConductivityAxisTitle});
      break;
    case WaterTable::Conductivity:
      loadTemporaryTable(ctx, waterImaginaryTable(true),
                         {"Вода - проводимость, См/м", kFrequencyTitle, kConductivityAxisTitle});
      break;
  }
}

void polarDielectricCommand(CommandContext& ctx) {
  PolarDielectricOptions o;
  if (!ctx.ui.editOptions(o)) {
    return;
  }
  const char sep = ctx.ui.decimalSeparator();
  PolarDielectric d;
  d.staticPermittivity = fieldValue(o.es, sep);
  d.highFrequencyPermittivity = fieldValue(o.einf, sep);
  d.relaxationSeconds = fieldValue(o.tau, sep);
  d.staticConductivity = fieldValue(o.sigma, sep);
  const double fMax = fieldValue(o.fmax, sep);
  const std::optional<std::size_t> rows = polarRowCount(fMax, kMaxGraphPoints);
  if (!rows) {
    ctx.ui.message(MessageKind::Error, kTooManyPoints);
    return;
  }
  if (o.permittivity) {
    loadTemporaryTable(ctx, polarPermittivityTable(d, *rows),
                       {"Проницаемость {Re} (" + o.es + "/" + o.einf + "/" + o.tau + ")",
                        kFrequencyTitle, "Re{eps}"});
  }
  if (o.conductivity) {
    loadTemporaryTable(
        ctx, polarConductivityTable(d, *rows),
        {"Проводимость, См/м (" + o.es + "/" + o.einf + "/" + o.tau + "/" + o.sigma + ")",
         kFrequencyTitle, kConductivityAxisTitle});
  }
}

void reflectedDelayCommand(CommandContext& ctx) {
  DistanceOptions o;
  if (!ctx.ui.editOptions(o)) {
    return;
  }
  const char sep = ctx.ui.decimalSeparator();
  const double h1 = fieldValue(o.h1, sep);
  const double h2 = fieldValue(o.h2, sep);
  const double l = fieldValue(o.l, sep);
  const std::optional<std::size_t> heights = observationHeightCount(h2, kMaxGraphPoints);
  if (!heights) {
    ctx.ui.message(MessageKind::Error, kTooManyPoints);
    return;
  }
  const ReflectionModel model =
      o.specular ? ReflectionModel::Specular : ReflectionModel::UnderEmitter;
  GraphStore& store = ctx.store;
  keepStoreOnMemoryShortage(store, [&] {
    PointColumns table = reflectedDelayTable(h1, l, *heights, model);
    Graph graph;
    graph.colour = newGraphColour(store.count());
    graph.title = "Задержка при H1= " + o.h1 + " и L= " + o.l;
    graph.setPoints(std::move(table.xs), std::move(table.ys));
    store.yAxisTitle = "t, нс";
    store.bottomAxisTitle = "h, м";
    const std::size_t index = store.attachGraph(std::move(graph), store.takeUnnamedEntry());
    store.setActiveIndex(static_cast<int>(index));
  });
  store.chart().refreshIndicator();
  store.chart().refreshMenus();
  store.chart().legendRelayout();
}

}  // namespace tarvik::synth
