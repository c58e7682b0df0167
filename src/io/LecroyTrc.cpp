// LeCroy waveform files (.trc, and the numbered .000, .001 … of the scope's auto-save).
//
// A file is the scope's answer to a waveform query written to disk: sometimes behind an
// IEEE 488.2 block header ("#9" and nine digits of length), then the WAVEDESC descriptor,
// then the blocks it counts, each of its stated length:
//   WAVEDESC | USERTEXT | TRIGTIME (sequence mode) | RISTIME (RIS mode) | WAVE_ARRAY_1 | …
// The descriptor's layout is named by its template. LECROY_2_3 (346 bytes) is what every
// current scope writes; the older LECROY_1_0 (320 bytes) has the same head but moves most
// fields and has no RIS array. Both state their byte order in COMM_ORDER (0: high byte
// first, 1: low byte first) and the sample width in COMM_TYPE (0: int8, 1: int16).
//
// A sample is VERTICAL_GAIN·code − VERTICAL_OFFSET volts (LECROY_1_0 takes the offset the
// acquisition used, its ACQ_VERT_OFFSET); the sample interval is the float32 HORIZ_INTERVAL.
// In sequence mode WAVE_ARRAY_1 holds SUBARRAY_COUNT segments of equal length, one after
// another; each becomes its own trace "C<n> #k". The channel C<n> comes from WAVE_SOURCE,
// counted from 0 in LECROY_2_3 and from 1 in LECROY_1_0.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <string>

#include "io/ScopeBytes.h"
#include "io/ScopeRecord.h"

namespace tarvik {
namespace {

const char kFormat[] = "LeCroy WAVEDESC";
const std::string_view kDescriptorName = "WAVEDESC";
// The descriptor may follow a block header or a short query echo; it is looked for here.
constexpr std::size_t kSearchBytes = 512;
// More segments than any scope records: a header claiming them is not believed.
constexpr std::int64_t kMaxSegments = 100000;
// Input channels a scope may have; any other WAVE_SOURCE is a math or memory trace (9 in
// LECROY_2_3 is "unknown").
constexpr int kMaxChannel = 8;

// Where the fields this reader needs lie in each template, from the descriptor's start.
struct Layout {
  const char* name;
  std::uint32_t length;  // the descriptor's length in this template
  std::uint32_t userText;
  std::uint32_t trigTime;
  std::uint32_t risTime;  // 0: the template has no RIS array
  std::uint32_t waveArray1;
  std::uint32_t waveArrayCount;
  std::uint32_t subarrayCount;
  std::uint32_t verticalGain;
  std::uint32_t verticalOffset;
  std::uint32_t horizInterval;
  std::uint32_t waveSource;
  int firstSource;  // WAVE_SOURCE of channel 1
};

constexpr Layout kLecroy23{"LECROY_2_3", 346, 40, 48, 52, 60, 116, 144, 156, 160, 176, 344, 0};
constexpr Layout kLecroy10{"LECROY_1_0", 320, 40, 44, 0, 48, 92, 108, 120, 290, 134, 296, 1};

constexpr std::uint32_t kCommType = 32;
constexpr std::uint32_t kCommOrder = 34;
constexpr std::uint32_t kWaveDescriptor = 36;
constexpr std::uint32_t kTemplateName = 16;

std::size_t findDescriptor(std::string_view bytes) {
  const std::string_view head = bytes.substr(0, kSearchBytes + kDescriptorName.size());
  return head.find(kDescriptorName);
}

class Descriptor {
 public:
  Descriptor(const ScopeBytes& file, std::uint64_t start, const Layout& layout, std::endian order)
      : m_file(file), m_start(start), m_layout(layout), m_order(order) {}

  std::uint64_t at(std::uint32_t field) const { return m_start + field; }

  template <typename T>
  T number(std::string_view name, std::uint32_t field) const {
    return m_file.number<T>(name, at(field), m_order);
  }

  // A block length or count: a long that must not be negative.
  std::uint64_t length(std::string_view name, std::uint32_t field) const {
    const auto value = number<std::int32_t>(name, field);
    if (value < 0) {
      m_file.fail(name, at(field), std::to_string(value) + ": отрицательная длина");
    }
    return static_cast<std::uint64_t>(value);
  }

  const ScopeBytes& file() const { return m_file; }
  const Layout& layout() const { return m_layout; }
  std::endian order() const { return m_order; }
  std::uint64_t start() const { return m_start; }

 private:
  const ScopeBytes& m_file;
  std::uint64_t m_start;
  const Layout& m_layout;
  std::endian m_order;
};

std::endian commOrder(const ScopeBytes& file, std::uint64_t start) {
  // COMM_ORDER is written in the order it names: 01 00 is low byte first, 00 00 high.
  const auto value = file.little<std::uint16_t>("COMM_ORDER", start + kCommOrder);
  if (value == 1) {
    return std::endian::little;
  }
  if (value == 0) {
    return std::endian::big;
  }
  file.fail("COMM_ORDER", start + kCommOrder,
            std::to_string(value) + ": порядок байтов не 0 и не 1");
}

// Offset of the first byte of WAVE_ARRAY_1: the descriptor and the blocks before the data.
std::uint64_t dataStart(const Descriptor& desc) {
  const Layout& layout = desc.layout();
  const std::uint64_t descriptorLength = desc.length("WAVE_DESCRIPTOR", kWaveDescriptor);
  if (descriptorLength < layout.length) {
    desc.file().fail("WAVE_DESCRIPTOR", desc.at(kWaveDescriptor),
                     std::to_string(descriptorLength) + " байт: короче шаблона " + layout.name +
                         " (" + std::to_string(layout.length) + ")");
  }
  std::uint64_t offset = desc.start() + descriptorLength;
  offset += desc.length("USER_TEXT", layout.userText);
  offset += desc.length("TRIGTIME_ARRAY", layout.trigTime);
  if (layout.risTime != 0) {
    offset += desc.length("RIS_TIME_ARRAY", layout.risTime);
  }
  return offset;
}

std::string channelName(const Descriptor& desc, const std::string& path) {
  const Layout& layout = desc.layout();
  const auto source = desc.number<std::int16_t>("WAVE_SOURCE", layout.waveSource);
  const int channel = source - layout.firstSource + 1;
  if (channel >= 1 && channel <= kMaxChannel) {
    return "C" + std::to_string(channel);
  }
  // A math or memory trace: named as the open command names graphs without a title.
  return std::filesystem::path(path).filename().replace_extension(".grf").string();
}

SampleCode commType(const Descriptor& desc) {
  const auto type = desc.number<std::int16_t>("COMM_TYPE", kCommType);
  if (type == 0) {
    return SampleCode::Int8;
  }
  if (type == 1) {
    return SampleCode::Int16;
  }
  desc.file().fail("COMM_TYPE", desc.at(kCommType),
                   std::to_string(type) + ": отсчёты не int8 (0) и не int16 (1)");
}

const Layout& templateOf(const ScopeBytes& file, std::uint64_t start) {
  const std::string name = file.text("TEMPLATE_NAME", start + kTemplateName, 16);
  if (name == kLecroy23.name) {
    return kLecroy23;
  }
  if (name == kLecroy10.name) {
    return kLecroy10;
  }
  file.fail("TEMPLATE_NAME", start + kTemplateName, "шаблон '" + name + "' не читается");
}

}  // namespace

bool looksLikeLecroyTrc(std::string_view bytes) {
  const std::size_t at = findDescriptor(bytes);
  return at != std::string_view::npos && bytes.size() >= at + kTemplateName &&
         bytes.substr(at + kTemplateName).starts_with("LECROY_");
}

ScopeRecord readLecroyTrc(const ScopeInput& input) {
  const ScopeBytes file(input.bytes, kFormat);
  const std::size_t found = findDescriptor(input.bytes);
  if (found == std::string_view::npos) {
    file.fail("DESCRIPTOR_NAME", 0, "нет блока WAVEDESC");
  }
  const std::uint64_t start = found;
  const Layout& layout = templateOf(file, start);
  const Descriptor desc(file, start, layout, commOrder(file, start));
  const SampleCode code = commType(desc);
  const std::uint64_t width = sampleCodeWidth(code);

  const std::uint64_t first = dataStart(desc);
  const std::uint64_t arrayBytes = desc.length("WAVE_ARRAY_1", layout.waveArray1);
  file.span("WAVE_ARRAY_1", first, arrayBytes);
  const std::uint64_t count = desc.length("WAVE_ARRAY_COUNT", layout.waveArrayCount);
  if (count == 0) {
    file.fail("WAVE_ARRAY_COUNT", desc.at(layout.waveArrayCount), "0: в записи нет отсчётов");
  }
  if (count > arrayBytes / width) {
    file.fail("WAVE_ARRAY_COUNT", desc.at(layout.waveArrayCount),
              std::to_string(count) + " отсчётов не помещаются в WAVE_ARRAY_1 (" +
                  std::to_string(arrayBytes) + " байт)");
  }
  // Older single-sweep records may leave SUBARRAY_COUNT at 0.
  const auto subarrays = desc.number<std::int32_t>("SUBARRAY_COUNT", layout.subarrayCount);
  const std::int64_t segments = std::max<std::int64_t>(subarrays, 1);
  if (subarrays < 0 || segments > kMaxSegments ||
      count % static_cast<std::uint64_t>(segments) != 0) {
    file.fail("SUBARRAY_COUNT", desc.at(layout.subarrayCount),
              std::to_string(subarrays) + " сегментов не делят " + std::to_string(count) +
                  " отсчётов поровну");
  }
  const double dt = desc.number<float>("HORIZ_INTERVAL", layout.horizInterval);
  requireSampleInterval(file, "HORIZ_INTERVAL", desc.at(layout.horizInterval), dt);
  const double gain = desc.number<float>("VERTICAL_GAIN", layout.verticalGain);
  const double offset = desc.number<float>("VERTICAL_OFFSET", layout.verticalOffset);
  const std::string name = channelName(desc, input.path);

  const std::size_t perSegment =
      static_cast<std::size_t>(count / static_cast<std::uint64_t>(segments));
  ScopeRecord record;
  record.traces.reserve(static_cast<std::size_t>(segments));
  for (std::int64_t k = 0; k < segments; ++k) {
    const std::uint64_t at = first + static_cast<std::uint64_t>(k) * perSegment * width;
    ScopeTrace trace;
    trace.title = segments > 1 ? name + " #" + std::to_string(k + 1) : name;
    trace.points.ys = convertSamples(input.bytes.data() + at, perSegment, code, desc.order(), gain,
                                     -offset, 0.0, 0, &input.release, static_cast<std::size_t>(at));
    trace.points.xs = uniformTimes(perSegment, dt);
    record.traces.push_back(std::move(trace));
  }
  return record;
}

}  // namespace tarvik
