#include "spectral/FirDesign.h"

#include <cmath>
#include <stdexcept>

#include "spectral/SpectrumWindows.h"

namespace tarvik::spectral {
namespace {

constexpr double kPi = 3.141592653589793;

double sinc(double x) {
  const double y = kPi * (x == 0 ? 1.0e-20 : x);
  return std::sin(y) / y;
}

}  // namespace

std::vector<double> designWindow(FirWindow window, std::size_t m, double beta) {
  // The design's windows are the spectrum's: one definition of each shape.
  WindowShape shape;
  shape.beta = beta;
  switch (window) {
    case FirWindow::Hamming:
      shape.kind = WindowKind::Hamming;
      break;
    case FirWindow::Hann:
      shape.kind = WindowKind::Hann;
      break;
    case FirWindow::Blackman:
      shape.kind = WindowKind::Blackman;
      break;
    case FirWindow::Kaiser:
      shape.kind = WindowKind::Kaiser;
      break;
  }
  return spectrumWindow(shape, m);
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
