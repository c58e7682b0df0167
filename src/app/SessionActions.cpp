// Session files in the window: "Сохранить сеанс..." keeps the whole document and the
// chart's view in one file; "Открыть сеанс..." puts them back, replacing the graphs.
#include <QAction>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

#include "app/ChartMy.h"
#include "app/WindowActions.h"
#include "view/ChartView.h"

namespace tarvik::app {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSessionFilter = "Сеанс (*.h5)";
constexpr const char* kSessionExtension = ".h5";
constexpr const char* kReplaceQuestion =
    "Открытые графики будут заменены графиками сеанса. Продолжить?";

SessionAxis sessionAxis(const view::AxisView& axis, bool logarithmic) {
  return SessionAxis{axis.automatic, axis.limits.min, axis.limits.max, logarithmic};
}

view::AxisView chartAxis(const SessionAxis& axis) {
  return view::AxisView{axis.automatic, view::AxisLimits{axis.lower, axis.upper}};
}

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

bool hasSessionExtension(const std::string& path) {
  std::string extension = fs::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == kSessionExtension;
}

FileDialogRequest sessionDialog(const char* title) {
  FileDialogRequest request;
  request.title = title;
  request.filters = {kSessionFilter};
  request.defaultExtension = "h5";
  return request;
}

// The file to save to, ".h5" added when the name has another ending; an existing file is
// replaced only after the user agrees, else the dialog opens again.
std::optional<std::string> askSessionSavePath(CommandContext& ctx) {
  const FileDialogRequest request = sessionDialog("Сохранение сеанса");
  for (;;) {
    std::optional<std::string> path = ctx.ui.askSaveFile(request);
    if (!path) {
      return std::nullopt;
    }
    if (!hasSessionExtension(*path)) {
      *path += kSessionExtension;
    }
    std::error_code ec;
    if (!fs::exists(*path, ec) || ctx.ui.question("Файл " + *path + " уже есть. Переписать?")) {
      return path;
    }
  }
}

std::string folderOf(const std::string& path) { return fs::path(path).parent_path().string(); }

void saveSession(TfmChart& window, CommandContext& ctx) {
  const std::optional<std::string> path = askSessionSavePath(ctx);
  if (!path) {
    return;
  }
  writeSession(*path, ctx.store.state(), sessionViewOf(window));
  ctx.ui.rememberFolder(folderOf(*path));
}

void openSession(TfmChart& window, CommandContext& ctx) {
  if (!ctx.store.empty() && !ctx.ui.question(kReplaceQuestion)) {
    return;
  }
  const std::optional<std::vector<std::string>> paths =
      ctx.ui.askOpenFiles(sessionDialog("Открытие сеанса"));
  if (!paths || paths->empty()) {
    return;
  }
  // Read whole before anything changes: a broken file throws and leaves the graphs alone.
  const Session session = readSession(paths->front());
  ctx.ui.rememberFolder(folderOf(paths->front()));
  applySession(window, session);
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
