#include "core/GraphStore.h"

#include <algorithm>

#include "core/Palette.h"

namespace tarvik {
namespace {

NullChartPort g_nullChart;

std::string withoutPathCharacters(const std::string& title) {
  std::string entry;
  entry.reserve(title.size());
  for (char c : title) {
    if (c != '/' && c != '\\' && c != ':') {
      entry.push_back(c);
    }
  }
  return entry;
}

}  // namespace

GraphStore::GraphStore() : m_chart(&g_nullChart) {}

void GraphStore::setChartPort(ChartPort* port) { m_chart = port ? port : &g_nullChart; }

Graph* GraphStore::activeGraph() {
  if (m_active < 0 || static_cast<std::size_t>(m_active) >= m_graphs.size()) {
    return nullptr;
  }
  return m_graphs[static_cast<std::size_t>(m_active)].get();
}

std::size_t GraphStore::appendGraph(const std::string& title) {
  Graph g;
  g.colour = newGraphColour(m_graphs.size());
  g.title = title;
  m_graphs.push_back(std::make_unique<Graph>(std::move(g)));
  m_sourceFiles.push_back(withoutPathCharacters(title));
  m_active = static_cast<int>(m_graphs.size()) - 1;
  bottomAxisTitle = "t, нс";
  ++m_unnamedCounter;
  m_chart->legendRelayout();
  return m_graphs.size() - 1;
}

std::size_t GraphStore::attachGraph(Graph graph, std::string sourceFileEntry) {
  m_graphs.push_back(std::make_unique<Graph>(std::move(graph)));
  m_sourceFiles.push_back(std::move(sourceFileEntry));
  return m_graphs.size() - 1;
}

std::string GraphStore::takeUnnamedEntry(const std::string& prefix) {
  return prefix + std::to_string(m_unnamedCounter++);
}

void GraphStore::removeGraph(std::size_t i) {
  m_graphs.erase(m_graphs.begin() + static_cast<std::ptrdiff_t>(i));
  if (i < m_sourceFiles.size()) {
    m_sourceFiles.erase(m_sourceFiles.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

std::vector<std::size_t> GraphStore::candidates() const {
  std::vector<std::size_t> result;
  for (std::size_t i = 0; i < m_graphs.size(); ++i) {
    if (m_graphs[i]->tag == 0) {
      result.push_back(i);
    }
  }
  return result;
}

bool GraphStore::hasCandidates() const {
  return std::any_of(m_graphs.begin(), m_graphs.end(), [](const auto& g) { return g->tag == 0; });
}

void GraphStore::closeGraphs(const std::vector<std::size_t>& chosenRows) {
  // Marking: the k-th candidate is tagged when row k is chosen.
  const std::vector<std::size_t> cands = candidates();
  for (std::size_t row : chosenRows) {
    if (row < cands.size()) {
      m_graphs[cands[row]]->tag = 1;
    }
  }
  // Compaction: surviving curves move down into freed positions and take on the
  // appearance (colour, width) of those positions; only points, title and entry travel.
  for (std::size_t p = 0; p < m_graphs.size(); ++p) {
    if (m_graphs[p]->tag == 0) {
      continue;
    }
    std::size_t q = p + 1;
    while (q < m_graphs.size() && m_graphs[q]->tag != 0) {
      ++q;
    }
    if (q == m_graphs.size()) {
      break;
    }
    m_graphs[p]->copyPointsFrom(*m_graphs[q]);
    m_graphs[p]->title = m_graphs[q]->title;
    if (q < m_sourceFiles.size() && p < m_sourceFiles.size()) {
      m_sourceFiles[p] = m_sourceFiles[q];
    }
    m_graphs[q]->tag = 1;
    m_graphs[p]->tag = 0;
    if (m_active == static_cast<int>(q)) {
      m_active = static_cast<int>(p);
    }
  }
  // Removal of the tagged tail.
  while (!m_graphs.empty() && m_graphs.back()->tag != 0) {
    removeGraph(m_graphs.size() - 1);
  }
  const int last = static_cast<int>(m_graphs.size()) - 1;
  if (m_active < 0 || m_active > last) {
    m_active = last;
  }
  m_chart->redraw();
  m_chart->refreshMenus();
  m_chart->refreshIndicator();
  m_chart->legendRelayout();
}

void GraphStore::closeAll() {
  m_graphs.clear();
  m_sourceFiles.clear();
  m_active = -1;
  m_chart->refreshMenus();
  m_chart->refreshIndicator();
  m_chart->showWholeExtent();
  m_chart->redraw();
}

void GraphStore::exchangeNeighbours(std::size_t i, std::size_t j) {
  std::swap(m_graphs[i], m_graphs[j]);
  if (i < m_sourceFiles.size() && j < m_sourceFiles.size()) {
    std::swap(m_sourceFiles[i], m_sourceFiles[j]);
  }
  if (m_active == static_cast<int>(i)) {
    m_active = static_cast<int>(j);
  } else if (m_active == static_cast<int>(j)) {
    m_active = static_cast<int>(i);
  }
}

DocumentState GraphStore::state() const {
  DocumentState state;
  state.graphs.reserve(m_graphs.size());
  for (const auto& g : m_graphs) {
    state.graphs.push_back(*g);
  }
  state.sourceFiles = m_sourceFiles;
  state.active = m_active;
  state.unnamedCounter = m_unnamedCounter;
  state.texts = static_cast<const DocumentTexts&>(*this);
  return state;
}

void GraphStore::restore(const DocumentState& state) {
  // Graphs are assigned in place where they exist, so a Graph& held across the restore
  // by index still names the graph at that index.
  m_graphs.resize(std::min(m_graphs.size(), state.graphs.size()));
  for (std::size_t i = 0; i < state.graphs.size(); ++i) {
    if (i < m_graphs.size()) {
      *m_graphs[i] = state.graphs[i];
    } else {
      m_graphs.push_back(std::make_unique<Graph>(state.graphs[i]));
    }
  }
  m_sourceFiles = state.sourceFiles;
  m_active = state.active;
  m_unnamedCounter = state.unnamedCounter;
  static_cast<DocumentTexts&>(*this) = state.texts;
  refreshAfterRestore();
}

void GraphStore::refreshAfterRestore() {
  m_chart->refreshMenus();
  m_chart->refreshIndicator();
  m_chart->legendRelayout();
  m_chart->redraw();
}

DocumentRefs GraphStore::refs() {
  return DocumentRefs{m_graphs, m_sourceFiles, m_active, m_unnamedCounter,
                      static_cast<DocumentTexts&>(*this)};
}

void GraphStore::beginStep(const std::string& caption) {
  if (m_stepDepth++ > 0) {
    return;
  }
  m_stepCaption = caption;
  followDocument();
}

void GraphStore::endStep() {
  if (m_stepDepth == 0 || --m_stepDepth > 0) {
    return;
  }
  // Arrays a command rewrote with equal values take back their old blocks, so a step
  // keeps only the arrays that really changed, and a command that changed nothing none.
  for (std::size_t i = 0; i < std::min(m_graphs.size(), m_seen.graphs.size()); ++i) {
    m_graphs[i]->shareEqualBlocks(m_seen.graphs[i]);
  }
  if (std::optional<DocumentChange> back = advance(m_seen, refs())) {
    m_history.record(std::move(m_stepCaption), std::move(*back));
  }
}

void GraphStore::followDocument() {
  if (sameDocument(m_seen, refs())) {
    return;
  }
  // The document was changed outside any step since the history last saw it. The newest
  // steps then lead from the document as it is: undo gives the state before the last
  // command, redo the state after the undone one, whatever happened in between.
  const auto rebase = [this](UndoHistory::Step step) {
    DocumentState target = m_seen;
    applyChange(step.change, target);
    std::optional<DocumentChange> change = advance(target, refs());
    step.change = change ? std::move(*change) : noChange(refs());
    return step;
  };
  if (m_history.canUndo()) {
    m_history.putUndo(rebase(m_history.takeUndo()));
  }
  if (m_history.canRedo()) {
    m_history.putRedo(rebase(m_history.takeRedo()));
  }
  m_seen = state();
}

bool GraphStore::undo() {
  if (m_stepDepth > 0 || !m_history.canUndo()) {
    return false;
  }
  followDocument();
  UndoHistory::Step step = m_history.takeUndo();
  DocumentChange forward;
  try {
    forward = applyChange(step.change, refs());
  } catch (...) {
    m_history.putUndo(std::move(step));  // the document was not touched
    throw;
  }
  m_history.putRedo({std::move(step.caption), std::move(forward), 0});
  advance(m_seen, refs());
  refreshAfterRestore();
  return true;
}

bool GraphStore::redo() {
  if (m_stepDepth > 0 || !m_history.canRedo()) {
    return false;
  }
  followDocument();
  UndoHistory::Step step = m_history.takeRedo();
  DocumentChange back;
  try {
    back = applyChange(step.change, refs());
  } catch (...) {
    m_history.putRedo(std::move(step));
    throw;
  }
  m_history.putUndo({std::move(step.caption), std::move(back), 0});
  advance(m_seen, refs());
  refreshAfterRestore();
  return true;
}

void GraphStore::repairEntries() {
  while (m_sourceFiles.size() < m_graphs.size()) {
    m_sourceFiles.emplace_back("Error");
  }
}

}  // namespace tarvik
