#include "transforms/PointTable.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "core/NumberFormat.h"

namespace tarvik::transforms {

std::optional<std::size_t> pointTableGraph(CommandContext& ctx) {
  const int active = ctx.store.activeIndex();
  if (active < 0) {
    ctx.ui.message(MessageKind::Error, kNoActiveGraph);
    return std::nullopt;
  }
  return pointTableGraph(ctx, static_cast<std::size_t>(active));
}

std::optional<std::size_t> pointTableGraph(CommandContext& ctx, std::size_t index) {
  if (index >= ctx.store.count()) {
    ctx.ui.message(MessageKind::Error, kNoActiveGraph);
    return std::nullopt;
  }
  if (ctx.store.graph(index).size() > kPointTableMaxPoints) {
    ctx.ui.message(MessageKind::Error, kPointTableTooLong);
    return std::nullopt;
  }
  return index;
}

std::string pointTableCell(double value, char decimalSeparator) {
  return formatGeneral(value, kPointTableDigits, decimalSeparator);
}

std::optional<double> parsePointTableCell(std::string_view text, char decimalSeparator) {
  if (const std::optional<double> typed = parseTypedNumber(text, decimalSeparator)) {
    return typed;
  }
  const std::string_view word = trimBlanks(text);
  if (word == "INF") {
    return std::numeric_limits<double>::infinity();
  }
  if (word == "-INF") {
    return -std::numeric_limits<double>::infinity();
  }
  if (word == "NAN") {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return std::nullopt;
}

std::string notANumberText(std::string_view cellText) {
  return "'" + std::string(cellText) + "' is not a valid floating point value";
}

ConvertedRows convertPointRows(std::span<const PointTableRow> rows, char decimalSeparator) {
  ConvertedRows result;
  result.points.xs.reserve(rows.size());
  result.points.ys.reserve(rows.size());
  for (std::size_t row = 0; row < rows.size(); ++row) {
    const std::string* cells[2] = {&rows[row].x, &rows[row].y};
    double values[2] = {0, 0};
    for (int column = 0; column < 2; ++column) {
      const std::string& text = *cells[column];
      const std::optional<double> value = parsePointTableCell(text, decimalSeparator);
      if (!value) {
        result.points = {};
        result.error = CellError{row, column, notANumberText(text)};
        return result;
      }
      values[column] = *value;
    }
    result.points.xs.push_back(values[0]);
    result.points.ys.push_back(values[1]);
  }
  return result;
}

TextRows splitTableText(std::string_view text) {
  TextRows result;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
      const std::size_t start = line.find_first_not_of(" \t\r", pos);
      if (start == std::string_view::npos) {
        break;
      }
      const std::size_t stop = std::min(line.find_first_of(" \t\r", start), line.size());
      fields.push_back(line.substr(start, stop - start));
      pos = stop;
    }
    if (fields.empty()) {
      continue;
    }
    if (fields.size() != 2) {
      result.error = ReadError{lineNumber,
                               "Строка " + std::to_string(lineNumber) + ": нужны два числа, X и Y"};
      return result;
    }
    result.rows.push_back({std::string(fields[0]), std::string(fields[1])});
    result.lines.push_back(lineNumber);
  }
  return result;
}

void rebuildGraph(Graph& graph, const PointArrays& rows) {
  const std::vector<double>& xs = rows.xs;
  const std::vector<double>& ys = rows.ys;
  if (xs.size() != ys.size()) {
    throw std::invalid_argument("rebuildGraph: X and Y of different lengths");
  }
  const bool anyNanX = std::any_of(xs.begin(), xs.end(), [](double x) { return std::isnan(x); });
  if (anyNanX) {
    // A NaN X compares with nothing, so Add point's placement is not an ordering; only
    // adding the points one by one gives its result.
    graph.clearPoints();
    graph.reserve(xs.size());
    for (std::size_t i = 0; i < xs.size(); ++i) {
      graph.addPoint(xs[i], ys[i]);
    }
    return;
  }
  // Adding each point after the last one whose X is not greater is a stable sort by X;
  // sorting the row order costs O(n log n) instead of a shift per out-of-order row.
  std::vector<std::size_t> order(xs.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&xs](std::size_t a, std::size_t b) { return xs[a] < xs[b]; });
  std::vector<double> sortedX(xs.size());
  std::vector<double> sortedY(xs.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    sortedX[i] = xs[order[i]];
    sortedY[i] = ys[order[i]];
  }
  graph.setPoints(std::move(sortedX), std::move(sortedY));
}

std::optional<CellError> applyPointTable(CommandContext& ctx, std::size_t graphIndex,
                                         std::span<const PointTableRow> rows) {
  if (graphIndex >= ctx.store.count()) {
    throw std::invalid_argument("applyPointTable: no graph " + std::to_string(graphIndex));
  }
  const ConvertedRows converted = convertPointRows(rows, ctx.ui.decimalSeparator());
  if (converted.error) {
    ctx.ui.message(MessageKind::Error, converted.error->message);
    return converted.error;
  }
  rebuildGraph(ctx.store.graph(graphIndex), converted.points);
  refreshAfterInPlaceChange(ctx);
  return std::nullopt;
}

std::string pointsAsTabText(const Graph& graph, char decimalSeparator) {
  std::string text = "X\tY\n";
  for (std::size_t i = 0; i < graph.size(); ++i) {
    text += formatGeneral(graph.x(i), 15, decimalSeparator);
    text += '\t';
    text += formatGeneral(graph.y(i), 15, decimalSeparator);
    text += '\n';
  }
  return text;
}

}  // namespace tarvik::transforms
