#include "io/GeneralNumberText.h"

// The value is rounded to 15 significant digits exactly as the correctly rounded decimal
// conversion does (std::to_chars). The fast path scales |v| by a power of ten into
// [1e14, 1e15) in 64-bit-mantissa extended precision: 10^k is exact there for |k| ≤ 27, so
// the scaled value carries one rounding (relative error ≤ 2⁻⁶⁴, below 6e-5 in absolute
// terms) and its integer part and the side of one half are certain unless the fraction lies
// within 1e-3 of one half. Those rare values, values outside the exactly scalable range and
// machines whose long double is not wider than a double take std::to_chars.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace tarvik {
namespace {

constexpr int kDigits = 15;
constexpr int kMaxPow = 27;
constexpr std::uint64_t kLowest15 = 100000000000000ULL;  // 10^14
constexpr bool kWideLongDouble = std::numeric_limits<long double>::digits >= 64;

constexpr std::array<long double, kMaxPow + 1> makePowers() {
  std::array<long double, kMaxPow + 1> p{};
  long double v = 1;
  for (int i = 0; i <= kMaxPow; ++i) {
    p[static_cast<std::size_t>(i)] = v;
    v *= 10;
  }
  return p;
}
constexpr std::array<long double, kMaxPow + 1> kPow10 = makePowers();

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// |v|·10^(14 − e) with a single rounding; e must keep |14 − e| ≤ 27.
long double scaled(double magnitude, int e) {
  const int k = kDigits - 1 - e;
  const auto m = static_cast<long double>(magnitude);
  return k >= 0 ? m * kPow10[static_cast<std::size_t>(k)]
                : m / kPow10[static_cast<std::size_t>(-k)];
}

// The 15-digit integer N and exponent e with |v| ≈ N·10^(e − 14); false when not certain.
bool fastDigits(double magnitude, std::uint64_t& n, int& e) {
  if constexpr (!kWideLongDouble) {
    return false;
  }
  const int b = std::ilogb(magnitude);  // 2^b ≤ |v| < 2^(b+1)
  // floor(b·log10 2) for |b| < 1650; |v| ≥ 10^e0 and |v| < 10^(e0 + 2).
  const int e0 = (b * 78913) >> 18;
  if (e0 < -kMaxPow + kDigits - 1 || e0 + 1 > kMaxPow + kDigits - 1) {
    return false;
  }
  e = e0;
  long double p = scaled(magnitude, e);
  if (p >= 1e15L) {
    e = e0 + 1;
    p = scaled(magnitude, e);
  }
  if (!(p >= 9e13L && p < 1e15L)) {
    return false;
  }
  n = static_cast<std::uint64_t>(p);
  const long double fraction = p - static_cast<long double>(n);
  if (std::fabs(fraction - 0.5L) < 1e-3L) {
    return false;
  }
  if (fraction > 0.5L) {
    ++n;
  }
  if (n == 10 * kLowest15) {
    n = kLowest15;
    ++e;
  }
  return n >= kLowest15;
}

// The same digits through the correctly rounded library conversion.
void exactDigits(double magnitude, char* digits, int& e) {
  std::array<char, 48> buf{};
  const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), magnitude,
                                 std::chars_format::scientific, kDigits - 1);
  // "d.dddddddddddddde±XX"
  digits[0] = buf[0];
  std::memcpy(digits + 1, buf.data() + 2, kDigits - 1);
  const char* p = buf.data() + 2 + (kDigits - 1) + 1;
  const bool negative = *p == '-';
  int x = 0;
  for (++p; p < res.ptr; ++p) {
    x = x * 10 + (*p - '0');
  }
  e = negative ? -x : x;
}

void writeFifteen(char* digits, std::uint64_t n) {
  for (int i = kDigits - 2; i >= 1; i -= 2) {
    const auto pair = static_cast<std::size_t>(n % 100) * 2;
    n /= 100;
    digits[i] = kPairs[pair];
    digits[i + 1] = kPairs[pair + 1];
  }
  digits[0] = static_cast<char>('0' + n);
}

char* writeExponent(char* out, int e) {
  *out++ = 'E';
  if (e < 0) {
    *out++ = '-';
    e = -e;
  }
  if (e >= 100) {
    *out++ = static_cast<char>('0' + e / 100);
    e %= 100;
    *out++ = kPairs[2 * e];
    *out++ = kPairs[2 * e + 1];
  } else if (e >= 10) {
    *out++ = kPairs[2 * e];
    *out++ = kPairs[2 * e + 1];
  } else {
    *out++ = static_cast<char>('0' + e);
  }
  return out;
}

// Lays out `count` significant digits (no trailing zeros) of d1.d2… × 10^e.
char* layOut(char* out, const char* digits, int count, int e, char sep) {
  const auto ucount = static_cast<std::size_t>(count);
  if (e < -4 || e > kDigits - 1) {
    *out++ = digits[0];
    if (count > 1) {
      *out++ = sep;
      std::memcpy(out, digits + 1, ucount - 1);
      out += count - 1;
    }
    return writeExponent(out, e);
  }
  if (e < 0) {
    *out++ = '0';
    *out++ = sep;
    for (int i = 0; i < -e - 1; ++i) {
      *out++ = '0';
    }
    std::memcpy(out, digits, ucount);
    return out + count;
  }
  const int intCount = e + 1;
  if (count <= intCount) {
    std::memcpy(out, digits, ucount);
    out += count;
    for (int i = count; i < intCount; ++i) {
      *out++ = '0';
    }
    return out;
  }
  std::memcpy(out, digits, static_cast<std::size_t>(intCount));
  out += intCount;
  *out++ = sep;
  std::memcpy(out, digits + intCount, static_cast<std::size_t>(count - intCount));
  return out + (count - intCount);
}

char* writeWord(char* out, const char* word) {
  const std::size_t n = std::strlen(word);
  std::memcpy(out, word, n);
  return out + n;
}

}  // namespace

char* writeGeneral15(char* out, double value, char decimalSeparator) noexcept {
  if (std::isnan(value)) {
    return writeWord(out, "NAN");
  }
  if (std::isinf(value)) {
    return writeWord(out, value < 0 ? "-INF" : "INF");
  }
  if (value == 0.0) {
    *out = '0';
    return out + 1;
  }
  if (value < 0) {
    *out++ = '-';
  }
  const double magnitude = std::fabs(value);
  char digits[kDigits];
  std::uint64_t n = 0;
  int e = 0;
  if (fastDigits(magnitude, n, e)) {
    writeFifteen(digits, n);
  } else {
    exactDigits(magnitude, digits, e);
  }
  int count = kDigits;
  while (count > 1 && digits[count - 1] == '0') {
    --count;
  }
  return layOut(out, digits, count, e, decimalSeparator);
}

}  // namespace tarvik
