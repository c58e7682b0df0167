#pragma once
// Exact phase of e^(−2πi·β·n) for large integer n.
//
// The spectrum sums use angles 2π·k·df·p·s with k·p up to 10^14 and more. Multiplying a
// double by such an n loses the fraction of a cycle that the sine needs, so the fast paths
// keep β = df·s as an exact double-double product, turn it into a 128-bit binary fraction
// of a cycle and multiply by n modulo 2^128: the fractional cycle of β·n comes out exact to
// 2^-64, whatever n is.
#include <cmath>
#include <cstdint>

namespace tarvik::spectral {

__extension__ typedef unsigned __int128 CycleWord;
__extension__ typedef __int128 SignedCycleWord;

// A number of cycles modulo 1 as a 128-bit binary fraction.
class CycleFraction {
 public:
  CycleFraction() = default;
  // The fraction of hi + lo (two doubles, typically a product and its rounding error).
  static CycleFraction of(double hi, double lo = 0) {
    return CycleFraction(fractionOf(hi) + fractionOf(lo));
  }
  // The exact product a·b as a fraction of a cycle.
  static CycleFraction ofProduct(double a, double b) {
    const double hi = a * b;
    return of(hi, std::fma(a, b, -hi));
  }

  // This fraction times an integer, modulo one cycle.
  CycleFraction times(std::int64_t n) const {
    return CycleFraction(m_word * static_cast<CycleWord>(static_cast<SignedCycleWord>(n)));
  }
  CycleFraction plus(CycleFraction other) const { return CycleFraction(m_word + other.m_word); }

  // The fraction as a number of cycles in [−0.5, 0.5).
  double cycles() const {
    const auto top = static_cast<std::int64_t>(static_cast<std::uint64_t>(m_word >> 64));
    return std::ldexp(static_cast<double>(top), -64);
  }
  // The angle 2π·cycles() in radians, in [−π, π).
  double radians() const { return 6.283185307179586476925286766559 * cycles(); }

 private:
  explicit CycleFraction(CycleWord word) : m_word(word) {}

  // v modulo 1 in units of 2^-128 (two's complement for negative v). Bits below 2^-128 are
  // dropped; infinities and NaN give 0.
  static CycleWord fractionOf(double v) {
    if (v == 0 || !std::isfinite(v)) {
      return 0;
    }
    int exponent = 0;
    const double mantissa = std::frexp(std::fabs(v), &exponent);  // |v| = mantissa·2^exponent
    const auto m = static_cast<std::uint64_t>(std::ldexp(mantissa, 53));
    const int shift = exponent - 53 + 128;  // |v| = m·2^(shift − 128)
    CycleWord word = 0;
    if (shift >= 128) {
      word = 0;  // a whole number of cycles
    } else if (shift >= 0) {
      word = static_cast<CycleWord>(m) << shift;
    } else if (shift > -64) {
      word = static_cast<CycleWord>(m >> -shift);
    }
    return v < 0 ? -word : word;
  }

  CycleWord m_word = 0;
};

}  // namespace tarvik::spectral
