#include <gtest/gtest.h>

#include <cstdio>

#include "core/TextCodec.h"
#include "io/CsvReaders.h"

namespace tarvik {
namespace {

// One line of an oscilloscope export: per channel label, label value, "", time, value, "".
std::string oscLine(const std::vector<std::tuple<std::string, std::string, double, double>>& ch) {
  std::string line;
  char number[64];
  for (std::size_t c = 0; c < ch.size(); ++c) {
    const auto& [label, value, time, sample] = ch[c];
    std::snprintf(number, sizeof number, "%.10e,%.5f", time, sample);
    line += (c ? "," : "") + label + "," + value + ",," + number + ",";
  }
  return line + "\r\n";
}

TEST(OscilloscopeCsv, ChannelCountFollowsTheCommasOfTheFirstLine) {
  EXPECT_EQ(oscilloscopeChannelCount("Record Length,1,,0,1,,Record Length,1,,0,1,\r\n"), 2u);
  EXPECT_EQ(oscilloscopeChannelCount("Record Length,1,,0,1,\r\n"), 1u);
  EXPECT_EQ(oscilloscopeChannelCount("Record Length,1,,0,1\r\n"), 0u);  // 4 commas
  EXPECT_TRUE(isOscilloscopeCsv("x,Record Length,\r\n1,2\r\n"));
  EXPECT_FALSE(isOscilloscopeCsv("0,1\r\nRecord Length\r\n"));
}

TEST(OscilloscopeCsv, TwoChannelsInNanosecondsFromTheFirstSample) {
  std::string file =
      oscLine({{"Record Length", "3", -2e-9, 0.5}, {"Record Length", "3", -2e-9, 1}});
  file += oscLine({{"Source", "CH1", -1e-9, 0.25}, {"Source", "CH2", -1e-9, 2}});
  file += oscLine({{"", "", 0, 0.125}, {"", "", 0, 3}});
  const CsvData data = readOscilloscopeCsv(file, '.');
  ASSERT_FALSE(data.error);
  ASSERT_EQ(data.channels.size(), 2u);
  EXPECT_EQ(data.channels[0].title, "CH1");
  EXPECT_EQ(data.channels[1].title, "CH2");
  for (const CsvChannel& channel : data.channels) {
    ASSERT_EQ(channel.points.xs.size(), 3u);
    EXPECT_EQ(channel.points.xs[0], 0.0);
    EXPECT_NEAR(channel.points.xs[1], 1.0, 1e-9);
    EXPECT_NEAR(channel.points.xs[2], 2.0, 1e-9);
  }
  EXPECT_EQ(data.channels[0].points.ys, (std::vector<double>{0.5, 0.25, 0.125}));
  EXPECT_EQ(data.channels[1].points.ys, (std::vector<double>{1, 2, 3}));
}

TEST(OscilloscopeCsv, EachChannelStartsAtItsOwnFirstTime) {
  std::string file = oscLine({{"Record Length", "2", 1e-6, 1}, {"Record Length", "2", 5e-6, 1}});
  file += oscLine({{"", "", 1.001e-6, 2}, {"", "", 5.002e-6, 2}});
  const CsvData data = readOscilloscopeCsv(file, '.');
  ASSERT_FALSE(data.error);
  EXPECT_EQ(data.channels[0].points.xs[0], 0.0);
  EXPECT_EQ(data.channels[1].points.xs[0], 0.0);
  EXPECT_NEAR(data.channels[0].points.xs[1], 1.0, 1e-6);
  EXPECT_NEAR(data.channels[1].points.xs[1], 2.0, 1e-6);
}

TEST(OscilloscopeCsv, TrailingPartialChannelIsIgnored) {
  // 8 commas: one whole channel and three fields of a second one that has no graph.
  const CsvData data =
      readOscilloscopeCsv("Record Length,2,,0,1,,Source,x,\r\n,,,1e-9,2,,junk,junk,junk\r\n", '.');
  ASSERT_FALSE(data.error);
  ASSERT_EQ(data.channels.size(), 1u);
  EXPECT_EQ(data.channels[0].points.ys, (std::vector<double>{1, 2}));
  EXPECT_FALSE(data.channels[0].title);
}

TEST(OscilloscopeCsv, BadFieldsStopWithTheSamplesBefore) {
  struct Case {
    std::string secondLines;
    std::string message;
    std::size_t line;
    std::size_t kept0, kept1;
  };
  const std::string first = "Record Length,2,,0,1,,Record Length,2,,0,1,\r\n";
  const std::vector<Case> cases = {
      {",,,1e-9,2,,,,,1e-9,abc,\r\n", "'abc' is not a valid floating point value", 2, 2, 1},
      {",,,1e-9\r\n", "'' is not a valid floating point value", 2, 1, 1},  // short line
      {",,,1e-9,2,,,,,1e-9,2,\r\n\r\n,,,2e-9,3,,,,,2e-9,3,\r\n",
       "'' is not a valid floating point value", 3, 2, 2},  // an empty line inside
      {",,,x" + std::string(300, 'y') + ",2,\r\n",
       "'x" + std::string(199, 'y') + "...' is not a valid floating point value", 2, 1, 1},
  };
  for (const Case& c : cases) {
    const CsvData data = readOscilloscopeCsv(first + c.secondLines, '.');
    ASSERT_TRUE(data.error) << c.secondLines;
    EXPECT_EQ(data.error->message, c.message);
    EXPECT_EQ(data.error->line, c.line);
    EXPECT_EQ(data.channels[0].points.xs.size(), c.kept0);
    EXPECT_EQ(data.channels[1].points.xs.size(), c.kept1);
  }
}

TEST(OscilloscopeCsv, LineEndsAtTheEndOfTheFileAreNotLines) {
  const CsvData data = readOscilloscopeCsv("Record Length,1,,0,1,\r\n\r\n\n\r\n", '.');
  EXPECT_FALSE(data.error);
  EXPECT_EQ(data.channels[0].points.xs.size(), 1u);
}

TEST(CsvNumbers, PointAlwaysAndTheLocaleSeparatorWhenItIsNotComma) {
  struct Case {
    std::string value;
    char separator;
    std::optional<double> expected;
  };
  const std::vector<Case> cases = {
      {"1.5", '.', 1.5}, {"1.5", ',', 1.5},     {" 2.5 ", ',', 2.5}, {"1;5", ';', 1.5},
      {"+3", '.', 3},    {"-1e-3", '.', -1e-3}, {"1e999", '.', {}},  {"inf", '.', {}},
      {"", '.', {}},     {"0x1", '.', {}},
  };
  for (const Case& c : cases) {
    const CsvData data = readPlainCsv("0," + c.value + "\r\n", c.separator);
    if (c.expected) {
      ASSERT_FALSE(data.error) << c.value;
      EXPECT_EQ(data.channels[0].points.ys.at(0), *c.expected) << c.value;
    } else {
      ASSERT_TRUE(data.error) << c.value;
      EXPECT_EQ(data.error->message, "'" + c.value + "' is not a valid floating point value");
    }
  }
}

TEST(PlainCsv, TimeBeforeTheFirstCommaValueAfterIt) {
  const CsvData data = readPlainCsv("1e-6,5\r\n1.002e-6,6\n", '.');
  ASSERT_FALSE(data.error);
  ASSERT_EQ(data.channels.size(), 1u);
  EXPECT_EQ(data.channels[0].points.xs[0], 0.0);
  EXPECT_NEAR(data.channels[0].points.xs[1], 2.0, 1e-6);
  EXPECT_EQ(data.channels[0].points.ys, (std::vector<double>{5, 6}));

  const CsvData noComma = readPlainCsv("0,1\r\n12\r\n", '.');
  ASSERT_TRUE(noComma.error);
  EXPECT_EQ(noComma.error->message, "'' is not a valid floating point value");
  const CsvData twoCommas = readPlainCsv("0,1,2\r\n", '.');
  ASSERT_TRUE(twoCommas.error);
  EXPECT_EQ(twoCommas.error->message, "'1,2' is not a valid floating point value");
}

// Enough lines for several parallel rounds: the result must equal a plain line-by-line read.
TEST(OscilloscopeCsv, ParallelReadKeepsEveryLineInOrder) {
  const std::size_t lines = 150000;  // about 10 MB: two rounds of two blocks
  std::string file;
  file.reserve(lines * 70);
  for (std::size_t i = 0; i < lines; ++i) {
    const double t = static_cast<double>(i) * 1e-9;
    file += oscLine({{i == 0 ? "Record Length" : "", "", t, static_cast<double>(i % 1000)},
                     {i == 5 ? "Source" : "", i == 5 ? "CH2" : "", t, -static_cast<double>(i)}});
  }
  const CsvData data = readOscilloscopeCsv(file, '.');
  ASSERT_FALSE(data.error);
  ASSERT_EQ(data.channels[1].points.ys.size(), lines);
  for (std::size_t i = 0; i < lines; ++i) {
    ASSERT_EQ(data.channels[0].points.ys[i], static_cast<double>(i % 1000)) << i;
    ASSERT_EQ(data.channels[1].points.ys[i], -static_cast<double>(i)) << i;
    ASSERT_NEAR(data.channels[0].points.xs[i], static_cast<double>(i), 1e-6) << i;
  }
  EXPECT_EQ(data.channels[1].title, "CH2");

  // A bad field far into the file: everything before it stays, the line number is exact.
  const std::size_t badLine = 140001;
  const std::size_t at = file.find("\n", [&] {
    std::size_t pos = 0;
    for (std::size_t i = 0; i + 1 < badLine; ++i) {
      pos = file.find('\n', pos) + 1;
    }
    return pos;
  }());
  file.replace(at - 3, 1, "?");  // the last digit of the second channel's value
  const CsvData broken = readOscilloscopeCsv(file, '.');
  ASSERT_TRUE(broken.error);
  EXPECT_EQ(broken.error->line, badLine);
  EXPECT_EQ(broken.channels[0].points.xs.size(), badLine);
  EXPECT_EQ(broken.channels[1].points.xs.size(), badLine - 1);
}

TEST(PlainCsv, ParallelReadKeepsEveryLineInOrder) {
  const std::size_t lines = 600000;  // about 11 MB
  std::string file;
  for (std::size_t i = 0; i < lines; ++i) {
    file += std::to_string(i) + "e-9," + std::to_string(i % 977) + "\n";
  }
  const CsvData data = readPlainCsv(file, ',');
  ASSERT_FALSE(data.error);
  const PointArrays& p = data.channels[0].points;
  ASSERT_EQ(p.xs.size(), lines);
  for (std::size_t i = 0; i < lines; ++i) {
    ASSERT_NEAR(p.xs[i], static_cast<double>(i), 1e-6);
    ASSERT_EQ(p.ys[i], static_cast<double>(i % 977));
  }
}

TEST(OscilloscopeCsv, SourceTitlesAreConvertedFrom1251) {
  const std::string file =
      "Record Length,1,,0,1,\r\nSource," + utf8ToCp1251("Канал 1") + ",,1e-9,2,\r\n";
  const CsvData data = readOscilloscopeCsv(file, '.');
  ASSERT_FALSE(data.error);
  EXPECT_EQ(data.channels[0].title, "Канал 1");
}

}  // namespace
}  // namespace tarvik
