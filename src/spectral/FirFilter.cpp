#include "spectral/FirFilter.h"

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <thread>

#include "spectral/ComplexFft.h"

namespace tarvik::spectral {
namespace {

// Records at least this long share the work between two threads.
constexpr std::size_t kThreadedLength = 1u << 17;

void checkShapes(std::span<const double> y, std::span<const double> h) {
  if (h.size() % 2 == 0 || h.size() > y.size()) {
    throw std::invalid_argument("the kernel must be odd and not longer than the record");
  }
}

void directRange(std::span<const double> y, std::span<const double> h, std::size_t first,
                 std::size_t last, double* out) {
  const std::size_t n = y.size(), m = h.size(), c = (m - 1) / 2;
  for (std::size_t k = first; k < last; ++k) {
    // i runs over max(0, k + c − (n − 1)) … min(m − 1, k + c).
    const std::size_t top = k + c;
    const std::size_t iLow = top >= n ? top - (n - 1) : 0;
    const std::size_t iHigh = std::min(m - 1, top);
    double sum = 0;
    for (std::size_t i = iLow; i <= iHigh; ++i) {
      sum += h[i] * y[top - i];
    }
    out[k] = sum;
  }
}

template <class Work>
void shareRange(std::size_t total, std::size_t n, const Work& work) {
  if (n < kThreadedLength || total < 2 || std::thread::hardware_concurrency() < 2) {
    work(0, total);
    return;
  }
  const std::size_t split = total / 2;
  std::thread other([&] { work(split, total); });
  work(0, split);
  other.join();
}

}  // namespace

std::vector<double> convolveCentredDirect(std::span<const double> y, std::span<const double> h) {
  checkShapes(y, h);
  std::vector<double> out(y.size());
  shareRange(y.size(), y.size(), [&](std::size_t first, std::size_t last) {
    directRange(y, h, first, last, out.data());
  });
  return out;
}

std::vector<double> convolveCentredFft(std::span<const double> y, std::span<const double> h) {
  checkShapes(y, h);
  const std::size_t n = y.size(), m = h.size(), c = (m - 1) / 2;
  // The transform is about eight kernels long (fewer for a short record): the share of
  // each transform spent on the kernel's overlap stays small.
  const std::size_t size = std::max<std::size_t>(
      16, std::bit_ceil(std::min(8 * m, n + m - 1)));
  const std::size_t valid = size - (m - 1);  // outputs per stretch
  const ComplexFft fft(size);
  std::vector<double> hr(size, 0.0), hi(size, 0.0);
  std::copy(h.begin(), h.end(), hr.begin());
  fft.forwardToBitReversed(hr.data(), hi.data());
  const double scale = 1.0 / static_cast<double>(size);
  for (std::size_t i = 0; i < size; ++i) {
    hr[i] *= scale;
    hi[i] *= scale;
  }
  const std::size_t stretches = (n + valid - 1) / valid;
  const std::size_t pairs = (stretches + 1) / 2;
  std::vector<double> out(n);
  // Stretch s gives the full-convolution indices j0 … j0 + valid − 1, j0 = c + s·valid,
  // from the samples y[j0 − (m − 1) …]; output k is full index k + c.
  const auto load = [&](std::size_t s, double* dst) {
    const std::ptrdiff_t first =
        static_cast<std::ptrdiff_t>(c + s * valid) - static_cast<std::ptrdiff_t>(m - 1);
    for (std::size_t t = 0; t < size; ++t) {
      const std::ptrdiff_t i = first + static_cast<std::ptrdiff_t>(t);
      dst[t] = i >= 0 && i < static_cast<std::ptrdiff_t>(n) ? y[static_cast<std::size_t>(i)] : 0.0;
    }
  };
  const auto store = [&](std::size_t s, const double* src) {
    const std::size_t k0 = s * valid;
    const std::size_t count = std::min(valid, n - k0);
    std::copy(src + (m - 1), src + (m - 1) + count, out.begin() + static_cast<std::ptrdiff_t>(k0));
  };
  shareRange(pairs, n, [&](std::size_t first, std::size_t last) {
    std::vector<double> re(size), im(size);
    for (std::size_t p = first; p < last; ++p) {
      const std::size_t s = 2 * p;
      load(s, re.data());
      if (s + 1 < stretches) {
        load(s + 1, im.data());
      } else {
        std::fill(im.begin(), im.end(), 0.0);
      }
      fft.forwardToBitReversed(re.data(), im.data());
      for (std::size_t i = 0; i < size; ++i) {
        const double r = re[i] * hr[i] - im[i] * hi[i];
        im[i] = re[i] * hi[i] + im[i] * hr[i];
        re[i] = r;
      }
      fft.inverseFromBitReversed(re.data(), im.data());
      store(s, re.data());
      if (s + 1 < stretches) {
        store(s + 1, im.data());
      }
    }
  });
  return out;
}

std::vector<double> convolveCentred(std::span<const double> y, std::span<const double> h) {
  return h.size() <= kDirectKernel ? convolveCentredDirect(y, h) : convolveCentredFft(y, h);
}

}  // namespace tarvik::spectral
