#pragma once
// Every transition and every pulse of a record, between the state levels found by
// PulseLevels: rise and fall times, slew, the aberrations after and before each edge,
// settling, and the width, period and duty cycle of each pulse.
//
// Notes on the definitions:
// - Transitions use hysteresis between the reference levels L and U: the state, unknown at
//   first, becomes LOW at a point with y ≤ L and HIGH at a point with y ≥ U; LOW → HIGH is
//   a rise, HIGH → LOW a fall, and the first state reached is not a transition. For a rise
//   completed at point i, t_upper is the crossing of U in (i−1, i), t_lower the crossing of
//   L in (j, j+1) for the last point j before i with y ≤ L, and t_mid the crossing of M in
//   the last segment between j and i where the value passes M upward. A fall mirrors it.
// - Aberration regions span F = regionFactor durations after the end and before the start
//   of an edge, cut at the neighbouring transitions (or the range's first and last X).
//   Overshoot and preshoot are `none` on an empty region; undershoot counts from the first
//   point of the post region that reaches the final level and is `none` when none does.
// - Settling: the points after the end of an edge and before the next one, cut after the
//   last point inside the band |y − final| ≤ tolerance; the instant the value re-enters the
//   band after the last point outside it (the crossing of that band edge), minus t_mid.
// - Results arrive one at a time through a PulseSink, so a record with a million edges is
//   measured without holding them: the walk keeps one edge back to know its neighbours.
#include <cstddef>
#include <optional>

#include "transforms/PulseLevels.h"

namespace tarvik {

struct Transition {
  bool rise = true;  // false: a fall
  double tLower = 0, tMid = 0, tUpper = 0;
  double duration = 0;         // |t_upper − t_lower|
  std::optional<double> slew;  // (U − L)/duration, negative for a fall; none for duration 0
  std::optional<double> overshoot, undershoot, preshoot;  // % of the amplitude
  std::optional<double> settling;                         // X units after t_mid
};

struct Pulse {
  bool positive = true;  // a rise then a fall; false: a fall then a rise
  double start = 0;      // t_mid of its first and second transition
  double end = 0;
  double width = 0;                 // end − start
  std::optional<double> period;     // to the start of the next pulse; none for the last
  std::optional<double> duty;       // width/period (none for a period of 0)
  std::optional<double> frequency;  // 1/period (none for a period of 0)
};

// Receives the transitions in X order and the pulses in order, each once, as the walk
// completes them (a pulse after its second transition and the next pulse).
class PulseSink {
 public:
  virtual ~PulseSink() = default;
  virtual void transition(const Transition&) {}
  virtual void pulse(const Pulse&) {}
};

// Walks `points` (finite, X never decreasing: selectPulsePoints) with the state and
// reference levels and sends every transition and pulse to `sink`. The options must be
// usable (pulseOptionsRefusal). Time O(points); memory O(1) beside the sink.
void walkTransitions(const PulsePoints& points, const StateLevels& levels,
                     const ReferenceLevels& reference, const PulseOptions& options,
                     PulseSink& sink);

}  // namespace tarvik
