#include "io/PlainGraphReader.h"

#include <algorithm>
#include <cstring>

#include "core/TextCodec.h"
#include "io/NumberTokens.h"
#include "io/PointOrder.h"

namespace tarvik {
namespace {

constexpr std::size_t kReleaseStep = std::size_t{16} << 20;

bool isSeparator(char c) { return static_cast<unsigned char>(c) <= 32; }

// Records are about as many as lines; the estimate only sets the arrays' capacity (pages of
// capacity that are never written cost no memory).
std::size_t estimateRecords(std::string_view bytes) {
  const std::size_t sampleSize = std::min<std::size_t>(bytes.size(), 1 << 16);
  const std::size_t lines =
      static_cast<std::size_t>(std::count(bytes.begin(), bytes.begin() + sampleSize, '\n'));
  if (sampleSize == 0 || lines == 0) {
    return 16;
  }
  const double perByte = static_cast<double>(lines) / static_cast<double>(sampleSize);
  return static_cast<std::size_t>(perByte * static_cast<double>(bytes.size()) * 1.25) + 16;
}

class Scanner {
 public:
  explicit Scanner(std::string_view bytes)
      : m_begin(bytes.data()), m_p(bytes.data()), m_end(bytes.data() + bytes.size()) {}

  // Skips separators, counting line ends; false when only separators remained.
  bool skipSeparators() {
    while (m_p != m_end && isSeparator(*m_p)) {
      m_line += (*m_p == '\n');
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
  // the line end, which is consumed. Returns an empty view when Y ended the line itself.
  std::string_view restOfLine() {
    if (m_p == m_end) {
      return {};
    }
    const char ended = *m_p++;
    if (ended == '\n') {
      ++m_line;
      return {};
    }
    const char* lineEnd =
        static_cast<const char*>(std::memchr(m_p, '\n', static_cast<std::size_t>(m_end - m_p)));
    const char* next = lineEnd ? lineEnd + 1 : m_end;
    const char* textEnd = ended == '\r' ? m_p : std::find(m_p, lineEnd ? lineEnd : m_end, '\r');
    std::string_view text(m_p, static_cast<std::size_t>(textEnd - m_p));
    m_line += (lineEnd != nullptr);
    m_p = next;
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
