#include "transforms/PulseMeasurement.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/NumberFormat.h"

namespace tarvik {
namespace {

constexpr double kMaxFinite = std::numeric_limits<double>::max();

bool finitePoint(double x, double y) {
  return std::abs(x) <= kMaxFinite && std::abs(y) <= kMaxFinite;
}

// The index range that can hold visible points: all of it, or the points with
// visibleMin ≤ X ≤ visibleMax found by binary search when X is known to ascend.
struct ScanRange {
  std::size_t begin = 0;
  std::size_t end = 0;
};

ScanRange scanRange(const PulseMeasurementInput& in, std::size_t n) {
  if (!in.xFiniteAscending) {
    return {0, n};
  }
  const auto xs = in.xs.first(n);
  const auto lo = std::lower_bound(xs.begin(), xs.end(), in.visibleMin);
  const auto hi = std::upper_bound(lo, xs.end(), in.visibleMax);
  return {static_cast<std::size_t>(lo - xs.begin()), static_cast<std::size_t>(hi - xs.begin())};
}

// Extremes from 0 over the points [r.begin, r.end) that `counted(i)` keeps: a point left
// out counts as 0, which changes neither extreme, so the loop has no branch. Four lanes
// keep four comparisons in flight.
template <class Counted>
void laneExtremes(ScanRange r, const double* ys, Counted counted, double& yMin, double& yMax,
                  std::size_t& count) {
  constexpr std::size_t kLanes = 4;
  double laneMin[kLanes] = {};
  double laneMax[kLanes] = {};
  std::size_t laneCount[kLanes] = {};
  const auto take = [&](std::size_t lane, std::size_t i) {
    const bool kept = counted(i);
    laneCount[lane] += kept ? 1 : 0;
    const double v = kept ? ys[i] : 0.0;
    laneMin[lane] = v < laneMin[lane] ? v : laneMin[lane];
    laneMax[lane] = v > laneMax[lane] ? v : laneMax[lane];
  };
  std::size_t i = r.begin;
  for (; i + kLanes <= r.end; i += kLanes) {
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      take(lane, i + lane);
    }
  }
  for (; i < r.end; ++i) {
    take(0, i);
  }
  yMin = 0;
  yMax = 0;
  count = 0;
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    yMin = std::min(yMin, laneMin[lane]);
    yMax = std::max(yMax, laneMax[lane]);
    count += laneCount[lane];
  }
}

void findExtremes(const PulseMeasurementInput& in, ScanRange r, PulseMeasurement& m) {
  const double lo = in.visibleMin;
  const double hi = in.visibleMax;
  const double* xs = in.xs.data();
  const double* ys = in.ys.data();
  double yMin = 0;
  double yMax = 0;
  std::size_t count = 0;
  if (in.xFiniteAscending) {
    // The binary search left only visible points with a finite X: Y alone is read.
    laneExtremes(
        r, ys, [ys](std::size_t i) { return std::abs(ys[i]) <= kMaxFinite; }, yMin, yMax, count);
  } else {
    laneExtremes(
        r, ys,
        [=](std::size_t i) {
          const double x = xs[i];
          // Bitwise on 0/1 values keeps the test free of branches.
          const unsigned inside = unsigned{lo <= x} & unsigned{x <= hi};
          const unsigned finite =
              unsigned{std::abs(x) <= kMaxFinite} & unsigned{std::abs(ys[i]) <= kMaxFinite};
          return (inside & finite) != 0;
        },
        yMin, yMax, count);
  }
  m.visiblePoints = count;
  m.yMin = yMin;
  m.yMax = yMax;
  if (std::abs(yMax) > std::abs(yMin)) {
    m.polarity = PulsePolarity::Positive;
    m.peak = yMax;
  } else if (std::abs(yMax) < std::abs(yMin)) {
    m.polarity = PulsePolarity::Negative;
    m.peak = yMin;
  }
  m.amplitude = m.peak;
  m.level10 = m.peak / 10;
  m.level50 = m.peak / 2;
  m.level90 = m.peak * 9 / 10;
}

// The straight line through points a and b evaluated at level L; X of b on a flat segment.
double crossing(double xa, double ya, double xb, double yb, double level) {
  if (ya == yb) {
    return xb;
  }
  const long double x0 = xa;
  const long double y0 = ya;
  const long double value = x0 + (static_cast<long double>(level) - y0) * (xb - x0) / (yb - y0);
  return static_cast<double>(value);
}

// The scan of the edges over the visible points in index order. Done stage by stage: each
// stage completes at the first visible point at or after the one that completed the stage
// before, which is what trying the four stages in order at every point amounts to. The
// polarity is folded into a sign (negating is exact), so a negative pulse is scanned as a
// positive one: "reaches L" is s·Y ≥ s·L, "back at L" is s·Y ≤ s·L.
class EdgeScan {
 public:
  EdgeScan(const PulseMeasurementInput& in, ScanRange r, PulseMeasurement& m)
      : m_in(in), m_range(r), m_m(m), m_sign(m.polarity == PulsePolarity::Positive ? 1.0 : -1.0) {}

  void run() {
    std::optional<std::size_t> u = risingStart();
    if (!u) {
      return;
    }
    u = firstReaching(*u, m_m.level50);
    if (!u) {
      return;
    }
    m_m.t50r = crossingInto(*u, m_m.level50);
    u = firstReaching(*u, m_m.level90);
    if (!u) {
      return;
    }
    m_m.t90 = crossingInto(*u, m_m.level90);
    u = firstBackAt(*u, m_m.level50);
    if (u) {
      m_m.t50f = crossingInto(*u, m_m.level50);
    }
  }

 private:
  bool usable(std::size_t i) const {
    const double x = m_in.xs[i];
    return m_in.visibleMin <= x && x <= m_in.visibleMax && finitePoint(x, m_in.ys[i]);
  }

  // First visible point from `from` on whose Y reaches `level`.
  std::optional<std::size_t> firstReaching(std::size_t from, double level) const {
    const double target = m_sign * level;
    for (std::size_t u = from; u < m_range.end; ++u) {
      if (m_sign * m_in.ys[u] >= target && usable(u)) {
        return u;
      }
    }
    return std::nullopt;
  }

  std::optional<std::size_t> firstBackAt(std::size_t from, double level) const {
    const double target = m_sign * level;
    for (std::size_t u = from; u < m_range.end; ++u) {
      if (m_sign * m_in.ys[u] <= target && usable(u)) {
        return u;
      }
    }
    return std::nullopt;
  }

  // The point before `u` that its segment starts at: the last finite one, visible or not.
  std::optional<std::size_t> segmentStart(std::size_t u) const {
    while (u-- > 0) {
      if (finitePoint(m_in.xs[u], m_in.ys[u])) {
        return u;
      }
    }
    return std::nullopt;
  }

  // t10: the first visible point that reaches 10 % while Y moves towards the peak. A point
  // that reaches the level without moving towards the peak is passed over.
  std::optional<std::size_t> risingStart() {
    for (std::size_t u = m_range.begin;; ++u) {
      const std::optional<std::size_t> candidate = firstReaching(u, m_m.level10);
      if (!candidate) {
        return std::nullopt;
      }
      u = *candidate;
      const std::optional<std::size_t> a = segmentStart(u);
      if (a && m_sign * m_in.ys[*a] < m_sign * m_in.ys[u]) {
        m_m.t10 = crossingInto(u, m_m.level10);
        return u;
      }
    }
  }

  double crossingInto(std::size_t u, double level) const {
    const std::size_t a = *segmentStart(u);
    return crossing(m_in.xs[a], m_in.ys[a], m_in.xs[u], m_in.ys[u], level);
  }

  const PulseMeasurementInput& m_in;
  ScanRange m_range;
  PulseMeasurement& m_m;
  double m_sign;
};

// Rise time with the sensor correction: TR = √(TR² − TS²) when TS > 0 and TR ≥ TS.
void applySensor(const PulseMeasurementInput& in, PulseMeasurement& m) {
  const std::string_view trimmed = trimBlanks(in.sensorText);
  m.trimmedSensorText = std::string(trimmed);
  double sensor = 0;
  if (!trimmed.empty()) {
    if (const std::optional<double> typed = parseTypedNumber(trimmed, '.')) {
      sensor = *typed;
    } else {
      m.sensorMessages.emplace_back(kSensorNotANumber);
    }
  }
  double rise = *m.t90 - *m.t10;
  if (sensor > 0) {
    if (rise >= sensor) {
      rise = std::sqrt(rise * rise - sensor * sensor);
      m.sensorRise = sensor;
    } else {
      m.sensorMessages.emplace_back(kSensorLongerThanRise);
    }
  }
  m.riseTime = rise;
}

}  // namespace

PulseMeasurement measurePulse(const PulseMeasurementInput& input) {
  PulseMeasurement m;
  const std::size_t n = std::min(input.xs.size(), input.ys.size());
  const ScanRange range = scanRange(input, n);
  findExtremes(input, range, m);
  if (m.polarity != PulsePolarity::None) {
    EdgeScan(input, range, m).run();
  }
  m.start = input.method == DurationMethod::From10Percent ? m.t10 : m.t50r;
  if (m.t90) {
    applySensor(input, m);
  }
  if (m.t50f && m.start) {
    m.duration = *m.t50f - *m.start;
  }
  m.text = pulseMeasurementText(m, input.decimalSeparator);
  return m;
}

std::string pulseMeasurementText(const PulseMeasurement& m, char decimalSeparator) {
  std::string text = "Aмплитуда = " + formatThreeDigits(m.amplitude, decimalSeparator);
  if (m.riseTime) {
    text += "; Tф = " + formatThreeDigits(*m.riseTime, decimalSeparator);
  }
  if (m.duration) {
    text += "; Tи = " + formatThreeDigits(*m.duration, decimalSeparator);
  }
  return text;
}

}  // namespace tarvik
