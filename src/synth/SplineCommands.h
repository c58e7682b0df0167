#pragma once
// The spline commands: a Catmull–Rom curve ("Сплайн") or a quadratic B-spline
// ("Сплайн Безье") through each chosen graph, appended as a new graph.
#include <functional>
#include <string>

#include "core/Command.h"

namespace tarvik::synth {

// Picks graphs under "Сплайн  - выбор графиков" and appends "Сплайн для " + title with the
// Catmull–Rom curve of each, in store order; the last one made is active. The curve's
// points are stored by the graph's ordering rule (a curve whose X goes back is sorted).
// Both commands make ten points per input point: when a chosen graph's curve would hold more
// than a graph may, kTooManyPoints is shown and no curve is made; a shortage of memory
// throws OutOfMemoryError and leaves no curve behind.
void catmullRomCommand(CommandContext& ctx);

// Picks graphs under "Сплайн Безье - выбор графиков" and appends "Сплайн Безье для " +
// title with the B-spline of each. After each graph `showMilliseconds` (may be empty) gets
// the whole milliseconds that graph took, as a decimal integer (the window's caption).
void bSplineCommand(CommandContext& ctx,
                    const std::function<void(const std::string&)>& showMilliseconds = {});

}  // namespace tarvik::synth
