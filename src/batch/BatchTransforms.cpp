// Batch commands of the transforms: point-wise rules, sum and product, calculus and RC,
// running statistics and graph editing. Arguments are the dialogs' fields; the graphs come
// from graphs= / graph= and the value dialog's answer from value=.
#include <string>
#include <utility>
#include <vector>

#include "batch/BatchSession.h"
#include "core/Error.h"
#include "core/NumberFormat.h"
#include "transforms/CalculusCommands.h"
#include "transforms/GraphEditingCommands.h"
#include "transforms/PointwiseCommands.h"
#include "transforms/RunningStats.h"
#include "transforms/RunningStatsCommands.h"
#include "transforms/SumProductCommands.h"

namespace tarvik::batch {
namespace {

const std::vector<std::string> kGraphArgs = {"graphs", "graph"};

std::vector<std::string> withGraphs(std::vector<std::string> names) {
  names.insert(names.begin(), kGraphArgs.begin(), kGraphArgs.end());
  return names;
}

struct PointwiseName {
  const char* name;
  PointwiseKind kind;
};

constexpr PointwiseName kPointwiseNames[] = {
    {"shift-x", PointwiseKind::ShiftX},      {"mul-x", PointwiseKind::MultiplyX},
    {"div-x", PointwiseKind::DivideX},       {"inv-x", PointwiseKind::InvertX},
    {"shift-y", PointwiseKind::ShiftY},      {"mul-y", PointwiseKind::MultiplyY},
    {"div-y", PointwiseKind::DivideY},       {"sqrt-abs", PointwiseKind::SqrtAbs},
    {"square", PointwiseKind::Square},       {"abs", PointwiseKind::Magnitude},
    {"negate", PointwiseKind::Negate},       {"inv-y", PointwiseKind::InvertY},
    {"normalize", PointwiseKind::Normalize}, {"zero-x", PointwiseKind::ZeroX},
    {"db", PointwiseKind::Decibels},         {"x-div-y", PointwiseKind::XOverY},
    {"y-div-x", PointwiseKind::YOverX},      {"swap-xy", PointwiseKind::SwapXY},
};

void registerPointwise(BatchRegistry& registry) {
  for (const PointwiseName& entry : kPointwiseNames) {
    const PointwiseKind kind = entry.kind;
    const bool needsValue = pointwiseNeedsValue(kind);
    const std::string name = entry.name;
    registry.add(
        {name, name + " graphs=LIST" + (needsValue ? " [value=V]" : ""),
         withGraphs(needsValue ? std::vector<std::string>{"value"} : std::vector<std::string>{}),
         [kind](BatchSession& s, const BatchArgs&) {
           CommandContext ctx = s.context();
           pointwiseCommand(ctx, kind);
         }});
  }
}

template <class F>
BatchCommand graphsOnly(const std::string& name, F run) {
  return {name, name + " graphs=LIST", withGraphs({}), [run](BatchSession& s, const BatchArgs&) {
            CommandContext ctx = s.context();
            run(s, ctx);
          }};
}

void runRcTau(BatchSession& s, const BatchArgs& a) {
  RcOptions& rc = s.dialog<RcOptions>();
  // value= is the dialog's τ field: left out, it keeps the τ set last.
  if (const std::optional<std::string> text = a.get("value")) {
    if (const std::optional<std::string> refusal = timeConstantRefusal(*text)) {
      throw Error(*refusal);
    }
    rc.tauNs = *parseTypedNumber(*text, '.');
  }
  if (a.has("quantize")) {
    rc.randomError = onOffArg(a, "quantize");
  }
  if (a.has("levels")) {
    const int levels = integerArg(a, "levels");
    if (levels < kMinQuantisationLevels || levels > kMaxQuantisationLevels) {
      throw UsageError("rc-tau: levels= takes 5 to 256, not " + std::to_string(levels));
    }
    rc.levels = levels;
  }
  CommandContext ctx = s.context();
  timeConstantCommand(ctx, rc);
}

// Short unit names of the script and the dialog entries they stand for.
const std::pair<const char*, const char*> kTimeNames[] = {{"s", "Секунды"},
                                                          {"ms", "Миллисекунды"},
                                                          {"us", "Микросекунды"},
                                                          {"ns", "Наносекунды"},
                                                          {"ps", "Пикосекунды"}};
const std::pair<const char*, const char*> kCurrentNames[] = {
    {"kA", "Килоамперы"}, {"A", "Амперы"}, {"mA", "Миллиамперы"}, {"uA", "Микроамперы"}};

template <std::size_t N>
std::string unitEntry(const BatchArgs& a, const std::string& name,
                      const std::pair<const char*, const char*> (&table)[N]) {
  const std::string text = a.get(name).value_or(std::string());
  for (const auto& [shortName, entry] : table) {
    if (text.compare(shortName) == 0) {
      return entry;
    }
  }
  throw UsageError(a.command + ": " + name + "=" + text + " is not a unit");
}

void runEnergy(BatchSession& s, const BatchArgs& a) {
  EnergyUnitsOptions& units = s.dialog<EnergyUnitsOptions>();
  if (a.has("time")) {
    units.timeUnit = unitEntry(a, "time", kTimeNames);
  }
  if (a.has("current")) {
    units.currentUnit = unitEntry(a, "current", kCurrentNames);
  }
  CommandContext ctx = s.context();
  runningEnergyCommand(ctx, units);
}

// The window's order of questions: the graphs first, then the point count, which the
// value dialog answers with points=.
void runClone(BatchSession& s, const BatchArgs& a) {
  s.ui.setValueText(std::to_string(integerArg(a, "points")));
  CommandContext ctx = s.context();
  cloneCommand(ctx);
}

void runCrop(BatchSession& s, const BatchArgs& a) {
  const XRange range{numberArg(s, a, "xmin"), numberArg(s, a, "xmax")};
  CommandContext ctx = s.context();
  cropCommand(ctx, range);
}

void runSplice(BatchSession& s, const BatchArgs& a) {
  SpliceOptions& splice = s.dialog<SpliceOptions>();
  if (a.has("first")) {
    splice.first = integerArg(a, "first");
  }
  if (a.has("second")) {
    splice.second = integerArg(a, "second");
  }
  if (const auto x = a.get("x")) {
    splice.xText = *x;
  }
  CommandContext ctx = s.context();
  spliceCommand(ctx, splice);
}

}  // namespace

void registerTransformCommands(BatchRegistry& registry) {
  registerPointwise(registry);
  registry.add(graphsOnly(
      "sum", [](BatchSession&, CommandContext& c) { combineCommand(c, Combination::Sum); }));
  registry.add(graphsOnly("product", [](BatchSession&, CommandContext& c) {
    combineCommand(c, Combination::Product);
  }));
  registry.add(
      graphsOnly("derivative", [](BatchSession&, CommandContext& c) { derivativeCommand(c); }));
  registry.add(
      graphsOnly("integral", [](BatchSession&, CommandContext& c) { integralCommand(c); }));
  registry.add(graphsOnly("rc-diff", [](BatchSession& s, CommandContext& c) {
    rcDifferentiationCommand(c, s.dialog<RcOptions>());
  }));
  registry.add(graphsOnly("rc-int", [](BatchSession& s, CommandContext& c) {
    rcIntegrationCommand(c, s.dialog<RcOptions>());
  }));
  registry.add({"rc-tau",
                "rc-tau [value=NS] [quantize=on|off] [levels=N]",
                {"value", "quantize", "levels"},
                runRcTau});
  registry.add(graphsOnly("mean", [](BatchSession&, CommandContext& c) { runningMeanCommand(c); }));
  registry.add(graphsOnly("rms", [](BatchSession&, CommandContext& c) { runningRmsCommand(c); }));
  registry.add({"energy", "energy graphs=LIST time=s|ms|us|ns|ps current=kA|A|mA|uA",
                withGraphs({"time", "current"}), runEnergy});
  registry.add({"clone", "clone graphs=LIST points=N", withGraphs({"points"}), runClone});
  registry.add({"crop", "crop graphs=LIST xmin=X xmax=X", withGraphs({"xmin", "xmax"}), runCrop});
  registry.add(graphsOnly("halve", [](BatchSession&, CommandContext& c) { halveCommand(c); }));
  registry.add({"splice", "splice first=N second=M x=X0", {"first", "second", "x"}, runSplice});
}

}  // namespace tarvik::batch
