#pragma once
// The two ways a graph gets its colour: the new-graph rule (by position, in turn) and the
// chart's automatic colour (the first standard colour no graph wears yet).
#include <cstddef>

#include "core/Graph.h"

namespace tarvik {

class GraphStore;

// The 14 colours new graphs take in turn: black, red, blue, green, orange, aqua, fuchsia,
// teal, brown, lime, maroon, navy, olive, purple.
inline constexpr Rgb kNewGraphPalette[14] = {
    {0, 0, 0},     {255, 0, 0},   {0, 0, 255},   {0, 128, 0},   {255, 128, 0},
    {0, 255, 255}, {255, 0, 255}, {0, 128, 128}, {128, 64, 64}, {0, 255, 0},
    {128, 0, 0},   {0, 0, 128},   {128, 128, 0}, {128, 0, 128}};

// Colour of a graph created when `graphsBefore` graphs already exist.
inline constexpr Rgb newGraphColour(std::size_t graphsBefore) {
  return kNewGraphPalette[graphsBefore % 14];
}

// The sixteen standard colours the chart tries in turn for a graph added without a colour
// of its own: red, green, yellow, blue, white, grey, fuchsia, teal, navy, maroon, lime,
// olive, purple, silver, aqua, black.
inline constexpr Rgb kAutomaticColours[16] = {
    {255, 0, 0},   {0, 128, 0},     {255, 255, 0}, {0, 0, 255}, {255, 255, 255}, {128, 128, 128},
    {255, 0, 255}, {0, 128, 128},   {0, 0, 128},   {128, 0, 0}, {0, 255, 0},     {128, 128, 0},
    {128, 0, 128}, {192, 192, 192}, {0, 255, 255}, {0, 0, 0}};
// The chart's own colour: white, never given to a graph.
inline constexpr Rgb kChartColour{255, 255, 255};

// The automatic colour of a graph added without one: the first of kAutomaticColours that
// no graph of `store` has and that is neither the chart colour nor the background colour
// the user chose for the chart (a graph of that colour would not be seen); red when all
// are taken.
Rgb automaticColour(const GraphStore& store);

}  // namespace tarvik
