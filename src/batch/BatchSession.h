#pragma once
// The state of one tarvik-batch run: the graph store, the scripted Ui that answers the
// commands' questions from the script's arguments, and the dialogs' persistent fields.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <vector>

#include "batch/BatchChart.h"
#include "core/Command.h"
#include "core/GraphStore.h"
#include "core/Ui.h"

namespace tarvik::batch {

// A usage error: unknown command or argument, a bad graph number. Exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One parsed script line: the command word and its name=value arguments.
struct BatchArgs {
  std::string command;
  std::map<std::string, std::string> named;
  std::vector<std::string> positional;  // words without "=" (file names of `open`)
  int line = 0;

  bool has(const std::string& name) const { return named.count(name) != 0; }
  // The value of `name`, or nullopt when the argument is absent.
  std::optional<std::string> get(const std::string& name) const;
};

// The Ui of a batch run. Before each command the session loads the answers the script
// gave: which graphs (graphs= / graph=), the value text (value=), the question answer
// (answer=). Without value= the value dialog answers with the text it was last answered
// with in the run ("0" at first), as the window's dialog opens with the number used last.
// Messages go to the error stream as "error: TEXT" / "info: TEXT". An error message marks
// the command failed; a value asked again after an error is answered with cancel, so
// re-ask loops end.
class BatchUi : public Ui {
 public:
  explicit BatchUi(std::ostream& err, char decimalSeparator);

  // Answers for the next command. `rows` are candidate rows (0-based); nullopt means the
  // preselected entry (the active graph).
  void prepare(std::optional<std::vector<int>> rows, std::optional<std::string> valueText,
               bool answerYes);
  bool failed() const { return m_failed; }

  // Options dialogs: the session's persistent copy of a dialog's fields is copied into
  // the command's struct (matched by dialogName()).
  using OptionsCopier = std::function<void(DialogOptions& destination)>;
  void setOptionsSource(std::string dialogName, OptionsCopier copier);
  // File names the save/open dialogs answer with.
  void setSaveFile(std::optional<std::string> path) { m_saveFile = std::move(path); }
  void setOpenFiles(std::vector<std::string> paths) { m_openFiles = std::move(paths); }
  // The text the value dialog answers with, for a command whose argument has its own name.
  void setValueText(std::optional<std::string> text) { m_valueText = std::move(text); }
  bool progressToTerminal = false;
  // Runs where the window lets its pending events run, at each progress report of a long
  // command: a front-end with a stop key of its own (the Python module's Ctrl+C) sets the
  // store's stop request from here, on the thread that runs the command.
  std::function<void()> pendingEvents;
  // Ends a progress text left on the terminal line, so later output starts on a new line.
  void endProgressLine();

  std::optional<std::vector<int>> chooseEntries(const GraphChoiceRequest& request) override;
  std::optional<std::string> askValueText(const std::string& caption) override;
  bool editOptions(DialogOptions& options) override;
  void message(MessageKind kind, const std::string& text) override;
  bool question(const std::string& text) override;
  std::optional<std::vector<std::string>> askOpenFiles(const FileDialogRequest& r) override;
  std::optional<std::string> askSaveFile(const FileDialogRequest& r) override;
  void rememberFolder(const std::string&) override {}
  void progress(const std::string& text) override;
  char decimalSeparator() const override { return m_separator; }

 private:
  std::ostream& m_err;
  char m_separator;
  std::optional<std::vector<int>> m_rows;
  std::optional<std::string> m_valueText;
  std::string m_lastValueText = "0";  // what the value dialog's box holds
  bool m_answerYes = true;
  bool m_failed = false;
  bool m_errorShown = false;
  bool m_progressOpen = false;  // a progress text stands on the terminal line
  std::map<std::string, OptionsCopier, std::less<>> m_optionSources;
  std::optional<std::string> m_saveFile;
  std::vector<std::string> m_openFiles;
};

class BatchSession;
using BatchCommandFn = std::function<void(BatchSession&, const BatchArgs&)>;

struct BatchCommand {
  std::string name;
  std::string usage;  // "spectrum graphs=... kind=dft|fft ..."
  // Accepted argument names (graphs/graph/answer too). A name ending in "..." (such as
  // "FILE...") admits words without "=".
  std::vector<std::string> arguments;
  BatchCommandFn run;
};

class BatchSession {
 public:
  BatchSession(std::ostream& out, std::ostream& err, char decimalSeparator);
  // The store keeps a pointer to the chart: a session stays where it was made.
  BatchSession(const BatchSession&) = delete;
  BatchSession& operator=(const BatchSession&) = delete;

  GraphStore store;
  OffscreenChart chart{store};  // watches the store from the start
  BatchUi ui;
  std::ostream& out;
  CommandContext context() { return CommandContext{store, ui}; }

  // The persistent fields of dialog T (a DialogOptions), created at the dialog's defaults
  // the first time and kept for the whole run. Registers T as the answer of editOptions.
  template <class T>
  T& dialog() {
    auto it = m_dialogs.find(std::type_index(typeid(T)));
    if (it == m_dialogs.end()) {
      auto owned = std::make_unique<T>();
      T* raw = owned.get();
      it = m_dialogs.emplace(std::type_index(typeid(T)), std::move(owned)).first;
      ui.setOptionsSource(std::string(raw->dialogName()),
                          [raw](DialogOptions& d) { static_cast<T&>(d) = *raw; });
    }
    return static_cast<T&>(*it->second);
  }

  // Converts 1-based graph numbers ("1,3-5", "all", "active") to candidate rows; throws
  // UsageError for a number that is not a graph.
  std::vector<int> parseGraphList(const std::string& text) const;

 private:
  std::map<std::type_index, std::unique_ptr<DialogOptions>> m_dialogs;
};

// Argument helpers for command files: they throw UsageError naming the argument.
double numberArg(const BatchSession& s, const BatchArgs& a, const std::string& name);
int integerArg(const BatchArgs& a, const std::string& name);
bool onOffArg(const BatchArgs& a, const std::string& name);  // "on" / "off"
// A dialog field given as `name=`: a text field is kept as typed (the command reads it as
// the dialog's text would be read); an on/off switch is set. Left out, the field stays.
void textArg(const BatchArgs& a, const std::string& name, std::string& field);
void flagArg(const BatchArgs& a, const std::string& name, bool& field);

// A command whose only arguments are the graphs (graphs= / graph=): `run(ctx)` asks the
// rest of its questions through the session's Ui.
template <class F>
BatchCommand graphsOnlyCommand(const std::string& name, F run) {
  return {
      name, name + " [graphs=LIST]", {"graphs", "graph"}, [run](BatchSession& s, const BatchArgs&) {
        CommandContext ctx = s.context();
        run(ctx);
      }};
}

class BatchRegistry {
 public:
  void add(BatchCommand command);
  const BatchCommand* find(const std::string& name) const;
  const std::vector<BatchCommand>& all() const { return m_commands; }

 private:
  std::vector<BatchCommand> m_commands;
};

// Each domain registers its commands from its own file.
void registerFileCommands(BatchRegistry& registry);        // BatchFiles.cpp
void registerTransformCommands(BatchRegistry& registry);   // BatchTransforms.cpp
void registerSpectralCommands(BatchRegistry& registry);    // BatchSpectral.cpp
void registerFilterCommands(BatchRegistry& registry);      // BatchFilter.cpp
void registerChartCommands(BatchRegistry& registry);       // BatchChart.cpp
void registerAppearanceCommands(BatchRegistry& registry);  // BatchAppearance.cpp
void registerTableCommands(BatchRegistry& registry);       // BatchTable.cpp
void registerExportCommands(BatchRegistry& registry);      // BatchFiles.cpp
void registerSynthCommands(BatchRegistry& registry);       // BatchSynth.cpp
void registerSplineCommands(BatchRegistry& registry);      // BatchSpline.cpp
void registerSensorCommands(BatchRegistry& registry);      // BatchSensor.cpp
void registerSessionCommands(BatchRegistry& registry);     // BatchSessionFiles.cpp
void registerUndoCommands(BatchRegistry& registry);        // BatchUndo.cpp
void registerPulseCommands(BatchRegistry& registry);       // BatchPulse.cpp

}  // namespace tarvik::batch
