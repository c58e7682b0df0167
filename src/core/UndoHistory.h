#pragma once
// The undo and redo steps of a document. A step is the state before a command (on the
// undo side) or after it (on the redo side), with the command's caption. States share
// point blocks with each other and with the live document, so a step retains only the
// arrays the command replaced.
#include <cstddef>
#include <deque>
#include <string>

#include "core/DocumentState.h"

namespace tarvik {

class UndoHistory {
 public:
  static constexpr std::size_t kMaxSteps = 100;
  static constexpr std::size_t kMaxRetainedBytes = std::size_t{2} << 30;  // 2 GiB of points

  struct Step {
    std::string caption;
    DocumentState state;
  };

  bool canUndo() const { return !m_undo.empty(); }
  bool canRedo() const { return !m_redo.empty(); }
  // Captions of the newest steps ("" when none).
  std::string undoCaption() const { return m_undo.empty() ? std::string() : m_undo.back().caption; }
  std::string redoCaption() const { return m_redo.empty() ? std::string() : m_redo.back().caption; }
  std::size_t undoCount() const { return m_undo.size(); }
  std::size_t redoCount() const { return m_redo.size(); }

  // A new step: the state before a command. Redo steps are dropped; the oldest steps go
  // while there are more than kMaxSteps or their points not shared with `current` exceed
  // the byte limit.
  void record(std::string caption, DocumentState before, const DocumentState& current);
  // Moves the newest undo step to the redo side, which then holds `current`; returns the
  // state to restore. Callers check canUndo()/canRedo() first.
  DocumentState takeUndo(DocumentState current);
  DocumentState takeRedo(DocumentState current);

  // Bytes of point blocks that the steps keep and `current` does not use.
  std::size_t retainedBytes(const DocumentState& current) const;
  // Limits for tests; the defaults are the constants above.
  void setLimits(std::size_t maxSteps, std::size_t maxRetainedBytes) {
    m_maxSteps = maxSteps;
    m_maxBytes = maxRetainedBytes;
  }

 private:
  void trim(const DocumentState& current);

  std::deque<Step> m_undo;  // oldest first
  std::deque<Step> m_redo;  // oldest first; the next redo is back()
  std::size_t m_maxSteps = kMaxSteps;
  std::size_t m_maxBytes = kMaxRetainedBytes;
};

}  // namespace tarvik
