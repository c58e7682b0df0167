#pragma once
// The two spectra of a uniformly sampled signal: direct summation on an arbitrary
// frequency grid (the "DFT" path, computed fast) and the radix-2 FFT bins (the "FFT" path).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "spectral/ChirpSums.h"

namespace tarvik::spectral {

// Phase of a spectrum value X = Re − i·Im (Re = Σ x·cos, Im = Σ x·sin): atan2(−Im, Re) in
// (−π, π] (−π written as π); 0 for a zero value. Equals the classic rule "atan(−Im/Re),
// plus π when Re ≤ 0, less 2π above π" wherever Re is not 0.
double spectrumPhase(double re, double im);

// The direct sums of the DFT path for frequencies k·df (Hz), k ∈ [first, first + count):
//   re[k] = Σ_p x[p]·cos(ω_k·(p·s + t0)),  im[k] = Σ_p x[p]·sin(ω_k·(p·s + t0)),  ω_k = 2π·k·df,
// x the samples, s the sample step and t0 the time of sample 0 (seconds). Computed by the
// rotation recurrence or the chirp-z transform (whichever is cheaper, or as `method` says),
// to within about 1e-13·Σ|x| of the exact sums. Empty samples give zeros.
class DftSums {
 public:
  DftSums(std::span<const float> samples, double sampleStep, double df, double t0 = 0,
          SumMethod method = SumMethod::Automatic);
  // Weights sample p by w_p, the symmetric window whose first half (⌈M/2⌉ values) is `half`:
  // the sums are then those of x[p]·w_p, each product taken in double precision. The span
  // must outlive the sums; its size must be ⌈M/2⌉ (std::invalid_argument otherwise).
  void setWindow(std::span<const double> half);
  // Writes count values into re and im; keepGoing as for chirpSums. False when stopped.
  bool compute(std::int64_t first, std::size_t count, double* re, double* im,
               const std::function<bool(double)>& keepGoing) const;

 private:
  std::span<const float> m_samples;
  std::span<const double> m_halfWindow;  // empty: no weighting
  double m_sampleStep, m_df, m_t0;
  SumMethod m_method;
};

// Frequencies per block of the DFT path: blocks keep progress and the stop request
// meaningful; each block costs about one pass of transforms over the samples.
inline constexpr std::size_t kSpectrumBlock = 65536;

// The FFT path's transform size for a graph of n points: the smallest power of two ≥ n
// (1 for n ≤ 1).
std::size_t fftSize(std::size_t n);

}  // namespace tarvik::spectral
