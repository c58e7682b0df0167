#pragma once
// Editing graphs as a whole: clone onto an even grid, crop to an X range, halve the number
// of points, splice two graphs at an X value.
#include <cstddef>

#include "core/Graph.h"
#include "core/GraphStore.h"

namespace tarvik {

// Clone of `source` resampled with zero padding onto `count` (≥ 2) points from its smallest
// to its largest X; a source whose X does not ascend is resampled from a stably X-sorted
// copy. A source with fewer than two points gives a clone without points. Points only: the
// caller sets title and appearance.
Graph cloneOnGrid(const Graph& source, std::size_t count);

// Deletes every point with X < lo or X > hi; the others keep their order (a NaN X stays).
void cropByX(Graph& graph, double lo, double hi);

// Deletes the odd-indexed points except the last: 10 points keep 0, 2, 4, 6, 8, 9 and 9
// points keep 0, 2, 4, 6, 8.
void halvePoints(Graph& graph);

// The points of `left` with X ≤ x0 (stored order) followed by those of `right` with
// X > x0, placed by the ordering rule of Add point (a stable sort by X). Points only.
Graph spliceAt(const Graph& left, const Graph& right, double x0);
// The number of points spliceAt makes, counted without making them.
std::size_t splicedPointCount(const Graph& left, const Graph& right, double x0);

}  // namespace tarvik
