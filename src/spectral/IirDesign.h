#pragma once
// Recursive (IIR) filter design in second-order sections: the analog prototype as zeros,
// poles and gain, the low-pass-to-band frequency transform at prewarped edges, the bilinear
// transform, and the grouping of zeros and poles into sections. Every step follows the
// construction of scipy.signal (butter, bessel with norm "phase", cheby1, cheby2 with
// output='sos'), so a design can be checked coefficient by coefficient against it.
#include <array>
#include <complex>
#include <vector>

namespace tarvik::spectral {

enum class IirKind { Butterworth, Bessel, Chebyshev1, Chebyshev2 };
enum class BandType { Lowpass, Highpass, Bandpass, Bandstop };

// One section: b0, b1, b2, a0 (= 1), a1, a2 of
// H(z) = (b0 + b1·z⁻¹ + b2·z⁻²) / (a0 + a1·z⁻¹ + a2·z⁻²).
using Section = std::array<double, 6>;
using Sections = std::vector<Section>;

struct Zpk {
  std::vector<std::complex<double>> zeros;
  std::vector<std::complex<double>> poles;
  double gain = 1;
};

inline constexpr int kMaxIirOrder = 16;

struct IirDesignRequest {
  IirKind kind = IirKind::Butterworth;
  BandType type = BandType::Lowpass;
  int order = 4;
  // Band edges as fractions of the Nyquist frequency, 0 < edge1 (< edge2) < 1; edge2 is used
  // by the band types only.
  double edge1 = 0.1;
  double edge2 = 0.2;
  double rippleDb = 1;        // pass-band ripple of chebyshev1, > 0
  double attenuationDb = 40;  // stop-band attenuation of chebyshev2, > 0
};

// The analog low-pass prototype with its edge at 1 rad/s (the Bessel one normalised so
// that its phase response is −order·π/4 there). order 1 … kMaxIirOrder.
Zpk analogPrototype(IirKind kind, int order, double rippleDb, double attenuationDb);

// The digital filter's zeros, poles and gain.
Zpk digitalZpk(const IirDesignRequest& request);

// Zeros and poles grouped into sections: the poles nearest the unit circle go last, each
// with its nearest zeros; the gain sits in the first section.
Sections zpkToSections(const Zpk& zpk);

// The whole design. A request outside the ranges above: std::invalid_argument.
Sections designIir(const IirDesignRequest& request);

// True when the poles of every section lie strictly inside the unit circle.
bool sectionsStable(const Sections& sections);

}  // namespace tarvik::spectral
