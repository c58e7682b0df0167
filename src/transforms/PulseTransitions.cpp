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
      m_positive = m_choice == PulsePolarityChoice::Auto ? t.rise
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
  void finish(const Edge& e, std::optional<double> nextStart);
  std::optional<double> preshoot(const Edge& e, double regionStart) const;
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
      if (y <= lower) {
        from = i;
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
        from = i;
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
    finish(*m_pending, e.start());
  }
  m_pending = e;
}

// The deviation away from the coming state over [regionStart, t_start): the points from
// the one that left the old state backwards.
std::optional<double> Walker::preshoot(const Edge& e, double regionStart) const {
  const double start = e.start();
  bool any = false;
  double worst = 0;
  for (std::size_t k = e.from + 1; k-- > 0;) {
    const double x = m_x[k];
    if (x < regionStart) {
      break;
    }
    if (x < start) {
      const double deviation = e.rise ? m_levels.low - m_y[k] : m_y[k] - m_levels.high;
      worst = any ? std::max(worst, deviation) : deviation;
      any = true;
    }
  }
  return any ? percentOf(worst, m_levels.amplitude) : std::nullopt;
}

void Walker::finish(const Edge& e, std::optional<double> nextStart) {
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
  const double end = e.end();
  const double lastX = m_x[m_n - 1];
  t.preshoot = preshoot(e, std::max(e.start() - reach, m_previousEnd));

  // One pass forwards from the end of the edge over the post region (t_end, postEnd] and
  // the settling stretch t_end < X < next start.
  const double postEnd = std::min(end + reach, nextStart.value_or(lastX));
  const double final = e.rise ? m_levels.high : m_levels.low;
  const double tolerance = m_options.tolerancePercent * m_levels.amplitude / 100;
  bool anyPost = false, reached = false;
  double over = 0, under = 0;
  std::size_t lastOutside = kNone, lastInside = kNone, outsideBeforeInside = kNone;
  for (std::size_t k = e.to - 1; k < m_n; ++k) {
    const double x = m_x[k];
    const bool inStretch = !nextStart || x < *nextStart;
    if (x > postEnd && !inStretch) {
      break;
    }
    if (x <= end) {
      continue;
    }
    const double y = m_y[k];
    if (x <= postEnd) {
      const double away = e.rise ? y - m_levels.high : m_levels.low - y;
      over = anyPost ? std::max(over, away) : away;
      anyPost = true;
      if (!reached && (e.rise ? y >= m_levels.high : y <= m_levels.low)) {
        reached = true;
        under = -away;
      }
      if (reached) {
        under = std::max(under, -away);
      }
    }
    if (inStretch) {
      if (std::abs(y - final) <= tolerance) {
        lastInside = k;
        outsideBeforeInside = lastOutside;
      } else {
        lastOutside = k;
      }
    }
  }
  if (anyPost) {
    t.overshoot = percentOf(over, m_levels.amplitude);
  }
  if (reached) {
    t.undershoot = percentOf(under, m_levels.amplitude);
  }
  if (lastInside != kNone) {
    double instant = end;
    if (outsideBeforeInside != kNone) {
      const std::size_t k = outsideBeforeInside;
      const double edge = m_y[k] > final ? final + tolerance : final - tolerance;
      instant = crossing(k, edge);
    }
    t.settling = instant - e.tMid;
  }
  m_previousEnd = end;
  m_sink.transition(t);
  m_pulses.add(t);
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
