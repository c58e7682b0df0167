// The appearance commands of the batch runner: the chart's texts (titles), the legend
// titles (legends), one graph's line (line), the background colour (background) and the
// legend side (legend-position). They run the same rules as the window's dialogs; the
// texts and titles commands run the very commands, with the script filling the dialog.
#include <optional>
#include <string>

#include "batch/BatchSession.h"
#include "core/ChartAppearance.h"

namespace tarvik::batch {
namespace {

std::string required(const BatchArgs& a, const std::string& name) {
  std::optional<std::string> value = a.get(name);
  if (!value) {
    throw UsageError(a.command + ": the argument " + name + "= is required");
  }
  return *value;
}

// "|" separates the lines of a text argument.
std::optional<std::vector<std::string>> linesArg(const BatchArgs& a, const std::string& name) {
  if (const std::optional<std::string> text = a.get(name)) {
    return textLines(*text, '|');
  }
  return std::nullopt;
}

Rgb colourArg(const BatchArgs& a, const std::string& name) {
  const std::string text = required(a, name);
  const std::optional<Rgb> colour = parseRgb(text);
  if (!colour) {
    throw UsageError(a.command + ": " + name + "=" + text + " is not a colour #RRGGBB");
  }
  return *colour;
}

// The titles dialog opens on the chart's texts; the script changes the fields it names
// and the others keep their values.
void runTitles(BatchSession& s, const BatchArgs& a) {
  const auto title = linesArg(a, "title");
  const auto foot = linesArg(a, "foot");
  const std::optional<std::string> left = a.get("left");
  const std::optional<std::string> bottom = a.get("bottom");
  s.ui.setOptionsSource("TfmEditComments", [=](DialogOptions& d) {
    ChartTextFields& fields = static_cast<ChartTextsOptions&>(d).texts;
    fields.titleLines = title.value_or(fields.titleLines);
    fields.footLines = foot.value_or(fields.footLines);
    fields.leftAxis = left.value_or(fields.leftAxis);
    fields.bottomAxis = bottom.value_or(fields.bottomAxis);
  });
  CommandContext ctx = s.context();
  chartTextsCommand(ctx);
}

// The legend titles memo gets the script's lines; without an active graph nothing happens,
// as in the window.
void runLegends(BatchSession& s, const BatchArgs& a) {
  const std::vector<std::string> lines = textLines(required(a, "text"), '|');
  s.ui.setOptionsSource("TfmLegend", [lines](DialogOptions& d) {
    static_cast<LegendTitlesOptions&>(d).lines = lines;
  });
  CommandContext ctx = s.context();
  legendTitlesCommand(ctx);
}

// One graph's line, as the lines dialog changes it: the width first, then the style (only
// at width 1), then the colour. Nothing changes when any part is refused.
void runLine(BatchSession& s, const BatchArgs& a) {
  const std::vector<int> rows = s.parseGraphList(required(a, "graph"));
  if (rows.size() != 1) {
    throw UsageError("line: graph= takes one graph number");
  }
  LineChange change;
  if (const std::optional<std::string> style = a.get("style")) {
    change.style = lineStyleFromName(*style);
    if (!change.style) {
      throw UsageError("line: style=" + *style +
                       " is not one of solid, dash, dot, dash-dot, dash-dot-dot");
    }
  }
  if (a.has("width")) {
    change.width = integerArg(a, "width");
  }
  if (a.has("color")) {
    change.colour = colourArg(a, "color");
  }
  Graph& graph = s.store.graph(static_cast<std::size_t>(rows.front()));
  switch (applyLineChange(graph, change)) {
    case LineChangeResult::WidthOutOfRange:
      throw UsageError("line: width= takes 1 to 100");
    case LineChangeResult::StyleNotSelectable:
      throw UsageError("line: a style can be chosen only at width 1");
    case LineChangeResult::Applied:
      break;
  }
  s.store.chart().redraw();
}

void runBackground(BatchSession& s, const BatchArgs& a) {
  applyBackground(s.store, colourArg(a, "color"));
  s.store.chart().redraw();
}

void runLegendPosition(BatchSession& s, const BatchArgs& a) {
  const std::string side = required(a, "side");
  if (side != "left" && side != "right") {
    throw UsageError("legend-position: side= takes left or right, not \"" + side + "\"");
  }
  s.store.legendRight = side == "right";
  s.store.chart().legendRelayout();
}

}  // namespace

void registerAppearanceCommands(BatchRegistry& registry) {
  registry.add({"titles",
                "titles [title=TEXT] [foot=TEXT] [left=TEXT] [bottom=TEXT]",
                {"title", "foot", "left", "bottom"},
                runTitles});
  registry.add({"legends", "legends text=TEXT", {"text"}, runLegends});
  registry.add({"line",
                "line graph=N [style=solid|dash|dot|dash-dot|dash-dot-dot] [width=W] "
                "[color=#RRGGBB]",
                {"graph", "style", "width", "color"},
                runLine});
  registry.add({"background", "background color=#RRGGBB", {"color"}, runBackground});
  registry.add({"legend-position", "legend-position side=left|right", {"side"}, runLegendPosition});
}

}  // namespace tarvik::batch
