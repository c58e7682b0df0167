// Batch commands of the spline curves: spline (Catmull–Rom) and bspline (quadratic B-spline).
#include "batch/BatchSession.h"
#include "synth/SplineCommands.h"

namespace tarvik::batch {

void registerSplineCommands(BatchRegistry& registry) {
  registry.add(
      graphsOnlyCommand("spline", [](CommandContext& ctx) { synth::catmullRomCommand(ctx); }));
  registry.add(
      graphsOnlyCommand("bspline", [](CommandContext& ctx) { synth::bSplineCommand(ctx); }));
}

}  // namespace tarvik::batch
