#include "transforms/Calculus.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

#include "core/HelperThread.h"

namespace tarvik {
namespace {

// e^z in extended precision for |z| < 700, several times cheaper than the library's
// extended exponential and within about one unit of its last place: z = k·ln2/256 + r with
// |r| ≤ ln2/512, e^r by its series to r^6 (the next term is below 2^−77), times 2^(j/256)
// from a table and 2^m exactly, k = 256·m + j. ln2/256 is split into a 40-bit head, so
// that k times it is exact, and an extended tail. Outside that range, and for NaN, the
// library exponential.
class FastExponential {
 public:
  FastExponential() {
    for (int j = 0; j < 256; ++j) {
      const long double power = std::exp2(static_cast<long double>(j) / 256);
      // Kept as two doubles whose sum is the extended value exactly (its 64 bits are 53 and
      // 11): two loads of doubles are cheaper than one of the extended format.
      m_high[j] = static_cast<double>(power);
      m_low[j] = static_cast<double>(power - m_high[j]);
    }
  }

  long double operator()(long double z) const {
    if (!(z > -700.0L && z < 700.0L)) {
      return std::exp(z);
    }
    constexpr long double kInvLn2By256 = 369.329930467574632284140718336L;
    constexpr long double kLn2By256Head = 0x1.62e42fefa2p-9L;
    constexpr long double kLn2By256Tail = 0xcf79abc9e3b39804p-112L;
    constexpr long double kRound = 0x1.8p63L;  // adding it rounds to an integer
    const long double shifted = z * kInvLn2By256 + kRound;
    const long double k = shifted - kRound;
    const long double r = (z - k * kLn2By256Head) - k * kLn2By256Tail;
    const long double r2 = r * r;
    // r + r²/2 + r³/6 + … + r⁶/720, the higher terms paired to shorten the chain.
    const long double high = (1.0L / 6 + r * (1.0L / 24)) + r2 * (1.0L / 120 + r * (1.0L / 720));
    const long double p = r + r2 * (0.5L + r * high);
    const std::int64_t ki = integerOf(k);
    const std::int64_t m = ki >> 8;  // floor(k / 256), also for negative k
    const std::size_t j = static_cast<std::size_t>(ki & 255);
    const long double table = static_cast<long double>(m_high[j]) + m_low[j];
    const double scale = std::bit_cast<double>(static_cast<std::uint64_t>(m + 1023) << 52);
    return (table + table * p) * scale;
  }

 private:
  // k as an integer. k is below 2^19 in size, so it passes exactly through a double, whose
  // conversion to an integer needs no change of the x87 rounding mode.
  static std::int64_t integerOf(long double k) {
    return static_cast<std::int64_t>(static_cast<double>(k));
  }

  double m_high[256];
  double m_low[256];
};

const FastExponential& fastExponential() {
  static const FastExponential e;
  return e;
}

// e^(−(x − previousX)·1e-9 / τ) in extended precision. Sampled records repeat a few step
// lengths, so the factors of recent steps are kept in a small direct-mapped table keyed by
// the exact extended step (as a sum of two doubles): a hit returns the same bits as the
// exponential itself.
class DecayFactors {
 public:
  // The exponent per nanosecond of step, −1e-9/τ, is rounded once (in extended precision)
  // rather than dividing every step by τ.
  explicit DecayFactors(double tauSeconds)
      : m_rate(-1e-9L / static_cast<long double>(tauSeconds)), m_exp(fastExponential()) {}

  // The factor itself, without the table.
  long double direct(double previousX, double x) const {
    const long double dxNs = static_cast<long double>(x) - previousX;
    return m_exp(dxNs * m_rate);
  }

  long double operator()(double previousX, double x) {
    const long double dxNs = static_cast<long double>(x) - previousX;
    const double hi = static_cast<double>(dxNs);
    const double lo = static_cast<double>(dxNs - hi);
    const std::uint64_t hiBits = std::bit_cast<std::uint64_t>(hi);
    const std::uint64_t loBits = std::bit_cast<std::uint64_t>(lo);
    const std::uint64_t mixed = (hiBits ^ (loBits * 0xBF58476D1CE4E5B9ull)) * 0x9E3779B97F4A7C15ull;
    Entry& e = m_table[mixed >> 60];
    if (!e.valid || e.hiBits != hiBits || e.loBits != loBits) {
      e = {true, hiBits, loBits, m_exp(dxNs * m_rate)};
      ++m_misses;
    }
    return e.factor;
  }

  std::size_t misses() const { return m_misses; }

 private:
  struct Entry {
    bool valid = false;
    std::uint64_t hiBits = 0;
    std::uint64_t loBits = 0;
    long double factor = 0;
  };
  long double m_rate;
  const FastExponential& m_exp;
  Entry m_table[16];
  std::size_t m_misses = 0;
};

// Runs step(i, factor) for i = 1 … n − 1 in order, factor being the decay over the step
// from X[i − 1] to X[i], block by block. Each block starts with a probe through the table:
// where the steps repeat, the table makes the factors cheap and one core does the whole
// block. Where they do not (the probe missed more often than not), the exponentials are
// the cost: the rest of the block's factors are computed ahead on both cores, and the
// recursion, which is cheap, then runs through them on this one. Every factor is a function of its
// step alone, so the result does not depend on the blocking.
//
// The recursion is a small value (its state is kept in registers, not behind references).
template <class Recursion>
void forEachDecayFactor(std::span<const double> xs, double tauSeconds, Recursion step) {
  const std::size_t n = xs.size();
  constexpr std::size_t kProbe = 4096;
  constexpr std::size_t kBlock = std::size_t{1} << 18;
  DecayFactors decay(tauSeconds);
  // Allocated before the first value changes, so that a failure leaves the graph as it was.
  constexpr std::size_t kChunk = 8192;
  std::vector<long double> factors;
  std::vector<std::atomic<bool>> done;
  if (n > kProbe + 1) {
    factors.reserve(std::min(n, kBlock));
    done = std::vector<std::atomic<bool>>(kBlock / kChunk + 1);
  }
  for (std::size_t begin = 1; begin < n;) {
    const std::size_t probeEnd = std::min(n, begin + kProbe);
    const std::size_t missesBefore = decay.misses();
    for (std::size_t i = begin; i < probeEnd; ++i) {
      step(i, decay(xs[i - 1], xs[i]));
    }
    const bool repeating = (decay.misses() - missesBefore) * 2 <= probeEnd - begin;
    const std::size_t end = std::min(n, probeEnd + kBlock);
    if (repeating) {
      for (std::size_t i = probeEnd; i < end; ++i) {
        step(i, decay(xs[i - 1], xs[i]));
      }
    } else if (probeEnd < end) {
      factors.resize(end - probeEnd);
      // The factors are cut into chunks that either core takes from a shared counter, so
      // that when the other core is busy this one does not wait for its share. This thread
      // also runs the recursion through the chunks already finished (in order), one step
      // inside each turn of its exponential loop: the recursion's chain of dependent
      // operations then overlaps the independent exponentials instead of following them.
      const std::size_t chunks = (end - probeEnd + kChunk - 1) / kChunk;
      for (std::size_t c = 0; c < chunks; ++c) {
        done[c].store(false, std::memory_order_relaxed);
      }
      std::atomic<std::size_t> next{0};
      const auto fill = [&xs, &factors, &next, &done, probeEnd, end,
                         chunks](const DecayFactors& d) {
        for (;;) {
          const std::size_t c = next.fetch_add(1, std::memory_order_relaxed);
          if (c >= chunks) {
            return;
          }
          const std::size_t from = probeEnd + c * kChunk;
          const std::size_t to = std::min(end, from + kChunk);
          for (std::size_t i = from; i < to; ++i) {
            factors[i - probeEnd] = d.direct(xs[i - 1], xs[i]);
          }
          done[c].store(true, std::memory_order_release);
        }
      };
      // Without a second thread this core computes all the block's factors.
      std::thread helper = tryStartThread(fill, std::cref(decay));
      std::size_t stepped = probeEnd;  // the next step of the recursion
      std::size_t finished = 0;        // chunks known to be done, in order from the first
      for (;;) {
        const std::size_t c = next.fetch_add(1, std::memory_order_relaxed);
        if (c >= chunks) {
          break;
        }
        while (finished < chunks && done[finished].load(std::memory_order_acquire)) {
          ++finished;
        }
        const std::size_t ready = std::min(end, probeEnd + finished * kChunk);
        const std::size_t from = probeEnd + c * kChunk;
        const std::size_t to = std::min(end, from + kChunk);
        for (std::size_t i = from; i < to; ++i) {
          factors[i - probeEnd] = decay.direct(xs[i - 1], xs[i]);
          if (stepped < ready) {
            step(stepped, factors[stepped - probeEnd]);
            ++stepped;
          }
        }
        done[c].store(true, std::memory_order_release);
      }
      if (helper.joinable()) {
        helper.join();
      }
      for (; stepped < end; ++stepped) {
        step(stepped, factors[stepped - probeEnd]);
      }
    }
    begin = end;
  }
}

// The length of the leading run of intervals without a division fault (zero width or a
// non-finite quotient). Checked block by block without an early exit inside a block, so
// the check vectorises; the faulty block is then searched point by point.
std::size_t faultFreeIntervals(const double* xs, const double* ys, std::size_t intervals) {
  constexpr std::size_t kBlock = 1024;
  constexpr double kMax = std::numeric_limits<double>::max();
  for (std::size_t begin = 0; begin < intervals; begin += kBlock) {
    const std::size_t end = std::min(intervals, begin + kBlock);
    bool bad = false;
    for (std::size_t i = begin; i < end; ++i) {
      const double dx = xs[i + 1] - xs[i];
      const double q = (ys[i + 1] - ys[i]) / dx;
      bad |= (dx == 0) | !(std::fabs(q) <= kMax);
    }
    if (bad) {
      for (std::size_t i = begin; i < end; ++i) {
        const double dx = xs[i + 1] - xs[i];
        if (dx == 0 || !std::isfinite((ys[i + 1] - ys[i]) / dx)) {
          return i;
        }
      }
    }
  }
  return intervals;
}

}  // namespace

std::optional<std::size_t> forwardDerivative(std::span<double> xs, std::span<double> ys) {
  const std::size_t n = xs.size();
  if (n < 2) {
    return std::nullopt;
  }
  double* __restrict x = xs.data();
  double* __restrict y = ys.data();
  if (const std::size_t fault = faultFreeIntervals(x, y, n - 1); fault < n - 1) {
    return fault;
  }
  // Entry i reads only entries i and i + 1, which are still the old values.
  for (std::size_t i = 0; i + 1 < n; ++i) {
    y[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]);
    x[i] = (x[i] + x[i + 1]) / 2;
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

namespace {

// out[i] = out[i−1]·decay + (Y[i] − Y[i−1]), in place.
struct DifferentiationStep {
  std::span<double> ys;
  long double out;
  long double previousIn;

  void operator()(std::size_t i, long double decay) {
    const long double in = ys[i];
    out = out * decay + (in - previousIn);
    previousIn = in;
    ys[i] = static_cast<double>(out);
  }
};

// in[i] = in[i−1] + Y[i] − Y[i−1]·decay, in place.
struct IntegrationStep {
  std::span<double> ys;
  long double in;
  long double previousOut;

  void operator()(std::size_t i, long double decay) {
    const long double out = ys[i];
    in += out - previousOut * decay;
    previousOut = out;
    ys[i] = static_cast<double>(in);
  }
};

}  // namespace

void rcDifferentiate(std::span<const double> xs, std::span<double> ys, double tauSeconds) {
  if (ys.empty()) {
    return;
  }
  forEachDecayFactor(xs.first(ys.size()), tauSeconds, DifferentiationStep{ys, ys[0], ys[0]});
}

void rcIntegrate(std::span<const double> xs, std::span<double> ys, double tauSeconds) {
  if (ys.empty()) {
    return;
  }
  const long double first = 0.0L + ys[0];  // as the running sum from 0 (−0 becomes +0)
  ys[0] = static_cast<double>(first);
  forEachDecayFactor(xs.first(ys.size()), tauSeconds, IntegrationStep{ys, first, first});
}

long double rcDecayFactor(double previousX, double x, double tauSeconds) {
  return DecayFactors(tauSeconds).direct(previousX, x);
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
