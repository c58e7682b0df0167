#pragma once
// What the graph file readers hand back: the points of each graph in the order the graph
// holds them, the chart texts the file carries, and where reading stopped, if it did. The
// readers are pure: the file commands apply the result to the graph store.
#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/PointArrays.h"
#include "core/PointsExtent.h"

namespace tarvik {

// A reading error: the text the user sees (UTF-8) and the 1-based record or line number at
// which reading stopped. The points read before it are kept.
struct ReadError {
  std::size_t line = 0;
  std::string message;
};

// The extent of a graph's finite points as its reader found them, for the graph to note
// (Graph::noteExtent): unset when the reader does not know it, an unset extent inside when
// no point is finite.
using ReadExtent = std::optional<std::optional<PointsExtent>>;

// Texts of records (or counted lines) 1 to 5: title, bottom axis title, stored Y-axis title,
// two foot lines. An unset entry means the file had no such text (the chart keeps its own).
using FileTexts = std::array<std::optional<std::string>, 5>;

// Tells the byte source that the bytes before an offset will not be read again, so a mapped
// file's pages can leave the process's memory (they stay in the page cache).
using ReleaseBytes = std::function<void(std::size_t end)>;

// The user-visible text of a CSV field that does not convert (a long field quoted by its
// start, as quotedFileText cuts it).
std::string csvFieldError(std::string_view rawField);

}  // namespace tarvik
