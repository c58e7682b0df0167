#pragma once
// The delay of a signal reflected from the ground behind the direct signal, for an emitter
// at height H1 and observation points at heights h = 0, 1, 2, … at horizontal distance L:
// direct path d = √((H1 − h)² + L²); reflected path, with the specular model, from the
// emitter's mirror image below the ground r = √((H1 + h)² + L²), or, with the reflection
// point under the emitter, r = H1 + √(h² + L²). Delay (r − d)/c in ns, c = 3e8 m/s.
#include <cstddef>
#include <optional>

#include "synth/PulseGenerators.h"

namespace tarvik::synth {

enum class ReflectionModel { Specular, UnderEmitter };

inline constexpr double kPropagationSpeed = 3e8;  // m/s

double reflectedDelayNs(double h1, double h, double l, ReflectionModel model);

// Heights h = 0, 1, 2, … while h ≤ H2: floor(H2) + 1 of them, none for a negative H2;
// nullopt when more than `limit` (NaN and +∞ included).
std::optional<std::size_t> observationHeightCount(double h2, std::size_t limit);

// X the height in m, Y the delay in ns, for `heights` heights from 0.
PointColumns reflectedDelayTable(double h1, double l, std::size_t heights, ReflectionModel model);

}  // namespace tarvik::synth
