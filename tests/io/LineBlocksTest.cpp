// The block-parallel parse of line-oriented text: however the blocks are shared out among
// the threads, and however long one of them is held up, the result holds the lines in file
// order, stops at the first bad line, rethrows the first failure in file order and releases
// the bytes of the blocks handed in, front to back.
#include <gtest/gtest.h>

#include <chrono>
#include <charconv>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "io/LineBlocks.h"

namespace tarvik {
namespace {

struct NumberBlock {
  std::vector<long> values;
  std::size_t lines = 0;
  bool bad = false;
};

// Lines of decimal integers; "x" is a bad line, one starting with "!" a line the parser fails on, and a
// line of `slowEvery`'s multiples makes its thread wait, as a thread does whose core another
// program holds.
struct NumberReader {
  long slowEvery = 0;

  void parse(std::string_view lines, NumberBlock& into) const {
    detail::forEachLine(lines, [&](const char* b, const char* e) {
      ++into.lines;
      const std::string_view line(b, static_cast<std::size_t>(e - b));
      if (line == "x") {
        into.bad = true;
        return false;
      }
      if (!line.empty() && line.front() == '!') {
        throw std::runtime_error(std::string(line));
      }
      long v = 0;
      std::from_chars(b, e, v);
      if (slowEvery > 0 && v % slowEvery == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
      }
      into.values.push_back(v);
      return true;
    });
  }
  static void append(NumberBlock& into, const NumberBlock& from) {
    into.values.insert(into.values.end(), from.values.begin(), from.values.end());
    into.lines += from.lines;
    into.bad = from.bad;
  }
  static void reset(NumberBlock& block) { block = {}; }
  static bool failed(const NumberBlock& block) { return block.bad; }
};

std::string numberLines(long count) {
  std::string text;
  for (long i = 0; i < count; ++i) {
    text += std::to_string(i);
    text += i % 3 == 0 ? "\r\n" : "\n";
  }
  return text;
}

struct ParseRun {
  NumberBlock result;
  std::vector<std::size_t> released;
};

ParseRun parseAll(std::string_view text, std::size_t blockBytes, long slowEvery) {
  ParseRun run;
  NumberReader reader{slowEvery};
  detail::parseLinesInParallel(text, 0, blockBytes, reader, run.result,
                               [&](std::size_t end) { run.released.push_back(end); });
  return run;
}

TEST(LineBlocks, ManyBlocksKeepFileOrderWhateverThreadIsHeldUp) {
  const long count = 20000;
  const std::string text = numberLines(count);
  for (const std::size_t blockBytes : {std::size_t{7}, std::size_t{256}, std::size_t{4096}}) {
    for (const long slowEvery : {0L, 499L, 1999L}) {
      SCOPED_TRACE(std::to_string(blockBytes) + " " + std::to_string(slowEvery));
      const ParseRun run = parseAll(text, blockBytes, slowEvery);
      ASSERT_EQ(run.result.values.size(), static_cast<std::size_t>(count));
      for (long i = 0; i < count; ++i) {
        ASSERT_EQ(run.result.values[static_cast<std::size_t>(i)], i);
      }
      EXPECT_EQ(run.result.lines, static_cast<std::size_t>(count));
      // Released front to back, at line starts, up to the end.
      ASSERT_FALSE(run.released.empty());
      EXPECT_TRUE(std::is_sorted(run.released.begin(), run.released.end()));
      EXPECT_EQ(run.released.back(), text.size());
      for (const std::size_t end : run.released) {
        ASSERT_TRUE(end == text.size() || text[end - 1] == '\n') << end;
      }
    }
  }
}

TEST(LineBlocks, StopsAtTheFirstBadLineAndRethrowsTheFirstFailure) {
  std::string text = numberLines(5000);
  const std::size_t badAt = text.find("\n2500\n") + 1;
  text.replace(badAt, 4, "x");
  const std::size_t laterBad = text.find("\n4000\n") + 1;
  text.replace(laterBad, 4, "x");
  ParseRun run = parseAll(text, 64, 41);
  EXPECT_TRUE(run.result.bad);
  ASSERT_EQ(run.result.values.size(), 2500u);
  EXPECT_EQ(run.result.values.back(), 2499);
  EXPECT_EQ(run.result.lines, 2501u);  // the bad line counts
  EXPECT_LT(run.released.back(), laterBad);

  std::string throwing = numberLines(5000);
  for (const char* at : {"\n4000\n", "\n1000\n"}) {
    const std::size_t lineStart = throwing.find(at) + 1;
    throwing.insert(lineStart, "!");
  }
  // Some lines are slow, so blocks finish out of order; the failure seen is the one
  // earlier in the file.
  EXPECT_THROW(
      {
        try {
          parseAll(throwing, 64, 250);
        } catch (const std::runtime_error& e) {
          EXPECT_STREQ(e.what(), "!1000");
          throw;
        }
      },
      std::runtime_error);
}

}  // namespace
}  // namespace tarvik
