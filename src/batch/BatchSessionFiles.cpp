// Batch commands on session files: save-session writes the document and the offscreen
// chart's view, open-session replaces both.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "batch/BatchSession.h"
#include "io/SessionCommands.h"
#include "view/SessionAxes.h"

namespace tarvik::batch {
namespace {

// What a session keeps beyond the axes' ranges and the batch chart does not draw: the log
// switches and the fonts of a session opened in the run, so that saving it again keeps
// them. Kept for the whole run like a dialog's fields.
struct SessionViewExtras final : DialogOptions {
  std::string_view dialogName() const override { return "SessionView"; }
  bool logX = false;
  bool logY = false;
  std::vector<SessionFont> fonts;
};

std::string fileArgument(const BatchArgs& a) {
  const auto file = a.get("file");
  if (!file || file->empty()) {
    throw UsageError(a.command + ": the argument file= is required");
  }
  return std::filesystem::absolute(std::filesystem::path(*file)).string();
}

void runSaveSession(BatchSession& s, const BatchArgs& a) {
  // The save dialog answers with the script's file; an existing one is replaced, as the
  // overwrite question is answered yes.
  s.ui.setSaveFile(fileArgument(a));
  const SessionViewExtras& extras = s.dialog<SessionViewExtras>();
  const view::ViewState& chart = s.chart.view();
  SessionView view;
  view.bottom = view::sessionAxis(chart.bottom, extras.logX);
  view.left = view::sessionAxis(chart.left, extras.logY);
  view.fonts = extras.fonts;
  CommandContext ctx = s.context();
  saveSessionCommand(ctx, view, SessionFileName::AsGiven);
}

void runOpenSession(BatchSession& s, const BatchArgs& a) {
  s.ui.setOpenFiles({fileArgument(a)});
  CommandContext ctx = s.context();
  const std::optional<SessionView> session = openSessionCommand(ctx);
  if (!session) {
    return;
  }
  view::ViewState wanted = s.chart.view();
  wanted.bottom = view::chartAxis(session->bottom);
  wanted.left = view::chartAxis(session->left);
  s.chart.setView(wanted);
  SessionViewExtras& extras = s.dialog<SessionViewExtras>();
  extras.logX = session->bottom.logarithmic;
  extras.logY = session->left.logarithmic;
  extras.fonts = session->fonts;
}

}  // namespace

void registerSessionCommands(BatchRegistry& registry) {
  registry.add({"save-session", "save-session file=PATH", {"file"}, runSaveSession});
  registry.add({"open-session", "open-session file=PATH", {"file"}, runOpenSession});
}

}  // namespace tarvik::batch
