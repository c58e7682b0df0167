// Batch commands on files and on the graph list: open, save, list, texts, dump, close,
// activate and the move of the active graph.
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "batch/BatchSession.h"
#include "core/Error.h"
#include "core/StoreCommands.h"
#include "io/FileCommands.h"

namespace tarvik::batch {
namespace {

// The store index named by graph= (a single number or "active"); the active graph when
// the argument is absent.
std::size_t graphIndex(BatchSession& s, const BatchArgs& a) {
  if (const auto text = a.get("graph")) {
    const std::vector<int> rows = s.parseGraphList(*text);
    if (rows.size() != 1) {
      throw UsageError(a.command + ": graph= takes one graph number");
    }
    return static_cast<std::size_t>(rows.front());
  }
  const int active = s.store.activeIndex();
  if (active < 0 || static_cast<std::size_t>(active) >= s.store.count()) {
    throw Error(kNoActiveGraph);
  }
  return static_cast<std::size_t>(active);
}

std::string formatDumpNumber(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

void runOpen(BatchSession& s, const BatchArgs& a) {
  if (a.positional.empty()) {
    throw UsageError("open: name at least one file");
  }
  CommandContext ctx = s.context();
  openFiles(ctx, a.positional);
}

void runSave(BatchSession& s, const BatchArgs& a) {
  const auto file = a.get("file");
  if (!file || file->empty()) {
    throw UsageError("save: the argument file= is required");
  }
  if (!a.has("graph")) {
    throw UsageError("save: the argument graph= is required");
  }
  // The save dialog answers with a full path, as a file dialog does.
  s.ui.setSaveFile(std::filesystem::absolute(std::filesystem::path(*file)).string());
  CommandContext ctx = s.context();
  saveCommand(ctx);
}

void runList(BatchSession& s, const BatchArgs&) {
  const GraphStore& store = s.store;
  for (std::size_t i = 0; i < store.count(); ++i) {
    const bool active = static_cast<int>(i) == store.activeIndex();
    const std::string entry = i < store.sourceFiles().size() ? store.sourceFile(i) : "";
    s.out << (i + 1) << '\t' << (active ? '*' : '-') << '\t' << store.graph(i).size() << '\t'
          << entry << '\t' << store.graph(i).title << '\n';
  }
}

void runTexts(BatchSession& s, const BatchArgs&) {
  s.out << "bottom\t" << s.store.bottomAxisTitle << '\n';
  s.out << "left\t" << s.store.yAxisTitle << '\n';
  for (const std::string& foot : s.store.footLines) {
    s.out << "foot\t" << foot << '\n';
  }
}

void runDump(BatchSession& s, const BatchArgs& a) {
  const Graph& g = s.store.graph(graphIndex(s, a));
  std::string text;
  for (std::size_t i = 0; i < g.size(); ++i) {
    text += formatDumpNumber(g.x(i));
    text += '\t';
    text += formatDumpNumber(g.y(i));
    text += '\n';
  }
  s.out << text;
}

void runClose(BatchSession& s, const BatchArgs&) {
  CommandContext ctx = s.context();
  closeGraphsCommand(ctx);
}

void runCloseAll(BatchSession& s, const BatchArgs&) {
  CommandContext ctx = s.context();
  closeAllCommand(ctx);
}

void runActivate(BatchSession& s, const BatchArgs& a) {
  if (!a.has("graph")) {
    throw UsageError("activate: the argument graph= is required");
  }
  activateGraph(s.store, graphIndex(s, a));
}

}  // namespace

void registerFileCommands(BatchRegistry& registry) {
  registry.add({"open", "open FILE...", {"FILE..."}, runOpen});
  registry.add(
      {"save", "save graph=N file=PATH [answer=yes|no]", {"graph", "file", "answer"}, runSave});
  registry.add({"list", "list", {}, runList});
  registry.add({"texts", "texts", {}, runTexts});
  registry.add({"dump", "dump [graph=N]", {"graph"}, runDump});
  registry.add({"close", "close [graphs=LIST]", {"graphs"}, runClose});
  registry.add({"close-all", "close-all", {}, runCloseAll});
  registry.add({"activate", "activate graph=N", {"graph"}, runActivate});
  registry.add(
      {"move-up", "move-up", {}, [](BatchSession& s, const BatchArgs&) { moveActiveUp(s.store); }});
  registry.add({"move-down", "move-down", {}, [](BatchSession& s, const BatchArgs&) {
                  moveActiveDown(s.store);
                }});
}

}  // namespace tarvik::batch
