#include "core/ChartAppearance.h"

#include <cstdio>

namespace tarvik {

ChartTextFields readChartTexts(const GraphStore& store) {
  ChartTextFields t;
  t.titleLines = store.titleLines;
  t.footLines = store.footLines;
  t.leftAxis = store.yAxisTitle;
  t.bottomAxis = store.bottomAxisTitle;
  t.topAxis = store.topAxisTitle;
  t.rightAxis = store.rightAxisTitle;
  t.leftAngle = store.leftTitleAngle;
  t.rightAngle = store.rightTitleAngle;
  t.topAngle = store.topTitleAngle;
  t.bottomAngle = store.bottomTitleAngle;
  return t;
}

void applyChartTexts(GraphStore& store, const ChartTextFields& texts) {
  store.yAxisTitle = texts.leftAxis;
  store.bottomAxisTitle = texts.bottomAxis;
  store.topAxisTitle = texts.topAxis;
  store.rightAxisTitle = texts.rightAxis;
  store.titleLines = texts.titleLines;
  store.footLines = texts.footLines;
  store.leftTitleAngle = texts.leftAngle;
  store.rightTitleAngle = texts.rightAngle;
  store.topTitleAngle = texts.topAngle;
  store.bottomTitleAngle = texts.bottomAngle;
}

std::vector<std::string> splitLines(std::string_view text, char separator) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
    if (separator == '\n' && !line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    lines.emplace_back(line);
    if (end == std::string_view::npos) {
      return lines;
    }
    start = end + 1;
  }
}

std::vector<std::string> textLines(std::string_view text, char separator) {
  if (text.empty()) {
    return {};
  }
  std::vector<std::string> lines = splitLines(text, separator);
  if (text.back() == separator) {
    lines.pop_back();
  }
  return lines;
}

std::string joinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  return text;
}

bool legendTitlesAvailable(const GraphStore& store) {
  const int active = store.activeIndex();
  return active >= 0 && static_cast<std::size_t>(active) < store.count() && store.hasCandidates();
}

std::vector<std::string> legendTitleLines(const GraphStore& store) {
  std::vector<std::string> lines;
  for (const std::size_t i : store.candidates()) {
    lines.push_back(store.graph(i).title);
  }
  return lines;
}

void applyLegendTitles(GraphStore& store, const std::vector<std::string>& lines) {
  const std::vector<std::size_t> candidates = store.candidates();
  for (std::size_t k = 0; k < candidates.size(); ++k) {
    store.graph(candidates[k]).title = k < lines.size() ? lines[k] : std::string();
  }
}

bool lineStyleSelectable(int width) { return width == 1; }

int lineStyleIndex(LineStyle style) { return static_cast<int>(style); }

std::optional<LineStyle> lineStyleAt(int index) {
  if (index < 0 || index > static_cast<int>(LineStyle::DashDotDot)) {
    return std::nullopt;
  }
  return static_cast<LineStyle>(index);
}

std::optional<LineStyle> lineStyleFromName(std::string_view name) {
  constexpr std::array<std::string_view, 5> kNames = {"solid", "dash", "dot", "dash-dot",
                                                      "dash-dot-dot"};
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (name == kNames[i]) {
      return lineStyleAt(static_cast<int>(i));
    }
  }
  return std::nullopt;
}

LineChangeResult applyLineChange(Graph& graph, const LineChange& change) {
  if (change.width && (*change.width < kMinLineWidth || *change.width > kMaxLineWidth)) {
    return LineChangeResult::WidthOutOfRange;
  }
  const int width = change.width.value_or(graph.lineWidth);
  if (change.style && !lineStyleSelectable(width)) {
    return LineChangeResult::StyleNotSelectable;
  }
  graph.lineWidth = width;
  if (change.style) {
    graph.lineStyle = *change.style;
  }
  if (change.colour) {
    graph.colour = *change.colour;
  }
  return LineChangeResult::Applied;
}

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

}  // namespace

std::optional<Rgb> parseRgb(std::string_view text) {
  if (text.size() != 7 || text[0] != '#') {
    return std::nullopt;
  }
  std::array<std::uint8_t, 3> parts{};
  for (std::size_t k = 0; k < 3; ++k) {
    const int high = hexDigit(text[1 + 2 * k]);
    const int low = hexDigit(text[2 + 2 * k]);
    if (high < 0 || low < 0) {
      return std::nullopt;
    }
    parts[k] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return Rgb{parts[0], parts[1], parts[2]};
}

std::string formatRgb(Rgb colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", colour.r, colour.g, colour.b);
  return text;
}

void applyBackground(GraphStore& store, Rgb colour) {
  store.background = colour;
  legendColourFollowsBackground(store);
}

void legendColourFollowsBackground(GraphStore& store) { store.legendColour = store.background; }

void backgroundCommand(CommandContext& ctx) {
  if (const std::optional<Rgb> colour = ctx.ui.askColour()) {
    ctx.store.background = *colour;
  }
  legendColourFollowsBackground(ctx.store);
  ctx.store.chart().redraw();
}

void chartTextsCommand(CommandContext& ctx) {
  ChartTextsOptions options;
  options.texts = readChartTexts(ctx.store);
  if (!ctx.ui.editOptions(options)) {
    return;
  }
  applyChartTexts(ctx.store, options.texts);
  ctx.store.chart().legendRelayout();
}

void legendTitlesCommand(CommandContext& ctx) {
  if (!legendTitlesAvailable(ctx.store)) {
    return;
  }
  LegendTitlesOptions options;
  options.lines = legendTitleLines(ctx.store);
  if (!ctx.ui.editOptions(options)) {
    return;
  }
  applyLegendTitles(ctx.store, options.lines);
  ctx.store.chart().legendRelayout();
}

}  // namespace tarvik
