#pragma once
// Convolution with a step response (Duhamel's sum): the response of a system to a signal,
// built from one shifted step response per increment of the signal.
#include <cstddef>
#include <span>
#include <vector>

#include "core/Command.h"
#include "spectral/DuhamelSums.h"
#include "spectral/StepResponse.h"

namespace tarvik::spectral {

// For k = 1 … m−1: Σ_{i<k} (ys[i+1] − ys[i])·H(xs[k] − xs[i+1]); m−1 values (none for a
// signal of fewer than two points). The signal's initial level does not excite the system.
// A uniform signal grid takes the FFT form (equal to the plain sum within about 1e-15 of the
// largest Σ|terms|), other ascending grids the term-by-term form (equal to the last bit).
std::vector<double> duhamelConvolution(std::span<const double> xs, std::span<const double> ys,
                                       std::span<const double> xh, std::span<const double> yh);

// The same with progress and the stop request. Returns false when stopped; `out` then holds
// the sums of the first outputs that were finished.
bool duhamelConvolution(const DuhamelInput& in, const DuhamelControl& control,
                        std::vector<double>& out);

// Appends the convolution of graph `signal` with graph `response` as a new graph titled
// "<signal title> (Свертка)", X from the signal's second point on. Returns its index. The
// sums poll the store's stop request (cleared first); a stopped run appends the points
// finished so far. `showPercent` receives the progress percentage when given.
std::size_t appendConvolution(GraphStore& store, std::size_t signal, std::size_t response,
                              const std::function<void(int)>& showPercent = {});

// Status-bar text of the convolution's progress, followed by "<percent> %".
inline constexpr const char* kConvolutionProgress = "Свертка - ";

// "Свертка..": picks the signal, then the step response, and appends the result.
void convolutionCommand(CommandContext& ctx);

}  // namespace tarvik::spectral
