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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// 10^n for the digit counts of a mantissa.
inline constexpr std::uint64_t kDigitPowers[] = {1,
                                                 10,
                                                 100,
                                                 1000,
                                                 10000,
                                                 100000,
                                                 1000000,
                                                 10000000,
                                                 100000000,
                                                 1000000000,
                                                 10000000000,
                                                 100000000000,
                                                 1000000000000,
                                                 10000000000000,
                                                 100000000000000,
                                                 1000000000000000,
                                                 10000000000000000,
                                                 100000000000000000,
                                                 1000000000000000000,
                                                 10000000000000000000u};

// Appends the run of digits at `p` to `mantissa` (mantissa·10^n + run) and returns the end
// of the run. The mantissa may wrap when the run is long; callers refuse more than 19
// digits, for which that happens, so the wrapped value is never used.
inline const char* appendDigits(const char* p, const char* end, std::uint64_t& mantissa) {
  constexpr const std::uint64_t* kPow10 = kDigitPowers;
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

// The value of the first `run` digits (0 ≤ run ≤ 8) of the little-endian `word`.
inline std::uint64_t leadingDigitsValue(std::uint64_t word, int run) {
  // Shifting the wanted digit values to the top leaves zeros, i.e. leading zeros, below; the
  // shift is split in two halves so that run 0 (a shift by 64) is defined and gives zero.
  const int half = 32 - 4 * run;
  return eightDigitValue(((word - 0x3030303030303030ULL) << half) << half);
}

// Bytes of a word that are not digits, as a run length: 8 when all are digits.
inline int digitRun(std::uint64_t word) {
  const std::uint64_t others = nonDigitBytes(word);
  return others == 0 ? 8 : std::countr_zero(others) / 8;
}

inline std::uint64_t loadWord(const char* p) {
  std::uint64_t word = 0;
  std::memcpy(&word, p, 8);
  return word;
}

// The mantissa, the power of ten and the end of the shapes that files are made of: up to 7
// integer digits, optionally a point and fraction digits (19 digits in all at most),
// optionally an exponent of
// "e" or "E", a sign and two digits ("12", "19999.8", "-0.943385353873169", "4.999962e-04").
// The digits are taken a word at a time (little-endian words); `p` must have 40 bytes
// readable after it. Returns nullptr for any other text, which the general loop below
// then reads; both give the same mantissa and power of ten where both read the text.
struct ShortDecimal {
  std::uint64_t mantissa = 0;
  int scale = 0;
};

[[gnu::always_inline]] inline const char* shortDecimal(const char* p, ShortDecimal& out) {
  int integerDigits = 1;
  std::uint64_t mantissa = static_cast<unsigned char>(p[0] - '0');
  if (mantissa > 9) {
    return nullptr;
  }
  if (isDigit(p[1])) {  // more than the one digit of most numbers
    const std::uint64_t integerWord = loadWord(p);
    integerDigits = digitRun(integerWord);
    if (integerDigits == 8) {
      return nullptr;
    }
    mantissa = leadingDigitsValue(integerWord, integerDigits);
  }
  const char* q = p + integerDigits;
  int fractionDigits = 0;
  if (*q == '.') {
    const std::uint64_t first = loadWord(q + 1);
    fractionDigits = digitRun(first);
    std::uint64_t fraction = leadingDigitsValue(first, fractionDigits);
    // Up to two more words: 15 significant digits after "0.00" take 17 fraction digits.
    for (int word = 1; word <= 2 && fractionDigits == 8 * word; ++word) {
      const std::uint64_t next = loadWord(q + 1 + 8 * word);
      const int more = digitRun(next);
      fraction = fraction * kDigitPowers[more] + leadingDigitsValue(next, more);
      fractionDigits += more;
    }
    if (integerDigits + fractionDigits > 19) {
      return nullptr;  // (the general loop refuses it too)
    }
    mantissa = mantissa * kDigitPowers[fractionDigits] + fraction;
    q += 1 + fractionDigits;
  }
  int exponent = 0;
  if ((*q | 0x20) == 'e') {
    if ((q[1] != '-' && q[1] != '+') || !isDigit(q[2]) || !isDigit(q[3]) || isDigit(q[4])) {
      return nullptr;
    }
    exponent = (q[2] - '0') * 10 + (q[3] - '0');
    exponent = q[1] == '-' ? -exponent : exponent;
    q += 4;
  }
  out.mantissa = mantissa;
  out.scale = exponent - fractionDigits;
  return q;
}

// The digits and exponent of a decimal at `p` by the loop over its parts (any length):
// mantissa and power of ten, or nullptr when there are no digits, more than 19 of them
// (leading zeros included; they may not fit, and such rare numbers are left to from_chars)
// or an exponent without digits or of five or more.
inline const char* generalDecimal(const char* p, const char* end, std::uint64_t& mantissa,
                                  int& scale) {
  const char* const integerStart = p;
  if (end - p >= 2 && isDigit(p[0]) && !isDigit(p[1])) {
    mantissa = static_cast<unsigned>(*p++ - '0');  // one digit before the point: the usual case
  } else {
    p = appendDigits(p, end, mantissa);
  }
  std::ptrdiff_t digits = p - integerStart;
  scale = 0;
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
  return p;
}

// Clinger's fast path for the usual short decimals ("-4.999962e-04", "0.00277"): a mantissa of
// at most 19 digits below 2^53 scaled by an exact power of ten up to 10^22 is one correctly
// rounded operation, so the value equals what from_chars gives. Returns the end of the
// number, or nullptr when the text is anything else (the caller then asks from_chars).
// Inlined into each reader's loop, so the value stays in a register.
[[gnu::always_inline]] inline const char* simpleDecimal(const char* p, const char* end,
                                                        double& value) {
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const bool negative = p != end && *p == '-';
  p += negative;
  std::uint64_t mantissa = 0;
  int scale = 0;  // power of ten from the fraction and the exponent
  ShortDecimal shape;
  const char* shapeEnd = std::endian::native == std::endian::little && end - p >= 40
                             ? shortDecimal(p, shape)
                             : nullptr;
  if (shapeEnd != nullptr) {
    mantissa = shape.mantissa;
    scale = shape.scale;
    p = shapeEnd;
  } else {
    p = generalDecimal(p, end, mantissa, scale);
    if (p == nullptr) {
      return nullptr;
    }
  }
  if (mantissa > (std::uint64_t{1} << 53) || scale < -22 || scale > 22) {
    return nullptr;
  }
  const auto m = static_cast<double>(mantissa);
  const double magnitude = scale < 0 ? m / kPow10[-scale] : m * kPow10[scale];
  // The sign as a bit (as negation sets it): a branch on it would be mispredicted about every
  // other time on noisy data. The bit is put in place in a vector register, where the
  // quotient is, so the wait for the division is not lengthened by moves between register
  // files (the sign mask is ready long before).
  const std::uint64_t signBit = std::uint64_t{negative} << 63;
#if defined(__SSE2__)
  const __m128d sign = _mm_castsi128_pd(_mm_cvtsi64_si128(static_cast<long long>(signBit)));
  value = _mm_cvtsd_f64(_mm_or_pd(_mm_set_sd(magnitude), sign));
#else
  value = std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) | signBit);
#endif
  return p;
}

// Reads the number at `p` that must end at a character for which isEnd(c) holds (or at
// `end`). On success stores the value and returns the end of the number; returns nullptr
// when the fast path cannot decide, and the caller then runs the full parser on the token.
template <class IsEnd>
[[gnu::always_inline]] inline const char* fastNumber(const char* p, const char* end, IsEnd isEnd,
                                                     double& value) {
  // simpleDecimal reads only texts with a digit after an optional "-": plain decimal starts.
  const char* simpleEnd = simpleDecimal(p, end, value);
  if (simpleEnd != nullptr && (simpleEnd == end || isEnd(*simpleEnd))) {
    return simpleEnd;
  }
  if (!plainDecimalStart(p, end)) {
    return nullptr;
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
