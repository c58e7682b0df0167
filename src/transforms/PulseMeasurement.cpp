#include "transforms/PulseMeasurement.h"

#include <algorithm>
#include <cmath>

#include "core/NumberFormat.h"

namespace tarvik {
namespace {

bool finitePoint(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

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

void findExtremes(const PulseMeasurementInput& in, ScanRange r, PulseMeasurement& m) {
  const double lo = in.visibleMin;
  const double hi = in.visibleMax;
  double yMin = 0;
  double yMax = 0;
  std::size_t count = 0;
  for (std::size_t i = r.begin; i < r.end; ++i) {
    const double x = in.xs[i];
    const double y = in.ys[i];
    if (lo <= x && x <= hi && std::isfinite(x) && std::isfinite(y)) {
      ++count;
      yMin = y < yMin ? y : yMin;
      yMax = y > yMax ? y : yMax;
    }
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

// The scan of the edges: one call per visible segment (a → b) in index order. Each call
// tries the four stages in order, so one segment may complete several of them.
class EdgeScan {
 public:
  explicit EdgeScan(PulseMeasurement& m)
      : m_(m), m_sign(m.polarity == PulsePolarity::Positive ? 1 : -1) {}

  // Returns true once the falling edge is found and the scan ends.
  bool segment(double xa, double ya, double xb, double yb) {
    if (!m_.t10) {
      if (reaches(yb, m_.level10)) {
        if (!towardsPeak(ya, yb)) {
          return false;
        }
        m_.t10 = crossing(xa, ya, xb, yb, m_.level10);
      }
    }
    if (m_.t10 && !m_.t50r && reaches(yb, m_.level50)) {
      m_.t50r = crossing(xa, ya, xb, yb, m_.level50);
    }
    if (m_.t50r && !m_.t90 && reaches(yb, m_.level90)) {
      m_.t90 = crossing(xa, ya, xb, yb, m_.level90);
    }
    if (m_.t90 && backAt(yb, m_.level50)) {
      m_.t50f = crossing(xa, ya, xb, yb, m_.level50);
      return true;
    }
    return false;
  }

 private:
  bool reaches(double y, double level) const { return m_sign > 0 ? y >= level : y <= level; }
  bool backAt(double y, double level) const { return m_sign > 0 ? y <= level : y >= level; }
  bool towardsPeak(double from, double to) const { return m_sign > 0 ? from < to : from > to; }

  PulseMeasurement& m_;
  int m_sign;
};

void scanEdges(const PulseMeasurementInput& in, ScanRange r, PulseMeasurement& m) {
  // The segment into the first visible point starts at the last finite point before it.
  std::optional<std::size_t> prev;
  for (std::size_t i = r.begin; i-- > 0;) {
    if (finitePoint(in.xs[i], in.ys[i])) {
      prev = i;
      break;
    }
  }
  EdgeScan scan(m);
  for (std::size_t i = r.begin; i < r.end; ++i) {
    const double x = in.xs[i];
    const double y = in.ys[i];
    if (!finitePoint(x, y)) {
      continue;
    }
    if (prev && in.visibleMin <= x && x <= in.visibleMax &&
        scan.segment(in.xs[*prev], in.ys[*prev], x, y)) {
      return;
    }
    prev = i;
  }
}

std::string_view trimmedBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const std::size_t begin = text.find_first_not_of(kBlanks);
  if (begin == std::string_view::npos) {
    return {};
  }
  return text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
}

// Rise time with the sensor correction: TR = √(TR² − TS²) when TS > 0 and TR ≥ TS.
void applySensor(const PulseMeasurementInput& in, PulseMeasurement& m) {
  const std::string_view trimmed = trimmedBlanks(in.sensorText);
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
    scanEdges(input, range, m);
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

bool isFiniteAscending(std::span<const double> xs) {
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (!std::isfinite(xs[i]) || (i > 0 && xs[i] < xs[i - 1])) {
      return false;
    }
  }
  return true;
}

}  // namespace tarvik
