// The per-channel time columns of the oscilloscope export: a channel whose time text repeats
// the first channel's takes its value, and every other text is read on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/NumberFormat.h"
#include "io/CsvReaders.h"

namespace tarvik {
namespace {

// Line 1 sets every channel's origin at -1 ms, before all the times below, so the points
// keep the order of the lines.
const std::string kFirstLine =
    "Record Length,2,,-1e-3,1,,Record Length,2,,-1e-3,1,,Record Length,2,,-1e-3,1,\r\n";

// A line of the three-channel export with the given time texts; the samples are 1, 2, 3.
std::string timesLine(const std::string& t0, const std::string& t1, const std::string& t2) {
  return ",,," + t0 + ",1,,,,," + t1 + ",2,,,,," + t2 + ",3,\r\n";
}

std::uint64_t bitsOf(double value) { return std::bit_cast<std::uint64_t>(value); }

// What a time text gives on its own: nanoseconds from the origin of line 1.
double nanosecondsOf(const std::string& text) {
  return *parseCsvNumber(text, '.') * 1e9 - *parseCsvNumber("-1e-3", '.') * 1e9;
}

// Reads line 1, the line of `times` and, when `closed`, a last line after all of them, so
// that the times are read both well before the end of the text and at its very end.
// Expects every channel's X on the second line to be what its own text gives.
void expectOwnTimes(const std::vector<std::string>& times, bool closed) {
  SCOPED_TRACE(closed ? "followed by a line" : "at the end of the text");
  std::string file = kFirstLine + timesLine(times[0], times[1], times[2]);
  if (closed) {
    file += timesLine("1e30", "1e30", "1e30");
  }
  const CsvData data = readOscilloscopeCsv(file, '.');
  ASSERT_FALSE(data.error) << data.error->message;
  for (std::size_t c = 0; c < 3; ++c) {
    ASSERT_EQ(data.channels[c].points.xs.size(), closed ? 3u : 2u);
    EXPECT_EQ(bitsOf(data.channels[c].points.xs[1]), bitsOf(nanosecondsOf(times[c])))
        << "channel " << c << ": " << times[c];
    EXPECT_EQ(data.channels[c].points.ys[1], static_cast<double>(c + 1));
  }
}

// Pairs of texts that differ in one byte at every place a word comparison could miss (first
// byte, the eighth and ninth, the last before the comma), that are prefixes of each other,
// that spell one value in two ways, or that are too long to be compared by words; each in
// the three arrangements over the channels.
TEST(OscilloscopeCsvTimes, EachChannelReadsItsOwnTimeText) {
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"1e-9", "1.0e-9"},
      {"1e-9", "1e-90"},
      {"2.5e-9", "3.5e-9"},
      {"-3.000002e-04", "-3.000003e-04"},
      {"-3.000002e-04", "-3.000002e-05"},
      {"-3.000002e-04", "+3.000002e-04"},
      {"-3.000002e-04", "-4.000002e-04"},
      {"1.234567e-4", "1.234568e-4"},
      {"1.2345678e-9", "1.2345679e-9"},
      {"0.000000001", "0.0000000010"},
      {"123456789012345", "123456789012346"},
      {"12345678", "12345679"},
      {"1.00000000000000000e-09", "1.00000000000000001e-09"},
      {" 1e-9", "1e-9"},
  };
  for (const auto& [a, b] : pairs) {
    SCOPED_TRACE(a + " / " + b);
    for (const bool closed : {true, false}) {
      expectOwnTimes({a, b, a}, closed);
      expectOwnTimes({b, a, b}, closed);
      expectOwnTimes({a, a, b}, closed);
    }
  }
}

// The same text in every channel, also when the first channel's took the full parser (a
// blank), when it is too long for the fast conversion or for a comparison by words.
TEST(OscilloscopeCsvTimes, RepeatedTimeTextGivesTheFirstChannelsValue) {
  for (const std::string t : {"1.5e-9", " 7.25e-9", "2.0000000000000000000001e-9", "-3.000002e-04",
                              "12345678", "1234567890123456"}) {
    SCOPED_TRACE(t);
    for (const bool closed : {true, false}) {
      expectOwnTimes({t, t, t}, closed);
    }
  }
}

// A later channel's time that is empty, missing (a shorter line) or does not convert stops
// the read at its line with the message of that field, whatever the first channel's time.
TEST(OscilloscopeCsvTimes, BadTimeOfALaterChannelStopsAtItsLine) {
  struct Case {
    std::string lines;
    std::string message;
    std::vector<std::size_t> kept;
  };
  const std::string good = timesLine("1e-9", "1e-9", "1e-9");
  const std::vector<Case> cases = {
      {good + ",,,2e-9,1,,,,,,2,,,,,2e-9,3,\r\n" + good, "''", {3, 2, 2}},
      {good + ",,,2e-9,1,,,,,2e-9,2,\r\n" + good, "''", {3, 3, 2}},
      {good + ",,,2e-9,1,\r\n" + good + good, "''", {3, 2, 2}},
      {good + timesLine("2e-9", "2e-9x", "2e-9") + good, "'2e-9x'", {3, 2, 2}},
      {good + timesLine("2e-9", "2e-9", "2e-9 e") + good, "'2e-9 e'", {3, 3, 2}},
      {good + timesLine("-3.000002e-04", "-3.000002e-04;", "1") + good,
       "'-3.000002e-04;'",
       {3, 2, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    const CsvData data = readOscilloscopeCsv(kFirstLine + c.lines, '.');
    ASSERT_TRUE(data.error);
    EXPECT_EQ(data.error->message, c.message + " is not a valid floating point value");
    EXPECT_EQ(data.error->line, 3u);
    for (std::size_t channel = 0; channel < 3; ++channel) {
      EXPECT_EQ(data.channels[channel].points.xs.size(), c.kept[channel]) << channel;
    }
  }
}


// The X of a channel read with shared times: its own array or that of the channel it names.
const std::vector<double>& xsOf(const CsvData& data, std::size_t c) {
  const CsvChannel& channel = data.channels[c];
  return channel.xOfChannel ? data.channels.at(*channel.xOfChannel).points.xs : channel.points.xs;
}

// A three-channel export of `lines` lines whose times rise by 1 ns a line or, when
// `falling`, fall by as much. Channel 2 takes the text `other` gives for line i from line
// `otherFrom` on (1-based; 0 for never).
using TimeText = std::string (*)(std::size_t line);
std::string threeChannels(std::size_t lines, bool falling, std::size_t otherFrom, TimeText other) {
  std::string file = kFirstLine;
  for (std::size_t i = 2; i <= lines; ++i) {
    const std::string t = std::to_string(falling ? 1000000 - i : i) + "e-9";
    file += timesLine(t, t, otherFrom != 0 && i >= otherFrom ? other(i) : t);
  }
  return file;
}

// Read with shared times, every channel has the points of the read with a copy per channel,
// bit for bit; a channel refers to channel 0 exactly when all its X are channel 0's and the
// points needed no reordering. The files are long enough for many parallel blocks, and the
// different time text starts in the first block, in a later one, on the last line, or
// spells the same values.
TEST(OscilloscopeCsvTimes, SharedTimesGiveTheSamePointsAsCopies) {
  struct Case {
    bool falling;
    std::size_t otherFrom;
    TimeText other;
    bool channel1Shares, channel2Shares;
  };
  const std::size_t lines = 150000;  // about 12 MB
  const TimeText respelled = [](std::size_t i) { return std::to_string(i) + ".0e-9"; };
  const TimeText later = [](std::size_t i) { return std::to_string(i + 1) + "e-9"; };
  const TimeText constant = [](std::size_t) { return std::string("1e-3"); };
  const TimeText early = [](std::size_t) { return std::string("-1"); };
  const std::vector<Case> cases = {
      {false, 0, nullptr, true, true},    {false, 2, respelled, true, true},
      {false, 3, later, true, false},     {false, 100, constant, true, false},
      {false, 90001, early, true, false}, {false, lines, later, true, false},
      {true, 0, nullptr, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.otherFrom);
    const std::string file = threeChannels(lines, c.falling, c.otherFrom, c.other);
    const CsvData copies = readOscilloscopeCsv(file, '.');
    const CsvData shared = readOscilloscopeCsv(file, '.', {}, CsvTimes::sharedWhereEqual);
    ASSERT_FALSE(copies.error);
    ASSERT_FALSE(shared.error);
    for (std::size_t channel = 0; channel < 3; ++channel) {
      EXPECT_FALSE(copies.channels[channel].xOfChannel);
      ASSERT_EQ(xsOf(shared, channel).size(), lines);
      EXPECT_TRUE(std::equal(
          copies.channels[channel].points.xs.begin(), copies.channels[channel].points.xs.end(),
          xsOf(shared, channel).begin(), [](double a, double b) { return bitsOf(a) == bitsOf(b); }))
          << channel;
      EXPECT_EQ(shared.channels[channel].points.ys, copies.channels[channel].points.ys);
    }
    EXPECT_FALSE(shared.channels[0].xOfChannel);
    EXPECT_EQ(shared.channels[1].xOfChannel.has_value(), c.channel1Shares);
    EXPECT_EQ(shared.channels[2].xOfChannel.has_value(), c.channel2Shares);
    EXPECT_EQ(shared.channels[2].points.xs.empty(), c.channel2Shares);
  }
}

// On an error a channel with fewer points than channel 0 keeps its own X.
TEST(OscilloscopeCsvTimes, ChannelStoppedShortHasItsOwnTimes) {
  const std::string file = kFirstLine + timesLine("1e-9", "1e-9", "1e-9") +
                           timesLine("2e-9", "2e-9", "x") + timesLine("3e-9", "3e-9", "3e-9");
  const CsvData data = readOscilloscopeCsv(file, '.', {}, CsvTimes::sharedWhereEqual);
  ASSERT_TRUE(data.error);
  EXPECT_EQ(data.error->line, 3u);
  EXPECT_EQ(data.channels[1].xOfChannel, std::optional<std::size_t>(0));
  EXPECT_FALSE(data.channels[2].xOfChannel);
  EXPECT_EQ(data.channels[2].points.xs, (std::vector<double>{0, 1e-9 * 1e9 + 1e6}));
  EXPECT_EQ(data.channels[2].points.ys.size(), 2u);
}

}  // namespace
}  // namespace tarvik
