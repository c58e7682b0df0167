#pragma once
// "Finite and ascending X": the order in which a graph's points may be searched by X (a
// binary search for the visible part or the point at a cursor). A NaN defeats the search
// and an infinite X has no place on an axis, so both break the order. The chart, the pulse
// measurement of the window and of the batch runner, and the cursors' statistics all judge
// a graph by this one rule.
#include <cmath>
#include <limits>
#include <span>

namespace tarvik {

// The rule one point at a time, for a pass that computes more as it goes: X continues an
// ascending finite run whose last X was `previous` (−infinity before the first point).
inline bool continuesFiniteAscending(double previous, double x) {
  return x >= previous && std::isfinite(x);
}

// True when every X is finite and X never decreases (an empty graph counts as ascending).
inline bool isFiniteAscending(std::span<const double> xs) {
  double previous = -std::numeric_limits<double>::infinity();
  for (const double x : xs) {
    if (!continuesFiniteAscending(previous, x)) {
      return false;
    }
    previous = x;
  }
  return true;
}

}  // namespace tarvik
