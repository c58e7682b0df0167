#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
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

// Fields around the length at which a message stops quoting them whole: a number of 199,
// 200 or 201 bytes still reads (to 25 exactly), and a bad field is quoted whole up to 200
// bytes and by its first 200 bytes and "..." beyond, in both readers.
TEST(CsvReaders, FieldsOf199To201Bytes) {
  const std::string scopeFirst = "Record Length,2,,0,1,\r\n";
  for (const std::size_t length : {std::size_t{199}, std::size_t{200}, std::size_t{201}}) {
    SCOPED_TRACE(length);
    // "25", k zeros, "e-k": 2 + k + 2 + 3 bytes.
    const std::size_t zeros = length - 7;
    const std::string number = "25" + std::string(zeros, '0') + "e-" + std::to_string(zeros);
    ASSERT_EQ(number.size(), length);
    const std::string bad(length, 'x');
    const std::string quoted = length <= 200 ? bad : std::string(200, 'x') + "...";
    const std::string message = "'" + quoted + "' is not a valid floating point value";

    const CsvData plain = readPlainCsv("0," + number + "\r\n1," + bad + "\r\n", '.');
    ASSERT_TRUE(plain.error);
    EXPECT_EQ(plain.error->message, message);
    EXPECT_EQ(plain.error->line, 2u);
    ASSERT_EQ(plain.channels[0].points.ys.size(), 1u);
    EXPECT_EQ(plain.channels[0].points.ys[0], 25);

    const CsvData scope =
        readOscilloscopeCsv(scopeFirst + ",,,1e-9," + number + ",\r\n,,,2e-9," + bad + ",\r\n", '.');
    ASSERT_TRUE(scope.error);
    EXPECT_EQ(scope.error->message, message);
    EXPECT_EQ(scope.error->line, 3u);
    ASSERT_EQ(scope.channels[0].points.ys.size(), 2u);
    EXPECT_EQ(scope.channels[0].points.ys[1], 25);
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

std::string withLineEnds(std::string text, const std::string& lineEnd) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t end = text.find("\r\n", pos);
    out.append(text, pos, end - pos);
    if (end == std::string::npos) {
      break;
    }
    out += lineEnd;
    pos = end + 2;
  }
  return out;
}

// CR alone ends a line as LF and CR LF do, in the first line (which sets the channels) and
// at the cuts between the blocks that the two threads read.
TEST(CsvReaders, LineEndsCrLfLfOrCrAloneReadTheSame) {
  std::string osc;
  for (std::size_t i = 0; i < 150000; ++i) {  // about 10 MB: several parallel rounds
    const double t = static_cast<double>(i) * 1e-9;
    osc += oscLine({{i == 0 ? "Record Length" : "", "", t, static_cast<double>(i % 1000)},
                    {i == 7 ? "Source" : "", i == 7 ? "CH2" : "", t, -static_cast<double>(i)}});
  }
  std::string plain;
  for (std::size_t i = 0; i < 600000; ++i) {
    plain += std::to_string(i) + "e-9," + std::to_string(i % 977) + "\r\n";
  }
  const CsvData oscCrLf = readOscilloscopeCsv(osc, '.');
  const CsvData plainCrLf = readPlainCsv(plain, '.');
  ASSERT_FALSE(oscCrLf.error);
  ASSERT_EQ(oscCrLf.channels.size(), 2u);
  ASSERT_EQ(oscCrLf.channels[0].points.xs.size(), 150000u);
  ASSERT_FALSE(plainCrLf.error);
  ASSERT_EQ(plainCrLf.channels[0].points.xs.size(), 600000u);
  for (const std::string lineEnd : {"\n", "\r"}) {
    const std::string oscText = withLineEnds(osc, lineEnd);
    EXPECT_TRUE(isOscilloscopeCsv(oscText));
    EXPECT_FALSE(isOscilloscopeCsv(withLineEnds("0,1\r\nRecord Length\r\n", lineEnd)));
    EXPECT_EQ(oscilloscopeChannelCount(oscText), 2u);
    const CsvData oscData = readOscilloscopeCsv(oscText, '.');
    ASSERT_FALSE(oscData.error) << oscData.error->message;
    ASSERT_EQ(oscData.channels.size(), 2u);
    EXPECT_EQ(oscData.channels[1].title, "CH2");
    for (std::size_t c = 0; c < 2; ++c) {
      EXPECT_EQ(oscData.channels[c].points.xs, oscCrLf.channels[c].points.xs);
      EXPECT_EQ(oscData.channels[c].points.ys, oscCrLf.channels[c].points.ys);
    }
    const CsvData plainData = readPlainCsv(withLineEnds(plain, lineEnd), '.');
    ASSERT_FALSE(plainData.error);
    EXPECT_EQ(plainData.channels[0].points.xs, plainCrLf.channels[0].points.xs);
    EXPECT_EQ(plainData.channels[0].points.ys, plainCrLf.channels[0].points.ys);
  }
  // A bad line is counted with CR alone as the line end too.
  const CsvData bad = readPlainCsv("0,1\r1,2\r\r3,4\r", '.');
  ASSERT_TRUE(bad.error);
  EXPECT_EQ(bad.error->line, 3u);
  EXPECT_EQ(bad.channels[0].points.xs.size(), 2u);
}

// Sanitizer builds bring their own allocator, which the C library's figures do not see.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARVIK_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TARVIK_SANITIZER_ALLOCATOR 1
#endif
#endif
#ifdef TARVIK_SANITIZER_ALLOCATOR
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

std::size_t heapInUse() {
#ifdef TARVIK_SANITIZER_ALLOCATOR
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

// Exports may carry the "Source" label on every row. The graphs are those of a file that
// names each channel once, and the row labels are not kept row by row: the reader's heap
// stays that of the same file without them. The last label of a channel names it.
TEST(OscilloscopeCsv, SourceLabelOnEveryRowKeepsOneTitlePerChannel) {
  const std::size_t lines = 200000;  // about 11 MB: two parallel rounds
  auto exportFile = [&](bool labelOnEveryRow) {
    std::string file;
    for (std::size_t i = 0; i < lines; ++i) {
      const bool last = i + 1 == lines;
      // "Sample" is as long as "Source", so both files have the same size.
      const std::string label = i == 0                                ? "Record"
                                : (labelOnEveryRow || i == 1 || last) ? "Source"
                                                                      : "Sample";
      const double t = static_cast<double>(i) * 1e-9;
      file += oscLine({{label, last ? "Last" : "Chan", t, static_cast<double>(i % 100)},
                       {label, "Chn2", t, static_cast<double>(i % 7)}});
    }
    file.replace(0, 6, "Record Length");
    return file;
  };
  const std::string everyRow = exportFile(true);
  const std::string fewRows = exportFile(false);
  ASSERT_EQ(everyRow.size(), fewRows.size());
  auto readMeasured = [](const std::string& file, std::size_t& peak) {
    peak = 0;
    return readOscilloscopeCsv(file, '.',
                               [&peak](std::size_t) { peak = std::max(peak, heapInUse()); });
  };
  std::size_t peakEveryRow = 0;
  std::size_t peakFewRows = 0;
  const CsvData a = readMeasured(everyRow, peakEveryRow);
  const CsvData b = readMeasured(fewRows, peakFewRows);
  ASSERT_FALSE(a.error);
  ASSERT_FALSE(b.error);
  for (std::size_t c = 0; c < 2; ++c) {
    EXPECT_EQ(a.channels[c].points.xs, b.channels[c].points.xs);
    EXPECT_EQ(a.channels[c].points.ys, b.channels[c].points.ys);
    EXPECT_EQ(a.channels[c].title, b.channels[c].title);
  }
  EXPECT_EQ(a.channels[0].title, "Last");
  EXPECT_EQ(a.channels[1].title, "Chn2");
  const std::size_t pointBytes = lines * 2 * 16;
  if (peakFewRows < pointBytes) {
    GTEST_SKIP() << "this build's allocator does not report its heap";
  }
  EXPECT_LT(peakEveryRow, peakFewRows + pointBytes / 4);
}

}  // namespace
}  // namespace tarvik
