#pragma once
// Running a cascade of second-order sections over samples: the transposed direct form II
// of each section (the arithmetic of scipy.signal.sosfilt, operation for operation), the
// steady-state initial conditions of a step (sosfilt_zi), the causal run that starts from
// the first sample's steady state, and the zero-phase forward–backward run with the odd
// extension at both ends (sosfiltfilt with its default padding).
#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "spectral/IirDesign.h"

namespace tarvik::spectral {

// Two state values per section.
using SectionStates = std::vector<std::array<double, 2>>;

// The states a unit step leaves in every section once it has settled.
SectionStates stepStates(const Sections& sections);

// Filters `data` in place, forward (or from the last sample to the first when `backward`),
// starting from `states` and leaving the final states there. A long record is cut in two
// halves filtered at once on two threads, the second half then corrected by the free
// response to the states the first half left (exact up to rounding once that response has
// died away, which the poles' radius tells); a cascade that settles too slowly for that
// shares its sections between the two threads instead, block by block, with the one-thread
// arithmetic.
void runSections(const Sections& sections, std::span<double> data, SectionStates& states,
                 bool backward = false);

// The causal filter with the initial states stepStates·y[0].
std::vector<double> filterCausal(const Sections& sections, std::span<const double> y);

// The padding of the zero-phase filter at each end: 3·(2·sections + 1), less 3 for each
// section that is of first order in both numerator and denominator, counted as
// min(#b2 = 0, #a2 = 0).
std::size_t zeroPhasePadding(const Sections& sections);

// The zero-phase filter. y.size() ≤ zeroPhasePadding: std::invalid_argument.
std::vector<double> filterZeroPhase(const Sections& sections, std::span<const double> y);

}  // namespace tarvik::spectral
