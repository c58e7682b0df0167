#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>

#include "core/TextCodec.h"
#include "io/CsvReaders.h"
#include "io/LineBlocks.h"
#include "io/NumberTokens.h"
#include "io/PointsSummary.h"

namespace tarvik {
namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

// What may follow a number: the next field, or the line's end.
constexpr auto kNumberEnd = [](char c) { return c == ',' || c == '\r' || c == '\n'; };

// Fields between the numbers are short or empty: a plain loop beats a library call here.
const char* findComma(const char* p, const char* end) {
  while (p != end && *p != ',') {
    ++p;
  }
  return p;
}

struct Layout {
  std::size_t commas = 0;  // of the first line: fields 1..commas are looked at
  std::size_t channels = 0;
  std::vector<double> originsNs;  // each channel's time on line 1
  char separator = '.';
};

struct Block {
  std::vector<PointArrays> channels;
  std::vector<PointsSummary> summaries;  // per channel, of all its points in the block
  // The raw text of each channel's last "Source" row: an export may carry the label on
  // every row, and only the last one counts.
  std::vector<std::optional<std::string>> titles;
  std::size_t lines = 0;
  std::optional<std::string> badField;
  // Per channel: true while each of its X so far equals, bit for bit, channel 0's X of the
  // same line; such X are not stored (channel 0's array holds them). Never true for
  // channel 0.
  std::vector<char> xOfFirst;
};

// Gives channel c of `block` its own X array (the first ones of channel 0, as many as it
// has samples) if it had none, with room for `expected` values.
[[gnu::noinline]] void giveOwnX(Block& block, std::size_t c, std::size_t expected) {
  if (!block.xOfFirst[c]) {
    return;
  }
  const std::vector<double>& first = block.channels[0].xs;
  PointArrays& channel = block.channels[c];
  channel.xs.reserve(std::max(expected, channel.ys.size()));
  channel.xs.assign(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(channel.ys.size()));
  block.xOfFirst[c] = 0;
}

// Stores the X of channel c (> 0) on this line, unless it is channel 0's and all before were.
[[gnu::always_inline]] inline void storeX(Block& block, std::size_t c, double x, double firstX) {
  if (block.xOfFirst[c]) {
    if (std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(firstX)) {
      return;
    }
    giveOwnX(block, c, 0);
  }
  block.channels[c].xs.push_back(x);
}

// The field at `f` by the full parser: its end, or nullptr when it does not convert (the
// field text is then kept in block.badField). Out of line: rare, and kept out of the row loop.
[[gnu::noinline]] const char* readFieldInFull(const char* f, const char* lineEnd, char separator,
                                              double& value, Block& block) {
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

// Converts the field at `f`; returns the field's end, or nullptr when it does not convert
// (the field text is then kept in block.badField). The number is read up to `textEnd`, the
// end of the bytes that may be read: it stops at the line end all the same (no number holds
// CR or LF), and the digits of a line's last field are then read eight at a time too.
// Inlined into the row loop, so the values stay in registers.
[[gnu::always_inline]] inline const char* readNumberField(const char* f, const char* lineEnd,
                                                          const char* textEnd, char separator,
                                                          double& value, Block& block) {
  const char* stop = detail::fastNumber(f, textEnd, kNumberEnd, value);
  if (stop != nullptr && stop <= lineEnd) {
    return stop;
  }
  return readFieldInFull(f, lineEnd, separator, value, block);
}

// The start of the field after the one ending at `fieldEnd`.
const char* nextField(const char* fieldEnd, const char* lineEnd) {
  return fieldEnd < lineEnd ? fieldEnd + 1 : lineEnd;
}

// True when the `n` bytes at `a` and at `b` are the same (1 <= n <= 16; 16 bytes must be
// readable at both): two overlapping word loads instead of a call to memcmp.
inline bool sameShortText(const char* a, const char* b, std::size_t n) {
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint64_t difference = detail::loadWord(a) ^ detail::loadWord(b);
    if (n <= 8) {
      return (difference << (64 - 8 * n)) == 0;  // only the n low (first) bytes count
    }
    return difference == 0 && detail::loadWord(a + n - 8) == detail::loadWord(b + n - 8);
  } else {
    return std::memcmp(a, b, n) == 0;
  }
}

// Every channel of an export has its own time column, and they almost always hold the very
// same text. A channel whose time field has the bytes of the first channel's (its comma
// included, so the field ends at the same place) takes that channel's value: the same text
// converts to the same double, so nothing changes but the work.
struct FirstTime {
  const char* text = nullptr;
  std::size_t bytes = 0;  // with the comma after it; 0 when the field cannot be reused
  double value = 0;
};

// The time field at `f` if it repeats `first`: its end (at the comma), or nullptr.
inline const char* repeatedTime(const char* f, const char* textEnd, const FirstTime& first) {
  if (first.bytes == 0 || textEnd - f < 16 || !sameShortText(f, first.text, first.bytes)) {
    return nullptr;
  }
  return f + first.bytes - 1;
}

// The X of channel c in `block` (channel 0's while it shares them).
std::span<const double> xsOf(const Block& block, std::size_t c) {
  return block.xOfFirst[c] ? std::span(block.channels[0].xs) : std::span(block.channels[c].xs);
}

// Each channel's sample count, to summarize what a parse adds after them.
std::vector<std::size_t> sampleCounts(const Block& block) {
  std::vector<std::size_t> counts;
  counts.reserve(block.channels.size());
  for (const PointArrays& channel : block.channels) {
    counts.push_back(channel.ys.size());
  }
  return counts;
}

// Adds to the block's summaries the points of each channel c from index before[c] on.
// Channel 0's new X are looked at once for every channel that reads the same ones.
void summarizeFrom(Block& block, const std::vector<std::size_t>& before) {
  if (block.channels.empty()) {
    return;
  }
  const std::vector<double>& firstXs = block.channels[0].xs;
  const std::size_t firstCount = block.channels[0].ys.size();
  const XOrder firstOrder = xOrder(std::span(firstXs).subspan(std::min(before[0], firstXs.size())));
  for (std::size_t c = 0; c < block.channels.size(); ++c) {
    const bool firstRun = c == 0 || (block.xOfFirst[c] && before[c] == before[0] &&
                                     block.channels[c].ys.size() == firstCount);
    block.summaries[c].append(summarizePoints(xsOf(block, c), block.channels[c].ys, before[c],
                                              firstRun ? &firstOrder : nullptr));
  }
}

// One line; fields past the line's end are empty. Channel c owns fields 6c+1 to 6c+6: a
// label ("Source" names the channel with the next field), its value, an empty field, the
// time, the sample and an empty field. With `origins` given (line 1) each channel's time is
// stored there first, so it becomes the channel's origin. Numbers may be read up to
// `textEnd` (see readNumberField).
bool parseLine(const char* f, const char* e, const char* textEnd, const Layout& layout,
               std::vector<double>* origins, Block& block) {
  ++block.lines;
  FirstTime first;
  double firstX = 0;
  for (std::size_t c = 0; c < layout.channels; ++c) {
    if (e - f >= 3 && f[0] == ',' && f[1] == ',' && f[2] == ',') {
      f += 3;  // no label, as on most rows
    } else {
      const char* labelEnd = findComma(f, e);
      if (labelEnd - f == 6 && std::memcmp(f, "Source", 6) == 0) {
        const char* title = nextField(labelEnd, e);
        std::optional<std::string>& kept = block.titles[c];
        if (!kept) {
          kept.emplace();
        }
        kept->assign(title, findComma(title, e));  // reuses the text's storage row after row
      }
      f = nextField(labelEnd, e);
      f = nextField(findComma(f, e), e);
      f = nextField(findComma(f, e), e);
    }
    double time = first.value;
    const char* timeEnd = c == 0 ? nullptr : repeatedTime(f, textEnd, first);
    if (timeEnd == nullptr) {
      timeEnd = readNumberField(f, e, textEnd, layout.separator, time, block);
      if (timeEnd == nullptr) {
        return false;
      }
      if (c == 0 && timeEnd < e && *timeEnd == ',' && timeEnd - f < 16) {
        first = {f, static_cast<std::size_t>(timeEnd - f) + 1, time};
      }
    }
    double sample = 0;
    const char* sampleEnd =
        readNumberField(nextField(timeEnd, e), e, textEnd, layout.separator, sample, block);
    if (sampleEnd == nullptr) {
      return false;
    }
    const double x = time * 1e9;
    if (origins != nullptr) {
      (*origins)[c] = x;
    }
    if (c == 0) {
      firstX = x - layout.originsNs[0];
      block.channels[0].xs.push_back(firstX);
    } else {
      storeX(block, c, x - layout.originsNs[c], firstX);
    }
    block.channels[c].ys.push_back(sample);
    const char* after = nextField(sampleEnd, e);  // the empty field after the sample
    f = after != e && *after == ',' ? after + 1 : nextField(findComma(after, e), e);
  }
  return true;
}

std::string_view firstLine(std::string_view bytes) {
  const char* end = bytes.data() + bytes.size();
  return bytes.substr(
      0, static_cast<std::size_t>(detail::findLineEnd(bytes.data(), end) - bytes.data()));
}

// The shortest line that carries every channel: the commas up to the last channel's sample,
// one character for each time and sample, and a line end.
std::size_t minLineBytes(const Layout& layout) {
  return std::max<std::size_t>(8 * layout.channels, 2) - 1;
}

Layout layoutOf(std::string_view bytes, char separator) {
  Layout layout;
  const std::string_view first = firstLine(bytes);
  layout.commas = static_cast<std::size_t>(std::count(first.begin(), first.end(), ','));
  layout.channels = (layout.commas + 1) / 6;
  layout.originsNs.assign(layout.channels, 0.0);
  layout.separator = separator;
  return layout;
}

// The parallel parse's view of this format (see parseLinesInParallel).
struct Reader {
  Layout layout;  // origins set from line 1 before the parallel part starts
  std::size_t expectedLines = 0;

  void parse(std::string_view lines, Block& into) const {
    const char* textEnd = lines.data() + lines.size();
    const std::vector<std::size_t> before = sampleCounts(into);
    detail::forEachLine(lines, [&](const char* b, const char* e) {
      return parseLine(b, e, textEnd, layout, nullptr, into);
    });
    summarizeFrom(into, before);
  }
  void append(Block& into, const Block& from) const {
    for (std::size_t c = 0; c < from.channels.size(); ++c) {
      const PointArrays& tail = from.channels[c];
      if (!from.xOfFirst[c] || !into.xOfFirst[c]) {
        giveOwnX(into, c, expectedLines);
        const std::span<const double> xs =
            from.xOfFirst[c] ? std::span(from.channels[0].xs).first(tail.ys.size()) : tail.xs;
        detail::appendValues(into.channels[c].xs, xs, expectedLines);
      }
      detail::appendValues(into.channels[c].ys, tail.ys, expectedLines);
      into.summaries[c].append(from.summaries[c]);
    }
    for (std::size_t c = 0; c < from.titles.size(); ++c) {
      if (from.titles[c]) {
        into.titles[c] = from.titles[c];
      }
    }
    into.lines += from.lines;
    into.badField = from.badField;
  }
  void reset(Block& block) const {
    block.channels.resize(layout.channels);
    for (PointArrays& c : block.channels) {
      c.xs.clear();
      c.ys.clear();
    }
    block.summaries.assign(layout.channels, PointsSummary{});
    block.titles.assign(layout.channels, std::nullopt);
    block.xOfFirst.assign(layout.channels, 1);
    if (layout.channels > 0) {
      block.xOfFirst[0] = 0;
    }
    block.lines = 0;
    block.badField.reset();
  }
  static bool failed(const Block& block) { return block.badField.has_value(); }
};

// Channels whose X all are channel 0's share its array when `times` asks for it, they
// have as many points, and the order of the points leaves the X as read; otherwise each
// channel gets its copy.
CsvData resultOf(Block& block, CsvTimes times) {
  CsvData data;
  data.channels.resize(block.channels.size());
  if (block.channels.empty()) {
    return data;
  }
  const std::vector<double>& firstXs = block.channels[0].xs;
  // (Ascending X: then the point order moves nothing.)
  const bool mayShare =
      times == CsvTimes::sharedWhereEqual && !firstXs.empty() && block.summaries[0].ascending;
  for (std::size_t c = 1; c < block.channels.size(); ++c) {
    if (!mayShare || block.channels[c].ys.size() != firstXs.size()) {
      giveOwnX(block, c, 0);
    }
  }
  for (std::size_t c = 0; c < block.channels.size(); ++c) {
    if (block.xOfFirst[c]) {
      data.channels[c].xOfChannel = 0;
    }
    data.channels[c].points = std::move(block.channels[c]);
    data.channels[c].extent = orderPoints(data.channels[c].points, block.summaries[c]);
  }
  for (std::size_t c = 0; c < block.titles.size(); ++c) {
    if (block.titles[c]) {
      data.channels[c].title = cp1251ToUtf8(*block.titles[c]);
    }
  }
  if (block.badField) {
    data.error = ReadError{block.lines, csvFieldError(*block.badField)};
  }
  return data;
}

}  // namespace

bool isOscilloscopeCsv(std::string_view bytes) {
  return firstLine(bytes).find("Record Length") != std::string_view::npos;
}

std::size_t oscilloscopeChannelCount(std::string_view bytes) {
  return layoutOf(bytes, '.').channels;
}

CsvData readOscilloscopeCsv(std::string_view bytes, char localeSeparator,
                            const ReleaseBytes& release, CsvTimes times) {
  Reader reader{layoutOf(bytes, localeSeparator), 0};
  Block result;
  reader.reset(result);
  const std::string_view text = bytes.substr(0, detail::endWithoutTrailingLineEnds(bytes));
  if (reader.layout.channels == 0 || text.empty()) {
    return resultOf(result, times);
  }
  // Capacity beyond the real count costs address space only, never touched memory. Ordinary
  // pages: huge pages for these eight arrays made the read dearer as often as cheaper where
  // the memory was new to the machine (bench/RESULTS-readers.md).
  reader.expectedLines = detail::estimateLines(text, 0, minLineBytes(reader.layout));
  for (PointArrays& channel : result.channels) {
    channel.xs.reserve(reader.expectedLines);
    channel.ys.reserve(reader.expectedLines);
  }
  const std::size_t secondLine = detail::nextLineStart(text, 0, 1);
  detail::forEachLine(text.substr(0, secondLine), [&](const char* b, const char* e) {
    return parseLine(b, e, text.data() + secondLine, reader.layout, &reader.layout.originsNs,
                     result);
  });
  summarizeFrom(result, std::vector<std::size_t>(reader.layout.channels, 0));
  if (!Reader::failed(result)) {
    detail::parseLinesInParallel(text, secondLine, kBlockBytes, reader, result, release);
  }
  return resultOf(result, times);
}

}  // namespace tarvik
