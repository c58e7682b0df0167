#include "synth/PulseGenerators.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "synth/GeneratedTable.h"

namespace tarvik::synth {

PointColumns countingErrorTable() {
  // 0.95·π written out as the table has always used it.
  constexpr double kWheelCircumference = 2.9845130209103035766;
  PointColumns table;
  double v = 0.001;
  while (v < 100.0 / 3.0) {
    v = v * 1.1;
    const double speed = v * 3.6;
    const std::int64_t b = roundHalfEven(v * 42 / kWheelCircumference * 10);
    if (b < 3) {
      continue;
    }
    const double counts = static_cast<double>(b);
    table.xs.push_back(speed);
    table.ys.push_back((1 - (counts - 2) / counts) * 100);
  }
  return table;
}

double threeExpValue(const ThreeExpParams& p, double t) {
  return p.a *
         (p.k1 * std::exp(-p.t1 * t) + p.k2 * std::exp(-p.t2 * t) - p.k3 * std::exp(-p.t3 * t));
}

namespace {

// One step of the sampling clock; returns the step for the next one.
double advance(double& t, double step, double fineStep) {
  t += step;
  return t > kFineSamplingEndSeconds ? 20 * fineStep : step;
}

void requirePositiveStep(const ThreeExpParams& p) {
  if (!(p.stepSeconds > 0) || !std::isfinite(p.stepSeconds)) {
    throw std::invalid_argument("three-exponential pulse: the step must be positive");
  }
}

}  // namespace

std::optional<std::size_t> threeExpPointCount(const ThreeExpParams& p, std::size_t limit) {
  requirePositiveStep(p);
  std::size_t count = 0;
  double step = p.stepSeconds;
  for (double t = 0; t < p.endSeconds; step = advance(t, step, p.stepSeconds)) {
    if (++count > limit) {
      return std::nullopt;
    }
  }
  return count;
}

bool sampleThreeExpPulse(const ThreeExpParams& p, PointColumns& out,
                         const std::function<void(int)>& showPercent,
                         const std::function<bool()>& stopRequested) {
  requirePositiveStep(p);
  std::int64_t shown = 1;
  double step = p.stepSeconds;
  for (double t = 0; t < p.endSeconds; step = advance(t, step, p.stepSeconds)) {
    const std::int64_t percent = roundHalfEven(t * 100 / p.endSeconds);
    if (percent != shown) {
      shown = percent;
      showPercent(static_cast<int>(percent));
    }
    if (stopRequested()) {
      return false;
    }
    out.xs.push_back(t * 1e9);
    out.ys.push_back(threeExpValue(p, t));
  }
  return true;
}

PointColumns sincPulse() {
  constexpr double kF = 20000;
  constexpr double kCentre = 100 / kF;
  constexpr double kEnd = 0.01;
  constexpr double kStep = kEnd / 1000;
  PointColumns pulse;
  for (double x = 0; x < kEnd; x += kStep) {
    const double u = std::numbers::pi * kF * (x - kCentre);
    pulse.xs.push_back(x);
    pulse.ys.push_back(u == 0 ? 1.0 : std::sin(u) / u);
  }
  return pulse;
}

}  // namespace tarvik::synth
