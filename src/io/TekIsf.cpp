// Tektronix internal save format (.isf): the scope's reply to "WFMPRE?;CURVE?" written to
// disk. A text preamble of SCPI settings, each "KEYWORD value" and separated by ';', then
// the samples as one IEEE 488.2 block:
//   :WFMPRE:BYT_NR 2;BIT_NR 16;ENCDG BIN;BN_FMT RI;BYT_OR MSB;…;WFID "Ch1, DC coupling, …";
//   …;XINCR 4.0E-9;…;YMULT 1.5625E-3;YZERO 0.0E+0;YOFF 0.0E+0;…;:CURVE #42500<2500 bytes>
// Scopes write the keywords either long (WFMPRE:BYT_NR) or in their short SCPI form
// (WFMP:BYT_N); both are read. A code becomes YZERO + YMULT·(code − YOFF) in YUNIT and the
// samples are XINCR apart. BYT_NR bytes per code, signed (BN_FMT RI) or not (RP), high byte
// first (BYT_OR MSB) or low (LSB). A peak-detect record (PT_FMT ENV) stores a minimum and a
// maximum per interval alternately; they are kept as stored, in order, at XINCR spacing. The
// trace is named by the first field of WFID ("Ch1", "Ref1", "Math1").
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "io/ScopeBytes.h"
#include "io/ScopeRecord.h"

namespace tarvik {
namespace {

const char kFormat[] = "Tektronix ISF";
// The preamble is a few hundred bytes; the :CURVE block must begin within this many.
constexpr std::size_t kHeaderBytes = 1 << 16;

// The settings read, each by its long and its short SCPI keyword.
struct Keyword {
  const char* longForm;
  const char* shortForm;
};
constexpr Keyword kKeywords[] = {
    {"BYT_NR", "BYT_N"}, {"ENCDG", "ENC"},   {"BN_FMT", "BN_F"}, {"BYT_OR", "BYT_O"},
    {"WFID", "WFI"},     {"PT_FMT", "PT_F"}, {"XINCR", "XIN"},   {"YMULT", "YMU"},
    {"YOFF", "YOF"},     {"YZERO", "YZE"},
};

struct Setting {
  std::string value;
  std::uint64_t offset = 0;
};

struct Preamble {
  std::map<std::string, Setting> settings;  // by long keyword
  std::uint64_t curveOffset = 0;            // of the CURVE keyword
  std::uint64_t dataOffset = 0;
  std::uint64_t dataBytes = 0;
};

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// "YMU" and "YMULT" both give "YMULT"; other keywords give "".
std::string longKeyword(std::string_view header) {
  const std::size_t colon = header.rfind(':');
  if (colon != std::string_view::npos) {
    header.remove_prefix(colon + 1);
  }
  std::string word;
  for (char c : header) {
    word += upper(c);
  }
  for (const Keyword& keyword : kKeywords) {
    if (word == keyword.longForm || word == keyword.shortForm) {
      return keyword.longForm;
    }
  }
  return word == "CURVE" || word == "CURV" ? "CURVE" : "";
}

// The IEEE 488.2 block after CURVE: "#<n><n digits of length><bytes>", or "#0<bytes>\n"
// running to the end of the file.
void readBlock(const ScopeBytes& file, std::size_t pos, Preamble& preamble) {
  const std::string_view bytes = file.all();
  if (pos >= bytes.size() || bytes[pos] != '#') {
    file.fail("CURVE", pos, "нет блока отсчётов '#'");
  }
  file.span("CURVE", pos, 2);
  const char digits = bytes[pos + 1];
  if (digits < '0' || digits > '9') {
    file.fail("CURVE", pos + 1, "после '#' не цифра");
  }
  if (digits == '0') {
    preamble.dataOffset = pos + 2;
    preamble.dataBytes = bytes.size() - preamble.dataOffset;
    if (preamble.dataBytes > 0 && bytes.back() == '\n') {
      --preamble.dataBytes;
    }
    return;
  }
  const std::size_t width = static_cast<std::size_t>(digits - '0');
  const std::string_view length = file.span("CURVE", pos + 2, width);
  std::uint64_t value = 0;
  for (char c : length) {
    if (c < '0' || c > '9') {
      file.fail("CURVE", pos + 2, "длина блока '" + std::string(length) + "' не число");
    }
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  preamble.dataOffset = pos + 2 + width;
  preamble.dataBytes = value;
  file.span("CURVE", preamble.dataOffset, value);
}

Preamble readPreamble(const ScopeBytes& file) {
  const std::string_view bytes = file.all();
  const std::size_t limit = std::min(bytes.size(), kHeaderBytes);
  Preamble preamble;
  std::size_t pos = 0;
  while (pos < limit) {
    while (pos < limit && (isSpace(bytes[pos]) || bytes[pos] == ';')) {
      ++pos;
    }
    const std::size_t headerStart = pos;
    while (pos < limit && !isSpace(bytes[pos]) && bytes[pos] != ';' && bytes[pos] != '"' &&
           bytes[pos] != '#') {
      ++pos;
    }
    const std::string keyword = longKeyword(bytes.substr(headerStart, pos - headerStart));
    while (pos < limit && (bytes[pos] == ' ' || bytes[pos] == '\t')) {
      ++pos;
    }
    if (keyword == "CURVE") {
      preamble.curveOffset = headerStart;
      readBlock(file, pos, preamble);
      return preamble;
    }
    const std::size_t valueStart = pos;
    std::string value;
    if (pos < limit && bytes[pos] == '"') {
      // A quoted string; a doubled quote stands for one.
      for (++pos;; ++pos) {
        if (pos >= limit) {
          file.fail(keyword.empty() ? "заголовок" : keyword, valueStart,
                    "строка в кавычках не закрыта");
        }
        if (bytes[pos] == '"') {
          if (pos + 1 < limit && bytes[pos + 1] == '"') {
            ++pos;
          } else {
            ++pos;
            break;
          }
        }
        value += bytes[pos];
      }
    }
    while (pos < limit && bytes[pos] != ';') {
      value += bytes[pos++];
    }
    if (!keyword.empty()) {
      while (!value.empty() && isSpace(value.back())) {
        value.pop_back();
      }
      preamble.settings[keyword] = Setting{value, valueStart};
    }
  }
  file.fail("CURVE", limit,
            "нет блока :CURVE # в первых " + std::to_string(kHeaderBytes) + " байтах");
}

const Setting* find(const Preamble& preamble, const std::string& keyword) {
  const auto it = preamble.settings.find(keyword);
  return it == preamble.settings.end() ? nullptr : &it->second;
}

std::string upperText(std::string_view text) {
  std::string word;
  for (char c : text) {
    word += upper(c);
  }
  return word;
}

// A number setting; `fallback` when the preamble does not have it (nullopt: required).
double numberSetting(const ScopeBytes& file, const Preamble& preamble, const std::string& keyword,
                     std::optional<double> fallback) {
  const Setting* setting = find(preamble, keyword);
  if (setting == nullptr) {
    if (fallback) {
      return *fallback;
    }
    file.fail(keyword, preamble.curveOffset, "нет в заголовке");
  }
  std::string_view text = setting->value;
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    file.fail(keyword, setting->offset, "'" + setting->value + "' не число");
  }
  return value;
}

SampleCode sampleCode(const ScopeBytes& file, const Preamble& preamble) {
  const double bytes = numberSetting(file, preamble, "BYT_NR", std::nullopt);
  const Setting* format = find(preamble, "BN_FMT");
  const std::string kind = format != nullptr ? upperText(format->value) : "RI";
  const std::uint64_t at = format != nullptr ? format->offset : preamble.curveOffset;
  if (kind != "RI" && kind != "RP" && kind != "FP") {
    file.fail("BN_FMT", at, "'" + kind + "': формат отсчётов не RI, RP или FP");
  }
  if (kind == "FP" && bytes == 4) {
    return SampleCode::Float32;
  }
  if (bytes == 1 && kind != "FP") {
    return kind == "RI" ? SampleCode::Int8 : SampleCode::UInt8;
  }
  if (bytes == 2 && kind != "FP") {
    return kind == "RI" ? SampleCode::Int16 : SampleCode::UInt16;
  }
  if (bytes == 4 && kind == "RI") {
    return SampleCode::Int32;
  }
  file.fail("BYT_NR", find(preamble, "BYT_NR")->offset,
            find(preamble, "BYT_NR")->value + " байт на отсчёт в формате " + kind + " не читаются");
}

std::endian byteOrder(const ScopeBytes& file, const Preamble& preamble) {
  const Setting* order = find(preamble, "BYT_OR");
  if (order == nullptr) {
    return std::endian::big;  // the scopes' default
  }
  const std::string word = upperText(order->value);
  if (word == "MSB") {
    return std::endian::big;
  }
  if (word == "LSB") {
    return std::endian::little;
  }
  file.fail("BYT_OR", order->offset, "'" + order->value + "' не MSB и не LSB");
}

// The first field of WFID ("Ch1, DC coupling, …" → "Ch1"), printable ASCII only; the file's
// name when the preamble names no waveform.
std::string traceTitle(const Preamble& preamble, const std::string& path) {
  std::string title;
  if (const Setting* id = find(preamble, "WFID")) {
    const std::string_view first = std::string_view(id->value).substr(0, id->value.find(','));
    for (char c : first) {
      title += c >= 0x20 && c < 0x7f ? c : '?';
    }
    while (!title.empty() && title.back() == ' ') {
      title.pop_back();
    }
    title.erase(0, title.find_first_not_of(' '));
  }
  if (title.empty()) {
    title = std::filesystem::path(path).filename().replace_extension(".grf").string();
  }
  return title;
}

void requireSettings(const ScopeBytes& file, const Preamble& preamble) {
  if (const Setting* encoding = find(preamble, "ENCDG")) {
    if (upperText(encoding->value) != "BIN") {
      file.fail("ENCDG", encoding->offset, "'" + encoding->value + "': отсчёты не двоичные");
    }
  }
  if (const Setting* point = find(preamble, "PT_FMT")) {
    const std::string word = upperText(point->value);
    if (word != "Y" && word != "ENV") {
      file.fail("PT_FMT", point->offset, "'" + point->value + "': записи не Y и не ENV");
    }
  }
}

}  // namespace

bool looksLikeTekIsf(std::string_view bytes) {
  const std::string head = upperText(bytes.substr(0, 16));
  const std::size_t start = head.find_first_not_of(':');
  if (start == std::string::npos) {
    return false;
  }
  const std::string_view word = std::string_view(head).substr(start);
  return word.starts_with("WFMP") || word.starts_with("WFMO");
}

ScopeRecord readTekIsf(const ScopeInput& input) {
  const ScopeBytes file(input.bytes, kFormat);
  const Preamble preamble = readPreamble(file);
  requireSettings(file, preamble);
  const SampleCode code = sampleCode(file, preamble);
  const std::uint64_t width = sampleCodeWidth(code);
  if (preamble.dataBytes == 0 || preamble.dataBytes % width != 0) {
    file.fail("CURVE", preamble.dataOffset,
              "блок из " + std::to_string(preamble.dataBytes) + " байт не делится на отсчёты по " +
                  std::to_string(width) + " байт");
  }
  const double dt = numberSetting(file, preamble, "XINCR", std::nullopt);
  requireSampleInterval(file, "XINCR", find(preamble, "XINCR")->offset, dt);
  const double ymult = numberSetting(file, preamble, "YMULT", std::nullopt);
  const double yoff = numberSetting(file, preamble, "YOFF", 0.0);
  const double yzero = numberSetting(file, preamble, "YZERO", 0.0);

  const std::size_t count = static_cast<std::size_t>(preamble.dataBytes / width);
  ScopeTrace trace;
  trace.title = traceTitle(preamble, input.path);
  trace.points.ys = convertSamples(input.bytes.data() + preamble.dataOffset, count, code,
                                   byteOrder(file, preamble), ymult, yzero, -yoff, 0,
                                   &input.release, static_cast<std::size_t>(preamble.dataOffset));
  trace.points.xs = uniformTimes(count, dt);
  ScopeRecord record;
  record.traces.push_back(std::move(trace));
  return record;
}

}  // namespace tarvik
