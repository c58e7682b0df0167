// The window's appearance commands of the "Вид" menu: the chart's texts and fonts
// (Titles1, TfmEditComments), the legend titles (Legengs1, TfmLegend), the graphs' lines
// (Lines1, TfmLines) and the background colour (Fon1).
#include "app/ChartMy.h"
#include "app/WindowActions.h"
#include "core/ChartAppearance.h"
#include "dialogs/ChartLeg.h"
#include "dialogs/ChartLin.h"
#include "dialogs/ChartOfo.h"
#include "view/ChartView.h"

namespace tarvik::app {

void installAppearanceActions(TfmChart& window) {
  view::ChartView* chart = window.chart();
  // The window created the dialogs in their start-up order.
  auto* fmLines = window.findChild<dialogs::TfmLines*>("fmLines", Qt::FindDirectChildrenOnly);
  auto* fmEditComments =
      dynamic_cast<dialogs::TfmEditComments*>(window.dialogRegistry().find("TfmEditComments"));
  if (fmLines == nullptr || fmEditComments == nullptr) {
    return;
  }

  // The font buttons and the legend position act on the chart while the dialog is open.
  dialogs::TfmEditComments::ChartHooks hooks;
  hooks.font = [chart](ChartTextElement element) { return chart->elementFont(element); };
  hooks.setFont = [chart](ChartTextElement element, const QFont& font) {
    chart->setElementFont(element, font);
  };
  hooks.repaint = [chart] { chart->replot(); };
  hooks.legendRight = [chart] { return chart->legendAlignment() == view::LegendAlignment::Right; };
  // Only the alignment changes now; the legend moves at the next re-layout.
  hooks.setLegendRight = [&window](bool right) { window.store().legendRight = right; };
  fmEditComments->setChartHooks(std::move(hooks));

  CommandMap& commands = window.commands();
  commands.add("Titles1", chartTextsCommand);
  commands.add("Legengs1", legendTitlesCommand);
  commands.add("Fon1", backgroundCommand);
  commands.add("Lines1", [fmLines](CommandContext& ctx) {
    GraphStore& store = ctx.store;
    fmLines->runFor(store, [&store] { store.chart().redraw(); });
  });
}

}  // namespace tarvik::app
