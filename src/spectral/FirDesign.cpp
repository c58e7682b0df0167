#include "spectral/FirDesign.h"

#include <cmath>
#include <stdexcept>

namespace tarvik::spectral {
namespace {

constexpr double kPi = 3.141592653589793;

// Σ a_k·cos(k·φ) over φ = −π … π in M equal steps (the last exactly π).
std::vector<double> cosineSum(std::size_t m, std::initializer_list<double> a) {
  std::vector<double> w(m, 0.0);
  const double step = m > 1 ? 2 * kPi / static_cast<double>(m - 1) : 0.0;
  for (std::size_t i = 0; i < m; ++i) {
    const double phi = i + 1 == m && m > 1 ? kPi : static_cast<double>(i) * step + -kPi;
    double k = 0;
    for (double coefficient : a) {
      w[i] += coefficient * std::cos(k * phi);
      k += 1;
    }
  }
  return w;
}

double sinc(double x) {
  const double y = kPi * (x == 0 ? 1.0e-20 : x);
  return std::sin(y) / y;
}

}  // namespace

double besselI0(double x) {
  // Σ ((x/2)^k / k!)²: every term is positive, so the sum is accurate to rounding; the
  // largest term is below e^x, which keeps it finite up to x ≈ 709.
  const double q = x * x / 4;
  double term = 1, sum = 1;
  for (int k = 1; k < 2000; ++k) {
    term *= q / (static_cast<double>(k) * k);
    sum += term;
    if (term < sum * 1e-17) {
      break;
    }
  }
  return sum;
}

std::vector<double> designWindow(FirWindow window, std::size_t m, double beta) {
  if (m == 1) {
    return {1.0};
  }
  switch (window) {
    case FirWindow::Hamming:
      return cosineSum(m, {0.54, 1.0 - 0.54});
    case FirWindow::Hann:
      return cosineSum(m, {0.5, 1.0 - 0.5});
    case FirWindow::Blackman:
      return cosineSum(m, {0.42, 0.50, 0.08});
    case FirWindow::Kaiser: {
      std::vector<double> w(m);
      const double alpha = static_cast<double>(m - 1) / 2.0;
      const double denominator = besselI0(beta);
      for (std::size_t i = 0; i < m; ++i) {
        const double r = (static_cast<double>(i) - alpha) / alpha;
        w[i] = besselI0(beta * std::sqrt(1 - std::pow(r, 2.0))) / denominator;
      }
      return w;
    }
  }
  return std::vector<double>(m, 1.0);
}

std::vector<double> designFir(std::size_t taps, BandType type, double edge1, double edge2,
                              FirWindow window, double beta) {
  if (taps < kMinTaps || taps > kMaxTaps || taps % 2 == 0) {
    throw std::invalid_argument("taps out of range");
  }
  const bool band = type == BandType::Bandpass || type == BandType::Bandstop;
  if (!(edge1 > 0 && edge1 < 1) || (band && !(edge2 > edge1 && edge2 < 1))) {
    throw std::invalid_argument("band edge out of range");
  }
  if (window == FirWindow::Kaiser && !(beta >= 0 && beta <= kMaxKaiserBeta)) {
    throw std::invalid_argument("beta out of range");
  }
  // The pass bands as [left, right] pairs, 0 and 1 added where a band reaches 0 or Nyquist.
  const bool passZero = type == BandType::Lowpass || type == BandType::Bandstop;
  std::vector<double> edges;
  if (passZero) edges.push_back(0.0);
  edges.push_back(edge1);
  if (band) edges.push_back(edge2);
  const bool passNyquist = ((band ? 2 : 1) % 2 == 1) != passZero;
  if (passNyquist) edges.push_back(1.0);
  const double alpha = 0.5 * static_cast<double>(taps - 1);
  std::vector<double> h(taps, 0.0);
  for (std::size_t i = 0; i < taps; ++i) {
    const double m = static_cast<double>(i) - alpha;
    for (std::size_t b = 0; b + 1 < edges.size(); b += 2) {
      const double left = edges[b], right = edges[b + 1];
      h[i] += right * sinc(right * m);
      h[i] -= left * sinc(left * m);
    }
  }
  const std::vector<double> w = designWindow(window, taps, beta);
  for (std::size_t i = 0; i < taps; ++i) h[i] *= w[i];
  const double left = edges[0], right = edges[1];
  const double scaleFrequency = left == 0 ? 0.0 : right == 1 ? 1.0 : 0.5 * (left + right);
  double s = 0;
  for (std::size_t i = 0; i < taps; ++i) {
    s += h[i] * std::cos(kPi * (static_cast<double>(i) - alpha) * scaleFrequency);
  }
  for (double& v : h) v /= s;
  return h;
}

}  // namespace tarvik::spectral
