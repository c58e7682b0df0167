#pragma once
// The document of the window as a value: what undo puts back and a session file keeps.
// Its graphs share their point blocks with the store they were taken from, so a state
// costs a copy of titles and appearance, never of points.
#include <cstddef>
#include <string>
#include <vector>

#include "core/Graph.h"

namespace tarvik {

// The chart-wide texts and look kept with the document.
struct DocumentTexts {
  std::string bottomAxisTitle;
  std::string yAxisTitle;  // stored Y-axis title, drawn above the plot
  std::vector<std::string> footLines{std::string()};

  // The chart's look, kept with the document so the window and the batch runner's
  // pictures draw the same chart. None of it is saved with the graphs.
  std::vector<std::string> titleLines;  // title above the plot; empty: no title
  // The top and right axes are hidden, yet their titles are edited and kept.
  std::string topAxisTitle;
  std::string rightAxisTitle;
  // Axis title angles in degrees (left, right, top, bottom), kept as edited.
  int leftTitleAngle = 90;
  int rightTitleAngle = 270;
  int topTitleAngle = 0;
  int bottomTitleAngle = 0;
  Rgb background{255, 255, 255};    // the chart's panel colour
  Rgb legendColour{255, 255, 255};  // fill of the legend box
  bool legendRight = false;         // legend at the plot's upper right, else under the X axis

  friend bool operator==(const DocumentTexts&, const DocumentTexts&) = default;
};

struct DocumentState {
  std::vector<Graph> graphs;
  std::vector<std::string> sourceFiles;  // parallel to graphs
  int active = -1;                       // −1: no active graph
  int unnamedCounter = 1;
  DocumentTexts texts;

  // Equal bit for bit: points (shared blocks compare without reading), every attribute.
  bool sameAs(const DocumentState& other) const;
};

}  // namespace tarvik
