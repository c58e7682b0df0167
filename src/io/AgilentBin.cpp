// Keysight (Agilent) `.bin` waveform files and the Rigol `.bin` files of the same layout,
// little-endian throughout:
//   file header: cookie "AG" or "RG", a two-digit version, the file size and the number of
//     waveforms (32-bit each: 12 bytes; Rigol "RG03" has a 64-bit file size: 16 bytes);
//   per waveform: a header of `header_size` bytes (140 in every known file): waveform type
//     at +4 (6: logic), buffer count at +8, point count at +12, x increment (double, seconds)
//     at +32, y unit at +52, the label (16 characters) at +112;
//   per buffer: a data header of `header_size` bytes (12; 16 in "RG03", whose buffer size is
//     64-bit): buffer type at +4 (1 normal, 2 maximum, 3 minimum float32; 5 and 6 are
//     integer counts and digital bytes), bytes per point at +6, buffer size at +8; then the
//     samples.
// Float buffers hold calibrated values in the waveform's unit. Each analog waveform gives one
// graph from its first float buffer (the maximum of a peak-detect pair); logic waveforms and
// integer or digital buffers are skipped. The title is the label; a waveform without one is
// "CH<k>", k counting the analog waveforms. The file size in the header is not trusted (some
// scopes write a wrong one): only the bytes really there count.
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "io/ScopeBytes.h"

namespace tarvik {
namespace {

constexpr std::uint64_t kWaveformHeaderMin = 140;
constexpr std::uint64_t kDataHeaderMin = 12;
constexpr std::uint32_t kLogicWaveform = 6;

bool isFloatBuffer(std::uint16_t type) { return type >= 1 && type <= 3; }

bool wideSizes(std::string_view bytes) { return bytes.substr(0, 4) == "RG03"; }

struct WaveformPlan {
  std::string title;
  std::uint64_t offset = 0;
  std::uint64_t count = 0;
  double dt = 0.0;
};

std::string formatName(std::string_view bytes) {
  return bytes.substr(0, 2) == "RG" ? "Rigol .bin" : "Keysight .bin";
}

// The first float buffer of the waveform whose buffers start at `at`; `end` becomes the
// offset after its last buffer. Returns false when the waveform has no float buffer.
bool findFloatBuffer(const ScopeBytes& file, std::uint64_t& at, std::uint32_t buffers,
                     std::uint64_t points, WaveformPlan& plan) {
  const bool wide = wideSizes(file.all());
  bool found = false;
  for (std::uint32_t b = 0; b < buffers; ++b) {
    const std::uint64_t headerSize = file.little<std::uint32_t>("размер заголовка данных", at);
    if (headerSize < kDataHeaderMin || (wide && headerSize < 16)) {
      file.fail("размер заголовка данных", at, "слишком мал: " + std::to_string(headerSize));
    }
    const std::uint16_t type = file.little<std::uint16_t>("тип буфера", at + 4);
    const std::uint16_t width = file.little<std::uint16_t>("байт на точку", at + 6);
    const std::uint64_t size = wide ? file.little<std::uint64_t>("размер буфера", at + 8)
                                    : file.little<std::uint32_t>("размер буфера", at + 8);
    const std::uint64_t data = at + headerSize;
    file.span("буфер", data, size);  // the whole buffer is in the file
    if (!found && isFloatBuffer(type)) {
      if (width != 4) {
        file.fail("байт на точку", at + 6, "у буфера float32 не 4, а " + std::to_string(width));
      }
      if (size / 4 < points) {
        file.fail("размер буфера", at + 8,
                  std::to_string(size) + " байт меньше, чем " + std::to_string(points) + " точек");
      }
      plan.offset = data;
      plan.count = points;
      found = true;
    }
    at = data + size;
  }
  return found;
}

std::vector<WaveformPlan> planWaveforms(const ScopeBytes& file) {
  const bool wide = wideSizes(file.all());
  const std::uint64_t countAt = wide ? 12 : 8;
  const std::uint32_t waveforms = file.little<std::uint32_t>("число осциллограмм", countAt);
  std::vector<WaveformPlan> plans;
  std::uint64_t at = wide ? 16 : 12;
  int analog = 0;
  for (std::uint32_t w = 0; w < waveforms; ++w) {
    // Every waveform needs its header in the file: a huge count ends here, not in memory.
    const std::uint64_t headerSize = file.little<std::uint32_t>("размер заголовка", at);
    if (headerSize < kWaveformHeaderMin) {
      file.fail("размер заголовка", at, "слишком мал: " + std::to_string(headerSize));
    }
    file.span("заголовок осциллограммы", at, headerSize);
    const std::uint32_t type = file.little<std::uint32_t>("тип осциллограммы", at + 4);
    const std::uint32_t buffers = file.little<std::uint32_t>("число буферов", at + 8);
    const std::uint32_t points = file.little<std::uint32_t>("число точек", at + 12);
    const double dt = file.little<double>("шаг по времени", at + 32);
    WaveformPlan plan;
    plan.title = file.text("метка", at + 112, 16);
    plan.dt = dt;
    const std::uint64_t dtAt = at + 32;
    at += headerSize;
    const bool hasFloat = findFloatBuffer(file, at, buffers, points, plan);
    if (type == kLogicWaveform || !hasFloat) {
      continue;  // digital channels of a mixed-signal scope
    }
    ++analog;
    if (points == 0) {
      file.fail("число точек", dtAt - 20, "в осциллограмме нет ни одной точки");
    }
    requireSampleInterval(file, "шаг по времени", dtAt, dt);
    if (!std::isfinite(static_cast<double>(points - 1) * (dt * 1e9))) {
      file.fail("шаг по времени", dtAt, "время последней точки не является конечным числом");
    }
    if (plan.title.empty()) {
      plan.title = "CH" + std::to_string(analog);
    }
    plans.push_back(std::move(plan));
  }
  if (plans.empty()) {
    file.fail("число осциллограмм", countAt, "в файле нет аналоговых осциллограмм");
  }
  return plans;
}

}  // namespace

bool looksLikeAgilentBin(std::string_view bytes) {
  const std::string_view head = bytes.substr(0, 4);
  return head == "AG10" || head == "AG01" || head == "RG01" || head == "RG03";
}

ScopeRecord readAgilentBin(const ScopeInput& input) {
  const ScopeBytes file(input.bytes, formatName(input.bytes));
  if (!looksLikeAgilentBin(input.bytes)) {
    file.fail("сигнатура", 0, "не AG10, AG01, RG01 или RG03");
  }
  const std::vector<WaveformPlan> plans = planWaveforms(file);
  ScopeRecord record;
  for (const WaveformPlan& plan : plans) {
    const std::string_view samples = file.span("буфер", plan.offset, plan.count, 4);
    ScopeTrace trace;
    trace.title = plan.title;
    trace.points.ys = convertSamples(samples.data(), static_cast<std::size_t>(plan.count),
                                     SampleCode::Float32, std::endian::little, 1.0, 0.0, 0.0, 0,
                                     &input.release, static_cast<std::size_t>(plan.offset));
    trace.points.xs = uniformTimes(trace.points.ys.size(), plan.dt);
    record.traces.push_back(std::move(trace));
  }
  return record;
}

}  // namespace tarvik
