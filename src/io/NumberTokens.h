#pragma once
// Fast number conversion for the readers' hot loops. A token in plain decimal form that
// std::from_chars reads completely is converted here; everything else (a leading "+",
// blanks, "," or the locale's separator, INF and NAN, overflow) goes to the full parsers of
// core/NumberFormat, so the value (or the refusal) is always the one those parsers give.
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <system_error>

#include "core/NumberFormat.h"

namespace tarvik::detail {

inline bool isDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// True when from_chars may be tried: a digit, a ".", or "-" followed by one of them.
inline bool plainDecimalStart(const char* p, const char* end) {
  if (p == end) {
    return false;
  }
  if (isDigit(*p) || *p == '.') {
    return true;
  }
  return *p == '-' && p + 1 < end && (isDigit(p[1]) || p[1] == '.');
}

// Digits of a number are read eight at a time where eight bytes can be loaded: the run of
// leading digit bytes of a little-endian word is found with bit tricks and combined into its
// value in three multiplications, so a 15-digit mantissa costs two steps instead of fifteen.
// The value is the one the digit-by-digit loop gives; only the work differs.

// Mask of the bytes of `word` that are not ASCII digits (their top bits set).
inline std::uint64_t nonDigitBytes(std::uint64_t word) {
  return ((word + 0x4646464646464646ULL) | (word - 0x3030303030303030ULL)) & 0x8080808080808080ULL;
}

// The value of the eight digit values (0-9, one per byte, the first digit in the lowest
// byte) of `digits`.
inline std::uint64_t eightDigitValue(std::uint64_t digits) {
  digits = digits * 10 + (digits >> 8);
  return (((digits & 0x000000FF000000FFULL) * 0x000F424000000064ULL) +
          (((digits >> 16) & 0x000000FF000000FFULL) * 0x0000271000000001ULL)) >>
         32;
}

// Appends the run of digits at `p` to `mantissa` (mantissa·10^n + run) and returns the end
// of the run. The mantissa may wrap when the run is long; callers refuse more than 19
// digits, for which that happens, so the wrapped value is never used.
inline const char* appendDigits(const char* p, const char* end, std::uint64_t& mantissa) {
  static constexpr std::uint64_t kPow10[] = {1,      10,      100,      1000,     10000,
                                             100000, 1000000, 10000000, 100000000};
  if constexpr (std::endian::native == std::endian::little) {
    while (end - p >= 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, p, 8);
      const std::uint64_t others = nonDigitBytes(word);
      const int run = others == 0 ? 8 : std::countr_zero(others) / 8;
      if (run == 0) {
        return p;
      }
      // Shifting the wanted digit values to the top leaves zeros, i.e. leading zeros, below.
      const std::uint64_t values = (word - 0x3030303030303030ULL) << (8 * (8 - run));
      mantissa = mantissa * kPow10[run] + eightDigitValue(values);
      p += run;
      if (run < 8) {
        return p;
      }
    }
  }
  for (; p != end && isDigit(*p); ++p) {
    mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  }
  return p;
}

// Clinger's fast path for the usual short decimals ("-4.999962e-04", "0.00277"): a mantissa of
// at most 19 digits below 2^53 scaled by an exact power of ten up to 10^22 is one correctly
// rounded operation, so the value equals what from_chars gives. Returns the end of the
// number, or nullptr when the text is anything else (the caller then asks from_chars).
inline const char* simpleDecimal(const char* p, const char* end, double& value) {
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const bool negative = p != end && *p == '-';
  p += negative;
  // All digits go into the mantissa; more than 19 of them (leading zeros included) may not
  // fit, and such rare numbers are left to from_chars.
  std::uint64_t mantissa = 0;
  const char* const integerStart = p;
  p = appendDigits(p, end, mantissa);
  std::ptrdiff_t digits = p - integerStart;
  int scale = 0;  // power of ten from the fraction
  if (p != end && *p == '.') {
    const char* const fractionStart = ++p;
    p = appendDigits(p, end, mantissa);
    digits += p - fractionStart;
    scale = -static_cast<int>(p - fractionStart);
  }
  if (digits == 0 || digits > 19) {
    return nullptr;
  }
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    const bool negativeExponent = p != end && *p == '-';
    p += (p != end && (*p == '-' || *p == '+'));
    int exponent = 0;
    int exponentDigits = 0;
    for (; p != end && isDigit(*p) && exponentDigits < 5; ++p, ++exponentDigits) {
      exponent = exponent * 10 + (*p - '0');
    }
    if (exponentDigits == 0 || exponentDigits == 5) {
      return nullptr;
    }
    scale += negativeExponent ? -exponent : exponent;
  }
  if (mantissa > (std::uint64_t{1} << 53) || scale < -22 || scale > 22) {
    return nullptr;
  }
  const auto m = static_cast<double>(mantissa);
  const double magnitude = scale < 0 ? m / kPow10[-scale] : m * kPow10[scale];
  value = negative ? -magnitude : magnitude;
  return p;
}

// Reads the number at `p` that must end at a character for which isEnd(c) holds (or at
// `end`). On success stores the value and returns the end of the number; returns nullptr
// when the fast path cannot decide, and the caller then runs the full parser on the token.
template <class IsEnd>
inline const char* fastNumber(const char* p, const char* end, IsEnd isEnd, double& value) {
  if (!plainDecimalStart(p, end)) {
    return nullptr;
  }
  const char* simpleEnd = simpleDecimal(p, end, value);
  if (simpleEnd != nullptr && (simpleEnd == end || isEnd(*simpleEnd))) {
    return simpleEnd;
  }
  const auto [ptr, ec] = std::from_chars(p, end, value, std::chars_format::general);
  if (ec != std::errc() || (ptr != end && !isEnd(*ptr))) {
    return nullptr;
  }
  return ptr;
}

// A token of a plain graph or generated file ("." decimal point; also INF, NAN, ",").
inline std::optional<double> fileToken(std::string_view token) {
  double value = 0;
  const char* end = token.data() + token.size();
  if (fastNumber(
          token.data(), end, [](char) { return false; }, value) == end) {
    return value;
  }
  return parseFileNumber(token);
}

// A CSV field ("." and the locale's separator when it is not ",", blanks around ignored).
inline std::optional<double> csvField(std::string_view field, char localeSeparator) {
  double value = 0;
  const char* end = field.data() + field.size();
  if (fastNumber(
          field.data(), end, [](char) { return false; }, value) == end) {
    return value;
  }
  return parseCsvNumber(field, localeSeparator);
}

}  // namespace tarvik::detail
