#pragma once
// Which pixels a one-pixel line covers, for lines that the per-column reduction cannot thin.
//
// A graph whose X values come in random order (a phase plot of a noisy signal, say) has no
// runs of neighbours in one pixel column, so its line keeps millions of segments, most of
// them hundreds of pixels long. Qt's raster engine strokes each one pixel by pixel, which
// costs seconds per repaint, although after the first hundred thousand segments every
// further one only paints pixels that are already painted.
//
// This mask records covered pixels in 8 × 8 tiles (one 64-bit word each) and counts the full
// tiles of every 64 × 64 block. A segment is walked along its major axis in steps of a
// block, then of a tile, and a step whose pixels all lie in full blocks or tiles is skipped.
// The pixels set are exactly those of the plain rule below, whatever is skipped, so the
// picture does not depend on the order of the segments; a saturated area costs one check
// per 64 pixels of a segment instead of 64 pixel writes.
//
// Along the edges of a painted band the blocks and tiles are never full (the band ends
// inside them), so a segment that merely runs near the edge would still be walked tile by
// tile. Every few thousand segments the mask therefore also notes, for each tile and block
// column, the longest run of rows covered across the whole column (and for each tile and
// block row, the longest run of covered columns); a step that stays within that run is
// skipped however the blocks around it look. Pixels are never cleared, so a note taken
// earlier stays true.
//
// The pixel rule (aliased, one pixel wide): pixel (i, j) is the square [i, i+1) × [j, j+1).
// Along the major axis (the one in which the segment extends further), every pixel line
// from the one holding the start to the one holding the end gets one pixel: the minor
// coordinate is taken at the line's centre (clamped to the segment's ends) and rounded
// down. Consecutive pixels therefore touch at least diagonally and both ends are covered.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "view/PolylineReduction.h"

namespace tarvik::view {

// Scale, then offset, from a line's coordinates to a mask's pixels.
struct MaskPlacement {
  double scaleX = 1, scaleY = 1, offsetX = 0, offsetY = 0;
};

class CoverageMask {
 public:
  CoverageMask(int width, int height);

  int width() const { return m_width; }
  int height() const { return m_height; }

  // Pixels outside the mask are ignored; a segment with a coordinate that is not finite
  // covers nothing.
  void addSegment(double x0, double y0, double x1, double y1);
  // Every segment between consecutive points, placed; a break point interrupts the line.
  void addPolyline(std::span<const PixelPoint> line, MaskPlacement placement = {});

  // Adds the pixels covered in `other`, a mask of the same size (lines drawn in parts on
  // several threads are joined this way).
  void merge(const CoverageMask& other);

  bool covered(int x, int y) const;
  std::size_t coveredCount() const;

  // Row-major 0/1 bytes of the covered pixels, each widened to a square of `side` pixels
  // (the width of the pen that draws the line: (side − 1) / 2 before it, side / 2 after it,
  // on both axes).
  std::vector<std::uint8_t> widenedRows(int side) const;

 private:
  // Major axis is X when `steep` is false, Y otherwise; (major, minor) → (x, y) accordingly.
  void walk(double a0, double b0, double a1, double b1, bool steep);
  bool fullAt(int major, int minor, bool steep, int shift) const;
  std::size_t tileAt(int tx, int ty) const;       // index of tile (tx, ty)
  std::size_t blockOfTile(int tx, int ty) const;  // index of the block holding it
  // Whether every pixel of the tile that lies inside the mask is covered.
  bool tileFull(int tx, int ty) const;
  // Sets the pixels of the pixel lines [from, to], all within one tile of the major axis.
  template <typename MinorAt>
  void setStep(int from, int to, const MinorAt& minorAt, int minorSize, bool steep);

  // Rows [lo, hi] covered in every column of a group, or columns in every row (empty when
  // lo > hi).
  struct Span {
    int lo = 1, hi = 0;
  };
  // Takes the spans again from the tiles.
  void refreshSpans();
  const Span& spanOf(int major, bool steep, int shift) const;

  int m_width, m_height;
  int m_tilesX, m_tilesY, m_blocksX, m_blocksY;
  std::vector<std::uint64_t> m_tiles;
  std::vector<std::uint16_t> m_fullTiles;   // per block: how many of its tiles are full
  std::vector<std::uint16_t> m_blockTiles;  // per block: how many tiles it has
  // Covered rows per tile column and block column, covered columns per tile row and block
  // row.
  std::vector<Span> m_tileColumnSpans, m_blockColumnSpans, m_tileRowSpans, m_blockRowSpans;
  std::size_t m_segments = 0;     // segments added so far
  std::size_t m_nextRefresh = 0;  // segment count at which the spans are taken again
};

}  // namespace tarvik::view
