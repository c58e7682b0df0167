#include "spectral/ChirpSums.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

#include "spectral/ComplexFft.h"
#include "spectral/CycleFraction.h"
#include "spectral/Simd.h"

TARVIK_SIMD_BEGIN

namespace tarvik::spectral {
namespace {

using simd::V4d;

// The direct sums set their phasors exactly every this many samples; in between the
// rotation recurrence adds about 1e-16 of relative error per step.
constexpr std::size_t kAnchorEvery = 1024;
// The chirp-z combination sets its rotation exactly every this many frequencies.
constexpr std::size_t kCombineAnchor = 64;
constexpr std::size_t kLanes = 8;
// Per group of eight frequencies: phasor re/im, step re/im, sums re/im.
constexpr std::size_t kGroupDoubles = 6 * kLanes;

struct Phasor {
  double re = 1, im = 0;
};

// e^(−2πi·cycles)
Phasor rotationOf(CycleFraction f) {
  const double angle = -f.radians();
  return {std::cos(angle), std::sin(angle)};
}

Phasor times(Phasor a, Phasor b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }

// Σ u[j]·phasor·step^j over one chunk for eight frequencies, u real.
TARVIK_SIMD_KERNEL
void rotateReal(const double* u, std::size_t n, double* group) {
  V4d pr0 = simd::load(group), pr1 = simd::load(group + 4);
  V4d pi0 = simd::load(group + 8), pi1 = simd::load(group + 12);
  const V4d dr0 = simd::load(group + 16), dr1 = simd::load(group + 20);
  const V4d di0 = simd::load(group + 24), di1 = simd::load(group + 28);
  V4d ar0 = simd::load(group + 32), ar1 = simd::load(group + 36);
  V4d ai0 = simd::load(group + 40), ai1 = simd::load(group + 44);
  for (std::size_t j = 0; j < n; ++j) {
    const V4d x = simd::splat(u[j]);
    ar0 += x * pr0;
    ar1 += x * pr1;
    ai0 += x * pi0;
    ai1 += x * pi1;
    const V4d t0 = pr0 * dr0 - pi0 * di0, t1 = pr1 * dr1 - pi1 * di1;
    pi0 = pr0 * di0 + pi0 * dr0;
    pi1 = pr1 * di1 + pi1 * dr1;
    pr0 = t0;
    pr1 = t1;
  }
  simd::store(group + 32, ar0);
  simd::store(group + 36, ar1);
  simd::store(group + 40, ai0);
  simd::store(group + 44, ai1);
}

// The same for complex u.
TARVIK_SIMD_KERNEL
void rotateComplex(const double* ur, const double* ui, std::size_t n, double* group) {
  V4d pr0 = simd::load(group), pr1 = simd::load(group + 4);
  V4d pi0 = simd::load(group + 8), pi1 = simd::load(group + 12);
  const V4d dr0 = simd::load(group + 16), dr1 = simd::load(group + 20);
  const V4d di0 = simd::load(group + 24), di1 = simd::load(group + 28);
  V4d ar0 = simd::load(group + 32), ar1 = simd::load(group + 36);
  V4d ai0 = simd::load(group + 40), ai1 = simd::load(group + 44);
  for (std::size_t j = 0; j < n; ++j) {
    const V4d xr = simd::splat(ur[j]), xi = simd::splat(ui[j]);
    ar0 += xr * pr0 - xi * pi0;
    ar1 += xr * pr1 - xi * pi1;
    ai0 += xr * pi0 + xi * pr0;
    ai1 += xr * pi1 + xi * pr1;
    const V4d t0 = pr0 * dr0 - pi0 * di0, t1 = pr1 * dr1 - pi1 * di1;
    pi0 = pr0 * di0 + pi0 * dr0;
    pi1 = pr1 * di1 + pi1 * dr1;
    pr0 = t0;
    pr1 = t1;
  }
  simd::store(group + 32, ar0);
  simd::store(group + 36, ar1);
  simd::store(group + 40, ai0);
  simd::store(group + 44, ai1);
}

bool directSums(const ChirpInput& input, CycleFraction beta, std::int64_t k0, std::size_t count,
                double* outRe, double* outIm, const std::function<bool(double)>& keepGoing) {
  const std::size_t groups = (count + kLanes - 1) / kLanes;
  std::vector<double> state(groups * kGroupDoubles, 0.0);
  std::vector<CycleFraction> perSample(count);  // β·k: the phase step of frequency k
  for (std::size_t q = 0; q < count; ++q) {
    perSample[q] = beta.times(k0 + static_cast<std::int64_t>(q));
    const Phasor step = rotationOf(perSample[q]);
    double* g = state.data() + (q / kLanes) * kGroupDoubles + q % kLanes;
    g[16] = step.re;
    g[24] = step.im;
  }
  std::vector<double> ur(kAnchorEvery), ui(kAnchorEvery);
  for (std::size_t p0 = 0; p0 < input.length; p0 += kAnchorEvery) {
    const std::size_t n = std::min(kAnchorEvery, input.length - p0);
    input.load(p0, n, ur.data(), ui.data());
    for (std::size_t q = 0; q < count; ++q) {
      const Phasor start = rotationOf(perSample[q].times(static_cast<std::int64_t>(p0)));
      double* g = state.data() + (q / kLanes) * kGroupDoubles + q % kLanes;
      g[0] = start.re;
      g[8] = start.im;
    }
    for (std::size_t gi = 0; gi < groups; ++gi) {
      double* g = state.data() + gi * kGroupDoubles;
      if (input.real) {
        rotateReal(ur.data(), n, g);
      } else {
        rotateComplex(ur.data(), ui.data(), n, g);
      }
    }
    if (!keepGoing(static_cast<double>(p0 + n) / static_cast<double>(input.length))) {
      return false;
    }
  }
  for (std::size_t q = 0; q < count; ++q) {
    const double* g = state.data() + (q / kLanes) * kGroupDoubles + q % kLanes;
    outRe[q] = g[32];
    outIm[q] = g[40];
  }
  return true;
}

struct ChirpLayout {
  std::size_t transform = 0;  // L, the FFT length
  std::size_t segment = 0;    // B, samples per segment
  double cost = 0;            // in the units of directCost
};

// Rough costs in units of one sample-frequency pair of the direct sum.
double directCost(std::size_t samples, std::size_t frequencies) {
  return static_cast<double>(samples) * static_cast<double>((frequencies + 7) / 8 * 8);
}

ChirpLayout chooseLayout(std::size_t samples, std::size_t frequencies) {
  ChirpLayout best;
  const std::size_t smallest = std::bit_ceil(frequencies + 1);
  const std::size_t largest = std::max(smallest, std::bit_ceil(frequencies + samples));
  for (std::size_t l = smallest; l <= largest; l *= 2) {
    const std::size_t b = std::min(samples, l - frequencies + 1);
    const double segments = std::ceil(static_cast<double>(samples) / static_cast<double>(b));
    const double logL = std::log2(static_cast<double>(l));
    // Two transforms and the products per segment; the chirps once (sine and cosine).
    const double cost =
        segments * static_cast<double>(l) * (logL + 3) + 30.0 * static_cast<double>(l + b);
    if (best.transform == 0 || cost < best.cost) {
      best = {l, b, cost};
    }
  }
  return best;
}

// The chirps of one layout: premultiplier a[j], kernel spectrum V (bit-reversed, with the
// 1/L of the inverse folded in) and postmultiplier b[q].
struct Chirps {
  std::vector<double> aRe, aIm, vRe, vIm, bRe, bIm;
};

Chirps makeChirps(const ComplexFft& fft, std::size_t segment, CycleFraction beta,
                  CycleFraction halfBeta, std::int64_t k0, std::size_t count) {
  const std::size_t l = fft.size();
  Chirps c;
  c.aRe.resize(segment);
  c.aIm.resize(segment);
  const CycleFraction betaK0 = beta.times(k0);
  for (std::size_t j = 0; j < segment; ++j) {
    const auto jj = static_cast<std::int64_t>(j);
    const Phasor a = rotationOf(betaK0.times(jj).plus(halfBeta.times(jj * jj)));
    c.aRe[j] = a.re;
    c.aIm[j] = a.im;
  }
  c.vRe.assign(l, 0.0);
  c.vIm.assign(l, 0.0);
  const double scale = 1.0 / static_cast<double>(l);
  for (std::int64_t m = -static_cast<std::int64_t>(segment) + 1;
       m < static_cast<std::int64_t>(count); ++m) {
    const Phasor v = rotationOf(halfBeta.times(m * m));  // conjugated below: e^(+iπβm²)
    const std::size_t at = m >= 0 ? static_cast<std::size_t>(m) : l - static_cast<std::size_t>(-m);
    c.vRe[at] = v.re * scale;
    c.vIm[at] = -v.im * scale;
  }
  fft.forwardToBitReversed(c.vRe.data(), c.vIm.data());
  c.bRe.resize(count);
  c.bIm.resize(count);
  for (std::size_t q = 0; q < count; ++q) {
    const auto qq = static_cast<std::int64_t>(q);
    const Phasor b = rotationOf(halfBeta.times(qq * qq));
    c.bRe[q] = b.re;
    c.bIm[q] = b.im;
  }
  return c;
}

// Adds g_q·b_q·r_q to the outputs, g_q = e^(−2πiβ·(k0 + q)·p0).
void combineSegment(const Chirps& c, const double* rRe, const double* rIm, CycleFraction betaP0,
                    std::int64_t k0, std::size_t count, double* outRe, double* outIm) {
  const Phasor step = rotationOf(betaP0);
  for (std::size_t q0 = 0; q0 < count; q0 += kCombineAnchor) {
    Phasor g = rotationOf(betaP0.times(k0 + static_cast<std::int64_t>(q0)));
    const std::size_t q1 = std::min(count, q0 + kCombineAnchor);
    for (std::size_t q = q0; q < q1; ++q) {
      const Phasor w = times(g, {c.bRe[q], c.bIm[q]});
      outRe[q] += w.re * rRe[q] - w.im * rIm[q];
      outIm[q] += w.re * rIm[q] + w.im * rRe[q];
      g = times(g, step);
    }
  }
}

void multiplySpectra(double* re, double* im, const double* vRe, const double* vIm, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const double r = re[i] * vRe[i] - im[i] * vIm[i];
    im[i] = re[i] * vIm[i] + im[i] * vRe[i];
    re[i] = r;
  }
}

bool bluesteinSums(const ChirpInput& input, CycleFraction beta, CycleFraction halfBeta,
                   std::int64_t k0, std::size_t count, double* outRe, double* outIm,
                   const std::function<bool(double)>& keepGoing) {
  const ChirpLayout layout = chooseLayout(input.length, count);
  const ComplexFft fft(layout.transform);
  const std::size_t l = layout.transform;
  const Chirps c = makeChirps(fft, layout.segment, beta, halfBeta, k0, count);
  std::fill(outRe, outRe + count, 0.0);
  std::fill(outIm, outIm + count, 0.0);
  std::vector<double> ur(layout.segment), ui(layout.segment, 0.0), re(l), im(l);
  for (std::size_t p0 = 0; p0 < input.length; p0 += layout.segment) {
    const std::size_t n = std::min(layout.segment, input.length - p0);
    input.load(p0, n, ur.data(), ui.data());
    for (std::size_t j = 0; j < n; ++j) {
      const double xi = input.real ? 0.0 : ui[j];
      re[j] = ur[j] * c.aRe[j] - xi * c.aIm[j];
      im[j] = ur[j] * c.aIm[j] + xi * c.aRe[j];
    }
    std::fill(re.begin() + static_cast<std::ptrdiff_t>(n), re.end(), 0.0);
    std::fill(im.begin() + static_cast<std::ptrdiff_t>(n), im.end(), 0.0);
    fft.forwardToBitReversed(re.data(), im.data());
    multiplySpectra(re.data(), im.data(), c.vRe.data(), c.vIm.data(), l);
    fft.inverseFromBitReversed(re.data(), im.data());
    combineSegment(c, re.data(), im.data(), beta.times(static_cast<std::int64_t>(p0)), k0, count,
                   outRe, outIm);
    if (!keepGoing(static_cast<double>(p0 + n) / static_cast<double>(input.length))) {
      return false;
    }
  }
  return true;
}

}  // namespace

SumMethod preferredMethod(std::size_t samples, std::size_t frequencies) {
  if (samples == 0 || frequencies == 0) {
    return SumMethod::Direct;
  }
  return chooseLayout(samples, frequencies).cost < directCost(samples, frequencies)
             ? SumMethod::ChirpZ
             : SumMethod::Direct;
}

bool chirpSums(const ChirpInput& input, double betaHi, double betaLo, std::int64_t k0,
               std::size_t count, double* outRe, double* outIm,
               const std::function<bool(double)>& keepGoing, SumMethod method) {
  if (count == 0) {
    return true;
  }
  if (input.length == 0) {
    std::fill(outRe, outRe + count, 0.0);
    std::fill(outIm, outIm + count, 0.0);
    return true;
  }
  if (method == SumMethod::Automatic) {
    method = preferredMethod(input.length, count);
  }
  const CycleFraction beta = CycleFraction::of(betaHi, betaLo);
  if (method == SumMethod::Direct) {
    return directSums(input, beta, k0, count, outRe, outIm, keepGoing);
  }
  const CycleFraction halfBeta = CycleFraction::of(betaHi / 2, betaLo / 2);
  return bluesteinSums(input, beta, halfBeta, k0, count, outRe, outIm, keepGoing);
}

}  // namespace tarvik::spectral

TARVIK_SIMD_END
