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

void UndoHistory::record(std::string caption, DocumentState before, const DocumentState& current) {
  m_redo.clear();
  m_undo.push_back({std::move(caption), std::move(before)});
  trim(current);
}

DocumentState UndoHistory::takeUndo(DocumentState current) {
  Step step = std::move(m_undo.back());
  m_undo.pop_back();
  m_redo.push_back({step.caption, std::move(current)});
  return std::move(step.state);
}

DocumentState UndoHistory::takeRedo(DocumentState current) {
  Step step = std::move(m_redo.back());
  m_redo.pop_back();
  m_undo.push_back({step.caption, std::move(current)});
  return std::move(step.state);
}

std::size_t UndoHistory::retainedBytes(const DocumentState& current) const {
  // A block counts once however many steps share it, and not at all while the live
  // document uses it.
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
      for (const Graph& g : step.state.graphs) {
        add(g.xBlock());
        add(g.yBlock());
      }
    }
  }
  return bytes;
}

void UndoHistory::trim(const DocumentState& current) {
  while (m_undo.size() > m_maxSteps) {
    m_undo.pop_front();
  }
  // The newest step always stays: a command that alone exceeds the limit can still be
  // undone once.
  while (m_undo.size() > 1 && retainedBytes(current) > m_maxBytes) {
    m_undo.pop_front();
  }
}

}  // namespace tarvik
