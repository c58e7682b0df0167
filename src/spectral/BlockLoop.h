#pragma once
// The loop over output points of the long spectral computations: the status-bar percentage
// (written only when its integer value changes) and the stop request, for work that the fast
// paths do in blocks of output points rather than one point at a time.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace tarvik::spectral {

// Percentages round(i·100/denominator) (ties to even) of output points i = 0, 1, …: each
// value is shown once, in order, as the loop reaches the first point that has it.
class PercentProgress {
 public:
  PercentProgress(double denominator, std::function<void(int percent)> show);
  // Point `index` is starting: shows every percentage of points up to it not shown yet.
  void reach(std::int64_t index);

 private:
  int percentOf(std::int64_t index) const;

  double m_denominator;
  std::function<void(int)> m_show;
  std::int64_t m_next = 0;  // the first point whose percentage was not looked at
  int m_last = -1;
};

// Computes one block of output points [first, first + count); it calls keepGoing(fraction
// of the block done) between pieces of its work and returns false when keepGoing did.
using BlockWork = std::function<bool(std::int64_t first, std::size_t count,
                                     const std::function<bool(double)>& keepGoing)>;

// Runs `total` output points in blocks of at most `maxBlock`. Before each block and between
// pieces of work it shows the percentages reached and polls stopRequested(); returns false
// as soon as a stop is seen (the block in progress is dropped, finished blocks stay).
bool runInBlocks(std::int64_t total, std::size_t maxBlock, PercentProgress& progress,
                 const std::function<bool()>& stopRequested, const BlockWork& work);

}  // namespace tarvik::spectral
