#pragma once
// The document of the Python module: one batch session (graph store, scripted Ui, offscreen
// chart, the dialogs' fields) driven by the batch runner, whose standard output and
// messages are collected per run instead of going to the terminal. Nothing here knows
// Python; the bindings in TarvikModule.cpp hold the interpreter's side.
#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "batch/BatchRunner.h"
#include "batch/BatchSession.h"

namespace tarvik::python {

// What one run of commands left: its exit status, what it printed, and its messages in
// the order they came.
struct RunOutcome {
  int status = batch::kExitOk;
  std::string output;
  std::vector<std::string> infos;
  std::vector<std::string> errors;
  std::string usageError;  // "line N: TEXT" of a usage error; empty when there was none
  bool stopped = false;    // the run was interrupted (requestStop) before it ended
};

// The commands of the module: every batch command, the picture commands refusing (the
// module draws nothing; matplotlib does).
const batch::BatchRegistry& moduleRegistry();

class ModuleSession {
 public:
  explicit ModuleSession(char decimalSeparator);
  ModuleSession(const ModuleSession&) = delete;
  ModuleSession& operator=(const ModuleSession&) = delete;

  // A script as tarvik-batch reads a script file: one command per line, ';' between
  // commands, '#' comment lines. `answer` answers the questions of commands that give no
  // answer= of their own (yes when left out).
  RunOutcome runScript(const std::string& text, std::optional<bool> answer = std::nullopt);
  // Commands built by the caller (numbered by their `line`, 0 for none).
  RunOutcome runCommands(const std::vector<batch::BatchArgs>& commands,
                         std::optional<bool> answer = std::nullopt);

  // Asks the running command to stop as the stop button does, and the run to end after
  // it. Safe from any thread and from a signal handler.
  void requestStop() { m_stopWanted.store(true); }
  // Forgets a stop asked before; the caller does this before it starts a run.
  void clearStop();

  // A new graph from points computed elsewhere, as direct creation makes one: the
  // new-graph colour, an unnamed source-file entry, points in the order a graph keeps them
  // (each after the last point whose X is not greater, as the readers order them), made
  // the active graph. One undo step. The arrays are of equal length and finite (the
  // caller checks). `xsAscending` says that the caller has found no X smaller than the one
  // before it, so the points are kept as they come without looking at X again. Returns
  // the new graph's store index. Throws OutOfMemoryError with the document unchanged
  // when memory runs out.
  std::size_t addGraph(std::string title, std::vector<double> xs, std::vector<double> ys,
                       bool xsAscending = false);

  // Callers hold this lock whenever they read or change the document: one run, one add or
  // one look at the graphs at a time, from whichever thread.
  std::mutex& mutex() { return m_mutex; }
  // The thread that holds the lock (no thread when none does); set by the lock's holder.
  std::thread::id lockOwner() const { return m_lockOwner.load(); }
  void setLockOwner(std::thread::id owner) { m_lockOwner.store(owner); }
  GraphStore& store() { return m_session.store; }
  const GraphStore& store() const { return m_session.store; }
  char decimalSeparator() const { return m_session.ui.decimalSeparator(); }

 private:
  RunOutcome collect(int status);

  std::mutex m_mutex;
  std::atomic<std::thread::id> m_lockOwner{};
  std::ostringstream m_out;
  std::ostringstream m_err;
  batch::BatchSession m_session;
  batch::BatchRunner m_runner;
  std::atomic<bool> m_stopWanted{false};
};

// The messages a run wrote to its error stream ("error: TEXT", "info: TEXT",
// "usage error: line N: TEXT", one per line), sorted into `outcome`.
void sortMessages(const std::string& stream, RunOutcome& outcome);

}  // namespace tarvik::python
