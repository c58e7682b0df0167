#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/NumberFormat.h"
#include "io/GeneralNumberText.h"

namespace tarvik {
namespace {

std::string fast(double v, char sep) {
  char buf[kGeneral15MaxChars];
  return std::string(buf, writeGeneral15(buf, v, sep));
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

}  // namespace
}  // namespace tarvik
