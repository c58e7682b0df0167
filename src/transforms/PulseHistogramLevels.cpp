// The two histogram methods of the state levels, apart from the rest of PulseLevels for
// the length of their numerics: the bin counts, the values of the winning bins and their
// median.
#include "transforms/PulseHistogramLevels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

namespace tarvik {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The r-th and s-th smallest of `values` (s is r or r + 1, 0-based), all within
// [from, to]. The values are counted into sub-bins by a rule that never decreases with the value,
// so each rank falls in a known sub-bin; only the values of those one or two sub-bins are then
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
  return {pair(rValues, r - rBelow, r - rBelow).first, pair(sValues, s - sBelow, s - sBelow).first};
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
// The values of two bins guessed before the counts are known, gathered while counting, so
// that no further pass is needed when the guess proves right. Each list has a fixed
// capacity; a list that would pass it marks the gathering as failed.
struct Gathering {
  std::size_t a = 0, b = 0;
  std::vector<double> aValues, bValues;  // sized to their capacities, then to their counts
  bool complete = false;
};

std::vector<std::size_t> binCounts(const EqualBins& binning, const PulsePoints& p,
                                   Gathering* gather = nullptr) {
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
    const auto binOf = [&](double y) {
      std::size_t k = binning.nearBin(y);
      k -= y < edge[k] ? 1 : 0;
      k += y >= edge[k + 1] ? 1 : 0;
      return k;
    };
    // A state's values fall into a few bins, and an increment of the bin just incremented
    // waits for that store: four tables, one per lane of four values, keep four increments
    // under way.
    const std::size_t bins = binning.count();
    std::vector<std::uint32_t> lanes(4 * bins, 0);
    std::uint32_t* lane = lanes.data();
    const std::size_t n = ys.size();
    const double* y = ys.data();
    std::size_t na = 0, nb = 0;
    // A lane's 32-bit counts are folded into the totals before they could overflow.
    constexpr std::size_t kFold = std::size_t(1) << 30;
    for (std::size_t start = 0; start < n; start += kFold) {
      const std::size_t stop = std::min(n, start + kFold);
      std::size_t i = start;
      if (gather != nullptr) {
        // Every value is written at the end of both lists and kept by advancing the list
        // it belongs to: no branch per value.
        const std::size_t a = gather->a, b = gather->b;
        const std::size_t aCapacity = gather->aValues.size() - 1;
        const std::size_t bCapacity = gather->bValues.size() - 1;
        double* aOut = gather->aValues.data();
        double* bOut = gather->bValues.data();
        const auto one = [&](std::uint32_t* table, double v) {
          const std::size_t k = binOf(v);
          ++table[k];
          aOut[na] = v;
          bOut[nb] = v;
          na += (k == a) & (na < aCapacity);
          nb += (k == b) & (nb < bCapacity);
        };
        for (; i + 4 <= stop; i += 4) {
          one(lane, y[i]);
          one(lane + bins, y[i + 1]);
          one(lane + 2 * bins, y[i + 2]);
          one(lane + 3 * bins, y[i + 3]);
        }
        for (; i < stop; ++i) {
          one(lane, y[i]);
        }
      }
      for (; i + 4 <= stop; i += 4) {
        ++lane[binOf(y[i])];
        ++lane[bins + binOf(y[i + 1])];
        ++lane[2 * bins + binOf(y[i + 2])];
        ++lane[3 * bins + binOf(y[i + 3])];
      }
      for (; i < stop; ++i) {
        ++lane[binOf(y[i])];
      }
      for (std::size_t k = 0; k < bins; ++k) {
        counts[k] +=
            std::size_t(lane[k]) + lane[bins + k] + lane[2 * bins + k] + lane[3 * bins + k];
      }
      std::fill(lanes.begin(), lanes.end(), 0u);
    }
    if (gather != nullptr) {
      // Complete unless a list reached its capacity (then a value may be missing).
      gather->complete = na < gather->aValues.size() - 1 && nb < gather->bValues.size() - 1 &&
                         na == counts[gather->a] && nb == counts[gather->b];
      gather->aValues.resize(na);
      gather->bValues.resize(nb);
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

// The bin with the most values in the lower half (ties: the lowest bin) and in the upper
// half (ties: the highest).
std::pair<std::size_t, std::size_t> modalBins(const std::vector<std::size_t>& counts) {
  const std::size_t half = counts.size() / 2;
  std::size_t lowBin = 0;
  for (std::size_t k = 1; k < half; ++k) {
    if (counts[k] > counts[lowBin]) {
      lowBin = k;
    }
  }
  std::size_t highBin = counts.size() - 1;
  for (std::size_t k = counts.size() - 1; k-- > half;) {
    if (counts[k] > counts[highBin]) {
      highBin = k;
    }
  }
  return {lowBin, highBin};
}

// The winners as a sample of every 61st value sees them, with room for their values: the
// sample's share, a quarter more, and some.
std::optional<Gathering> guessedWinners(const EqualBins& binning, const PulsePoints& p) {
  constexpr std::size_t kStride = 61;
  constexpr std::size_t kLeast = std::size_t(1) << 16;  // smaller records: no guess
  const std::span<const double> ys = p.ys();
  if (ys.size() < kLeast) {
    return std::nullopt;
  }
  std::vector<std::size_t> sample(binning.count(), 0);
  for (std::size_t i = 0; i < ys.size(); i += kStride) {
    ++sample[binning.bin(ys[i])];
  }
  const auto [low, high] = modalBins(sample);
  const auto room = [&](std::size_t k) {
    return std::min(ys.size(), sample[k] * kStride + sample[k] * kStride / 4 + 4096) + 1;
  };
  Gathering g;
  g.a = low;
  g.b = high;
  g.aValues.resize(room(low));
  g.bValues.resize(room(high));
  return g;
}

}  // namespace

StateLevels histogramMedianLevels(const PulsePoints& p, int bins) {
  const EqualBins binning(p.yMin(), p.yMax(), bins);
  // The values of the winning bins are gathered while counting when a sample guesses the
  // winners right (a record's states are its most common values, which a sample finds);
  // else a second pass gathers them.
  std::optional<Gathering> guess = guessedWinners(binning, p);
  const std::vector<std::size_t> counts = binCounts(binning, p, guess ? &*guess : nullptr);
  const auto [lowBin, highBin] = modalBins(counts);
  std::vector<double> lowValues, highValues;
  double lowFrom = 0, lowTo = 0, highFrom = 0, highTo = 0;
  if (guess && guess->complete && guess->a == lowBin && guess->b == highBin) {
    lowValues = std::move(guess->aValues);
    highValues = std::move(guess->bValues);
    lowFrom = binFloor(binning, lowBin, p.yMin(), p.yMax());
    lowTo = std::min(binFloor(binning, lowBin + 1, p.yMin(), p.yMax()), p.yMax());
    highFrom = binFloor(binning, highBin, p.yMin(), p.yMax());
    highTo = std::min(binFloor(binning, highBin + 1, p.yMin(), p.yMax()), p.yMax());
  } else {
    guess.reset();
    lowValues.reserve(counts[lowBin] + 1);
    lowValues.resize(counts[lowBin]);
    highValues.reserve(counts[highBin] + 1);
    highValues.resize(counts[highBin]);
    binValues(binning, p, lowBin, lowValues, lowFrom, lowTo, highBin, highValues, highFrom, highTo);
  }
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

EqualBins::EqualBins(double lowest, double highest, int bins)
    : m_lastBin(bins - 1), m_last(static_cast<std::size_t>(bins) - 1) {
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

}  // namespace tarvik
