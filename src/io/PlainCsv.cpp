#include <cstring>

#include "core/TextCodec.h"
#include "io/CsvReaders.h"
#include "io/LineBlocks.h"
#include "io/NumberTokens.h"
#include "io/PointsSummary.h"

namespace tarvik {
namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

struct Block {
  PointArrays points;
  PointsSummary summary;  // of all its points
  std::size_t lines = 0;
  std::optional<std::string> badField;
};

std::optional<double> field(std::string_view text, char separator, Block& block) {
  std::optional<double> value = detail::csvField(text, separator);
  if (!value) {
    block.badField = std::string(text);
  }
  return value;
}

// Time before the first comma (seconds), value after it. With `origin` given (line 1) the
// line's time is stored there first, so the first point sits at 0.
bool parseLine(const char* b, const char* e, char separator, double originNs, double* origin,
               Block& block) {
  ++block.lines;
  const void* comma = std::memchr(b, ',', static_cast<std::size_t>(e - b));
  const char* timeEnd = comma ? static_cast<const char*>(comma) : b;
  const char* valueBegin = comma ? timeEnd + 1 : b;
  const std::optional<double> time =
      field(std::string_view(b, static_cast<std::size_t>(timeEnd - b)), separator, block);
  if (!time) {
    return false;
  }
  const std::optional<double> value = field(
      std::string_view(valueBegin, static_cast<std::size_t>(e - valueBegin)), separator, block);
  if (!value) {
    return false;
  }
  const double x = *time * 1e9;
  if (origin != nullptr) {
    originNs = *origin = x;
  }
  block.points.xs.push_back(x - originNs);
  block.points.ys.push_back(*value);
  return true;
}

// The parallel parse's view of this format (see parseLinesInParallel).
struct Reader {
  char separator = '.';
  double originNs = 0;
  std::size_t expectedLines = 0;

  void parse(std::string_view lines, Block& into) const {
    const std::size_t before = into.points.ys.size();
    detail::forEachLine(lines, [&](const char* b, const char* e) {
      return parseLine(b, e, separator, originNs, nullptr, into);
    });
    into.summary.append(summarizePoints(into.points.xs, into.points.ys, before));
  }
  void append(Block& into, const Block& from) const {
    detail::appendValues(into.points.xs, from.points.xs, expectedLines);
    detail::appendValues(into.points.ys, from.points.ys, expectedLines);
    into.summary.append(from.summary);
    into.lines += from.lines;
    into.badField = from.badField;
  }
  static void reset(Block& block) {
    block.points.xs.clear();
    block.points.ys.clear();
    block.summary = {};
    block.lines = 0;
    block.badField.reset();
  }
  static bool failed(const Block& block) { return block.badField.has_value(); }
};

}  // namespace

std::string csvFieldError(std::string_view rawField) {
  return "'" + quotedFileText(rawField) + "' is not a valid floating point value";
}

CsvData readPlainCsv(std::string_view bytes, char localeSeparator, const ReleaseBytes& release) {
  Reader reader{localeSeparator, 0.0, 0};
  Block result;
  const std::string_view text = bytes.substr(0, detail::endWithoutTrailingLineEnds(bytes));
  if (!text.empty()) {
    // The shortest line is "0,0" and a line end.
    reader.expectedLines = detail::estimateLines(text, 0, 4);
    result.points.xs.reserve(reader.expectedLines);
    result.points.ys.reserve(reader.expectedLines);
    const std::size_t secondLine = detail::nextLineStart(text, 0, 1);
    detail::forEachLine(text.substr(0, secondLine), [&](const char* b, const char* e) {
      return parseLine(b, e, localeSeparator, 0.0, &reader.originNs, result);
    });
    result.summary = summarizePoints(result.points.xs, result.points.ys, 0);
    if (!Reader::failed(result)) {
      detail::parseLinesInParallel(text, secondLine, kBlockBytes, reader, result, release);
    }
  }
  CsvData data;
  data.channels.resize(1);
  data.channels[0].points = std::move(result.points);
  data.channels[0].extent = orderPoints(data.channels[0].points, result.summary);
  if (result.badField) {
    data.error = ReadError{result.lines, csvFieldError(*result.badField)};
  }
  return data;
}

}  // namespace tarvik
