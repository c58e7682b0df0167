#include "transforms/RunningStats.h"

#include <cmath>
#include <iterator>

namespace tarvik {
namespace {

template <std::size_t N>
int indexOf(const char* const (&entries)[N], const std::string& text) {
  for (std::size_t i = 0; i < N; ++i) {
    if (text == entries[i]) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace

void runningMean(std::span<double> xs, std::span<double> ys) {
  if (xs.size() < 2) {
    return;
  }
  const double x0 = xs[0];
  double sum = 0;
  for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
    const double dx = xs[i + 1] - xs[i];
    xs[i] = xs[i] + dx;
    const double term = (ys[i] + ys[i + 1]) / 2 * dx;
    sum = sum + term;
    const double span = xs[i] - x0;
    ys[i] = span == 0 ? 0.0 : sum / span;
  }
}

void runningRms(std::span<double> xs, std::span<double> ys) {
  double sum = 0;
  for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
    const double dx = xs[i + 1] - xs[i];
    xs[i] = xs[i] + dx;
    const double half = (ys[i] + ys[i + 1]) / 2;
    const double term = half * half * dx;
    sum = sum + term;
    const double meanSquare = xs[i] > 0 ? sum / xs[i] : 0.0;
    ys[i] = meanSquare < 0 ? 0.0 : std::sqrt(meanSquare);
  }
}

double runningEnergy(std::span<double> xs, std::span<double> ys, double timeFactor,
                     double currentFactor) {
  double sum = 0;
  for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
    const double dt = (xs[i + 1] - xs[i]) * timeFactor;
    const double current = (ys[i] + ys[i + 1]) * currentFactor / 2;
    const double term = current * current * dt;
    sum = sum + term;
    xs[i] = xs[i + 1];
    ys[i] = sum;
  }
  return sum;
}

int timeUnitIndex(const std::string& text) { return indexOf(kTimeUnits, text); }
int currentUnitIndex(const std::string& text) { return indexOf(kCurrentUnits, text); }

}  // namespace tarvik
