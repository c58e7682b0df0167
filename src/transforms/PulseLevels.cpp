#include "transforms/PulseLevels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "transforms/PulseHistogramLevels.h"

namespace tarvik {
namespace {

constexpr double kMaxFinite = std::numeric_limits<double>::max();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::string percentText(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// The extremes run in four lanes: a minimum or maximum waits for the one before it, and
// four chains side by side keep the processor busy. Equal extremes differ only in the sign
// of a zero: a single chain keeps the first one met, so a zero extreme is read again from
// the points as the first zero.
struct Extremes {
  double low[4], high[4];
  explicit Extremes(double y) : low{y, y, y, y}, high{y, y, y, y} {}
  void add(std::size_t lane, double y) {
    low[lane] = y < low[lane] ? y : low[lane];
    high[lane] = y > high[lane] ? y : high[lane];
  }
  void result(std::span<const double> ys, double& yMin, double& yMax) const {
    yMin = std::min(std::min(low[0], low[1]), std::min(low[2], low[3]));
    yMax = std::max(std::max(high[0], high[1]), std::max(high[2], high[3]));
    if (yMin == 0 || yMax == 0) {
      const auto firstZero = std::find(ys.begin(), ys.end(), 0.0);
      yMin = yMin == 0 ? *firstZero : yMin;
      yMax = yMax == 0 ? *firstZero : yMax;
    }
  }
};

void extremes(std::span<const double> ys, double& yMin, double& yMax) {
  if (ys.empty()) {
    yMin = kInfinity;
    yMax = -kInfinity;
    return;
  }
  Extremes e(ys[0]);
  const std::size_t n = ys.size();
  std::size_t i = 1;
  for (; i + 4 <= n; i += 4) {
    e.add(0, ys[i]);
    e.add(1, ys[i + 1]);
    e.add(2, ys[i + 2]);
    e.add(3, ys[i + 3]);
  }
  for (; i < n; ++i) {
    e.add(0, ys[i]);
  }
  e.result(ys, yMin, yMax);
}

// True when every X and Y is finite and X never decreases, with the extremes of Y: one
// pass over both arrays without an early exit or a branch per point (a value is finite
// unless its exponent bits are all set), so that the memory is read at its own speed.
bool finiteAscending(std::span<const double> xs, std::span<const double> ys, double& yMin,
                     double& yMax) {
  const std::size_t n = xs.size();
  if (n == 0) {
    return false;
  }
  constexpr std::uint64_t kExponent = 0x7ff0000000000000ULL;
  const auto notFinite = [](double v) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return static_cast<std::uint64_t>((bits & kExponent) == kExponent);
  };
  const double* x = xs.data();
  const double* y = ys.data();
  std::uint64_t bad = notFinite(x[0]) | notFinite(y[0]);
  Extremes e(y[0]);
  const auto step = [&](std::size_t lane, std::size_t i) {
    bad += notFinite(x[i]) | notFinite(y[i]) | static_cast<std::uint64_t>(x[i] < x[i - 1]);
    e.add(lane, y[i]);
  };
  std::size_t i = 1;
  for (; i + 4 <= n; i += 4) {
    step(0, i);
    step(1, i + 1);
    step(2, i + 2);
    step(3, i + 3);
  }
  for (; i < n; ++i) {
    step(0, i);
  }
  if (bad != 0) {
    return false;
  }
  e.result(ys.first(n), yMin, yMax);
  return true;
}

}  // namespace

std::optional<std::string> pulseOptionsRefusal(const PulseOptions& o) {
  if (o.bins < kMinLevelBins || o.bins > kMaxLevelBins) {
    return "bins= takes " + std::to_string(kMinLevelBins) + " to " + std::to_string(kMaxLevelBins) +
           ", not " + std::to_string(o.bins);
  }
  if (o.levels == StateLevelMethod::Manual) {
    if (!o.manualLow || !o.manualHigh) {
      return std::string("levels=manual needs both low= and high=");
    }
    if (!std::isfinite(*o.manualLow) || !std::isfinite(*o.manualHigh) ||
        !(*o.manualLow < *o.manualHigh)) {
      return "low= must be below high= (low " + percentText(*o.manualLow) + ", high " +
             percentText(*o.manualHigh) + ")";
    }
  }
  if (!(0 < o.lowerPercent && o.lowerPercent < o.midPercent && o.midPercent < o.upperPercent &&
        o.upperPercent < 100)) {
    return "the reference levels must keep 0 < lower < mid < upper < 100 (lower " +
           percentText(o.lowerPercent) + ", mid " + percentText(o.midPercent) + ", upper " +
           percentText(o.upperPercent) + ")";
  }
  if (!(o.regionFactor > 0) || !std::isfinite(o.regionFactor)) {
    return "region= must be above 0, not " + percentText(o.regionFactor);
  }
  if (!(o.tolerancePercent > 0) || !std::isfinite(o.tolerancePercent)) {
    return "tolerance= must be above 0, not " + percentText(o.tolerancePercent);
  }
  return std::nullopt;
}

PulsePointsOutcome selectPulsePoints(std::span<const double> xs, std::span<const double> ys,
                                     std::optional<double> xmin, std::optional<double> xmax,
                                     bool graphOrdered) {
  PulsePointsOutcome out;
  const std::size_t n = std::min(xs.size(), ys.size());
  const double lo = xmin.value_or(-kInfinity);
  const double hi = xmax.value_or(kInfinity);
  if (std::isnan(lo) || std::isnan(hi)) {
    out.error = kPulseTooFewPoints;  // a range that holds no point
    return out;
  }
  if (graphOrdered ||
      finiteAscending(xs.first(n), ys.first(n), out.points.m_yMin, out.points.m_yMax)) {
    out.points.m_graphOrdered = true;
    // The usual record: the range by binary search, the points where they are.
    const auto begin =
        std::lower_bound(xs.begin(), xs.begin() + static_cast<std::ptrdiff_t>(n), lo);
    const auto end = std::upper_bound(begin, xs.begin() + static_cast<std::ptrdiff_t>(n), hi);
    const auto first = static_cast<std::size_t>(begin - xs.begin());
    const auto count = static_cast<std::size_t>(end - begin);
    if (count < 3) {
      out.error = kPulseTooFewPoints;
      return out;
    }
    out.points.m_xs = xs.subspan(first, count);
    out.points.m_ys = ys.subspan(first, count);
    if (count != n || graphOrdered) {
      extremes(out.points.m_ys, out.points.m_yMin, out.points.m_yMax);
    }
    return out;
  }
  std::size_t first = 0, last = 0, count = 0;
  double previousX = -kInfinity;
  double yMin = kInfinity, yMax = -kInfinity;
  for (std::size_t i = 0; i < n; ++i) {
    const double x = xs[i];
    const double y = ys[i];
    if (!(std::abs(x) <= kMaxFinite && std::abs(y) <= kMaxFinite && x >= lo && x <= hi)) {
      continue;
    }
    if (x < previousX) {
      out.error = kPulseXDecreases;
      return out;
    }
    previousX = x;
    first = count == 0 ? i : first;
    last = i;
    ++count;
    yMin = y < yMin ? y : yMin;
    yMax = y > yMax ? y : yMax;
  }
  if (count < 3) {
    out.error = kPulseTooFewPoints;
    return out;
  }
  PulsePoints& p = out.points;
  p.m_yMin = yMin;
  p.m_yMax = yMax;
  if (count == last - first + 1) {
    p.m_xs = xs.subspan(first, count);
    p.m_ys = ys.subspan(first, count);
    return out;
  }
  p.m_ownX.reserve(count);
  p.m_ownY.reserve(count);
  for (std::size_t i = first; i <= last; ++i) {
    const double x = xs[i];
    const double y = ys[i];
    if (std::abs(x) <= kMaxFinite && std::abs(y) <= kMaxFinite && x >= lo && x <= hi) {
      p.m_ownX.push_back(x);
      p.m_ownY.push_back(y);
    }
  }
  p.m_xs = p.m_ownX;
  p.m_ys = p.m_ownY;
  return out;
}

StateLevelsOutcome stateLevels(const PulsePoints& points, const PulseOptions& options) {
  StateLevelsOutcome out;
  if (points.size() == 0 || !(points.yMin() < points.yMax())) {
    out.error = kPulseFlat;
    return out;
  }
  StateLevels& levels = out.levels;
  switch (options.levels) {
    case StateLevelMethod::Histogram:
      levels = histogramMedianLevels(points, options.bins);
      break;
    case StateLevelMethod::HistogramMean:
      levels = histogramMeanLevels(points, options.bins);
      break;
    case StateLevelMethod::MinMax:
      levels.low = points.yMin();
      levels.high = points.yMax();
      break;
    case StateLevelMethod::Manual:
      levels.low = options.manualLow.value_or(points.yMin());
      levels.high = options.manualHigh.value_or(points.yMax());
      break;
  }
  levels.amplitude = levels.high - levels.low;
  if (!std::isfinite(levels.amplitude)) {
    out.error = kPulseLevelsUnusable;
  }
  return out;
}

ReferenceLevels referenceLevels(const StateLevels& levels, const PulseOptions& options) {
  const long double low = levels.low;
  const long double amplitude = levels.amplitude;
  const auto at = [&](double percent) {
    return static_cast<double>(low + static_cast<long double>(percent) * amplitude / 100);
  };
  return {at(options.lowerPercent), at(options.midPercent), at(options.upperPercent)};
}

PulseSetup preparePulseMeasurement(std::span<const double> xs, std::span<const double> ys,
                                   std::optional<double> xmin, std::optional<double> xmax,
                                   const PulseOptions& options, bool graphOrdered) {
  PulseSetup setup;
  PulsePointsOutcome selected = selectPulsePoints(xs, ys, xmin, xmax, graphOrdered);
  if (selected.error) {
    setup.error = selected.error;
    return setup;
  }
  setup.points = std::move(selected.points);
  StateLevelsOutcome levels = stateLevels(setup.points, options);
  if (levels.error) {
    setup.error = levels.error;
    return setup;
  }
  setup.levels = levels.levels;
  setup.reference = referenceLevels(setup.levels, options);
  return setup;
}

double levelCrossing(double xa, double ya, double xb, double yb, double level) {
  if (ya == yb) {
    return xb;
  }
  const long double x0 = xa;
  const long double y0 = ya;
  return static_cast<double>(x0 + (static_cast<long double>(level) - y0) * (xb - x0) / (yb - y0));
}

}  // namespace tarvik
