#include "spectral/StepResponse.h"

#include <algorithm>

namespace tarvik::spectral {
namespace {

bool outsideRange(std::span<const double> xh, double tau) {
  const std::size_t r = xh.size();
  return r == 0 || tau > xh[r - 1] || tau < xh[0];
}

}  // namespace

double ascendingStepResponseAt(std::span<const double> xh, std::span<const double> yh,
                               double tau) {
  if (outsideRange(xh, tau)) {
    return 0;
  }
  const std::size_t r = xh.size();
  // The first b with xh[b] > τ also has xh[b−1] ≤ τ: the interval the scan would find.
  const auto b = static_cast<std::size_t>(std::upper_bound(xh.begin(), xh.end(), tau) - xh.begin());
  return b == 0 || b == r ? yh[r - 1] : responseBetweenKnots(xh, yh, b, tau);
}

double scannedStepResponseAt(std::span<const double> xh, std::span<const double> yh, double tau) {
  if (outsideRange(xh, tau)) {
    return 0;
  }
  for (std::size_t b = 1; b < xh.size(); ++b) {
    if (xh[b - 1] <= tau && tau < xh[b]) {
      return responseBetweenKnots(xh, yh, b, tau);
    }
  }
  return yh[xh.size() - 1];
}

double stepResponseAt(std::span<const double> xh, std::span<const double> yh, double tau) {
  return std::is_sorted(xh.begin(), xh.end()) ? ascendingStepResponseAt(xh, yh, tau)
                                              : scannedStepResponseAt(xh, yh, tau);
}

}  // namespace tarvik::spectral
