#pragma once
// Script text to commands, and the run of those commands against one batch session.
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "batch/BatchSession.h"

namespace tarvik::batch {

// Exit statuses of a run.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCommandFailed = 1;
inline constexpr int kExitUsage = 2;

// One command of a script with the script line it came from (1-based).
struct ScriptLine {
  int number = 0;
  std::string text;
};

// Splits `text` at ';' outside double quotes. Pieces keep their blanks.
std::vector<std::string> splitCommands(const std::string& text);

// Script file text: one command per line (CR LF accepted), '#' comment lines and blank
// lines dropped; a line may also hold several commands separated by ';'.
std::vector<ScriptLine> scriptLines(const std::string& text);
// The text of `-e`: commands separated by ';', numbered 1, 2, ... in order.
std::vector<ScriptLine> inlineLines(const std::string& text);

// Words of one command: separated by blanks and tabs; a double-quoted part may hold blanks
// and ';' (the quotes are dropped). A word "name=value" is a named argument unless it
// starts with a quote. Throws UsageError for an unterminated quote, an empty name or an
// argument given twice.
BatchArgs parseCommand(const ScriptLine& line);

// Every command registry: files, transforms, spectral, chart.
BatchRegistry standardRegistry();

class BatchRunner {
 public:
  BatchRunner(BatchSession& session, const BatchRegistry& registry, std::ostream& err);

  // Checks every command name and argument first (a usage error runs nothing), then runs
  // the commands in order. Returns kExitOk, kExitCommandFailed ("error: TEXT" shown; the
  // run stops at the failed command, or with keep-going runs on to the end) or kExitUsage
  // ("usage error: line N: TEXT"; a usage error found while running stops the run always).
  int run(const std::vector<ScriptLine>& lines);
  // The same for commands parsed already (or built by a front-end, such as the Python
  // module's open with file names that no quoting could carry); numbered by their `line`.
  int run(const std::vector<BatchArgs>& commands);

  // Keep going after a command that ended with an error message (off by default).
  void setKeepGoing(bool on) { m_keepGoing = on; }
  // The answer to questions of commands that give no answer= of their own (yes at first).
  void setDefaultAnswer(bool yes) { m_defaultAnswerYes = yes; }
  // Asked before each command after the first: true ends the run there, with the status
  // of the commands run so far. A front-end whose user can interrupt a whole script (the
  // Python module's Ctrl+C) stops the script this way after the running command stopped.
  void setStopBeforeNext(std::function<bool()> stop) { m_stopBeforeNext = std::move(stop); }

 private:
  const BatchCommand& check(const BatchArgs& args) const;
  int runOne(const BatchArgs& args);
  int runChecked(const std::vector<BatchArgs>& commands);
  void prepareUi(const BatchArgs& args);
  int usageError(int line, const std::string& text);

  BatchSession& m_session;
  const BatchRegistry& m_registry;
  std::ostream& m_err;
  bool m_keepGoing = false;
  bool m_defaultAnswerYes = true;
  std::function<bool()> m_stopBeforeNext;
};

}  // namespace tarvik::batch
