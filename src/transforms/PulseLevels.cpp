#include "transforms/PulseLevels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
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

// The r-th and s-th smallest of `values` (s is r or r + 1, 0-based), all within
// [from, to]. The
// values are counted into sub-bins by a rule that never decreases with the value, so each
// rank falls in a known sub-bin; only the values of those one or two sub-bins are then
// ordered. Cheaper than a selection over all of them, which a state of millions of
// samples would need.
std::pair<double, double> ranked(std::vector<double>& values, std::size_t r, std::size_t s,
                                 double from, double to) {
  // The r-th smallest of v, then the s-th (s is r or r + 1): everything after the r-th is
  // not smaller once it is in place.
  const auto pair = [](std::vector<double>& v, std::size_t i, std::size_t j) {
    const auto at = v.begin() + static_cast<std::ptrdiff_t>(i);
    std::nth_element(v.begin(), at, v.end());
    return std::pair<double, double>(*at, j == i ? *at : *std::min_element(at + 1, v.end()));
  };
  constexpr std::size_t kSubBins = 4096;
  const double scale = kSubBins / (to - from);
  if (!(to > from) || !std::isfinite(scale) || values.size() < 4 * kSubBins) {
    return pair(values, r, s);
  }
  const auto subBin = [&](double v) {
    const double q = (v - from) * scale;
    return static_cast<std::size_t>(q < 0 ? 0 : q < kSubBins - 1 ? q : kSubBins - 1);
  };
  std::vector<std::size_t> counts(kSubBins, 0);
  for (double v : values) {
    ++counts[subBin(v)];
  }
  const auto locate = [&](std::size_t rank, std::size_t& below) {
    below = 0;
    std::size_t k = 0;
    while (below + counts[k] <= rank) {
      below += counts[k++];
    }
    return k;
  };
  std::size_t rBelow = 0, sBelow = 0;
  const std::size_t rBin = locate(r, rBelow), sBin = locate(s, sBelow);
  std::vector<double> rValues, sValues;
  rValues.reserve(counts[rBin]);
  sValues.reserve(sBin == rBin ? 0 : counts[sBin]);
  for (double v : values) {
    const std::size_t k = subBin(v);
    if (k == rBin) {
      rValues.push_back(v);
    } else if (k == sBin) {
      sValues.push_back(v);
    }
  }
  if (sBin == rBin) {
    return pair(rValues, r - rBelow, s - rBelow);
  }
  return {pair(rValues, r - rBelow, r - rBelow).first,
          pair(sValues, s - sBelow, s - sBelow).first};
}

// The median of `values`, all within [from, to]: the middle one, or the mean of the two
// middle ones.
double median(std::vector<double>& values, double from, double to) {
  const std::size_t n = values.size();
  const auto [below, above] = ranked(values, (n - 1) / 2, n / 2, from, to);
  return static_cast<double>((static_cast<long double>(below) + above) / 2);
}

// Doubles in the order of their values as unsigned integers (finite values only).
std::uint64_t orderKey(double v) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t(1) << 63);
}

double fromOrderKey(std::uint64_t key) {
  const std::uint64_t bits = (key >> 63) != 0 ? key & ~(std::uint64_t(1) << 63) : ~key;
  double v = 0;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// The smallest value in [lowest, highest] whose bin is k or above (+∞ when there is none).
// A value's bin never decreases as the value grows, so bin(y) = k exactly when
// binFloor(k) ≤ y < binFloor(k + 1), and two comparisons replace the division.
double binFloor(const EqualBins& binning, std::size_t k, double lowest, double highest) {
  if (binning.bin(lowest) >= k) {
    return lowest;
  }
  if (binning.bin(highest) < k) {
    return kInfinity;
  }
  std::uint64_t below = orderKey(lowest), atOrAbove = orderKey(highest);
  while (atOrAbove - below > 1) {
    const std::uint64_t middle = below + (atOrAbove - below) / 2;
    (binning.bin(fromOrderKey(middle)) >= k ? atOrAbove : below) = middle;
  }
  return fromOrderKey(atOrAbove);
}

// The count of each bin. With few bins, the bin edges are found once (binFloor) and each
// value's bin comes from a multiplication by 1/w, off by at most one and put right by
// comparing with the two edges; else each value is divided.
std::vector<std::size_t> binCounts(const EqualBins& binning, const PulsePoints& p) {
  const std::span<const double> ys = p.ys();
  std::vector<std::size_t> counts(binning.count(), 0);
  constexpr std::size_t kEdgeTableBins = 4096;
  if (binning.count() <= kEdgeTableBins && binning.multipliable()) {
    std::vector<double> edges(binning.count() + 1);
    edges.front() = -kInfinity;
    edges.back() = kInfinity;
    for (std::size_t k = 1; k < binning.count(); ++k) {
      edges[k] = binFloor(binning, k, p.yMin(), p.yMax());
    }
    const double* edge = edges.data();
    std::size_t* count = counts.data();
    for (double y : ys) {
      std::size_t k = binning.nearBin(y);
      k -= y < edge[k] ? 1 : 0;
      k += y >= edge[k + 1] ? 1 : 0;
      ++count[k];
    }
    return counts;
  }
  constexpr std::size_t kBlock = 512;
  std::uint32_t bins[kBlock];
  for (std::size_t start = 0; start < ys.size(); start += kBlock) {
    const std::size_t m = std::min(kBlock, ys.size() - start);
    binning.binsOf(ys.data() + start, m, bins);
    for (std::size_t j = 0; j < m; ++j) {
      ++counts[bins[j]];
    }
  }
  return counts;
}

// The values of bins a and b in one pass. The counts are known, so each value is written
// at the end of both lists and kept by advancing the list that it belongs to: no branch
// per value.
// [aFrom, aTo] and [bFrom, bTo] receive the range the values of each bin lie in.
void binValues(const EqualBins& binning, const PulsePoints& p, std::size_t a,
               std::vector<double>& aValues, double& aFrom, double& aTo, std::size_t b,
               std::vector<double>& bValues, double& bFrom, double& bTo) {
  aFrom = binFloor(binning, a, p.yMin(), p.yMax());
  aTo = binFloor(binning, a + 1, p.yMin(), p.yMax());
  bFrom = binFloor(binning, b, p.yMin(), p.yMax());
  bTo = binFloor(binning, b + 1, p.yMin(), p.yMax());
  const std::size_t aCapacity = aValues.size(), bCapacity = bValues.size();
  aValues.resize(aCapacity + 1);
  bValues.resize(bCapacity + 1);
  double* aOut = aValues.data();
  double* bOut = bValues.data();
  std::size_t na = 0, nb = 0;
  // Local copies: the stores through the two lists could otherwise alias the bounds.
  const double a0 = aFrom, a1 = aTo, b0 = bFrom, b1 = bTo;
  for (double y : p.ys()) {
    aOut[na] = y;
    bOut[nb] = y;
    na += (y >= a0) & (y < a1) & (na < aCapacity);
    nb += (y >= b0) & (y < b1) & (nb < bCapacity);
  }
  aValues.resize(na);
  bValues.resize(nb);
  aTo = std::min(aTo, p.yMax());
  bTo = std::min(bTo, p.yMax());
}

StateLevels histogramMedianLevels(const PulsePoints& p, int bins) {
  const EqualBins binning(p.yMin(), p.yMax(), bins);
  const std::vector<std::size_t> counts = binCounts(binning, p);
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
  std::vector<double> lowValues(counts[lowBin]), highValues(counts[highBin]);
  double lowFrom = 0, lowTo = 0, highFrom = 0, highTo = 0;
  binValues(binning, p, lowBin, lowValues, lowFrom, lowTo, highBin, highValues, highFrom,
            highTo);
  // ymin lies in bin 0 and ymax in the last bin, so neither winner is empty; the extremes
  // stand in should rounding ever leave one so.
  StateLevels levels;
  levels.low = lowValues.empty() ? p.yMin() : median(lowValues, lowFrom, lowTo);
  levels.high = highValues.empty() ? p.yMax() : median(highValues, highFrom, highTo);
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

void extremes(std::span<const double> ys, double& yMin, double& yMax) {
  double low = kInfinity, high = -kInfinity;
  for (double y : ys) {
    low = y < low ? y : low;
    high = y > high ? y : high;
  }
  yMin = low;
  yMax = high;
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
    return (bits & kExponent) == kExponent;
  };
  std::uint64_t bad = notFinite(xs[0]) | notFinite(ys[0]);
  double low = ys[0], high = ys[0];
  for (std::size_t i = 1; i < n; ++i) {
    const double y = ys[i];
    bad += notFinite(xs[i]) | notFinite(y) | (xs[i] < xs[i - 1]);
    low = y < low ? y : low;
    high = y > high ? y : high;
  }
  yMin = low;
  yMax = high;
  return bad == 0;
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
  if (std::isnan(lo) || std::isnan(hi)) {
    out.error = kPulseTooFewPoints;  // a range that holds no point
    return out;
  }
  if (finiteAscending(xs.first(n), ys.first(n), out.points.m_yMin, out.points.m_yMax)) {
    // The usual record: the range by binary search, the points where they are.
    const auto begin = std::lower_bound(xs.begin(), xs.begin() + static_cast<std::ptrdiff_t>(n), lo);
    const auto end = std::upper_bound(begin, xs.begin() + static_cast<std::ptrdiff_t>(n), hi);
    const auto first = static_cast<std::size_t>(begin - xs.begin());
    const auto count = static_cast<std::size_t>(end - begin);
    if (count < 3) {
      out.error = kPulseTooFewPoints;
      return out;
    }
    out.points.m_xs = xs.subspan(first, count);
    out.points.m_ys = ys.subspan(first, count);
    if (count != n) {
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
    : m_lastBin(bins - 1),
      m_last(static_cast<std::size_t>(bins) - 1) {
  if (!std::isfinite(highest - lowest)) {
    m_scale = 0.5;
  }
  m_origin = lowest * m_scale;
  m_width = (highest * m_scale - m_origin) / bins;
  m_inverse = 1 / m_width;
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
