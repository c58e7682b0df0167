#pragma once
// Reading a session with the library, in the process that owns it: the reading process
// that readSession starts. Everything is checked before any point is read — the layout
// the program writes, the attributes, and every size against the file's and the
// document's bounds — and only then are the arrays read, one at a time, and handed on.
#include <hdf5.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/SessionFile.h"

namespace tarvik::session {

// The layout's names and bounds, shared by the writer, the reader and the pipe between the
// reading process and its parent.
inline constexpr const char* kFormatName = "tarvik session";
inline constexpr int kMaxGraphs = 1'000'000;
inline constexpr int kMaxLineWidth = 1000;
// The name of graph `index`'s group: the index in decimal, at least three digits.
std::string graphName(std::size_t index);

// Takes what a reading finds, in order: the outline once, then every graph's X and Y.
class Receiver {
 public:
  virtual ~Receiver() = default;
  // The session without its points and the length of every graph's arrays, all bounded.
  virtual void outline(const Session& session, std::span<const std::uint64_t> lengths) = 0;
  // The next array: graph 0's X, graph 0's Y, graph 1's X, ...
  virtual void points(std::vector<double> values) = 0;
};

// Reads the session at `path` (`fileBytes` long) into `receiver`. The caller holds the
// library lock or is the reading process. Throws Error with the user's message
// (NewerSessionError for a newer version).
void readWithLibrary(const std::string& path, std::uintmax_t fileBytes, Receiver& receiver);

// The bounds of a session's size, checked on the outline by the reader and once more by
// the process that takes the points: at most kMaxGraphPoints per graph, kMaxSessionPoints
// in all, and no more bytes than half the machine's memory. Returns the refusal's cause,
// empty when the lengths fit.
std::string sizeRefusal(std::span<const std::uint64_t> lengths);

// Writes the session's objects (root attributes, the graph groups) into the open `file`;
// the caller holds the library lock. The session writer and the tests' crafted files use it.
void writeObjects(hid_t file, const DocumentState& document, const SessionView& view,
                  const SessionWriteOptions& options);

}  // namespace tarvik::session
