// Batch command of the point table: table.
#include <optional>
#include <string>
#include <utility>

#include "batch/BatchSession.h"
#include "core/Error.h"
#include "core/OutputLimits.h"
#include "core/TextCodec.h"
#include "io/FileBytes.h"
#include "transforms/PointTable.h"

namespace tarvik::batch {
namespace {

// table graph=N file=PATH: the file's rows replace the graph's points as the table's OK
// does. The rows are counted first (more than a graph may hold are refused), then every
// row is converted before the graph is touched.
void runTable(BatchSession& s, const BatchArgs& a) {
  const auto file = a.get("file");
  if (!file || file->empty()) {
    throw UsageError("table: the argument file= is required");
  }
  const auto graph = a.get("graph");
  if (!graph) {
    throw UsageError("table: the argument graph= is required");
  }
  const std::vector<int> chosen = s.parseGraphList(*graph);
  if (chosen.size() != 1) {
    throw UsageError("table: graph= takes one graph number");
  }
  CommandContext ctx = s.context();
  const std::optional<std::size_t> index =
      transforms::pointTableGraph(ctx, static_cast<std::size_t>(chosen.front()));
  if (!index) {
    return;
  }
  std::optional<FileBytes> bytes = FileBytes::open(*file);
  if (!bytes) {
    throw IoError("Невозможно открыть файл:" + *file);
  }
  // The file's pages leave memory behind each of the two passes (the second starts at the
  // front again); the cell a message quotes is read back from the page cache.
  std::size_t passedUntil = 0;
  transforms::TextPoints table = transforms::readTableText(
      bytes->bytes(), ctx.ui.decimalSeparator(), kMaxGraphPoints,
      [&bytes, &passedUntil](std::size_t end) {
        if (end < passedUntil) {
          bytes->restartRelease();
        }
        passedUntil = end;
        bytes->releaseBefore(end);
      });
  if (bytes->shrankWhileRead()) {
    throw IoError("Невозможно открыть файл:" + *file);
  }
  if (table.lineError) {
    throw Error(table.lineError->message);
  }
  if (table.tooManyRows) {
    throw Error(kTooManyPoints);
  }
  if (const std::optional<transforms::TextCellError>& cell = table.cellError) {
    // The cell comes from a file, which may hold one token of any length: the message quotes
    // its start only.
    throw ConvertError("Строка " + std::to_string(cell->line) + ": " +
                       transforms::notANumberText(quotedFileText(cell->cell, TextEncoding::Utf8)));
  }
  transforms::rebuildGraph(ctx.store.graph(*index), std::move(table.points));
  refreshAfterInPlaceChange(ctx);
}

}  // namespace

void registerTableCommands(BatchRegistry& registry) {
  registry.add({"table", "table graph=N file=PATH", {"graph", "file"}, runTable});
}

}  // namespace tarvik::batch
