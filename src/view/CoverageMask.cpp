#include "view/CoverageMask.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tarvik::view {
namespace {

constexpr int kTileShift = 3;   // 8 × 8 pixels per tile
constexpr int kBlockShift = 6;  // 64 × 64 pixels (8 × 8 tiles) per block

// Bits of a tile that lie inside the mask: all 64 except in the last tile row and column.
std::uint64_t insideBits(int validColumns, int validRows) {
  if (validColumns >= 8 && validRows >= 8) {
    return ~std::uint64_t{0};
  }
  validColumns = std::min(validColumns, 8);  // a tile of the last row is still 8 wide
  validRows = std::min(validRows, 8);
  const std::uint64_t row = (std::uint64_t{1} << validColumns) - 1;
  std::uint64_t bits = 0;
  for (int r = 0; r < validRows; ++r) {
    bits |= row << (8 * r);
  }
  return bits;
}

// A pixel index from a coordinate, kept within [-1, size] so that it fits an int whatever
// the coordinate was. (Rounding down by truncation: std::floor is a library call on the
// baseline x86-64 instruction set, and this runs for every step of every segment.)
inline int pixelIndex(double coordinate, int size) {
  const double c = std::clamp(coordinate, -1.0, static_cast<double>(size));
  const int truncated = static_cast<int>(c);
  return truncated - (c < truncated ? 1 : 0);
}

// The longest run of indices in [0, n) for which `full` holds, as (first, last); (1, 0) when
// there is none.
template <typename Full>
std::pair<int, int> longestRun(int n, const Full& full) {
  std::pair<int, int> best{1, 0};
  int start = -1;
  for (int i = 0; i <= n; ++i) {
    if (i < n && full(i)) {
      start = start < 0 ? i : start;
    } else if (start >= 0) {
      if (i - 1 - start > best.second - best.first) {
        best = {start, i - 1};
      }
      start = -1;
    }
  }
  return best;
}

// Segments between two readings of the spans: a first reading after a few thousand, then
// ever fewer as the mask settles, and never so often that reading a large mask dominates.
std::size_t spanPeriod(std::size_t segments, int width, int height) {
  const std::size_t area = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  return std::max({std::size_t{4096}, area / 64, segments / 8});
}

}  // namespace

CoverageMask::CoverageMask(int width, int height)
    : m_width(std::max(width, 0)),
      m_height(std::max(height, 0)),
      m_tilesX((m_width + 7) >> kTileShift),
      m_tilesY((m_height + 7) >> kTileShift),
      m_blocksX((m_width + 63) >> kBlockShift),
      m_blocksY((m_height + 63) >> kBlockShift),
      m_tiles(static_cast<std::size_t>(m_tilesX) * static_cast<std::size_t>(m_tilesY), 0),
      m_fullTiles(static_cast<std::size_t>(m_blocksX) * static_cast<std::size_t>(m_blocksY), 0),
      m_blockTiles(m_fullTiles.size(), 0),
      m_tileColumnSpans(static_cast<std::size_t>(m_tilesX)),
      m_blockColumnSpans(static_cast<std::size_t>(m_blocksX)),
      m_tileRowSpans(static_cast<std::size_t>(m_tilesY)),
      m_blockRowSpans(static_cast<std::size_t>(m_blocksY)),
      m_nextRefresh(spanPeriod(0, m_width, m_height)) {
  for (int ty = 0; ty < m_tilesY; ++ty) {
    for (int tx = 0; tx < m_tilesX; ++tx) {
      ++m_blockTiles[blockOfTile(tx, ty)];
    }
  }
}

std::size_t CoverageMask::tileAt(int tx, int ty) const {
  return static_cast<std::size_t>(ty) * static_cast<std::size_t>(m_tilesX) +
         static_cast<std::size_t>(tx);
}

std::size_t CoverageMask::blockOfTile(int tx, int ty) const {
  return static_cast<std::size_t>(ty >> 3) * static_cast<std::size_t>(m_blocksX) +
         static_cast<std::size_t>(tx >> 3);
}

bool CoverageMask::tileFull(int tx, int ty) const {
  return m_tiles[tileAt(tx, ty)] == insideBits(m_width - tx * 8, m_height - ty * 8);
}

void CoverageMask::refreshSpans() {
  auto store = [](Span& span, std::pair<int, int> run) { span = Span{run.first, run.second}; };
  // Pixel row y is covered across tile column tx when its byte holds every column inside.
  auto rowCovered = [&](int tx, int y) {
    const int columns = std::min(8, m_width - tx * 8);
    const std::uint64_t inside = (std::uint64_t{1} << columns) - 1;
    return ((m_tiles[tileAt(tx, y >> kTileShift)] >> ((y & 7) * 8)) & 0xFF) == inside;
  };
  for (int tx = 0; tx < m_tilesX; ++tx) {
    store(m_tileColumnSpans[static_cast<std::size_t>(tx)],
          longestRun(m_height, [&](int y) { return rowCovered(tx, y); }));
  }
  for (int bx = 0; bx < m_blocksX; ++bx) {
    const int end = std::min(m_tilesX, (bx + 1) * 8);
    store(m_blockColumnSpans[static_cast<std::size_t>(bx)], longestRun(m_height, [&](int y) {
            for (int tx = bx * 8; tx < end; ++tx) {
              if (!rowCovered(tx, y)) {
                return false;
              }
            }
            return true;
          }));
  }
  // Pixel column x is covered across tile row ty when its bit is set in every row inside.
  auto columnCovered = [&](int ty, int x) {
    const int rows = std::min(8, m_height - ty * 8);
    std::uint64_t inside = std::uint64_t{0x0101010101010101} << (x & 7);
    if (rows < 8) {
      inside &= (std::uint64_t{1} << (8 * rows)) - 1;
    }
    return (m_tiles[tileAt(x >> kTileShift, ty)] & inside) == inside;
  };
  for (int ty = 0; ty < m_tilesY; ++ty) {
    store(m_tileRowSpans[static_cast<std::size_t>(ty)],
          longestRun(m_width, [&](int x) { return columnCovered(ty, x); }));
  }
  for (int by = 0; by < m_blocksY; ++by) {
    const int end = std::min(m_tilesY, (by + 1) * 8);
    store(m_blockRowSpans[static_cast<std::size_t>(by)], longestRun(m_width, [&](int x) {
            for (int ty = by * 8; ty < end; ++ty) {
              if (!columnCovered(ty, x)) {
                return false;
              }
            }
            return true;
          }));
  }
}

inline const CoverageMask::Span& CoverageMask::spanOf(int major, bool steep, int shift) const {
  const auto group = static_cast<std::size_t>(major >> shift);
  if (steep) {
    return shift == kBlockShift ? m_blockRowSpans[group] : m_tileRowSpans[group];
  }
  return shift == kBlockShift ? m_blockColumnSpans[group] : m_tileColumnSpans[group];
}

template <typename MinorAt>
void CoverageMask::setStep(int from, int to, const MinorAt& minorAt, int minorSize, bool steep) {
  // The pixels of one step (at most 8 pixel lines with a slope of at most 1) lie in one
  // tile of the major axis and at most two of the minor axis. Their bits are ORed in
  // without a test per pixel; the tiles that the step filled are counted afterwards.
  int lo = minorAt(from), hi = minorAt(to);
  if (lo > hi) {
    std::swap(lo, hi);
  }
  lo = std::max(lo, 0) >> kTileShift;
  hi = std::min(hi, minorSize - 1) >> kTileShift;
  const int majorTile = from >> kTileShift;
  auto tileIndex = [&](int minorTile) {
    return steep ? tileAt(minorTile, majorTile) : tileAt(majorTile, minorTile);
  };
  std::uint64_t before[2] = {0, 0};
  for (int cell = lo; cell <= hi && cell - lo < 2; ++cell) {
    before[cell - lo] = m_tiles[tileIndex(cell)];
  }
  for (int k = from; k <= to; ++k) {
    const int m = minorAt(k);
    if (m >= 0 && m < minorSize) {
      const int x = steep ? m : k, y = steep ? k : m;
      m_tiles[tileAt(x >> kTileShift, y >> kTileShift)] |= std::uint64_t{1}
                                                           << ((y & 7) * 8 + (x & 7));
    }
  }
  for (int cell = lo; cell <= hi && cell - lo < 2; ++cell) {
    const int tx = steep ? cell : majorTile, ty = steep ? majorTile : cell;
    if (m_tiles[tileIndex(cell)] != before[cell - lo] && tileFull(tx, ty)) {
      ++m_fullTiles[blockOfTile(tx, ty)];
    }
  }
}

inline bool CoverageMask::fullAt(int major, int minor, bool steep, int shift) const {
  const int x = steep ? minor : major;
  const int y = steep ? major : minor;
  const int tx = x >> kTileShift, ty = y >> kTileShift;
  if (shift == kBlockShift) {
    const std::size_t b = blockOfTile(tx, ty);
    return m_fullTiles[b] == m_blockTiles[b];
  }
  return tileFull(tx, ty);
}

void CoverageMask::walk(double a0, double b0, double a1, double b1, bool steep) {
  if (a1 < a0) {
    std::swap(a0, a1);
    std::swap(b0, b1);
  }
  const int majorSize = steep ? m_height : m_width;
  const int minorSize = steep ? m_width : m_height;
  const int first = std::max(pixelIndex(a0, majorSize), 0);
  const int last = std::min(pixelIndex(a1, majorSize), majorSize - 1);
  if (first > last) {
    return;
  }
  const double slope = a1 > a0 ? (b1 - b0) / (a1 - a0) : 0.0;
  // Minor pixel index of the pixel line `c`, taken at the line's centre.
  auto minorAt = [&](int c) {
    double a = c + 0.5;
    a = a < a0 ? a0 : a > a1 ? a1 : a;
    return pixelIndex(b0 + (a - a0) * slope, minorSize);
  };
  // Whether every pixel of the lines [from, to] lies in full cells of size 2^shift. The
  // minor index is monotonic along the segment, and a slope of at most 1 keeps a step of
  // one cell within two cells of the minor axis.
  auto stepIsFull = [&](int from, int to, int shift) {
    int lo = minorAt(from), hi = minorAt(to);
    if (lo > hi) {
      std::swap(lo, hi);
    }
    if (hi < 0 || lo >= minorSize) {
      return true;  // outside the mask: nothing to set
    }
    lo = std::max(lo, 0);
    hi = std::min(hi, minorSize - 1);
    // Within the run covered across the whole group: nothing to set.
    const Span& span = spanOf(from, steep, shift);
    if (span.lo <= lo && hi <= span.hi) {
      return true;
    }
    for (int cell = lo >> shift; cell <= hi >> shift; ++cell) {
      if (!fullAt(from, cell << shift, steep, shift)) {
        return false;
      }
    }
    return true;
  };
  for (int c = first; c <= last;) {
    const int blockEnd = std::min(last, c | 63);
    if (!stepIsFull(c, blockEnd, kBlockShift)) {
      for (int t = c; t <= blockEnd;) {
        const int tileEnd = std::min(blockEnd, t | 7);
        if (!stepIsFull(t, tileEnd, kTileShift)) {
          setStep(t, tileEnd, minorAt, minorSize, steep);
        }
        t = tileEnd + 1;
      }
    }
    c = blockEnd + 1;
  }
}

void CoverageMask::addSegment(double x0, double y0, double x1, double y1) {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1) ||
      m_width == 0 || m_height == 0) {
    return;
  }
  if (++m_segments >= m_nextRefresh) {
    refreshSpans();
    m_nextRefresh = m_segments + spanPeriod(m_segments, m_width, m_height);
  }
  if (std::abs(y1 - y0) > std::abs(x1 - x0)) {
    walk(y0, x0, y1, x1, true);
  } else {
    walk(x0, y0, x1, y1, false);
  }
}

void CoverageMask::addPolyline(std::span<const PixelPoint> line, MaskPlacement p) {
  for (std::size_t i = 1; i < line.size(); ++i) {
    const PixelPoint a = line[i - 1], b = line[i];
    if (!a.isBreak() && !b.isBreak()) {
      addSegment(p.scaleX * a.x + p.offsetX, p.scaleY * a.y + p.offsetY, p.scaleX * b.x + p.offsetX,
                 p.scaleY * b.y + p.offsetY);
    }
  }
}

void CoverageMask::merge(const CoverageMask& other) {
  if (other.m_width != m_width || other.m_height != m_height) {
    return;
  }
  std::fill(m_fullTiles.begin(), m_fullTiles.end(), std::uint16_t{0});
  for (int ty = 0; ty < m_tilesY; ++ty) {
    for (int tx = 0; tx < m_tilesX; ++tx) {
      m_tiles[tileAt(tx, ty)] |= other.m_tiles[tileAt(tx, ty)];
      if (tileFull(tx, ty)) {
        ++m_fullTiles[blockOfTile(tx, ty)];
      }
    }
  }
  refreshSpans();
}

bool CoverageMask::covered(int x, int y) const {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
    return false;
  }
  return (m_tiles[tileAt(x >> kTileShift, y >> kTileShift)] >> ((y & 7) * 8 + (x & 7))) & 1;
}

std::size_t CoverageMask::coveredCount() const {
  std::size_t count = 0;
  for (const std::uint64_t word : m_tiles) {
    count += static_cast<std::size_t>(__builtin_popcountll(word));
  }
  return count;
}

std::vector<std::uint8_t> CoverageMask::widenedRows(int side) const {
  const auto w = static_cast<std::size_t>(m_width);
  std::vector<std::uint8_t> rows(w * static_cast<std::size_t>(m_height), 0);
  for (int y = 0; y < m_height; ++y) {
    for (int x = 0; x < m_width; ++x) {
      rows[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)] = covered(x, y);
    }
  }
  if (side <= 1) {
    return rows;
  }
  const int before = (side - 1) / 2, after = side / 2;
  // A square is a row run widened along the column: widen every row, then every column.
  auto widen = [&](int lines, int length, auto at) {
    std::vector<std::uint8_t> line(static_cast<std::size_t>(length));
    for (int l = 0; l < lines; ++l) {
      for (int p = 0; p < length; ++p) {
        line[static_cast<std::size_t>(p)] = at(l, p);
      }
      for (int p = 0; p < length; ++p) {
        if (line[static_cast<std::size_t>(p)]) {
          const int to = std::min(length - 1, p + after);
          for (int q = std::max(0, p - before); q <= to; ++q) {
            at(l, q) = 1;
          }
        }
      }
    }
  };
  widen(m_height, m_width, [&](int y, int x) -> std::uint8_t& {
    return rows[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)];
  });
  widen(m_width, m_height, [&](int x, int y) -> std::uint8_t& {
    return rows[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)];
  });
  return rows;
}

}  // namespace tarvik::view
