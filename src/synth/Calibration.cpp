#include "synth/Calibration.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "core/NumberFormat.h"
#include "core/TextCodec.h"
#include "io/FileBytes.h"
#include "io/PlainGraphReader.h"
#include "synth/CatmullRom.h"

namespace tarvik::synth {
namespace {

namespace fs = std::filesystem;

bool isSeparator(char c) { return static_cast<unsigned char>(c) <= 32; }

// Walks the number tokens of a calibration file.
class TokenReader {
 public:
  explicit TokenReader(std::string_view bytes) : m_text(bytes) {}

  // Skips separators; false when only separators remain.
  bool skipToToken() {
    while (m_pos < m_text.size() && isSeparator(m_text[m_pos])) {
      m_line += m_text[m_pos] == '\n';
      ++m_pos;
    }
    return m_pos < m_text.size();
  }
  // The next token as a float, or nullopt when there is none or it is not a number.
  std::optional<float> number() {
    if (!skipToToken()) {
      return std::nullopt;
    }
    const std::size_t start = m_pos;
    while (m_pos < m_text.size() && !isSeparator(m_text[m_pos])) {
      ++m_pos;
    }
    const std::optional<double> value = parseFileNumber(m_text.substr(start, m_pos - start));
    if (!value) {
      return std::nullopt;
    }
    return static_cast<float>(*value);
  }
  // The rest of the current line after the character that ended the last token, up to the
  // line end; moves past the line end.
  std::string_view restOfLine() {
    if (m_pos >= m_text.size()) {
      return {};
    }
    const char ender = m_text[m_pos++];
    if (ender == '\n') {
      ++m_line;
      return {};
    }
    if (ender == '\r') {
      if (m_pos < m_text.size() && m_text[m_pos] == '\n') {
        ++m_pos;
        ++m_line;
      }
      return {};
    }
    const std::size_t start = m_pos;
    std::size_t end = m_text.find('\n', start);
    if (end == std::string_view::npos) {
      end = m_text.size();
    }
    m_pos = std::min(end + 1, m_text.size());
    m_line += end < m_text.size();
    std::string_view rest = m_text.substr(start, end - start);
    if (!rest.empty() && rest.back() == '\r') {
      rest.remove_suffix(1);
    }
    return rest;
  }
  std::size_t line() const { return m_line; }

 private:
  std::string_view m_text;
  std::size_t m_pos = 0;
  std::size_t m_line = 1;
};

// One Catmull–Rom segment of the table in one coordinate, C(t) of the four neighbours.
using TableSegment = CatmullRomSegment;

// The first i in 1 … N with a ≤ U[i], or N + 1 when a lies above the table.
std::size_t firstRecordAtOrAbove(const CalibrationTable& table, double a) {
  const std::size_t n = table.size();
  if (table.rising()) {
    std::size_t lo = 1;
    std::size_t hi = n + 1;
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (table[mid].voltage < a) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    return lo;
  }
  for (std::size_t i = 1; i <= n; ++i) {
    if (a <= table[i].voltage) {
      return i;
    }
  }
  return n + 1;
}

// The table's segment T[i−1] … T[i] in both coordinates.
struct SegmentPair {
  TableSegment voltage, current;
  SegmentPair(const CalibrationTable& table, std::size_t i)
      : voltage(table[i - 2].voltage, table[i - 1].voltage, table[i].voltage, table[i + 1].voltage),
        current(table[i - 2].current, table[i - 1].current, table[i].current,
                table[i + 1].current) {}
};

// Bisection for U(t) = a; the current at the t whose U stopped it (evaluated only there:
// it is the current computed together with that U).
float currentOnSegment(const SegmentPair& segment, double a) {
  float lo = 0;
  float hi = 1;
  float t = 0.5f;
  for (int count = 1;; ++count) {
    const float evaluated = t;
    const float ut = segment.voltage.at(t);
    if (a > ut) {
      lo = t;
      t = (t + hi) / 2;
    } else if (a < ut) {
      hi = t;
      t = (t + lo) / 2;
    }
    const double ratio = a / ut;
    if (count > 100 || (0.999 < ratio && ratio < 1.001)) {
      return segment.current.at(evaluated);
    }
  }
}

// The value of one point; `segments` holds the segment of each i ≥ 2 at index i − 2, or
// is empty (the segment is then formed here).
double valueOf(const CalibrationTable& table, const std::vector<SegmentPair>& segments, double y) {
  const double a = std::fabs(y);
  const double s = y >= 0 ? 1.0 : -1.0;
  if (a == 0) {
    return 0;
  }
  const std::size_t n = table.size();
  const std::size_t i = firstRecordAtOrAbove(table, a);
  if (i == 1) {
    return s * a * table[1].current / table[1].voltage;
  }
  if (i > n) {
    const CalibrationRecord& last = table[n];
    const CalibrationRecord& before = table[n - 1];
    if (n == 1 || last.voltage == before.voltage) {
      // No slope from the last two records: the line through the origin and the last one.
      return s * a * last.current / last.voltage;
    }
    return s * (before.current + (a - before.voltage) *
                                     (static_cast<double>(last.current) - before.current) /
                                     (static_cast<double>(last.voltage) - before.voltage));
  }
  if (segments.empty()) {
    return s * currentOnSegment(SegmentPair(table, i), a);
  }
  return s * currentOnSegment(segments[i - 2], a);
}

std::optional<std::time_t> modificationTime(const fs::path& path) {
  std::error_code ec;
  const fs::file_time_type written = fs::last_write_time(path, ec);
  if (ec) {
    return std::nullopt;
  }
  const auto system = std::chrono::file_clock::to_sys(written);
  return std::chrono::system_clock::to_time_t(
      std::chrono::time_point_cast<std::chrono::system_clock::duration>(system));
}

bool hasCalibrationExtension(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  return extension == ".CAL";
}

}  // namespace

CalibrationTable::CalibrationTable(std::vector<CalibrationRecord> records) {
  if (records.empty()) {
    return;
  }
  for (std::size_t i = 1; i < records.size(); ++i) {
    if (!(records[i - 1].voltage <= records[i].voltage)) {
      m_rising = false;
    }
  }
  if (std::isnan(records.front().voltage)) {
    m_rising = false;
  }
  m_padded.reserve(records.size() + 2);
  m_padded.push_back(records.front());
  m_padded.insert(m_padded.end(), records.begin(), records.end());
  m_padded.push_back(records.back());
}

CalibrationFile readCalibrationFile(std::string_view bytes) {
  CalibrationFile file;
  TokenReader reader(bytes);
  std::vector<CalibrationRecord> records;
  while (reader.skipToToken()) {
    const std::size_t line = reader.line();
    const std::optional<float> current = reader.number();
    const std::optional<float> voltage = current ? reader.number() : std::nullopt;
    if (!voltage) {
      file.error = ReadError{line, kInvalidNumericInput};
      return file;
    }
    records.push_back({*current, *voltage});
    const std::string_view rest = reader.restOfLine();
    if (records.size() == 1) {
      file.comment = cp1251ToUtf8(rest);
    }
  }
  file.table = CalibrationTable(std::move(records));
  return file;
}

std::string calibrationComment(std::string_view bytes) {
  TokenReader reader(bytes);
  if (!reader.number() || !reader.number()) {
    return {};
  }
  return cp1251ToUtf8(reader.restOfLine());
}

double calibratedValue(const CalibrationTable& table, double y) { return valueOf(table, {}, y); }

void calibrateValues(const CalibrationTable& table, std::span<const double> ys,
                     std::span<double> out) {
  std::vector<SegmentPair> segments;
  for (std::size_t i = 2; i <= table.size(); ++i) {
    segments.emplace_back(table, i);
  }
  for (std::size_t k = 0; k < ys.size(); ++k) {
    out[k] = valueOf(table, segments, ys[k]);
  }
}

std::vector<CalibrationFileInfo> listCalibrationFiles(const std::vector<std::string>& folders) {
  std::vector<CalibrationFileInfo> files;
  std::vector<fs::path> seen;
  for (const std::string& folder : folders) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(fs::path(folder), ec);
    if (ec || std::find(seen.begin(), seen.end(), canonical) != seen.end()) {
      continue;
    }
    seen.push_back(canonical);
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      const fs::path& path = it->path();
      std::error_code typeError;
      if (!hasCalibrationExtension(path) || !fs::is_regular_file(path, typeError)) {
        continue;
      }
      CalibrationFileInfo info;
      info.name = path.filename().string();
      info.path = path.string();
      info.modified = modificationTime(path).value_or(0);
      if (std::optional<FileBytes> bytes = FileBytes::open(info.path)) {
        info.comment = calibrationComment(bytes->bytes());
      }
      files.push_back(std::move(info));
    }
  }
  return files;
}

}  // namespace tarvik::synth
