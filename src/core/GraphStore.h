#pragma once
// The document of the window: the ordered graphs, their source-file entries (kept
// parallel), the active graph, the unnamed-graph counter and the chart-wide texts.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/ChartPort.h"
#include "core/DocumentChange.h"
#include "core/DocumentState.h"
#include "core/Graph.h"
#include "core/UndoHistory.h"

namespace tarvik {

class GraphStore : public DocumentTexts {
 public:
  GraphStore();

  // The view that is told about refreshes; never null (a NullChartPort by default).
  ChartPort& chart() const { return *m_chart; }
  void setChartPort(ChartPort* port);

  std::size_t count() const { return m_graphs.size(); }
  bool empty() const { return m_graphs.empty(); }
  Graph& graph(std::size_t i) { return *m_graphs[i]; }
  const Graph& graph(std::size_t i) const { return *m_graphs[i]; }
  const std::string& sourceFile(std::size_t i) const { return m_sourceFiles[i]; }
  void setSourceFile(std::size_t i, std::string entry) { m_sourceFiles[i] = std::move(entry); }
  const std::vector<std::string>& sourceFiles() const { return m_sourceFiles; }

  // −1 when no graph is active.
  int activeIndex() const { return m_active; }
  void setActiveIndex(int index) { m_active = index; }
  Graph* activeGraph();

  // "Append graph": a new empty graph of the palette colour, active, titled `title`, its
  // source-file entry the title without "/", "\" and ":"; the bottom axis title becomes
  // "t, нс"; the counter goes up; legend re-layout. Returns the new index.
  std::size_t appendGraph(const std::string& title);
  // Direct creation: attaches a graph (colour chosen by the caller, as a rule
  // newGraphColour(count())) with the given source-file entry. Active index and counter
  // are left alone.
  std::size_t attachGraph(Graph graph, std::string sourceFileEntry);
  // Entry "Без имени-N" (or prefix + N) from the counter, which then goes up by one.
  std::string takeUnnamedEntry(const std::string& prefix = "Без имени-");
  int unnamedCounter() const { return m_unnamedCounter; }
  void setUnnamedCounter(int value) { m_unnamedCounter = value; }

  // Removes graph i with its entry. The active index is left for the caller to settle.
  void removeGraph(std::size_t i);
  // Graphs with tag 0, in store order: candidate k is store index candidates()[k].
  std::vector<std::size_t> candidates() const;
  bool hasCandidates() const;
  // "Close graphs": rows index the candidate list. See the compaction rule in the .cpp.
  void closeGraphs(const std::vector<std::size_t>& chosenRows);
  // "Close all": no graphs, no entries, active −1; counter and texts stay.
  void closeAll();
  // Graphs i and j swap as whole graphs with their entries; the active index follows.
  void exchangeNeighbours(std::size_t i, std::size_t j);
  // Legacy repair of the selection dialog: when there are more graphs than entries,
  // "Error" entries are appended. Returns false when the counts disagreed.
  bool entriesConsistent() const { return m_sourceFiles.size() == m_graphs.size(); }
  void repairEntries();

  bool stopRequest = false;

  // --- Undo ---
  // The whole document as it stands: graphs (sharing their point blocks with the store,
  // so this costs no copy of points), entries, active index, counter and texts.
  DocumentState state() const;
  // Puts a state back and asks the chart to refresh (the zoom stays).
  void restore(const DocumentState& state);
  // A command runs between beginStep and endStep; endStep keeps an undo step captioned as
  // given when the document differs from the one at beginStep, else nothing. Steps nest:
  // only the outermost pair counts. A step costs what the command changed, plus a
  // comparison of every graph at its start and end (no copies).
  void beginStep(const std::string& caption);
  void endStep();
  bool stepOpen() const { return m_stepDepth > 0; }
  // Undo or redo the newest step; false when there is none.
  bool undo();
  bool redo();
  const UndoHistory& history() const { return m_history; }
  UndoHistory& history() { return m_history; }

 private:
  DocumentRefs refs();
  void refreshAfterRestore();
  // Brings m_seen up to the document, first turning the newest steps to start from the
  // document as it is when it was changed outside any step.
  void followDocument();

  std::vector<std::unique_ptr<Graph>> m_graphs;
  std::vector<std::string> m_sourceFiles;
  int m_active = -1;
  int m_unnamedCounter = 1;
  ChartPort* m_chart;
  UndoHistory m_history;
  int m_stepDepth = 0;
  std::string m_stepCaption;
  // The document as the history last saw it (after the newest step, undo or redo): what a
  // command is compared with to find what it changed. Its graphs share their points with
  // the document, so it costs a copy of titles and appearance, once.
  DocumentState m_seen;
};

}  // namespace tarvik
