#include "synth/SensorCommands.h"

#include <numeric>
#include <optional>
#include <utility>
#include <vector>

#include "io/FileBytes.h"
#include "io/PointOrder.h"
#include "synth/Calibration.h"
#include "synth/SensorConversion.h"

namespace tarvik::synth {
namespace {

// The table of the chosen file, or nullopt after its message.
std::optional<CalibrationTable> loadCalibration(CommandContext& ctx, const std::string& path) {
  const std::optional<FileBytes> bytes = FileBytes::open(path);
  if (!bytes) {
    ctx.ui.message(MessageKind::Error, kFileNotFound);
    return std::nullopt;
  }
  CalibrationFile file = readCalibrationFile(bytes->bytes());
  if (file.error) {
    ctx.ui.message(MessageKind::Error, file.error->message);
    return std::nullopt;
  }
  if (file.table.empty()) {
    ctx.ui.message(MessageKind::Error, kCalibrationEmpty);
    return std::nullopt;
  }
  return std::move(file.table);
}

}  // namespace

void calibrationCommand(CommandContext& ctx, CalibrationFileChoice& choice) {
  const auto chosen = pickCandidateGraphs(ctx, "Выбрать графики тока для преобразования");
  if (!chosen) {
    return;
  }
  CalibrationFileChoice edited = choice;
  if (!ctx.ui.editOptions(edited) || edited.path.empty()) {
    return;
  }
  choice = edited;
  const std::optional<CalibrationTable> table = loadCalibration(ctx, choice.path);
  if (!table) {
    return;
  }
  for (std::size_t i : *chosen) {
    const Graph& source = ctx.store.graph(i);
    Graph& result = ctx.store.graph(ctx.store.appendGraph("U-I " + source.title));
    PointArrays points;
    points.xs.assign(source.xs().begin(), source.xs().end());
    points.ys.resize(source.size());
    calibrateValues(*table, source.ys(), points.ys);
    applyPointOrder(points);
    result.setPoints(std::move(points.xs), std::move(points.ys));
  }
  ctx.store.chart().refreshIndicator();
  ctx.store.chart().refreshMenus();
  ctx.store.chart().redraw();
}

void larenCommand(CommandContext& ctx) {
  rewriteChosenGraphs(ctx, "Выбрать графики для U(В)-->I(А) ЛАРЕН-5", 0, [](std::size_t, Graph& g) {
    for (double& y : g.ysMutable()) {
      y = larenCurrent(y);
    }
    g.title += " (U-->I ЛАРЕН-5)";
  });
}

void divideByListCommand(CommandContext& ctx, ValuesFileChoice& choice) {
  ValuesFileChoice edited = choice;
  if (!ctx.ui.editOptions(edited) || edited.path.empty()) {
    return;
  }
  choice = edited;
  const std::optional<FileBytes> bytes = FileBytes::open(choice.path);
  if (!bytes) {
    ctx.ui.message(MessageKind::Error, kFileNotFound);
    return;
  }
  const DivisorList list =
      readDivisorList(bytes->bytes(), ctx.store.count(), ctx.ui.decimalSeparator());
  if (list.error) {
    ctx.ui.message(MessageKind::Error, *list.error);
    return;
  }
  std::vector<std::size_t> every(ctx.store.count());
  std::iota(every.begin(), every.end(), std::size_t{0});
  editGraphsTogether(ctx.store, every, [&list](std::size_t k, Graph& g) {
    for (double& y : g.ysMutable()) {
      y /= list.factors[k];
    }
  });
  refreshAfterInPlaceChange(ctx);
}

}  // namespace tarvik::synth
