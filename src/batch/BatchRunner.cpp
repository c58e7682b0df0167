#include "batch/BatchRunner.h"

#include <algorithm>
#include <exception>
#include <new>
#include <ostream>

#include "core/Error.h"
#include "core/OutputLimits.h"
#include "core/UndoStep.h"

namespace tarvik::batch {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isBlankOrComment(const std::string& text) {
  const auto first = std::find_if_not(text.begin(), text.end(), isBlank);
  return first == text.end() || *first == '#';
}

void appendCommands(std::vector<ScriptLine>& lines, const std::string& text, int number) {
  for (std::string& piece : splitCommands(text)) {
    if (!isBlankOrComment(piece)) {
      lines.push_back({number, std::move(piece)});
    }
  }
}

struct Word {
  std::string text;
  bool startsQuoted = false;
};

std::vector<Word> splitWords(const ScriptLine& line) {
  std::vector<Word> words;
  const std::string& s = line.text;
  std::size_t i = 0;
  while (i < s.size()) {
    if (isBlank(s[i])) {
      ++i;
      continue;
    }
    Word word;
    word.startsQuoted = s[i] == '"';
    bool quoted = false;
    for (; i < s.size() && (quoted || !isBlank(s[i])); ++i) {
      if (s[i] == '"') {
        quoted = !quoted;
      } else {
        word.text.push_back(s[i]);
      }
    }
    if (quoted) {
      throw UsageError("a double quote is not closed");
    }
    words.push_back(std::move(word));
  }
  return words;
}

bool acceptsPositional(const BatchCommand& command) {
  return std::any_of(command.arguments.begin(), command.arguments.end(), [](const auto& a) {
    return a.size() >= 3 && a.compare(a.size() - 3, 3, "...") == 0;
  });
}

}  // namespace

std::vector<std::string> splitCommands(const std::string& text) {
  std::vector<std::string> pieces(1);
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
    }
    if (c == ';' && !quoted) {
      pieces.emplace_back();
    } else {
      pieces.back().push_back(c);
    }
  }
  return pieces;
}

std::vector<ScriptLine> scriptLines(const std::string& text) {
  std::vector<ScriptLine> lines;
  int number = 0;
  std::string::size_type start = 0;
  while (start <= text.size()) {
    std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    ++number;
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();  // CR LF line ends
    }
    if (!isBlankOrComment(line)) {
      appendCommands(lines, line, number);
    }
    start = end + 1;
  }
  return lines;
}

std::vector<ScriptLine> inlineLines(const std::string& text) {
  std::vector<ScriptLine> lines;
  int number = 0;
  for (std::string& piece : splitCommands(text)) {
    ++number;
    if (!isBlankOrComment(piece)) {
      lines.push_back({number, std::move(piece)});
    }
  }
  return lines;
}

BatchArgs parseCommand(const ScriptLine& line) {
  BatchArgs args;
  args.line = line.number;
  std::vector<Word> words = splitWords(line);
  if (words.empty()) {
    throw UsageError("an empty command");
  }
  args.command = std::move(words.front().text);
  for (std::size_t i = 1; i < words.size(); ++i) {
    Word& w = words[i];
    const std::string::size_type eq = w.text.find('=');
    if (w.startsQuoted || eq == std::string::npos) {
      args.positional.push_back(std::move(w.text));
      continue;
    }
    std::string name = w.text.substr(0, eq);
    if (name.empty()) {
      throw UsageError("an argument without a name: \"" + w.text + "\"");
    }
    if (args.has(name)) {
      throw UsageError("the argument " + name + "= is given twice");
    }
    args.named.emplace(std::move(name), w.text.substr(eq + 1));
  }
  return args;
}

BatchRegistry standardRegistry() {
  BatchRegistry registry;
  registerFileCommands(registry);
  registerTransformCommands(registry);
  registerSpectralCommands(registry);
  registerFilterCommands(registry);
  registerChartCommands(registry);
  registerAppearanceCommands(registry);
  registerTableCommands(registry);
  registerExportCommands(registry);
  registerSynthCommands(registry);
  registerSplineCommands(registry);
  registerSensorCommands(registry);
  registerSessionCommands(registry);
  registerUndoCommands(registry);
  registerPulseCommands(registry);
  return registry;
}

BatchRunner::BatchRunner(BatchSession& session, const BatchRegistry& registry, std::ostream& err)
    : m_session(session), m_registry(registry), m_err(err) {}

int BatchRunner::usageError(int line, const std::string& text) {
  m_err << "usage error: line " << line << ": " << text << '\n';
  m_err.flush();
  return kExitUsage;
}

const BatchCommand& BatchRunner::check(const BatchArgs& args) const {
  const BatchCommand* command = m_registry.find(args.command);
  if (command == nullptr) {
    throw UsageError("unknown command \"" + args.command + "\"");
  }
  for (const auto& [name, value] : args.named) {
    if (std::find(command->arguments.begin(), command->arguments.end(), name) ==
        command->arguments.end()) {
      throw UsageError(args.command + ": unknown argument " + name + "=; usage: " + command->usage);
    }
  }
  if (!args.positional.empty() && !acceptsPositional(*command)) {
    throw UsageError(args.command + ": unexpected word \"" + args.positional.front() +
                     "\"; usage: " + command->usage);
  }
  if (const auto answer = args.get("answer"); answer && *answer != "yes" && *answer != "no") {
    throw UsageError(args.command + ": answer= takes yes or no, not \"" + *answer + "\"");
  }
  return *command;
}

void BatchRunner::prepareUi(const BatchArgs& args) {
  std::optional<std::vector<int>> rows;
  if (const auto graphs = args.get("graphs")) {
    rows = m_session.parseGraphList(*graphs);
  }
  if (const auto graph = args.get("graph")) {
    if (rows) {
      throw UsageError(args.command + ": give graph= or graphs=, not both");
    }
    rows = m_session.parseGraphList(*graph);
    if (rows->size() != 1) {
      throw UsageError(args.command + ": graph= takes one graph number");
    }
  }
  const std::optional<std::string> answer = args.get("answer");
  m_session.ui.prepare(std::move(rows), args.get("value"),
                       answer ? *answer != "no" : m_defaultAnswerYes);
}

namespace {

// Commands that are not undo steps: the two that walk the steps, and saving, which may
// set a graph's file entry yet is never undone.
bool makesUndoStep(const std::string& command) {
  return command != "undo" && command != "redo" && command != "save";
}

}  // namespace

int BatchRunner::runOne(const BatchArgs& args) {
  const BatchCommand& command = check(args);
  prepareUi(args);
  // Closed however the command ends.
  const UndoStep step =
      makesUndoStep(command.name) ? UndoStep(m_session.store, command.name) : UndoStep();
  try {
    // A command that runs out of memory leaves no graph of its own behind, whichever
    // command it is.
    keepStoreOnMemoryShortage(m_session.store, [&] { command.run(m_session, args); });
  } catch (const UsageError&) {
    throw;
  } catch (const Error& e) {
    // The one place of the batch front-end where an uncaught fault becomes a message.
    m_session.ui.message(MessageKind::Error, e.what());
  } catch (const std::bad_alloc&) {
    m_session.ui.message(MessageKind::Error, kOutOfMemory);
  } catch (const std::exception& e) {
    m_session.ui.message(MessageKind::Error, e.what());
  }
  // The window repaints after every command: automatic axes follow the data.
  m_session.chart.redraw();
  m_session.ui.endProgressLine();
  return m_session.ui.failed() ? kExitCommandFailed : kExitOk;
}

int BatchRunner::run(const std::vector<ScriptLine>& lines) {
  std::vector<BatchArgs> commands;
  commands.reserve(lines.size());
  for (const ScriptLine& line : lines) {
    try {
      commands.push_back(parseCommand(line));
      check(commands.back());
    } catch (const UsageError& e) {
      return usageError(line.number, e.what());
    }
  }
  return runChecked(commands);
}

int BatchRunner::run(const std::vector<BatchArgs>& commands) {
  for (const BatchArgs& args : commands) {
    try {
      check(args);
    } catch (const UsageError& e) {
      return usageError(args.line, e.what());
    }
  }
  return runChecked(commands);
}

int BatchRunner::runChecked(const std::vector<BatchArgs>& commands) {
  int result = kExitOk;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    if (i > 0 && m_stopBeforeNext && m_stopBeforeNext()) {
      return result;
    }
    const BatchArgs& args = commands[i];
    try {
      if (runOne(args) != kExitOk) {
        result = kExitCommandFailed;
        if (!m_keepGoing) {
          return result;
        }
      }
    } catch (const UsageError& e) {
      return usageError(args.line, e.what());
    }
  }
  return result;
}

}  // namespace tarvik::batch
