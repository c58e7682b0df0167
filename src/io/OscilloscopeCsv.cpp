#include <cstring>

#include "core/TextCodec.h"
#include "io/CsvReaders.h"
#include "io/LineBlocks.h"
#include "io/NumberTokens.h"
#include "io/PointOrder.h"

namespace tarvik {
namespace {

constexpr std::size_t kBlockBytes = std::size_t{4} << 20;

bool isComma(char c) { return c == ','; }

const char* findComma(const char* p, const char* end) {
  const void* comma = std::memchr(p, ',', static_cast<std::size_t>(end - p));
  return comma ? static_cast<const char*>(comma) : end;
}

struct Layout {
  std::size_t commas = 0;  // of the first line: fields 1..commas are looked at
  std::size_t channels = 0;
  std::vector<double> originsNs;  // each channel's time on line 1
  char separator = '.';
};

struct Block {
  std::vector<PointArrays> channels;
  std::vector<std::pair<std::size_t, std::string>> titles;  // channel, raw text, in order
  std::size_t lines = 0;
  std::optional<std::string> badField;

  void reset(std::size_t channelCount) {
    channels.resize(channelCount);
    for (PointArrays& c : channels) {
      c.xs.clear();
      c.ys.clear();
    }
    titles.clear();
    lines = 0;
    badField.reset();
  }
};

// Converts field [f, e-of-field) starting at `f`; returns the field's end, or nullptr when
// it does not convert (the field text is then stored in block.badField).
const char* readNumberField(const char* f, const char* lineEnd, char separator, double& value,
                            Block& block) {
  const char* stop = detail::fastNumber(f, lineEnd, isComma, value);
  if (stop != nullptr) {
    return stop;
  }
  const char* fieldEnd = findComma(f, lineEnd);
  const std::string_view field(f, static_cast<std::size_t>(fieldEnd - f));
  const std::optional<double> parsed = parseCsvNumber(field, separator);
  if (!parsed) {
    block.badField = std::string(field);
    return nullptr;
  }
  value = *parsed;
  return fieldEnd;
}

// One line; fields past the line's end are empty. Line 1 sets the channels' origins.
bool parseLine(const char* f, const char* e, Layout& layout, bool firstLine, Block& block) {
  ++block.lines;
  double x = 0;
  for (std::size_t j = 1; j <= layout.commas; ++j) {
    const std::size_t c = j / 6;
    if (c >= layout.channels) {
      break;  // a trailing partial channel has no graph
    }
    const std::size_t r = j % 6;
    const char* fieldEnd = nullptr;
    if (r == 4 || r == 5) {
      double value = 0;
      fieldEnd = readNumberField(f, e, layout.separator, value, block);
      if (fieldEnd == nullptr) {
        return false;
      }
      if (r == 4) {
        x = value * 1e9;
        if (firstLine) {
          layout.originsNs[c] = x;
        }
        x -= layout.originsNs[c];
      } else {
        block.channels[c].xs.push_back(x);
        block.channels[c].ys.push_back(value);
      }
    } else {
      fieldEnd = findComma(f, e);
      if (r == 1 && fieldEnd - f == 6 && std::memcmp(f, "Source", 6) == 0) {
        const char* title = fieldEnd < e ? fieldEnd + 1 : e;
        block.titles.emplace_back(c, std::string(title, findComma(title, e)));
      }
    }
    f = fieldEnd < e ? fieldEnd + 1 : e;
  }
  return true;
}

Layout layoutOf(std::string_view bytes, char separator) {
  Layout layout;
  const std::string_view first = bytes.substr(0, bytes.find('\n'));
  layout.commas = static_cast<std::size_t>(std::count(first.begin(), first.end(), ','));
  layout.channels = (layout.commas + 1) / 6;
  layout.originsNs.assign(layout.channels, 0.0);
  layout.separator = separator;
  return layout;
}

// Moves a parsed block into the result; false once the block ended with an error.
bool commitBlock(Block& block, CsvData& data, std::size_t& linesRead, std::size_t expected) {
  for (std::size_t c = 0; c < block.channels.size(); ++c) {
    detail::appendValues(data.channels[c].points.xs, block.channels[c].xs, expected);
    detail::appendValues(data.channels[c].points.ys, block.channels[c].ys, expected);
  }
  for (auto& [channel, title] : block.titles) {
    data.channels[channel].title = cp1251ToUtf8(title);
  }
  linesRead += block.lines;
  if (block.badField) {
    data.error = ReadError{linesRead, csvFieldError(*block.badField)};
    return false;
  }
  return true;
}

}  // namespace

bool isOscilloscopeCsv(std::string_view bytes) {
  return bytes.substr(0, bytes.find('\n')).find("Record Length") != std::string_view::npos;
}

std::size_t oscilloscopeChannelCount(std::string_view bytes) {
  return layoutOf(bytes, '.').channels;
}

CsvData readOscilloscopeCsv(std::string_view bytes, char localeSeparator,
                            const ReleaseBytes& release) {
  Layout layout = layoutOf(bytes, localeSeparator);
  CsvData data;
  data.channels.resize(layout.channels);
  const std::string_view text = bytes.substr(0, detail::endWithoutTrailingLineEnds(bytes));
  if (layout.channels == 0 || text.empty()) {
    return data;
  }
  std::size_t linesRead = 0;
  const std::size_t expected = detail::estimateLines(text, 0);
  const std::size_t secondLine = detail::nextLineStart(text, 0, 1);
  Block first;
  first.reset(layout.channels);
  detail::forEachLine(text.substr(0, secondLine), [&](const char* b, const char* e) {
    return parseLine(b, e, layout, true, first);
  });
  if (commitBlock(first, data, linesRead, expected)) {
    const Layout& shared = layout;
    detail::parseLinesInParallel<Block>(
        text, secondLine, kBlockBytes,
        [&shared, channels = layout.channels](std::string_view blockText, Block& block) {
          block.reset(channels);
          Layout local = shared;
          detail::forEachLine(blockText, [&](const char* b, const char* e) {
            return parseLine(b, e, local, false, block);
          });
        },
        [&](Block& block) { return commitBlock(block, data, linesRead, expected); }, release);
  }
  for (CsvChannel& channel : data.channels) {
    applyPointOrder(channel.points);
  }
  return data;
}

}  // namespace tarvik
