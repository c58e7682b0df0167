#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "io/CsvReaders.h"
#include "io/ScopeRecord.h"

namespace tarvik {
namespace {

ScopeRecord readText(const std::string& text, char separator = '.') {
  EXPECT_TRUE(looksLikeScopeCsv(text)) << text.substr(0, 200);
  return readScopeCsv(ScopeInput{text, "/data/capture.csv", {}, separator});
}

std::vector<std::string> titlesOf(const ScopeRecord& record) {
  std::vector<std::string> titles;
  for (const ScopeTrace& trace : record.traces) {
    titles.push_back(trace.title);
  }
  return titles;
}

std::string errorOf(const std::string& text) {
  try {
    readScopeCsv(ScopeInput{text, "/data/capture.csv", {}, '.'});
  } catch (const ScopeFormatError& error) {
    return error.what();
  }
  return "no error";
}

TEST(ScopeCsv, RigolSequenceTakesItsIntervalFromTheIncrementCell) {
  const ScopeRecord record = readText(
      "X,CH1,CH4,Start,Increment,\r\n"
      "Sequence,Volt,Volt,-1.200000e-03,4.000000e-08\r\n"
      "0,2.86e+00,3.08e+00,\r\n"
      "1,2.90e+00,3.12e+00,\r\n"
      "2,2.94e+00,3.04e+00,\r\n");
  ASSERT_EQ(titlesOf(record), (std::vector<std::string>{"CH1", "CH4"}));
  for (const ScopeTrace& trace : record.traces) {
    EXPECT_EQ(trace.points.xs, (std::vector<double>{0.0, 1 * (4e-08 * 1e9), 2 * (4e-08 * 1e9)}));
  }
  EXPECT_EQ(record.traces[0].points.ys, (std::vector<double>{2.86, 2.90, 2.94}));
  EXPECT_EQ(record.traces[1].points.ys, (std::vector<double>{3.08, 3.12, 3.04}));
}

TEST(ScopeCsv, RigolSecondsAndTheDs1000dHeaderUseTheTimeColumn) {
  // The trailing blank cell past the last channel belongs to no column.
  const ScopeRecord seconds = readText(
      ",CH1,CH2\r\nSecond,Volt,Volt\r\n"
      "-3.27680e-02,3.04e+00,9.40e+00, \r\n"
      "-3.27600e-02,3.00e+00,9.20e+00, \r\n");
  ASSERT_EQ(titlesOf(seconds), (std::vector<std::string>{"CH1", "CH2"}));
  EXPECT_EQ(seconds.traces[1].points.xs,
            (std::vector<double>{0.0, (-3.27600e-02 - -3.27680e-02) * 1e9}));
  EXPECT_EQ(seconds.traces[1].points.ys, (std::vector<double>{9.4, 9.2}));

  const ScopeRecord ds1000d = readText("X,CH 1 (V),CH 2 (mV)\n-0.00468800,8.08,840\n"
                                       "-0.00467799,4.88,-120\n");
  ASSERT_EQ(titlesOf(ds1000d), (std::vector<std::string>{"CH 1", "CH 2"}));
  EXPECT_EQ(ds1000d.traces[1].points.ys, (std::vector<double>{0.84, -0.12}));
  EXPECT_NEAR(ds1000d.traces[0].points.xs[1], 10010.0, 1e-6);
}

TEST(ScopeCsv, KeysightSignedEngineeringNumbers) {
  const ScopeRecord record = readText(
      "x-axis,1,2\nsecond,Volt,Volt\n"
      "-1.00000E-06,-402.01005E-06,-201.00502E-06\n"
      "-999.00E-09,-402.01005E-06,+0.0E+00\n"
      "+1.00E-09,+603.01507E-06,-0.0E+00\n");
  ASSERT_EQ(titlesOf(record), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(record.traces[0].points.ys,
            (std::vector<double>{-402.01005E-06, -402.01005E-06, 603.01507E-06}));
  EXPECT_EQ(record.traces[1].points.xs,
            (std::vector<double>{0.0, (-999.00E-09 - -1.00000E-06) * 1e9, (1e-9 + 1e-6) * 1e9}));
  EXPECT_TRUE(std::signbit(record.traces[1].points.ys[2]));
}

TEST(ScopeCsv, TektronixHeaderRowsGiveIntervalUnitAndTitle) {
  const ScopeRecord record = readText(
      "Model,TBS1052C\r\nFirmware Version,v1.3\r\n\r\nPoint Format,Y\r\n"
      "Horizontal Units,S\r\nSample Interval,0.0008\r\nRecord Length,3\r\n"
      "Vertical Units,mV\r\nLabel,\r\nTIME,CH1\r\n"
      "-8.000e-01,-1320\r\n-7.992e-01,-440\r\n-7.984e-01,-1\r\n\r\n");
  ASSERT_EQ(titlesOf(record), std::vector<std::string>{"CH1"});
  // The interval as written, not the times printed with three digits.
  EXPECT_EQ(record.traces[0].points.xs, (std::vector<double>{0.0, 0.0008 * 1e9, 2 * (0.0008 * 1e9)}));
  EXPECT_EQ(record.traces[0].points.ys, (std::vector<double>{-1.32, -0.44, -0.001}));

  // One value a channel, in the channels' order; no interval: the TIME column.
  const ScopeRecord two = readText(
      "Model,MSO2024\nHorizontal Units,S,\nVertical Units,V,mV,\nLabel,,,\nTIME,CH1,CH2,\n"
      "-4.0e-02,0.5,80,\n-3.9e-02,0.25,-40,\n");
  ASSERT_EQ(titlesOf(two), (std::vector<std::string>{"CH1", "CH2"}));
  EXPECT_EQ(two.traces[0].points.ys, (std::vector<double>{0.5, 0.25}));
  EXPECT_EQ(two.traces[1].points.ys, (std::vector<double>{0.08, -0.04}));
  EXPECT_EQ(two.traces[1].points.xs, (std::vector<double>{0.0, (-3.9e-02 - -4.0e-02) * 1e9}));
}

TEST(ScopeCsv, TektronixKeysInTheFirstColumnsDataInTheLaterOnes) {
  // Five cells a line: the "Record Length" reader finds no whole channel in it.
  const std::string file =
      "Record Length,3,,-0.0025,0.04\r\n"
      "Sample Interval,1e-05,s,-0.00249,0.08\r\n"
      "Trigger Point,250,,-0.00248,0.12\r\n"
      "Source,CH2,,,\r\n";
  ASSERT_TRUE(oscilloscopeChannelCount(file) == 0);
  const ScopeRecord record = readText(file);
  ASSERT_EQ(titlesOf(record), std::vector<std::string>{"CH2"});
  EXPECT_EQ(record.traces[0].points.xs, (std::vector<double>{0.0, 1e-05 * 1e9, 2 * (1e-05 * 1e9)}));
  EXPECT_EQ(record.traces[0].points.ys, (std::vector<double>{0.04, 0.08, 0.12}));
}

TEST(ScopeCsv, SiglentSourceRowAndPerChannelInterval) {
  const std::string file =
      "Record Length,Analog:3,,,\n"
      "Sample Interval,CH1:0.0000020000000,CH2:0.0000020000000\n"
      "Vertical Units,CH1:V,CH2:V,,\n"
      "Source,CH1,CH2\n"
      "Second,Volt,Volt\n"
      " 0.00000000000,1.16000,-2\n"
      " 0.00000200000,1.18000,-3\n"
      " 0.00000400000,1.20000,\n";
  ASSERT_TRUE(isOscilloscopeCsv(file));
  const ScopeRecord record = readText(file);
  ASSERT_EQ(titlesOf(record), (std::vector<std::string>{"CH1", "CH2"}));
  EXPECT_EQ(record.traces[0].points.xs, (std::vector<double>{0.0, 2e-6 * 1e9, 2 * (2e-6 * 1e9)}));
  EXPECT_EQ(record.traces[0].points.ys, (std::vector<double>{1.16, 1.18, 1.2}));
  EXPECT_EQ(record.traces[1].points.ys, (std::vector<double>{-2, -3}));  // empty last cell
}

TEST(ScopeCsv, RsPicoscopeAndDigilentUnitsInTheHeader) {
  const ScopeRecord rs = readText("in s,C1 in V,C2 in mV\r\n-6.00000E-01,5.416523E+00,69.4727\r\n"
                                  "-5.99880E-01,5.445820E+00,64.5898\r\n");
  ASSERT_EQ(titlesOf(rs), (std::vector<std::string>{"C1", "C2"}));
  EXPECT_EQ(rs.traces[1].points.ys, (std::vector<double>{69.4727 / 1000, 64.5898 / 1000}));
  EXPECT_EQ(rs.traces[0].points.xs[1], (-5.99880E-01 - -6.00000E-01) * 1e9);

  const ScopeRecord pico = readText("Time,Channel A\r\n(ms),(mV)\r\n\r\n-0.34927999,-0.45778\r\n"
                                    "-0.34799999,-0.45778\r\n");
  ASSERT_EQ(titlesOf(pico), std::vector<std::string>{"Channel A"});
  EXPECT_EQ(pico.traces[0].points.xs, (std::vector<double>{0.0, (-0.34799999 - -0.34927999) * 1e6}));
  EXPECT_EQ(pico.traces[0].points.ys[0], -0.45778 / 1000);
  const ScopeRecord quoted =
      readText("\"Time\",\"Channel A\"\n\"(us)\",\"(V)\"\n\n1.5,-2\n2.5,-3\n");
  ASSERT_EQ(titlesOf(quoted), std::vector<std::string>{"Channel A"});
  EXPECT_EQ(quoted.traces[0].points.xs, (std::vector<double>{0.0, 1000.0}));

  const ScopeRecord digilent = readText(
      "#Digilent WaveForms Oscilloscope Acquisition\n#Sample rate: 1.5873e+06Hz\n#Samples: 2\n"
      "Time (s),Channel 1 (V),Channel 2 (V)\n-0.00258048,0.39,-8.87\n-0.00257985,0.40,-8.86\n");
  EXPECT_EQ(titlesOf(digilent), (std::vector<std::string>{"Channel 1", "Channel 2"}));
  EXPECT_EQ(digilent.traces[1].points.ys, (std::vector<double>{-8.87, -8.86}));
}

TEST(ScopeCsv, EmptyCellsAreNoSamplesAndEachChannelStartsAtItsFirstSample) {
  const ScopeRecord record = readText(
      "Time (s),A (V),B (V),C (V)\n"
      "0.000,,5,\n"
      "0.001,1,,\n"
      "0.002,2,6\n"
      "0.003, 3 ,,\n");
  ASSERT_EQ(titlesOf(record), (std::vector<std::string>{"A", "B"}));  // C never has a sample
  EXPECT_EQ(record.traces[0].points.ys, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(record.traces[0].points.xs[0], 0.0);
  EXPECT_NEAR(record.traces[0].points.xs[2], 2e6, 1e-6);
  EXPECT_EQ(record.traces[1].points.ys, (std::vector<double>{5, 6}));
  EXPECT_NEAR(record.traces[1].points.xs[1], 2e6, 1e-6);

  // With a header interval an empty cell still takes its row's sample time.
  const ScopeRecord uniform = readText(
      "X,CH1,CH2,Start,Increment,\nSequence,Volt,Volt,0,1e-06\n0,,1,\n1,2,,\n2,3,4,\n");
  EXPECT_EQ(uniform.traces[0].points.xs, (std::vector<double>{0.0, 1000.0}));
  EXPECT_EQ(uniform.traces[1].points.xs, (std::vector<double>{0.0, 2000.0}));
}

TEST(ScopeCsv, FilesTheListedCsvPathReadsAreNotClaimed) {
  // The "Record Length" layout with whole channels, plain two-column CSV, a plain graph file.
  EXPECT_FALSE(looksLikeScopeCsv("Record Length,2,,-1e-9,0.5,\r\nSource,CH1,,0,0.25,\r\n"));
  EXPECT_FALSE(looksLikeScopeCsv("0,1\n1e-9,2\n"));
  EXPECT_FALSE(looksLikeScopeCsv("0 1\n1 2\n"));
  EXPECT_FALSE(looksLikeScopeCsv("-1.0e-3,5\nTime,CH1\n0,1\n"));
  // Header text the listed path refuses, but of no known dialect, stays refused as today.
  EXPECT_FALSE(looksLikeScopeCsv("foo,bar\n1,2\n"));
  EXPECT_FALSE(looksLikeScopeCsv("Time,Channel A\n1,2\n"));  // no units row
  // A spectrum is not a record in time.
  EXPECT_FALSE(looksLikeScopeCsv("Horizontal Units,Hz\nTIME,CH1\n1,2\n"));
  // Header without data, and no text at all.
  EXPECT_FALSE(looksLikeScopeCsv("x-axis,1\nsecond,Volt\n"));
  EXPECT_FALSE(looksLikeScopeCsv(""));
  EXPECT_FALSE(looksLikeScopeCsv(std::string("\xA5\xA5\x00\x00", 4)));
  // The "Record Length" reader reads a broken first channel's later line as partial: not ours.
  EXPECT_FALSE(looksLikeScopeCsv("Record Length,Analog:3,,0,1,\nSource,CH1\nSecond,Volt\n0,1\n"));
  EXPECT_TRUE(looksLikeScopeCsv("\xEF\xBB\xBFin s,C1 in V\n0,1\n"));
}

TEST(ScopeCsv, BadCellsNameTheFormatAndTheLine) {
  EXPECT_EQ(errorOf("x-axis,1,2\nsecond,Volt,Volt\n0,1,2\n\n1e-9,1,abc\n"),
            "Keysight CSV: строка 5: 'abc' is not a valid floating point value");
  EXPECT_EQ(errorOf("in s,C1 in V\n0,1\n1e-9,1.5.\n"),
            "R&S CSV: строка 3: '1.5.' is not a valid floating point value");
  // A sample without its time.
  EXPECT_EQ(errorOf("in s,C1 in V\n0,1\n,2\n"),
            "R&S CSV: строка 3: '' is not a valid floating point value");
  EXPECT_EQ(errorOf("X,CH1,Start,Increment,\nSequence,Volt,0,-4e-08\n0,1,\n"),
            "Rigol CSV: Increment = '-4e-08' не годится");
  EXPECT_EQ(errorOf("X,CH1,Start,\nSequence,Volt,0\n0,1,\n"),
            "Rigol CSV: нет Increment: отсчёты без шага по времени");
  EXPECT_EQ(errorOf("Model,T\nSample Interval,0\nTIME,CH1\n0,1\n"),
            "Tektronix CSV: Sample Interval = '0' не годится");
  EXPECT_EQ(errorOf("x-axis,1\nsecond,Volt\n0,\n1,\n"), "Keysight CSV: в файле нет отсчётов");
}

TEST(ScopeCsv, LargeRecordKeepsRowOrderAndSampleTimesAcrossBlocks) {
  // Far more than two parse blocks, so rows of the helper thread's blocks are numbered too.
  constexpr std::size_t kRows = 1'200'000;
  std::string file = "X,CH1,CH2,Start,Increment,\nSequence,Volt,mV,0,2.5e-09\n";
  file.reserve(kRows * 24);
  char line[64];
  for (std::size_t i = 0; i < kRows; ++i) {
    const int length =
        std::snprintf(line, sizeof line, "%zu,%zu.5,%s\n", i, i % 1000, i % 7 == 3 ? "" : "-25");
    file.append(line, static_cast<std::size_t>(length));
  }
  const ScopeRecord record = readText(file);
  ASSERT_EQ(record.traces.size(), 2u);
  const PointArrays& first = record.traces[0].points;
  ASSERT_EQ(first.xs.size(), kRows);
  for (std::size_t i = 0; i < kRows; i += 997) {
    ASSERT_EQ(first.xs[i], static_cast<double>(i) * (2.5e-09 * 1e9)) << i;
    ASSERT_EQ(first.ys[i], static_cast<double>(i % 1000) + 0.5) << i;
  }
  const PointArrays& second = record.traces[1].points;
  ASSERT_EQ(second.xs.size(), kRows - (kRows + 3) / 7);
  // The last row has no CH2 cell (1199999 % 7 == 3): CH2 ends on the row before.
  EXPECT_EQ(second.xs.back(), static_cast<double>(kRows - 2) * 2.5);
  EXPECT_EQ(second.xs[3], 4 * 2.5);  // row 3 skipped
  EXPECT_EQ(second.ys.back(), -0.025);

  // The stop button: the exception thrown from the progress call ends the reading.
  struct Stopped {};
  std::size_t reached = 0;
  const ScopeInput stopped{file, "big.csv",
                           [&](std::size_t end) {
                             reached = end;
                             throw Stopped{};
                           },
                           '.'};
  EXPECT_THROW(readScopeCsv(stopped), Stopped);
  EXPECT_GT(reached, 0u);
  EXPECT_LT(reached, file.size());
}

}  // namespace
}  // namespace tarvik
