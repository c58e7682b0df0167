#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "core/NumberFormat.h"
#include "io/NumberTokens.h"

namespace tarvik {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

struct FormatCase {
  double value;
  int digits;
  char sep;
  const char* expected;
};

TEST(FormatGeneral, Table) {
  const FormatCase cases[] = {
      {0.0, 15, '.', "0"},
      {-0.0, 15, '.', "0"},
      {1.5, 15, '.', "1.5"},
      {-2.0, 15, '.', "-2"},
      {120.0, 15, '.', "120"},
      {1.25, 15, ',', "1,25"},
      {1e-9, 15, '.', "1E-9"},
      {1.5e-6, 15, ',', "1,5E-6"},
      {2.5e20, 15, '.', "2.5E20"},
      {0.0001, 15, '.', "0.0001"},
      {0.0001, 15, ',', "0,0001"},
      {0.00001, 15, '.', "1E-5"},
      {-0.00012, 15, '.', "-0.00012"},
      {123456789012345.0, 15, '.', "123456789012345"},
      {1234567890123456.0, 15, '.', "1.23456789012346E15"},
      {1e14, 15, '.', "100000000000000"},
      {1e15, 15, '.', "1E15"},
      {1.0 / 3.0, 15, '.', "0.333333333333333"},
      {0.1, 15, '.', "0.1"},
      // Rounding carries into a new leading digit and may change the notation.
      {9.999999999999999e5, 15, '.', "1000000"},
      {999999999999999.9, 15, '.', "1E15"},
      {-9.9999999999999999e-5, 15, '.', "-0.0001"},
      // Rounding is of the double's exact value: 0.15 and 2.675 lie just below the tie.
      {0.15, 1, '.', "0.1"},
      {2.675, 3, '.', "2.67"},
      {-1.5e-300, 15, '.', "-1.5E-300"},
      {1.7976931348623157e308, 15, '.', "1.79769313486232E308"},
      {4.9406564584124654e-324, 15, '.', "4.94065645841247E-324"},
      {kInf, 15, '.', "INF"},
      {-kInf, 15, ',', "-INF"},
      {kNan, 15, '.', "NAN"},
      // The point table's 10 digits and the spectrum title's 5.
      {1.0 / 3.0, 10, ',', "0,3333333333"},
      {1234567890.0, 10, '.', "1234567890"},
      {12345678901.0, 10, '.', "1.23456789E10"},
      {9999999999.5, 10, '.', "1E10"},
      {1234.5678, 5, '.', "1234.6"},
      {12345.0, 5, '.', "12345"},
      {123456.0, 5, '.', "1.2346E5"},
      {100000.0, 5, ',', "1E5"},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(formatGeneral(c.value, c.digits, c.sep), c.expected)
        << "value " << c.value << " digits " << c.digits;
  }
}

TEST(FormatGeneral, RefusesDigitCountsOutsideADouble) {
  EXPECT_THROW(formatGeneral(1.0, 0, '.'), std::invalid_argument);
  EXPECT_THROW(formatGeneral(1.0, 18, '.'), std::invalid_argument);
}

struct ShortCase {
  double value;
  char sep;
  const char* expected;
};

TEST(FormatAxisLabel, LinearTable) {
  const ShortCase cases[] = {
      {0.00000015, '.', "1.5E-7"},
      {123456.0, '.', "123456"},
      {1.2345678901e10, '.', "1.23456789E+10"},
      {2.5e12, '.', "2.5E+12"},
      {1e-7, '.', "1E-7"},
      {9e-16, '.', "0"},
      {-9e-16, '.', "0"},
      {0.0, '.', "0"},
      {0.0001, ',', "0,0001"},
      {0.00001, '.', "1E-5"},
      {9999999999.0, '.', "9999999999"},
      {99999999999.0, '.', "1E+11"},
      {-2.5, ',', "-2,5"},
  };
  for (const ShortCase& c : cases) {
    EXPECT_EQ(formatAxisLabel(c.value, c.sep), c.expected) << c.value;
  }
}

TEST(FormatAxisLabel, LogarithmicTable) {
  const ShortCase cases[] = {
      {1000.0, '.', "1E+03"},
      {2.5e-7, '.', "2.5E-07"},
      {2.5e-7, ',', "2,5E-07"},
      {1.0, '.', "1E+00"},
      {123456789.5, '.', "1.2345679E+08"},
      {1e100, '.', "1E+100"},
      {5e-16, '.', "0"},
      {kInf, '.', "INF"},
  };
  for (const ShortCase& c : cases) {
    EXPECT_EQ(formatLogAxisLabel(c.value, c.sep), c.expected) << c.value;
  }
}

TEST(FormatShort, Table) {
  const ShortCase cases[] = {
      {1234.0, '.', "1.23E+03"}, {0.5, '.', "0.5"},
      {0.5, ',', "0,5"},         {0.00001234, '.', "1.23E-05"},
      {0.0001, '.', "0.0001"},   {0.00012345, '.', "0.000123"},
      {-12.345, '.', "-12.3"},   {100.0, '.', "100"},
      {999.4, '.', "999"},       {999.5, '.', "1E+03"},
      {1e300, '.', "1E+300"},    {-0.0, '.', "0"},
      {kNan, '.', "NAN"},
  };
  for (const ShortCase& c : cases) {
    EXPECT_EQ(formatShort(c.value, c.sep), c.expected) << c.value;
  }
}

TEST(FormatThreeDigits, Table) {
  const ShortCase cases[] = {
      {std::sqrt(28.0), '.', "5.29"},
      {std::sqrt(28.0), ',', "5,29"},
      {8.0, '.', "8"},
      {0.00001, '.', "0.00001"},
      {0.000012345, '.', "0.0000123"},
      {0.0000099, '.', "9.9E-06"},
      {999.0, '.', "999"},
      {1000.0, '.', "1E+03"},
      {123456.0, '.', "1.23E+05"},
      {-45.678, '.', "-45.7"},
      {0.0, '.', "0"},
      {-kInf, '.', "-INF"},
  };
  for (const ShortCase& c : cases) {
    EXPECT_EQ(formatThreeDigits(c.value, c.sep), c.expected) << c.value;
  }
}

TEST(FormatExponent2, Table) {
  const ShortCase cases[] = {
      {1.2e-8, '.', "1.2E-08"},     {1.2e-8, ',', "1,2E-08"},     {1e-8, '.', "1.0E-08"},
      {0.0, '.', "0.0E+00"},        {-3.456e10, '.', "-3.5E+10"}, {9.96, '.', "1.0E+01"},
      {1.26e-300, '.', "1.3E-300"}, {kNan, '.', "NAN"},
  };
  for (const ShortCase& c : cases) {
    EXPECT_EQ(formatExponent2(c.value, c.sep), c.expected) << c.value;
  }
}

TEST(FormatScientific23, Table) {
  const struct {
    double value;
    const char* expected;
  } cases[] = {
      {1000.0, " 1.00000000000000E+0003"},
      {-1.5e-7, "-1.50000000000000E-0007"},
      {0.0, " 0.00000000000000E+0000"},
      {1.0 / 3.0, " 3.33333333333333E-0001"},
      {9.999999999999999e5, " 1.00000000000000E+0006"},
      {1e-300, " 1.00000000000000E-0300"},
      {-1.7976931348623157e308, "-1.79769313486232E+0308"},
      {kInf, "                    INF"},
      {kNan, "                    NAN"},
  };
  for (const auto& c : cases) {
    const std::string text = formatScientific23(c.value);
    EXPECT_EQ(text, c.expected) << c.value;
    EXPECT_EQ(text.size(), 23u) << c.value;
  }
}

TEST(FormatCentimetres, Table) {
  const struct {
    int pixels;
    char sep;
    const char* expected;
  } cases[] = {
      {673, '.', "17.8"},   {673, ',', "17,8"},     {4665, '.', "123.0"},
      {4710, '.', "125.0"},  // 124.6 cm has three significant digits 125
      {0, '.', "0.0"},      {46, '.', "1.2"},       {3778, '.', "99.9"},
      {3779, '.', "100.0"}, {37800, '.', "1000.0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formatCentimetres(c.pixels, c.sep), c.expected) << c.pixels;
  }
}

TEST(ParseFileNumber, AcceptsNumbersAndWhatOurWriterWrites) {
  const struct {
    const char* text;
    double expected;
  } cases[] = {
      {"1.5", 1.5},
      {"-2", -2.0},
      {"+3", 3.0},
      {"1E-9", 1e-9},
      {"1e+3", 1000.0},
      {"-.5", -0.5},
      {"5.", 5.0},
      {"1,5", 1.5},
      {"-2,5E-3", -0.0025},
      {"INF", kInf},
      {"-INF", -kInf},
      {"1e-400", 0.0},
      {"4.94065645841247E-324", 5e-324},
  };
  for (const auto& c : cases) {
    const std::optional<double> v = parseFileNumber(c.text);
    ASSERT_TRUE(v.has_value()) << c.text;
    EXPECT_EQ(*v, c.expected) << c.text;
  }
  const std::optional<double> nan = parseFileNumber("NAN");
  ASSERT_TRUE(nan.has_value());
  EXPECT_TRUE(std::isnan(*nan));
  const std::optional<double> negZero = parseFileNumber("-0");
  ASSERT_TRUE(negZero.has_value());
  EXPECT_TRUE(std::signbit(*negZero));
  EXPECT_TRUE(std::signbit(*parseFileNumber("-1e-400")));
}

TEST(ParseFileNumber, RejectsEverythingElse) {
  const char* bad[] = {"",      "-",     "+",      "inf",  "Inf",  "nan",  "infinity", "+INF",
                       "0x10",  "1e400", "-1e400", "1.5x", " 1.5", "1.5 ", "+-1",      "--1",
                       "1.2.3", "1,2,3", "1.5,3",  "e5",   ".",    "1e",   "\xC0"};
  for (const char* text : bad) {
    EXPECT_FALSE(parseFileNumber(text).has_value()) << '"' << text << '"';
  }
}

// What formatGeneral writes reads back as the value rounded to 15 digits, with either
// separator, over the whole exponent range.
TEST(ParseFileNumber, ReadsBackTheGeneralFormat) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-320, 300);
  for (int i = 0; i < 20000; ++i) {
    const double value = mantissa(rng) * std::pow(10.0, exponent(rng));
    std::array<char, 40> buf{};
    std::snprintf(buf.data(), buf.size(), "%.14e", value);
    const double rounded = std::strtod(buf.data(), nullptr);
    for (char sep : {'.', ','}) {
      const std::string text = formatGeneral(value, 15, sep);
      const std::optional<double> back = parseFileNumber(text);
      ASSERT_TRUE(back.has_value()) << text;
      EXPECT_EQ(*back, rounded) << text;
    }
  }
}

// The largest double is written as 1.79769313486232E308, which is past it: such a number,
// up to that text, reads as the largest double of its sign; anything larger is no number.
TEST(ParseFileNumber, LargestDoubleAsWrittenReadsBack) {
  EXPECT_EQ(formatGeneral(DBL_MAX, 15, '.'), "1.79769313486232E308");
  const struct {
    const char* text;
    std::optional<double> expected;
  } cases[] = {
      {"1.79769313486232E308", DBL_MAX},
      {"-1.79769313486232E308", -DBL_MAX},
      {"+1.79769313486232e+308", DBL_MAX},
      {"1,79769313486232E308", DBL_MAX},
      {"1.797693134862320000E308", DBL_MAX},
      {"179769313486232E294", DBL_MAX},
      {"0.000179769313486232E312", DBL_MAX},
      {"1.7976931348623157E308", DBL_MAX},  // the largest double itself
      {"1.797693134862316E308", DBL_MAX},   // rounds past it, but within the written text
      {"1.7976931348623200000000000000001E308", std::nullopt},
      {"1.797693134862321E308", std::nullopt},
      {"1.79769313486233E308", std::nullopt},
      {"-1.8E308", std::nullopt},
      {"1E309", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseFileNumber(c.text), c.expected) << c.text;
  }
  EXPECT_EQ(parseCsvNumber(" -1.79769313486232E308 ", ','), -DBL_MAX);
  EXPECT_EQ(parseTypedNumber("1,79769313486232E308", ','), DBL_MAX);
  EXPECT_FALSE(parseCsvNumber("1.79769313486233E308", '.'));
}

// A random decimal token: digits, points, signs and exponents in every arrangement, often
// near the edges of the double range, sometimes a jumble of the same characters.
std::string randomToken(std::mt19937_64& rng) {
  static const char* const kEdgeDigits[] = {
      "17976931348623157", "179769313486232",   "1797693134862315", "22250738585072014",
      "49406564584124654", "24703282292062327", "999999999999999",  "1000000000000000"};
  auto below = [&rng](std::uint64_t n) { return static_cast<std::size_t>(rng() % n); };
  std::string token;
  if (below(10) == 0) {
    const std::size_t length = 1 + below(12);
    for (std::size_t i = 0; i < length; ++i) {
      token += "0123456789.eE+-"[below(15)];
    }
    return token;
  }
  token += std::string("\0\0\0\0-+", 6)[below(6)];
  std::string digits;
  if (below(3) == 0) {
    digits = kEdgeDigits[below(std::size(kEdgeDigits))];
    digits.resize(1 + below(digits.size() + 4), '0');
    for (std::size_t i = below(2) ? 0 : below(8); i > 0; --i) {
      digits += static_cast<char>('0' + below(10));
    }
  } else {
    digits.assign(below(4) == 0 ? below(4) : 0, '0');  // leading zeros
    for (std::size_t i = below(26); i > 0; --i) {
      digits += static_cast<char>('0' + below(10));
    }
  }
  const std::size_t point = below(digits.size() + 2);
  if (point <= digits.size()) {
    digits.insert(point, 1, '.');
  }
  token += digits;
  if (below(3) != 0) {
    token += below(2) ? 'e' : 'E';
    token += std::string("\0\0-+", 4)[below(4)];
    int exponent = 0;
    const std::size_t kind = below(8);
    if (kind < 3) {
      exponent = static_cast<int>(below(31));
    } else if (kind < 6) {
      exponent = 280 + static_cast<int>(below(60));  // the edges of the range
    } else if (kind < 7) {
      exponent = static_cast<int>(below(400));
    } else {
      exponent = static_cast<int>(below(100000));
    }
    token += std::to_string(exponent);
  }
  token.erase(std::remove(token.begin(), token.end(), '\0'), token.end());
  return token;
}

// What a decimal token must read as: strtod's double when strtod reads the whole token; a
// token too large for a double only when it is at most the written largest double (checked
// in extended precision, where such tokens still have their values).
std::optional<double> strtodReference(const std::string& token) {
  if (token.empty()) {
    return std::nullopt;
  }
  char* end = nullptr;
  const double value = std::strtod(token.c_str(), &end);
  if (end != token.c_str() + token.size()) {
    return std::nullopt;
  }
  if (std::isinf(value)) {
    const long double wide = std::strtold(token.c_str(), nullptr);
    const long double largestWritten = std::strtold("1.79769313486232E308", nullptr);
    if (std::fabs(wide) <= largestWritten) {
      return std::copysign(DBL_MAX, value);
    }
    return std::nullopt;
  }
  return value;
}

bool sameResult(const std::optional<double>& a, const std::optional<double>& b) {
  return a.has_value() == b.has_value() &&
         (!a || (*a == *b && std::signbit(*a) == std::signbit(*b)));
}

// Differential test against strtod over millions of generated tokens (fixed seed), for every
// parser that reads decimal text: the file and CSV parsers, the typed-number parser and the
// readers' fast paths.
TEST(NumberParsers, AgreeWithStrtodOnGeneratedTokens) {
  static_assert(LDBL_MAX_EXP > DBL_MAX_EXP, "the reference needs a wider long double");
  std::mt19937_64 rng(424242);
  std::size_t numbers = 0;
  for (int i = 0; i < 2000000; ++i) {
    const std::string token = randomToken(rng);
    const std::optional<double> expected = strtodReference(token);
    numbers += expected.has_value();
    ASSERT_PRED2(sameResult, parseFileNumber(token), expected) << token;
    ASSERT_PRED2(sameResult, detail::fileToken(token), expected) << token;
    ASSERT_PRED2(sameResult, parseCsvNumber(token, '.'), expected) << token;
    ASSERT_PRED2(sameResult, detail::csvField(token, ','), expected) << token;
    ASSERT_PRED2(sameResult, parseTypedNumber(token, '.'), expected) << token;
  }
  EXPECT_GT(numbers, 1000000u);  // most tokens are numbers, so both paths are exercised
}

TEST(ParseCsvNumber, Table) {
  EXPECT_EQ(parseCsvNumber(" 1.5 ", '.'), 1.5);
  EXPECT_EQ(parseCsvNumber("\t-2.5E-3\r", '.'), -0.0025);
  EXPECT_EQ(parseCsvNumber("1.5e-9", ','), 1.5e-9);
  EXPECT_EQ(parseCsvNumber("1;5", ';'), 1.5);
  EXPECT_FALSE(parseCsvNumber("1,5", ',').has_value());  // "," separates fields
  EXPECT_FALSE(parseCsvNumber("1,5", '.').has_value());
  const char* bad[] = {"", "  ", "abc", "inf", "nan", "1e999", "0x1A", "1.5.2"};
  for (const char* text : bad) {
    EXPECT_FALSE(parseCsvNumber(text, '.').has_value()) << text;
  }
}

TEST(ParseTypedNumber, AcceptsPointAndLocaleSeparator) {
  EXPECT_EQ(parseTypedNumber("1,5", ','), 1.5);
  EXPECT_EQ(parseTypedNumber("1.5", ','), 1.5);
  EXPECT_EQ(parseTypedNumber(" -2.5E3 ", '.'), -2500.0);
  EXPECT_EQ(parseTypedNumber("+4", '.'), 4.0);
  EXPECT_EQ(parseTypedNumber("1e-9", ','), 1e-9);
  EXPECT_EQ(parseTypedNumber("-0,000001", ','), -1e-6);
  // Either separator whatever the locale, as the value dialog takes them.
  EXPECT_EQ(parseTypedNumber("1,5", '.'), 1.5);
  EXPECT_EQ(parseTypedNumber(" -2,5e-3 ", '.'), -0.0025);
  EXPECT_EQ(parseTypedNumber("1,79769313486232E308", '.'), DBL_MAX);
  // A file of the locale's numbers keeps to the locale.
  EXPECT_FALSE(parseLocaleNumber("1,5", '.').has_value());
  EXPECT_EQ(parseLocaleNumber(" 1,5 ", ','), 1.5);
}

TEST(NotANumberMessage, QuotesTheTextInRussian) {
  EXPECT_EQ(notANumberMessage("abc"), "'abc' — не число");
  EXPECT_EQ(notANumberMessage(""), "'' — не число");
  EXPECT_EQ(notAnIntegerMessage("2.5"), "'2.5' — не целое число");
}

TEST(ParseTypedNumber, RejectsNonNumbers) {
  const struct {
    const char* text;
    char sep;
  } bad[] = {{"1,5,5", '.'},   {"inf", '.'},    {"INF", '.'},   {"nan", ','},    {"0x1p3", '.'},
             {"", '.'},        {"   ", ','},    {"1e999", '.'}, {"-1e999", ','}, {"1.0.0", '.'},
             {"1,000.5", ','}, {"1.5abc", '.'}, {"+-1", '.'},   {"- 1", '.'}};
  for (const auto& c : bad) {
    EXPECT_FALSE(parseTypedNumber(c.text, c.sep).has_value()) << c.text;
  }
}

TEST(ParseTypedInteger, Table) {
  EXPECT_EQ(parseTypedInteger("42"), 42);
  EXPECT_EQ(parseTypedInteger(" -7 "), -7);
  EXPECT_EQ(parseTypedInteger("+5"), 5);
  EXPECT_EQ(parseTypedInteger("2147483647"), std::numeric_limits<int>::max());
  EXPECT_EQ(parseTypedInteger("-2147483648"), std::numeric_limits<int>::min());
  const char* bad[] = {"2147483648", "-2147483649", "1.0", "1e3", "", "+-1", "0x10", "12a", "+"};
  for (const char* text : bad) {
    EXPECT_FALSE(parseTypedInteger(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace tarvik
