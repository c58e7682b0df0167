#include "io/GeneralNumberText.h"

// The value is rounded to 15 significant digits exactly as the correctly rounded decimal
// conversion does (std::to_chars). The fast path is exact integer arithmetic: with
// |v| = m·2^q (m of 53 bits) and 10^k = 5^k·2^k for 0 ≤ k ≤ 27, |v|·10^k = m·5^k·2^(q+k),
// where m·5^k fits in 128 bits; its integer part and remainder give the 15 digits and the
// rounding. Exact ties, values of 1e15 and more, subnormals and values below about 1e-13
// take std::to_chars.
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace tarvik {
namespace {

constexpr int kDigits = 15;
constexpr int kMaxPow = 27;                              // 5^27 < 2^63
constexpr std::uint64_t kLowest15 = 100000000000000ULL;  // 10^14
__extension__ typedef unsigned __int128 Wide;

constexpr std::array<std::uint64_t, kMaxPow + 1> makePowersOfFive() {
  std::array<std::uint64_t, kMaxPow + 1> p{};
  std::uint64_t v = 1;
  for (int i = 0; i <= kMaxPow; ++i) {
    p[static_cast<std::size_t>(i)] = v;
    v *= 5;
  }
  return p;
}
constexpr std::array<std::uint64_t, kMaxPow + 1> kPow5 = makePowersOfFive();

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// m·2^q·10^k as integer part and the rounding; false when it cannot be done exactly here
// (k out of range, a shift beyond the 128 bits) or when the remainder is exactly one half.
bool scaledRounded(std::uint64_t m, int q, int k, std::uint64_t& n, bool& tooLarge) {
  if (k < 0 || k > kMaxPow) {
    return false;
  }
  const Wide product = static_cast<Wide>(m) * kPow5[static_cast<std::size_t>(k)];
  const int shift = -(q + k);
  Wide whole = 0;
  bool up = false;
  if (shift <= 0) {
    if (shift < -10) {
      return false;
    }
    whole = product << -shift;
  } else {
    if (shift >= 127) {
      return false;
    }
    whole = product >> shift;
    const Wide rest = product - (whole << shift);
    const Wide half = static_cast<Wide>(1) << (shift - 1);
    if (rest == half) {
      return false;
    }
    up = rest > half;
  }
  tooLarge = whole >= 10 * static_cast<Wide>(kLowest15);
  n = static_cast<std::uint64_t>(whole) + (up ? 1 : 0);
  return true;
}

// The 15-digit integer N and exponent e with |v| ≈ N·10^(e − 14); false when not certain.
bool fastDigits(double magnitude, std::uint64_t& n, int& e) {
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const auto biased = static_cast<int>(bits >> 52);
  if (biased == 0) {
    return false;  // subnormal
  }
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const int q = biased - 1075;
  const int b = biased - 1023;       // 2^b ≤ |v| < 2^(b+1)
  const int e0 = (b * 78913) >> 18;  // floor(b·log10 2): 10^e0 ≤ |v| < 10^(e0 + 2)
  bool tooLarge = false;
  e = e0;
  if (!scaledRounded(m, q, kDigits - 1 - e, n, tooLarge)) {
    return false;
  }
  if (tooLarge) {
    e = e0 + 1;
    if (!scaledRounded(m, q, kDigits - 1 - e, n, tooLarge) || tooLarge) {
      return false;
    }
  }
  if (n == 10 * kLowest15) {
    n = kLowest15;
    ++e;
  }
  return n >= kLowest15 && n < 10 * kLowest15;
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
