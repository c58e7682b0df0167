#pragma once
// Sums over a uniform grid of frequencies:
//   Y[k] = Σ_{j<M} u[j]·e^(−2πi·β·k·j),   k = k0 … k0 + K − 1,
// the form both the direct-summation spectrum and the inverse summation take. Two ways:
//  - directly, with a rotation recurrence (e^(−2πiβk) applied sample by sample, eight
//    frequencies at a time, the phasors set exactly every 1024 samples), O(M·K);
//  - as a chirp-z transform (Bluestein): k·j = (k² + j² − (k − j)²)/2 turns the sum into a
//    convolution with a chirp, done by FFT in segments of the samples (overlap-add), so the
//    cost is O(M·log K) and the memory O(K).
// Every phase is taken from CycleFraction (exact fractional cycles), so the error does not
// grow with M or k: a few 1e-14 of Σ|u| in practice.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace tarvik::spectral {

struct ChirpInput {
  std::size_t length = 0;  // M
  bool real = false;       // every u[j] is real; `load` then fills only `re`
  // Writes u[j] for j ∈ [first, first + count) into re[0 … count) (and im[…] unless real).
  std::function<void(std::size_t first, std::size_t count, double* re, double* im)> load;
};

enum class SumMethod { Automatic, Direct, ChirpZ };

// Y[k0 + q] into outRe[q], outIm[q] for q < count; β = betaHi + betaLo (a double-double,
// e.g. a product and its rounding error). keepGoing(fractionDone) is called between pieces
// of work (a few hundred per second at most); when it returns false the sums are abandoned,
// the outputs are unspecified and the function returns false. M = 0 gives zeros.
bool chirpSums(const ChirpInput& input, double betaHi, double betaLo, std::int64_t k0,
               std::size_t count, double* outRe, double* outIm,
               const std::function<bool(double)>& keepGoing,
               SumMethod method = SumMethod::Automatic);

// The method Automatic picks for these sizes (the cheaper by an operation count).
SumMethod preferredMethod(std::size_t samples, std::size_t frequencies);

}  // namespace tarvik::spectral
