#pragma once
// Pieces the spectrum command and the inverse-transform command share.
#include <cstddef>
#include <string>

#include "core/Command.h"

namespace tarvik::spectral::detail {

// The one-sided inverse summation from graph `amplitude` and graph `phase` into graph
// `result`: points (t·outputFactor, y(t)) for t = p·dt + tmin, p = 0 … n, with the progress
// text and the stop request. False when stopped (the points made so far stay).
bool fillInverseSignal(CommandContext& ctx, std::size_t amplitude, std::size_t phase,
                       std::size_t result, double tmin, double dt, int n, double dOmega,
                       double outputFactor);

// After graphs were removed: an active index beyond the store points at the last graph.
void settleActiveIndex(GraphStore& store);

}  // namespace tarvik::spectral::detail
