#pragma once
// The sum and product commands: pick graphs, combine them on a common grid, append the
// result ("Сумма" / "Произведение") with an unnamed-graph entry.
#include "core/Command.h"
#include "transforms/SumProduct.h"

namespace tarvik {

// Undoes the chart's zoom first (also when the user then cancels). With no candidate
// graph it ends silently; cancel adds nothing and leaves the counter alone.
void combineCommand(CommandContext& ctx, Combination how);

}  // namespace tarvik
