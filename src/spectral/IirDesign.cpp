#include "spectral/IirDesign.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>

namespace tarvik::spectral {
namespace {

using Complex = std::complex<double>;
constexpr double kPi = 3.141592653589793;

// The Bessel polynomial's roots are polished in a wider type than double, so that the
// rounding of its large integer coefficients does not reach the roots' double precision.
#if defined(__SIZEOF_FLOAT128__)
__extension__ typedef __float128 Wide;
#else
typedef long double Wide;
#endif

struct WideComplex {
  Wide re = 0, im = 0;
};
WideComplex operator+(WideComplex a, WideComplex b) { return {a.re + b.re, a.im + b.im}; }
WideComplex operator-(WideComplex a, WideComplex b) { return {a.re - b.re, a.im - b.im}; }
WideComplex operator*(WideComplex a, WideComplex b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
WideComplex operator/(WideComplex a, WideComplex b) {
  const Wide d = b.re * b.re + b.im * b.im;
  return {(a.re * b.re + a.im * b.im) / d, (a.im * b.re - a.re * b.im) / d};
}
Wide norm2(WideComplex a) { return a.re * a.re + a.im * a.im; }

// Roots of the reverse Bessel polynomial θ_N(s) = Σ a_k s^k, a_k = (2N−k)!/(2^(N−k) k! (N−k)!),
// by the Aberth–Ehrlich iteration from points spread over the left half-plane.
std::vector<Complex> reverseBesselRoots(int n) {
  // a_j = (2N−j)!/(N−j)!/j!/2^(N−j): every intermediate quotient is an integer, so each step
  // is exact in the wide type.
  std::vector<Wide> a(static_cast<std::size_t>(n) + 1);
  for (int j = 0; j <= n; ++j) {
    Wide value = 1;
    for (int q = n - j + 1; q <= 2 * n - j; ++q) {
      value *= q;
    }
    for (int q = 2; q <= j; ++q) {
      value /= q;
    }
    for (int q = 0; q < n - j; ++q) {
      value /= 2;
    }
    a[static_cast<std::size_t>(j)] = value;
  }
  const auto eval = [&](WideComplex s, WideComplex& value, WideComplex& slope) {
    value = {a[static_cast<std::size_t>(n)], 0};
    slope = {0, 0};
    for (int k = n - 1; k >= 0; --k) {
      slope = slope * s + value;
      value = value * s + WideComplex{a[static_cast<std::size_t>(k)], 0};
    }
  };
  const double radius = std::pow(static_cast<double>(a[0]), 1.0 / n);
  std::vector<WideComplex> z(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) {
    const double angle = kPi / 2 + kPi * (k + 0.5) / n + 0.01;
    z[static_cast<std::size_t>(k)] = {radius * std::cos(angle), radius * std::sin(angle)};
  }
  for (int iteration = 0; iteration < 500; ++iteration) {
    Wide largest = 0;
    for (std::size_t i = 0; i < z.size(); ++i) {
      WideComplex value, slope;
      eval(z[i], value, slope);
      if (norm2(value) == 0) {
        continue;
      }
      const WideComplex ratio = value / slope;
      WideComplex sum;
      for (std::size_t j = 0; j < z.size(); ++j) {
        if (j != i) {
          sum = sum + WideComplex{1, 0} / (z[i] - z[j]);
        }
      }
      const WideComplex step = ratio / (WideComplex{1, 0} - ratio * sum);
      z[i] = z[i] - step;
      largest = std::max(largest, norm2(step) / norm2(z[i]));
    }
    if (largest < static_cast<Wide>(1e-50L)) {  // steps of 1e-25: far below double rounding
      break;
    }
  }
  std::vector<Complex> roots;
  roots.reserve(z.size());
  for (const WideComplex& r : z) {
    roots.emplace_back(static_cast<double>(r.re), static_cast<double>(r.im));
  }
  // Conjugate pairs made exact, the real root of an odd order exactly real.
  std::sort(roots.begin(), roots.end(),
            [](Complex x, Complex y) { return x.imag() < y.imag(); });
  for (std::size_t i = 0, j = roots.size() - 1; i < j; ++i, --j) {
    const double re = (roots[i].real() + roots[j].real()) / 2;
    const double im = (roots[j].imag() - roots[i].imag()) / 2;
    roots[i] = {re, -im};
    roots[j] = {re, im};
  }
  if (n % 2 == 1) {
    roots[roots.size() / 2] = {roots[roots.size() / 2].real(), 0};
  }
  return roots;
}

// (2N)!/(N!·2^N), the constant term of θ_N, as a double.
double besselConstantTerm(int n) {
  long double value = 1;
  for (int j = n + 1; j <= 2 * n; ++j) {
    value *= j;
  }
  for (int j = 0; j < n; ++j) {
    value /= 2;
  }
  return static_cast<double>(value);
}

Complex product(const std::vector<Complex>& values, bool negate) {
  Complex p = 1;
  for (const Complex& v : values) {
    p *= negate ? -v : v;
  }
  return p;
}

std::size_t relativeDegree(const Zpk& f) {
  if (f.zeros.size() > f.poles.size()) {
    throw std::invalid_argument("improper transfer function");
  }
  return f.poles.size() - f.zeros.size();
}

Zpk lowpassToLowpass(const Zpk& f, double wo) {
  Zpk out;
  for (const Complex& z : f.zeros) out.zeros.push_back(wo * z);
  for (const Complex& p : f.poles) out.poles.push_back(wo * p);
  out.gain = f.gain * std::pow(wo, static_cast<double>(relativeDegree(f)));
  return out;
}

Zpk lowpassToHighpass(const Zpk& f, double wo) {
  const std::size_t degree = relativeDegree(f);
  Zpk out;
  for (const Complex& z : f.zeros) out.zeros.push_back(wo / z);
  for (const Complex& p : f.poles) out.poles.push_back(wo / p);
  out.zeros.insert(out.zeros.end(), degree, Complex(0, 0));
  out.gain = f.gain * (product(f.zeros, true) / product(f.poles, true)).real();
  return out;
}

// Both roots of s² − 2·c·s + wo² = 0 for each c, first all "+" roots, then all "−" roots.
void splitRoots(const std::vector<Complex>& centres, double wo, std::vector<Complex>& out) {
  std::vector<Complex> minus;
  for (const Complex& c : centres) {
    const Complex root = std::sqrt(c * c - wo * wo);
    out.push_back(c + root);
    minus.push_back(c - root);
  }
  out.insert(out.end(), minus.begin(), minus.end());
}

Zpk lowpassToBandpass(const Zpk& f, double wo, double bw) {
  const std::size_t degree = relativeDegree(f);
  std::vector<Complex> z, p;
  for (const Complex& v : f.zeros) z.push_back(v * bw / 2.0);
  for (const Complex& v : f.poles) p.push_back(v * bw / 2.0);
  Zpk out;
  splitRoots(z, wo, out.zeros);
  splitRoots(p, wo, out.poles);
  out.zeros.insert(out.zeros.end(), degree, Complex(0, 0));
  out.gain = f.gain * std::pow(bw, static_cast<double>(degree));
  return out;
}

Zpk lowpassToBandstop(const Zpk& f, double wo, double bw) {
  const std::size_t degree = relativeDegree(f);
  std::vector<Complex> z, p;
  for (const Complex& v : f.zeros) z.push_back((bw / 2) / v);
  for (const Complex& v : f.poles) p.push_back((bw / 2) / v);
  Zpk out;
  splitRoots(z, wo, out.zeros);
  splitRoots(p, wo, out.poles);
  out.zeros.insert(out.zeros.end(), degree, Complex(0, wo));
  out.zeros.insert(out.zeros.end(), degree, Complex(0, -wo));
  out.gain = f.gain * (product(f.zeros, true) / product(f.poles, true)).real();
  return out;
}

Zpk bilinear(const Zpk& f, double fs) {
  const std::size_t degree = relativeDegree(f);
  const double fs2 = 2.0 * fs;
  Zpk out;
  Complex num = 1, den = 1;
  for (const Complex& z : f.zeros) {
    out.zeros.push_back((fs2 + z) / (fs2 - z));
    num *= fs2 - z;
  }
  for (const Complex& p : f.poles) {
    out.poles.push_back((fs2 + p) / (fs2 - p));
    den *= fs2 - p;
  }
  out.zeros.insert(out.zeros.end(), degree, Complex(-1, 0));
  out.gain = f.gain * (num / den).real();
  return out;
}

bool isReal(Complex c) { return c.imag() == 0; }

// Complex values as one member of each conjugate pair (positive imaginary part, the pair
// averaged), then the real values; both sorted as the grouping expects.
std::vector<Complex> conjugatePairsThenReals(std::vector<Complex> z) {
  if (z.empty()) {
    return z;
  }
  const double tol = 100 * std::numeric_limits<double>::epsilon();
  std::stable_sort(z.begin(), z.end(), [](Complex a, Complex b) {
    if (a.real() != b.real()) return a.real() < b.real();
    return std::fabs(a.imag()) < std::fabs(b.imag());
  });
  std::vector<Complex> reals, upper, lower;
  for (const Complex& v : z) {
    if (std::fabs(v.imag()) <= tol * std::abs(v)) {
      reals.emplace_back(v.real(), 0.0);
    } else if (v.imag() > 0) {
      upper.push_back(v);
    } else {
      lower.push_back(v);
    }
  }
  if (upper.size() != lower.size()) {
    throw std::invalid_argument("a complex value has no matching conjugate");
  }
  // Runs of (nearly) the same real part are ordered by the size of the imaginary part.
  std::size_t start = 0;
  while (start < upper.size()) {
    std::size_t stop = start + 1;
    while (stop < upper.size() &&
           upper[stop].real() - upper[stop - 1].real() <= tol * std::abs(upper[stop - 1])) {
      ++stop;
    }
    const auto byImag = [](Complex a, Complex b) { return std::fabs(a.imag()) < std::fabs(b.imag()); };
    std::stable_sort(upper.begin() + static_cast<std::ptrdiff_t>(start),
                     upper.begin() + static_cast<std::ptrdiff_t>(stop), byImag);
    std::stable_sort(lower.begin() + static_cast<std::ptrdiff_t>(start),
                     lower.begin() + static_cast<std::ptrdiff_t>(stop), byImag);
    start = stop;
  }
  std::vector<Complex> out;
  for (std::size_t i = 0; i < upper.size(); ++i) {
    if (std::abs(upper[i] - std::conj(lower[i])) > tol * std::abs(lower[i])) {
      throw std::invalid_argument("a complex value has no matching conjugate");
    }
    out.push_back((upper[i] + std::conj(lower[i])) / 2.0);
  }
  out.insert(out.end(), reals.begin(), reals.end());
  return out;
}

std::size_t worstPole(const std::vector<Complex>& p) {
  std::size_t best = 0;
  double bestDistance = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < p.size(); ++i) {
    const double d = std::fabs(1 - std::abs(p[i]));
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

enum class Which { Real, NonReal, Any };

std::size_t nearest(const std::vector<Complex>& from, Complex to, Which which) {
  std::size_t best = from.size();
  double bestDistance = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < from.size(); ++i) {
    if ((which == Which::Real && !isReal(from[i])) ||
        (which == Which::NonReal && isReal(from[i]))) {
      continue;
    }
    const double d = std::abs(from[i] - to);
    if (best == from.size() || d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  if (best == from.size()) {
    throw std::invalid_argument("no zero of the kind needed is left");
  }
  return best;
}

Complex take(std::vector<Complex>& values, std::size_t i) {
  const Complex v = values[i];
  values.erase(values.begin() + static_cast<std::ptrdiff_t>(i));
  return v;
}

// Coefficients of ∏(x − r), highest power first; real parts (the roots come as
// conjugate pairs or reals).
std::vector<double> polynomial(const std::vector<Complex>& roots) {
  std::vector<Complex> c{1.0};
  for (const Complex& r : roots) {
    std::vector<Complex> next(c.size() + 1, 0.0);
    for (std::size_t i = 0; i < c.size(); ++i) {
      next[i] += c[i];
      next[i + 1] += c[i] * -r;
    }
    c = std::move(next);
  }
  std::vector<double> out;
  for (const Complex& v : c) out.push_back(v.real());
  return out;
}

Section singleSection(const std::vector<Complex>& z, const std::vector<Complex>& p) {
  Section s{};
  const std::vector<double> b = polynomial(z), a = polynomial(p);
  for (std::size_t i = 0; i < b.size(); ++i) s[3 - b.size() + i] = b[i];
  for (std::size_t i = 0; i < a.size(); ++i) s[6 - a.size() + i] = a[i];
  return s;
}

std::size_t realCount(const std::vector<Complex>& v) {
  return static_cast<std::size_t>(std::count_if(v.begin(), v.end(), isReal));
}

}  // namespace

Zpk analogPrototype(IirKind kind, int order, double rippleDb, double attenuationDb) {
  if (order < 1 || order > kMaxIirOrder) {
    throw std::invalid_argument("order out of range");
  }
  const int n = order;
  Zpk f;
  switch (kind) {
    case IirKind::Butterworth:
      for (int m = -n + 1; m < n; m += 2) {
        f.poles.push_back(-std::exp(Complex(0, 1) * (kPi * m / (2 * n))));
      }
      f.gain = 1;
      break;
    case IirKind::Bessel: {
      const double scale = std::pow(10.0, -std::log10(besselConstantTerm(n)) / n);
      for (const Complex& r : reverseBesselRoots(n)) {
        f.poles.push_back(r * scale);
      }
      f.gain = 1;
      break;
    }
    case IirKind::Chebyshev1: {
      if (!(rippleDb > 0) || !std::isfinite(rippleDb)) {
        throw std::invalid_argument("ripple out of range");
      }
      const double eps = std::sqrt(std::pow(10.0, 0.1 * rippleDb) - 1.0);
      const double mu = 1.0 / n * std::asinh(1 / eps);
      for (int m = -n + 1; m < n; m += 2) {
        const double theta = kPi * m / (2 * n);
        f.poles.push_back(-std::sinh(Complex(mu, theta)));
      }
      f.gain = product(f.poles, true).real();
      if (n % 2 == 0) {
        f.gain = f.gain / std::sqrt(1 + eps * eps);
      }
      break;
    }
    case IirKind::Chebyshev2: {
      if (!(attenuationDb > 0) || !std::isfinite(attenuationDb)) {
        throw std::invalid_argument("attenuation out of range");
      }
      const double de = 1.0 / std::sqrt(std::pow(10.0, 0.1 * attenuationDb) - 1);
      const double mu = std::asinh(1.0 / de) / n;
      std::vector<int> ms;
      if (n % 2 == 1) {
        for (int m = -n + 1; m < 0; m += 2) ms.push_back(m);
        for (int m = 2; m < n; m += 2) ms.push_back(m);
      } else {
        for (int m = -n + 1; m < n; m += 2) ms.push_back(m);
      }
      for (int m : ms) {
        f.zeros.push_back(-std::conj(Complex(0, 1) / std::sin(m * kPi / (2.0 * n))));
      }
      for (int m = -n + 1; m < n; m += 2) {
        const Complex p = -std::exp(Complex(0, 1) * (kPi * m / (2 * n)));
        f.poles.push_back(1.0 / Complex(std::sinh(mu) * p.real(), std::cosh(mu) * p.imag()));
      }
      f.gain = (product(f.poles, true) / product(f.zeros, true)).real();
      break;
    }
  }
  return f;
}

Zpk digitalZpk(const IirDesignRequest& r) {
  const bool band = r.type == BandType::Bandpass || r.type == BandType::Bandstop;
  if (!(r.edge1 > 0 && r.edge1 < 1) || (band && !(r.edge2 > r.edge1 && r.edge2 < 1))) {
    throw std::invalid_argument("band edge out of range");
  }
  const Zpk prototype = analogPrototype(r.kind, r.order, r.rippleDb, r.attenuationDb);
  const double fs = 2.0;
  const double w1 = 2 * fs * std::tan(kPi * r.edge1 / fs);
  Zpk analog;
  switch (r.type) {
    case BandType::Lowpass:
      analog = lowpassToLowpass(prototype, w1);
      break;
    case BandType::Highpass:
      analog = lowpassToHighpass(prototype, w1);
      break;
    case BandType::Bandpass:
    case BandType::Bandstop: {
      const double w2 = 2 * fs * std::tan(kPi * r.edge2 / fs);
      const double bw = w2 - w1;
      const double wo = std::sqrt(w1 * w2);
      analog = r.type == BandType::Bandpass ? lowpassToBandpass(prototype, wo, bw)
                                            : lowpassToBandstop(prototype, wo, bw);
      break;
    }
  }
  return bilinear(analog, fs);
}

Sections zpkToSections(const Zpk& zpk) {
  std::vector<Complex> z = zpk.zeros, p = zpk.poles;
  if (z.empty() && p.empty()) {
    return {Section{zpk.gain, 0, 0, 1, 0, 0}};
  }
  if (z.size() < p.size()) z.insert(z.end(), p.size() - z.size(), Complex(0, 0));
  if (p.size() < z.size()) p.insert(p.end(), z.size() - p.size(), Complex(0, 0));
  const std::size_t count = (p.size() + 1) / 2;
  if (p.size() % 2 == 1) {
    p.emplace_back(0, 0);
    z.emplace_back(0, 0);
  }
  z = conjugatePairsThenReals(z);
  p = conjugatePairsThenReals(p);
  Sections sos(count);
  for (std::size_t si = count; si-- > 0;) {
    const Complex p1 = take(p, worstPole(p));
    if (isReal(p1) && realCount(p) == 0) {
      const Complex z1 = take(z, nearest(z, p1, Which::Real));
      sos[si] = singleSection({z1, 0.0}, {p1, 0.0});
    } else if (p.size() + 1 == z.size() && !isReal(p1) && realCount(p) == 1 &&
               realCount(z) == 1) {
      const Complex z1 = take(z, nearest(z, p1, Which::NonReal));
      sos[si] = singleSection({z1, std::conj(z1)}, {p1, std::conj(p1)});
    } else {
      Complex p2;
      if (isReal(p1)) {
        std::vector<std::size_t> realIndex;
        std::vector<Complex> realPoles;
        for (std::size_t i = 0; i < p.size(); ++i) {
          if (isReal(p[i])) {
            realIndex.push_back(i);
            realPoles.push_back(p[i]);
          }
        }
        p2 = take(p, realIndex[worstPole(realPoles)]);
      } else {
        p2 = std::conj(p1);
      }
      if (!z.empty()) {
        const Complex z1 = take(z, nearest(z, p1, Which::Any));
        if (!isReal(z1)) {
          sos[si] = singleSection({z1, std::conj(z1)}, {p1, p2});
        } else if (!z.empty()) {
          const Complex z2 = take(z, nearest(z, p1, Which::Real));
          sos[si] = singleSection({z1, z2}, {p1, p2});
        } else {
          sos[si] = singleSection({z1}, {p1, p2});
        }
      } else {
        sos[si] = singleSection({}, {p1, p2});
      }
    }
  }
  for (int i = 0; i < 3; ++i) {
    sos[0][static_cast<std::size_t>(i)] *= zpk.gain;
  }
  return sos;
}

Sections designIir(const IirDesignRequest& request) {
  return zpkToSections(digitalZpk(request));
}

bool sectionsStable(const Sections& sections) {
  for (const Section& s : sections) {
    const double a1 = s[4] / s[3], a2 = s[5] / s[3];
    // z² + a1·z + a2 has both roots inside the unit circle exactly when |a2| < 1 and
    // |a1| < 1 + a2 (the stability triangle).
    if (!(std::fabs(a2) < 1 && std::fabs(a1) < 1 + a2)) {
      return false;
    }
  }
  return true;
}

}  // namespace tarvik::spectral
