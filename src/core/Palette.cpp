#include "core/Palette.h"

#include "core/GraphStore.h"

namespace tarvik {

Rgb automaticColour(const GraphStore& store) {
  for (const Rgb& candidate : kAutomaticColours) {
    if (candidate == kChartColour || candidate == store.background) {
      continue;
    }
    bool taken = false;
    for (std::size_t i = 0; i < store.count() && !taken; ++i) {
      taken = store.graph(i).colour == candidate;
    }
    if (!taken) {
      return candidate;
    }
  }
  return kAutomaticColours[0];
}

}  // namespace tarvik
