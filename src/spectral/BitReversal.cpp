#include "spectral/BitReversal.h"

#include <bit>
#include <cstdint>

namespace tarvik::spectral {
namespace {

std::uint64_t reverse64(std::uint64_t v) {
  v = ((v >> 1) & 0x5555555555555555ULL) | ((v & 0x5555555555555555ULL) << 1);
  v = ((v >> 2) & 0x3333333333333333ULL) | ((v & 0x3333333333333333ULL) << 2);
  v = ((v >> 4) & 0x0F0F0F0F0F0F0F0FULL) | ((v & 0x0F0F0F0F0F0F0F0FULL) << 4);
  v = ((v >> 8) & 0x00FF00FF00FF00FFULL) | ((v & 0x00FF00FF00FF00FFULL) << 8);
  v = ((v >> 16) & 0x0000FFFF0000FFFFULL) | ((v & 0x0000FFFF0000FFFFULL) << 16);
  return (v >> 32) | (v << 32);
}

}  // namespace

std::size_t reversedIndex(std::size_t k, int bits) {
  return bits == 0 ? 0 : static_cast<std::size_t>(reverse64(k) >> (64 - bits));
}

// out[k] = z[reverse(k)] for k < count (count = n or n/2), n = 2^bits. Large arrays go tile
// by tile: with k = (a, b, c), a and c of kTileBits bits, reverse(k) = (rc, rb, ra), so a
// 16 × 16 tile reads and writes whole cache lines instead of one element per line.
void gatherBitReversed(const float* z, std::size_t n, float* out, std::size_t count) {
  constexpr int kTileBits = 4;
  constexpr std::size_t kTile = std::size_t{1} << kTileBits;
  const int bits = std::countr_zero(n);
  if (bits < 2 * kTileBits + 1) {
    for (std::size_t k = 0; k < count; ++k) {
      out[k] = z[reversedIndex(k, bits)];
    }
    return;
  }
  const int middle = bits - 2 * kTileBits;
  std::size_t reversedTile[kTile];
  for (std::size_t i = 0; i < kTile; ++i) {
    reversedTile[i] = reversedIndex(i, kTileBits);
  }
  const std::size_t middleCount = std::size_t{1} << middle;
  const int highShift = middle + kTileBits;
  std::size_t column[kTile];  // where element c of a tile row goes, before the row's part
  for (std::size_t c = 0; c < kTile; ++c) {
    column[c] = reversedTile[c] << highShift;
  }
  // With count = n/2 only the even columns land below n/2 (their reversal has no top bit).
  const std::size_t columnStep = count < n ? 2 : 1;
  for (std::size_t b = 0; b < middleCount; ++b) {
    const std::size_t rb = reversedIndex(b, middle) << kTileBits;
    for (std::size_t a = 0; a < kTile; ++a) {
      const float* row = z + ((a << highShift) | (b << kTileBits));
      float* target = out + (rb | reversedTile[a]);
      for (std::size_t c = 0; c < kTile; c += columnStep) {
        target[column[c]] = row[c];
      }
    }
  }
}

}  // namespace tarvik::spectral
