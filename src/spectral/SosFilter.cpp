#include "spectral/SosFilter.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>
#include <thread>

#include "spectral/Simd.h"

TARVIK_SIMD_BEGIN

namespace tarvik::spectral {
namespace {

// Samples per block: the block stays in the first-level cache while every section runs
// over it, and is the unit the two threads hand on.
constexpr std::size_t kBlock = 8192;
// Shorter runs stay on one thread.
constexpr std::size_t kThreadedLength = 1u << 17;
constexpr std::size_t kGroupMax = 8;

// Up to kGroupMax sections over one stretch of samples, their coefficients and states in
// registers. The order of operations is sosfilt's.
template <std::size_t S>
void runGroup(const Section* sec, std::array<double, 2>* states, double* data, std::size_t n,
              bool backward) {
  double b0[S], b1[S], b2[S], a1[S], a2[S], z0[S], z1[S];
  for (std::size_t s = 0; s < S; ++s) {
    b0[s] = sec[s][0];
    b1[s] = sec[s][1];
    b2[s] = sec[s][2];
    a1[s] = sec[s][4];
    a2[s] = sec[s][5];
    z0[s] = states[s][0];
    z1[s] = states[s][1];
  }
  const auto step = [&](double& sample) {
    double x = sample;
    // Unrolled, so the coefficients and states stay in registers.
#pragma GCC unroll 8
    for (std::size_t s = 0; s < S; ++s) {
      const double y = b0[s] * x + z0[s];
      z0[s] = b1[s] * x - a1[s] * y + z1[s];
      z1[s] = b2[s] * x - a2[s] * y;
      x = y;
    }
    sample = x;
  };
  if (backward) {
    for (std::size_t i = n; i-- > 0;) {
      step(data[i]);
    }
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      step(data[i]);
    }
  }
  for (std::size_t s = 0; s < S; ++s) {
    states[s][0] = z0[s];
    states[s][1] = z1[s];
  }
}

void runGroupOf(std::size_t count, const Section* sec, std::array<double, 2>* states,
                double* data, std::size_t n, bool backward) {
  switch (count) {
    case 1: runGroup<1>(sec, states, data, n, backward); break;
    case 2: runGroup<2>(sec, states, data, n, backward); break;
    case 3: runGroup<3>(sec, states, data, n, backward); break;
    case 4: runGroup<4>(sec, states, data, n, backward); break;
    case 5: runGroup<5>(sec, states, data, n, backward); break;
    case 6: runGroup<6>(sec, states, data, n, backward); break;
    case 7: runGroup<7>(sec, states, data, n, backward); break;
    default: runGroup<8>(sec, states, data, n, backward); break;
  }
}

// Sections [first, last) over the samples of block b (blocks counted from the start, or
// from the end when running backward).
void runRange(const Sections& sections, SectionStates& states, std::size_t first,
              std::size_t last, std::span<double> data, std::size_t b, bool backward) {
  const std::size_t n = data.size();
  const std::size_t begin = b * kBlock;
  const std::size_t length = std::min(kBlock, n - begin);
  double* start = backward ? data.data() + (n - begin - length) : data.data() + begin;
  for (std::size_t s = first; s < last; s += kGroupMax) {
    const std::size_t count = std::min(kGroupMax, last - s);
    runGroupOf(count, &sections[s], &states[s], start, length, backward);
  }
}

// Every section over all of `data` in processing order, block by block.
void runAll(const Sections& sections, SectionStates& states, std::span<double> data,
            bool backward) {
  const std::size_t blocks = (data.size() + kBlock - 1) / kBlock;
  for (std::size_t b = 0; b < blocks; ++b) {
    runRange(sections, states, 0, sections.size(), data, b, backward);
  }
}

// The largest pole radius of the cascade.
double poleRadius(const Sections& sections) {
  double r = 0;
  for (const Section& s : sections) {
    const double a1 = s[4] / s[3], a2 = s[5] / s[3];
    const double disc = a1 * a1 - 4 * a2;
    if (disc < 0) {
      r = std::max(r, std::sqrt(a2));
    } else {
      const double root = std::sqrt(disc);
      r = std::max({r, std::fabs((-a1 + root) / 2), std::fabs((-a1 - root) / 2)});
    }
  }
  return r;
}

// Samples after which the response of the cascade to its initial state has fallen below
// 1e-22 of that state (doubled, and more, for the growth that repeated poles give the
// response before it decays); 0 when the cascade does not settle.
std::size_t settlingLength(const Sections& sections) {
  const double r = poleRadius(sections);
  if (!(r < 1)) {
    return 0;
  }
  if (r == 0) {
    return 2 * sections.size() + 64;
  }
  const double k = std::log(1e-22) / std::log(r);
  if (!(k < 1e12)) {
    return 0;
  }
  return 2 * static_cast<std::size_t>(k) + 8 * sections.size() + 64;
}

// Four stretches of the record side by side in the lanes of one vector: the same
// operations as runGroup on each lane. `x` holds `length` samples of the four stretches
// interleaved; z0/z1 the sections' states, four lanes each.
template <std::size_t S>
[[gnu::always_inline]] inline void laneGroup(const Section* sec, double* z0, double* z1,
                                             double* x, std::size_t length) {
  simd::V4d b0[S], b1[S], b2[S], a1[S], a2[S], s0[S], s1[S];
  for (std::size_t s = 0; s < S; ++s) {
    b0[s] = simd::splat(sec[s][0]);
    b1[s] = simd::splat(sec[s][1]);
    b2[s] = simd::splat(sec[s][2]);
    a1[s] = simd::splat(sec[s][4]);
    a2[s] = simd::splat(sec[s][5]);
    s0[s] = simd::load(z0 + 4 * s);
    s1[s] = simd::load(z1 + 4 * s);
  }
  for (std::size_t t = 0; t < length; ++t) {
    simd::V4d v = simd::load(x + 4 * t);
#pragma GCC unroll 4
    for (std::size_t s = 0; s < S; ++s) {
      const simd::V4d y = b0[s] * v + s0[s];
      s0[s] = b1[s] * v - a1[s] * y + s1[s];
      s1[s] = b2[s] * v - a2[s] * y;
      v = y;
    }
    simd::store(x + 4 * t, v);
  }
  for (std::size_t s = 0; s < S; ++s) {
    simd::store(z0 + 4 * s, s0[s]);
    simd::store(z1 + 4 * s, s1[s]);
  }
}

TARVIK_SIMD_KERNEL
void runLanes(const Section* sec, std::size_t count, double* z0, double* z1, double* x,
              std::size_t length) {
  for (std::size_t s = 0; s < count; s += 4) {
    switch (std::min<std::size_t>(4, count - s)) {
      case 1: laneGroup<1>(sec + s, z0 + 4 * s, z1 + 4 * s, x, length); break;
      case 2: laneGroup<2>(sec + s, z0 + 4 * s, z1 + 4 * s, x, length); break;
      case 3: laneGroup<3>(sec + s, z0 + 4 * s, z1 + 4 * s, x, length); break;
      default: laneGroup<4>(sec + s, z0 + 4 * s, z1 + 4 * s, x, length); break;
    }
  }
}

// A long record as eight stretches filtered at once, four to a vector on each of two
// threads. The first stretch starts from the given states, the others from zero; the
// cascade is linear, so each later stretch's true output is that plus the free response
// (no input) to the states the stretch before it ended with, and that response has died
// away after `settle` samples, which every stretch exceeds. The result agrees with the
// one-thread run to rounding.
void runStretches(const Sections& sections, std::span<double> data, SectionStates& states,
                  bool backward, std::size_t settle) {
  constexpr std::size_t kLanes = 4, kStretches = 2 * kLanes;
  const std::size_t n = data.size(), count = sections.size();
  const std::size_t length = n / kStretches;  // the last stretch also takes the rest
  // Position p in processing order is sample at(p).
  const auto at = [&](std::size_t p) -> double& { return data[backward ? n - 1 - p : p]; };
  SectionStates ends(kStretches * count, {0.0, 0.0});
  const auto work = [&](std::size_t thread) {
    // Four lanes per section.
    std::vector<double> z0(4 * count, 0.0), z1(4 * count, 0.0);
    if (thread == 0) {
      for (std::size_t s = 0; s < count; ++s) {
        z0[4 * s] = states[s][0];
        z1[4 * s] = states[s][1];
      }
    }
    std::vector<double> buffer(4 * kBlock);
    const std::size_t first = thread * kLanes;
    for (std::size_t t0 = 0; t0 < length; t0 += kBlock) {
      const std::size_t m = std::min(kBlock, length - t0);
      // Each lane's samples, in processing order, from a pointer and a step of ±1.
      double* lanes[kLanes];
      for (std::size_t lane = 0; lane < kLanes; ++lane) {
        lanes[lane] = &at((first + lane) * length + t0);
      }
      const std::ptrdiff_t step = backward ? -1 : 1;
      for (std::size_t lane = 0; lane < kLanes; ++lane) {
        const double* src = lanes[lane];
        for (std::size_t t = 0; t < m; ++t) {
          buffer[4 * t + lane] = src[static_cast<std::ptrdiff_t>(t) * step];
        }
      }
      runLanes(sections.data(), count, z0.data(), z1.data(), buffer.data(), m);
      for (std::size_t lane = 0; lane < kLanes; ++lane) {
        double* dst = lanes[lane];
        for (std::size_t t = 0; t < m; ++t) {
          dst[static_cast<std::ptrdiff_t>(t) * step] = buffer[4 * t + lane];
        }
      }
    }
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      for (std::size_t s = 0; s < count; ++s) {
        ends[(first + lane) * count + s] = {z0[4 * s + lane], z1[4 * s + lane]};
      }
    }
  };
  std::thread other(work, 1);
  work(0);
  other.join();
  // The rest of the last stretch continues from its states.
  const std::size_t restStart = kStretches * length;
  SectionStates last(ends.begin() + static_cast<std::ptrdiff_t>((kStretches - 1) * count),
                     ends.end());
  for (std::size_t p = restStart; p < n; ++p) {
    double v = at(p);
    runGroupOf(1, &sections[0], &last[0], &v, 1, false);
    for (std::size_t s = 1; s < count; ++s) {
      runGroupOf(1, &sections[s], &last[s], &v, 1, false);
    }
    at(p) = v;
  }
  // Each later stretch gets the free response to the states the stretch before it ended
  // with (that stretch's own states: the free response added to its start has died away).
  std::vector<double> free(settle);
  for (std::size_t k = 1; k < kStretches; ++k) {
    SectionStates start(ends.begin() + static_cast<std::ptrdiff_t>((k - 1) * count),
                        ends.begin() + static_cast<std::ptrdiff_t>(k * count));
    std::fill(free.begin(), free.end(), 0.0);
    runAll(sections, start, free, false);
    for (std::size_t j = 0; j < settle; ++j) {
      at(k * length + j) += free[j];
    }
  }
  states = last;
}

}  // namespace

SectionStates stepStates(const Sections& sections) {
  SectionStates zi(sections.size());
  double scale = 1.0;
  for (std::size_t s = 0; s < sections.size(); ++s) {
    Section c = sections[s];
    if (c[3] != 1.0) {
      const double a0 = c[3];
      for (double& v : c) v /= a0;
    }
    // zi = A·zi + B for the companion form: (1 + a1)·z0 − z1 = B0, a2·z0 + z1 = B1.
    const double bb0 = c[1] - c[4] * c[0];
    const double bb1 = c[2] - c[5] * c[0];
    const double z0 = (bb0 + bb1) / (1 + c[4] + c[5]);
    const double z1 = bb1 - c[5] * z0;
    zi[s] = {scale * z0, scale * z1};
    scale *= (sections[s][0] + sections[s][1] + sections[s][2]) /
             (sections[s][3] + sections[s][4] + sections[s][5]);
  }
  return zi;
}

void runSections(const Sections& sections, std::span<double> data, SectionStates& states,
                 bool backward) {
  const std::size_t n = data.size();
  if (sections.size() >= 1 && n >= kThreadedLength && std::thread::hardware_concurrency() >= 2) {
    const std::size_t settle = settlingLength(sections);
    if (settle > 0 && settle < n / 16) {
      runStretches(sections, data, states, backward, settle);
      return;
    }
  }
  const std::size_t blocks = (n + kBlock - 1) / kBlock;
  const std::size_t count = sections.size();
  if (count < 2 || n < kThreadedLength || std::thread::hardware_concurrency() < 2) {
    for (std::size_t b = 0; b < blocks; ++b) {
      runRange(sections, states, 0, count, data, b, backward);
    }
    return;
  }
  // A pipeline: the first half of the cascade runs ahead block by block on its own thread,
  // the second half follows one block behind on this one. Each section still sees its
  // samples in order, so the result is the one-thread result bit for bit.
  const std::size_t half = (count + 1) / 2;
  std::atomic<std::size_t> done{0};
  std::thread ahead([&] {
    for (std::size_t b = 0; b < blocks; ++b) {
      runRange(sections, states, 0, half, data, b, backward);
      done.store(b + 1, std::memory_order_release);
      done.notify_one();
    }
  });
  for (std::size_t b = 0; b < blocks; ++b) {
    std::size_t seen = done.load(std::memory_order_acquire);
    while (seen <= b) {
      done.wait(seen, std::memory_order_acquire);
      seen = done.load(std::memory_order_acquire);
    }
    runRange(sections, states, half, count, data, b, backward);
  }
  ahead.join();
}

std::vector<double> filterCausal(const Sections& sections, std::span<const double> y) {
  std::vector<double> out(y.begin(), y.end());
  if (out.empty()) {
    return out;
  }
  SectionStates states = stepStates(sections);
  for (auto& s : states) {
    s[0] *= y[0];
    s[1] *= y[0];
  }
  runSections(sections, out, states);
  return out;
}

std::size_t zeroPhasePadding(const Sections& sections) {
  std::size_t taps = 2 * sections.size() + 1;
  std::size_t b2Zero = 0, a2Zero = 0;
  for (const Section& s : sections) {
    b2Zero += s[2] == 0 ? 1 : 0;
    a2Zero += s[5] == 0 ? 1 : 0;
  }
  taps -= std::min(b2Zero, a2Zero);
  return 3 * taps;
}

std::vector<double> filterZeroPhase(const Sections& sections, std::span<const double> y) {
  const std::size_t n = y.size();
  const std::size_t pad = zeroPhasePadding(sections);
  if (n <= pad) {
    throw std::invalid_argument("the record is not longer than the padding");
  }
  // Odd extension: 2·y[0] − y[pad … 1] before, 2·y[n−1] − y[n−2 … n−1−pad] after. Built
  // by appending, so the large buffer is written once.
  std::vector<double> ext;
  ext.reserve(n + 2 * pad);
  for (std::size_t i = 0; i < pad; ++i) ext.push_back(2 * y[0] - y[pad - i]);
  ext.insert(ext.end(), y.begin(), y.end());
  for (std::size_t i = 0; i < pad; ++i) ext.push_back(2 * y[n - 1] - y[n - 2 - i]);
  const SectionStates zi = stepStates(sections);
  SectionStates states = zi;
  for (auto& s : states) {
    s[0] *= ext.front();
    s[1] *= ext.front();
  }
  runSections(sections, ext, states);
  states = zi;
  for (auto& s : states) {
    s[0] *= ext.back();
    s[1] *= ext.back();
  }
  runSections(sections, ext, states, true);
  ext.erase(ext.begin(), ext.begin() + static_cast<std::ptrdiff_t>(pad));
  ext.resize(n);
  return ext;
}

}  // namespace tarvik::spectral

TARVIK_SIMD_END
