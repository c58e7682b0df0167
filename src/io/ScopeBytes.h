#pragma once
// Checked access to the bytes of a binary scope file. Every field is read through here, so a
// header that points outside the file, or claims more samples than the file holds, ends the
// reading with a ScopeFormatError naming the format, the field and the offset — before any
// allocation. Offsets and lengths are 64-bit and every sum is checked for overflow.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "io/ScopeRecord.h"

namespace tarvik {

// A number of type T stored at `at`, its bytes reversed when `swap` (the file's byte order is
// not the machine's).
template <typename T>
T loadNumber(const char* at, bool swap) {
  static_assert(std::is_arithmetic_v<T>);
  unsigned char buffer[sizeof(T)];
  std::memcpy(buffer, at, sizeof(T));
  if (swap) {
    for (std::size_t i = 0; i < sizeof(T) / 2; ++i) {
      std::swap(buffer[i], buffer[sizeof(T) - 1 - i]);
    }
  }
  T value;
  std::memcpy(&value, buffer, sizeof(T));
  return value;
}

class ScopeBytes {
 public:
  ScopeBytes(std::string_view bytes, std::string format)
      : m_bytes(bytes), m_format(std::move(format)) {}

  std::size_t size() const { return m_bytes.size(); }
  std::string_view all() const { return m_bytes; }
  const std::string& format() const { return m_format; }

  // The error for `field` at `offset`: "FORMAT: FIELD: WHAT (смещение 0x…)".
  [[noreturn]] void fail(std::string_view field, std::uint64_t offset, std::string_view what) const;

  // True when [offset, offset + count·width) lies inside the file (no overflow).
  bool holds(std::uint64_t offset, std::uint64_t count, std::uint64_t width = 1) const;

  // The bytes [offset, offset + count·width), or the error "… за концом файла".
  std::string_view span(std::string_view field, std::uint64_t offset, std::uint64_t count,
                        std::uint64_t width = 1) const;

  // A little- or big-endian number of type T (integer or IEEE float) at `offset`.
  template <typename T>
  T little(std::string_view field, std::uint64_t offset) const {
    return load<T>(field, offset, std::endian::little);
  }
  template <typename T>
  T big(std::string_view field, std::uint64_t offset) const {
    return load<T>(field, offset, std::endian::big);
  }
  template <typename T>
  T number(std::string_view field, std::uint64_t offset, std::endian order) const {
    return load<T>(field, offset, order);
  }

  // A fixed-width text field: the bytes up to the first NUL, trailing spaces removed.
  std::string text(std::string_view field, std::uint64_t offset, std::uint64_t width) const;

 private:
  template <typename T>
  T load(std::string_view field, std::uint64_t offset, std::endian order) const {
    return loadNumber<T>(span(field, offset, sizeof(T)).data(), order != std::endian::native);
  }

  std::string_view m_bytes;
  std::string m_format;
};

// The sample codes of a record as they lie in the file.
enum class SampleCode { Int8, UInt8, Int16, UInt16, Int32, Float32, Float64 };

std::size_t sampleCodeWidth(SampleCode code);

// Converts `count` codes starting at `data` (every `stride` bytes; stride 0 = packed) into
// values: value = (code + codeShift)·gain + offset for integer codes, the stored float
// widened (times gain plus offset when they are not 1 and 0) for float codes. The caller has
// checked that the bytes are there. Runs on two threads for large records and reports
// progress through `release` (the file offset reached), which may throw to stop.
std::vector<double> convertSamples(const char* data, std::size_t count, SampleCode code,
                                   std::endian order, double gain, double offset,
                                   double codeShift = 0.0, std::size_t stride = 0,
                                   const ReleaseBytes* release = nullptr,
                                   std::size_t fileOffset = 0);

// X of a uniformly sampled record: X_i = i·dt·1e9 ns, dt in seconds as the file stores it.
std::vector<double> uniformTimes(std::size_t count, double dtSeconds);

// Refuses a record that cannot become graphs: a sample interval that is not finite and
// positive.
void requireSampleInterval(const ScopeBytes& file, std::string_view field, std::uint64_t offset,
                           double dtSeconds);

// "0x3c": offsets in messages.
std::string hexOffset(std::uint64_t offset);

}  // namespace tarvik
