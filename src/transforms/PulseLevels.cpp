#include "transforms/PulseLevels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace tarvik {
namespace {

constexpr double kMaxFinite = std::numeric_limits<double>::max();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::string percentText(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// The median of `values` (reordered): the middle one, or the mean of the two middle ones.
double median(std::vector<double>& values) {
  const std::size_t n = values.size();
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
  std::nth_element(values.begin(), middle, values.end());
  if (n % 2 == 1) {
    return *middle;
  }
  const double below = *std::max_element(values.begin(), middle);
  return static_cast<double>((static_cast<long double>(below) + *middle) / 2);
}

StateLevels histogramMedianLevels(const PulsePoints& p, int bins) {
  const EqualBins binning(p.yMin(), p.yMax(), bins);
  std::vector<std::size_t> counts(binning.count(), 0);
  for (double y : p.ys()) {
    ++counts[binning.bin(y)];
  }
  const std::size_t half = std::size_t(bins) / 2;
  std::size_t lowBin = 0;  // ties: the lowest bin of the lower half
  for (std::size_t k = 1; k < half; ++k) {
    if (counts[k] > counts[lowBin]) {
      lowBin = k;
    }
  }
  std::size_t highBin = counts.size() - 1;  // ties: the highest bin of the upper half
  for (std::size_t k = counts.size() - 1; k-- > half;) {
    if (counts[k] > counts[highBin]) {
      highBin = k;
    }
  }
  std::vector<double> lowValues, highValues;
  lowValues.reserve(counts[lowBin]);
  highValues.reserve(counts[highBin]);
  for (double y : p.ys()) {
    const std::size_t k = binning.bin(y);
    if (k == lowBin) {
      lowValues.push_back(y);
    } else if (k == highBin) {
      highValues.push_back(y);
    }
  }
  // ymin lies in bin 0 and ymax in the last bin, so neither winner is empty; the extremes
  // stand in should rounding ever leave one so.
  StateLevels levels;
  levels.low = lowValues.empty() ? p.yMin() : median(lowValues);
  levels.high = highValues.empty() ? p.yMax() : median(highValues);
  return levels;
}

StateLevels histogramMeanLevels(const PulsePoints& p, int bins) {
  const EqualBins binning(p.yMin(), p.yMax(), bins);
  const std::size_t half = std::size_t(bins) / 2;
  long double lowSum = 0, highSum = 0;
  std::size_t lowCount = 0, highCount = 0;
  for (double y : p.ys()) {
    if (binning.bin(y) < half) {
      lowSum += y;
      ++lowCount;
    } else {
      highSum += y;
      ++highCount;
    }
  }
  StateLevels levels;
  levels.low = lowCount == 0 ? p.yMin() : static_cast<double>(lowSum / lowCount);
  levels.high = highCount == 0 ? p.yMax() : static_cast<double>(highSum / highCount);
  return levels;
}

}  // namespace

std::optional<std::string> pulseOptionsRefusal(const PulseOptions& o) {
  if (o.bins < kMinLevelBins || o.bins > kMaxLevelBins) {
    return "bins= takes " + std::to_string(kMinLevelBins) + " to " +
           std::to_string(kMaxLevelBins) + ", not " + std::to_string(o.bins);
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
                                     std::optional<double> xmin, std::optional<double> xmax) {
  PulsePointsOutcome out;
  const std::size_t n = std::min(xs.size(), ys.size());
  const double lo = xmin.value_or(-kInfinity);
  const double hi = xmax.value_or(kInfinity);
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
                                   const PulseOptions& options) {
  PulseSetup setup;
  PulsePointsOutcome selected = selectPulsePoints(xs, ys, xmin, xmax);
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

EqualBins::EqualBins(double lowest, double highest, int bins)
    : m_bins(bins), m_last(static_cast<std::size_t>(bins) - 1) {
  if (!std::isfinite(highest - lowest)) {
    m_scale = 0.5;
  }
  m_origin = lowest * m_scale;
  m_width = (highest * m_scale - m_origin) / bins;
}

double EqualBins::centre(std::size_t k) const {
  return (m_origin + (static_cast<double>(k) + 0.5) * m_width) / m_scale;
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
