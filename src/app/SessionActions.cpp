// Session files in the window: "Сохранить сеанс..." keeps the whole document and the
// chart's view in one file; "Открыть сеанс..." puts them back, replacing the graphs.
#include <QAction>
#include <optional>

#include "app/ChartMy.h"
#include "app/WindowActions.h"
#include "io/SessionCommands.h"
#include "view/ChartView.h"
#include "view/SessionAxes.h"

namespace tarvik::app {

namespace {

using view::chartAxis;
using view::sessionAxis;

// Sets a log switch of the chart and its check mark in the "Вид" menu alike.
void setLogSwitch(TfmChart& window, const char* itemName, bool on, bool accepted) {
  if (auto* item = window.findChild<QAction*>(itemName)) {
    item->setChecked(on && accepted);
  }
}

void applyView(TfmChart& window, const SessionView& view) {
  view::ChartView* chart = window.chart();
  view::ViewState state = chart->viewState();
  state.bottom = chartAxis(view.bottom);
  state.left = chartAxis(view.left);
  // The ranges first, so a log switch is judged on the range it will show; then again,
  // since switching may bring automatic axes back to the data.
  chart->applyView(state);
  setLogSwitch(window, "LogX1", view.bottom.logarithmic, chart->setLogX(view.bottom.logarithmic));
  setLogSwitch(window, "LogY1", view.left.logarithmic, chart->setLogY(view.left.logarithmic));
  chart->applyView(state);
  if (view.fonts.size() == kChartFontCount) {
    ChartFonts fonts;
    for (std::size_t i = 0; i < kChartFontCount; ++i) {
      fonts[i].name = QString::fromStdString(view.fonts[i].family);
      fonts[i].size = view.fonts[i].size;
    }
    window.setFonts(fonts);
  }
}

void saveSession(TfmChart& window, CommandContext& ctx) {
  saveSessionCommand(ctx, sessionViewOf(window), SessionFileName::WithSessionExtension);
}

void openSession(TfmChart& window, CommandContext& ctx) {
  if (const std::optional<SessionView> view = openSessionCommand(ctx)) {
    applyView(window, *view);
  }
}

}  // namespace

SessionView sessionViewOf(TfmChart& window) {
  const view::ChartView* chart = window.chart();
  const view::ViewState state = chart->viewState();
  SessionView view;
  view.bottom = sessionAxis(state.bottom, chart->logX());
  view.left = sessionAxis(state.left, chart->logY());
  for (const FontSetting& font : window.fonts()) {
    view.fonts.push_back(SessionFont{font.name.toStdString(), font.size});
  }
  return view;
}

void applySession(TfmChart& window, const Session& session) {
  window.store().restore(session.document);
  applyView(window, session.view);
}

void installSessionActions(TfmChart& window) {
  window.commands().add("mnSaveSession",
                        [&window](CommandContext& ctx) { saveSession(window, ctx); });
  window.commands().add("mnOpenSession",
                        [&window](CommandContext& ctx) { openSession(window, ctx); });
}

}  // namespace tarvik::app
