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

#include "core/Command.h"
#include "core/Graph.h"
#include "core/GraphStore.h"
#include "core/Ui.h"

namespace tarvik {

// The chart's texts whose fonts can be chosen one by one.
enum class ChartTextElement {
  Title,
  Foot,
  LeftTitle,  // the stored Y-axis title drawn above the plot
  LeftLabels,
  BottomTitle,
  BottomLabels,
  Legend,
  TopTitle,  // the top and right axes are hidden; their fonts are kept all the same
  TopLabels,
  RightTitle,
  RightLabels,
};
// The seven texts whose face and size the settings keep, and which "one font for all
// texts" changes: every text but those of the hidden top and right axes.
inline constexpr std::array<ChartTextElement, 7> kSavedFontElements = {
    ChartTextElement::Title,      ChartTextElement::Foot,        ChartTextElement::LeftTitle,
    ChartTextElement::LeftLabels, ChartTextElement::BottomTitle, ChartTextElement::BottomLabels,
    ChartTextElement::Legend};

// Presets of the axis title drop-downs of the titles dialog.
inline constexpr std::array<std::string_view, 8> kLeftAxisPresets = {
    "U, В", "U, кВ", "I, А", "I, кА", "Е, В/м", "Е, кВ/м", "Н, А/м", "Спектральная плотность"};
inline constexpr std::array<std::string_view, 8> kBottomAxisPresets = {
    "t, нс", "t, мкс", "t, мс", "t, с", "f, ГГц", "f, МГц", "f, кГц", "f, Гц"};

// Every text the titles dialog edits.
struct ChartTextFields {
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

ChartTextFields readChartTexts(const GraphStore& store);
// Stores every field of `texts` in the store.
void applyChartTexts(GraphStore& store, const ChartTextFields& texts);

// The fields of the titles dialog `TfmEditComments`.
struct ChartTextsOptions : DialogOptions {
  ChartTextFields texts;
  std::string_view dialogName() const override { return "TfmEditComments"; }
};
// "Заголовки и шрифты..": the dialog opens on the chart's texts; on OK they are stored and
// the legend is laid out again; on cancel the texts stay as they were.
void chartTextsCommand(CommandContext& ctx);

// The memo of the legend titles dialog `TfmLegend`, one title per line.
struct LegendTitlesOptions : DialogOptions {
  std::vector<std::string> lines;
  std::string_view dialogName() const override { return "TfmLegend"; }
};

// Splits `text` at every `separator`: "a|b" gives {"a", "b"}, "" gives {""}, "a|" gives
// {"a", ""}. With '\n' as the separator a "\r" before it is dropped too (CRLF text).
std::vector<std::string> splitLines(std::string_view text, char separator);
// The lines of a multi-line text as a memo holds them: no lines for an empty text, and a
// separator at the very end opens no further line ("a|b|" gives {"a", "b"}, "a||" gives
// {"a", ""}).
std::vector<std::string> textLines(std::string_view text, char separator);
// Each line followed by '\n', as a memo holds them; textLines reads them back unchanged.
std::string joinLines(const std::vector<std::string>& lines);

// The legend titles command is offered only with an active graph and a candidate graph.
bool legendTitlesAvailable(const GraphStore& store);
// One line per candidate graph: its title, in store order.
std::vector<std::string> legendTitleLines(const GraphStore& store);
// Line k becomes the title of the k-th candidate graph; a candidate without a line gets an
// empty title; lines beyond the candidates are ignored.
void applyLegendTitles(GraphStore& store, const std::vector<std::string>& lines);
// "Подписи легенд графиков..": with an active graph and a candidate, the dialog opens on
// the candidates' titles; OK applies its lines and lays the legend out again.
void legendTitlesCommand(CommandContext& ctx);

inline constexpr int kMinLineWidth = 1;
inline constexpr int kMaxLineWidth = 100;
// The line style can be chosen only while the width is 1.
bool lineStyleSelectable(int width);

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
// "Цвет фона...": the colour dialog; OK sets the panel colour; then, in either case, the
// legend colour follows it, and the chart repaints.
void backgroundCommand(CommandContext& ctx);

}  // namespace tarvik
