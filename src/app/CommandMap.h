#pragma once
// How the window's menu items and toolbar buttons reach commands, and how a command's
// options dialog is found, without the main window knowing every domain.
//
// Each domain supplies one install function in its own file (app/FileActions.cpp,
// app/TransformActions.cpp, app/SpectralActions.cpp): it adds a handler per component
// object name ("N15", "ToolButton26", "mnSpectr") and registers its dialogs. The main
// window builds every component of its layout, then connects each one whose object name
// has a handler. A component without a handler stays in place and does nothing.
#include <QSettings>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Command.h"
#include "core/Ui.h"

namespace tarvik::app {

class CommandMap {
 public:
  using Handler = std::function<void(CommandContext&)>;
  void add(const QString& objectName, Handler handler) {
    m_handlers[objectName] = std::move(handler);
  }
  const Handler* find(const QString& objectName) const {
    auto it = m_handlers.find(objectName);
    return it == m_handlers.end() ? nullptr : &it->second;
  }
  const std::map<QString, Handler>& all() const { return m_handlers; }

 private:
  std::map<QString, Handler> m_handlers;
};

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

// Install functions; `parent` is the main window, parent of the dialogs they create.
void installFileActions(CommandMap& map, DialogRegistry& dialogs, QWidget* parent);
void installTransformActions(CommandMap& map);
void installSpectralActions(CommandMap& map, const DialogRegistry& dialogs, QWidget* parent);

}  // namespace tarvik::app
