#include "io/PlainGraphReader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/LargeArrays.h"
#include "core/TextCodec.h"
#include "io/LineBlocks.h"
#include "io/NumberTokens.h"
#include "io/PointsSummary.h"

namespace tarvik {
namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

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

  // Converts the token at the current position into `value` and moves past it; false when
  // it is not a number. Inlined into the record loop; the full parser, for the rare other
  // tokens, is not. (The value goes out through a reference: an optional returned through
  // memory was stored in two parts and loaded in one, which stalled every record.)
  [[gnu::always_inline]] bool number(double& value) {
    const char* stop = detail::fastNumber(
        m_p, m_end, [](char c) { return isSeparator(c); }, value);
    if (stop != nullptr) {
      m_p = stop;
      return true;
    }
    return numberInFull(value);
  }

  [[gnu::noinline]] bool numberInFull(double& value) {
    const char* tokenEnd = std::find_if(m_p, m_end, isSeparator);
    const std::optional<double> parsed =
        parseFileNumber(std::string_view(m_p, static_cast<std::size_t>(tokenEnd - m_p)));
    m_p = tokenEnd;
    value = parsed.value_or(0);
    return parsed.has_value();
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

// Records are tokens, not lines: an X may stand at the end of one line and its Y on the
// next. A block of whole lines therefore starts at a record except after a block that ends
// with an X alone; such a record stays open, and the block after it goes on from its Y.
struct Block {
  PointArrays points;
  PointsSummary summary;  // of all its points
  FileTexts texts;        // of the first records, from this block's first record on
  std::size_t records = 0;
  std::size_t lines = 0;                 // line ends consumed
  std::optional<std::size_t> errorLine;  // counted like `lines`, from the block's start
  std::optional<double> openX;           // an X whose Y lies past the block's end
  std::size_t openLine = 0;              // and its line, counted like errorLine
};

// Reads the records of `bytes` into `into`, going on from an X left open by the bytes
// before; line numbers go on from into.lines. An X alone at the end stays open.
void scanRecords(std::string_view bytes, Block& into) {
  Scanner scan(bytes);
  const std::size_t baseLine = into.lines;
  // The record left open by the bytes before takes its Y first (kept in registers, as is
  // everything the loop reads but the arrays).
  bool open = into.openX.has_value();
  const double openX = into.openX.value_or(0);
  into.openX.reset();
  for (;;) {
    double x = 0;
    std::size_t line = 0;
    if (open) {
      x = openX;
      line = into.openLine;
      open = false;
    } else if (scan.skipSeparators()) {
      line = baseLine + scan.line();
      if (!scan.number(x)) {
        into.errorLine = line;
        return;
      }
    } else {
      break;
    }
    if (!scan.skipSeparators()) {
      into.openX = x;
      into.openLine = line;
      break;
    }
    double y = 0;
    if (!scan.number(y)) {
      into.errorLine = line;
      return;
    }
    into.points.xs.push_back(x);
    into.points.ys.push_back(y);
    const std::string_view text = scan.restOfLine();
    if (into.records < into.texts.size()) {
      into.texts[into.records] = cp1251ToUtf8(dosCyrillicRule(text));
    }
    ++into.records;
  }
  into.lines = baseLine + scan.line() - 1;
}

// The parallel parse's view of this format (see parseLinesInParallel).
struct Reader {
  std::size_t expectedRecords = 0;

  static void parse(std::string_view lines, Block& into) {
    const std::size_t before = into.points.ys.size();
    scanRecords(lines, into);
    into.summary.append(summarizePoints(into.points.xs, into.points.ys, before));
  }
  void append(Block& into, const Block& from) const {
    detail::appendValues(into.points.xs, from.points.xs, expectedRecords);
    detail::appendValues(into.points.ys, from.points.ys, expectedRecords);
    into.summary.append(from.summary);
    for (std::size_t k = 0; into.records + k < into.texts.size() && k < from.records; ++k) {
      into.texts[into.records + k] = from.texts[k];
    }
    if (from.errorLine) {
      into.errorLine = into.lines + *from.errorLine;
    }
    if (from.openX) {
      into.openX = from.openX;
      into.openLine = into.lines + from.openLine;
    }
    into.records += from.records;
    into.lines += from.lines;
  }
  static void reset(Block& block) {
    block.points.xs.clear();
    block.points.ys.clear();
    block.summary = {};
    block.texts = {};
    block.records = 0;
    block.lines = 0;
    block.errorLine.reset();
    block.openX.reset();
    block.openLine = 0;
  }
  static bool failed(const Block& block) { return block.errorLine.has_value(); }
  static bool openAtEnd(const Block& block) { return block.openX.has_value(); }
};

}  // namespace

PlainGraphData readPlainGraph(std::string_view bytes, const ReleaseBytes& release) {
  Reader reader{estimateRecords(bytes)};
  Block result;
  reserveLarge(result.points.xs, reader.expectedRecords);
  reserveLarge(result.points.ys, reader.expectedRecords);
  detail::parseLinesInParallel(bytes, 0, kBlockBytes, reader, result, release);
  if (result.openX && !result.errorLine) {
    result.errorLine = result.openLine;  // an X without its Y at the end of the file
  }
  PlainGraphData data;
  data.points = std::move(result.points);
  data.texts = std::move(result.texts);
  if (result.errorLine) {
    data.error = ReadError{*result.errorLine, kInvalidNumericInput};
  }
  data.extent = orderPoints(data.points, result.summary);
  return data;
}

}  // namespace tarvik
