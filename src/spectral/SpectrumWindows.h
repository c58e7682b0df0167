#pragma once
// Spectrum windows: symmetric weightings of the M uniformly resampled samples of a spectrum,
// against the leakage of a record that does not hold whole periods.
//
// The definitions are the usual ones of the signal-processing literature, in the form the
// scientific Python stack computes them (symmetric windows, p = 0 … M−1):
//   cosine sums  w_p = Σ_k a_k·cos(k·(2πp/(M−1) − π))
//                  hann [0.5, 0.5], hamming [0.54, 1 − 0.54], blackman [0.42, 0.5, 0.08],
//                  blackman-harris (4-term) [0.35875, 0.48829, 0.14128, 0.01168],
//                  flattop [0.21557895, 0.41663158, 0.277263158, 0.083578947, 0.006947368];
//   kaiser       w_p = I0(β·√(1 − ((p − c)/c)²)) / I0(β),  c = (M − 1)/2;
//   tukey        a cosine taper over the first and last α(M−1)/2 samples, ones between
//                (α ≤ 0: all ones, α ≥ 1: hann);
//   rectangular  all ones.
// M ≤ 1 gives M ones. The windows are exactly symmetric: the second half mirrors the first.
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tarvik::spectral {

enum class WindowKind {
  Rectangular,
  Hann,
  Hamming,
  Blackman,
  BlackmanHarris,
  Flattop,
  Kaiser,
  Tukey
};
inline constexpr int kWindowKinds = 8;

// The names of the batch runner's window= and the captions of the spectrum dialog's list,
// both in the order of WindowKind.
inline constexpr const char* kWindowNames[kWindowKinds] = {
    "rectangular", "hann", "hamming", "blackman", "blackman-harris", "flattop", "kaiser", "tukey"};
inline constexpr const char* kWindowCaptions[kWindowKinds] = {
    "Прямоугольное",      "Ханна",   "Хэмминга", "Блэкмана", "Блэкмана–Харриса",
    "С плоской вершиной", "Кайзера", "Тьюки"};

std::optional<WindowKind> windowKindByName(std::string_view name);
const char* windowName(WindowKind kind);
const char* windowCaption(WindowKind kind);

inline constexpr double kDefaultKaiserBeta = 8.6;
inline constexpr double kDefaultTukeyAlpha = 0.5;

struct WindowShape {
  WindowKind kind = WindowKind::Rectangular;
  double beta = kDefaultKaiserBeta;   // kaiser: finite, ≥ 0
  double alpha = kDefaultTukeyAlpha;  // tukey: 0 … 1
};

// The parameters a window accepts: β finite and ≥ 0, α within [0, 1].
bool kaiserBetaUsable(double beta);
bool tukeyAlphaUsable(double alpha);

// w_0 … w_{h−1}, h = ⌈M/2⌉, the first half of the symmetric window of M samples (w_p =
// w_{M−1−p} gives the rest). Samples within a few 1e-16 of the exact values (absolute;
// kaiser within a few 1e-16 relative). A parameter the window does not accept:
// std::invalid_argument.
std::vector<double> halfWindow(const WindowShape& shape, std::size_t m);
// The first half as halfWindow gives it and the mean of the whole window (windowMean of it).
struct HalfWindowAndMean {
  std::vector<double> half;
  double mean = 0;
};
HalfWindowAndMean halfWindowAndMean(const WindowShape& shape, std::size_t m);
// The whole window of M samples.
std::vector<double> spectrumWindow(const WindowShape& shape, std::size_t m);
// The mean of the window of M samples whose first half is `half` (its coherent gain).
double windowMean(const std::vector<double>& half, std::size_t m);

// The first half of the window of M samples scaled to a mean of 1, so that weighted sums keep
// the amplitude a bin-centred sine has without a window; empty when the window's mean is not
// above zero (too few samples: hann, blackman or tukey of 2 are all zeros).
std::vector<double> unitMeanHalfWindow(const WindowShape& shape, std::size_t m);
// samples[p] := samples[p]·w_p in single precision, w the symmetric window whose first half is
// `half` (⌈M/2⌉ values for M samples; std::invalid_argument otherwise).
void weightSamples(std::span<float> samples, std::span<const double> half);

// samples[p] := samples[p]·w_p in single precision, w the window of M = samples.size()
// samples (the products those of weightSamples with halfWindow's first half), made and
// applied block by block without storing it. Returns the window's mean (0 for no samples);
// the caller decides what a mean not above zero means. A parameter the window does not
// accept: std::invalid_argument, the samples unchanged.
double weightByWindow(const WindowShape& shape, std::span<float> samples);

// The modified Bessel function of the first kind of order zero, to a few 1e-16 relative
// (the power series up to 30, the asymptotic series beyond). I0(−x) = I0(x); +inf beyond
// about 713; NaN for NaN.
double besselI0(double x);

}  // namespace tarvik::spectral
