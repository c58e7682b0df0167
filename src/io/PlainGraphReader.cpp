#include "io/PlainGraphReader.h"

#include <algorithm>
#include <cstring>

#include "core/TextCodec.h"
#include "io/LineBlocks.h"
#include "io/NumberTokens.h"
#include "io/PointOrder.h"

namespace tarvik {
namespace {

constexpr std::size_t kReleaseStep = std::size_t{16} << 20;

bool isSeparator(char c) { return static_cast<unsigned char>(c) <= 32; }

// Records in a sample of the file's start: lines holding anything but separators (blank
// lines, however many, are not records). The estimate only sets the arrays' capacity, and
// never above what the file can hold: a record takes at least four bytes ("0 0" and a
// separator). Pages of capacity that are never written cost no memory.
std::size_t estimateRecords(std::string_view bytes) {
  const std::size_t most = bytes.size() / 4 + 1;
  const std::string_view sample = bytes.substr(0, std::min<std::size_t>(bytes.size(), 1 << 16));
  std::size_t lines = 0;
  bool lineHasText = false;
  for (char c : sample) {
    if (c == '\n' || c == '\r') {
      lines += lineHasText;
      lineHasText = false;
    } else {
      lineHasText = lineHasText || !isSeparator(c);
    }
  }
  if (lines == 0) {
    return std::min<std::size_t>(most, 16);
  }
  const double perByte = static_cast<double>(lines) / static_cast<double>(sample.size());
  const auto estimate =
      static_cast<std::size_t>(perByte * static_cast<double>(bytes.size()) * 1.25) + 16;
  return std::min(estimate, most);
}

class Scanner {
 public:
  explicit Scanner(std::string_view bytes)
      : m_begin(bytes.data()), m_p(bytes.data()), m_end(bytes.data() + bytes.size()) {}

  // Skips separators, counting line ends (CR LF, LF or CR alone); false when only
  // separators remained.
  bool skipSeparators() {
    while (m_p != m_end && isSeparator(*m_p)) {
      m_line += *m_p == '\n' || (*m_p == '\r' && (m_p + 1 == m_end || m_p[1] != '\n'));
      ++m_p;
    }
    return m_p != m_end;
  }

  // Converts the token at the current position and moves past it.
  std::optional<double> number() {
    double value = 0;
    const char* stop = detail::fastNumber(m_p, m_end, isSeparator, value);
    if (stop != nullptr) {
      m_p = stop;
      return value;
    }
    const char* tokenEnd = std::find_if(m_p, m_end, isSeparator);
    std::optional<double> parsed =
        parseFileNumber(std::string_view(m_p, static_cast<std::size_t>(tokenEnd - m_p)));
    m_p = tokenEnd;
    return parsed;
  }

  // The rest of the record's line: after the one character that ended the Y token, up to
  // the line end (CR LF, LF or CR alone), which is consumed. Returns an empty view when Y
  // ended the line itself.
  std::string_view restOfLine() {
    if (m_p == m_end) {
      return {};
    }
    const char* lineEnd = *m_p == '\r' || *m_p == '\n' ? m_p : detail::findLineEnd(m_p + 1, m_end);
    const char* textBegin = lineEnd == m_p ? m_p : m_p + 1;
    const std::string_view text(textBegin, static_cast<std::size_t>(lineEnd - textBegin));
    m_line += (lineEnd != m_end);
    m_p = detail::afterLineEnd(lineEnd, m_end);
    return text;
  }

  std::size_t line() const { return m_line; }
  std::size_t offset() const { return static_cast<std::size_t>(m_p - m_begin); }

 private:
  const char* m_begin;
  const char* m_p;
  const char* m_end;
  std::size_t m_line = 1;
};

}  // namespace

PlainGraphData readPlainGraph(std::string_view bytes, const ReleaseBytes& release) {
  PlainGraphData data;
  data.points.xs.reserve(estimateRecords(bytes));
  data.points.ys.reserve(data.points.xs.capacity());
  Scanner scan(bytes);
  std::size_t record = 0;
  std::size_t nextRelease = kReleaseStep;
  while (scan.skipSeparators()) {
    const std::size_t line = scan.line();
    const std::optional<double> x = scan.number();
    const std::optional<double> y = x && scan.skipSeparators() ? scan.number() : std::nullopt;
    if (!y) {
      data.error = ReadError{line, kInvalidNumericInput};
      break;
    }
    data.points.xs.push_back(*x);
    data.points.ys.push_back(*y);
    const std::string_view text = scan.restOfLine();
    if (record < data.texts.size()) {
      data.texts[record] = cp1251ToUtf8(dosCyrillicRule(text));
    }
    ++record;
    if (release && scan.offset() >= nextRelease) {
      release(scan.offset());
      nextRelease = scan.offset() + kReleaseStep;
    }
  }
  applyPointOrder(data.points);
  return data;
}

}  // namespace tarvik
