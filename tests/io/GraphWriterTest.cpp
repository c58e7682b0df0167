#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string_view>
#include <thread>

#include "core/Error.h"
#include "core/NumberFormat.h"
#include "core/TextCodec.h"
#include "io/AtomicFile.h"
#include "io/FileBytes.h"
#include "io/GraphWriter.h"
#include "io/PlainGraphReader.h"
#include "io/TempDir.h"

namespace tarvik {
namespace {

Graph graphOf(const std::string& title, const std::vector<std::pair<double, double>>& points) {
  Graph g;
  g.title = title;
  for (const auto& [x, y] : points) {
    g.appendPoint(x, y);
  }
  return g;
}

std::string cp(const std::string& utf8) { return utf8ToCp1251(utf8); }

TEST(GraphWriter, TwoPointsCarryTitleAndBottomAxisTitleOnly) {
  const Graph g = graphOf("Сигнал", {{0, 1.5}, {1e-9, -2}});
  const ChartTexts texts{"t, нс", "U, В", {""}};
  EXPECT_EQ(graphFileBytes(g, texts, '.'),
            "0 1.5 " + cp("Сигнал") + "\r\n1E-9 -2 " + cp("t, нс") + "\r\n");
}

TEST(GraphWriter, LinesZeroToFourCarryTextsAndEveryLineHasTheBlankAfterY) {
  const Graph g = graphOf("T", {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6.5}});
  // The fresh window's empty first foot line does not push "A" and "B" out of the file.
  const ChartTexts texts{"X", "Y", {"", "A", " ", "B", "C"}};
  EXPECT_EQ(graphFileBytes(g, texts, ','),
            "1 1 T\r\n2 2 X\r\n3 3 Y\r\n4 4 A\r\n5 5 B\r\n6 6,5 \r\n");
  EXPECT_EQ(graphFileBytes(Graph{}, texts, '.'), "");
}

TEST(GraphWriter, NumbersInTheFifteenDigitGeneralFormat) {
  const Graph g = graphOf("", {{123456789012345.0, 1234567890123456.0},
                               {0.0001, 0.00001},
                               {std::numeric_limits<double>::infinity(), std::nan("")}});
  EXPECT_EQ(graphFileBytes(g, ChartTexts{}, '.'),
            "123456789012345 1.23456789012346E15 \r\n0.0001 1E-5 \r\nINF NAN \r\n");
}

TEST(GraphWriter, LineEndsInsideTextsBecomeBlanks) {
  const Graph g = graphOf("a\r\nb", {{1, 2}});
  EXPECT_EQ(graphFileBytes(g, ChartTexts{}, '.'), "1 2 a  b\r\n");
}

// Whatever the writer writes, the reader reads back: both separators, INF and NAN, and
// 15 significant digits.
TEST(GraphWriter, RoundTripThroughTheReader) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> exponent(-30, 30);
  Graph g;
  g.title = "Сигнал №1";
  for (int i = 0; i < 200; ++i) {
    g.appendPoint(i, mantissa(random) * std::pow(10.0, exponent(random)));
  }
  g.appendPoint(200, std::numeric_limits<double>::infinity());
  g.appendPoint(201, -std::numeric_limits<double>::infinity());
  g.appendPoint(202, std::nan(""));
  g.appendPoint(203, -0.0);
  const ChartTexts texts{"t, нс", "U, В", {"", "Подпись"}};
  for (char separator : {'.', ','}) {
    const PlainGraphData back = readPlainGraph(graphFileBytes(g, texts, separator));
    ASSERT_FALSE(back.error) << separator;
    ASSERT_EQ(back.points.xs.size(), g.size());
    for (std::size_t i = 0; i < g.size(); ++i) {
      EXPECT_EQ(back.points.xs[i], g.x(i));
      if (std::isnan(g.y(i))) {
        EXPECT_TRUE(std::isnan(back.points.ys[i]));
      } else if (std::isinf(g.y(i)) || g.y(i) == 0) {
        EXPECT_EQ(back.points.ys[i], g.y(i));
      } else {
        EXPECT_NEAR(back.points.ys[i], g.y(i), std::abs(g.y(i)) * 1e-14) << i;
      }
    }
    EXPECT_EQ(back.texts[0], "Сигнал №1");  // a 1251 letter keeps "№" from the DOS rule
    EXPECT_EQ(back.texts[1], "t, нс");
    EXPECT_EQ(back.texts[2], "U, В");
    EXPECT_EQ(back.texts[3], "Подпись");
  }
}

TEST(GraphWriter, WritesTheFileAndReplacesAnOldOne) {
  testing::TempDir dir;
  const std::string path = dir.write("g.srg", "old content");
  GraphStore store;
  store.bottomAxisTitle = "t";
  writeGraphFile(graphOf("new", {{1, 2}, {3, 4}}), store, path, '.');
  EXPECT_EQ(testing::TempDir::read(path), "1 2 new\r\n3 4 t\r\n");
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.folder()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(GraphWriter, FailureNamesTheFileAndLeavesTheOldOneWhole) {
  testing::TempDir dir;
  const std::string missing = dir.path("no such folder/g.srg");
  try {
    writeGraphFile(graphOf("g", {{1, 2}}), GraphStore{}, missing, '.');
    FAIL() << "no error";
  } catch (const IoError& e) {
    EXPECT_EQ(std::string(e.what()), "Невозможно записать файл:" + missing);
  }
  // A write that is abandoned half way (the program fails before the rename) never
  // touches the target.
  const std::string path = dir.write("keep.srg", "1 2 old\r\n");
  {
    AtomicFile file(path);
    file.write("3 4 half");
  }
  EXPECT_EQ(testing::TempDir::read(path), "1 2 old\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.folder()),
                          std::filesystem::directory_iterator()),
            1);
}

// The double a written number must read back as: the one nearest to its 15-digit text (as
// strtod reads it), where a text past the largest double only by that rounding reads as
// the largest double of its sign.
double nearestToWritten(double value) {
  std::string text = formatGeneral(value, 15, '.');
  const double nearest = std::strtod(text.c_str(), nullptr);
  return std::isinf(nearest) ? std::copysign(DBL_MAX, nearest) : nearest;
}

// Finite doubles from every part of the range, both signs: the edges of the range, the
// subnormals, powers of ten and the values just below them (which round up a decade), and
// random bit patterns.
std::vector<double> doublesAcrossTheRange() {
  std::vector<double> values = {0.0,
                                DBL_MAX,
                                std::nextafter(DBL_MAX, 0.0),
                                1.7976931348623155e308,
                                1.797693134862315e308,
                                1e308,
                                DBL_MIN,
                                std::nextafter(DBL_MIN, 0.0),
                                std::numeric_limits<double>::denorm_min(),
                                2 * std::numeric_limits<double>::denorm_min(),
                                2.2250738585072011e-308,
                                1e-320};
  for (int k = -323; k <= 308; ++k) {
    const double power = std::pow(10.0, k);
    values.push_back(power);
    values.push_back(std::nextafter(power, 0.0));
    if (k < 308) {
      values.push_back(power * 9.9999999999999995);
    }
  }
  std::mt19937_64 random(1234);
  while (values.size() < 100000) {
    const double value = std::bit_cast<double>(random());
    const double subnormal =
        std::bit_cast<double>(random() & ((std::uint64_t{1} << 52) - 1));  // exponent bits 0
    for (double v : {value, subnormal}) {
      if (std::isfinite(v)) {
        values.push_back(std::fabs(v));
      }
    }
  }
  const std::size_t positive = values.size();
  for (std::size_t i = 0; i < positive; ++i) {
    values.push_back(-values[i]);
  }
  return values;
}

bool sameDouble(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Every file the writer writes reopens: files of several MiB (written in buffered pieces of
// about a megabyte), with numbers from every part of the double range in X and in Y, and
// with both decimal separators. Each number reads back as the double nearest to its text.
TEST(GraphWriter, EveryWrittenFileReopensWithTheNumbersAsWritten) {
  std::vector<double> ys = doublesAcrossTheRange();
  std::vector<double> xs = ys;
  std::sort(xs.begin(), xs.end());  // ascending X: the reader keeps the order
  Graph g;
  g.title = "Сигнал";
  for (std::size_t i = 0; i < xs.size(); ++i) {
    g.appendPoint(xs[i], ys[i]);
  }
  GraphStore store;
  store.bottomAxisTitle = "t, нс";
  store.yAxisTitle = "U, В";
  testing::TempDir dir;
  for (char separator : {'.', ','}) {
    const std::string path = dir.path(std::string("range") + separator + ".srg");
    writeGraphFile(g, store, path, separator);
    const std::optional<FileBytes> file = FileBytes::open(path);
    ASSERT_TRUE(file);
    ASSERT_GT(file->bytes().size(), std::size_t{4} << 20);
    const PlainGraphData back = readPlainGraph(file->bytes());
    ASSERT_FALSE(back.error) << "line " << back.error->line;
    ASSERT_EQ(back.points.xs.size(), g.size());
    for (std::size_t i = 0; i < g.size(); ++i) {
      ASSERT_PRED2(sameDouble, back.points.xs[i], nearestToWritten(g.x(i))) << g.x(i);
      ASSERT_PRED2(sameDouble, back.points.ys[i], nearestToWritten(g.y(i))) << g.y(i);
    }
    EXPECT_EQ(back.texts[0], "Сигнал");
    EXPECT_EQ(back.texts[1], "t, нс");
    EXPECT_EQ(back.texts[2], "U, В");
  }
}

// The file as the plain rule gives it, line by line with the general formatter.
std::string referenceBytes(const Graph& g, const std::array<std::string, 5>& texts, char sep) {
  std::string bytes;
  for (std::size_t i = 0; i < g.size(); ++i) {
    bytes += formatGeneral(g.x(i), 15, sep) + " " + formatGeneral(g.y(i), 15, sep) + " " +
             (i < texts.size() ? texts[i] : std::string()) + "\r\n";
  }
  return bytes;
}

Graph noisyGraph(std::size_t n, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> noise(0.0, 0.004);
  Graph g;
  g.title = "CH1";
  for (std::size_t i = 0; i < n; ++i) {
    g.appendPoint(static_cast<double>(i) * 0.2, noise(random));
  }
  return g;
}

// The lines come out the same and in file order whatever the block size: one point per
// block, sizes that leave a short last block or none, one block for everything, and more
// blocks than the ring of buffers holds, so buffers are formatted again after being handed
// on. A consumer that now and then takes its time lets the formatting threads run ahead
// until they wait for a free buffer.
TEST(GraphWriter, EveryBlockSizeGivesTheSameBytesInOrder) {
  const Graph g = noisyGraph(2005, 11);
  const ChartTexts texts{"t, нс", "U, В", {"Подпись"}};
  const std::string expected =
      referenceBytes(g, {"CH1", cp("t, нс"), cp("U, В"), cp("Подпись"), ""}, ',');
  for (std::size_t block : {1, 2, 3, 7, 100, 1999, 2000, 2001, 5000}) {
    for (bool slowConsumer : {false, true}) {
      std::string bytes;
      std::size_t pieces = 0;
      formatGraphFile(
          g, texts, ',',
          [&](std::string_view piece) {
            if (slowConsumer && pieces % 97 == 5) {
              std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            bytes.append(piece);
            ++pieces;
          },
          block);
      ASSERT_EQ(bytes, expected) << "block " << block;
      // The lines with texts, then one piece per block.
      EXPECT_EQ(pieces, 1 + (g.size() - 5 + block - 1) / block) << "block " << block;
    }
  }
  EXPECT_THROW(formatGraphFile(
                   g, texts, '.', [](std::string_view) {}, 0),
               std::invalid_argument);
}

// A failure to write a piece (a full disk) ends the save with that failure, also while the
// other threads are formatting blocks ahead; the next save runs as usual.
TEST(GraphWriter, AFailureOfTheOutputEndsTheFormatting) {
  const Graph g = noisyGraph(20000, 12);
  for (std::size_t failAt : {1, 2, 50}) {
    std::size_t pieces = 0;
    EXPECT_THROW(formatGraphFile(
                     g, ChartTexts{}, '.',
                     [&](std::string_view) {
                       if (++pieces == failAt) {
                         throw IoError("disk full");
                       }
                     },
                     64),
                 IoError);
    EXPECT_EQ(pieces, failAt);
  }
  EXPECT_EQ(graphFileBytes(g, ChartTexts{}, '.'), referenceBytes(g, {"CH1", "", "", "", ""}, '.'));
}

}  // namespace
}  // namespace tarvik
