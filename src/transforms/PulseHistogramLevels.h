#pragma once
// State levels by histogram: the median of the modal bin of each half (the tie rules in
// PulseLevels.h), or the mean of each half. The points hold at least one value and
// yMin() < yMax().
#include "transforms/PulseLevels.h"

namespace tarvik {

StateLevels histogramMedianLevels(const PulsePoints& points, int bins);
StateLevels histogramMeanLevels(const PulsePoints& points, int bins);

}  // namespace tarvik
