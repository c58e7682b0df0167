#pragma once
// The one port through which a command talks to a person: which graphs, a number, the
// options of a dialog, a colour, a yes/no, a message, progress and the stop request. The window
// implements it with real dialogs, tarvik-batch from a script, tests with canned answers.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Graph.h"

namespace tarvik {

enum class MessageKind { Error, Info };

// The fields of a command's own options dialog (TfmSpectr, TfmChartRC, ...). Each dialog
// has one struct derived from this, named in dialogName(); a front-end recognises the
// struct by that name, fills it and answers OK or cancel.
struct DialogOptions {
  virtual ~DialogOptions() = default;
  virtual std::string_view dialogName() const = 0;
};

// What the graph-selection dialog shows: one entry per candidate graph,
// "N. source-file entry: title", and the entry selected beforehand (−1 for none).
struct GraphChoiceRequest {
  std::string caption;
  std::vector<std::string> entries;
  int preselected = -1;
};

struct FileDialogRequest {
  std::string title;
  std::vector<std::string> filters;  // "Описание(*.a;*.b)" or "*.a;*.b"
  std::string defaultExtension;      // without the dot
  std::string proposedName;          // file name without folder
};

class Ui {
 public:
  virtual ~Ui() = default;

  // Runs the selection dialog; returns the selected entry positions in ascending order
  // (possibly empty), or nullopt when the user cancelled.
  virtual std::optional<std::vector<int>> chooseEntries(const GraphChoiceRequest& request) = 0;
  // Runs the value dialog under `caption`; returns the typed text, or nullopt on cancel.
  virtual std::optional<std::string> askValueText(const std::string& caption) = 0;
  // Runs the options dialog for `options`, which carries the current field values in and
  // the new ones out. False on cancel (the fields are then unchanged).
  virtual bool editOptions(DialogOptions& options) = 0;

  virtual void message(MessageKind kind, const std::string& text) = 0;
  // A confirmation with Yes and No; true for Yes.
  virtual bool question(const std::string& text) = 0;

  // Open dialog with multiple selection; full paths in the dialog's order, or nullopt.
  virtual std::optional<std::vector<std::string>> askOpenFiles(const FileDialogRequest& r) = 0;
  // Save dialog; the chosen full path, or nullopt on cancel.
  virtual std::optional<std::string> askSaveFile(const FileDialogRequest& r) = 0;
  // The folder a file dialog last used successfully ("IniDir" of the settings file).
  virtual void rememberFolder(const std::string& folder) = 0;

  // The colour dialog (the window keeps one for the whole run, so it opens on the colour
  // chosen last); the chosen colour, or nullopt on cancel. A front-end without a colour
  // dialog answers cancel.
  virtual std::optional<Rgb> askColour() { return std::nullopt; }

  // Status-bar progress text; lets pending events run so the stop button can be pressed.
  virtual void progress(const std::string& text) = 0;
  // Busy cursor on or off for a long command.
  virtual void setBusy(bool) {}
  // The locale's decimal separator for typed numbers and numbers shown in texts.
  virtual char decimalSeparator() const = 0;
};

}  // namespace tarvik
