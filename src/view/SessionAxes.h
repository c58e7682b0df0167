#pragma once
// The chart's axes as a session file keeps them and back, for the window and the batch
// runner's offscreen chart alike.
#include "io/SessionFile.h"
#include "view/ViewRules.h"

namespace tarvik::view {

inline SessionAxis sessionAxis(const AxisView& axis, bool logarithmic) {
  return SessionAxis{axis.automatic, axis.limits.min, axis.limits.max, logarithmic};
}

inline AxisView chartAxis(const SessionAxis& axis) {
  return AxisView{axis.automatic, AxisLimits{axis.lower, axis.upper}};
}

}  // namespace tarvik::view
