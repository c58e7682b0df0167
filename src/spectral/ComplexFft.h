#pragma once
// Complex FFT of a power-of-two length in double precision, on split arrays (real parts and
// imaginary parts apart). The chirp-z sums convolve with it: a forward transform that leaves
// its output in bit-reversed order and an inverse that takes bit-reversed input need no
// reordering pass in between.
#include <cstddef>
#include <vector>

namespace tarvik::spectral {

class ComplexFft {
 public:
  // `size` must be a power of two (1 included); otherwise std::invalid_argument.
  explicit ComplexFft(std::size_t size);
  std::size_t size() const { return m_size; }

  // X[k] = Σ x[n]·e^(−2πi·nk/N): input in natural order, output in bit-reversed order.
  void forwardToBitReversed(double* re, double* im) const;
  // x[n] = Σ X[k]·e^(+2πi·nk/N), unscaled: input in bit-reversed order, output natural.
  void inverseFromBitReversed(double* re, double* im) const;
  // The forward transform with both sides in natural order.
  void forward(double* re, double* im) const;

 private:
  void difStage(double* re, double* im, std::size_t length, std::size_t half) const;
  void ditStage(double* re, double* im, std::size_t length, std::size_t half) const;

  std::size_t m_size;
  int m_log2 = 0;
  // Twiddles of the stage with half-size c at [c − 1, 2c − 1): cos(πj/c), sin(πj/c).
  std::vector<double> m_cos;
  std::vector<double> m_sin;
};

// Reverses the lowest `bits` bits of `index`.
std::size_t reverseBits(std::size_t index, int bits);

}  // namespace tarvik::spectral
