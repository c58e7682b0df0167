// Tektronix reference waveform files (.wfm, version WFM#003), as the performance scopes save
// them. The layout is fixed, every field at its offset:
//   0    static file information: byte order mark (0F0F low byte first, F0F0 high byte
//        first), ":WFM#003", bytes per point, the offset of the curve buffer, the waveform
//        label (32 bytes) and the number of FastFrame frames less one
//   78   waveform header: set type, data type (2: a sampled YT record)…
//   168  explicit dimensions 1 and 2 (160 bytes each): the value axis — scale, offset and
//        the storage format of a code
//   488  implicit dimensions 1 and 2 (136 bytes each): the time axis — scale is the sample
//        interval
//   760  time base information 1 and 2, 784 update record, 808 curve information:
//        where in the curve buffer the pre-charge, the data and the post-charge begin
//   838  FastFrame only: an update record (24 bytes) per further frame, then a curve
//        information (30 bytes) per further frame
// The curve buffer holds the frames one after another, each as long as the main curve
// information's buffer; the record of a frame is its data, from the data start to the
// post-charge start (the pre- and post-charge samples around it are interpolation margin).
// A code is code·scale + offset of explicit dimension 1.
#include <bit>
#include <cstdint>
#include <filesystem>
#include <string>

#include "io/ScopeBytes.h"
#include "io/ScopeRecord.h"

namespace tarvik {
namespace {

const char kFormat[] = "Tektronix WFM";

constexpr std::uint64_t kVersion = 2;
constexpr std::uint64_t kBytesPerPoint = 15;
constexpr std::uint64_t kCurveBuffer = 16;
constexpr std::uint64_t kLabel = 40;
constexpr std::uint64_t kFrames = 72;
constexpr std::uint64_t kDataType = 122;
constexpr std::uint64_t kExpScale = 168;
constexpr std::uint64_t kExpOffset = 176;
constexpr std::uint64_t kExpFormat = 240;
constexpr std::uint64_t kImpScale = 488;
constexpr std::uint64_t kCurveInfo = 808;
constexpr std::uint64_t kFrameTables = 838;
constexpr std::uint64_t kUpdateSpecBytes = 24;
constexpr std::uint64_t kCurveInfoBytes = 30;
// In a curve information: the offsets within the frame's buffer.
constexpr std::uint64_t kDataStart = 14;
constexpr std::uint64_t kPostchargeStart = 18;
constexpr std::uint64_t kEndOfBuffer = 26;

constexpr int kVectorData = 2;

std::endian byteOrder(const ScopeBytes& file) {
  const std::string_view mark = file.span("byte order", 0, 2);
  if (mark == "\x0f\x0f") {
    return std::endian::little;
  }
  if (mark == "\xf0\xf0") {
    return std::endian::big;
  }
  file.fail("byte order", 0, "метка порядка байтов не 0F0F и не F0F0");
}

SampleCode sampleCode(const ScopeBytes& file, std::endian order) {
  const auto format = file.number<std::int32_t>("explicit dimension format", kExpFormat, order);
  SampleCode code = SampleCode::Int16;
  switch (format) {
    case 0:
      code = SampleCode::Int16;
      break;
    case 1:
      code = SampleCode::Int32;
      break;
    case 4:
      code = SampleCode::Float32;
      break;
    case 5:
      code = SampleCode::Float64;
      break;
    case 6:
      code = SampleCode::UInt8;
      break;
    case 7:
      code = SampleCode::Int8;
      break;
    default:
      file.fail("explicit dimension format", kExpFormat,
                std::to_string(format) + ": формат отсчётов не читается");
  }
  const auto width = file.number<std::uint8_t>("bytes per point", kBytesPerPoint, order);
  if (width != sampleCodeWidth(code)) {
    file.fail("bytes per point", kBytesPerPoint,
              std::to_string(width) + " не совпадает с форматом отсчётов (" +
                  std::to_string(sampleCodeWidth(code)) + " байт)");
  }
  return code;
}

// The waveform label, printable ASCII only; without one, the file's name as the open
// command names graphs without a title.
std::string title(const ScopeBytes& file, const std::string& path) {
  std::string label;
  for (char c : file.text("waveform label", kLabel, 32)) {
    label += c >= 0x20 && c < 0x7f ? c : '?';
  }
  label.erase(0, label.find_first_not_of(' '));
  if (label.empty()) {
    return std::filesystem::path(path).filename().replace_extension(".grf").string();
  }
  return label;
}

struct CurveInfo {
  std::uint32_t dataStart = 0;
  std::uint32_t postchargeStart = 0;
  std::uint32_t endOfBuffer = 0;
};

CurveInfo curveInfo(const ScopeBytes& file, std::endian order) {
  CurveInfo info;
  info.dataStart = file.number<std::uint32_t>("data start offset", kCurveInfo + kDataStart, order);
  info.postchargeStart =
      file.number<std::uint32_t>("postcharge start offset", kCurveInfo + kPostchargeStart, order);
  info.endOfBuffer =
      file.number<std::uint32_t>("end of curve buffer offset", kCurveInfo + kEndOfBuffer, order);
  if (info.dataStart >= info.postchargeStart) {
    file.fail("postcharge start offset", kCurveInfo + kPostchargeStart,
              std::to_string(info.postchargeStart) + ": данных нет (начало данных " +
                  std::to_string(info.dataStart) + ")");
  }
  if (info.postchargeStart > info.endOfBuffer) {
    file.fail("end of curve buffer offset", kCurveInfo + kEndOfBuffer,
              std::to_string(info.endOfBuffer) + ": раньше конца данных (" +
                  std::to_string(info.postchargeStart) + ")");
  }
  return info;
}

}  // namespace

bool looksLikeTekWfm(std::string_view bytes) {
  const std::string_view mark = bytes.substr(0, 2);
  return (mark == "\x0f\x0f" || mark == "\xf0\xf0") && bytes.substr(2, 7) == ":WFM#00";
}

ScopeRecord readTekWfm(const ScopeInput& input) {
  const ScopeBytes file(input.bytes, kFormat);
  const std::endian order = byteOrder(file);
  const std::string version = file.text("version", kVersion, 8);
  if (version != ":WFM#003") {
    file.fail("version", kVersion, "'" + version + "': читается только WFM#003");
  }
  const auto dataType = file.number<std::int32_t>("data type", kDataType, order);
  if (dataType != kVectorData) {
    file.fail("data type", kDataType,
              std::to_string(dataType) + ": не запись отсчётов во времени (2)");
  }
  const SampleCode code = sampleCode(file, order);
  const std::uint64_t width = sampleCodeWidth(code);
  const double scale = file.number<double>("explicit dimension scale", kExpScale, order);
  const double offset = file.number<double>("explicit dimension offset", kExpOffset, order);
  const double dt = file.number<double>("implicit dimension scale", kImpScale, order);
  requireSampleInterval(file, "implicit dimension scale", kImpScale, dt);

  const std::uint64_t frames =
      std::uint64_t{1} + file.number<std::uint32_t>("FastFrame count", kFrames, order);
  const std::uint64_t curve =
      file.number<std::uint32_t>("curve buffer offset", kCurveBuffer, order);
  // The frame tables lie between the main curve information and the curve buffer.
  const std::uint64_t tablesEnd =
      kFrameTables + (frames - 1) * (kUpdateSpecBytes + kCurveInfoBytes);
  if (curve < tablesEnd) {
    file.fail("curve buffer offset", kCurveBuffer,
              std::to_string(curve) + ": внутри заголовка (" + std::to_string(frames) +
                  " кадров требуют " + std::to_string(tablesEnd) + ")");
  }
  const CurveInfo info = curveInfo(file, order);
  file.span("curve buffer", curve, frames, info.endOfBuffer);
  if ((info.postchargeStart - info.dataStart) % width != 0) {
    file.fail("postcharge start offset", kCurveInfo + kPostchargeStart,
              "данные не делятся на отсчёты по " + std::to_string(width) + " байт");
  }
  const std::size_t count = (info.postchargeStart - info.dataStart) / width;

  const std::string name = title(file, input.path);
  ScopeRecord record;
  record.traces.reserve(static_cast<std::size_t>(frames));
  for (std::uint64_t k = 0; k < frames; ++k) {
    const std::uint64_t at = curve + k * info.endOfBuffer + info.dataStart;
    ScopeTrace trace;
    trace.title = frames > 1 ? name + " #" + std::to_string(k + 1) : name;
    trace.points.ys = convertSamples(input.bytes.data() + at, count, code, order, scale, offset,
                                     0.0, 0, &input.release, static_cast<std::size_t>(at));
    trace.points.xs = uniformTimes(count, dt);
    record.traces.push_back(std::move(trace));
  }
  return record;
}

}  // namespace tarvik
