#pragma once
// How the chart looks, as rules on the graph store: the chart's texts (title, foot, axis
// titles and their angles), the graphs' legend titles, one graph's line (style, width,
// colour) and the background. The window's dialogs and the batch runner both go through
// these functions; none of them repaints, the caller runs the legend re-layout.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Graph.h"
#include "core/GraphStore.h"

namespace tarvik {

// Presets of the axis title drop-downs of the titles dialog.
inline constexpr std::array<std::string_view, 8> kLeftAxisPresets = {
    "U, В", "U, кВ", "I, А", "I, кА", "Е, В/м", "Е, кВ/м", "Н, А/м", "Спектральная плотность"};
inline constexpr std::array<std::string_view, 8> kBottomAxisPresets = {
    "t, нс", "t, мкс", "t, мс", "t, с", "f, ГГц", "f, МГц", "f, кГц", "f, Гц"};

// Every text the titles dialog edits.
struct ChartTexts {
  std::vector<std::string> titleLines;
  std::vector<std::string> footLines;
  std::string leftAxis;  // the stored Y-axis title
  std::string bottomAxis;
  std::string topAxis;
  std::string rightAxis;
  int leftAngle = 90;
  int rightAngle = 270;
  int topAngle = 0;
  int bottomAngle = 0;
};

ChartTexts chartTexts(const GraphStore& store);
// Stores every field of `texts` in the store.
void applyChartTexts(GraphStore& store, const ChartTexts& texts);

// Splits `text` at every `separator`: "a|b" gives {"a", "b"}, "" gives {""}, "a|" gives
// {"a", ""}. With '\n' as the separator a "\r" before it is dropped too (CRLF text).
std::vector<std::string> splitLines(std::string_view text, char separator);

// The legend titles command is offered only with an active graph and a candidate graph.
bool legendTitlesAvailable(const GraphStore& store);
// One line per candidate graph: its title, in store order.
std::vector<std::string> legendTitleLines(const GraphStore& store);
// Line k becomes the title of the k-th candidate graph; a candidate without a line gets an
// empty title; lines beyond the candidates are ignored.
void applyLegendTitles(GraphStore& store, const std::vector<std::string>& lines);

inline constexpr int kMinLineWidth = 1;
inline constexpr int kMaxLineWidth = 100;
// The line style can be chosen only while the width is 1 (a wider line is drawn solid).
bool lineStyleSelectable(int width);
// The style a graph's line is drawn with: its own at width 1, solid when wider.
LineStyle drawnLineStyle(const Graph& graph);

// Radio positions of the lines dialog: solid 0, dash 1, dot 2, dash-dot 3, dash-dot-dot 4.
int lineStyleIndex(LineStyle style);
// nullopt for an index outside 0..4.
std::optional<LineStyle> lineStyleAt(int index);
// Names of the styles in scripts: "solid", "dash", "dot", "dash-dot", "dash-dot-dot".
std::optional<LineStyle> lineStyleFromName(std::string_view name);

// A change of one graph's line; fields left out keep their value.
struct LineChange {
  std::optional<LineStyle> style;
  std::optional<int> width;
  std::optional<Rgb> colour;
};
enum class LineChangeResult {
  Applied,
  WidthOutOfRange,     // width outside 1..100
  StyleNotSelectable,  // a style asked for while the (new) width is above 1
};
// Checks the whole change first and changes nothing when it cannot be made. The width is
// applied before the style, so a change to width 1 with a style is allowed.
LineChangeResult applyLineChange(Graph& graph, const LineChange& change);

// "#RRGGBB" (hex digits of either case); nullopt for anything else.
std::optional<Rgb> parseRgb(std::string_view text);
// "#RRGGBB" with capital hex digits.
std::string formatRgb(Rgb colour);

// The background colour: the chart's panel colour, and the legend colour follows it.
void applyBackground(GraphStore& store, Rgb colour);
// After the colour dialog of the background command, also after a cancel, the legend
// colour becomes the panel colour again.
void legendColourFollowsBackground(GraphStore& store);

}  // namespace tarvik
