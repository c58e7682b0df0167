#include "view/PolylineReduction.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace tarvik::view {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// One run of consecutive points in the same pixel column, by index. The lowest and the
// highest are taken by value (the first occurrence of each), which is the same as by pixel
// row on a linear or logarithmic axis.
struct Run {
  std::size_t first = 0, low = 0, high = 0, last = 0;
  bool offScreen = false;
  PixelPoint start;  // the first point, mapped
};

void emitPoint(std::vector<PixelPoint>& out, PixelPoint p) {
  if (out.empty() || !(out.back() == p)) {
    out.push_back(p);
  }
}

void emitBreak(std::vector<PixelPoint>& out) {
  if (!out.empty() && !out.back().isBreak()) {
    out.push_back(kLineBreak);
  }
}

struct Mapper {
  std::span<const double> xs, ys;
  const AxisPixelMap& keyMap;
  const AxisPixelMap& valueMap;
  PixelPoint operator()(std::size_t i) const { return {keyMap(xs[i]), valueMap(ys[i])}; }
};

void emitRun(const Run& run, const Mapper& map, std::vector<PixelPoint>& out) {
  emitPoint(out, run.start);
  if (run.last == run.first) {
    return;  // a run of one point (every run, when X comes in random order)
  }
  if (!run.offScreen) {
    // The extremes in the order they occurred, skipping those that are the ends.
    const std::size_t a = std::min(run.low, run.high), b = std::max(run.low, run.high);
    for (std::size_t idx : {a, b}) {
      if (idx != run.first && idx != run.last) {
        emitPoint(out, map(idx));
      }
    }
  }
  emitPoint(out, map(run.last));
}

}  // namespace

PointBlocks summarizePointBlocks(std::span<const double> xs, std::span<const double> ys) {
  constexpr std::size_t k = PointBlocks::kPoints;
  const std::size_t n = std::min(xs.size(), ys.size());
  PointBlocks result;
  result.blocks.resize(n / k);
  for (std::size_t b = 0; b < n / k; ++b) {
    const double* x = xs.data() + b * k;
    const double* y = ys.data() + b * k;
    // v·0 is 0 for a finite v and NaN otherwise, so one sum tells whether all are finite.
    double probe = 0;
    double xMin = x[0], xMax = x[0], yMin = y[0], yMax = y[0];
    for (std::size_t i = 0; i < k; ++i) {
      probe += x[i] * 0 + y[i] * 0;
      xMin = std::min(xMin, x[i]);
      xMax = std::max(xMax, x[i]);
      yMin = std::min(yMin, y[i]);
      yMax = std::max(yMax, y[i]);
    }
    PointBlocks::Block& block = result.blocks[b];
    block.finite = probe == 0;
    if (!block.finite) {
      continue;
    }
    block.xMin = xMin;
    block.xMax = xMax;
    block.yMin = yMin;
    block.yMax = yMax;
    block.yMinAt = static_cast<std::uint8_t>(std::find(y, y + k, yMin) - y);
    block.yMaxAt = static_cast<std::uint8_t>(std::find(y, y + k, yMax) - y);
  }
  return result;
}

void reducePolyline(std::span<const double> xs, std::span<const double> ys, std::size_t begin,
                    std::size_t end, const AxisPixelMap& keyMap, const AxisPixelMap& valueMap,
                    ColumnWindow window, std::vector<PixelPoint>& out, const PointBlocks* blocks) {
  constexpr std::size_t k = PointBlocks::kPoints;
  end = std::min({end, xs.size(), ys.size()});
  const Mapper map{xs, ys, keyMap, valueMap};
  // A whole block joins a run only on a linear key axis, whose map keeps the order of the
  // values exactly (each rounded step of it is monotonic), so the pixels of its extreme X
  // bound the pixels of all its points.
  const bool useBlocks = blocks != nullptr && !keyMap.logarithmic &&
                         blocks->blocks.size() == std::min(xs.size(), ys.size()) / k;
  Run run;
  bool active = false;
  double columnLow = 0, columnHigh = 0;  // bounds of the current run's column
  double lowY = 0, highY = 0;
  for (std::size_t i = begin; i < end;) {
    if (useBlocks && active && i % k == 0 && i + k <= end) {
      const PointBlocks::Block& block = blocks->blocks[i / k];
      const double pxA = keyMap(block.xMin), pxB = keyMap(block.xMax);
      // Every Y of the block can be shown when its extremes can (a linear map keeps the
      // order; on a logarithmic one, the lowest above 0 puts all above 0).
      if (block.finite && std::isfinite(valueMap(block.yMin)) &&
          std::isfinite(valueMap(block.yMax)) && std::isfinite(pxA) && std::isfinite(pxB) &&
          std::min(pxA, pxB) >= columnLow && std::max(pxA, pxB) < columnHigh) {
        run.last = i + k - 1;
        if (block.yMin < lowY) {
          lowY = block.yMin;
          run.low = i + block.yMinAt;
        }
        if (block.yMax > highY) {
          highY = block.yMax;
          run.high = i + block.yMaxAt;
        }
        i += k;
        continue;
      }
    }
    const double px = keyMap(xs[i]);
    const double py = valueMap(ys[i]);
    if (!std::isfinite(px) || !std::isfinite(py)) {
      if (active) {
        emitRun(run, map, out);
        active = false;
      }
      emitBreak(out);
      ++i;
      continue;
    }
    const double y = ys[i];
    if (active && px >= columnLow && px < columnHigh) {
      run.last = i;
      if (y < lowY) {
        lowY = y;
        run.low = i;
      } else if (y > highY) {
        highY = y;
        run.high = i;
      }
      ++i;
      continue;
    }
    if (active) {
      emitRun(run, map, out);
    }
    active = true;
    run = Run{i, i, i, i, false, PixelPoint{px, py}};
    lowY = highY = y;
    if (px < window.leftPx) {
      columnLow = -kInf;
      columnHigh = window.leftPx;
      run.offScreen = true;
    } else if (px >= window.rightPx) {
      columnLow = window.rightPx;
      columnHigh = kInf;
      run.offScreen = true;
    } else {
      columnLow = std::floor(px);
      columnHigh = columnLow + 1;
    }
    ++i;
  }
  if (active) {
    emitRun(run, map, out);
  }
}

namespace {

// First index of the lowest and of the highest value in ys[a, b), a < b. Four running
// extremes keep the processor's pipelines full; the positions are found afterwards.
void extremes(const double* ys, std::size_t a, std::size_t b, std::size_t& low, std::size_t& high) {
  double lo[4], hi[4];
  for (double& v : lo) {
    v = ys[a];
  }
  for (double& v : hi) {
    v = ys[a];
  }
  std::size_t i = a;
  for (; i + 4 <= b; i += 4) {
    for (int k = 0; k < 4; ++k) {
      lo[k] = std::min(lo[k], ys[i + static_cast<std::size_t>(k)]);
      hi[k] = std::max(hi[k], ys[i + static_cast<std::size_t>(k)]);
    }
  }
  for (; i < b; ++i) {
    lo[0] = std::min(lo[0], ys[i]);
    hi[0] = std::max(hi[0], ys[i]);
  }
  const double lowest = std::min({lo[0], lo[1], lo[2], lo[3]});
  const double highest = std::max({hi[0], hi[1], hi[2], hi[3]});
  low = static_cast<std::size_t>(std::find(ys + a, ys + b, lowest) - ys);
  high = static_cast<std::size_t>(std::find(ys + a, ys + b, highest) - ys);
}

}  // namespace

void reduceSortedPolyline(std::span<const double> xs, std::span<const double> ys, std::size_t begin,
                          std::size_t end, const AxisPixelMap& keyMap, const AxisPixelMap& valueMap,
                          ColumnWindow window, std::vector<PixelPoint>& out) {
  end = std::min({end, xs.size(), ys.size()});
  const Mapper map{xs, ys, keyMap, valueMap};
  // End of the run that starts at i: the first index whose pixel is at or beyond `limit`.
  auto runEnd = [&](std::size_t i, double limit) {
    const auto it = std::partition_point(xs.begin() + static_cast<std::ptrdiff_t>(i),
                                         xs.begin() + static_cast<std::ptrdiff_t>(end),
                                         [&](double x) { return keyMap(x) < limit; });
    return static_cast<std::size_t>(it - xs.begin());
  };
  std::size_t i = begin;
  while (i < end) {
    const double px = keyMap(xs[i]);
    Run run;
    std::size_t next = end;
    if (px < window.leftPx) {
      next = runEnd(i, window.leftPx);
      run = Run{i, i, i, next - 1, true, map(i)};
    } else if (px >= window.rightPx) {
      run = Run{i, i, i, end - 1, true, map(i)};
    } else {
      next = runEnd(i, std::floor(px) + 1);
      run = Run{i, i, i, next - 1, false, map(i)};
      extremes(ys.data(), i, next, run.low, run.high);
    }
    emitRun(run, map, out);
    i = next;
  }
}

IndexRange visibleIndexRange(std::span<const double> sortedXs, double keyLower, double keyUpper) {
  const auto first = std::lower_bound(sortedXs.begin(), sortedXs.end(), keyLower);
  const auto last = std::upper_bound(first, sortedXs.end(), keyUpper);
  std::size_t begin = static_cast<std::size_t>(first - sortedXs.begin());
  std::size_t end = static_cast<std::size_t>(last - sortedXs.begin());
  if (begin > 0) {
    --begin;
  }
  if (end < sortedXs.size()) {
    ++end;
  }
  return {begin, end};
}

namespace {

// Liang–Barsky: the parameter interval [t0, t1] of a→b inside `r`; false when outside.
bool clipSegment(PixelPoint a, PixelPoint b, PixelRect r, double& t0, double& t1) {
  t0 = 0;
  t1 = 1;
  // Both ends inside: what the cuts below would find too, without four divisions.
  auto inside = [&r](PixelPoint p) {
    return r.left <= p.x && p.x <= r.right && r.top <= p.y && p.y <= r.bottom;
  };
  if (inside(a) && inside(b)) {
    return true;
  }
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x - r.left, r.right - a.x, a.y - r.top, r.bottom - a.y};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) {
        return false;
      }
      continue;
    }
    const double t = q[k] / p[k];
    if (p[k] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) {
      return false;
    }
  }
  return true;
}

PixelPoint along(PixelPoint a, PixelPoint b, double t) {
  if (t == 0) {
    return a;
  }
  if (t == 1) {
    return b;
  }
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

}  // namespace

void clipPolyline(std::span<const PixelPoint> line, PixelRect rect, std::vector<PixelPoint>& out,
                  bool continued) {
  out.clear();
  bool penDown = continued;  // the last point emitted is the current segment's start
  for (std::size_t i = 1; i < line.size(); ++i) {
    const PixelPoint a = line[i - 1], b = line[i];
    if (a.isBreak() || b.isBreak()) {
      if (penDown) {
        out.push_back(kLineBreak);
        penDown = false;
      }
      continue;
    }
    double t0 = 0, t1 = 1;
    if (!clipSegment(a, b, rect, t0, t1)) {
      if (penDown) {
        out.push_back(kLineBreak);
        penDown = false;
      }
      continue;
    }
    if (!penDown || t0 > 0) {
      if (penDown) {
        out.push_back(kLineBreak);
      }
      out.push_back(along(a, b, t0));
    }
    out.push_back(along(a, b, t1));
    penDown = t1 == 1;
    if (!penDown) {
      out.push_back(kLineBreak);
    }
  }
  if (!out.empty() && out.back().isBreak()) {
    out.pop_back();
  }
}

double distanceToPolyline(std::span<const PixelPoint> line, PixelPoint p) {
  double best = kInf;
  for (std::size_t i = 1; i < line.size(); ++i) {
    const PixelPoint a = line[i - 1], b = line[i];
    if (a.isBreak() || b.isBreak()) {
      continue;
    }
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
    best = std::min(best, ex * ex + ey * ey);
  }
  return std::sqrt(best);
}

void dashSegments(std::span<const PixelPoint> line, std::span<const double> pattern,
                  std::vector<PixelPoint>& out) {
  double patternLength = 0;
  for (double len : pattern) {
    patternLength += std::max(len, 0.0);
  }
  if (pattern.empty() || !(patternLength > 0)) {
    return;
  }
  std::size_t element = 0;
  double leftInElement = std::max(pattern[0], 0.0);
  for (std::size_t i = 1; i < line.size(); ++i) {
    const PixelPoint a = line[i - 1], b = line[i];
    if (a.isBreak() || b.isBreak()) {
      element = 0;
      leftInElement = std::max(pattern[0], 0.0);
      continue;
    }
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    double done = 0;
    while (done < length) {
      const double step = std::min(leftInElement, length - done);
      if (element % 2 == 0 && step > 0) {
        out.push_back(along(a, b, done / length));
        out.push_back(along(a, b, (done + step) / length));
      }
      done += step;
      leftInElement -= step;
      if (leftInElement <= 0) {
        element = (element + 1) % pattern.size();
        leftInElement = std::max(pattern[element], 0.0);
      }
    }
  }
}

void reduceAndClipPolyline(std::span<const double> xs, std::span<const double> ys,
                           std::size_t begin, std::size_t end, const AxisPixelMap& keyMap,
                           const AxisPixelMap& valueMap, ColumnWindow window, PixelRect clip,
                           bool twoThreads, LineScratch& scratch, std::vector<PixelPoint>& out,
                           const PointBlocks* blocks) {
  end = std::min({end, xs.size(), ys.size()});
  scratch.reduced.clear();
  auto serial = [&] {
    reducePolyline(xs, ys, begin, end, keyMap, valueMap, window, scratch.reduced, blocks);
    clipPolyline(scratch.reduced, clip, out);
  };
  if (!twoThreads || end < begin + 4) {
    serial();
    return;
  }
  // The split: a point that starts a run of its own in the whole reduction, because it and
  // the point before it can be shown, lie on screen and fall in different columns. Then the
  // halves' reductions joined are the whole reduction.
  auto column = [&](std::size_t i, double& px) {
    px = keyMap(xs[i]);
    const double py = valueMap(ys[i]);
    return std::isfinite(px) && std::isfinite(py) && px >= window.leftPx && px < window.rightPx;
  };
  std::size_t split = 0;
  const std::size_t middle = begin + (end - begin) / 2;
  for (std::size_t i = middle; i < end && i < middle + 4096; ++i) {
    double before = 0, at = 0;
    if (column(i - 1, before) && column(i, at) && std::floor(before) != std::floor(at)) {
      split = i;
      break;
    }
  }
  if (split == 0) {
    serial();
    return;
  }
  const PixelPoint last{keyMap(xs[split - 1]), valueMap(ys[split - 1])};
  const PixelPoint next{keyMap(xs[split]), valueMap(ys[split])};
  // Whether the whole clip, arriving at the second half, has already drawn its first point.
  std::vector<PixelPoint> junction;
  const PixelPoint pair[] = {last, next};
  clipPolyline(pair, clip, junction);
  // (A segment that reaches its end inside the rectangle ends exactly at that point.)
  const bool continued = !junction.empty() && junction.back() == next;
  std::thread helper;
  try {
    helper = std::thread([&] {
      scratch.secondReduced.clear();
      reducePolyline(xs, ys, split, end, keyMap, valueMap, window, scratch.secondReduced, blocks);
      clipPolyline(scratch.secondReduced, clip, scratch.secondClipped, continued);
    });
  } catch (const std::system_error&) {
    serial();
    return;
  }
  reducePolyline(xs, ys, begin, split, keyMap, valueMap, window, scratch.reduced, blocks);
  scratch.reduced.push_back(next);  // the segment into the second half belongs to this one
  clipPolyline(scratch.reduced, clip, out);
  helper.join();
  const std::vector<PixelPoint>& second = scratch.secondClipped;
  if (!continued && !out.empty() && !second.empty()) {
    out.push_back(kLineBreak);  // where the whole clip had lifted the pen
  }
  out.insert(out.end(), second.begin(), second.end());
}

}  // namespace tarvik::view
