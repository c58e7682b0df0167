// The window's point table (N35, dialog TfmShowTextGr), the copy of the active graph's
// points to the clipboard (mnCopyData), the export to the sibling program (mnExport) and
// the renaming of source-file entries after the legends (N40).
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QString>
#include <new>
#include <optional>
#include <stdexcept>

#include "app/ChartMy.h"
#include "app/GuiUi.h"
#include "app/WindowActions.h"
#include "core/OutputLimits.h"
#include "dialogs/ChartShowTextGr.h"
#include "dialogs/DialogSizing.h"
#include "io/Export.h"
#include "transforms/PointTable.h"

namespace tarvik::app {
namespace {

void showPointTable(CommandContext& ctx, dialogs::TfmShowTextGr* dialog) {
  const std::optional<std::size_t> index = transforms::pointTableGraph(ctx);
  if (!index) {
    return;
  }
  const Graph& graph = ctx.store.graph(*index);
  dialog->fill(*index, graph.xs(), graph.ys(), ctx.ui.decimalSeparator());
  // OK converts every row before the graph is touched; a bad cell keeps the dialog open.
  dialog->setOkHandler([&ctx, dialog](const std::vector<transforms::PointTableRow>& rows)
                           -> std::optional<transforms::CellError> {
    // The handler runs inside the dialog's event loop, which no exception may cross: a
    // shortage of memory ends the table with its message and the graph as it was.
    try {
      return transforms::applyPointTable(ctx, dialog->graphIndex(), rows);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    ctx.ui.message(MessageKind::Error, kOutOfMemory);
    return std::nullopt;
  });
  dialogs::fitCaptionAndCentre(dialog);
  dialog->exec();
  dialog->setOkHandler({});
  dialog->clearTable();
}

void copyPointsToClipboard(CommandContext& ctx) {
  const int active = ctx.store.activeIndex();
  if (active < 0 || static_cast<std::size_t>(active) >= ctx.store.count()) {
    ctx.ui.message(MessageKind::Error, kNoActiveGraph);
    return;
  }
  const Graph& graph = ctx.store.graph(static_cast<std::size_t>(active));
  QApplication::clipboard()->setText(
      QString::fromStdString(transforms::pointsAsTabText(graph, ctx.ui.decimalSeparator())));
}

void exportToSibling(CommandContext& ctx) {
  io::ExportSetup setup;
  setup.executableFolder = QCoreApplication::applicationDirPath().toStdString();
  setup.exportFolder = io::exportFolder();
  io::DetachedStarter starter;
  io::exportCommand(ctx, setup, starter);
}

}  // namespace

void installTableActions(TfmChart& window) {
  auto* fmShowTextGr =
      window.findChild<dialogs::TfmShowTextGr*>(QString(), Qt::FindDirectChildrenOnly);
  CommandMap& map = window.commands();
  map.add("N35", [fmShowTextGr](CommandContext& ctx) { showPointTable(ctx, fmShowTextGr); });
  map.add("mnCopyData", copyPointsToClipboard);
  map.add("mnExport", exportToSibling);
  map.add("N40", [](CommandContext& ctx) { io::renameToLegendsCommand(ctx); });
}

}  // namespace tarvik::app
