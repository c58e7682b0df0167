#pragma once
// Commands run with the interpreter free: the document is locked without holding the GIL,
// a command runs on a worker thread with the GIL released, and the calling thread keeps
// looking for Python's signals (Ctrl+C), which stop the command as the stop button does.
#include <pybind11/pybind11.h>

#include <functional>
#include <mutex>
#include <thread>

#include "python/ModuleSession.h"

namespace tarvik::python {

// The document's lock, taken without blocking other Python threads while it is busy. A
// thread that holds it already (a signal handler or a warnings hook of this thread reaching
// the document while a run of it waits) gets RuntimeError instead of waiting for itself.
class DocumentLock {
 public:
  explicit DocumentLock(ModuleSession& session);
  ~DocumentLock();
  DocumentLock(const DocumentLock&) = delete;
  DocumentLock& operator=(const DocumentLock&) = delete;
  void unlock();

 private:
  ModuleSession& m_session;
  std::unique_lock<std::mutex> m_lock;
};

// A Python exception raised while a command ran (KeyboardInterrupt from Ctrl+C, or what a
// signal handler of the program raised), kept to be raised once the command has ended.
class PendingPythonError {
 public:
  PendingPythonError() = default;
  PendingPythonError(const PendingPythonError&) = delete;
  PendingPythonError& operator=(const PendingPythonError&) = delete;
  ~PendingPythonError();  // drops an error never raised (the GIL is held)

  bool holds() const { return m_type != nullptr; }
  void take();  // fetches the current Python error (the GIL is held)
  // Raises it (the GIL is held).
  [[noreturn]] void raise();

 private:
  PyObject* m_type = nullptr;
  PyObject* m_value = nullptr;
  PyObject* m_trace = nullptr;
};

// Runs `work` on the session, with the document locked and the GIL released, on a worker
// thread; meanwhile this thread checks Python's signals every 20 ms. When a handler raises
// (Ctrl+C's KeyboardInterrupt), the session is asked to stop — the command ends as after
// "СТОП" and the run ends after it — and the exception is kept in `interruption`. An
// exception of `work` is thrown here after the worker has ended. Called with the GIL held.
RunOutcome runWatched(ModuleSession& session, const std::function<RunOutcome()>& work,
                      PendingPythonError& interruption);

}  // namespace tarvik::python
