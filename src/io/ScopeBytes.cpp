#include "io/ScopeBytes.h"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <thread>

namespace tarvik {
namespace {

// Records from this many samples on are converted on two threads.
constexpr std::size_t kParallelSamples = std::size_t{1} << 20;
// Progress is reported (and the stop button looked at) after each block of this many samples.
constexpr std::size_t kProgressSamples = std::size_t{1} << 22;

template <typename T>
void convertRange(const char* data, std::size_t begin, std::size_t end, std::size_t stride,
                  bool swap, double gain, double offset, double codeShift, double* out) {
  const bool plainFloat = std::is_floating_point_v<T> && gain == 1.0 && offset == 0.0;
  for (std::size_t i = begin; i < end; ++i) {
    const double code = static_cast<double>(loadNumber<T>(data + i * stride, swap));
    out[i] = plainFloat ? code : (code + codeShift) * gain + offset;
  }
}

void convertRange(SampleCode code, const char* data, std::size_t begin, std::size_t end,
                  std::size_t stride, bool swap, double gain, double offset, double codeShift,
                  double* out) {
  switch (code) {
    case SampleCode::Int8:
      return convertRange<std::int8_t>(data, begin, end, stride, swap, gain, offset, codeShift, out);
    case SampleCode::UInt8:
      return convertRange<std::uint8_t>(data, begin, end, stride, swap, gain, offset, codeShift, out);
    case SampleCode::Int16:
      return convertRange<std::int16_t>(data, begin, end, stride, swap, gain, offset, codeShift, out);
    case SampleCode::UInt16:
      return convertRange<std::uint16_t>(data, begin, end, stride, swap, gain, offset, codeShift,
                                         out);
    case SampleCode::Int32:
      return convertRange<std::int32_t>(data, begin, end, stride, swap, gain, offset, codeShift, out);
    case SampleCode::Float32:
      return convertRange<float>(data, begin, end, stride, swap, gain, offset, codeShift, out);
    case SampleCode::Float64:
      return convertRange<double>(data, begin, end, stride, swap, gain, offset, codeShift, out);
  }
}

// The whole pages inside [begin, begin + count) made resident at once, for writing. A deep
// record's output is fresh memory, and taking its page faults one by one (the kernel clears
// each page as it is first touched) costs more than the conversion itself; asking for the
// pages in one call is cheaper, and two threads asking for one half each split the clearing
// between the cores. Only a hint: where the kernel cannot do it, the pages come on first touch.
void populatePages(double* begin, std::size_t count) {
#ifdef MADV_POPULATE_WRITE
  constexpr std::uintptr_t kPage = 4096;
  const auto first = (reinterpret_cast<std::uintptr_t>(begin) + kPage - 1) & ~(kPage - 1);
  const auto last = reinterpret_cast<std::uintptr_t>(begin + count) & ~(kPage - 1);
  if (last > first) {
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
  }
#else
  (void)begin;
  (void)count;
#endif
}

// `count` zeros in memory whose pages were made resident by two threads, one half each.
std::vector<double> residentValues(std::size_t count) {
  std::vector<double> values;
  if (count < kParallelSamples) {
    values.resize(count);
    return values;
  }
  values.reserve(count);
  double* const base = values.data();
  const std::size_t middle = count / 2;
  std::thread second([&] { populatePages(base + middle, count - middle); });
  populatePages(base, middle);
  second.join();
  values.resize(count);  // only clears memory that is already there
  return values;
}

// Runs work(begin, end) over [0, count) split in two halves, the second on a thread of its
// own when the range is large.
template <typename Work>
void inTwoHalves(std::size_t begin, std::size_t end, const Work& work) {
  if (end - begin < kParallelSamples) {
    work(begin, end);
    return;
  }
  const std::size_t middle = begin + (end - begin) / 2;
  std::thread second([&] { work(middle, end); });
  work(begin, middle);
  second.join();
}

}  // namespace

void ScopeBytes::fail(std::string_view field, std::uint64_t offset, std::string_view what) const {
  std::string text = m_format;
  text += ": ";
  text += field;
  text += ": ";
  text += what;
  text += " (смещение " + hexOffset(offset) + ")";
  throw ScopeFormatError(text);
}

bool ScopeBytes::holds(std::uint64_t offset, std::uint64_t count, std::uint64_t width) const {
  if (offset > m_bytes.size()) {
    return false;
  }
  if (width != 0 && count > std::numeric_limits<std::uint64_t>::max() / width) {
    return false;
  }
  return count * width <= m_bytes.size() - offset;
}

std::string_view ScopeBytes::span(std::string_view field, std::uint64_t offset,
                                  std::uint64_t count, std::uint64_t width) const {
  if (!holds(offset, count, width)) {
    fail(field, offset, "за концом файла (в файле " + std::to_string(m_bytes.size()) + " байт)");
  }
  return m_bytes.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(count * width));
}

std::string ScopeBytes::text(std::string_view field, std::uint64_t offset,
                             std::uint64_t width) const {
  std::string_view raw = span(field, offset, width);
  raw = raw.substr(0, raw.find('\0'));
  while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\t')) {
    raw.remove_suffix(1);
  }
  return std::string(raw);
}

std::size_t sampleCodeWidth(SampleCode code) {
  switch (code) {
    case SampleCode::Int8:
    case SampleCode::UInt8:
      return 1;
    case SampleCode::Int16:
    case SampleCode::UInt16:
      return 2;
    case SampleCode::Int32:
    case SampleCode::Float32:
      return 4;
    case SampleCode::Float64:
      return 8;
  }
  return 1;
}

std::vector<double> convertSamples(const char* data, std::size_t count, SampleCode code,
                                   std::endian order, double gain, double offset,
                                   double codeShift, std::size_t stride,
                                   const ReleaseBytes* release, std::size_t fileOffset) {
  const std::size_t width = sampleCodeWidth(code);
  if (stride == 0) {
    stride = width;
  }
  const bool swap = width > 1 && order != std::endian::native;
  std::vector<double> values = residentValues(count);
  double* out = values.data();
  // Blocks of samples in order, so that progress moves forward through the file; within a
  // block the two halves go to two threads.
  for (std::size_t begin = 0; begin < count; begin += kProgressSamples) {
    const std::size_t end = std::min(count, begin + kProgressSamples);
    inTwoHalves(begin, end, [&](std::size_t from, std::size_t to) {
      convertRange(code, data, from, to, stride, swap, gain, offset, codeShift, out);
    });
    if (release != nullptr && *release) {
      (*release)(fileOffset + end * stride);
    }
  }
  return values;
}

std::vector<double> uniformTimes(std::size_t count, double dtSeconds) {
  std::vector<double> xs = residentValues(count);
  const double step = dtSeconds * 1e9;
  double* out = xs.data();
  inTwoHalves(0, count, [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      out[i] = static_cast<double>(i) * step;
    }
  });
  return xs;
}

void requireSampleInterval(const ScopeBytes& file, std::string_view field, std::uint64_t offset,
                           double dtSeconds) {
  if (!std::isfinite(dtSeconds) || dtSeconds <= 0.0 || !std::isfinite(dtSeconds * 1e9)) {
    char text[128];
    std::snprintf(text, sizeof text, "шаг по времени %.17g с не годится", dtSeconds);
    file.fail(field, offset, text);
  }
}

std::string hexOffset(std::uint64_t offset) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(offset));
  return text;
}

}  // namespace tarvik
