#pragma once
// What the spectrum's inverse step leaves in the inverse-transform dialog for a later
// standalone inverse transform. The window's dialog and the batch runner's copy of its
// fields both take the preset through this one function.
#include "spectral/SpectralOptions.h"

namespace tarvik::spectral {

// The time range, the point count and the output time unit follow the preset; whether
// the spectrum graphs are deleted afterwards stays as the user set it.
inline void applyInversePreset(InverseSpectrumOptions& fields,
                               const InverseSpectrumOptions& preset) {
  fields.tMin = preset.tMin;
  fields.tMax = preset.tMax;
  fields.nPoint = preset.nPoint;
  fields.timeUnit = preset.timeUnit;
}

}  // namespace tarvik::spectral
