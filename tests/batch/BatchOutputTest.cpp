// The output formats of list, texts and dump: one line per graph, text or point, whatever
// the titles hold and however many points there are.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <streambuf>
#include <string>

#include "batch/BatchRunner.h"

namespace tarvik::batch {
namespace {

// A stream buffer that keeps what was written and the largest piece handed over at once.
class RecordingBuffer : public std::streambuf {
 public:
  std::string text;
  std::streamsize largestWrite = 0;

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    largestWrite = std::max(largestWrite, n);
    text.append(s, static_cast<std::size_t>(n));
    return n;
  }
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      largestWrite = std::max<std::streamsize>(largestWrite, 1);
      text.push_back(traits_type::to_char_type(c));
    }
    return traits_type::not_eof(c);
  }
};

class OutputTest : public ::testing::Test {
 protected:
  int run(const std::string& script) {
    BatchRunner runner(session, registry, err);
    return runner.run(inlineLines(script));
  }

  RecordingBuffer buffer;
  std::ostream out{&buffer};
  std::ostringstream err;
  BatchSession session{out, err, '.'};
  BatchRegistry registry = standardRegistry();
};

TEST_F(OutputTest, LineEndsAndTabsInTextsAreWrittenAsEscapes) {
  struct Case {
    const char* stored;
    const char* written;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"a\nb", "a\\nb"},
      {"CR LF\r\n", "CR LF\\r\\n"},
      {"\tcol\t", "\\tcol\\t"},
      {"C:\\data\\n1", "C:\\data\\n1"},  // a backslash stays as it is
      {"Импульс, В", "Импульс, В"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    buffer.text.clear();
    session.store.closeAll();
    const std::size_t i = session.store.appendGraph("g");
    session.store.graph(i).title = c.stored;
    session.store.setSourceFile(i, std::string("file ") + c.stored);
    session.store.bottomAxisTitle = c.stored;
    session.store.yAxisTitle = std::string(c.stored) + "|";
    session.store.footLines = {c.stored, "\n"};
    ASSERT_EQ(run("list; texts"), kExitOk) << err.str();
    const std::string w = c.written;
    EXPECT_EQ(buffer.text, "1\t*\t0\tfile " + w + "\t" + w + "\n" + "bottom\t" + w + "\n" +
                               "left\t" + w + "|\n" + "foot\t" + w + "\n" + "foot\t\\n\n");
  }
}

TEST_F(OutputTest, DumpStreamsItsLinesAndRoundTripsEveryDouble) {
  const std::size_t g = session.store.appendGraph("big");
  constexpr std::size_t kPoints = 200000;
  Graph& graph = session.store.graph(g);
  for (std::size_t i = 0; i < kPoints; ++i) {
    const double x = static_cast<double>(i) / 3;
    graph.appendPoint(x, i % 2 == 0 ? -x * 1e-300 : 1.7976931348623157e308 / (x + 1));
  }
  ASSERT_EQ(run("dump graph=1"), kExitOk) << err.str();
  // 200,000 lines of up to 50 bytes: no single write may carry more than a few lines.
  EXPECT_LE(buffer.largestWrite, 1024);
  std::istringstream in(buffer.text);
  std::size_t n = 0;
  for (std::string line; std::getline(in, line); ++n) {
    ASSERT_LT(n, kPoints);
    char* end = nullptr;
    const double x = std::strtod(line.c_str(), &end);
    ASSERT_EQ(*end, '\t') << line;
    const double y = std::strtod(end + 1, &end);
    ASSERT_EQ(*end, '\0') << line;
    ASSERT_EQ(x, graph.x(n)) << line;
    ASSERT_EQ(y, graph.y(n)) << line;
  }
  EXPECT_EQ(n, kPoints);
}

}  // namespace
}  // namespace tarvik::batch
