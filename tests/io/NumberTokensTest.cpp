// The readers' number routes against std::from_chars and strtod: the word-at-a-time route for
// the usual shapes (taken when 40 bytes can be read after the number), the digit loop (taken
// near the end of the bytes), and the CSV reader reading a line's last number up to the
// bytes after the line's end.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "io/CsvReaders.h"
#include "io/NumberTokens.h"
#include "io/ReadResult.h"

namespace tarvik {
namespace {

bool endsNumber(char c) { return c == ',' || static_cast<unsigned char>(c) <= 32; }

// fastNumber on `token` with nothing after it (the digit loop) and with `after` and 40
// separators after it (the word route) gives from_chars's value and end wherever from_chars
// reads a number that a separator or the end of the bytes follows, and refuses the rest.
void expectFromCharsResult(const std::string& token, const std::string& after) {
  for (const std::string& text : {token, token + after + std::string(40, ',')}) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    double want = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, want);
    const bool converts = ec == std::errc() && (ptr == end || endsNumber(*ptr));
    double got = -1;
    const char* stop = detail::fastNumber(
        begin, end, [](char c) { return endsNumber(c); }, got);
    SCOPED_TRACE(text);
    if (!converts) {
      ASSERT_EQ(stop, nullptr);
      continue;
    }
    ASSERT_EQ(stop, ptr);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(want));
    const std::string number(begin, ptr);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(got),
              std::bit_cast<std::uint64_t>(std::strtod(number.c_str(), nullptr)));
  }
}

std::string randomDigits(std::mt19937_64& random, std::size_t count) {
  std::string digits;
  for (std::size_t i = 0; i < count; ++i) {
    digits += static_cast<char>('0' + random() % 10);
  }
  return digits;
}

// Integer runs of 0 to 9 digits, fractions of 0 to 25, exponents in every form writers use
// and some they do not, and what may follow: every branch of the word route and its edges
// (runs of exactly 8, 16 and 24, mantissas of 19 and 20 digits, three exponent digits).
TEST(NumberTokens, WordShapesGiveFromCharsValuesAndEnds) {
  std::mt19937_64 random(25);
  static const char* const kExponents[] = {"",     "",     "e-04", "E+03", "e+22",  "e-22",
                                           "e-23", "e+23", "e5",   "e-5",  "E-123", "e+",
                                           "e",    "e-0",  "e+00", "e-1x", "E+1:"};
  static const char* const kAfter[] = {"", ",", " ", "\r\n", "\n", "x", ".5", "e", "-", "7"};
  for (int i = 0; i < 1000000; ++i) {
    std::string token = random() % 2 ? "-" : "";
    token += randomDigits(random, random() % 10);
    if (random() % 4 != 0) {
      token += '.';
      token += randomDigits(random, random() % 26);
    }
    token += kExponents[random() % std::size(kExponents)];
    expectFromCharsResult(token, kAfter[random() % std::size(kAfter)]);
  }
}

// Values at the edges of the exact paths: mantissas about 2^53 and of 19 and 20 digits,
// powers of ten about 10^±22, halfway cases between two doubles, zeros, and values that only
// the full parser reads (subnormals, overflow); each must read as strtod reads it.
TEST(NumberTokens, EdgeValuesReadAsStrtodReadsThem) {
  static const char* const kTokens[] = {"9007199254740992",
                                        "9007199254740993",
                                        "9007199254740994",
                                        "9007199254740993.0",
                                        "900719925474099.3",
                                        "0.9007199254740993",
                                        "1234567890123456789",
                                        "12345678901234567890",
                                        "1.234567890123456789",
                                        "0.000000000000000001",
                                        "1e22",
                                        "1e23",
                                        "1.7976931348623157e+308",
                                        "4.9406564584124654e-324",
                                        "2.2250738585072014e-308",
                                        "1e-22",
                                        "1.0e-22",
                                        "123.456e-20",
                                        "0.5",
                                        "2.5e-01",
                                        "0.1",
                                        "-0.0",
                                        "0.0e-99",
                                        "0",
                                        "1.00000000000000011102230246251565404236316680908203125",
                                        "1.0000000000000001110223024625156540423631668090820312",
                                        "8.98846567431158e307",
                                        "1.5e-320",
                                        "7.2057594037927933e+16",
                                        "3.0000000000000004",
                                        "0.30000000000000004",
                                        "1.9999999999999999"};
  for (const char* token : kTokens) {
    for (const std::string& text :
         {std::string(token), std::string(token) + std::string(40, ' ')}) {
      SCOPED_TRACE(text);
      double got = -1;
      const char* stop = detail::fastNumber(
          text.data(), text.data() + text.size(), [](char c) { return endsNumber(c); }, got);
      const double want = std::strtod(token, nullptr);
      if (stop == nullptr) {
        // The full parser decides; it gives strtod's value for every finite one.
        const std::optional<double> full = parseFileNumber(token);
        ASSERT_TRUE(full.has_value());
        EXPECT_EQ(std::bit_cast<std::uint64_t>(*full), std::bit_cast<std::uint64_t>(want));
        continue;
      }
      EXPECT_EQ(stop, text.data() + std::strlen(token));
      EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(want));
    }
  }
}

// The last number of a line is read up to the bytes after the line's end; whatever stands
// there (the next line's digits, its label, the end of the file) must not become part of it.
TEST(OscilloscopeCsv, LastNumberOfALineEndsAtTheLineEnd) {
  std::mt19937_64 random(9);
  for (const char* lineEnd : {"\r\n", "\n", "\r"}) {
    SCOPED_TRACE(lineEnd);
    std::string file;
    std::vector<std::string> times;
    std::vector<std::string> samples;
    for (int line = 0; line < 3000; ++line) {
      for (int c = 0; c < 2; ++c) {
        const std::string label = line == 0 ? "Record Length" : random() % 3 == 0 ? "12" : "";
        // Growing times (the reader keeps the lines' order then), with and without exponent.
        times.push_back(std::to_string(line) + "." + randomDigits(random, random() % 6) +
                        (random() % 2 ? "e+00" : ""));
        samples.push_back((random() % 2 ? "-" : "") + randomDigits(random, 1 + random() % 3) + "." +
                          randomDigits(random, random() % 16));
        // The first line has every channel's six fields; the others end at the last sample.
        file += (c == 0 ? "" : ",") + label + ",7,," + times.back() + "," + samples.back() +
                (c == 0 || line == 0 ? "," : "");
      }
      file += lineEnd;
    }
    for (const std::string& cut : {file, file.substr(0, file.size() - std::strlen(lineEnd))}) {
      const CsvData data = readOscilloscopeCsv(cut, '.');
      ASSERT_FALSE(data.error);
      ASSERT_EQ(data.channels.size(), 2u);
      for (std::size_t c = 0; c < 2; ++c) {
        const PointArrays& points = data.channels[c].points;
        ASSERT_EQ(points.ys.size(), 3000u);
        const double origin = std::strtod(times[c].c_str(), nullptr) * 1e9;
        for (std::size_t line = 0; line < 3000; ++line) {
          const std::size_t k = 2 * line + c;
          ASSERT_EQ(points.ys[line], std::strtod(samples[k].c_str(), nullptr)) << samples[k];
          ASSERT_EQ(points.xs[line], std::strtod(times[k].c_str(), nullptr) * 1e9 - origin)
              << times[k];
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarvik
