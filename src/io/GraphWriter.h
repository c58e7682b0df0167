#pragma once
// The plain graph file as written: one line per point, "X Y TEXT" ending in CR LF, the
// numbers in the 15-digit general format with the locale's decimal separator, a blank after
// Y on every line. Lines 0 to 4 carry the title, the bottom axis title, the stored Y-axis
// title and two foot lines (converted to Windows 1251); later lines carry no text.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Graph.h"
#include "core/GraphStore.h"

namespace tarvik {

struct ChartTexts {
  std::string bottomAxisTitle;
  std::string yAxisTitle;
  std::vector<std::string> footLines;
};

ChartTexts chartTexts(const GraphStore& store);

// Points whose lines are formatted as one block by one thread (about a megabyte of text).
inline constexpr std::size_t kGraphFileBlockPoints = 32768;

// Produces the file's bytes in pieces, in order: the lines with texts, then one piece per
// block of `blockPoints` lines (formatted on every core, up to four; `out` is called on the
// calling thread, and an exception from it ends the formatting). An empty graph gives
// nothing; blockPoints 0 is std::invalid_argument. The foot texts are the first two foot
// lines that are not blank (an empty first foot line, as a fresh window has, does not push a
// real one out of the file). A line end inside a text is written as a blank so that it
// cannot break the record.
void formatGraphFile(const Graph& graph, const ChartTexts& texts, char decimalSeparator,
                     const std::function<void(std::string_view)>& out,
                     std::size_t blockPoints = kGraphFileBlockPoints);

// The whole file as one string (small graphs, tests).
std::string graphFileBytes(const Graph& graph, const ChartTexts& texts, char decimalSeparator);

// "Write graph file": creates or replaces `path` through a new file that takes its place
// only when complete (see AtomicFile), so a failure leaves an existing file whole. Throws
// IoError naming the file, also when `path` is not a regular file or may not be written.
void writeGraphFile(const Graph& graph, const GraphStore& store, const std::string& path,
                    char decimalSeparator);

}  // namespace tarvik
