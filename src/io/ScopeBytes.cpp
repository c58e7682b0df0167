#include "io/ScopeBytes.h"

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
  std::vector<double> values(count);
  double* out = values.data();
  // Blocks of samples in order, so that progress moves forward through the file; within a
  // block the two halves go to two threads.
  for (std::size_t begin = 0; begin < count; begin += kProgressSamples) {
    const std::size_t end = std::min(count, begin + kProgressSamples);
    if (end - begin >= kParallelSamples) {
      const std::size_t middle = begin + (end - begin) / 2;
      std::thread second([&] {
        convertRange(code, data, middle, end, stride, swap, gain, offset, codeShift, out);
      });
      convertRange(code, data, begin, middle, stride, swap, gain, offset, codeShift, out);
      second.join();
    } else {
      convertRange(code, data, begin, end, stride, swap, gain, offset, codeShift, out);
    }
    if (release != nullptr && *release) {
      (*release)(fileOffset + end * stride);
    }
  }
  return values;
}

std::vector<double> uniformTimes(std::size_t count, double dtSeconds) {
  std::vector<double> xs(count);
  const double step = dtSeconds * 1e9;
  for (std::size_t i = 0; i < count; ++i) {
    xs[i] = static_cast<double>(i) * step;
  }
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
