#include "spectral/SavitzkyGolay.h"

#include <cmath>
#include <stdexcept>

#include "spectral/FirFilter.h"

namespace tarvik::spectral {
namespace {

void checkShape(std::size_t width, std::size_t polyorder) {
  if (width % 2 == 0 || polyorder >= width) {
    throw std::invalid_argument("the window must be odd and longer than the degree");
  }
}

// The orthonormal polynomials q_0 … q_p of the points x_j = j − (w − 1)/2, j = 0 … w − 1,
// at one x: √β_{k+1}·q_{k+1} = x·q_k − √β_k·q_{k−1}, β_k = k²(w² − k²)/(4(4k² − 1)).
class GramPolynomials {
 public:
  GramPolynomials(std::size_t width, std::size_t polyorder)
      : m_centre(static_cast<double>(width - 1) / 2),
        m_q0(1 / std::sqrt(static_cast<double>(width))),
        m_root(polyorder + 1, 0.0) {
    const double w = static_cast<double>(width);
    for (std::size_t k = 1; k <= polyorder; ++k) {
      const double kk = static_cast<double>(k);
      m_root[k] = std::sqrt(kk * kk * (w * w - kk * kk) / (4 * (4 * kk * kk - 1)));
    }
  }

  // q_0 … q_p at point index j (which may be fractional).
  void at(double j, std::vector<double>& q) const {
    const double x = j - m_centre;
    const std::size_t p = m_root.size() - 1;
    q.assign(p + 1, 0.0);
    q[0] = m_q0;
    if (p >= 1) q[1] = x * q[0] / m_root[1];
    for (std::size_t k = 1; k < p; ++k) {
      q[k + 1] = (x * q[k] - m_root[k] * q[k - 1]) / m_root[k + 1];
    }
  }

 private:
  double m_centre;
  double m_q0;
  std::vector<double> m_root;  // √β_k, k = 1 … p
};

// The polynomial fitted to y[start … start + w − 1] at indices start + t, t in [tFirst, tLast).
void fitEdge(std::span<const double> y, std::size_t start, std::size_t width,
             const GramPolynomials& gram, std::size_t tFirst, std::size_t tLast,
             std::vector<double>& out) {
  std::vector<double> projection, q;
  for (std::size_t j = 0; j < width; ++j) {
    gram.at(static_cast<double>(j), q);
    if (projection.empty()) projection.assign(q.size(), 0.0);
    for (std::size_t k = 0; k < q.size(); ++k) {
      projection[k] += q[k] * y[start + j];
    }
  }
  for (std::size_t t = tFirst; t < tLast; ++t) {
    gram.at(static_cast<double>(t), q);
    double value = 0;
    for (std::size_t k = 0; k < q.size(); ++k) {
      value += projection[k] * q[k];
    }
    out[start + t] = value;
  }
}

}  // namespace

std::vector<double> savitzkyGolayWeights(std::size_t width, std::size_t polyorder) {
  checkShape(width, polyorder);
  const GramPolynomials gram(width, polyorder);
  std::vector<double> centre, q, c(width);
  gram.at(static_cast<double>(width / 2), centre);
  for (std::size_t j = 0; j < width; ++j) {
    gram.at(static_cast<double>(j), q);
    double sum = 0;
    for (std::size_t k = 0; k < q.size(); ++k) {
      sum += q[k] * centre[k];
    }
    c[j] = sum;
  }
  return c;
}

std::vector<double> savitzkyGolayFilter(std::span<const double> y, std::size_t width,
                                        std::size_t polyorder) {
  checkShape(width, polyorder);
  const std::size_t n = y.size();
  if (width > n) {
    throw std::invalid_argument("the window is longer than the record");
  }
  // The weights are symmetric, so the centred convolution is the weighted window sum.
  std::vector<double> out = convolveCentred(y, savitzkyGolayWeights(width, polyorder));
  const GramPolynomials gram(width, polyorder);
  const std::size_t half = width / 2;
  fitEdge(y, 0, width, gram, 0, half, out);
  fitEdge(y, n - width, width, gram, width - half, width, out);
  return out;
}

}  // namespace tarvik::spectral
