// The extent the readers find block by block as they read: it must be the extent of the
// points they hand over, bit for bit, and be given only for points they did not reorder.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/PointsExtent.h"
#include "io/CsvReaders.h"
#include "io/PlainGraphReader.h"
#include "support/ExtentChecks.h"

namespace tarvik {
namespace {

const std::string kThreeChannelsFirstLine =
    "Record Length,2,,-1e-3,1,,Record Length,2,,-1e-3,-0,,Record Length,2,,-1e-3,1,\r\n";

const std::vector<double>& channelXs(const CsvData& data, std::size_t c) {
  const CsvChannel& channel = data.channels[c];
  return channel.xOfChannel ? data.channels.at(*channel.xOfChannel).points.xs : channel.points.xs;
}

// A given extent is the extent of the points, zero signs included.
void expectExtentOf(const std::optional<PointsExtent>& got, std::span<const double> xs,
                    std::span<const double> ys) {
  testing::expectSameExtent(got, finiteExtent(xs, ys));
}

// Every channel whose extent is given has the extent of its points; returns how many
// channels had one.
std::size_t expectKnownExtentsHold(const CsvData& data) {
  std::size_t known = 0;
  for (std::size_t c = 0; c < data.channels.size(); ++c) {
    const CsvChannel& channel = data.channels[c];
    if (!channel.extent) {
      continue;
    }
    ++known;
    SCOPED_TRACE(c);
    expectExtentOf(*channel.extent, channelXs(data, c), channel.points.ys);
  }
  return known;
}

// Channel 0's time of line i (1 ns a line; 10 ns back on line `fallAt`), channel 1 the same
// text, channel 2 its own.
// The samples are zeros of both signs and values whose limits fall in later blocks, so a
// block's extent that were united out of order, or taken from a wrong range, would show.
std::string risingFile(std::size_t lines, std::size_t fallAt) {
  std::string file = kThreeChannelsFirstLine;
  for (std::size_t i = 2; i <= lines; ++i) {
    const std::size_t t =
        i == fallAt ? i - 10 : i;  // (as many digits: the lines keep their places)
    const std::string time = std::to_string(t) + "e-9";
    const std::string zero = i % 3 == 0 ? "-0" : "0.0";
    const std::string big = std::to_string(static_cast<double>(i % 1000) * 1e-3 * (i % 2 ? 1 : -1));
    file += ",,," + time + "," + zero + ",,,,," + time + "," + (i % 5 == 0 ? big : zero) + ",,,,," +
            std::to_string(2 * t) + "e-9," + big + ",\r\n";
  }
  return file;
}

// Long files read in many parallel blocks (1 MiB each), read with shared times and with
// copies: every known extent is the points' own, and all three channels have one.
TEST(ReadExtent, OscilloscopeCsvBlockByBlockIsThePointsExtent) {
  const std::string file = risingFile(120000, 0);  // about 7 MB
  for (const CsvTimes times : {CsvTimes::separate, CsvTimes::sharedWhereEqual}) {
    const CsvData data = readOscilloscopeCsv(file, '.', {}, times);
    ASSERT_FALSE(data.error);
    EXPECT_EQ(expectKnownExtentsHold(data), 3u);
    EXPECT_EQ(data.channels[1].xOfChannel.has_value(), times == CsvTimes::sharedWhereEqual);
  }
}

// One line whose time falls back, in the middle of a block, on a block's first line (where
// only the join of two blocks sees the fall) and on the very last line: the points are put
// in order and no extent is given, since the reordered points' zeros may come first in
// another order.
TEST(ReadExtent, OscilloscopeCsvFallingTimeGivesNoneAndOrderedPoints) {
  const std::size_t lines = 40000;
  const std::string plain = risingFile(lines, 0);
  // Where the second block starts: the first line start at least 1 MiB after line 2.
  const std::size_t second =
      plain.find("\r\n,,,", kThreeChannelsFirstLine.size() + (std::size_t{1} << 20) - 2) + 2;
  const std::size_t lineOfSecond =
      2 + static_cast<std::size_t>(std::count(
              plain.begin() + static_cast<std::ptrdiff_t>(kThreeChannelsFirstLine.size()),
              plain.begin() + static_cast<std::ptrdiff_t>(second), '\n'));
  for (const std::size_t fallAt :
       {std::size_t{500}, lineOfSecond - 1, lineOfSecond, lineOfSecond + 1, lines}) {
    SCOPED_TRACE(fallAt);
    const CsvData data =
        readOscilloscopeCsv(risingFile(lines, fallAt), '.', {}, CsvTimes::sharedWhereEqual);
    ASSERT_FALSE(data.error);
    for (std::size_t c = 0; c < 3; ++c) {
      EXPECT_FALSE(data.channels[c].extent) << c;
      EXPECT_TRUE(std::is_sorted(channelXs(data, c).begin(), channelXs(data, c).end())) << c;
    }
  }
}

// Points whose X is not finite (a time beyond what nanoseconds can hold) take no part: a
// channel left with line 1 alone has line 1's extent, its -0 sample included. A read stopped
// by a bad field gives the extent of the points it kept.
TEST(ReadExtent, OscilloscopeCsvNonFinitePointsAndStoppedReads) {
  const int lines = 30000;
  std::string file = kThreeChannelsFirstLine;
  for (int i = 2; i <= lines; ++i) {
    const std::string t = std::to_string(i) + "e-9";
    file += ",,," + t + "," + std::to_string(i % 17) + ",,,,,1e300,7,,,,," +
            (i == lines ? "1e300" : t) + "," +
            (i == 20000   ? "-5"
             : i == lines ? "-9"
                          : "1") +
            ",\r\n";
  }
  const CsvData whole = readOscilloscopeCsv(file, '.', {}, CsvTimes::sharedWhereEqual);
  ASSERT_FALSE(whole.error) << whole.error->message;
  EXPECT_EQ(expectKnownExtentsHold(whole), 3u);
  ASSERT_TRUE(whole.channels[1].extent && *whole.channels[1].extent);
  EXPECT_EQ(std::bit_cast<std::uint64_t>((*whole.channels[1].extent)->minY),
            std::bit_cast<std::uint64_t>(-0.0));
  EXPECT_EQ((*whole.channels[1].extent)->maxX, 0);
  ASSERT_TRUE(whole.channels[2].extent && *whole.channels[2].extent);
  EXPECT_EQ((*whole.channels[2].extent)->minY, -5);  // not line 30000's -9: its X is infinite

  const CsvData stopped = readOscilloscopeCsv(
      file + ",,,1,2,,,,,1,x,,,,,1,2,\r\n" + file.substr(kThreeChannelsFirstLine.size()), '.', {},
      CsvTimes::sharedWhereEqual);
  ASSERT_TRUE(stopped.error);
  EXPECT_EQ(stopped.channels[0].points.ys.size(), 30001u);
  EXPECT_EQ(stopped.channels[1].points.ys.size(), 30000u);
  EXPECT_EQ(expectKnownExtentsHold(stopped), 3u);
}

// The plain graph file in many blocks, with records split over two lines (an X at a line's
// end, its Y on the next, so a block may end inside a record and the next is read again)
// and zeros of both signs; then with one X falling back. The plain CSV the same way.
TEST(ReadExtent, PlainFilesGiveThePointsExtent) {
  for (const bool falling : {false, true}) {
    SCOPED_TRACE(falling);
    std::string grf;
    std::string csv;
    for (int i = 0; i < 200000; ++i) {
      const std::string x = std::to_string(falling && i == 150000 ? 3 : i);
      const std::string y = i % 3 == 0 ? "-0" : i % 3 == 1 ? "0.0" : std::to_string(i % 101 - 50);
      grf += x + (i % 7 == 0 ? "\n" : " ") + y + " text\n";
      csv += x + "e-9," + y + "\r\n";
    }
    const PlainGraphData plain = readPlainGraph(grf);
    ASSERT_FALSE(plain.error);
    ASSERT_EQ(plain.points.ys.size(), 200000u);
    EXPECT_EQ(plain.extent.has_value(), !falling);
    if (plain.extent) {
      expectExtentOf(*plain.extent, plain.points.xs, plain.points.ys);
    }
    const CsvData data = readPlainCsv(csv, '.');
    ASSERT_FALSE(data.error);
    EXPECT_EQ(expectKnownExtentsHold(data), falling ? 0u : 1u);
    EXPECT_TRUE(std::is_sorted(plain.points.xs.begin(), plain.points.xs.end()));
    EXPECT_TRUE(
        std::is_sorted(data.channels[0].points.xs.begin(), data.channels[0].points.xs.end()));
  }
}

}  // namespace
}  // namespace tarvik
