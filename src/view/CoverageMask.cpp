#include "view/CoverageMask.h"

#include <algorithm>
#include <cmath>

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
      m_blockTiles(m_fullTiles.size(), 0) {
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
