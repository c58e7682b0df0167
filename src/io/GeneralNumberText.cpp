#include "io/GeneralNumberText.h"

// The value is rounded to 15 significant digits exactly as the correctly rounded decimal
// conversion does (std::to_chars). The fast path is exact integer arithmetic: with
// |v| = m·2^q (m of 53 bits) and 10^k = 5^k·2^k for 0 ≤ k ≤ 27, |v|·10^k = m·5^k·2^(q+k),
// where m·5^k fits in 128 bits; its integer part and remainder give the 15 digits and the
// rounding. Exact ties, values of 1e15 and more, subnormals and values below about 1e-13
// take std::to_chars. The digits are then made eight at a time in the lanes of one 64-bit
// word and laid out with copies of 16 bytes into the room past the text.
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
// The callers choose k so that the integer part stays below 10^16.
[[gnu::always_inline]] inline bool scaledRounded(std::uint64_t m, int q, int k, std::uint64_t& n,
                                                 bool& tooLarge) {
  if (k < 0 || k > kMaxPow) {
    return false;
  }
  const Wide product = static_cast<Wide>(m) * kPow5[static_cast<std::size_t>(k)];
  const int shift = -(q + k);
  std::uint64_t whole = 0;
  bool up = false;
  if (shift > 0 && shift < 64) {
    // The usual case: the remainder lies in the low word.
    const auto low = static_cast<std::uint64_t>(product);
    const auto high = static_cast<std::uint64_t>(product >> 64);
    whole = (high << (64 - shift)) | (low >> shift);
    const std::uint64_t rest = low & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest == half) {
      return false;
    }
    up = rest > half;
  } else if (shift <= 0) {
    if (shift < -10) {
      return false;
    }
    whole = static_cast<std::uint64_t>(product << -shift);
  } else {
    if (shift >= 127) {
      return false;
    }
    whole = static_cast<std::uint64_t>(product >> shift);
    const Wide rest = product - (static_cast<Wide>(whole) << shift);
    const Wide half = static_cast<Wide>(1) << (shift - 1);
    if (rest == half) {
      return false;
    }
    up = rest > half;
  }
  tooLarge = whole >= 10 * kLowest15;
  n = whole + (up ? 1 : 0);
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
  e = e0;
  bool tooLarge = false;
  if (!scaledRounded(m, q, kDigits - 1 - e, n, tooLarge)) {
    return false;
  }
  if (tooLarge) {
    ++e;
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

// The eight decimal digits of v < 10^8 as byte values 0 to 9, the first digit in the lowest
// byte: v is split into two halves of four digits in the two 32-bit lanes of one word, each
// of those into two of two digits in 16-bit lanes, and those into single digits, every
// division by 10^4, 100 or 10 done in all lanes at once (the quotients of 10486/2^20 and
// 103/2^10 are exact for lanes below 10^4 and 100, and no lane's product reaches the next).
[[gnu::always_inline]] inline std::uint64_t eightDigits(std::uint32_t v) {
  const std::uint64_t x = v;
  std::uint64_t lanes = (x / 10000) | ((x % 10000) << 32);
  const std::uint64_t hundreds = ((lanes * 10486) >> 20) & 0x0000007F0000007FULL;
  lanes = hundreds | ((lanes - 100 * hundreds) << 16);
  const std::uint64_t tens = ((lanes * 103) >> 10) & 0x000F000F000F000FULL;
  return tens | ((lanes - 10 * tens) << 8);
}

constexpr std::uint64_t kAsciiZeros = 0x3030303030303030ULL;

// The significant digits as text in one 128-bit word, the first digit in the lowest byte:
// 15 characters, then one filler byte the layout may copy past the digits.
struct DigitText {
  Wide text;
  int count;  // digits up to the last one that is not 0 (1 to 15)
};

// The 15 digits of 10^14 ≤ n < 10^15.
[[gnu::always_inline]] inline DigitText fifteenDigits(std::uint64_t n) {
  const std::uint64_t high = eightDigits(static_cast<std::uint32_t>(n / 100000000));  // "0" + 7
  const std::uint64_t low = eightDigits(static_cast<std::uint32_t>(n % 100000000));
  // Zero digits at the end are zero bytes at the top of the words.
  const int trailing = low != 0 ? std::countl_zero(low) / 8 : 8 + std::countl_zero(high) / 8;
  const Wide text = ((static_cast<Wide>(low + kAsciiZeros) << 64) | (high + kAsciiZeros)) >> 8;
  return {text, kDigits - trailing};
}

// The same digits through the correctly rounded library conversion.
DigitText exactDigits(double magnitude, int& e) {
  std::array<char, 48> buf{};
  const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), magnitude,
                                 std::chars_format::scientific, kDigits - 1);
  // "d.dddddddddddddde±XX"
  std::array<char, 16> text{};
  text[0] = buf[0];
  std::memcpy(text.data() + 1, buf.data() + 2, kDigits - 1);
  DigitText d{0, kDigits};
  while (d.count > 1 && text[static_cast<std::size_t>(d.count - 1)] == '0') {
    --d.count;
  }
  for (std::size_t i = 0; i < kDigits; ++i) {
    d.text |= static_cast<Wide>(static_cast<unsigned char>(text[i])) << (8 * i);
  }
  const char* p = buf.data() + 2 + (kDigits - 1) + 1;
  const bool negative = *p == '-';
  int x = 0;
  for (++p; p < res.ptr; ++p) {
    x = x * 10 + (*p - '0');
  }
  e = negative ? -x : x;
  return d;
}

// Sixteen characters of `text` (first one lowest) at `out`.
void store16(char* out, Wide text) {
  if constexpr (std::endian::native == std::endian::big) {
    const auto low = static_cast<std::uint64_t>(text);
    const auto high = static_cast<std::uint64_t>(text >> 64);
    text = (static_cast<Wide>(__builtin_bswap64(low)) << 64) | __builtin_bswap64(high);
  }
  std::memcpy(out, &text, sizeof text);
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

// Lays out the significant digits of d1.d2… × 10^e. Pieces are stored 16 bytes at a time,
// the bytes past each piece overwritten by the next or left past the end.
char* layOut(char* out, const DigitText& d, int e, char sep) {
  const int count = d.count;
  if (e < -4 || e > kDigits - 1) {
    out[0] = static_cast<char>(d.text);
    if (count == 1) {
      return writeExponent(out + 1, e);
    }
    out[1] = sep;
    store16(out + 2, d.text >> 8);
    return writeExponent(out + count + 1, e);
  }
  if (e < 0) {
    const int zeros = -e - 1;  // 0 to 3 between the separator and the digits
    out[0] = '0';
    out[1] = sep;
    std::memcpy(out + 2, "0000", 4);
    store16(out + 2 + zeros, d.text);
    return out + 2 + zeros + count;
  }
  // The digits past `count` are zeros, so the integer part is always the first e + 1.
  const int intCount = e + 1;
  store16(out, d.text);
  if (count <= intCount) {
    return out + intCount;
  }
  out[intCount] = sep;
  store16(out + intCount + 1, d.text >> (8 * intCount));
  return out + count + 1;
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
  *out = '-';  // kept only for a negative value (the sign of recorded noise is random)
  out += std::signbit(value) ? 1 : 0;
  const double magnitude = std::fabs(value);
  std::uint64_t n = 0;
  int e = 0;
  const DigitText digits =
      fastDigits(magnitude, n, e) ? fifteenDigits(n) : exactDigits(magnitude, e);
  return layOut(out, digits, e, decimalSeparator);
}

}  // namespace tarvik
