// The generated table text: line normalisation, the 23-character fields, the labels of the
// first lines, CR LF, and that the generated graph reader takes back what was written.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/TextCodec.h"
#include "io/GeneratedGraphReader.h"
#include "synth/GeneratedTable.h"

namespace tarvik::synth {
namespace {

TEST(GeneratedTable, LineNormalisation) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"   ", ""},
      {" 1.0E+0000  2.0E+0000 ", "1.0E+0000 2.0E+0000"},
      {"\t1\t\t2\tтекст  с   пробелами ", "1 2 текст с пробелами"},
      {"1 2  ", "1 2"},
      {"1 2 a\r\nb", "1 2 a b"},  // a line end inside a text keeps the line whole
  };
  for (const auto& c : cases) {
    EXPECT_EQ(normaliseTableLine(c.in), c.out) << c.in;
  }
}

TEST(GeneratedTable, FieldsAreTwentyThreeCharactersJoinedByOneBlank) {
  EXPECT_EQ(tableLine(1, 2.5, ""), "1.00000000000000E+0000 2.50000000000000E+0000");
  EXPECT_EQ(tableLine(-1e-12, -123456.789, "V, км/ч"),
            "-1.00000000000000E-0012 -1.23456789000000E+0005 V, км/ч");
  // A positive first field's leading blank goes, a negative second field's sign stays.
  EXPECT_EQ(tableLine(0, -0.5, " подпись "),
            "0.00000000000000E+0000 -5.00000000000000E-0001 подпись");
}

TEST(GeneratedTable, LabelsOnTheFirstThreeLinesAndCrLfEverywhere) {
  const std::vector<double> xs{1, 2, 3, 4, 5}, ys{10, 20, 30, 40, 50};
  const std::string text = generatedTableText(xs, ys, {"Заголовок", "f, ГГц", "Re{eps}"});
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "the text ends with CR LF";
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "1.00000000000000E+0000 1.00000000000000E+0001 Заголовок");
  EXPECT_EQ(lines[1], "2.00000000000000E+0000 2.00000000000000E+0001 f, ГГц");
  EXPECT_EQ(lines[2], "3.00000000000000E+0000 3.00000000000000E+0001 Re{eps}");
  EXPECT_EQ(lines[3], "4.00000000000000E+0000 4.00000000000000E+0001");
  EXPECT_EQ(lines[4], "5.00000000000000E+0000 5.00000000000000E+0001");
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.find('\r'), std::string::npos);
  }
  EXPECT_EQ(generatedTableText({}, {}, {"a", "b", "c"}), "");
}

TEST(GeneratedTable, ReaderTakesBackPointsAndTexts) {
  std::mt19937_64 random(12);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> exponent(-300, 300);
  std::vector<double> xs, ys;
  for (int i = 0; i < 500; ++i) {
    xs.push_back(i);
    ys.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
  }
  ys[7] = std::numeric_limits<double>::max();
  ys[8] = std::numeric_limits<double>::denorm_min();
  ys[9] = -0.0;
  const std::string text = generatedTableText(xs, ys, {"Вода Re", "f, ГГц", "Re{eps}"});
  const GeneratedGraphData data = readGeneratedGraph(utf8ToCp1251(text), "Streem.txt");
  ASSERT_FALSE(data.error) << data.error->message;
  ASSERT_EQ(data.points.xs.size(), xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i) {
    EXPECT_EQ(data.points.xs[i], xs[i]);
    // Fifteen significant digits: within half a unit of the fifteenth digit.
    EXPECT_LE(std::fabs(data.points.ys[i] - ys[i]), std::fabs(ys[i]) * 5.1e-15) << i;
  }
  EXPECT_EQ(data.texts[0], "Вода Re");
  EXPECT_EQ(data.texts[1], "f, ГГц");
  EXPECT_EQ(data.texts[2], "Re{eps}");
  EXPECT_FALSE(data.texts[3]);  // line 4's label is empty: no foot line
  EXPECT_FALSE(data.texts[4]);
}

TEST(GeneratedTable, RoundHalfEven) {
  const struct {
    double in;
    std::int64_t out;
  } cases[] = {{0.5, 0},       {1.5, 2},
               {2.5, 2},       {3.5, 4},
               {2.4999999, 2}, {2.5000001, 3},
               {-0.5, 0},      {-1.5, -2},
               {-2.5, -2},     {-2.6, -3},
               {7, 7},         {12.5, 12},
               {-0.4, 0},      {1e15 + 0.5 - 0.5, 1'000'000'000'000'000}};
  for (const auto& c : cases) {
    EXPECT_EQ(roundHalfEven(c.in), c.out) << c.in;
  }
}

}  // namespace
}  // namespace tarvik::synth
