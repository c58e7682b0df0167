#include "transforms/Pointwise.h"

#include <algorithm>
#include <cmath>

namespace tarvik {
namespace {

void shiftValues(std::span<double> values, double v) {
  for (double& a : values) {
    a = a + v;
  }
}

void multiplyValues(std::span<double> values, double v) {
  for (double& a : values) {
    a = a * v;
  }
}

// Divides, not multiplies by the reciprocal: the last bit matches the typed divisor.
void divideValues(std::span<double> values, double v) {
  for (double& a : values) {
    a = a / v;
  }
}

template <class F>
void mapValues(std::span<double> values, F f) {
  for (double& a : values) {
    a = f(a);
  }
}

// The quotient as stored: computed in extended precision, rounded to double.
double storedQuotient(double numerator, double divisor) {
  return static_cast<double>(static_cast<long double>(numerator) /
                             static_cast<long double>(divisor));
}

std::size_t applyRemoving(Graph& g, PointwiseKind kind, double v) {
  switch (kind) {
    case PointwiseKind::InvertX:
      return dropZerosAndInvert(g.xsMutable(), g.ysMutable());
    case PointwiseKind::InvertY:
      return dropZerosAndInvert(g.ysMutable(), g.xsMutable());
    default:
      return dropNonPositiveToDecibels(g.xsMutable(), g.ysMutable(), v);
  }
}

}  // namespace

bool pointwiseNeedsValue(PointwiseKind kind) {
  switch (kind) {
    case PointwiseKind::ShiftX:
    case PointwiseKind::MultiplyX:
    case PointwiseKind::DivideX:
    case PointwiseKind::ShiftY:
    case PointwiseKind::MultiplyY:
    case PointwiseKind::DivideY:
    case PointwiseKind::Decibels:
      return true;
    default:
      return false;
  }
}

double peakMagnitude(std::span<const double> ys) {
  double peak = 0;
  for (double y : ys) {
    if (std::fabs(y) > peak) {
      peak = std::fabs(y);
    }
  }
  return peak;
}

std::size_t dropZerosAndInvert(std::span<double> target, std::span<double> other) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < target.size(); ++i) {
    if (target[i] == 0) {
      continue;
    }
    target[kept] = 1.0 / target[i];
    other[kept] = other[i];
    ++kept;
  }
  return kept;
}

std::size_t dropNonPositiveToDecibels(std::span<double> xs, std::span<double> ys, double base) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < ys.size(); ++i) {
    if (ys[i] <= 0) {
      continue;
    }
    xs[kept] = xs[i];
    ys[kept] = ys[i];
    ++kept;
  }
  for (std::size_t i = 0; i < kept; ++i) {
    ys[i] = 20.0 * std::log10(ys[i] / base);
  }
  return kept;
}

std::optional<std::size_t> divideCoordinates(std::span<double> numerators,
                                             std::span<double> divisors) {
  for (std::size_t i = 0; i < numerators.size(); ++i) {
    if (divisors[i] != 0 && !std::isfinite(storedQuotient(numerators[i], divisors[i]))) {
      return i;
    }
  }
  for (std::size_t i = 0; i < numerators.size(); ++i) {
    if (divisors[i] != 0) {
      numerators[i] = storedQuotient(numerators[i], divisors[i]);
    } else {
      numerators[i] = 0.0;
      divisors[i] = 0.0;
    }
  }
  return std::nullopt;
}

void keepFirstPoints(Graph& graph, std::size_t count) {
  while (graph.size() > count) {
    graph.deletePoint(graph.size() - 1);
  }
}

PointwiseOutcome applyPointwise(Graph& g, PointwiseKind kind, double v) {
  PointwiseOutcome outcome;
  if (g.empty()) {
    return outcome;
  }
  const std::span<double> xs = g.xsMutable();
  const std::span<double> ys = g.ysMutable();
  switch (kind) {
    case PointwiseKind::ShiftX:
      shiftValues(xs, v);
      break;
    case PointwiseKind::MultiplyX:
      multiplyValues(xs, v);
      break;
    case PointwiseKind::DivideX:
      divideValues(xs, v);
      break;
    case PointwiseKind::ShiftY:
      shiftValues(ys, v);
      break;
    case PointwiseKind::MultiplyY:
      multiplyValues(ys, v);
      break;
    case PointwiseKind::DivideY:
      divideValues(ys, v);
      break;
    case PointwiseKind::Normalize:
      divideValues(ys, v);
      break;
    case PointwiseKind::SqrtAbs:
      mapValues(ys, [](double a) { return std::sqrt(std::fabs(a)); });
      break;
    case PointwiseKind::Square:
      mapValues(ys, [](double a) { return a * a; });
      break;
    case PointwiseKind::Magnitude:
      mapValues(ys, [](double a) { return std::fabs(a); });
      break;
    case PointwiseKind::Negate:
      mapValues(ys, [](double a) { return -a; });
      break;
    case PointwiseKind::ZeroX:
      shiftValues(xs, -g.minX());
      break;
    case PointwiseKind::InvertX:
    case PointwiseKind::InvertY:
    case PointwiseKind::Decibels:
      keepFirstPoints(g, applyRemoving(g, kind, v));
      if (kind == PointwiseKind::Decibels) {
        g.title += " (dB)";
      }
      break;
    case PointwiseKind::XOverY:
    case PointwiseKind::YOverX: {
      const bool xOverY = kind == PointwiseKind::XOverY;
      outcome.faultIndex = xOverY ? divideCoordinates(xs, ys) : divideCoordinates(ys, xs);
      if (!outcome.faultIndex) {
        g.title += xOverY ? " (X/Y)" : " (Y/X)";
      }
      break;
    }
    case PointwiseKind::SwapXY:
      std::swap_ranges(xs.begin(), xs.end(), ys.begin());
      g.title += " (Y<->X)";
      break;
  }
  return outcome;
}

}  // namespace tarvik
