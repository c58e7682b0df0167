#pragma once
// Windowed-sinc FIR design: the symmetric windows of the design (the samples of
// scipy.signal.get_window(name, M, fftbins=False)) and the taps of scipy.signal.firwin with
// its default scaling (unit gain at the centre of the first pass band).
#include <cstddef>
#include <vector>

#include "spectral/IirDesign.h"

namespace tarvik::spectral {

enum class FirWindow { Hamming, Hann, Blackman, Kaiser };

inline constexpr std::size_t kMinTaps = 3;
inline constexpr std::size_t kMaxTaps = 100001;
// Kaiser's β beyond this overflows I0 in double precision.
inline constexpr double kMaxKaiserBeta = 700;

// M samples of the symmetric window; β is Kaiser's shape parameter (ignored otherwise).
std::vector<double> designWindow(FirWindow window, std::size_t m, double beta);

// `taps` taps (odd, kMinTaps … kMaxTaps) of the filter with band edges as fractions of the
// Nyquist frequency (edge2 for the band types), windowed and scaled. Out of range:
// std::invalid_argument.
std::vector<double> designFir(std::size_t taps, BandType type, double edge1, double edge2,
                              FirWindow window, double beta);

}  // namespace tarvik::spectral
