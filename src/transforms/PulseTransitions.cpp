#include "transforms/PulseTransitions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarvik {
namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// One edge as the walk finds it: the point j that left the old state, the start k of the
// segment that passes M, and the point i that reached the new state.
struct Edge {
  bool rise = true;
  std::size_t from = 0, mid = 0, to = 0;
  double tLower = 0, tMid = 0, tUpper = 0;
  double start() const { return rise ? tLower : tUpper; }
  double end() const { return rise ? tUpper : tLower; }
};

std::optional<double> percentOf(double deviation, double amplitude) {
  return 100 * std::max(0.0, deviation) / amplitude;
}

// Pairs transitions into pulses and holds each pulse back until the next one gives its
// period.
class PulseAssembler {
 public:
  PulseAssembler(PulsePolarityChoice choice, PulseSink& sink) : m_choice(choice), m_sink(sink) {}

  void add(const Transition& t) {
    if (!m_positive) {
      m_positive = m_choice == PulsePolarityChoice::Auto
                       ? t.rise
                       : m_choice == PulsePolarityChoice::Positive;
    }
    if (t.rise == *m_positive) {
      m_openStart = t.tMid;
      return;
    }
    if (!m_openStart) {
      return;  // the second edge of a pulse whose first one came before the range
    }
    Pulse p;
    p.positive = *m_positive;
    p.start = *m_openStart;
    p.end = t.tMid;
    p.width = p.end - p.start;
    m_openStart.reset();
    if (m_held) {
      const double period = p.start - m_held->start;
      m_held->period = period;
      if (period != 0) {
        m_held->duty = m_held->width / period;
        m_held->frequency = 1 / period;
      }
      m_sink.pulse(*m_held);
    }
    m_held = p;
  }

  void finish() {
    if (m_held) {
      m_sink.pulse(*m_held);
      m_held.reset();
    }
  }

 private:
  PulsePolarityChoice m_choice;
  PulseSink& m_sink;
  std::optional<bool> m_positive;
  std::optional<double> m_openStart;
  std::optional<Pulse> m_held;
};

class Walker {
 public:
  Walker(const PulsePoints& p, const StateLevels& levels, const ReferenceLevels& ref,
         const PulseOptions& options, PulseSink& sink)
      : m_x(p.xs().data()),
        m_y(p.ys().data()),
        m_n(p.size()),
        m_levels(levels),
        m_ref(ref),
        m_options(options),
        m_sink(sink),
        m_pulses(options.polarity, sink),
        m_previousEnd(p.xs().front()) {}

  void run();

 private:
  void found(bool rise, std::size_t from, std::size_t mid, std::size_t to);
  void finish(const Edge& e, const std::optional<Edge>& next);
  std::optional<double> preshoot(const Edge& e, double regionStart) const;
  void postRegion(const Edge& e, double postEnd, Transition& t) const;
  std::optional<double> settling(const Edge& e, const std::optional<Edge>& next) const;
  double crossing(std::size_t a, double level) const {
    return levelCrossing(m_x[a], m_y[a], m_x[a + 1], m_y[a + 1], level);
  }

  const double* m_x;
  const double* m_y;
  std::size_t m_n;
  StateLevels m_levels;
  ReferenceLevels m_ref;
  const PulseOptions& m_options;
  PulseSink& m_sink;
  PulseAssembler m_pulses;
  std::optional<Edge> m_pending;  // found, waiting for the start of the next edge
  double m_previousEnd;           // end of the edge before the pending one (first X at first)
};

// The state machine over the points. In the LOW state `from` is the last point with
// y ≤ L and `mid` the start of the last segment after it that passes M upward; HIGH
// mirrors it. Each point costs two or three comparisons.
void Walker::run() {
  enum class State { Unknown, Low, High };
  const double lower = m_ref.lower, mid = m_ref.mid, upper = m_ref.upper;
  State state = State::Unknown;
  std::size_t from = 0, midSegment = kNone;
  for (std::size_t i = 0; i < m_n; ++i) {
    const double y = m_y[i];
    if (state == State::Low) {
      if (y <= lower) {  // a stretch at the low state runs in a tight loop
        std::size_t k = i + 1;
        while (k < m_n && m_y[k] <= lower) {
          ++k;
        }
        from = k - 1;
        i = k - 1;
        midSegment = kNone;
        continue;
      }
      if (m_y[i - 1] < mid && y >= mid) {
        midSegment = i - 1;
      }
      if (y >= upper) {
        found(true, from, midSegment, i);
        state = State::High;
        from = i;
        midSegment = kNone;
      }
    } else if (state == State::High) {
      if (y >= upper) {
        std::size_t k = i + 1;
        while (k < m_n && m_y[k] >= upper) {
          ++k;
        }
        from = k - 1;
        i = k - 1;
        midSegment = kNone;
        continue;
      }
      if (m_y[i - 1] > mid && y <= mid) {
        midSegment = i - 1;
      }
      if (y <= lower) {
        found(false, from, midSegment, i);
        state = State::Low;
        from = i;
        midSegment = kNone;
      }
    } else if (y <= lower) {
      state = State::Low;
      from = i;
    } else if (y >= upper) {
      state = State::High;
      from = i;
    }
  }
  if (m_pending) {
    finish(*m_pending, std::nullopt);
  }
  m_pulses.finish();
}

void Walker::found(bool rise, std::size_t from, std::size_t mid, std::size_t to) {
  Edge e;
  e.rise = rise;
  e.from = from;
  // Only levels rounded together (a vanishing amplitude) leave no segment passing M.
  e.mid = mid == kNone ? to - 1 : mid;
  e.to = to;
  e.tMid = crossing(e.mid, m_ref.mid);
  if (rise) {
    e.tLower = crossing(from, m_ref.lower);
    e.tUpper = crossing(to - 1, m_ref.upper);
  } else {
    e.tUpper = crossing(from, m_ref.upper);
    e.tLower = crossing(to - 1, m_ref.lower);
  }
  if (m_pending) {
    finish(*m_pending, e);
  }
  m_pending = e;
}

// The deviation away from the coming state over [regionStart, t_start): the points from
// the one that left the old state backwards. The sign s (+1 before a rise) folds both
// directions into one: low − y = s·low − s·y, and y − high = s·high − s·y for s = −1, and
// the largest deviation comes from the smallest s·y.
std::optional<double> Walker::preshoot(const Edge& e, double regionStart) const {
  const double start = e.start();
  std::ptrdiff_t last = static_cast<std::ptrdiff_t>(e.from);
  while (last >= 0 && m_x[last] >= start) {
    --last;
  }
  if (last < 0 || m_x[last] < regionStart) {
    return std::nullopt;
  }
  const double s = e.rise ? 1 : -1;
  double least = s * m_y[last];
  for (std::ptrdiff_t k = last - 1; k >= 0 && m_x[k] >= regionStart; --k) {
    const double v = s * m_y[k];
    least = v < least ? v : least;
  }
  const double base = e.rise ? m_levels.low : m_levels.high;
  return percentOf(s * base - least, m_levels.amplitude);
}

void Walker::finish(const Edge& e, const std::optional<Edge>& next) {
  Transition t;
  t.rise = e.rise;
  t.tLower = e.tLower;
  t.tMid = e.tMid;
  t.tUpper = e.tUpper;
  t.duration = std::abs(e.tUpper - e.tLower);
  if (t.duration != 0) {
    t.slew = (m_ref.upper - m_ref.lower) / t.duration * (e.rise ? 1 : -1);
  }
  const double reach = m_options.regionFactor * t.duration;
  const std::optional<double> nextStart =
      next ? std::optional<double>(next->start()) : std::nullopt;
  t.preshoot = preshoot(e, std::max(e.start() - reach, m_previousEnd));
  postRegion(e, std::min(e.end() + reach, nextStart.value_or(m_x[m_n - 1])), t);
  t.settling = settling(e, next);
  m_previousEnd = e.end();
  m_sink.transition(t);
  m_pulses.add(t);
}

// Overshoot and undershoot over the points with t_end < X ≤ postEnd, folded by the sign
// s as in preshoot(): y − high = s·y − s·high after a rise, low − y the same with s = −1.
void Walker::postRegion(const Edge& e, double postEnd, Transition& t) const {
  const double end = e.end();
  std::size_t begin = e.to - 1;
  while (begin < m_n && m_x[begin] <= end) {
    ++begin;
  }
  std::size_t stop = begin;
  while (stop < m_n && m_x[stop] <= postEnd) {
    ++stop;
  }
  if (begin == stop) {
    return;
  }
  const double s = e.rise ? 1 : -1;
  const double final = s * (e.rise ? m_levels.high : m_levels.low);
  double most = s * m_y[begin];
  for (std::size_t k = begin + 1; k < stop; ++k) {
    const double v = s * m_y[k];
    most = v > most ? v : most;
  }
  t.overshoot = percentOf(most - final, m_levels.amplitude);
  // The undershoot counts from the first point at the final level on.
  std::size_t first = begin;
  while (first < stop && s * m_y[first] < final) {
    ++first;
  }
  if (first == stop) {
    return;
  }
  double least = s * m_y[first];
  for (std::size_t k = first + 1; k < stop; ++k) {
    const double v = s * m_y[k];
    least = v < least ? v : least;
  }
  t.undershoot = percentOf(final - least, m_levels.amplitude);
}

// Settling over the stretch t_end < X < start of the next edge (or to the last point),
// read backwards: its last point inside the band, then the last one outside before it.
std::optional<double> Walker::settling(const Edge& e, const std::optional<Edge>& next) const {
  const double end = e.end();
  // The stretch's last point: the next edge starts in the segment after its `from` point.
  std::size_t last = m_n - 1;
  if (next) {
    const double nextStart = next->start();
    last = std::min(next->from + 1, m_n - 1);
    while (last > 0 && m_x[last] >= nextStart) {
      --last;
    }
    if (m_x[last] >= nextStart) {
      return std::nullopt;
    }
  }
  const double final = e.rise ? m_levels.high : m_levels.low;
  const double tolerance = m_options.tolerancePercent * m_levels.amplitude / 100;
  const auto inside = [&](std::size_t k) { return std::abs(m_y[k] - final) <= tolerance; };
  std::size_t k = last;
  while (m_x[k] > end && !inside(k)) {  // past the cut
    if (k == 0) {
      return std::nullopt;
    }
    --k;
  }
  if (!(m_x[k] > end)) {
    return std::nullopt;  // no point of the stretch inside the band
  }
  while (k > 0 && m_x[k - 1] > end && inside(k - 1)) {
    --k;
  }
  if (k == 0 || !(m_x[k - 1] > end)) {
    return end - e.tMid;  // every point of the cut stretch is inside
  }
  const std::size_t outside = k - 1;
  const double edge = m_y[outside] > final ? final + tolerance : final - tolerance;
  return crossing(outside, edge) - e.tMid;
}

}  // namespace

void walkTransitions(const PulsePoints& points, const StateLevels& levels,
                     const ReferenceLevels& reference, const PulseOptions& options,
                     PulseSink& sink) {
  if (points.size() == 0) {
    return;
  }
  Walker(points, levels, reference, options, sink).run();
}

}  // namespace tarvik
