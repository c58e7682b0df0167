#include <string>

#include "core/Error.h"
#include "core/NumberFormat.h"
#include "core/OutputLimits.h"
#include "synth/GeneratedTable.h"
#include "synth/PulseGenerators.h"
#include "synth/SynthCommands.h"
#include "synth/TableFile.h"

namespace tarvik::synth {
namespace {

// Appends a graph titled `title` through "Append graph" (active, bottom axis "t, нс"),
// gives it `points` and refreshes the view.
void appendPulseGraph(GraphStore& store, const std::string& title, PointColumns& points) {
  const std::size_t index = store.appendGraph(title);
  store.graph(index).setPoints(std::move(points.xs), std::move(points.ys));
  store.chart().refreshIndicator();
  store.chart().refreshMenus();
  store.chart().legendRelayout();
}

ThreeExpParams readThreeExp(const ThreeExpOptions& o, char sep) {
  ThreeExpParams p;
  p.a = fieldValue(o.a, sep);
  p.k1 = fieldValue(o.k1, sep);
  p.k2 = fieldValue(o.k2, sep);
  p.k3 = fieldValue(o.k3, sep);
  p.t1 = fieldValue(o.t1, sep);
  p.t2 = fieldValue(o.t2, sep);
  p.t3 = fieldValue(o.t3, sep);
  p.endSeconds = fieldValue(o.end, sep);
  p.stepSeconds = fieldValue(o.step, sep);
  return p;
}

}  // namespace

double fieldValue(const std::string& text, char decimalSeparator) {
  if (const std::optional<double> value = parseTypedNumber(text, decimalSeparator)) {
    return *value;
  }
  throw ConvertError(notANumberMessage(text));
}

void countingErrorTableCommand(CommandContext& ctx) {
  const PointColumns table = countingErrorTable();
  const std::string text =
      generatedTableText(table.xs, table.ys, {"Погрешность при Т=1 с", "V, км/ч", "Погр., %"});
  loadTableThroughFile(ctx, text, keptTableFolder(), TableFileFate::Keep);
}

void threeExpPulseCommand(CommandContext& ctx) {
  ThreeExpOptions options;
  if (!ctx.ui.editOptions(options)) {
    return;
  }
  const ThreeExpParams p = readThreeExp(options, ctx.ui.decimalSeparator());
  // A step that does not advance the clock, or an end so far away that the points would
  // not fit in memory, would never let the loop end.
  if (!(p.stepSeconds > 0)) {
    ctx.ui.message(MessageKind::Error, kNonPositiveStep);
    return;
  }
  const std::optional<std::size_t> count = threeExpPointCount(p, kMaxGraphPoints);
  if (!count) {
    ctx.ui.message(MessageKind::Error, kTooManyPoints);
    return;
  }
  GraphStore& store = ctx.store;
  keepStoreOnMemoryShortage(store, [&] {
    const std::size_t index = store.appendGraph(kThreeExpTitle);
    PointColumns points;
    points.xs.reserve(*count);
    points.ys.reserve(*count);
    store.stopRequest = false;
    sampleThreeExpPulse(
        p, points,
        [&ctx](int percent) {
          ctx.ui.progress(kThreeExpProgress + std::to_string(percent) + " %");
        },
        [&store] { return store.stopRequest; });
    // A stopped run keeps the points made so far.
    store.graph(index).setPoints(std::move(points.xs), std::move(points.ys));
  });
  store.chart().refreshIndicator();
  store.chart().refreshMenus();
  store.chart().legendRelayout();
}

void sincPulseCommand(CommandContext& ctx) {
  PointColumns pulse = sincPulse();
  appendPulseGraph(ctx.store, "Sin(X)/X", pulse);
}

}  // namespace tarvik::synth
