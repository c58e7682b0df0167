#pragma once
// The undo and redo steps of a document. A step is the change back to the state before a
// command (on the undo side) or on to the state after it (on the redo side), with the
// command's caption. A change holds only the graphs, entries and texts the command
// changed, so a step costs what the command touched, not the size of the document; the
// points of a changed graph that the command left alone stay shared with the document.
#include <cstddef>
#include <deque>
#include <string>

#include "core/DocumentChange.h"
#include "core/DocumentState.h"

namespace tarvik {

class UndoHistory {
 public:
  static constexpr std::size_t kMaxSteps = 100;
  // Points, titles, entries and texts that the steps keep beside the document.
  static constexpr std::size_t kMaxRetainedBytes = std::size_t{2} << 30;  // 2 GiB

  struct Step {
    std::string caption;
    DocumentChange change;
    std::size_t bytes = 0;  // counted by the history when the step comes in
  };

  bool canUndo() const { return !m_undo.empty(); }
  bool canRedo() const { return !m_redo.empty(); }
  // Captions of the newest steps ("" when none).
  std::string undoCaption() const { return m_undo.empty() ? std::string() : m_undo.back().caption; }
  std::string redoCaption() const { return m_redo.empty() ? std::string() : m_redo.back().caption; }
  std::size_t undoCount() const { return m_undo.size(); }
  std::size_t redoCount() const { return m_redo.size(); }

  // A new step: the change back to the state before a command. Redo steps are dropped; the
  // oldest steps go while there are more than kMaxSteps or heldBytes() exceeds the byte
  // limit. The newest step always stays, so a command larger than the limit can still be
  // undone once.
  void record(std::string caption, DocumentChange back);
  // The newest step of a side leaves the history (callers check canUndo()/canRedo()).
  // The caller applies its change and puts the change that reverses it on the other side:
  // takeUndo, then putRedo; takeRedo, then putUndo. Putting back on the side a step came
  // from returns it there when the change could not be applied.
  Step takeUndo();
  Step takeRedo();
  void putUndo(Step step);
  void putRedo(Step step);

  // What the steps hold beside the document, each step counted as it was made: the
  // attributes of its graphs, its entries and texts, and the point blocks its graphs do not
  // share with the graphs that took their place. Kept as a running total.
  std::size_t heldBytes() const { return m_undoBytes + m_redoBytes; }
  // Bytes of point blocks that the steps keep and `current` does not use, each block once:
  // an exact count that reads every step (for tests and measurements).
  std::size_t retainedBytes(const DocumentState& current) const;
  // Limits for tests; the defaults are the constants above.
  void setLimits(std::size_t maxSteps, std::size_t maxRetainedBytes) {
    m_maxSteps = maxSteps;
    m_maxBytes = maxRetainedBytes;
  }

 private:
  static void count(Step& step);
  void trim();

  std::deque<Step> m_undo;  // oldest first
  std::deque<Step> m_redo;  // oldest first; the next redo is back()
  std::size_t m_undoBytes = 0;
  std::size_t m_redoBytes = 0;
  std::size_t m_maxSteps = kMaxSteps;
  std::size_t m_maxBytes = kMaxRetainedBytes;
};

}  // namespace tarvik
