// Batch commands of the generators and models: error-table, three-exp, sinc, water-re,
// water-im, water-sigma, polar, reflect-delay. Their arguments are the fields of the same
// dialogs the window shows, kept as typed; a field left out keeps its value from the
// previous command of the run (at first the dialog's default).
#include <string>

#include "batch/BatchSession.h"
#include "synth/SynthCommands.h"

namespace tarvik::batch {
namespace {

using synth::DistanceOptions;
using synth::PolarDielectricOptions;
using synth::ThreeExpOptions;

void runThreeExp(BatchSession& s, const BatchArgs& a) {
  ThreeExpOptions& o = s.dialog<ThreeExpOptions>();
  textArg(a, "a", o.a);
  textArg(a, "k1", o.k1);
  textArg(a, "k2", o.k2);
  textArg(a, "k3", o.k3);
  textArg(a, "t1", o.t1);
  textArg(a, "t2", o.t2);
  textArg(a, "t3", o.t3);
  textArg(a, "end", o.end);
  textArg(a, "step", o.step);
  CommandContext ctx = s.context();
  synth::threeExpPulseCommand(ctx);
}

void runPolar(BatchSession& s, const BatchArgs& a) {
  PolarDielectricOptions& o = s.dialog<PolarDielectricOptions>();
  textArg(a, "es", o.es);
  textArg(a, "einf", o.einf);
  textArg(a, "tau", o.tau);
  textArg(a, "sigma", o.sigma);
  textArg(a, "fmax", o.fmax);
  flagArg(a, "perm", o.permittivity);
  flagArg(a, "cond", o.conductivity);
  CommandContext ctx = s.context();
  synth::polarDielectricCommand(ctx);
}

void runReflectDelay(BatchSession& s, const BatchArgs& a) {
  DistanceOptions& o = s.dialog<DistanceOptions>();
  textArg(a, "h1", o.h1);
  textArg(a, "h2", o.h2);
  textArg(a, "l", o.l);
  if (const auto model = a.get("model")) {
    if (*model != "specular" && *model != "under") {
      throw UsageError("reflect-delay: model= takes specular or under, not \"" + *model + "\"");
    }
    o.specular = *model == "specular";
  }
  CommandContext ctx = s.context();
  synth::reflectedDelayCommand(ctx);
}

// A command without arguments.
BatchCommandFn plain(void (*command)(CommandContext&)) {
  return [command](BatchSession& s, const BatchArgs&) {
    CommandContext ctx = s.context();
    command(ctx);
  };
}

BatchCommandFn water(synth::WaterTable table) {
  return [table](BatchSession& s, const BatchArgs&) {
    CommandContext ctx = s.context();
    synth::waterTableCommand(ctx, table);
  };
}

}  // namespace

void registerSynthCommands(BatchRegistry& registry) {
  registry.add({"error-table", "error-table", {}, plain(synth::countingErrorTableCommand)});
  registry.add({"three-exp",
                "three-exp a= k1= k2= k3= t1= t2= t3= end= step=",
                {"a", "k1", "k2", "k3", "t1", "t2", "t3", "end", "step"},
                runThreeExp});
  registry.add({"sinc", "sinc", {}, plain(synth::sincPulseCommand)});
  registry.add({"water-re", "water-re", {}, water(synth::WaterTable::RealPermittivity)});
  registry.add({"water-im", "water-im", {}, water(synth::WaterTable::ImaginaryPermittivity)});
  registry.add({"water-sigma", "water-sigma", {}, water(synth::WaterTable::Conductivity)});
  registry.add({"polar",
                "polar es= einf= tau= sigma= fmax= perm=on|off cond=on|off",
                {"es", "einf", "tau", "sigma", "fmax", "perm", "cond"},
                runPolar});
  registry.add({"reflect-delay",
                "reflect-delay h1= h2= l= model=specular|under",
                {"h1", "h2", "l", "model"},
                runReflectDelay});
}

}  // namespace tarvik::batch
