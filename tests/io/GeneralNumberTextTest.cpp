#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/NumberFormat.h"
#include "io/GeneralNumberText.h"

namespace tarvik {
namespace {

// Written into a heap block of exactly the room the writer asks for, so that the address
// sanitizer sees any byte written past it.
std::string fast(double v, char sep) {
  std::vector<char> buf(kGeneral15Room);
  char* end = writeGeneral15(buf.data(), v, sep);
  EXPECT_LE(static_cast<std::size_t>(end - buf.data()), kGeneral15MaxChars);
  return std::string(buf.data(), end);
}

// Every value must come out exactly as the general formatter writes it, with either
// separator.
void expectSameAsFormatter(const std::vector<double>& values) {
  for (double v : values) {
    for (char sep : {'.', ','}) {
      ASSERT_EQ(fast(v, sep), formatGeneral(v, 15, sep)) << std::hexfloat << v;
    }
  }
}

TEST(GeneralNumberText, EdgesOfTheDoubleRangeAndSpecialValues) {
  using L = std::numeric_limits<double>;
  std::vector<double> values = {0.0,
                                -0.0,
                                L::max(),
                                -L::max(),
                                L::min(),
                                L::denorm_min(),
                                -L::denorm_min(),
                                0x0.fffffffffffffp-1022,
                                0x0.8p-1022,
                                L::infinity(),
                                -L::infinity(),
                                L::quiet_NaN(),
                                -L::quiet_NaN(),
                                L::epsilon(),
                                123456789012345.0,
                                1234567890123456.0,
                                999999999999999.0,
                                999999999999999.5,
                                999999999999999.4,
                                100000000000000.5,  // exact halves of the 15th digit
                                100000000000001.5,
                                -123456789012345.5,
                                0.0001,
                                0.00001,
                                0.000099999999999999995,
                                1.5e-6,
                                2.5e20,
                                -120,
                                1.25,
                                1.000000000000005,
                                1.0000000000000049,
                                2.0000000000000051};
  // Every power of ten and its neighbours: the exponent and notation boundaries.
  for (int e = -324; e <= 308; ++e) {
    const double p = std::pow(10.0, e);
    values.push_back(p);
    values.push_back(std::nextafter(p, 0.0));
    values.push_back(std::nextafter(p, L::infinity()));
    values.push_back(-p * 9.999999999999995);
  }
  expectSameAsFormatter(values);
  EXPECT_EQ(fast(-0.0, '.'), "0");
  EXPECT_EQ(fast(-L::quiet_NaN(), '.'), "NAN");
  EXPECT_EQ(fast(-L::infinity(), ','), "-INF");
  EXPECT_EQ(fast(L::max(), ','), "1,79769313486232E308");
  EXPECT_EQ(fast(L::denorm_min(), '.'), "4.94065645841247E-324");
}

TEST(GeneralNumberText, RandomBitPatternsAndRecordedGrids) {
  std::mt19937_64 gen(2024);
  std::vector<double> values;
  for (int i = 0; i < 300000; ++i) {
    const double v = std::bit_cast<double>(gen());
    values.push_back(v);
  }
  // Values a recording holds: steps of a grid, short decimals, and sums of them, whose last
  // digits make the 15-digit rounding land near a half.
  std::uniform_int_distribution<int> exponent(-30, 40);
  std::uniform_int_distribution<std::int64_t> mantissa(1, 999999999999999);
  for (int i = 0; i < 300000; ++i) {
    values.push_back(static_cast<double>(i) * 0.1);
    values.push_back(static_cast<double>(i) * 1e-9 - 5e-6);
    const double decimal = static_cast<double>(mantissa(gen)) * std::pow(10.0, exponent(gen));
    values.push_back(decimal);
    // Half a unit of the 15th digit above a 15-digit decimal: the rounding's hardest case.
    values.push_back(decimal * (1 + 5e-16));
  }
  expectSameAsFormatter(values);
}

// Every binary exponent (so every shift of the exact scaling, with its remainder in the low
// word, past it, or none), each with the smallest, the largest and random mantissas.
TEST(GeneralNumberText, EveryBinaryExponent) {
  std::mt19937_64 gen(99);
  std::vector<double> values;
  for (std::uint64_t biased = 0; biased < 2047; ++biased) {
    for (std::uint64_t mantissa :
         {std::uint64_t{0}, (std::uint64_t{1} << 52) - 1, std::uint64_t{1}}) {
      values.push_back(std::bit_cast<double>((biased << 52) | mantissa));
    }
    for (int i = 0; i < 40; ++i) {
      const double v = std::bit_cast<double>((biased << 52) | (gen() >> 12));
      values.push_back(v);
      values.push_back(-v);
    }
  }
  expectSameAsFormatter(values);
}

// Every layout: each number of significant digits (1 to 15) at each decimal exponent from
// well inside the scientific range below to past it above, so every split of the digits by
// the separator, every run of zeros after "0." and every integer padded with zeros occurs.
TEST(GeneralNumberText, EveryDigitCountAtEveryExponent) {
  const std::string digits = "123456789123457";
  std::vector<double> values;
  for (int count = 1; count <= 15; ++count) {
    for (int e = -20; e <= 20; ++e) {
      const std::string text =
          digits.substr(0, static_cast<std::size_t>(count)) + "e" + std::to_string(e - count + 1);
      values.push_back(std::strtod(text.c_str(), nullptr));
      values.push_back(-values.back());
    }
  }
  expectSameAsFormatter(values);
  EXPECT_EQ(fast(1.23456789123457e14, '.'), "123456789123457");
  EXPECT_EQ(fast(1.2e14, ','), "120000000000000");
  EXPECT_EQ(fast(1.2345e3, ','), "1234,5");
  EXPECT_EQ(fast(-1.5e-4, '.'), "-0.00015");
  EXPECT_EQ(fast(1.5e-5, '.'), "1.5E-5");
  EXPECT_EQ(fast(1.23456789123457e15, '.'), "1.23456789123457E15");
}

// The digits are made in lanes of four, two and one digit: every value of a four-digit
// group in each group of a 15-digit number (the integers 10^14 + j·10^p, exact doubles;
// the first group has three digits and takes every value from 100 with j·10^11).
TEST(GeneralNumberText, EveryFourDigitGroupInEveryPlace) {
  std::vector<double> values;
  for (const auto& [place, count] :
       {std::pair{1.0, 10000}, {1e4, 10000}, {1e8, 10000}, {1e11, 9000}}) {
    for (int j = 0; j < count; ++j) {
      values.push_back(1e14 + static_cast<double>(j) * place);
    }
  }
  expectSameAsFormatter(values);
}

}  // namespace
}  // namespace tarvik
