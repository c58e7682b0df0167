#pragma once
// Session files: the whole document in one HDF5 file, readable by the tools labs already
// use (h5py, MATLAB, HDFView). The layout is described in docs/session-format.md.
//
// Writing takes a DocumentState, whose graphs share their point blocks with the live
// store and are never written to while shared, so a session may be written on a worker
// thread while the window goes on.
#include <cstdint>
#include <string>
#include <vector>

#include "core/DocumentState.h"
#include "core/Error.h"

namespace tarvik {

// One axis of the chart as the session keeps it.
struct SessionAxis {
  bool automatic = true;  // follows the data; lower/upper are the limits shown
  double lower = 0;
  double upper = 0;
  bool logarithmic = false;
};

// Face and size of one chart font.
struct SessionFont {
  std::string family;
  int size = 10;
};

// What the window shows beyond the document: the axes and the fonts.
struct SessionView {
  SessionAxis bottom;
  SessionAxis left;
  // The seven chart fonts in the settings' order: title, foot, left axis title, left axis
  // labels, bottom axis title, bottom axis labels, legend. Empty: none kept (the batch
  // runner has no fonts); reading then leaves the window's fonts alone.
  std::vector<SessionFont> fonts;
};

struct Session {
  DocumentState document;
  SessionView view;
};

// The format version written at the file's root ("format_version"); a reader refuses
// newer major versions.
inline constexpr int kSessionFormatVersion = 1;

// Writes the session to `path` through a temporary file in the same folder that takes the
// old file's place only when complete and flushed, so a failure or a kill leaves the old
// file whole. Throws IoError naming the file.
void writeSession(const std::string& path, const DocumentState& document, const SessionView& view);

// How a session is written. The defaults are those of the window and the batch runner.
struct SessionWriteOptions {
  // Deflate level 1..9 of the point arrays (with byte shuffling); 0 stores them as they
  // are, which is several times faster to write and read.
  int deflateLevel = 0;
  // Flush the file to the disk before it takes the old file's place. Only a benchmark
  // that times the flush apart turns it off; the replacement is then not crash-safe.
  bool flushToDisk = true;
};
void writeSession(const std::string& path, const DocumentState& document, const SessionView& view,
                  const SessionWriteOptions& options);

// The messages of a session file that cannot be read.
std::string sessionNotFoundText(const std::string& path);
std::string notASessionText(const std::string& path);
std::string damagedSessionText(const std::string& path);
std::string newerSessionText(const std::string& path);
// A file refused for what it is rather than for damage: another layout than the program
// writes, more points than a document may hold, a reading that failed. `cause` says why.
std::string refusedSessionText(const std::string& path, const std::string& cause);
// An HDF5 file of the library's oldest formats (superblock 0 or 1, no metadata checksums),
// which the program never writes: not a session, with the reason.
std::string oldestFormatText(const std::string& path, unsigned superblockVersion);

// A session of a newer format version: kept for the version that wrote it.
class NewerSessionError : public Error {
 public:
  using Error::Error;
};

// The most points all graphs of a session may hold together (each graph at most
// kMaxGraphPoints): 8 GB of X and Y.
inline constexpr std::uint64_t kMaxSessionPoints = 500'000'000;

struct SessionReadOptions {
  // The longest a reading may take, in seconds; 0: 30 s and one more for every 25 MB of
  // the file.
  double timeLimitSeconds = 0;
  // Tests only: run in the reading process before it starts (to make it crash or hang).
  void (*childStart)() = nullptr;
};

// Reads a session, checking the version, the layout and every dataset (the checksum
// filter, the lengths of x and y, the attributes) and bounding every size before anything
// is allocated. The library runs in a child process with a memory and a time limit, so a
// file that trips a fault inside it cannot take the document down: the child hands the
// points back through a pipe. A missing, truncated, corrupted, foreign or hostile file
// throws Error with a message for the user (NewerSessionError for a newer version);
// nothing is returned half-read.
Session readSession(const std::string& path);
Session readSession(const std::string& path, const SessionReadOptions& options);

}  // namespace tarvik
