#pragma once
// One undo step of the graph store held open while a command or a mouse gesture changes the
// document: the store keeps the change as one step, captioned as given, when the step
// closes. The window's command dispatcher, the batch runner and the chart's drag gestures
// all open their steps through this type, so a step is closed however its owner ends (a
// command's exception, a gesture whose mouse release never comes).
#include <string>

#include "core/GraphStore.h"

namespace tarvik {

class UndoStep {
 public:
  // No step open.
  UndoStep() = default;
  // Opens a step on `store` (nested in an open one, it is part of that one).
  UndoStep(GraphStore& store, const std::string& caption) : m_store(&store) {
    store.beginStep(caption);
  }
  ~UndoStep() { close(); }

  // A moved step stays open in its new owner. Assigning a new step to an open one nests it
  // in the old one (the new one opens first): close the old one before.
  UndoStep(UndoStep&& other) noexcept : m_store(other.m_store) { other.m_store = nullptr; }
  UndoStep& operator=(UndoStep&& other) noexcept {
    if (this != &other) {
      close();
      m_store = other.m_store;
      other.m_store = nullptr;
    }
    return *this;
  }
  UndoStep(const UndoStep&) = delete;
  UndoStep& operator=(const UndoStep&) = delete;

  bool isOpen() const { return m_store != nullptr; }
  // Ends the step now (the store records what changed since it opened); nothing when
  // closed already.
  void close() {
    if (m_store != nullptr) {
      GraphStore* store = m_store;
      m_store = nullptr;
      store->endStep();
    }
  }

 private:
  GraphStore* m_store = nullptr;
};

}  // namespace tarvik
