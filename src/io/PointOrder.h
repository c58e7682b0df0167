#pragma once
// The ordering rule of a graph's points applied to a whole batch at once: the result is
// exactly what adding the points one by one to an empty graph gives (each point goes
// directly after the last point whose X is not greater), in O(n log n) instead of O(n²).
#include "io/ReadResult.h"

namespace tarvik {

// Reorders `points` in place. Points with equal X keep their order of arrival. A NaN X
// stays where it arrived and splits the points into runs that are ordered separately,
// as Graph::addPoint does. Already ascending input (the usual case) is left untouched.
void applyPointOrder(PointArrays& points);

}  // namespace tarvik
