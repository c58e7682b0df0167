#pragma once
// The point table: a graph's points as editable X/Y text cells, and the rebuild of the
// graph from the cells once the user is done. Also the tab-separated copy of a graph's
// points that a spreadsheet pastes as two columns.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Command.h"
#include "core/Graph.h"
#include "core/OutputLimits.h"
#include "io/ReadResult.h"

namespace tarvik::transforms {

// More points than this are not shown in the table.
inline constexpr std::size_t kPointTableMaxPoints = 10000;
inline constexpr const char* kPointTableTooLong =
    "Больше 10000 точек нецелесобразно показывать - очень долго!!";
// Significant digits of a table cell.
inline constexpr int kPointTableDigits = 10;

// The graph the table is filled from: the active graph. Shows "Не выбран активный график"
// when none is active, or the too-long message for a graph of more than 10000 points, and
// then answers nullopt.
std::optional<std::size_t> pointTableGraph(CommandContext& ctx);
// The same check for graph `index` (an index beyond the store counts as no active graph).
std::optional<std::size_t> pointTableGraph(CommandContext& ctx, std::size_t index);

// The text of one cell: general format with 10 significant digits ("1.234567891", "1E-5",
// "INF") and `decimalSeparator` as the point.
std::string pointTableCell(double value, char decimalSeparator);

// The number a cell holds: "." or the locale's separator as the point, surrounding blanks
// ignored; "INF", "-INF" and "NAN", which the table itself writes for such values, read back
// as what they stand for. nullopt when the text is not a number (an empty cell included).
std::optional<double> parsePointTableCell(std::string_view text, char decimalSeparator);

// The user-visible message of a cell that is not a number.
std::string notANumberText(std::string_view cellText);

struct PointTableRow {
  std::string x;
  std::string y;
};

// Where a table first failed to convert: 0-based row, column (0 for X, 1 for Y) and the
// message.
struct CellError {
  std::size_t row = 0;
  int column = 0;
  std::string message;
};

// Every row converted, or the first cell that did not convert. Nothing is partly applied.
struct ConvertedRows {
  PointArrays points;
  std::optional<CellError> error;
};
ConvertedRows convertPointRows(std::span<const PointTableRow> rows, char decimalSeparator);

// The rows of a table given as text: one row per line (LF or CR LF), X and Y separated by
// blanks or tabs; blank lines are skipped. `lines` holds each row's 1-based line number.
// A line with other than two fields stops the split with an error naming its line.
struct TextRows {
  std::vector<PointTableRow> rows;
  std::vector<std::size_t> lines;
  std::optional<ReadError> error;
};
TextRows splitTableText(std::string_view text);

// The points of a table given as text (rows as splitTableText finds them), converted with
// `decimalSeparator` without keeping the cells' texts. The rows are counted before any array
// is made: a table of more than `maxRows` rows gives `tooManyRows` and no points. A line of
// other than two fields comes before the count; the first cell that does not convert (X
// before Y) is named by its line, column and text, a view into `text`. `release` (may be
// empty) is told of the bytes each pass has left behind, so a mapped file's pages can go.
struct TextCellError {
  std::size_t line = 0;
  int column = 0;
  std::string_view cell;
};
struct TextPoints {
  PointArrays points;
  std::optional<ReadError> lineError;
  bool tooManyRows = false;
  std::optional<TextCellError> cellError;
};
TextPoints readTableText(std::string_view text, char decimalSeparator,
                         std::size_t maxRows = kMaxGraphPoints, const ReleaseBytes& release = {});

// Replaces the points of `graph` by (xs[i], ys[i]) added in row order with Add point, so
// the graph ends ordered by X and rows of equal X keep their row order. Title and
// appearance stay. The arrays must be of equal length. The points are ordered in
// O(n log n) before the graph changes, so a shortage of memory leaves it as it was.
void rebuildGraph(Graph& graph, const PointArrays& rows);
void rebuildGraph(Graph& graph, PointArrays&& rows);

// OK of the table: converts every row first; when a cell does not convert, shows its
// message as an error and returns it, leaving the graph untouched; more rows than one graph
// may hold are such an error too (kTooManyPoints, at the first row beyond). Otherwise
// rebuilds graph
// `graphIndex` (an index beyond the store throws std::invalid_argument), refreshes the view
// and returns nullopt.
std::optional<CellError> applyPointTable(CommandContext& ctx, std::size_t graphIndex,
                                         std::span<const PointTableRow> rows);

// The points as text for the clipboard: the header line "X<TAB>Y", then one line per point,
// X and Y in 15 significant digits with `decimalSeparator`, every line ended by "\n".
std::string pointsAsTabText(const Graph& graph, char decimalSeparator);

}  // namespace tarvik::transforms
