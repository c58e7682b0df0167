#pragma once
#include <cstddef>

#include "core/Graph.h"

namespace tarvik {

// The 14 colours new graphs take in turn: black, red, blue, green, orange, aqua, fuchsia,
// teal, brown, lime, maroon, navy, olive, purple.
inline constexpr Rgb kNewGraphPalette[14] = {
    {0, 0, 0},     {255, 0, 0},   {0, 0, 255},   {0, 128, 0},  {255, 128, 0},
    {0, 255, 255}, {255, 0, 255}, {0, 128, 128}, {128, 64, 64}, {0, 255, 0},
    {128, 0, 0},   {0, 0, 128},   {128, 128, 0}, {128, 0, 128}};

// Colour of a graph created when `graphsBefore` graphs already exist.
inline constexpr Rgb newGraphColour(std::size_t graphsBefore) {
  return kNewGraphPalette[graphsBefore % 14];
}

}  // namespace tarvik
