#pragma once
// The running median of an odd window with zeros beyond both ends of the record
// (scipy.signal.medfilt): a sorted copy of the window slides along the record, one value
// leaving and one entering per step, instead of a sort per point.
#include <cstddef>
#include <span>
#include <vector>

namespace tarvik::spectral {

inline constexpr std::size_t kMaxFilterWidth = 100001;

// width odd and ≥ 1 (else std::invalid_argument); the values must be finite (NaN has no
// place in a sorted window).
std::vector<double> medianFilter(std::span<const double> y, std::size_t width);

}  // namespace tarvik::spectral
