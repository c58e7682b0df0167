#pragma once
// The options dialogs of the window and their registry. A command fills a `DialogOptions`
// (core/Ui.h) and asks the Ui port to edit it; the window's port finds the dialog by the
// options' dialog name in the registry and runs it.
#include <QSettings>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Ui.h"

namespace tarvik::dialogs {

// An options dialog of the window: created once at start-up and kept, hidden, until exit,
// so its fields persist between uses. run() loads `options` into the fields, shows the
// dialog modally and, on OK, writes the fields back into `options`.
class OptionsDialog {
 public:
  virtual ~OptionsDialog() = default;
  virtual bool run(DialogOptions& options) = 0;
  // Dialogs with a settings section ("Spectr", "SpectrZ") read it at start-up and write it
  // when the main window closes; the window calls these for every registered dialog.
  virtual void loadSettings(QSettings&) {}
  virtual void saveSettings(QSettings&) {}
};

// The options dialogs by class name, in the order the window created them.
class DialogRegistry {
 public:
  void add(std::string dialogName, OptionsDialog* dialog) {
    for (auto& [name, existing] : m_dialogs) {
      if (name == dialogName) {
        existing = dialog;
        return;
      }
    }
    m_dialogs.emplace_back(std::move(dialogName), dialog);
  }
  OptionsDialog* find(std::string_view dialogName) const {
    for (const auto& [name, dialog] : m_dialogs) {
      if (name == dialogName) {
        return dialog;
      }
    }
    return nullptr;
  }
  const std::vector<std::pair<std::string, OptionsDialog*>>& all() const { return m_dialogs; }

 private:
  std::vector<std::pair<std::string, OptionsDialog*>> m_dialogs;  // owned by the window
};

}  // namespace tarvik::dialogs
