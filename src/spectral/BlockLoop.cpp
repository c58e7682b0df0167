#include "spectral/BlockLoop.h"

#include <algorithm>
#include <cmath>

namespace tarvik::spectral {

PercentProgress::PercentProgress(double denominator, std::function<void(int)> show)
    : m_denominator(denominator), m_show(std::move(show)) {}

int PercentProgress::percentOf(std::int64_t index) const {
  return static_cast<int>(std::nearbyint(static_cast<double>(index) * 100.0 / m_denominator));
}

void PercentProgress::reach(std::int64_t index) {
  if (index < m_next) {
    return;
  }
  const int target = percentOf(index);
  if (m_denominator >= 100 && m_last >= 0) {
    // Neighbouring points differ by at most one percent: every value in between occurs.
    for (int p = m_last + 1; p <= target; ++p) {
      m_show(p);
    }
    m_last = std::max(m_last, target);
  } else {
    for (std::int64_t i = m_next; i <= index; ++i) {
      const int p = percentOf(i);
      if (p != m_last) {
        m_show(p);
        m_last = p;
      }
    }
  }
  m_next = index + 1;
}

bool runInBlocks(std::int64_t total, std::size_t maxBlock, PercentProgress& progress,
                 const std::function<bool()>& stopRequested, const BlockWork& work) {
  for (std::int64_t first = 0; first < total;) {
    const auto count = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(maxBlock), total - first));
    progress.reach(first);
    if (stopRequested()) {
      return false;
    }
    const auto keepGoing = [&](double fraction) {
      const double done = std::clamp(fraction, 0.0, 1.0) * static_cast<double>(count);
      const auto within = std::min<std::int64_t>(static_cast<std::int64_t>(done),
                                                 static_cast<std::int64_t>(count) - 1);
      progress.reach(first + within);
      return !stopRequested();
    };
    if (!work(first, count, keepGoing)) {
      return false;
    }
    progress.reach(first + static_cast<std::int64_t>(count) - 1);
    first += static_cast<std::int64_t>(count);
  }
  return true;
}

}  // namespace tarvik::spectral
