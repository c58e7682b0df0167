// Batch commands of the sensor conversions: calibrate, laren, divide-list. File arguments
// are paths relative to the working folder.
#include <filesystem>
#include <string>

#include "batch/BatchSession.h"
#include "synth/SensorCommands.h"

namespace tarvik::batch {
namespace {

// Sets `field` to the absolute path of argument `name` when given; a dialog that never had
// a file is a usage error, since the script has nothing to answer it with.
void fileArg(const BatchArgs& a, const std::string& name, std::string& field) {
  if (const auto value = a.get(name)) {
    if (value->empty()) {
      throw UsageError(a.command + ": " + name + "= needs a file name");
    }
    field = std::filesystem::absolute(std::filesystem::path(*value)).string();
  }
  if (field.empty()) {
    throw UsageError(a.command + ": the argument " + name + "= is required");
  }
}

void runCalibrate(BatchSession& s, const BatchArgs& a) {
  synth::CalibrationFileChoice& choice = s.dialog<synth::CalibrationFileChoice>();
  fileArg(a, "cal", choice.path);
  CommandContext ctx = s.context();
  synth::calibrationCommand(ctx, choice);
}

void runDivideList(BatchSession& s, const BatchArgs& a) {
  synth::ValuesFileChoice& choice = s.dialog<synth::ValuesFileChoice>();
  fileArg(a, "file", choice.path);
  CommandContext ctx = s.context();
  synth::divideByListCommand(ctx, choice);
}

}  // namespace

void registerSensorCommands(BatchRegistry& registry) {
  registry.add(
      {"calibrate", "calibrate cal=FILE [graphs=LIST]", {"graphs", "graph", "cal"}, runCalibrate});
  registry.add(graphsOnlyCommand("laren", [](CommandContext& ctx) { synth::larenCommand(ctx); }));
  registry.add({"divide-list", "divide-list file=FILE", {"file"}, runDivideList});
}

}  // namespace tarvik::batch
