#include "core/UndoHistory.h"

#include <unordered_set>
#include <utility>

namespace tarvik {

bool DocumentState::sameAs(const DocumentState& other) const {
  if (graphs.size() != other.graphs.size() || sourceFiles != other.sourceFiles ||
      active != other.active || unnamedCounter != other.unnamedCounter || !(texts == other.texts)) {
    return false;
  }
  for (std::size_t i = 0; i < graphs.size(); ++i) {
    if (!graphs[i].sameAttributes(other.graphs[i]) || !graphs[i].samePoints(other.graphs[i])) {
      return false;
    }
  }
  return true;
}

void UndoHistory::count(Step& step) {
  step.bytes = sizeof(Step) + textBytes(step.caption) - sizeof(std::string) + step.change.bytes;
}

void UndoHistory::record(std::string caption, DocumentChange back) {
  m_redo.clear();
  m_redoBytes = 0;
  putUndo({std::move(caption), std::move(back), 0});
  trim();
}

UndoHistory::Step UndoHistory::takeUndo() {
  Step step = std::move(m_undo.back());
  m_undo.pop_back();
  m_undoBytes -= step.bytes;
  return step;
}

UndoHistory::Step UndoHistory::takeRedo() {
  Step step = std::move(m_redo.back());
  m_redo.pop_back();
  m_redoBytes -= step.bytes;
  return step;
}

void UndoHistory::putUndo(Step step) {
  count(step);
  m_undo.push_back(std::move(step));
  m_undoBytes += m_undo.back().bytes;
}

void UndoHistory::putRedo(Step step) {
  count(step);
  m_redo.push_back(std::move(step));
  m_redoBytes += m_redo.back().bytes;
}

std::size_t UndoHistory::retainedBytes(const DocumentState& current) const {
  // Every graph of a past state is either in the document or in some step's change, so
  // the blocks the changes hold, less the document's, are the blocks only the history keeps.
  std::unordered_set<const PointBlock*> seen;
  for (const Graph& g : current.graphs) {
    seen.insert(g.xBlock().get());
    seen.insert(g.yBlock().get());
  }
  std::size_t bytes = 0;
  const auto add = [&](const std::shared_ptr<const PointBlock>& block) {
    if (seen.insert(block.get()).second) {
      bytes += block->capacity() * sizeof(double);
    }
  };
  for (const auto* side : {&m_undo, &m_redo}) {
    for (const Step& step : *side) {
      for (const Graph& g : step.change.graphs) {
        add(g.xBlock());
        add(g.yBlock());
      }
    }
  }
  return bytes;
}

void UndoHistory::trim() {
  const auto dropOldest = [this] {
    m_undoBytes -= m_undo.front().bytes;
    m_undo.pop_front();
  };
  while (m_undo.size() > m_maxSteps) {
    dropOldest();
  }
  while (m_undo.size() > 1 && heldBytes() > m_maxBytes) {
    dropOldest();
  }
}

}  // namespace tarvik
