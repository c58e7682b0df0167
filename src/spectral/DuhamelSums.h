#pragma once
// The two fast ways of Duhamel's sum
//   S_k = Σ_{i<k} Δ_i·H(xs[k] − xs[i+1]),  Δ_i = ys[i+1] − ys[i],  k = 1 … m−1,
// with H the step response interpolated linearly on (xh, yh) as stepResponseAt defines it.
//
// On a uniform signal grid xs[j] = xs[0] + j·d the argument depends on k − 1 − i only, so the
// sums are one linear convolution of Δ with g_j = H(j·d): two FFTs of the next power of two
// above 2(m−1) (both real sequences packed into one complex one, z = Δ + i·g, whose square
// transforms to Δ∗Δ − g∗g + 2i·Δ∗g). H jumps at the ends of its range and at repeated knots;
// the lags that land on a jump (within the rounding of the grid) are left out of g and
// summed directly with the arguments the plain sum uses, so the result keeps the plain
// sum's choice of side there.
//
// Elsewhere the sum is taken term by term with a moving interval index instead of a search
// per term, over blocks of outputs shared by two cores.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace tarvik::spectral {

struct DuhamelInput {
  std::span<const double> xs, ys;  // the signal
  std::span<const double> xh, yh;  // the step response
};

// Progress and stop of the long sums; either may be empty.
struct DuhamelControl {
  std::function<void(int percent)> showPercent;  // integer percentage of outputs done
  std::function<bool()> stopRequested;           // polled between blocks of outputs
};

// The FFT form. Returns false (and leaves `out` alone) when it does not apply: fewer than two
// points, xs not uniform to the rounding of its values, xh not ascending, a value that is not
// finite, or H with too many jumps on the lag grid. Otherwise `out` gets the m−1 sums, equal
// to the plain ones within about 1e-15 of the largest Σ_i |Δ_i·H|.
bool uniformDuhamelSums(const DuhamelInput& in, std::vector<double>& out);

// The term-by-term form for ascending xs and xh and finite Δ: the same terms added in the
// same order as the plain sum, so the results are equal to the last bit. Returns false when
// it does not apply (out untouched). When stopped, `out` holds the finished first sums and
// `stopped` is set.
bool scanningDuhamelSums(const DuhamelInput& in, const DuhamelControl& control,
                         std::vector<double>& out, bool& stopped);

}  // namespace tarvik::spectral
