// R&S RTP/RTO waveform exports: "<name>.bin" is an XML database of the export's settings,
// each a <Prop Name="…" Value="…"/>; the samples are in "<name>.Wfm.bin" beside it, an
// 8-byte head (a format code and the number of rows, both 32-bit, low byte first) and then
// the rows. A row holds one float32 value per exported channel (SignalFormat FLOAT), or a
// float64 time followed by them (XYDOUBLEFLOAT). One channel's export names its source in
// Source; a multi-channel export (MultiChannelExport ON) marks the exported channels in
// MultiChannelExportState (attributes I_0, I_1 …) with their sources in MultiChannelSource,
// and interleaves them in that order.
//
// The rows begin with LeadingSettlingSamples rows the acquisition needed to settle its
// filters; RecordLength rows after them are the record. Samples are Resolution seconds apart
// (the stored times of XYDOUBLEFLOAT say the same). A source eRS_SIGNAL_SOURCE_CH<n>_TR1
// gives the trace "CH<n>".
#include "io/RsBin.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "io/FileBytes.h"
#include "io/ScopeBytes.h"

namespace tarvik {
namespace {

const char kFormat[] = "R&S RTP";
const std::string_view kSourcePrefix = "eRS_SIGNAL_SOURCE_";
constexpr std::size_t kHeadBytes = 8;
// The detection looks for the format's property this far into the file.
constexpr std::size_t kDetectBytes = 1 << 20;
constexpr int kMaxChannels = 64;

struct Prop {
  std::map<std::string, std::string, std::less<>> attributes;
  std::uint64_t offset = 0;
};

using Props = std::map<std::string, Prop, std::less<>>;

// Every <Prop …/> of the database by its Name (the first one of a name counts).
Props readProps(const ScopeBytes& file) {
  const std::string_view xml = file.all();
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  Props props;
  std::size_t pos = 0;
  for (std::size_t at = xml.find("<Prop "); at != std::string_view::npos;
       at = xml.find("<Prop ", pos)) {
    Prop prop;
    prop.offset = at;
    pos = at + 6;
    for (;;) {
      while (pos < xml.size() && isSpace(xml[pos])) {
        ++pos;
      }
      if (pos >= xml.size() || xml[pos] == '/' || xml[pos] == '>') {
        break;
      }
      const std::size_t nameStart = pos;
      while (pos < xml.size() && !isSpace(xml[pos]) && xml[pos] != '=' && xml[pos] != '>') {
        ++pos;
      }
      if (pos + 1 >= xml.size() || xml[pos] != '=' ||
          (xml[pos + 1] != '"' && xml[pos + 1] != '\'')) {
        file.fail("Prop", nameStart, "атрибут без значения в кавычках");
      }
      const std::size_t close = xml.find(xml[pos + 1], pos + 2);
      if (close == std::string_view::npos) {
        file.fail("Prop", pos, "значение атрибута не закрыто");
      }
      prop.attributes.emplace(std::string(xml.substr(nameStart, pos - nameStart)),
                              std::string(xml.substr(pos + 2, close - pos - 2)));
      pos = close + 1;
    }
    const auto name = prop.attributes.find("Name");
    if (name != prop.attributes.end() && !props.contains(name->second)) {
      props.emplace(name->second, std::move(prop));
    }
  }
  return props;
}

class Settings {
 public:
  explicit Settings(const ScopeBytes& file) : m_file(file), m_props(readProps(file)) {}

  const Prop* find(std::string_view name) const {
    const auto it = m_props.find(name);
    return it == m_props.end() ? nullptr : &it->second;
  }

  // An attribute of a property; nullopt when either is missing.
  std::optional<std::string> attribute(std::string_view name, std::string_view key) const {
    const Prop* prop = find(name);
    if (prop == nullptr) {
      return std::nullopt;
    }
    const auto it = prop->attributes.find(key);
    return it == prop->attributes.end() ? std::nullopt : std::optional(it->second);
  }

  std::string text(std::string_view name) const {
    std::optional<std::string> value = attribute(name, "Value");
    if (!value) {
      m_file.fail(name, 0, "нет в заголовке");
    }
    return *value;
  }

  std::uint64_t count(std::string_view name, std::optional<std::uint64_t> fallback) const {
    if (fallback && !attribute(name, "Value")) {
      return *fallback;
    }
    const std::string value = text(name);
    std::uint64_t number = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (ec != std::errc() || end != value.data() + value.size()) {
      m_file.fail(name, find(name)->offset, "'" + value + "' не целое число");
    }
    return number;
  }

  double number(std::string_view name) const {
    const std::string value = text(name);
    double number = 0.0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (ec != std::errc() || end != value.data() + value.size()) {
      m_file.fail(name, find(name)->offset, "'" + value + "' не число");
    }
    return number;
  }

  std::uint64_t offset(std::string_view name) const {
    const Prop* prop = find(name);
    return prop != nullptr ? prop->offset : 0;
  }

  const ScopeBytes& file() const { return m_file; }

 private:
  const ScopeBytes& m_file;
  Props m_props;
};

// "eRS_SIGNAL_SOURCE_CH2_TR1" → "CH2"; another source keeps its name without the prefix
// ("M1"); none gives "CH<position>".
std::string channelName(std::string_view source, int position) {
  if (source.starts_with(kSourcePrefix)) {
    source.remove_prefix(kSourcePrefix.size());
  }
  if (source.starts_with("CH")) {
    const std::size_t digits = source.find_first_not_of("0123456789", 2);
    if (digits > 2) {
      return std::string(
          source.substr(0, digits == std::string_view::npos ? source.size() : digits));
    }
  }
  std::string name;
  for (char c : source) {
    name += c >= 0x20 && c < 0x7f ? c : '?';
  }
  return name.empty() || name == "NONE" ? "CH" + std::to_string(position + 1) : name;
}

// The sources of the exported channels, in the order their values follow each other.
std::vector<std::string> channelNames(const Settings& settings) {
  const std::optional<std::string> multi = settings.attribute("MultiChannelExport", "Value");
  if (!multi || *multi != "eRS_ONOFF_ON") {
    return {channelName(settings.attribute("Source", "Value").value_or(""), 0)};
  }
  std::vector<std::string> names;
  for (int i = 0; i < kMaxChannels; ++i) {
    const std::string key = "I_" + std::to_string(i);
    const std::optional<std::string> state = settings.attribute("MultiChannelExportState", key);
    if (!state) {
      break;
    }
    if (*state == "eRS_ONOFF_ON") {
      names.push_back(channelName(settings.attribute("MultiChannelSource", key).value_or(""), i));
    }
  }
  if (names.empty()) {
    settings.file().fail("MultiChannelExportState", settings.offset("MultiChannelExportState"),
                         "ни один канал не выгружен");
  }
  return names;
}

struct RowLayout {
  std::uint32_t code;       // the companion's format code
  std::uint64_t timeBytes;  // before the values of a row
};

RowLayout rowLayout(const Settings& settings) {
  const std::string format = settings.text("SignalFormat");
  if (format == "eRS_SIGNAL_FORMAT_FLOAT") {
    return {4, 0};
  }
  if (format == "eRS_SIGNAL_FORMAT_XYDOUBLEFLOAT") {
    return {6, 8};
  }
  settings.file().fail("SignalFormat", settings.offset("SignalFormat"),
                       "'" + format + "': читаются FLOAT и XYDOUBLEFLOAT");
}

}  // namespace

ScopeRecord readRsBinParts(std::string_view xml, std::string_view companion,
                           const std::string& companionName, const ReleaseBytes& release) {
  const ScopeBytes header(xml, kFormat);
  const Settings settings(header);
  const std::vector<std::string> names = channelNames(settings);
  const RowLayout layout = rowLayout(settings);
  const std::uint64_t acquisitions = settings.count("NumberOfAcquisitions", 1);
  if (acquisitions != 1) {
    header.fail("NumberOfAcquisitions", settings.offset("NumberOfAcquisitions"),
                std::to_string(acquisitions) + ": читается только одна запись");
  }
  const std::uint64_t settling = settings.count("LeadingSettlingSamples", 0);
  const std::uint64_t length = settings.count("RecordLength", std::nullopt);
  if (length == 0) {
    header.fail("RecordLength", settings.offset("RecordLength"), "0: в записи нет отсчётов");
  }
  const double dt = settings.number("Resolution");
  requireSampleInterval(header, "Resolution", settings.offset("Resolution"), dt);

  const ScopeBytes data(companion, std::string(kFormat) + " " + companionName);
  const std::uint64_t rowBytes = layout.timeBytes + 4 * names.size();
  // The head is low byte first; a file whose row count only fits read high byte first is
  // taken as written that way.
  std::endian order = std::endian::little;
  const std::uint64_t capacity =
      data.size() < kHeadBytes ? 0 : (data.size() - kHeadBytes) / rowBytes;
  if (data.little<std::uint32_t>("row count", 4) > capacity &&
      data.big<std::uint32_t>("row count", 4) <= capacity) {
    order = std::endian::big;
  }
  const auto code = data.number<std::uint32_t>("format code", 0, order);
  if (code != layout.code) {
    data.fail("format code", 0,
              std::to_string(code) + " не совпадает с SignalFormat (" +
                  std::to_string(layout.code) + ")");
  }
  const auto rows = data.number<std::uint32_t>("row count", 4, order);
  data.span("row count", kHeadBytes, rows, rowBytes);
  if (settling > rows || length > rows - settling) {
    data.fail("row count", 4,
              std::to_string(rows) + " строк меньше LeadingSettlingSamples + RecordLength (" +
                  std::to_string(settling) + " + " + std::to_string(length) + ")");
  }

  ScopeRecord record;
  const std::uint64_t first = kHeadBytes + settling * rowBytes + layout.timeBytes;
  for (std::size_t c = 0; c < names.size(); ++c) {
    const std::uint64_t at = first + 4 * c;
    ScopeTrace trace;
    trace.title = names[c];
    trace.points.ys = convertSamples(
        companion.data() + at, static_cast<std::size_t>(length), SampleCode::Float32, order, 1.0,
        0.0, 0.0, static_cast<std::size_t>(rowBytes), &release, static_cast<std::size_t>(at));
    trace.points.xs = uniformTimes(static_cast<std::size_t>(length), dt);
    record.traces.push_back(std::move(trace));
  }
  return record;
}

bool looksLikeRsBin(std::string_view bytes) {
  std::string_view head = bytes.substr(0, 1024);
  if (head.starts_with("\xef\xbb\xbf")) {
    head.remove_prefix(3);
  }
  if (!head.starts_with("<?xml") || head.find("<Database") == std::string_view::npos) {
    return false;
  }
  return bytes.substr(0, kDetectBytes).find("Name=\"SignalFormat\"") != std::string_view::npos;
}

ScopeRecord readRsBin(const ScopeInput& input) {
  namespace fs = std::filesystem;
  const fs::path base = fs::path(input.path);
  std::string companionPath = fs::path(base).replace_extension(".Wfm.bin").string();
  std::optional<FileBytes> companion;
  for (const char* extension : {".Wfm.bin", ".wfm.bin", ".WFM.BIN"}) {
    const std::string candidate = fs::path(base).replace_extension(extension).string();
    companion = FileBytes::open(candidate);
    if (companion) {
      companionPath = candidate;
      break;
    }
  }
  if (!companion) {
    throw ScopeFormatError(std::string(kFormat) + ": нет файла отсчётов " + companionPath);
  }
  // The companion's progress is shown as a share of the header file, which the open
  // command watches.
  const double share = companion->bytes().empty()
                           ? 0.0
                           : static_cast<double>(input.bytes.size()) /
                                 static_cast<double>(companion->bytes().size());
  const ReleaseBytes release = [&](std::size_t end) {
    companion->releaseBefore(end);
    if (input.release) {
      input.release(static_cast<std::size_t>(static_cast<double>(end) * share));
    }
  };
  ScopeRecord record = readRsBinParts(input.bytes, companion->bytes(), companionPath, release);
  if (companion->shrankWhileRead()) {
    throw ScopeFormatError(std::string(kFormat) + ": файл отсчётов " + companionPath +
                           " изменился во время чтения");
  }
  return record;
}

}  // namespace tarvik
