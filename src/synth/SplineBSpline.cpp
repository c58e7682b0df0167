// The quadratic B-spline of Spline.h, evaluated span by span.
//
// Output s lies at u = s/10 rounded to float, in the knot span t[j0] ≤ u < t[j0+1], where only
// N(j0−2,3) … N(j0,3) are non-zero; the point is the sum of those three times C[j0−2] … C[j0]
// in a single-precision running sum. Inside the curve (six consecutive integer knots around
// the span) the basis depends only on the fraction u − t[j0], and the ten steps' fractions are
// the same on every span whose start lies in one binade [2^e, 2^(e+1)) while the float step
// there is 1/8 or finer (see uniformBinade). So a binade needs its basis once, and its spans
// are a tight loop of three products per point (SplineSpans.cpp). The two end spans at each
// side, graphs longer than that, and coordinates with non-finite control values take the
// per-point rule.
#include "synth/Spline.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <mutex>
#include <thread>

#include "core/HelperThread.h"
#include "core/LargeArrays.h"
#include "synth/SplineSpans.h"

namespace tarvik::synth {
namespace {

using detail::StepBasis;
constexpr std::size_t kSteps = kSplineSteps;

// The clamped uniform knot vector over n + 1 control points, computed where it is read.
struct KnotVector {
  std::size_t n;
  std::size_t last;  // index of the last knot, max(2n, n + 3)

  explicit KnotVector(std::size_t controlIntervals)
      : n(controlIntervals), last(std::max(2 * n, n + 3)) {}
  float operator[](std::size_t j) const {
    return j < 3 ? 0.0f : j <= n ? static_cast<float>(j - 2) : static_cast<float>(n - 1);
  }
  // The last knot index j in [from, last] with t[j] ≤ u, given t[from] ≤ u (or from = 2).
  std::size_t spanOf(float u, std::size_t from) const {
    if (from == last || (*this)[from + 1] > u) {
      return from;  // the common case: u moved on by one span
    }
    std::size_t lo = from + 1, hi = last + 1;  // t[lo] ≤ u or lo = from; t[hi] > u or hi = last + 1
    while (hi - lo > 1) {
      const std::size_t mid = lo + (hi - lo) / 2;
      ((*this)[mid] <= u ? lo : hi) = mid;
    }
    return lo;
  }
  // True when the six knots from `first` on are consecutive integers.
  bool unitSpaced(std::size_t first) const {
    for (std::size_t i = 1; i < 6; ++i) {
      if ((*this)[first + i] != (*this)[first] + static_cast<float>(i)) {
        return false;
      }
    }
    return true;
  }
};

// One level of the Cox–de Boor recursion: N(j,k)(u) from N(j,k−1)(u) and N(j+1,k−1)(u).
// A term whose knot difference is zero is left out. The same operations, in the same order,
// as the plain recursion, so the float result is the same.
inline float basisLevel(const KnotVector& t, std::size_t j, std::size_t k, double u, float lowerJ,
                        float lowerJ1) {
  double sum = 0;
  const double d1 = static_cast<double>(t[j + k - 1]) - t[j];
  if (d1 != 0) {
    sum += (u - t[j]) / d1 * lowerJ;
  }
  const double d2 = static_cast<double>(t[j + k]) - t[j + 1];
  if (d2 != 0) {
    sum += (t[j + k] - u) / d2 * lowerJ1;
  }
  return static_cast<float>(sum);
}

// The three quadratic basis functions that can be non-zero at u, N(j0−2,3) … N(j0,3), for
// the knot span t[j0] ≤ u < t[j0+1]. Every other N(j,1), hence N(j0−2,2) and N(j0+1,2),
// is zero there.
std::array<float, 3> spanBasis(const KnotVector& t, std::size_t j0, float uf) {
  const double u = uf;
  std::array<float, 4> level2{};  // N(j0−2,2) … N(j0+1,2)
  level2[1] = basisLevel(t, j0 - 1, 2, u, 0.0f, 1.0f);
  level2[2] = basisLevel(t, j0, 2, u, 1.0f, 0.0f);
  std::array<float, 3> level3{};
  for (std::size_t i = 0; i < 3; ++i) {
    level3[i] = basisLevel(t, j0 - 2 + i, 3, u, level2[i], level2[i + 1]);
  }
  return level3;
}

// The curve parameter of output s.
inline float parameterAt(std::size_t s) {
  return static_cast<float>(static_cast<double>(s) / kSteps);
}

// One coordinate's control values: the graph's values rounded to float, and how many of
// them are not finite (a double beyond the float range counts: it rounds to ±∞).
struct ControlValues {
  std::span<const double> values;
  std::size_t nonFinite = 0;

  double operator[](std::size_t j) const { return static_cast<float>(values[j]); }
  void countNonFinite() {
    nonFinite = static_cast<std::size_t>(std::count_if(values.begin(), values.end(), [](double v) {
      return !std::isfinite(static_cast<float>(v));
    }));
  }
};

// The B-spline sum in one coordinate at one parameter, given the local basis. Where one of
// the coordinate's non-finite control values meets a zero basis function, the plain sum holds
// 0·∞ or 0·NaN.
inline double localSum(const ControlValues& c, std::size_t first,
                       const std::array<float, 3>& basis) {
  float sum = static_cast<float>(0.0 + static_cast<double>(basis[0]) * c[first]);
  sum = static_cast<float>(sum + static_cast<double>(basis[1]) * c[first + 1]);
  sum = static_cast<float>(sum + static_cast<double>(basis[2]) * c[first + 2]);
  if (c.nonFinite == 0) {
    return sum;
  }
  std::size_t metNonFinite = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    metNonFinite += basis[i] != 0 && !std::isfinite(c[first + i]);
  }
  return c.nonFinite > metNonFinite ? std::nan("") : static_cast<double>(sum);
}

// Outputs [begin, end) by the per-point rule, into dst: the span of each parameter found
// among the knots, its three basis functions by the recursion. Any parameter, any values.
void pointwiseValues(const KnotVector& t, const ControlValues& c, std::size_t begin,
                     std::size_t end, double* dst) {
  // The last knot not above u (2 at the start, t.last past the end); u only grows.
  std::size_t j0 = t.spanOf(parameterAt(begin), 2);
  bool uniform = j0 + 3 <= t.last && t.unitSpaced(j0 - 2);
  // On a unit-spaced span the basis depends only on u − t[j0]: kept per step within the
  // span, checked by the fraction's bits, which change only when u's float exponent does.
  struct Cached {
    double fraction = -1;
    std::array<float, 3> basis{};
  };
  std::array<Cached, kSteps> cache{};
  for (std::size_t s = begin; s < end; ++s, ++dst) {
    const float u = parameterAt(s);
    if (j0 < t.last && t[j0 + 1] <= u) {
      j0 = t.spanOf(u, j0 + 1);
      uniform = j0 + 3 <= t.last && t.unitSpaced(j0 - 2);
    }
    if (j0 == t.last) {
      // Past the last knot (float parameters of very long graphs): every basis function is
      // zero, so the plain sum is 0, or NaN where a control value is not finite.
      *dst = c.nonFinite > 0 ? std::nan("") : 0.0;
    } else if (!uniform) {
      *dst = localSum(c, j0 - 2, spanBasis(t, j0, u));
    } else {
      Cached& cached = cache[s % kSteps];
      const double fraction = static_cast<double>(u) - t[j0];
      if (cached.fraction != fraction) {
        cached.fraction = fraction;
        cached.basis = spanBasis(t, j0, u);
      }
      *dst = localSum(c, j0 - 2, cached.basis);
    }
  }
}

// A run of outputs [begin, end) evaluated one way: by detail::uniformSpans with
// bases[basis], or point by point when basis is kPointwise.
struct Piece {
  static constexpr std::size_t kPointwise = ~std::size_t{0};
  std::size_t begin, end, basis;
};

struct Plan {
  std::vector<StepBasis> bases;
  std::vector<Piece> pieces;  // in output order, covering every output
};

// Spans below this start take float steps of 1/8 or finer, so no step rounds into the next
// span and every fraction is the same through a binade.
constexpr std::size_t kUniformSpanLimit = std::size_t{1} << 21;

// The basis of the spans [kBegin, kEnd), all starting in one binade below kUniformSpanLimit
// on unit-spaced knots, or false. For k in [2^e, 2^(e+1)) the floats in [k, k + 1) are k
// plus multiples of 2^(e−23); s/10 = k + i/10 is within 2^(e−53) of its double, far closer
// than i/10 ever comes to a midpoint of that grid (unless it lies on the grid), so rounding
// to float leaves the same fraction for every k. The first and last spans are checked too.
bool uniformBinade(const KnotVector& t, std::size_t kBegin, std::size_t kEnd, StepBasis& basis) {
  const std::size_t j0 = kBegin + 2, j0Last = kEnd + 1;
  for (std::size_t i = 0; i < kSteps; ++i) {
    const float u = parameterAt(kSteps * kBegin + i);
    const float uLast = parameterAt(kSteps * (kEnd - 1) + i);
    if (!(t[j0] <= u && u < t[j0 + 1]) ||
        static_cast<double>(u) - t[j0] != static_cast<double>(uLast) - t[j0Last]) {
      return false;
    }
    const std::array<float, 3> b = spanBasis(t, j0, u);
    basis.b0[i] = b[0];
    basis.b1[i] = b[1];
    basis.b2[i] = b[2];
  }
  return true;
}

// How the n − 1 spans (10·(n − 1) outputs) are evaluated. Span k uses control points
// k … k + 2 and knots t[k] … t[k + 5], consecutive integers for 2 ≤ k ≤ n − 4.
Plan bSplinePlan(const KnotVector& t) {
  Plan plan;
  const std::size_t n = t.n;
  const std::size_t uniformEnd = n >= 6 ? std::min(n - 3, kUniformSpanLimit) : 0;
  std::size_t planned = 0;
  const auto add = [&](std::size_t end, std::size_t basis) {
    if (end > planned) {
      plan.pieces.push_back({planned, end, basis});
      planned = end;
    }
  };
  for (std::size_t kBegin = 2; kBegin < uniformEnd;) {
    const std::size_t kEnd = std::min(2 * std::bit_floor(kBegin), uniformEnd);
    StepBasis basis;
    if (uniformBinade(t, kBegin, kEnd, basis)) {
      add(kSteps * kBegin, Piece::kPointwise);
      plan.bases.push_back(basis);
      add(kSteps * kEnd, plan.bases.size() - 1);
    }
    kBegin = kEnd;
  }
  add(kSteps * (n - 1), Piece::kPointwise);
  return plan;
}

struct Curve {
  KnotVector knots;
  Plan plan;
};

// Outputs [begin, end) of one coordinate into dst, each piece by its rule. Uniform pieces
// start and end on span boundaries, and so must begin and end where they cut one.
void coordinateValues(const Curve& curve, const ControlValues& c, std::size_t begin,
                      std::size_t end, double* dst) {
  const std::vector<Piece>& pieces = curve.plan.pieces;
  auto piece = std::upper_bound(pieces.begin(), pieces.end(), begin,
                                [](std::size_t s, const Piece& p) { return s < p.end; });
  for (; begin < end; ++piece) {
    const std::size_t stop = std::min(end, piece->end);
    if (piece->basis == Piece::kPointwise || c.nonFinite > 0) {
      pointwiseValues(curve.knots, c, begin, stop, dst);
    } else {
      detail::uniformSpans(curve.plan.bases[piece->basis], c.values.data(), begin / kSteps,
                           stop / kSteps, dst);
    }
    dst += stop - begin;
    begin = stop;
  }
}

// Outputs per step in which an array grows: the room a step clears is still in the cache
// when it is overwritten. A whole number of spans.
constexpr std::size_t kGrowStep = 200 * kSteps;
// Outputs per turn of a thread on one coordinate.
constexpr std::size_t kTurn = 32 * kGrowStep;

// One coordinate's output, written front to back in turns by whichever thread holds `turn`.
struct CoordinateJob {
  CoordinateJob(std::span<const double> values, std::vector<double>& output, std::size_t points)
      : control{values}, out(output), count(points) {}

  ControlValues control;
  std::vector<double>& out;
  const std::size_t count;
  std::mutex turn;
  std::atomic<bool> finished{false};

  // Appends the next turn's outputs; the caller holds `turn`.
  void appendTurn(const Curve& curve) {
    if (out.empty()) {
      control.countNonFinite();
    }
    const std::size_t end = std::min(count, out.size() + kTurn);
    while (out.size() < end) {
      const std::size_t begin = out.size();
      const std::size_t stop = std::min(end, begin + kGrowStep);
      out.resize(stop);  // within the reserved room: no reallocation, no exception
      coordinateValues(curve, control, begin, stop, out.data() + begin);
    }
    if (end == count) {
      finished.store(true, std::memory_order_release);
    }
  }
};

// Runs turns until both coordinates are written, trying jobs[first] first. A thread takes
// a coordinate no other thread holds; when the other thread holds the only one left, it
// waits for that turn to end and takes the next. So a thread held up on a busy core leaves
// the rest of the work to the free one.
void writeCoordinates(const Curve& curve, std::array<CoordinateJob*, 2> jobs, std::size_t first) {
  for (;;) {
    CoordinateJob* job = nullptr;
    CoordinateJob* unfinished = nullptr;
    std::unique_lock<std::mutex> held;
    for (std::size_t a = 0; a < jobs.size() && job == nullptr; ++a) {
      CoordinateJob* candidate = jobs[(first + a) % jobs.size()];
      if (candidate->finished.load(std::memory_order_acquire)) {
        continue;
      }
      unfinished = unfinished != nullptr ? unfinished : candidate;
      held = std::unique_lock<std::mutex>(candidate->turn, std::try_to_lock);
      job = held.owns_lock() ? candidate : nullptr;
    }
    if (job == nullptr) {
      if (unfinished == nullptr) {
        return;
      }
      job = unfinished;
      held = std::unique_lock<std::mutex>(job->turn);
    }
    if (!job->finished.load(std::memory_order_relaxed)) {
      job->appendTurn(curve);
    }
  }
}

// From this many output points on a second thread shares the work.
constexpr std::size_t kTwoThreadSplinePoints = std::size_t{1} << 18;

}  // namespace

std::vector<float> bSplineKnots(std::size_t n) {
  if (n < 2) {
    return {};
  }
  const KnotVector knots(n);
  std::vector<float> t(knots.last + 1);
  for (std::size_t j = 0; j <= knots.last; ++j) {
    t[j] = knots[j];
  }
  return t;
}

PointArrays quadraticBSpline(std::span<const double> xs, std::span<const double> ys) {
  const std::size_t m = std::min(xs.size(), ys.size());
  PointArrays out;
  if (m < 3) {
    return out;
  }
  const KnotVector knots(m - 1);
  const Curve curve{knots, bSplinePlan(knots)};
  const std::size_t count = bSplinePointCount(m);
  reserveLarge(out.xs, count);
  reserveLarge(out.ys, count);
  CoordinateJob jobX(xs.first(m), out.xs, count), jobY(ys.first(m), out.ys, count);
  const std::array<CoordinateJob*, 2> jobs{&jobX, &jobY};
  std::thread second;
  if (count >= kTwoThreadSplinePoints) {
    // Without a second thread this one writes both coordinates.
    second = tryStartThread(writeCoordinates, std::cref(curve), jobs, std::size_t{1});
  }
  writeCoordinates(curve, jobs, 0);
  if (second.joinable()) {
    second.join();
  }
  return out;
}

}  // namespace tarvik::synth
