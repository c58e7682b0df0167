#include "python/RunWatch.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <stdexcept>
#include <thread>

namespace py = pybind11;

namespace tarvik::python {
namespace {

constexpr std::chrono::milliseconds kSignalPoll{20};

// The worker's end, told to the waiting thread.
struct WorkerEnd {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
};

// Checks Python's signals with the GIL taken for the moment; true when a handler raised
// (the exception is then in `interruption`).
bool signalRaised(PendingPythonError& interruption) {
  const py::gil_scoped_acquire gil;
  if (PyErr_CheckSignals() == 0) {
    return false;
  }
  interruption.take();
  return true;
}

}  // namespace

DocumentLock::DocumentLock(ModuleSession& session)
    : m_session(session), m_lock(session.mutex(), std::try_to_lock) {
  if (!m_lock.owns_lock()) {
    if (session.lockOwner() == std::this_thread::get_id()) {
      throw std::runtime_error("the document is busy with a command run by this thread");
    }
    // Another thread runs a command on this document: wait for it with the GIL free, so
    // that the thread can finish (and others run meanwhile).
    const py::gil_scoped_release release;
    m_lock.lock();
  }
  session.setLockOwner(std::this_thread::get_id());
}

DocumentLock::~DocumentLock() { unlock(); }

void DocumentLock::unlock() {
  if (m_lock.owns_lock()) {
    m_session.setLockOwner(std::thread::id());
    m_lock.unlock();
  }
}

PendingPythonError::~PendingPythonError() {
  Py_XDECREF(m_type);
  Py_XDECREF(m_value);
  Py_XDECREF(m_trace);
}

void PendingPythonError::take() { PyErr_Fetch(&m_type, &m_value, &m_trace); }

void PendingPythonError::raise() {
  PyErr_Restore(m_type, m_value, m_trace);
  m_type = m_value = m_trace = nullptr;
  throw py::error_already_set();
}

RunOutcome runWatched(ModuleSession& session, const std::function<RunOutcome()>& work,
                      PendingPythonError& interruption) {
  DocumentLock document(session);
  session.clearStop();
  RunOutcome outcome;
  std::exception_ptr failure;
  {
    const py::gil_scoped_release release;
    WorkerEnd end;
    std::thread worker([&] {
      try {
        outcome = work();
      } catch (...) {
        failure = std::current_exception();
      }
      const std::lock_guard<std::mutex> told(end.mutex);
      end.done = true;
      end.ended.notify_one();
    });
    std::unique_lock<std::mutex> waiting(end.mutex);
    bool stopAsked = false;
    while (!end.ended.wait_for(waiting, kSignalPoll, [&] { return end.done; })) {
      if (stopAsked) {
        continue;
      }
      waiting.unlock();
      if (signalRaised(interruption)) {
        stopAsked = true;
        session.requestStop();
      }
      waiting.lock();
    }
    waiting.unlock();
    worker.join();
  }
  document.unlock();
  if (failure) {
    std::rethrow_exception(failure);
  }
  return outcome;
}

}  // namespace tarvik::python
