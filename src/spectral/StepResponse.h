#pragma once
// The step response H(τ) of the convolution, by linear interpolation on its points (xh, yh):
// 0 outside [xh[0], xh[r−1]], yh[r−1] at τ = xh[r−1], 0 for an empty response. Inside, H is
// the line through the knots b−1 and b of the first b with xh[b−1] ≤ τ < xh[b], so at a
// repeated knot H takes the later point's value. Every form of Duhamel's sum (the plain
// one, the term-by-term scan, the lags of the FFT form) evaluates H by these functions.
#include <cstddef>
#include <span>

namespace tarvik::spectral {

// H on the interval of knots b−1 and b (xh[b−1] ≤ τ < xh[b], 0 < b < r).
inline double responseBetweenKnots(std::span<const double> xh, std::span<const double> yh,
                                   std::size_t b, double tau) {
  return ((tau - xh[b - 1]) * yh[b] + (xh[b] - tau) * yh[b - 1]) / (xh[b] - xh[b - 1]);
}

// H(τ) for an ascending xh, by binary search.
double ascendingStepResponseAt(std::span<const double> xh, std::span<const double> yh,
                               double tau);
// H(τ) for any xh, by the scan from the start that defines it.
double scannedStepResponseAt(std::span<const double> xh, std::span<const double> yh, double tau);
// H(τ), the binary search when xh is ascending, else the scan.
double stepResponseAt(std::span<const double> xh, std::span<const double> yh, double tau);

}  // namespace tarvik::spectral
