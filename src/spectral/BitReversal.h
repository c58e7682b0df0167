#pragma once
// The bit-reversed order a decimation-in-frequency FFT leaves its output in, and the
// cache-friendly gather that puts it back in natural order.
#include <cstddef>

namespace tarvik::spectral {

// Position of output k in the bit-reversed order of a transform of 2^bits points.
std::size_t reversedIndex(std::size_t k, int bits);

// out[k] = z[reversedIndex(k)] for k < count (count = n or n/2), n = 2^bits.
void gatherBitReversed(const float* z, std::size_t n, float* out, std::size_t count);

}  // namespace tarvik::spectral
