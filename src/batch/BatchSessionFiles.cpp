// Batch commands on session files: save-session writes the document and the offscreen
// chart's view, open-session replaces both.
#include <filesystem>
#include <string>
#include <vector>

#include "batch/BatchSession.h"
#include "io/SessionFile.h"

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

SessionAxis sessionAxis(const view::AxisView& axis, bool logarithmic) {
  return SessionAxis{axis.automatic, axis.limits.min, axis.limits.max, logarithmic};
}

view::AxisView chartAxis(const SessionAxis& axis) {
  return view::AxisView{axis.automatic, view::AxisLimits{axis.lower, axis.upper}};
}

void runSaveSession(BatchSession& s, const BatchArgs& a) {
  const std::string path = fileArgument(a);
  const SessionViewExtras& extras = s.dialog<SessionViewExtras>();
  const view::ViewState& chart = s.chart.view();
  SessionView view;
  view.bottom = sessionAxis(chart.bottom, extras.logX);
  view.left = sessionAxis(chart.left, extras.logY);
  view.fonts = extras.fonts;
  writeSession(path, s.store.state(), view);
}

void runOpenSession(BatchSession& s, const BatchArgs& a) {
  // Read whole first: a file that cannot be read leaves the document as it was.
  const Session session = readSession(fileArgument(a));
  s.store.restore(session.document);
  view::ViewState wanted = s.chart.view();
  wanted.bottom = chartAxis(session.view.bottom);
  wanted.left = chartAxis(session.view.left);
  s.chart.setView(wanted);
  SessionViewExtras& extras = s.dialog<SessionViewExtras>();
  extras.logX = session.view.bottom.logarithmic;
  extras.logY = session.view.left.logarithmic;
  extras.fonts = session.view.fonts;
}

}  // namespace

void registerSessionCommands(BatchRegistry& registry) {
  registry.add({"save-session", "save-session file=PATH", {"file"}, runSaveSession});
  registry.add({"open-session", "open-session file=PATH", {"file"}, runOpenSession});
}

}  // namespace tarvik::batch
