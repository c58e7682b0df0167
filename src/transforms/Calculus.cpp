#include "transforms/Calculus.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace tarvik {
namespace {

// e^(−(x − previousX)·1e-9 / τ) in extended precision. Sampled records repeat a few step
// lengths, so the factors of recent steps are kept in a small direct-mapped table keyed by
// the exact extended step (as a sum of two doubles): a hit returns the same bits as the
// exponential itself, which costs far more than the lookup.
class DecayFactors {
 public:
  explicit DecayFactors(double tauSeconds) : m_tau(tauSeconds) {}

  long double operator()(double previousX, double x) {
    const long double dxNs = static_cast<long double>(x) - previousX;
    const double hi = static_cast<double>(dxNs);
    const double lo = static_cast<double>(dxNs - hi);
    const std::uint64_t hiBits = std::bit_cast<std::uint64_t>(hi);
    const std::uint64_t loBits = std::bit_cast<std::uint64_t>(lo);
    const std::uint64_t mixed = (hiBits ^ (loBits * 0xBF58476D1CE4E5B9ull)) * 0x9E3779B97F4A7C15ull;
    Entry& e = m_table[mixed >> 60];
    if (!e.valid || e.hiBits != hiBits || e.loBits != loBits) {
      e = {true, hiBits, loBits, std::exp(-dxNs * 1e-9L / static_cast<long double>(m_tau))};
    }
    return e.factor;
  }

 private:
  struct Entry {
    bool valid = false;
    std::uint64_t hiBits = 0;
    std::uint64_t loBits = 0;
    long double factor = 0;
  };
  double m_tau;
  Entry m_table[16];
};

}  // namespace

std::optional<std::size_t> forwardDerivative(std::span<double> xs, std::span<double> ys) {
  const std::size_t n = xs.size();
  if (n < 2) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const double dx = xs[i + 1] - xs[i];
    if (dx == 0 || !std::isfinite((ys[i + 1] - ys[i]) / dx)) {
      return i;
    }
  }
  // Entry i reads only entries i and i + 1, which are still the old values.
  for (std::size_t i = 0; i + 1 < n; ++i) {
    ys[i] = (ys[i + 1] - ys[i]) / (xs[i + 1] - xs[i]);
    xs[i] = (xs[i] + xs[i + 1]) / 2;
  }
  return std::nullopt;
}

void runningTrapezoidIntegral(std::span<double> xs, std::span<double> ys) {
  double sum = 0;
  for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
    const double dx = xs[i + 1] - xs[i];
    const double term = (ys[i] + ys[i + 1]) / 2 * dx;
    sum = sum + term;
    ys[i] = sum;
    xs[i] = xs[i] + dx;
  }
}

void rcDifferentiate(std::span<const double> xs, std::span<double> ys, double tauSeconds) {
  DecayFactors decay(tauSeconds);
  long double out = 0;
  long double previousIn = 0;
  for (std::size_t i = 0; i < ys.size(); ++i) {
    const long double in = ys[i];
    const long double step = in - previousIn;
    out = i == 0 ? step : out * decay(xs[i - 1], xs[i]) + step;
    previousIn = in;
    ys[i] = static_cast<double>(out);
  }
}

void rcIntegrate(std::span<const double> xs, std::span<double> ys, double tauSeconds) {
  DecayFactors decay(tauSeconds);
  long double in = 0;
  long double previousOut = 0;
  for (std::size_t i = 0; i < ys.size(); ++i) {
    const long double out = ys[i];
    in += i == 0 ? out : out - previousOut * decay(xs[i - 1], xs[i]);
    previousOut = out;
    ys[i] = static_cast<double>(in);
  }
}

void quantisationErrorModel(std::span<double> ys, int levels, std::mt19937_64& random) {
  double lo = 0, hi = 0;
  bool any = false;
  for (double y : ys) {
    if (std::isnan(y)) {
      continue;
    }
    lo = any ? std::fmin(lo, y) : y;
    hi = any ? std::fmax(hi, y) : y;
    any = true;
  }
  const double q = (hi - lo) / levels;
  if (q == 0 || !std::isfinite(q)) {
    return;
  }
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  for (double& y : ys) {
    y = q * std::nearbyint(y / q) + 0.0;  // ties to even; + 0.0 turns −0 into 0
    if (uniform(random) < 0.2) {
      y -= q;
    }
    if (uniform(random) > 0.8) {
      y += q;
    }
  }
}

}  // namespace tarvik
