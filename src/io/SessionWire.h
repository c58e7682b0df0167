#pragma once
// What the reading process of a session sends its parent through a pipe: frames of a type
// byte, a 64-bit length and the payload — the outline (the session without its points,
// with every array's length), then each array's values as they are in memory, then a last
// frame that says the reading is complete, or an error with the user's message. The parent
// bounds every length before it allocates, as it would a file's.
#include <chrono>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "io/SessionRead.h"

namespace tarvik::session {

enum class WireError : std::uint8_t { Plain = 0, Io = 1, Newer = 2, Memory = 3 };

// The child's end of the pipe. A failed write ends the child (its parent is gone or gave up).
class WireWriter {
 public:
  explicit WireWriter(int fd) : m_fd(fd) {}
  void frame(std::uint8_t type, std::span<const unsigned char> payload);
  void done();
  void error(WireError kind, std::string_view text);

 private:
  void put(const void* bytes, std::size_t size);
  int m_fd;
};

// Sends what a reading finds as frames.
class WireSender : public Receiver {
 public:
  explicit WireSender(WireWriter& wire) : m_wire(wire) {}
  void outline(const Session& session, std::span<const std::uint64_t> lengths) override;
  void points(std::vector<double> values) override;

 private:
  WireWriter& m_wire;
};

// The pipe ended before the last frame: the child died, or the time ran out.
struct WireBroken : std::runtime_error {
  explicit WireBroken(bool timedOut_) : std::runtime_error("wire broken"), timedOut(timedOut_) {}
  bool timedOut;
};

// The parent's end: reads exactly what it is asked for until the deadline.
class WireReader {
 public:
  WireReader(int fd, std::chrono::steady_clock::time_point deadline, std::uintmax_t fileBytes)
      : m_fd(fd), m_deadline(deadline), m_fileBytes(fileBytes) {}
  // Throws WireBroken at the pipe's end or the deadline.
  void read(void* bytes, std::size_t size);
  std::uintmax_t fileBytes() const { return m_fileBytes; }

 private:
  int m_fd;
  std::chrono::steady_clock::time_point m_deadline;
  std::uintmax_t m_fileBytes;
};

// Receives a whole session from the reading process of `path`. Throws the Error the child
// sent, Error for frames that break the protocol or the bounds, WireBroken when the pipe
// ends early.
Session receiveSession(WireReader& wire, const std::string& path);

// The outline's payload, and back; unpacking throws std::out_of_range on anything that
// does not fit. Exposed for the tests.
std::vector<unsigned char> packOutline(const Session& session,
                                       std::span<const std::uint64_t> lengths);
Session unpackOutline(std::span<const unsigned char> bytes, std::vector<std::uint64_t>& lengths);

}  // namespace tarvik::session
