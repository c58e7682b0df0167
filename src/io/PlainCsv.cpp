#include <cstring>

#include "core/TextCodec.h"
#include "io/CsvReaders.h"
#include "io/LineBlocks.h"
#include "io/NumberTokens.h"
#include "io/PointOrder.h"

namespace tarvik {
namespace {

constexpr std::size_t kBlockBytes = std::size_t{4} << 20;
constexpr std::size_t kShownFieldBytes = 200;

struct Block {
  PointArrays points;
  std::size_t lines = 0;
  std::optional<std::string> badField;

  void reset() {
    points.xs.clear();
    points.ys.clear();
    lines = 0;
    badField.reset();
  }
};

std::optional<double> field(std::string_view text, char separator, Block& block) {
  std::optional<double> value = detail::csvField(text, separator);
  if (!value) {
    block.badField = std::string(text);
  }
  return value;
}

// Time before the first comma (seconds), value after it. Line 1 sets the origin.
bool parseLine(const char* b, const char* e, char separator, double& originNs, bool firstLine,
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
  if (firstLine) {
    originNs = x;
  }
  block.points.xs.push_back(x - originNs);
  block.points.ys.push_back(*value);
  return true;
}

bool commitBlock(Block& block, CsvData& data, std::size_t& linesRead, std::size_t expected) {
  PointArrays& points = data.channels.front().points;
  detail::appendValues(points.xs, block.points.xs, expected);
  detail::appendValues(points.ys, block.points.ys, expected);
  linesRead += block.lines;
  if (block.badField) {
    data.error = ReadError{linesRead, csvFieldError(*block.badField)};
    return false;
  }
  return true;
}

}  // namespace

std::string csvFieldError(std::string_view rawField) {
  // A field as long as a whole broken line would make an unreadable message: it is cut.
  std::string shown = cp1251ToUtf8(rawField.substr(0, kShownFieldBytes));
  if (rawField.size() > kShownFieldBytes) {
    shown += "...";
  }
  return "'" + shown + "' is not a valid floating point value";
}

CsvData readPlainCsv(std::string_view bytes, char localeSeparator, const ReleaseBytes& release) {
  CsvData data;
  data.channels.resize(1);
  const std::string_view text = bytes.substr(0, detail::endWithoutTrailingLineEnds(bytes));
  if (text.empty()) {
    return data;
  }
  std::size_t linesRead = 0;
  const std::size_t expected = detail::estimateLines(text, 0);
  double originNs = 0;
  const std::size_t secondLine = detail::nextLineStart(text, 0, 1);
  Block first;
  detail::forEachLine(text.substr(0, secondLine), [&](const char* b, const char* e) {
    return parseLine(b, e, localeSeparator, originNs, true, first);
  });
  if (commitBlock(first, data, linesRead, expected)) {
    detail::parseLinesInParallel<Block>(
        text, secondLine, kBlockBytes,
        [localeSeparator, originNs](std::string_view blockText, Block& block) {
          block.reset();
          double origin = originNs;
          detail::forEachLine(blockText, [&](const char* b, const char* e) {
            return parseLine(b, e, localeSeparator, origin, false, block);
          });
        },
        [&](Block& block) { return commitBlock(block, data, linesRead, expected); }, release);
  }
  applyPointOrder(data.channels.front().points);
  return data;
}

}  // namespace tarvik
