#pragma once
// Bounds on the work one command may start, and the clean end of a command that runs out of
// memory. A typed number (a frequency step, a point count) can ask for more points than any
// machine holds; such a request is refused before anything is computed, and a shortage met
// anyway leaves the document as it was.
#include <cstddef>
#include <functional>

#include "core/Error.h"
#include "core/GraphStore.h"

namespace tarvik {

// The most points a command may make for one graph: 10,000,000 (160 MB of X and Y).
inline constexpr std::size_t kMaxGraphPoints = 10'000'000;

inline constexpr const char* kTooManyPoints =
    "Слишком много точек: в одном графике может быть не больше 10000000 точек";
inline constexpr const char* kOutOfMemory = "Недостаточно памяти";

// True when `count` points fit in one graph: count ≤ kMaxGraphPoints. Any negative count
// fits (the caller refuses it on its own terms); NaN and +∞ do not.
constexpr bool fitsInOneGraph(double count) {
  return count <= static_cast<double>(kMaxGraphPoints);
}

// The end of a command that ran out of memory; its text is kOutOfMemory.
class OutOfMemoryError : public Error {
 public:
  OutOfMemoryError() : Error(kOutOfMemory) {}
};

// Runs `work`, a command's part that appends graphs. When it runs out of memory
// (std::bad_alloc, or std::length_error from a container asked for more than it can
// hold), the graphs appended meanwhile are removed, the active index, the unnamed-graph
// counter and the bottom axis title are put back, the chart is shown and refreshed, and
// OutOfMemoryError is thrown. Graphs that existed before are not touched by the undo, so
// `work` must not change them before its last allocation (editGraphsTogether in
// core/Command.h changes graphs only after its last). Other exceptions pass unchanged.
void keepStoreOnMemoryShortage(GraphStore& store, const std::function<void()>& work);

}  // namespace tarvik
