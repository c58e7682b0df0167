#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/NumberFormat.h"
#include "core/TextCodec.h"
#include "io/PlainGraphReader.h"

namespace tarvik {
namespace {

using Pairs = std::vector<std::pair<double, double>>;

Pairs pairsOf(const PointArrays& p) {
  Pairs out;
  for (std::size_t i = 0; i < p.xs.size(); ++i) {
    out.emplace_back(p.xs[i], p.ys[i]);
  }
  return out;
}

std::string cp(const std::string& utf8) { return utf8ToCp1251(utf8); }

TEST(PlainGraphReader, FourRecordsCarryTitleAndAxisTitles) {
  const std::string file =
      "0 1 " + cp("Сигнал") + "\r\n1 2 " + cp("t, нс") + "\r\n2 3 " + cp("U, В") + "\r\n3 4\r\n";
  const PlainGraphData data = readPlainGraph(file);
  EXPECT_FALSE(data.error);
  EXPECT_EQ(pairsOf(data.points), (Pairs{{0, 1}, {1, 2}, {2, 3}, {3, 4}}));
  EXPECT_EQ(data.texts[0], "Сигнал");
  EXPECT_EQ(data.texts[1], "t, нс");
  EXPECT_EQ(data.texts[2], "U, В");
  EXPECT_EQ(data.texts[3], "");  // present but blank: no foot line
  EXPECT_FALSE(data.texts[4]);
}

TEST(PlainGraphReader, LayoutVariantsReadTheSameRecords) {
  struct Case {
    const char* name;
    std::string file;
    Pairs points;
    std::vector<std::string> texts;  // of the records present
  };
  const std::vector<Case> cases = {
      {"no text", "0 1\n1 2\n2 3\n", {{0, 1}, {1, 2}, {2, 3}}, {"", "", ""}},
      {"LF and CRLF mixed", "0 1 a\r\n1 2 b\n", {{0, 1}, {1, 2}}, {"a", "b"}},
      {"trailing empty lines", "0 1\r\n\r\n\r\n  \n\t\n", {{0, 1}}, {""}},
      {"blank lines between", "\n\n0 1 a\n\n\n1 2 b", {{0, 1}, {1, 2}}, {"a", "b"}},
      {"tabs", "5\t6\tword\n", {{5, 6}}, {"word"}},
      {"record over two lines", "1\n2 text\n", {{1, 2}}, {"text"}},
      {"only the separator is dropped", "1 2   three  \n", {{1, 2}}, {"  three  "}},
      {"Y ends the file", "1 2", {{1, 2}}, {""}},
      {"empty", "", {}, {}},
      {"only blanks", " \r\n\t \n", {}, {}},
      {"writer's INF and NAN", "INF -INF\r\n", {{INFINITY, -INFINITY}}, {""}},
      {"comma decimal point", "1,5 -2,25 t\r\n", {{1.5, -2.25}}, {"t"}},
      {"sign and exponent", "+1e3 -2.5E-3\n", {{1000, -0.0025}}, {""}},
      {"NUL bytes separate", std::string("1\0 2\0x\n", 7), {{1, 2}}, {std::string("x")}},
      {"CR alone ends lines", "0 1 a\r1 2 b\r2 3\r", {{0, 1}, {1, 2}, {2, 3}}, {"a", "b", ""}},
      {"CR, LF and CR LF mixed",
       "0 1 a\r1 2\n2 3 c\r\n\r3 4 d",
       {{0, 1}, {1, 2}, {2, 3}, {3, 4}},
       {"a", "", "c", "d"}},
  };
  for (const Case& c : cases) {
    const PlainGraphData data = readPlainGraph(c.file);
    EXPECT_FALSE(data.error) << c.name;
    EXPECT_EQ(pairsOf(data.points), c.points) << c.name;
    for (std::size_t i = 0; i < 5; ++i) {
      if (i < c.texts.size()) {
        EXPECT_EQ(data.texts[i], c.texts[i]) << c.name << " record " << i + 1;
      } else {
        EXPECT_FALSE(data.texts[i]) << c.name << " record " << i + 1;
      }
    }
  }
}

TEST(PlainGraphReader, NotANumberStopsWithTheRecordsBefore) {
  struct Case {
    std::string file;
    std::size_t line;
    std::size_t pointsKept;
  };
  const std::vector<Case> cases = {
      {"1 2\n3 x\n5 6\n", 2, 1},
      {"1 2\r\n\r\n3", 3, 1},  // X without its Y
      {"abc", 1, 0},
      {"1 2 text\n1.2.3 4\n", 2, 1},
      {"1 2\ninf 3\n", 2, 1},
      {"1 2\n1e400 3\n", 2, 1},
      {"0x10 1\n", 1, 0},
      {"1 2\n3 4 ok\n- 5\n", 3, 2},
      {"1 2 a\rb 3\r", 2, 1},  // a text after CR is the next record
      {"1 2\r\r3 x\r", 3, 1},
      {"1 2\r\n\r\n3 x", 3, 1},
  };
  for (const Case& c : cases) {
    const PlainGraphData data = readPlainGraph(c.file);
    ASSERT_TRUE(data.error) << c.file;
    EXPECT_EQ(data.error->message, "Invalid numeric input");
    EXPECT_EQ(data.error->line, c.line) << c.file;
    EXPECT_EQ(data.points.xs.size(), c.pointsKept) << c.file;
  }
}

TEST(PlainGraphReader, TokensConvertExactlyAsTheFileNumberParser) {
  // The reader's fast path must agree with parseFileNumber on every token.
  const std::vector<std::string> tokens = {"1",
                                           "-1",
                                           "+1",
                                           "1.",
                                           ".5",
                                           "-.5",
                                           "1e5",
                                           "1E+05",
                                           "1e-400",
                                           "1e400",
                                           "1e",
                                           "0x10",
                                           "inf",
                                           "nan",
                                           "INF",
                                           "-INF",
                                           "NAN",
                                           "1,5",
                                           "1.5e3x",
                                           "00012",
                                           "-0",
                                           "1e-310",
                                           "4.9e-324",
                                           "-",
                                           ".",
                                           "1..2",
                                           "123456789012345678901234567890",
                                           "2.2250738585072014e-308"};
  for (const std::string& token : tokens) {
    const PlainGraphData data = readPlainGraph("0 " + token + "\n");
    const std::optional<double> expected = parseFileNumber(token);
    if (!expected) {
      EXPECT_TRUE(data.error) << token;
      continue;
    }
    ASSERT_FALSE(data.error) << token;
    const double got = data.points.ys.at(0);
    if (std::isnan(*expected)) {
      EXPECT_TRUE(std::isnan(got)) << token;
    } else {
      EXPECT_EQ(got, *expected) << token;
      EXPECT_EQ(std::signbit(got), std::signbit(*expected)) << token;
    }
  }
}

TEST(PlainGraphReader, TextsFollowTheDosCyrillicRule) {
  struct Case {
    std::string bytes;
    std::string utf8;
  };
  const std::vector<Case> cases = {
      {"\x8F\xA8", "Пи"},                      // DOS Cyrillic becomes Windows Cyrillic
      {"\xE0\x8F", cp1251ToUtf8("\xE0\x8F")},  // a 1251 letter keeps every byte as it is
      {"\xB9\x35", "5"},                       // box drawing bytes are dropped
      {"abc", "abc"},
  };
  for (const Case& c : cases) {
    const PlainGraphData data = readPlainGraph("1 2 " + c.bytes + "\r\n");
    EXPECT_EQ(data.texts[0], c.utf8);
  }
}

TEST(PlainGraphReader, FootTextsOfRecordsFourAndFiveAndNoFurther) {
  const PlainGraphData data =
      readPlainGraph("1 1 a\n2 2 b\n3 3 c\n5\t6\t" + cp("Подпись") + "\n7 7 e\n8 8 f\n");
  EXPECT_EQ(data.texts[3], "Подпись");
  EXPECT_EQ(data.texts[4], "e");
  EXPECT_EQ(data.points.xs.size(), 6u);
}

// Capacity is reserved from a sample of the file's start; blank lines there must not make
// it larger than the file can hold, and the records after them are all read.
TEST(PlainGraphReader, ReservesNoMoreThanTheFileCanHold) {
  for (const std::string& blank : {std::string("\n"), std::string("\r\n"), std::string(" \t\r")}) {
    std::string file;
    while (file.size() < 200000) {
      file += blank;
    }
    for (int i = 0; i < 30000; ++i) {
      file += std::to_string(i) + " 1\n";
    }
    const PlainGraphData data = readPlainGraph(file);
    ASSERT_FALSE(data.error);
    ASSERT_EQ(data.points.xs.size(), 30000u);
    EXPECT_EQ(data.points.xs.back(), 29999);
    EXPECT_LE(data.points.xs.capacity(), file.size() / 4 + 1);
    EXPECT_LE(data.points.ys.capacity(), file.size() / 4 + 1);
  }
}

TEST(PlainGraphReader, PointsFollowTheOrderingRule) {
  const PlainGraphData data = readPlainGraph("3 30\n1 10\n2 20\n1 11\n");
  EXPECT_EQ(pairsOf(data.points), (Pairs{{1, 10}, {1, 11}, {2, 20}, {3, 30}}));
}

}  // namespace
}  // namespace tarvik
