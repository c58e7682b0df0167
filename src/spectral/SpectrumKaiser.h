#pragma once
// The Kaiser window, w_p = I0(β·√(1 − ((p − c)/c)²))/I0(β), c = (M − 1)/2, made block by block
// for the spectrum windows (SpectrumWindows.h holds the public interface and besselI0).
#include <cstddef>
#include <memory>

namespace tarvik::spectral::detail {

// The most samples one call of KaiserWindow::block makes (the windows' block size).
inline constexpr std::size_t kWindowBlock = 256;

class KaiserPieces;

// The first half of the Kaiser window of M ≥ 2 samples for a β that kaiserBetaUsable accepts.
// Each sample depends only on its index, so blocks may be asked for in any order.
class KaiserWindow {
 public:
  KaiserWindow(double beta, std::size_t m);
  ~KaiserWindow();
  KaiserWindow(const KaiserWindow&) = delete;
  KaiserWindow& operator=(const KaiserWindow&) = delete;
  // w[j] = w_{n0+j} for j < n, n ≤ kWindowBlock, n0 + n ≤ ⌈M/2⌉; w holds kWindowBlock values
  // (those from n on are left unspecified).
  void block(std::size_t n0, std::size_t n, double* w);

 private:
  double m_beta, m_centre;
  std::unique_ptr<KaiserPieces> m_pieces;  // β within the power series' range, else none
  double m_denominator = 0;                // I0(β), or e^(−β)·I0(β) beyond kLargestUnscaled
  bool m_unscaled = true;
};

}  // namespace tarvik::spectral::detail
