#include "core/NumberFormat.h"

// Every formatter first rounds the double to N significant decimal digits exactly (std::to_chars in
// scientific form rounds the binary value correctly), then lays the digit string
// out in the notation it needs. Parsers sit on std::from_chars, guarded against the spellings
// it accepts that our texts must not ("inf", "nan", a bare sign).
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <system_error>

namespace tarvik {
namespace {

// |value| = d1.d2d3… × 10^exponent, digits without trailing zeros ("0" for zero).
struct Rounded {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

Rounded roundSignificant(double value, int digits) {
  if (digits < 1 || digits > 17) {
    throw std::invalid_argument("significant digits out of range");
  }
  Rounded r;
  r.negative = std::signbit(value) && value != 0.0;
  if (value == 0.0) {
    r.digits.assign(1, '0');
    return r;
  }
  // std::to_chars rounds the binary value correctly, like "%.*e", at a fraction of the cost
  // (the graph writer formats two numbers per point).
  std::array<char, 64> buf{};
  const std::to_chars_result res =
      std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(value),
                    std::chars_format::scientific, digits - 1);
  const std::string_view text(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));
  const std::size_t ePos = text.find('e');
  for (std::size_t i = 0; i < ePos; ++i) {
    if (text[i] != '.') {
      r.digits.push_back(text[i]);
    }
  }
  while (r.digits.size() > 1 && r.digits.back() == '0') {
    r.digits.pop_back();
  }
  r.exponent = std::atoi(text.data() + ePos + 1);
  return r;
}

// Text of a value that has no digits: "INF", "-INF", "NAN"; empty for a finite value.
std::string nonFinite(double value) {
  if (std::isnan(value)) {
    return "NAN";
  }
  if (std::isinf(value)) {
    return value < 0 ? "-INF" : "INF";
  }
  return {};
}

// Plain decimal notation of the rounded digits.
std::string layOutPlain(const Rounded& r, char sep) {
  std::string out = r.negative ? "-" : "";
  if (r.exponent < 0) {
    out += '0';
    out += sep;
    out.append(static_cast<std::size_t>(-r.exponent - 1), '0');
    out += r.digits;
    return out;
  }
  const auto intCount = static_cast<std::size_t>(r.exponent) + 1;
  if (r.digits.size() <= intCount) {
    out += r.digits;
    out.append(intCount - r.digits.size(), '0');
    return out;
  }
  out.append(r.digits, 0, intCount);
  out += sep;
  out.append(r.digits, intCount);
  return out;
}

struct ExponentStyle {
  bool plusSign = false;      // "E+03" rather than "E3"
  int minExponentDigits = 1;  // zero-padded width of the exponent
};

// Scientific notation: first digit, separator and the rest when any, "E", the exponent.
std::string layOutScientific(const Rounded& r, char sep, ExponentStyle style) {
  std::string out = r.negative ? "-" : "";
  out += r.digits[0];
  if (r.digits.size() > 1) {
    out += sep;
    out.append(r.digits, 1);
  }
  out += 'E';
  if (r.exponent < 0) {
    out += '-';
  } else if (style.plusSign) {
    out += '+';
  }
  std::string expText = std::to_string(std::abs(r.exponent));
  if (static_cast<int>(expText.size()) < style.minExponentDigits) {
    expText.insert(0, static_cast<std::size_t>(style.minExponentDigits) - expText.size(), '0');
  }
  return out + expText;
}

// The general format shared by the short, three-digit and axis formats: rounded to `digits`,
// plain when minExp ≤ exponent ≤ maxExp (exponent of d.ddd × 10^e), scientific otherwise.
std::string formatWithWindow(double value, int digits, int minExp, int maxExp, char sep,
                             ExponentStyle style) {
  if (std::string word = nonFinite(value); !word.empty()) {
    return word;
  }
  const Rounded r = roundSignificant(value, digits);
  if (value == 0.0) {
    return "0";
  }
  if (r.exponent < minExp || r.exponent > maxExp) {
    return layOutScientific(r, sep, style);
  }
  return layOutPlain(r, sep);
}

}  // namespace

std::string formatGeneral(double value, int digits, char decimalSeparator) {
  // With value = 0.d1d2… × 10^e the text is scientific when e > digits or e < −3; in the
  // d.ddd × 10^x form used here that is x ≥ digits or x < −4.
  return formatWithWindow(value, digits, -4, digits - 1, decimalSeparator, ExponentStyle{});
}

std::string formatAxisLabel(double value, char decimalSeparator) {
  if (std::fabs(value) < 1e-15) {
    return "0";
  }
  return formatWithWindow(value, 10, -4, 9, decimalSeparator, ExponentStyle{true, 1});
}

std::string formatLogAxisLabel(double value, char decimalSeparator) {
  if (std::string word = nonFinite(value); !word.empty()) {
    return word;
  }
  if (std::fabs(value) < 1e-15) {
    return "0";
  }
  return layOutScientific(roundSignificant(value, 9), decimalSeparator, ExponentStyle{true, 2});
}

std::string formatShort(double value, char decimalSeparator) {
  return formatWithWindow(value, 3, -4, 2, decimalSeparator, ExponentStyle{true, 2});
}

std::string formatThreeDigits(double value, char decimalSeparator) {
  // Plain from 0.00001 (exponent −5) up to three integer digits (exponent 2).
  return formatWithWindow(value, 3, -5, 2, decimalSeparator, ExponentStyle{true, 2});
}

std::string formatExponent2(double value, char decimalSeparator) {
  if (std::string word = nonFinite(value); !word.empty()) {
    return word;
  }
  Rounded r = roundSignificant(value, 2);
  r.digits.resize(2, '0');  // the exponent format keeps both digits: 1.0E-08
  return layOutScientific(r, decimalSeparator, ExponentStyle{true, 2});
}

std::string formatScientific23(double value) {
  constexpr std::size_t kWidth = 23;
  if (std::string word = nonFinite(value); !word.empty()) {
    return std::string(kWidth - word.size(), ' ') + word;
  }
  Rounded r = roundSignificant(value, 15);
  r.digits.resize(15, '0');
  std::string out = layOutScientific(r, '.', ExponentStyle{true, 4});
  if (!r.negative) {
    out.insert(0, 1, ' ');
  }
  return out;
}

std::string formatCentimetres(int pixels, char decimalSeparator) {
  const double cm = pixels / 37.8;
  // One rounding at the coarser of two places: the third significant digit and the first
  // decimal. Below 100 cm the decimal is the coarser one.
  std::array<char, 64> buf{};
  if (std::fabs(cm) < 99.95) {
    std::snprintf(buf.data(), buf.size(), "%.1f", cm);
    std::string out(buf.data());
    if (out == "-0.0") {
      out = "0.0";
    }
    out[out.size() - 2] = decimalSeparator;
    return out;
  }
  Rounded r = roundSignificant(cm, 3);
  std::string out = r.negative ? "-" : "";
  std::string intDigits = r.digits;
  intDigits.resize(static_cast<std::size_t>(r.exponent) + 1, '0');
  out += intDigits;
  out += decimalSeparator;
  out += '0';
  return out;
}

namespace {

// The shape of a decimal text: |value| = 0.d1d2… × 10^exponent, with the first significant
// digits (trailing zeros dropped) and whether nonzero digits follow the ones kept. Enough to
// tell where a text that std::from_chars called out of range lies.
struct DecimalShape {
  std::string digits;
  bool moreDigits = false;
  long exponent = 0;
};

DecimalShape decimalShape(std::string_view text) {
  constexpr std::size_t kKeptDigits = 20;
  DecimalShape shape;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    ++i;
  }
  long integerDigits = 0;
  long leadingFractionZeros = 0;
  bool afterPoint = false;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    const char c = text[i];
    if (c == '.') {
      afterPoint = true;
    } else if (shape.digits.empty() && c == '0') {
      leadingFractionZeros += afterPoint ? 1 : 0;
    } else {
      integerDigits += afterPoint ? 0 : 1;
      if (shape.digits.size() < kKeptDigits) {
        shape.digits.push_back(c);
      } else if (c != '0') {
        shape.moreDigits = true;
      }
    }
  }
  long exponent = 0;
  if (i < text.size()) {
    const std::string_view expText = text.substr(i + 1);
    const bool negExp = !expText.empty() && expText[0] == '-';
    for (char c : expText) {
      if (c >= '0' && c <= '9' && exponent < 100000) {
        exponent = exponent * 10 + (c - '0');
      }
    }
    exponent = negExp ? -exponent : exponent;
  }
  while (!shape.digits.empty() && shape.digits.back() == '0') {
    shape.digits.pop_back();
  }
  shape.exponent = (integerDigits > 0 ? integerDigits : -leadingFractionZeros) + exponent;
  return shape;
}

// True when a text too large for a double is still at most 1.79769313486232E308: the
// largest double as the 15-digit general format writes it, which rounds up past it.
bool withinWrittenLargest(const DecimalShape& shape) {
  constexpr std::string_view kLargestDigits = "179769313486232";
  if (shape.exponent != 309) {
    return shape.exponent < 309;
  }
  const std::string_view digits = shape.digits;
  return digits < kLargestDigits || (digits == kLargestDigits && !shape.moreDigits);
}

// A whole decimal number with "." as the point and an optional "+" or "-" sign. Rejects
// "inf"/"nan", hexadecimal, a bare sign, trailing characters and overflow; an underflow reads
// as a signed zero. A number up to 1.79769313486232E308 in magnitude reads as the largest
// double of its sign, so that every number our writers write reads back.
std::optional<double> parseDecimal(std::string_view text) {
  bool plus = false;
  if (!text.empty() && text[0] == '+') {
    plus = true;
    text.remove_prefix(1);
  }
  std::size_t first = (!plus && !text.empty() && text[0] == '-') ? 1 : 0;
  if (first >= text.size()) {
    return std::nullopt;
  }
  const char lead = text[first];
  if (!((lead >= '0' && lead <= '9') || lead == '.')) {
    return std::nullopt;  // "inf", "nan", "+-1", blanks
  }
  double value = 0.0;
  const auto [ptr, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  if (ec == std::errc::result_out_of_range) {
    const DecimalShape shape = decimalShape(text);
    const bool negative = text[0] == '-';
    if (shape.exponent < 0) {
      return negative ? -0.0 : 0.0;
    }
    if (withinWrittenLargest(shape)) {
      constexpr double kLargest = std::numeric_limits<double>::max();
      return negative ? -kLargest : kLargest;
    }
    return std::nullopt;
  }
  if (ec != std::errc{} || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// Parses `text` with `sep` read as the decimal point (besides ".").
std::optional<double> parseWithSeparator(std::string_view text, char sep) {
  if (sep == '.' || text.find(sep) == std::string_view::npos) {
    return parseDecimal(text);
  }
  std::string copy(text);
  for (char& c : copy) {
    if (c == sep) {
      c = '.';
    }
  }
  return parseDecimal(copy);
}

}  // namespace

std::string_view trimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const std::size_t begin = text.find_first_not_of(kBlanks);
  if (begin == std::string_view::npos) {
    return {};
  }
  const std::size_t end = text.find_last_not_of(kBlanks);
  return text.substr(begin, end - begin + 1);
}

std::optional<double> parseFileNumber(std::string_view token) {
  if (token == "INF") {
    return std::numeric_limits<double>::infinity();
  }
  if (token == "-INF") {
    return -std::numeric_limits<double>::infinity();
  }
  if (token == "NAN") {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return parseWithSeparator(token, ',');
}

std::optional<double> parseCsvNumber(std::string_view field, char localeSeparator) {
  // "," separates the fields, so it is never read as a decimal point here.
  const char sep = localeSeparator == ',' ? '.' : localeSeparator;
  return parseWithSeparator(trimBlanks(field), sep);
}

std::optional<double> parseTypedNumber(std::string_view text, char localeSeparator) {
  text = trimBlanks(text);
  if (text.find(',') == std::string_view::npos) {
    return parseWithSeparator(text, localeSeparator);
  }
  // A typed number takes "," as well as "." whatever the locale says, as the value dialog
  // does: a user who types "1,5" under a "." locale means one and a half.
  std::string copy(text);
  for (char& c : copy) {
    if (c == ',') {
      c = '.';
    }
  }
  return parseWithSeparator(copy, localeSeparator);
}

std::optional<double> parseLocaleNumber(std::string_view text, char localeSeparator) {
  return parseWithSeparator(trimBlanks(text), localeSeparator);
}

std::string notANumberMessage(std::string_view text) {
  return "'" + std::string(text) + "' — не число";
}

std::string notAnIntegerMessage(std::string_view text) {
  return "'" + std::string(text) + "' — не целое число";
}

std::optional<int> parseTypedInteger(std::string_view text) {
  text = trimBlanks(text);
  if (!text.empty() && text[0] == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text[0] == '-') {
      return std::nullopt;
    }
  }
  if (text.empty()) {
    return std::nullopt;
  }
  int value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (ec != std::errc{} || ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace tarvik
