// Reading large files: the plain graph file parsed in blocks on two threads gives exactly the
// records of the one-pass reader it replaced, the eight-digits-at-a-time number path gives
// the values of std::from_chars, and a large read can be stopped without leaving anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <random>

#include "core/TextCodec.h"
#include "io/FileCommands.h"
#include "io/LineBlocks.h"
#include "io/NumberTokens.h"
#include "io/PlainGraphReader.h"
#include "io/TempDir.h"
#include "support/ScriptedUi.h"

namespace tarvik {
namespace {

// The one-pass reader as it was before the blocks: the reference for the parallel one.
namespace reference {

bool isSeparator(char c) { return static_cast<unsigned char>(c) <= 32; }

PlainGraphData readPlainGraph(std::string_view bytes) {
  PlainGraphData data;
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  std::size_t line = 1;
  auto skip = [&] {
    while (p != end && isSeparator(*p)) {
      line += *p == '\n' || (*p == '\r' && (p + 1 == end || p[1] != '\n'));
      ++p;
    }
    return p != end;
  };
  auto number = [&]() -> std::optional<double> {
    const char* tokenEnd = std::find_if(p, end, isSeparator);
    std::optional<double> v = parseFileNumber(std::string_view(p, std::size_t(tokenEnd - p)));
    p = tokenEnd;
    return v;
  };
  std::size_t record = 0;
  while (skip()) {
    const std::size_t at = line;
    const std::optional<double> x = number();
    const std::optional<double> y = x && skip() ? number() : std::nullopt;
    if (!y) {
      data.error = ReadError{at, kInvalidNumericInput};
      break;
    }
    data.points.xs.push_back(*x);
    data.points.ys.push_back(*y);
    std::string_view text;
    if (p != end) {
      const char* lineEnd = (*p == '\r' || *p == '\n') ? p : detail::findLineEnd(p + 1, end);
      const char* textBegin = lineEnd == p ? p : p + 1;
      text = std::string_view(textBegin, std::size_t(lineEnd - textBegin));
      line += lineEnd != end;
      p = detail::afterLineEnd(lineEnd, end);
    }
    if (record < data.texts.size()) {
      data.texts[record] = cp1251ToUtf8(dosCyrillicRule(text));
    }
    ++record;
  }
  return data;
}

}  // namespace reference

void expectSameRead(const PlainGraphData& got, const PlainGraphData& want) {
  ASSERT_EQ(got.points.xs.size(), want.points.xs.size());
  EXPECT_TRUE(got.points.xs == want.points.xs);
  EXPECT_TRUE(got.points.ys == want.points.ys);
  EXPECT_EQ(got.texts, want.texts);
  ASSERT_EQ(got.error.has_value(), want.error.has_value());
  if (want.error) {
    EXPECT_EQ(got.error->line, want.error->line);
    EXPECT_EQ(got.error->message, want.error->message);
  }
}

// About 9 MB (more than one round of two 4 MB blocks) of records whose layout is drawn at random:
// blanks or tabs between X and Y, a line end between them (a record split over two lines,
// so some land on a block's edge), blank lines, texts, and the chosen line end.
std::string generatedPlainFile(const std::string& lineEnd, double splitShare, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::string file;
  char buffer[64];
  for (std::size_t i = 0; file.size() < (std::size_t{9} << 20); ++i) {
    const double x = static_cast<double>(i) * 0.2;
    const double y = (unit(random) - 0.5) * std::pow(10.0, static_cast<int>(unit(random) * 8) - 4);
    file.append(buffer, std::to_chars(buffer, buffer + 64, x).ptr);
    file += unit(random) < splitShare ? lineEnd : (unit(random) < 0.5 ? " " : "\t");
    file.append(buffer, std::to_chars(buffer, buffer + 64, y, std::chars_format::general, 15).ptr);
    if (i < 6 || unit(random) < 0.01) {
      file += i == 0 ? " " + utf8ToCp1251("Сигнал") : " text " + std::to_string(i);
    }
    file += lineEnd;
    if (unit(random) < 0.01) {
      file += lineEnd + "  " + lineEnd;
    }
  }
  return file;
}

TEST(LargePlainGraphRead, BlocksOnTwoThreadsReadWhatOnePassReads) {
  struct Case {
    const char* name;
    std::string lineEnd;
    double splitShare;
  };
  for (const Case& c :
       {Case{"LF", "\n", 0.0}, Case{"CR LF", "\r\n", 0.0}, Case{"CR alone", "\r", 0.0},
        Case{"some records split", "\r\n", 0.05}, Case{"every record split", "\n", 1.0}}) {
    SCOPED_TRACE(c.name);
    const std::string file = generatedPlainFile(c.lineEnd, c.splitShare, 11);
    const PlainGraphData want = reference::readPlainGraph(file);
    ASSERT_FALSE(want.error);
    expectSameRead(readPlainGraph(file), want);
    // Without the last line end, and with trailing blank lines.
    const std::string cut = file.substr(0, file.size() - c.lineEnd.size());
    expectSameRead(readPlainGraph(cut), reference::readPlainGraph(cut));
    const std::string padded = file + c.lineEnd + " \t" + c.lineEnd + c.lineEnd;
    expectSameRead(readPlainGraph(padded), reference::readPlainGraph(padded));
  }
}

TEST(LargePlainGraphRead, BadTokenOrLoneXStopsAtTheSameRecordAndLine) {
  const std::string file = generatedPlainFile("\r\n", 0.05, 5);
  for (const std::size_t at : {std::size_t{100}, file.size() / 2, file.size() - 40}) {
    SCOPED_TRACE(at);
    std::string broken = file;
    const std::size_t lineStart = broken.find('\n', at) + 1;
    broken.insert(lineStart, "1 2x5\r\n");
    expectSameRead(readPlainGraph(broken), reference::readPlainGraph(broken));
  }
  const std::string loneX = file + "7\r\n\r\n";
  const PlainGraphData got = readPlainGraph(loneX);
  ASSERT_TRUE(got.error);
  expectSameRead(got, reference::readPlainGraph(loneX));
}

TEST(NumberTokens, DigitsEightAtATimeGiveFromCharsValues) {
  std::mt19937_64 random(3);
  std::string digits;
  for (int integerDigits = 0; integerDigits <= 20; ++integerDigits) {
    for (int fractionDigits = 0; fractionDigits <= 20; ++fractionDigits) {
      // The bytes next to the digits in ASCII ('/' below '0', ':' to '?' above '9') and
      // bytes with the top bit set must end a run of digits, also inside an exponent.
      for (const char* tail : {"", "e-04", "E+3", ",", " ", "\r\n", "/", ":", ";", "<", "=", ">",
                               "?", "e-0/", "E+1:", "e2?", "\xb9", "\xc0"}) {
        digits.clear();
        for (int i = 0; i < integerDigits + fractionDigits; ++i) {
          digits += static_cast<char>('0' + random() % 10);
        }
        const std::string text = (random() % 2 ? "-" : "") + digits.substr(0, integerDigits) +
                                 (fractionDigits > 0 ? "." : "") + digits.substr(integerDigits) +
                                 tail + "9999999999";  // digits after the end must not count
        const char* end = text.data() + text.size() - 10;
        double fast = -1;
        const char* stop = detail::fastNumber(
            text.data(), end, [](char ch) { return ch == ',' || static_cast<unsigned char>(ch) <= 32; }, fast);
        double want = 0;
        const auto [ptr, ec] = std::from_chars(text.data(), end, want);
        SCOPED_TRACE(text);
        if (integerDigits + fractionDigits == 0 || ec != std::errc()) {
          EXPECT_EQ(stop, nullptr);
          continue;
        }
        if (ptr == end || *ptr == ',' || static_cast<unsigned char>(*ptr) <= 32) {
          ASSERT_EQ(stop, ptr);
          EXPECT_EQ(std::bit_cast<std::uint64_t>(fast), std::bit_cast<std::uint64_t>(want));
        } else {
          EXPECT_EQ(stop, nullptr);
        }
      }
    }
  }
}

// Lines of sixteen bytes, so the 1 MiB blocks of the parallel parse start exactly at lines
// 65536·k. The last line of each block in `openBlocks` is an X alone whose Y opens the next
// block, and the blocks in `blankBlocks` hold blank lines only, so an open record can reach
// across a whole block; every other line is a full record. X is the line's index, so the
// points need no reordering. `openEnd` leaves the last X without a Y.
constexpr std::size_t kJoinLineBytes = 16;
constexpr std::size_t kJoinLinesPerBlock = (std::size_t{1} << 20) / kJoinLineBytes;

std::string blockJoinFile(std::size_t blocks, const std::vector<std::size_t>& openBlocks,
                          const std::vector<std::size_t>& blankBlocks, bool openEnd) {
  const auto in = [](const std::vector<std::size_t>& set, std::size_t b) {
    return std::find(set.begin(), set.end(), b) != set.end();
  };
  const auto endsOpen = [&](std::size_t b) {
    return in(openBlocks, b) || (openEnd && b + 1 == blocks);
  };
  std::string file;
  file.reserve(blocks * kJoinLinesPerBlock * kJoinLineBytes);
  char line[32];
  for (std::size_t b = 0; b < blocks; ++b) {
    for (std::size_t k = 0; k < kJoinLinesPerBlock; ++k) {
      const std::size_t n = b * kJoinLinesPerBlock + k;
      if (in(blankBlocks, b)) {
        std::snprintf(line, sizeof line, "%15s\n", "");
      } else if (k + 1 == kJoinLinesPerBlock && endsOpen(b)) {
        std::snprintf(line, sizeof line, "%015zu\n", n);  // X alone
      } else if (k == 0 && b > 0 && (in(openBlocks, b - 1) || in(blankBlocks, b - 1))) {
        std::snprintf(line, sizeof line, "%07zu t%06zu\n", n % 9973, b);  // Y and a text
      } else {
        std::snprintf(line, sizeof line, "%07zu %07zu\n", n, (n * 7) % 9973);
      }
      file.append(line, kJoinLineBytes);
    }
  }
  return file;
}

// A record split over a block's end is joined without reading again what the reader has
// released: the released bytes are overwritten as a file changed in place would be, and
// the read still gives exactly what one pass over the unchanged bytes gives.
TEST(LargePlainGraphRead, RecordsOverABlockJoinNeverReadReleasedBytes) {
  struct Case {
    const char* name;
    std::string file;
  };
  const std::vector<Case> cases = {
      // Open at the end of a round's first block, of its second, across a blank block, and
      // after a second block parsed on the helper thread.
      {"crafted joins", blockJoinFile(8, {0, 1, 3, 5}, {2}, false)},
      {"open X at the end", blockJoinFile(3, {0}, {}, true)},
      {"every record split", generatedPlainFile("\n", 1.0, 7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PlainGraphData want = reference::readPlainGraph(c.file);
    std::string live = c.file;
    std::size_t released = 0;
    std::size_t releases = 0;
    const PlainGraphData got = readPlainGraph(live, [&](std::size_t end) {
      ASSERT_GE(end, released);
      ASSERT_LE(end, live.size());
      std::fill(live.begin() + static_cast<std::ptrdiff_t>(released),
                live.begin() + static_cast<std::ptrdiff_t>(end), '#');
      released = end;
      ++releases;
    });
    EXPECT_GE(releases, 2u);
    expectSameRead(got, want);
  }
  // The crafted file's joins are where they were meant to be: one pass sees them as records.
  const PlainGraphData crafted = reference::readPlainGraph(cases[0].file);
  EXPECT_FALSE(crafted.error);
  EXPECT_EQ(crafted.points.xs.size(), 7 * kJoinLinesPerBlock - 4);  // 4 joined records
  const PlainGraphData openEnd = reference::readPlainGraph(cases[1].file);
  ASSERT_TRUE(openEnd.error);
  EXPECT_EQ(openEnd.error->line, 3 * kJoinLinesPerBlock);
}

// A large file shows its reading progress; the stop button pressed during it (here: at the
// first percentage after 0) ends the open command with nothing of that file in the store.
class StoppingUi : public testing::ScriptedUi {
 public:
  GraphStore* store = nullptr;
  bool stopAfterStart = false;
  void progress(const std::string& text) override {
    ScriptedUi::progress(text);
    if (stopAfterStart && text != std::string(kReadProgress) + "0 %") {
      store->stopRequest = true;
    }
  }
};

class LargeFileOpen : public ::testing::Test {
 protected:
  LargeFileOpen() { ui.store = &store; }
  // A file just over the progress threshold.
  std::string bigFile(const std::string& name, const std::string& header, const std::string& line) {
    std::string text = header;
    while (text.size() <= kReadProgressBytes + 1000) {
      text += line;
    }
    return dir.write(name, text);
  }
  GraphStore store;
  StoppingUi ui;
  CommandContext ctx{store, ui};
  testing::TempDir dir;
};

TEST_F(LargeFileOpen, StoppedReadKeepsNothingOfTheFile) {
  const std::string plain = bigFile("big.grf", "", "0.25 -1.5e-3 text\r\n");
  const std::string csv = bigFile("big.csv", "Record Length,5,,0,1,\r\n", ",,,1.5e-9,0.00277,\r\n");
  const std::string small = dir.write("small.grf", "1 2\n");
  for (const std::string& path : {plain, csv}) {
    SCOPED_TRACE(path);
    store.footLines = {"foot"};
    ui.progressTexts.clear();
    ui.stopAfterStart = true;
    EXPECT_FALSE(openFiles(ctx, {path, small}));  // the file after a stopped one is not read
    EXPECT_EQ(store.count(), 0u);
    EXPECT_EQ(store.footLines, std::vector<std::string>{"foot"});
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_GE(ui.progressTexts.size(), 2u);
    EXPECT_EQ(ui.progressTexts.front(), "Чтение файла - 0 %");
  }
}

TEST_F(LargeFileOpen, UnstoppedReadShowsRisingPercentagesAndSmallFilesNone) {
  const std::string plain = bigFile("big.grf", "", "0.25 -1.5e-3\n");
  ui.stopAfterStart = false;
  store.stopRequest = true;  // left set by an earlier loop: a new reading clears it
  ASSERT_TRUE(readGraphFile(ctx, plain));
  ASSERT_EQ(store.count(), 1u);
  EXPECT_GT(store.graph(0).size(), 4'000'000u);
  ASSERT_GE(ui.progressTexts.size(), 5u);
  for (std::size_t i = 1; i < ui.progressTexts.size(); ++i) {
    EXPECT_NE(ui.progressTexts[i], ui.progressTexts[i - 1]);
  }
  EXPECT_EQ(ui.progressTexts.front(), "Чтение файла - 0 %");
  // The end shows 100 % and then gives the status bar back.
  EXPECT_EQ(ui.progressTexts[ui.progressTexts.size() - 2], "Чтение файла - 100 %");
  EXPECT_EQ(ui.progressTexts.back(), "");
  ui.progressTexts.clear();
  ASSERT_TRUE(readGraphFile(ctx, dir.write("small.grf", "1 2\n")));
  EXPECT_TRUE(ui.progressTexts.empty());
}

}  // namespace
}  // namespace tarvik
