#include "spectral/DuhamelSums.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <thread>

#include "spectral/BlockLoop.h"
#include "spectral/ComplexFft.h"
#include "spectral/StepResponse.h"

namespace tarvik::spectral {
namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();
// Lags on a jump of H summed directly, each costing m terms.
constexpr std::size_t kMaxJumpLags = 32;
// Terms per block of outputs between two polls of the stop request.
constexpr std::size_t kTermsPerBlock = std::size_t{1} << 22;
// Below this many terms a second core does not pay for its start.
constexpr std::size_t kTwoCoreTerms = std::size_t{1} << 18;

bool allFinite(std::span<const double> v) {
  return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

bool finiteSteps(std::span<const double> ys) {
  for (std::size_t i = 1; i < ys.size(); ++i) {
    if (!std::isfinite(ys[i] - ys[i - 1])) {
      return false;
    }
  }
  return true;
}

// ---- the uniform grid -------------------------------------------------------------------

struct LagGrid {
  double step = 0;
  double slack = 0;  // how far an argument of the plain sum may lie from j·step
};

bool uniformGrid(std::span<const double> xs, LagGrid& grid) {
  const std::size_t m = xs.size();
  const double d = (xs[m - 1] - xs[0]) / static_cast<double>(m - 1);
  if (!(d > 0) || !std::isfinite(d)) {
    return false;
  }
  const double scale = std::max(std::fabs(xs[0]), std::fabs(xs[m - 1]));
  double worst = 0;
  for (std::size_t j = 0; j < m; ++j) {
    worst = std::max(worst, std::fabs(xs[j] - (xs[0] + static_cast<double>(j) * d)));
  }
  if (!(worst <= 16 * kEps * scale)) {
    return false;
  }
  grid.step = d;
  grid.slack = 2 * worst + 8 * kEps * scale;
  return true;
}

// Lags j < n whose j·step lies within the slack of a jump of H: the ends of its range and
// repeated knots. False when there are too many to sum directly.
bool jumpLags(std::span<const double> xh, const LagGrid& grid, std::size_t n,
              std::vector<std::size_t>& lags) {
  std::vector<double> jumps = {xh.front(), xh.back()};
  for (std::size_t b = 1; b < xh.size(); ++b) {
    if (xh[b] == xh[b - 1]) {
      jumps.push_back(xh[b]);
    }
  }
  const double slack =
      grid.slack + 4 * kEps * std::max(std::fabs(xh.front()), std::fabs(xh.back()));
  for (double t : jumps) {
    const double lo = std::ceil((t - slack) / grid.step);
    const double hi = std::floor((t + slack) / grid.step);
    for (double j = std::max(lo, 0.0); j <= hi && j < static_cast<double>(n); ++j) {
      lags.push_back(static_cast<std::size_t>(j));
      if (lags.size() > kMaxJumpLags) {
        return false;
      }
    }
  }
  std::sort(lags.begin(), lags.end());
  lags.erase(std::unique(lags.begin(), lags.end()), lags.end());
  return true;
}

// g_j = H(j·step) for j < n, with a forward-moving interval index.
std::vector<double> lagResponse(std::span<const double> xh, std::span<const double> yh, double step,
                                std::size_t n) {
  std::vector<double> g(n, 0.0);
  const std::size_t r = xh.size();
  std::size_t b = 0;  // the first knot above τ
  for (std::size_t j = 0; j < n; ++j) {
    const double tau = static_cast<double>(j) * step;
    if (tau > xh[r - 1]) {
      break;
    }
    if (tau < xh[0]) {
      continue;
    }
    while (b < r && xh[b] <= tau) {
      ++b;
    }
    g[j] = b == r ? yh[r - 1] : responseBetweenKnots(xh, yh, b, tau);
  }
  return g;
}

double sumOfSquares(const std::vector<double>& v) {
  double s = 0;
  for (double x : v) {
    s += x * x;
  }
  return s;
}

// c_k = Σ_{i ≤ k} a_i·b_{k−i} for k < n (a, b of length n).
std::vector<double> truncatedConvolution(const std::vector<double>& a,
                                         const std::vector<double>& b) {
  const std::size_t n = a.size();
  std::vector<double> c(n, 0.0);
  const double na = sumOfSquares(a), nb = sumOfSquares(b);
  if (na == 0 || nb == 0) {
    return c;
  }
  // Balance the two norms by a power of two (exact) so that Δ∗Δ and g∗g in the real part do
  // not drown the wanted imaginary part.
  const int shift = std::ilogb(std::sqrt(na)) - std::ilogb(std::sqrt(nb));
  const std::size_t size = std::bit_ceil(2 * n);
  std::vector<double> re(size, 0.0), im(size, 0.0);
  std::copy(a.begin(), a.end(), re.begin());
  for (std::size_t i = 0; i < n; ++i) {
    im[i] = std::ldexp(b[i], shift);
  }
  const ComplexFft fft(size);
  fft.forwardToBitReversed(re.data(), im.data());
  for (std::size_t k = 0; k < size; ++k) {
    const double x = re[k], y = im[k];
    re[k] = (x - y) * (x + y);
    im[k] = 2 * x * y;
  }
  fft.inverseFromBitReversed(re.data(), im.data());
  // Im of the inverse is 2·N·(a∗b)·2^shift.
  const double unscale = std::ldexp(1.0 / (2.0 * static_cast<double>(size)), -shift);
  for (std::size_t k = 0; k < n; ++k) {
    c[k] = im[k] * unscale;
  }
  return c;
}

// ---- term by term -----------------------------------------------------------------------

// S_k with i ascending as the plain sum adds; `first` is this caller's moving index of the
// first term whose argument is inside the response's range (it only grows with k).
double scanningSum(const DuhamelInput& in, std::size_t k, std::size_t& first) {
  const std::span<const double> xs = in.xs, ys = in.ys, xh = in.xh, yh = in.yh;
  const std::size_t r = xh.size();
  const double xk = xs[k];
  while (first < k && xk - xs[first + 1] > xh[r - 1]) {
    ++first;
  }
  double s = 0;
  if (first == k) {
    return s;
  }
  double tau = xk - xs[first + 1];
  auto b = static_cast<std::size_t>(std::upper_bound(xh.begin(), xh.end(), tau) - xh.begin());
  for (std::size_t i = first; i < k; ++i) {
    tau = xk - xs[i + 1];
    if (tau < xh[0]) {
      break;  // the arguments only decrease from here
    }
    while (b > 0 && xh[b - 1] > tau) {
      --b;
    }
    s += (ys[i + 1] - ys[i]) * (b == r ? yh[r - 1] : responseBetweenKnots(xh, yh, b, tau));
  }
  return s;
}

// Sums k = from … to−1 with the given stride, starting at `from`.
void scanRange(const DuhamelInput& in, std::size_t from, std::size_t to, std::size_t stride,
               std::size_t& first, std::vector<double>& out) {
  for (std::size_t k = from; k < to; k += stride) {
    out[k - 1] = scanningSum(in, k, first);
  }
}

}  // namespace

bool uniformDuhamelSums(const DuhamelInput& in, std::vector<double>& out) {
  const std::size_t m = in.xs.size();
  if (m < 2 || in.ys.size() != m || in.xh.empty() || in.yh.size() != in.xh.size() ||
      !allFinite(in.xs) || !allFinite(in.xh) || !allFinite(in.yh) || !finiteSteps(in.ys) ||
      !std::is_sorted(in.xh.begin(), in.xh.end())) {
    return false;
  }
  LagGrid grid;
  std::vector<std::size_t> jumps;
  const std::size_t n = m - 1;
  if (!uniformGrid(in.xs, grid) || !jumpLags(in.xh, grid, n, jumps)) {
    return false;
  }
  std::vector<double> delta(n);
  for (std::size_t i = 0; i < n; ++i) {
    delta[i] = in.ys[i + 1] - in.ys[i];
  }
  std::vector<double> g = lagResponse(in.xh, in.yh, grid.step, n);
  for (std::size_t j : jumps) {
    g[j] = 0;
  }
  std::vector<double> sums = truncatedConvolution(delta, g);
  // The lags on a jump, with the plain sum's own arguments.
  for (std::size_t j : jumps) {
    for (std::size_t k = j + 1; k <= n; ++k) {
      const std::size_t i = k - 1 - j;
      sums[k - 1] += delta[i] * ascendingStepResponseAt(in.xh, in.yh, in.xs[k] - in.xs[i + 1]);
    }
  }
  out = std::move(sums);
  return true;
}

bool scanningDuhamelSums(const DuhamelInput& in, const DuhamelControl& control,
                         std::vector<double>& out, bool& stopped) {
  const std::size_t m = in.xs.size();
  stopped = false;
  if (m < 2 || in.ys.size() != m || in.xh.empty() || in.yh.size() != in.xh.size() ||
      !allFinite(in.xs) || !allFinite(in.xh) || !finiteSteps(in.ys) ||
      !std::is_sorted(in.xs.begin(), in.xs.end()) || !std::is_sorted(in.xh.begin(), in.xh.end())) {
    return false;
  }
  const std::size_t n = m - 1;
  std::vector<double> sums(n, 0.0);
  PercentProgress progress(static_cast<double>(n), [&control](int percent) {
    if (control.showPercent) {
      control.showPercent(percent);
    }
  });
  std::size_t firstEven = 0, firstOdd = 0;
  for (std::size_t k = 1; k <= n;) {
    progress.reach(static_cast<std::int64_t>(k - 1));
    if (control.stopRequested && control.stopRequested()) {
      sums.resize(k - 1);
      out = std::move(sums);
      stopped = true;
      return true;
    }
    // Output k costs at most k terms, fewer once the response's range leaves the first
    // terms out: a block of c outputs costs about c·(k + c/2) while the window grows and
    // c·window after that.
    const std::size_t window = std::max<std::size_t>(1, k - std::min(firstEven, k));
    const bool growing = firstEven == 0;
    const auto blockTerms = [window, growing](std::size_t c) {
      return c * (window + (growing ? c / 2 : 0));
    };
    std::size_t count = std::max<std::size_t>(2, kTermsPerBlock / window);
    while (count > 2 && blockTerms(count) > kTermsPerBlock) {
      count /= 2;
    }
    count = std::min(count, n + 1 - k);
    const std::size_t end = k + count;
    if (blockTerms(count) >= kTwoCoreTerms && std::thread::hardware_concurrency() >= 2) {
      // Alternate outputs on the two cores: neighbouring sums cost alike.
      std::thread helper([&, k, end] { scanRange(in, k + 1, end, 2, firstOdd, sums); });
      scanRange(in, k, end, 2, firstEven, sums);
      helper.join();
    } else {
      scanRange(in, k, end, 1, firstEven, sums);
      firstOdd = firstEven;
    }
    k = end;
  }
  progress.reach(static_cast<std::int64_t>(n));
  out = std::move(sums);
  return true;
}

}  // namespace tarvik::spectral
