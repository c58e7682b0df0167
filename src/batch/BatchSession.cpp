#include "batch/BatchSession.h"

#include <algorithm>
#include <ostream>
#include <stdexcept>

#include "core/NumberFormat.h"

namespace tarvik::batch {
namespace {

// A message box holds several lines; on the error stream each message is one line.
std::string oneLine(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  for (char c : text) {
    if (c == '\r') {
      continue;
    }
    line.push_back(c == '\n' ? ' ' : c);
  }
  return line;
}

// A 1-based graph number as the user typed it; throws UsageError when it is not one.
std::size_t graphNumber(const std::string& text, std::size_t count) {
  const std::optional<int> n = parseTypedInteger(text);
  if (!n) {
    throw UsageError("\"" + text + "\" is not a graph number");
  }
  if (*n < 1 || static_cast<std::size_t>(*n) > count) {
    throw UsageError("there is no graph " + std::to_string(*n) +
                     " (graphs: " + std::to_string(count) + ")");
  }
  return static_cast<std::size_t>(*n);
}

std::vector<std::string> splitOn(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) {
      return parts;
    }
    start = end + 1;
  }
}

std::string requiredValue(const BatchArgs& a, const std::string& name) {
  const std::optional<std::string> value = a.get(name);
  if (!value) {
    throw UsageError(a.command + ": the argument " + name + "= is required");
  }
  return *value;
}

}  // namespace

std::optional<std::string> BatchArgs::get(const std::string& name) const {
  const auto it = named.find(name);
  if (it == named.end()) {
    return std::nullopt;
  }
  return it->second;
}

// ---- BatchUi ----

BatchUi::BatchUi(std::ostream& err, char decimalSeparator)
    : m_err(err), m_separator(decimalSeparator) {}

void BatchUi::prepare(std::optional<std::vector<int>> rows, std::optional<std::string> valueText,
                      bool answerYes) {
  m_rows = std::move(rows);
  m_valueText = std::move(valueText);
  m_answerYes = answerYes;
  m_failed = false;
  m_errorShown = false;
  m_saveFile.reset();
  m_openFiles.clear();
}

void BatchUi::setOptionsSource(std::string dialogName, OptionsCopier copier) {
  m_optionSources[std::move(dialogName)] = std::move(copier);
}

std::optional<std::vector<int>> BatchUi::chooseEntries(const GraphChoiceRequest& request) {
  if (!m_rows) {
    // The dialog opens with the active graph selected and the script accepts it.
    if (request.preselected < 0) {
      return std::vector<int>{};
    }
    return std::vector<int>{request.preselected};
  }
  return m_rows;
}

std::optional<std::string> BatchUi::askValueText(const std::string&) {
  // After an error the window would ask again with the same text; the script has no
  // second answer, so the dialog is cancelled and the command counts as failed.
  if (m_errorShown) {
    return std::nullopt;
  }
  if (m_valueText) {
    m_lastValueText = *m_valueText;
  }
  return m_lastValueText;
}

bool BatchUi::editOptions(DialogOptions& options) {
  if (m_errorShown) {
    return false;
  }
  const auto it = m_optionSources.find(options.dialogName());
  if (it == m_optionSources.end()) {
    return false;
  }
  it->second(options);
  return true;
}

void BatchUi::endProgressLine() {
  if (m_progressOpen) {
    m_err << '\n';
    m_progressOpen = false;
  }
}

void BatchUi::message(MessageKind kind, const std::string& text) {
  endProgressLine();
  if (kind == MessageKind::Error) {
    m_failed = true;
    m_errorShown = true;
    m_err << "error: " << oneLine(text) << '\n';
  } else {
    m_err << "info: " << oneLine(text) << '\n';
  }
  m_err.flush();
}

bool BatchUi::question(const std::string&) { return m_answerYes; }

std::optional<std::vector<std::string>> BatchUi::askOpenFiles(const FileDialogRequest&) {
  if (m_openFiles.empty()) {
    return std::nullopt;
  }
  return m_openFiles;
}

std::optional<std::string> BatchUi::askSaveFile(const FileDialogRequest&) {
  // One answer per command: a dialog shown again (after "No" to the overwrite question)
  // is cancelled, so the graph is skipped instead of asking forever.
  std::optional<std::string> answer = std::move(m_saveFile);
  m_saveFile.reset();
  return answer;
}

void BatchUi::progress(const std::string& text) {
  if (pendingEvents) {
    pendingEvents();
  }
  if (!progressToTerminal) {
    return;
  }
  m_err << '\r' << text << "\x1b[K";
  m_err.flush();
  m_progressOpen = true;
}

// ---- BatchSession ----

BatchSession::BatchSession(std::ostream& output, std::ostream& err, char decimalSeparator)
    : ui(err, decimalSeparator), out(output) {
  store.setChartPort(&chart);
}

std::vector<int> BatchSession::parseGraphList(const std::string& text) const {
  std::vector<int> rows;
  if (text == "all") {
    for (std::size_t i = 0; i < store.count(); ++i) {
      rows.push_back(static_cast<int>(i));
    }
    return rows;
  }
  if (text == "active") {
    if (store.activeIndex() < 0 || static_cast<std::size_t>(store.activeIndex()) >= store.count()) {
      throw UsageError("there is no active graph");
    }
    return {store.activeIndex()};
  }
  if (text.empty()) {
    throw UsageError("an empty graph list");
  }
  for (const std::string& item : splitOn(text, ',')) {
    const std::string::size_type dash = item.find('-', 1);
    std::size_t first = 0;
    std::size_t last = 0;
    if (dash == std::string::npos) {
      first = last = graphNumber(item, store.count());
    } else {
      first = graphNumber(item.substr(0, dash), store.count());
      last = graphNumber(item.substr(dash + 1), store.count());
      if (last < first) {
        throw UsageError("the range \"" + item + "\" runs backwards");
      }
    }
    for (std::size_t n = first; n <= last; ++n) {
      rows.push_back(static_cast<int>(n - 1));
    }
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

// ---- argument helpers ----

double numberArg(const BatchSession& s, const BatchArgs& a, const std::string& name) {
  const std::string text = requiredValue(a, name);
  const std::optional<double> value = parseTypedNumber(text, s.ui.decimalSeparator());
  if (!value) {
    throw UsageError(a.command + ": " + name + "=" + text + " is not a number");
  }
  return *value;
}

int integerArg(const BatchArgs& a, const std::string& name) {
  const std::string text = requiredValue(a, name);
  const std::optional<int> value = parseTypedInteger(text);
  if (!value) {
    throw UsageError(a.command + ": " + name + "=" + text + " is not an integer");
  }
  return *value;
}

bool onOffArg(const BatchArgs& a, const std::string& name) {
  const std::string text = requiredValue(a, name);
  if (text == "on") {
    return true;
  }
  if (text == "off") {
    return false;
  }
  throw UsageError(a.command + ": " + name + "= takes on or off, not \"" + text + "\"");
}

void textArg(const BatchArgs& a, const std::string& name, std::string& field) {
  if (const auto value = a.get(name)) {
    field = *value;
  }
}

void flagArg(const BatchArgs& a, const std::string& name, bool& field) {
  if (a.has(name)) {
    field = onOffArg(a, name);
  }
}

// ---- BatchRegistry ----

void BatchRegistry::add(BatchCommand command) {
  if (find(command.name) != nullptr) {
    throw std::invalid_argument("batch command registered twice: " + command.name);
  }
  m_commands.push_back(std::move(command));
}

const BatchCommand* BatchRegistry::find(const std::string& name) const {
  for (const BatchCommand& c : m_commands) {
    if (c.name == name) {
      return &c;
    }
  }
  return nullptr;
}

}  // namespace tarvik::batch
