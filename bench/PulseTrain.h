#pragma once
// The pulse record of the pulse benchmarks: noisy trapezoids as a pulse generator's output
// recorded by a fast digitiser — 1,000 samples per period 0.1 ns apart, edges of 40
// samples, 200 samples at the high state, a jitter of a few samples on each edge's position
// and white noise of 2 % of the amplitude. The same seed gives the same record everywhere.
#include <cstddef>
#include <random>
#include <vector>

namespace tarvik::bench {

struct PulseTrain {
  std::vector<double> xs, ys;
};

inline PulseTrain pulseTrain(std::size_t points) {
  constexpr std::size_t kPeriod = 1'000;  // samples per pulse period
  constexpr double kStep = 0.1;           // ns between samples
  constexpr double kEdge = 40, kHigh = 200, kLow = -0.2, kAmplitude = 3.3;
  std::mt19937_64 engine(20261209);
  std::normal_distribution<double> noise(0.0, 0.02 * kAmplitude);
  std::uniform_real_distribution<double> jitter(-3, 3);
  PulseTrain out;
  out.xs.resize(points);
  out.ys.resize(points);
  double rise = 100 + jitter(engine), fall = rise + kEdge + kHigh + jitter(engine);
  for (std::size_t i = 0; i < points; ++i) {
    const std::size_t inPeriod = i % kPeriod;
    if (inPeriod == 0 && i != 0) {
      rise = 100 + jitter(engine);
      fall = rise + kEdge + kHigh + jitter(engine);
    }
    const double p = static_cast<double>(inPeriod);
    double u = 0;
    if (p >= rise && p < rise + kEdge) {
      u = (p - rise) / kEdge;
    } else if (p >= rise + kEdge && p < fall) {
      u = 1;
    } else if (p >= fall && p < fall + kEdge) {
      u = 1 - (p - fall) / kEdge;
    }
    out.xs[i] = static_cast<double>(i) * kStep;
    out.ys[i] = kLow + u * kAmplitude + noise(engine);
  }
  return out;
}

}  // namespace tarvik::bench
