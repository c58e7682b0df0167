// Batch commands on files and on the graph list: open, save, list, texts, dump, close,
// activate and the move of the active graph; the export to the sibling program and the
// renaming of source-file entries after the legends.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "batch/BatchSession.h"
#include "core/Error.h"
#include "core/StoreCommands.h"
#include "io/Export.h"
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

// A name or title on one output line: line ends and tabs, which would break the line or
// its fields, are written as \n, \r and \t; every other character, a backslash too, is
// written as it is.
std::string oneField(const std::string& text) {
  std::string field;
  field.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\n':
        field += "\\n";
        break;
      case '\r':
        field += "\\r";
        break;
      case '\t':
        field += "\\t";
        break;
      default:
        field.push_back(c);
    }
  }
  return field;
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
          << oneField(entry) << '\t' << oneField(store.graph(i).title) << '\n';
  }
}

void runTexts(BatchSession& s, const BatchArgs&) {
  s.out << "bottom\t" << oneField(s.store.bottomAxisTitle) << '\n';
  s.out << "left\t" << oneField(s.store.yAxisTitle) << '\n';
  for (const std::string& foot : s.store.footLines) {
    s.out << "foot\t" << oneField(foot) << '\n';
  }
  // A title of empty lines only is no title: it prints nothing.
  const auto& title = s.store.titleLines;
  if (std::any_of(title.begin(), title.end(), [](const std::string& l) { return !l.empty(); })) {
    for (const std::string& line : title) {
      s.out << "title\t" << oneField(line) << '\n';
    }
  }
}

// Each point goes to the stream as it is formatted: a graph of millions of points needs no
// copy of its text in memory. Writing stops once the stream has failed.
void runDump(BatchSession& s, const BatchArgs& a) {
  const Graph& g = s.store.graph(graphIndex(s, a));
  char line[64];
  for (std::size_t i = 0; i < g.size() && s.out; ++i) {
    const int length = std::snprintf(line, sizeof line, "%.17g\t%.17g\n", g.x(i), g.y(i));
    s.out.write(line, length);
  }
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

void runExport(BatchSession& s, const BatchArgs& a) {
  const io::ExportSetup setup{a.get("program"), io::executableFolder(), io::exportFolder()};
  if (setup.program && setup.program->empty()) {
    throw UsageError("export: program= names no program");
  }
  io::DetachedStarter starter;
  CommandContext ctx = s.context();
  io::exportCommand(ctx, setup, starter);
}

void runRenameToLegends(BatchSession& s, const BatchArgs&) {
  CommandContext ctx = s.context();
  io::renameToLegendsCommand(ctx);
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

void registerExportCommands(BatchRegistry& registry) {
  registry.add({"export", "export [program=PATH]", {"program"}, runExport});
  registry.add(
      {"rename-to-legends", "rename-to-legends [answer=yes|no]", {"answer"}, runRenameToLegends});
}

}  // namespace tarvik::batch
