#include "transforms/PointTable.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "core/NumberFormat.h"
#include "io/PointOrder.h"

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

std::string notANumberText(std::string_view cellText) { return notANumberMessage(cellText); }

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

namespace {

// How far the walk goes before it hands the bytes behind it back.
constexpr std::size_t kReleaseStep = std::size_t{4} << 20;

// Walks the rows of a table text: `onRow(line, x, y)` for each line of two fields, blank
// lines skipped. Stops at the first line of other than two fields and names it. `release`
// (may be empty) is told every few megabytes which bytes the walk has left behind.
template <class OnRow>
std::optional<ReadError> forEachTextRow(std::string_view text, OnRow&& onRow,
                                        const ReleaseBytes& release = {}) {
  const char* const begin = text.data();
  std::size_t released = 0;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    const auto done = static_cast<std::size_t>(text.data() - begin);
    if (release && done - released >= kReleaseStep) {
      release(done);
      released = done;
    }
    ++lineNumber;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    std::string_view fields[2];
    std::size_t fieldCount = 0;
    std::size_t pos = 0;
    while (pos < line.size() && fieldCount <= 2) {
      const std::size_t start = line.find_first_not_of(" \t\r", pos);
      if (start == std::string_view::npos) {
        break;
      }
      const std::size_t stop = std::min(line.find_first_of(" \t\r", start), line.size());
      if (fieldCount < 2) {
        fields[fieldCount] = line.substr(start, stop - start);
      }
      ++fieldCount;
      pos = stop;
    }
    if (fieldCount == 0) {
      continue;
    }
    if (fieldCount != 2) {
      return ReadError{lineNumber,
                       "Строка " + std::to_string(lineNumber) + ": нужны два числа, X и Y"};
    }
    onRow(lineNumber, fields[0], fields[1]);
  }
  return std::nullopt;
}

}  // namespace

TextRows splitTableText(std::string_view text) {
  TextRows result;
  result.error = forEachTextRow(text, [&result](std::size_t line, std::string_view x,
                                                std::string_view y) {
    result.rows.push_back({std::string(x), std::string(y)});
    result.lines.push_back(line);
  });
  return result;
}

TextPoints readTableText(std::string_view text, char decimalSeparator, std::size_t maxRows,
                         const ReleaseBytes& release) {
  TextPoints result;
  // The first pass only counts, so a text of more rows than a graph may hold is refused
  // before memory is spent on it.
  std::size_t rows = 0;
  result.lineError = forEachTextRow(
      text, [&rows](std::size_t, std::string_view, std::string_view) { ++rows; }, release);
  if (result.lineError) {
    return result;
  }
  if (rows > maxRows) {
    result.tooManyRows = true;
    return result;
  }
  PointArrays& points = result.points;
  points.xs.reserve(rows);
  points.ys.reserve(rows);
  forEachTextRow(text, [&](std::size_t line, std::string_view x, std::string_view y) {
    if (result.cellError) {
      return;
    }
    const std::optional<double> xValue = parsePointTableCell(x, decimalSeparator);
    const std::optional<double> yValue =
        xValue ? parsePointTableCell(y, decimalSeparator) : std::nullopt;
    if (!yValue) {
      result.cellError = xValue ? TextCellError{line, 1, y} : TextCellError{line, 0, x};
      return;
    }
    points.xs.push_back(*xValue);
    points.ys.push_back(*yValue);
  }, release);
  if (result.cellError) {
    result.points = {};
  }
  return result;
}

void rebuildGraph(Graph& graph, const PointArrays& rows) {
  rebuildGraph(graph, PointArrays(rows));
}

void rebuildGraph(Graph& graph, PointArrays&& rows) {
  if (rows.xs.size() != rows.ys.size()) {
    throw std::invalid_argument("rebuildGraph: X and Y of different lengths");
  }
  // The rows in the order adding them one by one would give, NaN X included.
  applyPointOrder(rows);
  graph.setPoints(std::move(rows.xs), std::move(rows.ys));
}

std::optional<CellError> applyPointTable(CommandContext& ctx, std::size_t graphIndex,
                                         std::span<const PointTableRow> rows) {
  if (graphIndex >= ctx.store.count()) {
    throw std::invalid_argument("applyPointTable: no graph " + std::to_string(graphIndex));
  }
  if (!fitsInOneGraph(static_cast<double>(rows.size()))) {
    // Named at the first row that does not fit.
    ctx.ui.message(MessageKind::Error, kTooManyPoints);
    return CellError{kMaxGraphPoints, 0, kTooManyPoints};
  }
  ConvertedRows converted = convertPointRows(rows, ctx.ui.decimalSeparator());
  if (converted.error) {
    ctx.ui.message(MessageKind::Error, converted.error->message);
    return converted.error;
  }
  rebuildGraph(ctx.store.graph(graphIndex), std::move(converted.points));
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
