#pragma once
// The few HDF5 operations a session file needs, over the library's C interface: owned
// handles, attributes of the types the session uses (UTF-8 strings, 32-bit integers,
// bytes, doubles) and checked float64 datasets.
//
// The serial HDF5 library is not thread-safe: every sequence of calls runs under
// `libraryLock()`. Every failure throws Hdf5Fault naming the object it concerns; the
// session reader and writer turn it into the message the user sees.
#include <hdf5.h>

#include <cstdint>
#include <mutex>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvik::hdf5 {

struct Hdf5Fault : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// An object laid out otherwise than the program writes it (data kept in another file, a
// link to another file, a filter it never uses): not damage, but refused all the same,
// before any of its data is read. The text names the object and the reason.
struct LayoutFault : Hdf5Fault {
  using Hdf5Fault::Hdf5Fault;
};

[[noreturn]] void fault(const std::string& what);
// Throws LayoutFault "NAME: REASON".
[[noreturn]] void refuse(const std::string& name, const std::string& reason);
// Only a hard link inside this file may name an object the session reads: an external
// link would open another file, a soft link another object under a second name. Throws
// LayoutFault for any other link, Hdf5Fault when `name` is not there.
void requireHardLink(hid_t parent, const char* name);
// Throws Hdf5Fault naming `what` when the library reports a failure.
void check(herr_t status, const std::string& what);
// The number of elements of an attribute or dataset space; a scalar counts as one. Only
// scalars and one-dimensional spaces are accepted.
hsize_t elementCount(hid_t space, const char* name);

// Held around every use of the library. The first call also silences the library's own
// printing of errors to the standard error stream.
std::unique_lock<std::mutex> libraryLock();

// An identifier with the function that closes it.
class Handle {
 public:
  using Closer = herr_t (*)(hid_t);
  Handle() = default;
  // Takes `id`; a negative one (a failed call) throws Hdf5Fault naming `what`.
  Handle(hid_t id, Closer closer, const std::string& what);
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept;
  Handle& operator=(Handle&& other) noexcept;
  ~Handle() { reset(); }

  hid_t get() const { return m_id; }
  // Closes now; false when the library reports a failure (a file's last write).
  bool reset();

 private:
  hid_t m_id = H5I_INVALID_HID;
  Closer m_closer = nullptr;
};

// --- Attributes (written on a file, group or dataset `object`) ---
void writeString(hid_t object, const char* name, const std::string& text);
void writeStrings(hid_t object, const char* name, const std::vector<std::string>& texts);
void writeInt(hid_t object, const char* name, int value);
void writeInts(hid_t object, const char* name, std::span<const int> values);
void writeBytes(hid_t object, const char* name, std::span<const std::uint8_t> values);
void writeDoubles(hid_t object, const char* name, std::span<const double> values);

bool hasAttribute(hid_t object, const char* name);
// Each reader checks the attribute's type class and element count (`count`: the exact
// number expected; scalars are one element) and throws Hdf5Fault naming it otherwise.
std::string readString(hid_t object, const char* name);
// At most `maxCount` texts.
std::vector<std::string> readStrings(hid_t object, const char* name, std::size_t maxCount);
int readInt(hid_t object, const char* name);
std::vector<int> readInts(hid_t object, const char* name, std::size_t count);
std::vector<std::uint8_t> readBytes(hid_t object, const char* name, std::size_t count);
std::vector<double> readDoubles(hid_t object, const char* name, std::size_t count);

// --- Point arrays (SessionPoints.cpp) ---
struct PointDatasetOptions {
  int deflateLevel = 0;  // 0: stored as they are
};
// A float64 dataset of `values`, chunked, with the Fletcher32 checksum of every chunk.
void writePoints(hid_t group, const char* name, std::span<const double> values,
                 const PointDatasetOptions& options);
// What a point dataset holds, told by its header alone.
struct PointsInfo {
  std::uint64_t count = 0;
  bool compressed = false;  // deflate (or any filter but shuffle and the checksum)
};
// Checks dataset `name` of `group` without reading a value: a one-dimensional 8-byte float
// array stored inside this file, contiguous or in chunks (no raw data in other files, no
// virtual dataset), filtered by nothing but shuffle, deflate and the Fletcher32 checksum.
// Throws LayoutFault for a layout the program does not write, Hdf5Fault for damage.
PointsInfo inspectPoints(hid_t group, const char* name);
// Deflate gains at most about 1032:1 (a run of 258 bytes in a code of two bits): the most
// bytes of values a compressed array can stand for per byte of the file.
inline constexpr std::uintmax_t kDeflateGainBound = 1100;
// Reads a one-dimensional 8-byte float dataset whole; checksums are verified where the
// dataset has them. No size read from a file is allocated before it is bounded: stored as
// they are, the values must fit in the file's `fileBytes`; compressed, in what deflate can
// at most gain on them. With `parallelChecks`, chunk checksums are summed on a second
// thread while the library reads the next chunk.
std::vector<double> readPoints(hid_t group, const char* name, std::uintmax_t fileBytes,
                               bool parallelChecks = true);

// A zeroed array of `count` doubles, on huge pages where it is large: a fresh array costs a
// page fault per page, and 2 MiB pages take 512 times fewer.
std::vector<double> zeroedArray(std::size_t count);

// The library's Fletcher32 checksum of `bytes` (16-bit words read big-endian, sums folded
// every 360 words), as its checksum filter stores it after each chunk.
std::uint32_t fletcher32(std::span<const unsigned char> bytes);

}  // namespace tarvik::hdf5
